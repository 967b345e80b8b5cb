// The PNG chunk walk of pngframing.hpp.
#include "core/pngframing.hpp"

#include <cstring>

namespace pngframing {

namespace {

constexpr uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t longestChunk = 0x7FFFFFFF;
constexpr size_t headerSize = 8; // length and type
constexpr size_t crcSize = 4;

uint32_t bigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
           uint32_t(bytes[3]);
}

} // namespace

bool looksLikePng(const uint8_t* data, size_t size) {
    return size >= 4 && std::memcmp(data, signature, 4) == 0;
}

bool isComplete(const uint8_t* data, size_t size) {
    if (size < sizeof signature || std::memcmp(data, signature, sizeof signature) != 0)
        return false;
    size_t offset = sizeof signature;
    while (size - offset >= headerSize) {
        uint32_t length = bigEndian32(data + offset);
        if (length > longestChunk) return false;
        bool last = std::memcmp(data + offset + 4, "IEND", 4) == 0;
        size_t rest = size - offset - headerSize; // what follows the header
        if (rest < crcSize || rest - crcSize < length) return false;
        offset += headerSize + length + crcSize;
        if (last) return true;
    }
    return false;
}

} // namespace pngframing
