// The row loops behind pixels.hpp, one set for each instruction set the processor may
// have. pixels.cpp runs every area through the set in use (instructions.hpp); all sets
// give identical results. Internal to the core: the engine calls pixels.hpp, the native
// tests call these directly as well.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixels::rows {

struct Loops {
    void (*fill)(uint32_t* row, size_t count, uint32_t value);
    // Blends `count` source pixels over the target pixels, as pixels::blend() does.
    void (*blend)(uint32_t* target, const uint32_t* source, size_t count);
    // target = source & keep, pixel by pixel.
    void (*copyMasked)(uint32_t* target, const uint32_t* source, size_t count, uint32_t keep);
};

extern const Loops scalar;
#if defined(__SSE2__)
extern const Loops sse2;
// A fill with stores that bypass the caches; the caller fences before the pixels are
// read by another thread.
void streamFill(uint32_t* row, size_t count, uint32_t value);
#endif
#if defined(__x86_64__)
extern const Loops avx2;
#endif

// Two 8-bit channels per 32-bit word, each in a 16-bit lane: a weighted sum of at
// most 255 * 255 + 128 per lane, then divided by 255 with rounding, lane by lane,
// without carries between the lanes. (t + (t >> 8)) >> 8 equals (t * 257) >> 16 for
// every 16-bit t, which is how the vector loops divide.
inline uint32_t divideLanesBy255(uint32_t lanes) {
    return ((lanes + ((lanes >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
}

// One pixel of pixels::blend(); the vector loops compute the same sums lane by lane.
inline uint32_t blendOne(uint32_t source, uint32_t target) {
    uint32_t alpha = source >> 24;
    uint32_t inverse = 255 - alpha;
    uint32_t redBlue =
        (source & 0x00ff00ffu) * alpha + (target & 0x00ff00ffu) * inverse + 0x00800080u;
    // The source's alpha lane counts as 255, so the result is alpha + targetAlpha * inverse / 255.
    uint32_t alphaGreen = (((source >> 8) & 0x000000ffu) | 0x00ff0000u) * alpha +
                          ((target >> 8) & 0x00ff00ffu) * inverse + 0x00800080u;
    return divideLanesBy255(redBlue) | (divideLanesBy255(alphaGreen) << 8);
}

} // namespace pixels::rows
