// The vector loops against the plain ones: every instruction set the processor has must
// give exactly the pixels of the plain C++ loops, on rows of every length around the
// vector widths, on padded strides and unaligned starts, and leave the rest alone.
#include "check.hpp"
#include "core/instructions.hpp"
#include "core/pixels.hpp"
#include "core/pixelsRows.hpp"

#include <vector>

namespace {

// A reproducible spread of pixel values in which opaque and transparent pixels come in
// runs of different lengths, as in sprites, between translucent ones.
uint32_t sample(uint32_t i) {
    uint32_t x = i * 2654435761u + 0x9e3779b9u;
    x ^= x >> 15;
    x *= 2246822519u;
    switch ((i / 11) % 4) {
    case 0:
        return x | 0xff000000u;
    case 1:
        return x & 0x00ffffffu;
    default:
        return x;
    }
}

std::vector<uint32_t> samples(size_t count, uint32_t seed) {
    std::vector<uint32_t> values(count);
    for (size_t i = 0; i < count; ++i)
        values[i] = sample(uint32_t(i) + seed);
    return values;
}

// The sets to compare with the plain loops: the vector ones the processor has.
std::vector<instructions::Set> vectorSets() {
    std::vector<instructions::Set> sets;
    for (instructions::Set set : {instructions::Set::sse2, instructions::Set::avx2}) {
        instructions::limit(set);
        if (instructions::inUse() == set) sets.push_back(set);
    }
    instructions::limit(instructions::Set::avx512);
    return sets;
}

// `operation` run on a copy of `target` with the plain loops and with each vector set.
template <class Operation>
bool sameOnEverySet(const std::vector<uint32_t>& target, Operation operation) {
    instructions::limit(instructions::Set::plain);
    std::vector<uint32_t> expected = target;
    operation(expected.data());
    bool same = true;
    for (instructions::Set set : vectorSets()) {
        instructions::limit(set);
        std::vector<uint32_t> result = target;
        operation(result.data());
        same = same && result == expected;
    }
    instructions::limit(instructions::Set::avx512);
    return same;
}

} // namespace

NATIVE_TEST(vectorBlendMatchesThePlainBlendForEveryAlphaAndChannel) {
    // Every (alpha, source, target) channel triple, two triples per pixel.
    std::vector<uint32_t> source(256 * 256), target(256 * 256), expected;
    for (instructions::Set set : vectorSets()) {
        instructions::limit(set);
        for (uint32_t alpha = 0; alpha < 256; ++alpha) {
            for (uint32_t s = 0; s < 256; ++s)
                for (uint32_t d = 0; d < 256; ++d) {
                    source[s * 256 + d] = alpha << 24 | s << 16 | (255 - s) << 8 | d;
                    target[s * 256 + d] = s << 24 | d << 16 | (255 - d) << 8 | s;
                }
            expected.resize(target.size());
            for (size_t i = 0; i < target.size(); ++i)
                expected[i] = pixels::rows::blendOne(source[i], target[i]);
            pixels::blend({target.data(), 256, 256, 256}, {source.data(), 256, 256, 256});
            CHECK(target == expected);
        }
    }
    instructions::limit(instructions::Set::avx512);
}

NATIVE_TEST(vectorBlendMatchesThePlainBlendOnEveryRowLength) {
    for (int32_t width = 0; width <= 40; ++width)
        for (size_t offset : {0, 1, 3}) {
            size_t stride = size_t(width) + 5;
            std::vector<uint32_t> source = samples(stride * 4 + offset, uint32_t(width));
            std::vector<uint32_t> target = samples(stride * 4 + offset, 7777);
            CHECK(sameOnEverySet(target, [&](uint32_t* pixels) {
                pixels::blend({pixels + offset, stride, width, 4},
                              {source.data() + offset, stride, width, 4});
            }));
        }
}

NATIVE_TEST(vectorStretchedLoopsMatchThePlainOnes) {
    struct Sizes {
        int32_t sourceWidth, sourceHeight, width, height;
    };
    for (Sizes s : {Sizes{7, 5, 23, 9}, Sizes{40, 3, 17, 11}, Sizes{16, 16, 16, 37},
                    Sizes{3, 2, 1100, 3}, Sizes{33, 9, 8, 8}}) {
        size_t sourceStride = size_t(s.sourceWidth) + 2, stride = size_t(s.width) + 3;
        std::vector<uint32_t> source = samples(sourceStride * size_t(s.sourceHeight), 99);
        std::vector<uint32_t> target = samples(stride * size_t(s.height), 12345);
        pixels::ConstArea from{source.data(), sourceStride, s.sourceWidth, s.sourceHeight};
        CHECK(sameOnEverySet(target, [&](uint32_t* pixels) {
            pixels::blendScaled({pixels, stride, s.width, s.height}, from);
        }));
        CHECK(sameOnEverySet(target, [&](uint32_t* pixels) {
            pixels::copyScaled({pixels, stride, s.width, s.height}, from);
        }));
    }
}

NATIVE_TEST(vectorFillsAndMaskedCopiesMatchThePlainOnesAndStayInTheirArea) {
    for (int32_t width = 0; width <= 70; ++width)
        for (size_t offset : {0, 1, 2, 5}) {
            size_t stride = size_t(width) + 3;
            std::vector<uint32_t> before = samples(stride * 3 + offset + 2, 31);
            pixels::Area area{nullptr, stride, width, 2};
            auto at = [&](uint32_t* pixels) {
                area.pixels = pixels + stride + offset;
                return area;
            };
            CHECK(sameOnEverySet(before,
                                 [&](uint32_t* pixels) { pixels::fill(at(pixels), 0xfedcba98u); }));
            std::vector<uint32_t> source = samples(stride * 3 + offset + 2, 555);
            for (uint32_t keep : {0x00ffffffu, 0xffffffffu})
                CHECK(sameOnEverySet(before, [&](uint32_t* pixels) {
                    pixels::copyMasked(at(pixels), {source.data() + offset, stride, width, 2},
                                       keep);
                }));
            // The plain loops themselves stay inside the area.
            std::vector<uint32_t> filled = before;
            instructions::limit(instructions::Set::plain);
            pixels::fill(at(filled.data()), 0xfedcba98u);
            instructions::limit(instructions::Set::avx512);
            for (size_t i = offset; i < filled.size(); ++i) {
                size_t x = (i - offset) % stride, y = (i - offset) / stride;
                bool inside = (y == 1 || y == 2) && x < size_t(width);
                CHECK_EQ(filled[i], inside ? 0xfedcba98u : before[i]);
            }
        }
}

NATIVE_TEST(maskedCopyClearsTheBitsOutsideTheMask) {
    std::vector<uint32_t> source = {0x80123456u, 0xff000000u, 0x00abcdefu, 0xffffffffu,
                                    0x7f7f7f7fu};
    std::vector<uint32_t> target(source.size(), 0xdeadbeefu);
    pixels::copyMasked({target.data(), 5, 5, 1}, {source.data(), 5, 5, 1}, 0x00ffffffu);
    CHECK(target ==
          (std::vector<uint32_t>{0x00123456u, 0u, 0x00abcdefu, 0x00ffffffu, 0x007f7f7fu}));
}

#if defined(__SSE2__)
NATIVE_TEST(streamingFillsReachEveryPixelFromAnyStart) {
    for (size_t offset : {0, 1, 2, 3})
        for (size_t count : {0, 1, 3, 4, 5, 17, 1000}) {
            std::vector<uint32_t> buffer(count + 8, 7u);
            pixels::rows::streamFill(buffer.data() + offset, count, 0x01020304u);
            for (size_t i = 0; i < buffer.size(); ++i)
                CHECK_EQ(buffer[i], i >= offset && i < offset + count ? 0x01020304u : 7u);
        }
}
#endif
