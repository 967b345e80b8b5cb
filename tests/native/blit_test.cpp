// Where SDL's blits draw (the engine draws plain surfaces itself and must put every
// pixel where SDL would), and the stretching loops.
#include "check.hpp"
#include "core/blit.hpp"
#include "core/pixels.hpp"
#include "core/pixelsRows.hpp"

#include <vector>

namespace {

bool same(const layout::Rect& a, const layout::Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

} // namespace

NATIVE_TEST(scaledBlitsAreCutAndRoundedAsSDLCutsThem) {
    layout::Rect whole{0, 0, 100, 100};
    // Nothing to cut: the rectangles stay.
    auto plain = blit::scaled({0, 0, 4, 1}, 4, 1, {0, 0, 10, 1}, whole);
    CHECK(plain && same(plain->source, {0, 0, 4, 1}) && same(plain->target, {0, 0, 10, 1}));
    // A clip from x 3 to 7 over a 2.5x stretch: the source edges 1.2 and 2.8 round to 1 and 2.
    auto clipped = blit::scaled({0, 0, 4, 1}, 4, 1, {0, 0, 10, 1}, {3, 0, 4, 1});
    CHECK(clipped && same(clipped->source, {1, 0, 2, 1}) && same(clipped->target, {3, 0, 4, 1}));
    auto both = blit::scaled({1, 0, 3, 1}, 5, 1, {2, 0, 13, 1}, {4, 0, 6, 1});
    CHECK(both && same(both->source, {1, 0, 1, 1}) && same(both->target, {4, 0, 6, 1}));
    // A source reaching out of its surface moves the target's edge at the scale.
    auto outside = blit::scaled({-2, 0, 4, 1}, 4, 1, {0, 0, 8, 1}, whole);
    CHECK(outside && same(outside->source, {0, 0, 2, 1}) && same(outside->target, {4, 0, 4, 1}));
    CHECK(!blit::scaled({0, 0, 4, 1}, 4, 1, {50, 0, 8, 1}, {0, 0, 40, 1}));
}

NATIVE_TEST(unscaledBlitsAreCutAsSDLCutsThem) {
    auto cut = blit::unscaled({-1, 2, 5, 5}, 10, 6, 3, 4, {5, 0, 100, 100});
    CHECK(cut && same(cut->source, {1, 2, 3, 4}) && same(cut->target, {5, 4, 3, 4}));
    CHECK(!blit::unscaled({0, 0, 5, 5}, 10, 10, 20, 20, {0, 0, 10, 10}));
    CHECK(!blit::unscaled({12, 0, 5, 5}, 10, 10, 0, 0, {0, 0, 100, 100}));
}

NATIVE_TEST(blitsNearTheEndsOfTheIntRangeStayOutsideTheClip) {
    // Positions and far edges beyond the int range are cut where they lie: past the
    // clip, never wrapped onto it.
    layout::Rect clip{0, 0, 64, 48};
    CHECK(!blit::unscaled({0, 0, 10, 10}, 10, 10, INT32_MAX - 5, 0, clip));
    CHECK(!blit::unscaled({0, 0, 10, 10}, 10, 10, INT64_C(1) << 32, 0, clip));
    CHECK(!blit::unscaled({INT32_MAX - 2, 0, 10, 10}, 10, 10, 0, 0, clip));
    CHECK(!blit::scaled({0, 0, 4, 4}, 4, 4, {INT32_MAX - 20, 0, 100, 8}, clip));
    // A stretch whose far edge passes the int range shows the part of the source that
    // lies over the clip; where that part rounds to no pixel, nothing, as in SDL.
    int32_t length = 1 << 30;
    auto huge =
        blit::scaled({0, 0, length, 1}, length, 1, {INT32_MIN, 0, INT64_C(1) << 32, 1}, clip);
    CHECK(huge && same(huge->source, {1 << 29, 0, 16, 1}) && same(huge->target, {0, 0, 64, 1}));
    CHECK(!blit::scaled({0, 0, 4, 1}, 4, 1, {-2, 0, INT32_MAX, 1}, clip));
}

NATIVE_TEST(stretchingSamplesTheCentreOfEveryTargetPixel) {
    std::vector<uint32_t> source = {0xff000000u, 0xff000001u, 0xff000002u, 0xff000003u};
    std::vector<uint32_t> wide(10), narrow(2);
    pixels::copyScaled({wide.data(), 10, 10, 1}, {source.data(), 4, 4, 1});
    uint32_t expected[10] = {0, 0, 0, 1, 1, 2, 2, 2, 3, 3};
    for (size_t i = 0; i < 10; ++i)
        CHECK_EQ(wide[i] & 0xff, expected[i]);
    pixels::copyScaled({narrow.data(), 2, 2, 1}, {source.data(), 4, 4, 1});
    CHECK_EQ(narrow[0] & 0xff, 1u);
    CHECK_EQ(narrow[1] & 0xff, 3u);
}

NATIVE_TEST(stretchedBlendingIsThePixelRule) {
    // Opaque, transparent and translucent rows, stretched both ways and in one direction.
    std::vector<uint32_t> source = {0xff102030u, 0x00ffffffu, 0x80ff0000u,
                                    0xff405060u, 0x00000000u, 0x40000080u};
    for (int32_t width : {3, 5, 9}) {
        for (int32_t height : {2, 3, 7}) {
            std::vector<uint32_t> target(size_t(width * height), 0x80808080u), expected = target;
            uint32_t stepX = (3u << 16) / uint32_t(width), stepY = (2u << 16) / uint32_t(height);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t sx = (stepX / 2 + uint32_t(x) * stepX) >> 16;
                    uint32_t sy = (stepY / 2 + uint32_t(y) * stepY) >> 16;
                    size_t at = size_t(y * width + x);
                    expected[at] = pixels::rows::blendOne(source[sy * 3 + sx], expected[at]);
                }
            pixels::blendScaled({target.data(), size_t(width), width, height},
                                {source.data(), 3, 3, 2});
            CHECK(target == expected);
        }
    }
}
