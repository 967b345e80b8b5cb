// The pixel loops of pixels.hpp. Blending has an SSE2 path (four pixels per step)
// and a scalar one; both compute the same sums and give identical results.
#include "core/pixels.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixels {

// Fills from this size on write around the caches.
constexpr size_t streamingBytes = 2u << 20;

#if defined(__SSE2__)
// Stores that bypass the caches: a fill larger than the caches would otherwise read
// every line in before overwriting it.
static void streamFill(uint32_t* row, size_t count, uint32_t value) {
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

void fill(const Area& target, uint32_t value) {
    if (target.width <= 0 || target.height <= 0) return;
    size_t count = size_t(target.width) * size_t(target.height);
    bool packed = target.stride == size_t(target.width);
#if defined(__SSE2__)
    if (count * sizeof(uint32_t) >= streamingBytes) {
        if (packed)
            streamFill(target.pixels, count, value);
        else
            for (int32_t y = 0; y < target.height; ++y)
                streamFill(target.pixels + size_t(y) * target.stride, size_t(target.width), value);
        _mm_sfence();
        return;
    }
#endif
    if (packed) {
        std::fill_n(target.pixels, count, value);
        return;
    }
    for (int32_t y = 0; y < target.height; ++y)
        std::fill_n(target.pixels + size_t(y) * target.stride, size_t(target.width), value);
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

// Two 8-bit channels per 32-bit word, each in a 16-bit lane: a weighted sum of at
// most 255 * 255 + 128 per lane, then divided by 255 with rounding, lane by lane,
// without carries between the lanes.
static inline uint32_t divideLanesBy255(uint32_t lanes) {
    return ((lanes + ((lanes >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
}

static inline uint32_t blendOne(uint32_t source, uint32_t target) {
    uint32_t alpha = source >> 24;
    uint32_t inverse = 255 - alpha;
    uint32_t redBlue =
        (source & 0x00ff00ffu) * alpha + (target & 0x00ff00ffu) * inverse + 0x00800080u;
    // The source's alpha lane counts as 255, so the result is alpha + targetAlpha * inverse / 255.
    uint32_t alphaGreen = (((source >> 8) & 0x000000ffu) | 0x00ff0000u) * alpha +
                          ((target >> 8) & 0x00ff00ffu) * inverse + 0x00800080u;
    return divideLanesBy255(redBlue) | (divideLanesBy255(alphaGreen) << 8);
}

uint32_t blendPixel(uint32_t source, uint32_t target) {
    return blendOne(source, target);
}

#if defined(__SSE2__)
// Four pixels at a time, each channel in a 16-bit lane: the same sums and the same
// rounded division as blendPixel, so both give identical results.
static inline __m128i blendChannels(__m128i source, __m128i target, __m128i alphaLanes) {
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(source, 0xff), 0xff);
    source = _mm_or_si128(source, alphaLanes); // the source's alpha lane counts as 255
    __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(source, alpha),
                                              _mm_mullo_epi16(target, _mm_sub_epi16(full, alpha))),
                                half);
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_srli_epi16(sum, 8)), 8);
}

// Four opaque source pixels are the result as they are, four transparent ones leave the
// target: skins are mostly made of such runs.
static void blendRow(uint32_t* target, const uint32_t* source, int32_t width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaLanes = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128i alphaMask = _mm_set1_epi32(int(0xff000000u));
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
        __m128i alphas = _mm_and_si128(from, alphaMask);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, alphaMask)) == 0xffff) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), from);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, zero)) == 0xffff) continue;
        __m128i to = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + x));
        __m128i low =
            blendChannels(_mm_unpacklo_epi8(from, zero), _mm_unpacklo_epi8(to, zero), alphaLanes);
        __m128i high =
            blendChannels(_mm_unpackhi_epi8(from, zero), _mm_unpackhi_epi8(to, zero), alphaLanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), _mm_packus_epi16(low, high));
    }
    for (; x < width; ++x)
        target[x] = blendOne(source[x], target[x]);
}
#else
static void blendRow(uint32_t* target, const uint32_t* source, int32_t width) {
    for (int32_t x = 0; x < width; ++x)
        target[x] = blendOne(source[x], target[x]);
}
#endif

void packRows(uint32_t* pixels, size_t stride, int32_t width, int32_t height) {
    if (stride == size_t(width)) return;
    // Every row moves towards the start, never over a row not yet moved.
    for (int32_t y = 1; y < height; ++y)
        std::memmove(pixels + size_t(y) * size_t(width), pixels + size_t(y) * stride,
                     size_t(width) * sizeof(uint32_t));
}

void blend(const Area& target, const ConstArea& source) {
    for (int32_t y = 0; y < target.height; ++y) {
        uint32_t* row = target.pixels + size_t(y) * target.stride;
        const uint32_t* from = source.pixels + size_t(y) * source.stride;
        blendRow(row, from, target.width);
    }
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
    uint32_t stepY = (uint32_t(source.height) << 16) / uint32_t(target.height);
    uint32_t position = stepY / 2;
    for (int32_t y = 0; y < target.height; ++y, position += stepY) {
        const uint32_t* from = source.pixels + size_t(position >> 16) * source.stride;
        uint32_t* row = target.pixels + size_t(y) * target.stride;
        if constexpr (blending)
            blendRow(row, from, target.width);
        else
            copyRow(row, from, size_t(target.width));
    }
}

template <bool blending>
static void stretchRows(const Area& target, const ConstArea& source, uint32_t* columns,
                        uint32_t* samples) {
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
            blendRow(row, samples, target.width);
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
