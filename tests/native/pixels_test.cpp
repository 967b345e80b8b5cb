// The pixel loops against plain formulas, on every edge of their fast paths: short
// rows, padded strides, row lengths that are not a multiple of the vector width.
#include "check.hpp"
#include "core/pixels.hpp"
#include "core/pixelsRows.hpp"

#include <cmath>
#include <vector>

namespace {

// SDL's blending rule with exact rounding, one channel: (s * a + d * (255 - a)) / 255.
uint32_t roundedChannel(uint32_t source, uint32_t target, uint32_t alpha) {
    return uint32_t(std::lround((source * alpha + target * (255 - alpha)) / 255.0));
}

uint32_t referenceBlend(uint32_t source, uint32_t target) {
    uint32_t alpha = source >> 24;
    uint32_t result = roundedChannel(255, target >> 24, alpha) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        result |= roundedChannel((source >> shift) & 255, (target >> shift) & 255, alpha) << shift;
    return result;
}

// A reproducible spread of pixel values.
uint32_t scrambled(uint32_t i) {
    uint32_t x = i * 2654435761u + 0x9e3779b9u;
    x ^= x >> 15;
    return x * 2246822519u;
}

} // namespace

NATIVE_TEST(blendOneMatchesRoundedFormulaForEveryChannelValue) {
    for (uint32_t alpha = 0; alpha < 256; ++alpha)
        for (uint32_t source = 0; source < 256; ++source)
            for (uint32_t target = 0; target < 256; target += 5) {
                uint32_t from = alpha << 24 | source << 16 | (255 - source) << 8 | source;
                uint32_t to = (255 - target) << 24 | target << 16 | target << 8 | (255 - target);
                CHECK_EQ(pixels::rows::blendOne(from, to), referenceBlend(from, to));
            }
}

NATIVE_TEST(blendRowsOfEveryLengthMatchThePixelRule) {
    for (int32_t width = 0; width <= 19; ++width) {
        size_t stride = size_t(width) + 3; // padded rows
        std::vector<uint32_t> source(stride * 3), target(stride * 3), expected;
        for (size_t i = 0; i < source.size(); ++i) {
            source[i] = scrambled(uint32_t(i));
            target[i] = scrambled(uint32_t(i) + 1000);
        }
        expected = target;
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < width; ++x)
                expected[y * stride + x] =
                    pixels::rows::blendOne(source[y * stride + x], target[y * stride + x]);
        pixels::blend({target.data(), stride, width, 3}, {source.data(), stride, width, 3});
        CHECK(target == expected); // the padding between rows is untouched too
    }
}

NATIVE_TEST(fillAndCopyStayInsideTheirArea) {
    for (int32_t width : {1, 3, 4, 5, 17, 1000}) {
        size_t stride = size_t(width) + 2;
        std::vector<uint32_t> buffer(stride * 4, 0x01020304u);
        pixels::fill({buffer.data() + stride + 1, stride, width, 2}, 0xffeeddccu);
        for (size_t i = 0; i < buffer.size(); ++i) {
            size_t x = i % stride, y = i / stride;
            bool inside = y >= 1 && y < 3 && x >= 1 && x < size_t(width) + 1;
            CHECK_EQ(buffer[i], inside ? 0xffeeddccu : 0x01020304u);
        }
        std::vector<uint32_t> copy(stride * 4, 0);
        pixels::copy({copy.data(), stride, width, 4}, {buffer.data(), stride, width, 4});
        for (size_t i = 0; i < copy.size(); ++i)
            CHECK_EQ(copy[i], i % stride < size_t(width) ? buffer[i] : 0u);
    }
}

NATIVE_TEST(largeFillsReachEveryPixel) {
    // Large enough for the streaming stores, with an unaligned start.
    std::vector<uint32_t> buffer(1024 * 1024 + 7, 0);
    pixels::fill({buffer.data() + 1, 1024 * 1024 + 5, 1024 * 1024 + 5, 1}, 0xabcdef01u);
    CHECK_EQ(buffer.front(), 0u);
    CHECK_EQ(buffer.back(), 0u);
    for (size_t i = 1; i + 1 < buffer.size(); ++i)
        CHECK_EQ(buffer[i], 0xabcdef01u);
}

NATIVE_TEST(packRowsRemovesThePadding) {
    std::vector<uint32_t> buffer(5 * 4);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = uint32_t(i);
    pixels::packRows(buffer.data(), 5, 3, 4);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            CHECK_EQ(buffer[y * 3 + x], y * 5 + x);
}
