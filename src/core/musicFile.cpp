// The walk of SDL_mixer's WAVE loader over RIFF WAVE and IFF AIFF files, of
// musicFile.hpp.
#include "core/musicFile.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace musicFile {

namespace {

constexpr uint32_t mostChannels = 8;
constexpr uint32_t highestRate = 768000;

uint32_t tag(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
           uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

uint32_t littleEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

uint32_t bigEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

// The file as the loader reads it: a read that meets the end gives the bytes there
// and zeros for the rest, as its stream's reads of whole numbers do.
class Reader {
  public:
    explicit Reader(Source& file) : file_(file), size_(file.size()) {}

    uint64_t size() const { return size_; }
    // Whether `count` bytes at `offset` are all inside the file.
    bool holds(uint64_t offset, uint64_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    void bytes(uint64_t offset, uint8_t* out, size_t count) {
        size_t got = offset < size_ ? file_.read(offset, out, count) : 0;
        std::memset(out + got, 0, count - std::min(got, count));
    }
    uint32_t le(uint64_t offset, int count) {
        uint8_t buffer[4];
        bytes(offset, buffer, size_t(count));
        return littleEndian(buffer, count);
    }
    uint32_t be(uint64_t offset, int count) {
        uint8_t buffer[4];
        bytes(offset, buffer, size_t(count));
        return bigEndian(buffer, count);
    }
    // The `count` bytes at `offset`, which the caller has found inside the file.
    std::vector<uint8_t> block(uint64_t offset, uint32_t count) {
        std::vector<uint8_t> data(count);
        bytes(offset, data.data(), count);
        return data;
    }

  private:
    Source& file_;
    uint64_t size_;
};

bool saneChannelsAndRate(uint32_t channels, uint32_t rate) {
    return channels >= 1 && channels <= mostChannels && rate >= 1 && rate <= highestRate;
}

// --- ID3v2 --------------------------------------------------------------------------------

constexpr uint64_t tagReaderBuffer = 1024; // the frame buffer of SDL_mixer's tag reader
constexpr uint64_t tagHeaderSize = 10;

uint64_t synchsafe(const uint8_t* bytes) {
    return uint64_t(bytes[0]) << 21 | uint64_t(bytes[1]) << 14 | uint64_t(bytes[2]) << 7 | bytes[3];
}

// Whether the `size` bytes at `at` begin with what the tag reader takes for an ID3v2
// tag, and how long it takes the tag to be (header, body, footer).
bool id3Header(Reader& file, uint64_t at, uint64_t size, uint64_t& length) {
    uint8_t header[tagHeaderSize];
    if (size < tagHeaderSize) return false;
    file.bytes(at, header, sizeof header);
    if (std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF ||
        (header[6] | header[7] | header[8] | header[9]) & 0x80)
        return false;
    length = synchsafe(header + 6) + tagHeaderSize + ((header[5] & 0x10) ? tagHeaderSize : 0);
    return true;
}

// The frames of an ID3v2 tag of `version` whose walk starts at `position` (from `at`):
// the reader reads them when `position` plus `length` lies inside the `size` bytes, up
// to `total`. For the title, artist, album and copyright frames of versions 3 and 4 it
// decodes the size the frame declares from a buffer of 1024 bytes, whatever it could
// read: a larger frame is read past that buffer.
const char* checkFrameWalk(Reader& file, uint64_t at, uint64_t size, uint8_t version,
                           uint64_t position, int64_t length, int64_t total) {
    if (int64_t(position) + length > int64_t(size)) return nullptr; // not read
    const uint64_t frameHeader = version == 2 ? 6 : 10;
    while (int64_t(position) < total) {
        uint64_t begin = position;
        if (size - position < frameHeader) return nullptr;
        uint8_t frame[10];
        file.bytes(at + position, frame, frameHeader);
        if (std::memcmp(frame, "\0\0\0\0", version == 2 ? 3 : 4) == 0) return nullptr;
        uint64_t frameLength = version == 2   ? bigEndian(frame + 3, 3)
                               : version == 4 ? synchsafe(frame + 4)
                                              : bigEndian(frame + 4, 4);
        bool decoded = version > 2 &&
                       (std::memcmp(frame, "TIT2", 4) == 0 || std::memcmp(frame, "TPE1", 4) == 0 ||
                        std::memcmp(frame, "TALB", 4) == 0 || std::memcmp(frame, "TCOP", 4) == 0);
        if (decoded && frameLength >= tagReaderBuffer)
            return "The music's ID3 tag has a text frame longer than its reader takes.";
        if (frameLength < tagReaderBuffer)
            position = begin + frameHeader + std::min(frameLength, size - begin - frameHeader);
        else
            position = std::min(begin + frameLength, size);
    }
    return nullptr;
}

// The frames of the ID3v2 tag at the start of the `size` bytes at `at`, walked as
// either reader walks them. The two differ in the extended header only: SDL_mixer 2.6
// steps over the header and its size field and adds both to the tag; 2.8 steps over
// the size the header gives, from its size field on, and takes it from the tag. Where
// 2.8 meets the end of its data it stops, where 2.6 goes on: 2.6's walk covers it.
const char* checkId3Frames(Reader& file, uint64_t at, uint64_t size) {
    uint8_t header[tagHeaderSize];
    file.bytes(at, header, sizeof header);
    uint8_t version = header[3], flags = header[5];
    int64_t tagLength = int64_t(synchsafe(header + 6));
    if (version < 2 || version > 4) return nullptr;
    int64_t extended = 0;
    if (version > 2 && (flags & 0x40)) {
        if (size < tagHeaderSize + 4) return "The music's ID3 tag ends inside its extended header.";
        uint8_t field[4];
        file.bytes(at + tagHeaderSize, field, 4);
        extended = int64_t(synchsafe(field));
    }
    const int64_t framed = tagHeaderSize + ((flags & 0x10) ? tagHeaderSize : 0);
    const int64_t skippedBy26 = extended ? extended + 4 : 0;
    auto start = [&](int64_t skipped) { return std::min(uint64_t(tagHeaderSize + skipped), size); };
    if (const char* problem = checkFrameWalk(file, at, size, version, start(skippedBy26), tagLength,
                                             framed + skippedBy26 + tagLength))
        return problem;
    return checkFrameWalk(file, at, size, version, start(extended), tagLength - extended,
                          framed + tagLength - extended);
}

// An ID3v2 tag read from memory (a WAVE or AIFF chunk): read when its length fits.
const char* checkTagChunk(Reader& file, uint64_t at, uint32_t size) {
    uint64_t length;
    if (!id3Header(file, at, size, length) || length > size) return nullptr;
    return checkId3Frames(file, at, size);
}

// --- WAVE ---------------------------------------------------------------------------------

constexpr uint32_t pcmCode = 1, floatCode = 3, alawCode = 6, mulawCode = 7, extensibleCode = 0xFFFE;
constexpr uint32_t formatSize = 16, extensibleSize = 40;

// The bit depths that the loader decodes for each encoding; it refuses the others.
bool decodable(uint32_t encoding, uint32_t bits) {
    switch (encoding) {
    case pcmCode:
        return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case floatCode:
        return bits == 32 || bits == 64;
    case alawCode:
    case mulawCode:
        return bits == 8;
    default:
        return false;
    }
}

// The loader reads 16 bytes of the format, or 40 when the chunk has them.
const char* checkFormat(Reader& file, uint64_t at, uint32_t length) {
    if (length < formatSize) return nullptr; // refused by the loader
    uint32_t size = length >= extensibleSize ? extensibleSize : formatSize;
    if (!file.holds(at, size)) return nullptr; // a short read: refused by the loader
    uint8_t format[extensibleSize];
    file.bytes(at, format, size);
    uint32_t encoding = littleEndian(format, 2);
    if (encoding == extensibleCode) {
        if (size < extensibleSize) return nullptr;
        encoding = littleEndian(format + 24, 2);
    }
    uint32_t channels = littleEndian(format + 2, 2), rate = littleEndian(format + 4, 4);
    uint32_t alignment = littleEndian(format + 12, 2), bits = littleEndian(format + 14, 2);
    if (!decodable(encoding, bits)) return nullptr;
    if (!saneChannelsAndRate(channels, rate))
        return "The music's format gives a channel count or a rate out of range.";
    if (alignment != channels * (bits / 8))
        return "The music's format gives a block alignment that does not fit its samples.";
    return nullptr;
}

// The sampler chunk: 36 bytes, then as many loops of 24 bytes as it counts.
const char* checkSampler(Reader& file, uint64_t at, uint32_t length) {
    constexpr uint32_t headerSize = 36, loopSize = 24;
    if (length < headerSize) return "The music's sampler chunk is too short.";
    uint64_t loops = file.le(at + 28, 4);
    if (headerSize + loops * loopSize > length)
        return "The music's sampler chunk counts more loops than it holds.";
    return nullptr;
}

// The loader looks for four kinds of INFO entries at every byte of the list; an entry
// it finds gives a length, then a text that it reads up to its terminating zero.
const char* checkList(Reader& file, uint64_t at, uint32_t length) {
    if (length < 4) return "The music's LIST chunk is too short.";
    std::vector<uint8_t> data = file.block(at, length);
    if (std::memcmp(data.data(), "INFO", 4) != 0) return nullptr;
    const char* entries[] = {"INAM", "IART", "IALB", "BCPR"};
    size_t i = 4;
    while (i < length - 4) {
        bool entry = std::any_of(std::begin(entries), std::end(entries), [&](const char* name) {
            return std::memcmp(data.data() + i, name, 4) == 0;
        });
        if (!entry) {
            ++i;
            continue;
        }
        i += 4;
        if (i + 4 > length) return "The music's LIST chunk ends inside an entry.";
        uint32_t textLength = littleEndian(data.data() + i, 4);
        if (textLength > length) continue; // skipped by the loader
        i += 4;
        if (i >= length || !std::memchr(data.data() + i, 0, length - i))
            return "The music's LIST chunk has an entry without its end.";
        i += textLength;
    }
    return nullptr;
}

// The chunks from the twelfth byte on (after the magic, the RIFF length and "WAVE"),
// walked with or without the padding byte after a chunk of odd length: SDL_mixer 2.6
// steps over none, 2.8 over each, so a file must be sound walked either way.
const char* checkRiff(Reader& file, bool padded) {
    uint64_t at = 12;
    for (;;) {
        uint32_t type = file.le(at, 4), length = file.le(at + 4, 4);
        at += 8;
        if (length == 0) return nullptr;
        bool readWhole = type == tag("smpl") || type == tag("LIST") || type == tag("id3 ");
        if (readWhole && !file.holds(at, length)) return nullptr; // refused by the loader
        const char* problem = type == tag("fmt ")   ? checkFormat(file, at, length)
                              : type == tag("smpl") ? checkSampler(file, at, length)
                              : type == tag("LIST") ? checkList(file, at, length)
                              : type == tag("id3 ") ? checkTagChunk(file, at, length)
                                                    : nullptr;
        if (problem) return problem;
        at += length + (padded ? length & 1 : 0);
        if (at > file.size()) return nullptr; // every later read gives zeros: the walk ends
    }
}

// --- AIFF ---------------------------------------------------------------------------------

// The loader's conversion of the 80-bit rate, with its own limits.
uint32_t saneToUint32(const uint8_t* sane) {
    if (sane[0] & 0x80) return 0;
    if (sane[0] <= 0x3F) return 1;
    if (sane[0] > 0x40) return 0x4000000;
    if (sane[0] == 0x40 && sane[1] > 0x1C) return 800000000;
    return ((uint32_t(sane[2]) << 23) | (uint32_t(sane[3]) << 15) | (uint32_t(sane[4]) << 7) |
            (uint32_t(sane[5]) >> 1)) >>
           (29 - sane[1]);
}

const char* checkAiff(Reader& file) {
    uint32_t kind = file.le(8, 4);
    if (kind != tag("AIFF") && kind != tag("AIFC")) return nullptr; // refused by the loader
    uint64_t at = 12;
    bool sawCommon = false;
    uint32_t channels = 0, rate = 0;
    do {
        uint32_t type = file.le(at, 4), length = file.be(at + 4, 4);
        at += 8;
        uint64_t next = at + length + (length & 1);
        if (type == tag("NAME") || type == tag("AUTH") || type == tag("(c) ") ||
            type == tag("ID3 ")) {
            if (length == UINT32_MAX) return "The music has a text chunk of impossible length.";
            if (!file.holds(at, length)) return nullptr; // refused by the loader
            if (type == tag("ID3 ")) {
                if (const char* problem = checkTagChunk(file, at, length)) return problem;
            }
        } else if (type == tag("COMM")) {
            sawCommon = true;
            channels = file.be(at, 2);
            uint8_t sane[10];
            file.bytes(at + 8, sane, sizeof sane);
            rate = saneToUint32(sane);
        }
        at = next;
    } while (at < file.size());
    if (sawCommon && !saneChannelsAndRate(channels, rate))
        return "The music's format gives a channel count or a rate out of range.";
    return nullptr;
}

} // namespace

bool detectedAsWave(Source& file) {
    Reader reader(file);
    if (!reader.holds(0, 12)) return false; // too short to be told: refused by the mixer
    uint32_t magic = reader.le(0, 4);
    return (magic == tag("RIFF") && reader.le(8, 4) == tag("WAVE")) || magic == tag("FORM");
}

bool detectedAsMp3(Source& file) {
    Reader reader(file);
    if (!reader.holds(0, 12)) return false;
    uint8_t magic[12];
    reader.bytes(0, magic, sizeof magic);
    auto is = [&](const char* text, size_t at = 0) {
        return std::memcmp(magic + at, text, std::strlen(text)) == 0;
    };
    if ((is("RIFF") && is("WAVE", 8)) || is("FORM") || is("OggS") || is("fLaC") || is("MThd"))
        return false;
    return is("ID3") || (magic[0] == 0xFF && (magic[1] & 0xE6) == 0xE2);
}

const char* checkMp3(Source& file) {
    Reader reader(file);
    constexpr uint64_t firstRead = 128; // what the tag reader looks at first
    uint64_t length;
    if (!id3Header(reader, 0, std::min(reader.size(), firstRead), length) ||
        length >= reader.size())
        return nullptr;
    return checkId3Frames(reader, 0, reader.size());
}

const char* checkWave(Source& file) {
    Reader reader(file);
    uint32_t magic = reader.le(0, 4);
    if (magic == tag("RIFF") || magic == tag("WAVE")) {
        const char* problem = checkRiff(reader, false);
        return problem ? problem : checkRiff(reader, true);
    }
    if (magic == tag("FORM")) return checkAiff(reader);
    return nullptr;
}

} // namespace musicFile
