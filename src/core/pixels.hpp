// Pixel loops on plain memory: no Python, no SDL, trusted ranges. Callers check
// bounds where data enters and hand these functions areas that lie inside their
// buffers, so the loops themselves never test a coordinate.
//
// Pixels are 32-bit words 0xAARRGGBB. Pixel (x, y) of an area is
// pixels[y * stride + x]; strides are in pixels. The rows of a texture's own surface
// are exactly `width` apart, those of other surfaces may be padded.
//
// The loops run in the instruction set that core/instructions.hpp chooses; every set
// gives identical results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixels {

struct ConstArea {
    const uint32_t* pixels = nullptr;
    size_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct Area {
    uint32_t* pixels = nullptr;
    size_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;

    operator ConstArea() const { return {pixels, stride, width, height}; }
};

void fill(const Area& target, uint32_t value);
// Rows `stride` pixels apart become rows `width` pixels apart, in the same buffer.
void packRows(uint32_t* pixels, size_t stride, int32_t width, int32_t height);
// Source and target have the same width and height.
void copy(const Area& target, const ConstArea& source);
// copy() that keeps only the bits of `keep` in every pixel and clears the others, as a
// copy into a surface without an alpha channel clears its unused byte.
void copyMasked(const Area& target, const ConstArea& source, uint32_t keep);
// SDL's blending rule, rounded to the nearest value: colour = src * a + dst * (1 - a),
// alpha = a + dstA * (1 - a), with a = srcA / 255. Opaque and fully transparent
// source pixels give exactly the source and the target pixel.
void blend(const Area& target, const ConstArea& source);

// `source` stretched over `target` (copied, or blended as blend() does) by nearest
// sampling, as SDL samples: at the centre of each target pixel, in 16.16 fixed point,
// a step of (source size << 16) / target size starting half a step in. Both areas are
// at least 1 and at most maxScaledSize pixels wide and high.
constexpr int32_t maxScaledSize = 32767;
void copyScaled(const Area& target, const ConstArea& source);
void blendScaled(const Area& target, const ConstArea& source);

} // namespace pixels
