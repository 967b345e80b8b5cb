// The music loader's trust, checked on WAVE and AIFF files built here byte by byte:
// sound files pass, each kind of file the loader would choke on is refused, and the
// walk never reads outside the file (each file is its own exact-size buffer, so the
// sanitizer sees any read beyond it).
#include "check.hpp"
#include "core/musicFile.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A file held in memory.
class MemorySource : public musicFile::Source {
  public:
    MemorySource(const void* bytes, size_t size) : bytes_(bytes), size_(size) {}
    uint64_t size() override { return size_; }
    size_t read(uint64_t offset, void* out, size_t count) override {
        if (offset >= size_) return 0;
        size_t got = std::min<uint64_t>(count, size_ - offset);
        std::memcpy(out, static_cast<const uint8_t*>(bytes_) + offset, got);
        return got;
    }

  private:
    const void* bytes_;
    size_t size_;
};

void le(Bytes& out, uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void be(Bytes& out, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void text(Bytes& out, const char* chars) {
    out.insert(out.end(), chars, chars + std::strlen(chars));
}

void riffChunk(Bytes& out, const char* type, const Bytes& data, uint32_t declared) {
    text(out, type);
    le(out, declared, 4);
    out.insert(out.end(), data.begin(), data.end());
}

void riffChunk(Bytes& out, const char* type, const Bytes& data) {
    riffChunk(out, type, data, uint32_t(data.size()));
}

struct Format {
    uint32_t encoding = 1, channels = 2, rate = 44100, bits = 16, alignment = 4;
};

Bytes formatChunk(const Format& format) {
    Bytes data;
    le(data, format.encoding, 2);
    le(data, format.channels, 2);
    le(data, format.rate, 4);
    le(data, format.rate * format.alignment, 4);
    le(data, format.alignment, 2);
    le(data, format.bits, 2);
    return data;
}

// A WAVE file: "RIFF", its length, "WAVE", then the chunks as given.
Bytes wave(const Bytes& chunks) {
    Bytes file;
    text(file, "RIFF");
    le(file, uint32_t(chunks.size() + 4), 4);
    text(file, "WAVE");
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
}

Bytes soundChunks(const Format& format = {}) {
    Bytes chunks;
    riffChunk(chunks, "fmt ", formatChunk(format));
    riffChunk(chunks, "data", Bytes(64, 0x11));
    return chunks;
}

Bytes infoList(const Bytes& entries) {
    Bytes data;
    text(data, "INFO");
    data.insert(data.end(), entries.begin(), entries.end());
    return data;
}

Bytes infoEntry(const char* name, const char* value, uint32_t declared) {
    Bytes entry;
    text(entry, name);
    le(entry, declared, 4);
    entry.insert(entry.end(), value, value + std::strlen(value) + 1);
    return entry;
}

Bytes sampler(uint32_t loops, size_t loopBytes) {
    Bytes data(28, 0);
    le(data, loops, 4);
    le(data, 0, 4);
    data.resize(data.size() + loopBytes, 0);
    return data;
}

// An AIFF file with a COMM chunk of the given channels and 80-bit rate bytes.
Bytes aiff(uint32_t channels, const Bytes& rate, const Bytes& extra = {}) {
    Bytes chunks;
    text(chunks, "AIFF");
    text(chunks, "COMM");
    be(chunks, 18, 4);
    be(chunks, channels, 2);
    be(chunks, 16, 4); // frames
    be(chunks, 16, 2); // bits
    chunks.insert(chunks.end(), rate.begin(), rate.end());
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    text(chunks, "SSND");
    be(chunks, 8 + 64, 4);
    be(chunks, 0, 4);
    be(chunks, 0, 4);
    chunks.resize(chunks.size() + 64, 0x22);
    Bytes file;
    text(file, "FORM");
    be(file, uint32_t(chunks.size()), 4);
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
}

const Bytes rate44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};

bool passes(const Bytes& file) {
    // An exact copy on the heap, so that any read past the end is seen.
    auto* copy = new uint8_t[file.size() ? file.size() : 1];
    if (!file.empty()) std::memcpy(copy, file.data(), file.size());
    MemorySource source(copy, file.size());
    bool fine = musicFile::checkWave(source) == nullptr;
    delete[] copy;
    return fine;
}

} // namespace

NATIVE_TEST(soundWaveFilesPass) {
    CHECK(passes(wave(soundChunks())));
    for (Format format :
         {Format{1, 1, 8000, 8, 1}, Format{1, 8, 96000, 24, 24}, Format{3, 2, 48000, 32, 8},
          Format{3, 1, 768000, 64, 8}, Format{6, 2, 8000, 8, 2}, Format{7, 1, 1, 8, 1}})
        CHECK(passes(wave(soundChunks(format))));
    // Chunks the loader knows, well made; a data chunk that runs past the end.
    Bytes chunks = soundChunks();
    riffChunk(chunks, "LIST", infoList(infoEntry("INAM", "title", 6)));
    riffChunk(chunks, "smpl", sampler(1, 24));
    riffChunk(chunks, "junk", Bytes(3, 0));
    riffChunk(chunks, "data", Bytes(8, 0), 1000);
    CHECK(passes(wave(chunks)));
}

NATIVE_TEST(formatsOutOfRangeAreRefused) {
    for (Format format :
         {Format{1, 0, 44100, 16, 4}, Format{1, 9, 44100, 16, 18}, Format{1, 256, 44100, 16, 4},
          Format{1, 32768, 44100, 16, 4}, Format{1, 2, 0, 16, 4}, Format{1, 2, 768001, 16, 4},
          Format{1, 2, 0x80000000u, 16, 4}, Format{1, 2, 44100, 16, 0}, Format{1, 2, 44100, 16, 3}})
        CHECK(!passes(wave(soundChunks(format))));
    // What the loader refuses by itself is left to it.
    CHECK(passes(wave(soundChunks(Format{1, 0, 44100, 12, 4}))));
    CHECK(passes(wave(soundChunks(Format{2, 0, 44100, 4, 4}))));
}

NATIVE_TEST(chunksReadBeyondTheirDataAreRefused) {
    Bytes cutEntry = infoList({});
    text(cutEntry, "IARTxx"); // the entry's length cut off by the chunk's end
    const Bytes shortLists[] = {Bytes{'I'}, Bytes{'I', 'N'}, Bytes{'I', 'N', 'F'}, cutEntry};
    for (const Bytes& list : shortLists) {
        Bytes chunks = soundChunks();
        riffChunk(chunks, "LIST", list);
        CHECK(!passes(wave(chunks)));
    }
    Bytes unterminated = infoList(infoEntry("IALB", "album", 6));
    unterminated.pop_back(); // the text's zero
    Bytes chunks = soundChunks();
    riffChunk(chunks, "LIST", unterminated);
    CHECK(!passes(wave(chunks)));
    for (size_t loopBytes : {0, 23}) {
        Bytes withSampler = soundChunks();
        riffChunk(withSampler, "smpl", sampler(1, loopBytes));
        CHECK(!passes(wave(withSampler)));
    }
    Bytes tooShort = soundChunks();
    riffChunk(tooShort, "smpl", Bytes(20, 0));
    CHECK(!passes(wave(tooShort)));
}

NATIVE_TEST(entriesTheLoaderSkipsPass) {
    // A length beyond the chunk makes the loader step over the entry's name only.
    Bytes list = infoList(infoEntry("BCPR", "x", 1000));
    Bytes chunks = soundChunks();
    riffChunk(chunks, "LIST", list);
    CHECK(passes(wave(chunks)));
    // Lists of other kinds are not looked into.
    Bytes other;
    text(other, "adtlINAM");
    Bytes withOther = soundChunks();
    riffChunk(withOther, "LIST", other);
    CHECK(passes(wave(withOther)));
}

NATIVE_TEST(waveChunksAreWalkedWithAndWithoutTheirPadding) {
    // After a chunk of odd length SDL_mixer 2.6 reads the next chunk at once and 2.8 one
    // byte later: a short LIST chunk is refused where either of them meets it.
    for (bool padded : {false, true}) {
        Bytes chunks = soundChunks();
        riffChunk(chunks, "junk", Bytes(3, 0));
        if (padded) chunks.push_back(0);
        Bytes good = chunks;
        riffChunk(good, "LIST", infoList(infoEntry("INAM", "title", 6)));
        CHECK(passes(wave(good)));
        riffChunk(chunks, "LIST", Bytes{'I', 'N'});
        CHECK(!passes(wave(chunks)));
    }
}

NATIVE_TEST(everyCutOfAWaveFileIsWalkedSafely) {
    Bytes chunks = soundChunks();
    riffChunk(chunks, "LIST", infoList(infoEntry("INAM", "title", 6)));
    riffChunk(chunks, "smpl", sampler(2, 48));
    Bytes file = wave(chunks);
    for (size_t size = 0; size <= file.size(); ++size)
        passes(Bytes(file.begin(), file.begin() + std::ptrdiff_t(size)));
    for (size_t i = 0; i < file.size(); ++i) // every byte at its extremes
        for (uint8_t value : {uint8_t(0), uint8_t(0xFF)}) {
            Bytes changed = file;
            changed[i] = value;
            passes(changed);
        }
}

NATIVE_TEST(aiffFormatsAreChecked) {
    CHECK(passes(aiff(2, rate44100)));
    CHECK(!passes(aiff(0, rate44100)));
    CHECK(!passes(aiff(256, rate44100)));
    CHECK(!passes(aiff(2, Bytes{0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}))); // negative: 0
    CHECK(!passes(aiff(2, Bytes{0x41, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0})));       // far too high
    // A text chunk that says 2^32 - 1 bytes; one that fits passes.
    Bytes name;
    text(name, "NAME");
    be(name, 0xFFFFFFFF, 4);
    text(name, "some text");
    CHECK(!passes(aiff(2, rate44100, name)));
    Bytes fitting;
    text(fitting, "NAME");
    be(fitting, 4, 4);
    text(fitting, "name");
    CHECK(passes(aiff(2, rate44100, fitting)));
}

NATIVE_TEST(theMixersKindOfAFile) {
    auto detected = [](const Bytes& file) {
        MemorySource source(file.data(), file.size());
        return musicFile::detectedAsWave(source);
    };
    CHECK(detected(wave(soundChunks())));
    CHECK(detected(aiff(2, rate44100)));
    Bytes avi = wave(soundChunks());
    std::memcpy(avi.data() + 8, "AVI ", 4);
    CHECK(!detected(avi));
    CHECK(!detected(Bytes{'R', 'I', 'F', 'F'}));
    CHECK(!detected(Bytes{'O', 'g', 'g', 'S', 0, 0, 0, 0, 0, 0, 0, 0}));
}

namespace {

Bytes id3Frame(const char* key, uint32_t declared, size_t dataBytes) {
    Bytes frame;
    text(frame, key);
    be(frame, declared, 4);
    le(frame, 0, 2);
    frame.push_back(1); // UTF-16
    frame.resize(frame.size() + dataBytes - 1, 'a');
    return frame;
}

Bytes id3Tag(uint8_t version, const Bytes& frames) {
    Bytes tag;
    text(tag, "ID3");
    tag.push_back(version);
    tag.push_back(0);
    tag.push_back(0);
    uint32_t size = uint32_t(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(uint8_t((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

bool waveWithTagPasses(const Bytes& tag) {
    Bytes chunks = soundChunks();
    riffChunk(chunks, "id3 ", tag);
    return passes(wave(chunks));
}

const char* mp3Problem(const Bytes& file) {
    auto* copy = new uint8_t[file.size()];
    std::memcpy(copy, file.data(), file.size());
    MemorySource source(copy, file.size());
    const char* problem = musicFile::checkMp3(source);
    delete[] copy;
    return problem;
}

Bytes mp3(const Bytes& tag) {
    Bytes file = tag;
    file.insert(file.end(), {0xFF, 0xF3, 0x14, 0xC4});
    file.resize(file.size() + 100, 0);
    return file;
}

} // namespace

NATIVE_TEST(id3TextFramesLargerThanTheReaderTakesAreRefused) {
    // The title, artist, album and copyright frames of versions 3 and 4 are copied by
    // their declared size out of 1024 bytes; other frames, and version 2, by what was read.
    CHECK(waveWithTagPasses(id3Tag(3, id3Frame("TIT2", 1023, 20))));
    CHECK(!waveWithTagPasses(id3Tag(3, id3Frame("TIT2", 1024, 20))));
    CHECK(!waveWithTagPasses(id3Tag(3, id3Frame("TCOP", 0xFFFFFFFF, 20))));
    CHECK(!waveWithTagPasses(id3Tag(4, id3Frame("TALB", 0x7F7F7F7F, 20)))); // synchsafe
    CHECK(waveWithTagPasses(id3Tag(3, id3Frame("PRIV", 1 << 24, 20))));
    Bytes small = id3Tag(3, id3Frame("COMM", 30, 30));
    Bytes later = id3Frame("TPE1", 5000, 20);
    small.insert(small.end(), later.begin(), later.end()); // past the tag's length: not read
    CHECK(waveWithTagPasses(small));
    Bytes ofVersion2 = id3Tag(2, Bytes{'T', 'T', '2', 0x10, 0, 0, 1, 'a', 'b'});
    CHECK(waveWithTagPasses(ofVersion2));
    // A tag longer than its chunk is not read.
    Bytes cut = id3Tag(3, id3Frame("TIT2", 5000, 20));
    cut.resize(cut.size() - 5);
    CHECK(waveWithTagPasses(cut));
    Bytes aiffTag;
    text(aiffTag, "ID3 ");
    Bytes big = id3Tag(3, id3Frame("TIT2", 4096, 20));
    be(aiffTag, uint32_t(big.size()), 4);
    aiffTag.insert(aiffTag.end(), big.begin(), big.end());
    CHECK(!passes(aiff(2, rate44100, aiffTag)));
}

NATIVE_TEST(id3ExtendedHeadersAreSteppedOverAsEitherReaderDoes) {
    // A title frame 16 bytes into the tag, after an extended header whose size field
    // says 2 or 6: SDL_mixer 2.6 steps over the field and 2 bytes, 2.8 over 6 bytes
    // from the field on. A frame too large for the reader is refused for either.
    for (uint32_t extended : {2u, 6u})
        for (uint32_t declared : {10u, 4096u}) {
            Bytes body;
            for (int shift = 21; shift >= 0; shift -= 7)
                body.push_back(uint8_t((extended >> shift) & 0x7F));
            body.resize(6, 0);
            Bytes frame = id3Frame("TIT2", declared, 10);
            body.insert(body.end(), frame.begin(), frame.end());
            Bytes tag = id3Tag(3, body);
            tag[5] = 0x40; // with an extended header
            CHECK((mp3Problem(mp3(tag)) == nullptr) == (declared == 10));
        }
}

NATIVE_TEST(mp3TagsAreWalkedAsTheirReaderWalksThem) {
    CHECK(mp3Problem(mp3(id3Tag(3, id3Frame("TIT2", 10, 10)))) == nullptr);
    CHECK(mp3Problem(mp3(id3Tag(3, id3Frame("TPE1", 1 << 20, 10)))) != nullptr);
    Bytes file = mp3(id3Tag(4, id3Frame("TIT2", 10, 10)));
    for (size_t size = 1; size <= file.size(); ++size) // every cut, inside exact buffers
        mp3Problem(Bytes(file.begin(), file.begin() + std::ptrdiff_t(size)));
    auto detected = [](Bytes file) {
        MemorySource source(file.data(), file.size());
        return musicFile::detectedAsMp3(source);
    };
    CHECK(detected(file));
    CHECK(detected(Bytes{0xFF, 0xF3, 0x14, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0}));
    CHECK(!detected(wave(soundChunks())));
    CHECK(!detected(Bytes{'I', 'D', '3'}));
}
