// The pixel loops of pixels.hpp. Each area is walked row by row through the row loops
// of the instruction set in use (pixelsRows.hpp, instructions.hpp): AVX2, SSE2 or plain
// C++; all three give identical results.
#include "core/pixels.hpp"

#include "core/instructions.hpp"
#include "core/pixelsRows.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixels {

// --- the plain loops ---------------------------------------------------------------------

namespace rows {
namespace {

void fillScalar(uint32_t* row, size_t count, uint32_t value) {
    std::fill_n(row, count, value);
}

void blendScalar(uint32_t* target, const uint32_t* source, size_t count) {
    for (size_t x = 0; x < count; ++x)
        target[x] = blendOne(source[x], target[x]);
}

void copyMaskedScalar(uint32_t* target, const uint32_t* source, size_t count, uint32_t keep) {
    for (size_t x = 0; x < count; ++x)
        target[x] = source[x] & keep;
}

} // namespace

const Loops scalar = {fillScalar, blendScalar, copyMaskedScalar};

// --- SSE2, four pixels per step ----------------------------------------------------------

#if defined(__SSE2__)
namespace {

// Cached stores on 16-byte boundaries; the first and the last four pixels are stored
// unaligned, overlapping the aligned ones where they meet.
void fillSse2(uint32_t* row, size_t count, uint32_t value) {
    if (count < 4) return fillScalar(row, count, value);
    const __m128i four = _mm_set1_epi32(int(value));
    uint32_t* end = row + count;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), four);
    uint32_t* at = row + ((16 - (reinterpret_cast<uintptr_t>(row) & 15)) & 15) / sizeof(uint32_t);
    for (; end - at >= 16; at += 16) {
        _mm_store_si128(reinterpret_cast<__m128i*>(at), four);
        _mm_store_si128(reinterpret_cast<__m128i*>(at + 4), four);
        _mm_store_si128(reinterpret_cast<__m128i*>(at + 8), four);
        _mm_store_si128(reinterpret_cast<__m128i*>(at + 12), four);
    }
    for (; end - at >= 4; at += 4)
        _mm_store_si128(reinterpret_cast<__m128i*>(at), four);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 4), four);
}

// Four pixels split into their red and blue and their alpha and green channels, each in
// a 16-bit lane, as blendOne splits them: the same sums, divided by 255 as
// (t * 257) >> 16.
inline __m128i blendFour(__m128i source, __m128i target) {
    const __m128i lowBytes = _mm_set1_epi32(0x00ff00ff);
    const __m128i alphaLane = _mm_set1_epi32(0x00ff0000);
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i spread = _mm_set1_epi16(257);
    __m128i alpha = _mm_srli_epi32(source, 24);
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
    __m128i inverse = _mm_sub_epi16(full, alpha);
    __m128i redBlue =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(source, lowBytes), alpha),
                                    _mm_mullo_epi16(_mm_and_si128(target, lowBytes), inverse)),
                      half);
    // The source's alpha lane counts as 255, so the result is alpha + targetAlpha * inverse / 255.
    __m128i alphaGreen = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_or_si128(_mm_srli_epi16(source, 8), alphaLane), alpha),
                      _mm_mullo_epi16(_mm_srli_epi16(target, 8), inverse)),
        half);
    return _mm_or_si128(_mm_mulhi_epu16(redBlue, spread),
                        _mm_slli_epi16(_mm_mulhi_epu16(alphaGreen, spread), 8));
}

// Four opaque source pixels are the result as they are, four transparent ones leave the
// target: sprites and skins are mostly made of such runs.
void blendSse2(uint32_t* target, const uint32_t* source, size_t count) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaMask = _mm_set1_epi32(int(0xff000000u));
    size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
        __m128i alphas = _mm_and_si128(from, alphaMask);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, alphaMask)) == 0xffff) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), from);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, zero)) == 0xffff) continue;
        __m128i to = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), blendFour(from, to));
    }
    blendScalar(target + x, source + x, count - x);
}

void copyMaskedSse2(uint32_t* target, const uint32_t* source, size_t count, uint32_t keep) {
    const __m128i mask = _mm_set1_epi32(int(keep));
    size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), _mm_and_si128(from, mask));
    }
    copyMaskedScalar(target + x, source + x, count - x, keep);
}

} // namespace

const Loops sse2 = {fillSse2, blendSse2, copyMaskedSse2};

// Stores that bypass the caches: a fill larger than the caches would otherwise read
// every line in before overwriting it.
void streamFill(uint32_t* row, size_t count, uint32_t value) {
    size_t x = 0;
    for (; x < count && (reinterpret_cast<uintptr_t>(row + x) & 15) != 0; ++x)
        row[x] = value;
    const __m128i four = _mm_set1_epi32(int(value));
    for (; x + 4 <= count; x += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(row + x), four);
    for (; x < count; ++x)
        row[x] = value;
}
#endif

} // namespace rows

// --- choosing the loops ------------------------------------------------------------------

namespace {

// AVX-512 runs the AVX2 loops.
const rows::Loops& loops() {
    [[maybe_unused]] instructions::Set set = instructions::inUse();
#if defined(__x86_64__)
    if (set >= instructions::Set::avx2) return rows::avx2;
#endif
#if defined(__SSE2__)
    if (set >= instructions::Set::sse2) return rows::sse2;
#endif
    return rows::scalar;
}

// Fills from this size on write around the caches; smaller ones stay in the last-level
// cache, where cached stores are faster and the next reader finds the pixels.
size_t streamingBytes() {
    static const size_t bytes = [] {
        long cache = -1;
#if defined(_SC_LEVEL3_CACHE_SIZE)
        cache = sysconf(_SC_LEVEL3_CACHE_SIZE);
        if (cache <= 0) cache = sysconf(_SC_LEVEL2_CACHE_SIZE);
#endif
        return cache > 0 ? size_t(cache) / 4 * 3 : size_t(8) << 20;
    }();
    return bytes;
}

} // namespace

// --- the areas ---------------------------------------------------------------------------

void fill(const Area& target, uint32_t value) {
    if (target.width <= 0 || target.height <= 0) return;
    size_t width = size_t(target.width), height = size_t(target.height);
    // Packed rows are one long row.
    if (target.stride == width) {
        width *= height;
        height = 1;
    }
#if defined(__SSE2__)
    if (width * height * sizeof(uint32_t) >= streamingBytes() &&
        instructions::inUse() != instructions::Set::plain) {
        for (size_t y = 0; y < height; ++y)
            rows::streamFill(target.pixels + y * target.stride, width, value);
        _mm_sfence();
        return;
    }
#endif
    auto fillRow = loops().fill;
    for (size_t y = 0; y < height; ++y)
        fillRow(target.pixels + y * target.stride, width, value);
}

void copy(const Area& target, const ConstArea& source) {
    if (target.width <= 0 || target.height <= 0 || target.pixels == source.pixels) return;
    size_t rowBytes = size_t(target.width) * sizeof(uint32_t);
    if (target.stride == size_t(target.width) && source.stride == size_t(source.width)) {
        std::memmove(target.pixels, source.pixels, rowBytes * size_t(target.height));
        return;
    }
    for (int32_t y = 0; y < target.height; ++y)
        std::memmove(target.pixels + size_t(y) * target.stride,
                     source.pixels + size_t(y) * source.stride, rowBytes);
}

void copyMasked(const Area& target, const ConstArea& source, uint32_t keep) {
    if (keep == 0xffffffffu) return copy(target, source);
    if (target.width <= 0 || target.height <= 0) return;
    auto copyRow = loops().copyMasked;
    for (int32_t y = 0; y < target.height; ++y)
        copyRow(target.pixels + size_t(y) * target.stride,
                source.pixels + size_t(y) * source.stride, size_t(target.width), keep);
}

void packRows(uint32_t* pixels, size_t stride, int32_t width, int32_t height) {
    if (stride == size_t(width)) return;
    // Every row moves towards the start, never over a row not yet moved.
    for (int32_t y = 1; y < height; ++y)
        std::memmove(pixels + size_t(y) * size_t(width), pixels + size_t(y) * stride,
                     size_t(width) * sizeof(uint32_t));
}

void blend(const Area& target, const ConstArea& source) {
    if (target.width <= 0) return;
    auto blendRow = loops().blend;
    for (int32_t y = 0; y < target.height; ++y)
        blendRow(target.pixels + size_t(y) * target.stride,
                 source.pixels + size_t(y) * source.stride, size_t(target.width));
}

// Each target row gathers its samples from one source row into a row of its own, then
// copies or blends that row; consecutive target rows of one source row gather once.
// A short row is copied in place; calling memcpy costs more than the copy.
static inline void copyRow(uint32_t* target, const uint32_t* source, size_t width) {
    if (width > 8)
        std::memcpy(target, source, width * sizeof(uint32_t));
    else
        for (size_t x = 0; x < width; ++x)
            target[x] = source[x];
}

// The rows of a source as wide as the target: only rows repeat or drop out.
template <bool blending> static void stretchColumns(const Area& target, const ConstArea& source) {
    auto blendRow = loops().blend;
    uint32_t stepY = (uint32_t(source.height) << 16) / uint32_t(target.height);
    uint32_t position = stepY / 2;
    for (int32_t y = 0; y < target.height; ++y, position += stepY) {
        const uint32_t* from = source.pixels + size_t(position >> 16) * source.stride;
        uint32_t* row = target.pixels + size_t(y) * target.stride;
        if constexpr (blending)
            blendRow(row, from, size_t(target.width));
        else
            copyRow(row, from, size_t(target.width));
    }
}

template <bool blending>
static void stretchRows(const Area& target, const ConstArea& source, uint32_t* columns,
                        uint32_t* samples) {
    auto blendRow = loops().blend;
    size_t width = size_t(target.width);
    uint32_t stepX = (uint32_t(source.width) << 16) / uint32_t(target.width);
    uint32_t stepY = (uint32_t(source.height) << 16) / uint32_t(target.height);
    uint32_t position = stepX / 2;
    for (size_t x = 0; x < width; ++x, position += stepX)
        columns[x] = position >> 16;
    size_t gathered = size_t(-1);
    // What blending a gathered row comes to: every sample opaque (a copy), every sample
    // transparent (nothing), or a blend.
    enum { copies, skips, blends } kind = copies;
    position = stepY / 2;
    for (int32_t y = 0; y < target.height; ++y, position += stepY) {
        size_t sourceRow = position >> 16;
        if (sourceRow != gathered) {
            const uint32_t* from = source.pixels + sourceRow * source.stride;
            uint32_t all = 0xffffffffu, any = 0;
            for (size_t x = 0; x < width; ++x) {
                uint32_t sample = from[columns[x]];
                samples[x] = sample;
                all &= sample;
                any |= sample;
            }
            kind = !blending || (all >> 24) == 0xff ? copies : (any >> 24) == 0 ? skips : blends;
            gathered = sourceRow;
        }
        uint32_t* row = target.pixels + size_t(y) * target.stride;
        if (kind == copies)
            copyRow(row, samples, width);
        else if (kind == blends)
            blendRow(row, samples, width);
    }
}

// The sample columns and one gathered row; on the stack for the usual widths.
template <bool blending> static void stretch(const Area& target, const ConstArea& source) {
    if (source.width == target.width) return stretchColumns<blending>(target, source);
    constexpr int32_t onStack = 1024;
    if (target.width <= onStack) {
        uint32_t columns[onStack], samples[onStack];
        stretchRows<blending>(target, source, columns, samples);
        return;
    }
    std::vector<uint32_t> columns(size_t(target.width)), samples(size_t(target.width));
    stretchRows<blending>(target, source, columns.data(), samples.data());
}

void copyScaled(const Area& target, const ConstArea& source) {
    stretch<false>(target, source);
}

void blendScaled(const Area& target, const ConstArea& source) {
    stretch<true>(target, source);
}

} // namespace pixels
