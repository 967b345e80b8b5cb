// The walk of SDL_mixer's WAVE loader over RIFF WAVE and IFF AIFF files, of
// musicFile.hpp.
#include "core/musicFile.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace musicFile {

size_t MemorySource::read(uint64_t offset, void* out, size_t count) {
    if (offset >= size_) return 0;
    size_t got = std::min<uint64_t>(count, size_ - offset);
    std::memcpy(out, static_cast<const uint8_t*>(bytes_) + offset, got);
    return got;
}

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

const char* checkRiff(Reader& file) {
    uint64_t at = 12; // the magic, the RIFF length, "WAVE"
    for (;;) {
        uint32_t type = file.le(at, 4), length = file.le(at + 4, 4);
        at += 8;
        if (length == 0) return nullptr;
        bool readWhole = type == tag("smpl") || type == tag("LIST") || type == tag("id3 ");
        if (readWhole && !file.holds(at, length)) return nullptr; // refused by the loader
        const char* problem = type == tag("fmt ")   ? checkFormat(file, at, length)
                              : type == tag("smpl") ? checkSampler(file, at, length)
                              : type == tag("LIST") ? checkList(file, at, length)
                                                    : nullptr;
        if (problem) return problem;
        at += length;
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

const char* checkWave(Source& file) {
    Reader reader(file);
    uint32_t magic = reader.le(0, 4);
    if (magic == tag("RIFF") || magic == tag("WAVE")) return checkRiff(reader);
    if (magic == tag("FORM")) return checkAiff(reader);
    return nullptr;
}

} // namespace musicFile
