// The chunk framing of PNG files, checked on the bytes before a decoder sees them.
// No Python, no SDL.
//
// A PNG is the 8-byte signature followed by chunks: a 4-byte big-endian data length
// (at most 2^31 - 1), a 4-byte type, the data and a 4-byte CRC, up to the chunk of
// type IEND. A file cut short (partly written, partly downloaded) ends inside a
// chunk or before IEND; SDL_image's reader ignores short reads, so the decoder would
// spin on such a file instead of failing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pngframing {

// Whether image decoders take `data` for a PNG: it begins with the signature's first
// four bytes, 0x89 "PNG".
bool looksLikePng(const uint8_t* data, size_t size);

// Whether `data` holds the whole signature and every chunk up to and including IEND,
// each with its length in range and its data and CRC inside `size` bytes. Bytes after
// IEND are allowed. CRCs and chunk contents are left to the decoder.
bool isComplete(const uint8_t* data, size_t size);

} // namespace pngframing
