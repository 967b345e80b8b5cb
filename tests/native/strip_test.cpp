// Three-piece strips (button skins, slider tracks) and the slider's single-precision
// arithmetic on their own: the cases where truncation, a degenerate skin, the bounded
// walk over the middle pieces or the float rounding decide the result.
#include "check.hpp"
#include "core/slider.hpp"
#include "core/strip.hpp"

#include <cfloat>
#include <climits>
#include <cmath>

namespace {

bool same(const layout::Rect& a, const layout::Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

const layout::Rect everywhere{0, 0, 1000, 1000};

} // namespace

NATIVE_TEST(stripPiecesAlongX) {
    // left 4, middle 10, right 4 over 30 pixels: two whole pieces, 2 squeezed, the cap.
    strip::Skin skin{50, 60, 4, 10, 4, 8};
    strip::Plan p = strip::plan(skin, strip::Axis::x, 100, 20, 30, everywhere);
    CHECK(p.divides);
    CHECK(same(p.first.source, {50, 60, 4, 8}) && same(p.first.destination, {100, 20, 4, 8}));
    CHECK_EQ(p.count, 2);
    CHECK_EQ(p.from, 0);
    CHECK_EQ(p.to, 2);
    CHECK(same(p.middle(0).source, {54, 60, 10, 8}) &&
          same(p.middle(0).destination, {104, 20, 10, 8}));
    CHECK(same(p.middle(1).destination, {114, 20, 10, 8}));
    CHECK(p.rest.scaled && same(p.rest.source, {54, 60, 10, 8}));
    CHECK(same(p.rest.destination, {124, 20, 2, 8}));
    CHECK(same(p.last.source, {64, 60, 4, 8}) && same(p.last.destination, {126, 20, 4, 8}));
}

NATIVE_TEST(stripPiecesAlongY) {
    // top 4, middle 10, bottom 4 over 100 pixels of a track 20 wide.
    strip::Skin skin{5, 6, 4, 10, 4, 20};
    strip::Plan p = strip::plan(skin, strip::Axis::y, 10, 0, 100, everywhere);
    CHECK_EQ(p.count, 9);
    CHECK(same(p.first.source, {5, 6, 20, 4}) && same(p.first.destination, {10, 0, 20, 4}));
    CHECK(same(p.middle(8).source, {5, 10, 20, 10}) &&
          same(p.middle(8).destination, {10, 84, 20, 10}));
    CHECK(same(p.rest.destination, {10, 94, 20, 2}));
    CHECK(same(p.last.source, {5, 20, 20, 4}) && same(p.last.destination, {10, 96, 20, 4}));
}

NATIVE_TEST(stripWithoutRemainderOrShorterThanItsCaps) {
    strip::Skin skin{0, 0, 4, 10, 4, 8};
    CHECK(!strip::plan(skin, strip::Axis::x, 0, 0, 28, everywhere).rest.drawable());
    // Shorter than both caps: no middle piece, the last cap over the first.
    strip::Plan p = strip::plan(skin, strip::Axis::x, 0, 0, 6, everywhere);
    CHECK_EQ(p.count, 0);
    CHECK(!p.rest.drawable());
    CHECK(same(p.last.destination, {2, 0, 4, 8}));
    // (6 - 8 - 4) / 10 truncates toward zero: no whole piece, nothing left.
    CHECK_EQ(strip::plan({0, 0, 8, 10, 4, 8}, strip::Axis::x, 0, 0, 6, everywhere).count, 0);
    // -25 / 10 is -2, and -25 + 20 leaves nothing to squeeze.
    p = strip::plan({0, 0, 25, 10, 4, 8}, strip::Axis::x, 0, 0, 4, everywhere);
    CHECK_EQ(p.count, -2);
    CHECK(!p.rest.drawable());
    CHECK_EQ(p.to - p.from, 0);
}

NATIVE_TEST(stripWithoutMiddleDividesNothing) {
    strip::Plan p = strip::plan({0, 0, 4, 0, 4, 8}, strip::Axis::x, 0, 0, 30, everywhere);
    CHECK(!p.divides);
    CHECK(p.first.drawable());
}

NATIVE_TEST(stripWalksOnlyTheVisibleMiddlePieces) {
    // A middle of 1 pixel over a strip two billion pixels long: only the pieces inside
    // the visible area are handed out, each where the whole walk would put it.
    strip::Skin skin{0, 0, 3, 1, 3, 5};
    strip::Plan p = strip::plan(skin, strip::Axis::x, -1000, 10, 2000000000, {20, 0, 40, 100});
    CHECK_EQ(p.count, 2000000000 - 6);
    CHECK_EQ(p.from, 1017);
    CHECK_EQ(p.to, 1057);
    CHECK_EQ(p.middle(p.from).destination.x, 20);
    CHECK_EQ(p.middle(p.to - 1).destination.x, 59);
    // A last cap beyond the int range is where it is: off any target, not wrapped onto it.
    CHECK_EQ(strip::plan(skin, strip::Axis::x, 1000000000, 10, 2000000000, everywhere)
                 .last.destination.x,
             INT64_C(3000000000) - 3);
    // A visible area beside the strip's thickness meets no middle piece; a piece that
    // straddles the visible edge is kept.
    CHECK_EQ(strip::plan(skin, strip::Axis::x, 0, 10, 100, {0, 15, 50, 5}).to, 0);
    strip::Plan wide =
        strip::plan({0, 0, 3, 10, 3, 5}, strip::Axis::x, 0, 10, 100, {17, 14, 10, 5});
    CHECK_EQ(wide.from, 1);
    CHECK_EQ(wide.to, 3);
}

NATIVE_TEST(sliderPercentInSinglePrecision) {
    CHECK_EQ(slider::percent(75, 50, 100), 0.5f);
    CHECK_EQ(slider::percent(1, 0, 3), 1.0f / 3.0f);
    CHECK(double(slider::percent(1, 0, 3)) != 1.0 / 3.0);
    CHECK_EQ(slider::percent(150, 0, 100), 1.5f);
    CHECK_EQ(slider::percent(10, 10, 10), 0.0f);
    CHECK_EQ(slider::percent(INT32_MAX, INT32_MAX, INT32_MAX), 0.0f);
    // The differences are worked out in 64 bits.
    CHECK_EQ(slider::percent(INT32_MAX, INT32_MIN, INT32_MAX), 1.0f);
    CHECK_EQ(slider::percent(INT32_MIN, INT32_MIN, INT32_MAX), 0.0f);
}

NATIVE_TEST(sliderValueAtAPercent) {
    CHECK_EQ(*slider::valueAt(0.5f, 50, 100), 75);
    CHECK_EQ(*slider::valueAt(slider::narrow(0.333), 0, 100), 33);
    // 0.7 as a float times 100 rounds up to 70 in single precision (69 in double).
    CHECK_EQ(*slider::valueAt(slider::narrow(0.7), 0, 100), 70);
    CHECK_EQ(*slider::valueAt(-1.0f, 50, 100), 0);
    CHECK_EQ(*slider::valueAt(2.0f, 50, 100), 150);
    CHECK(!slider::valueAt(NAN, 0, 100).has_value());
    CHECK(!slider::valueAt(INFINITY, 10, 10).has_value()); // inf * 0
    CHECK_EQ(*slider::valueAt(INFINITY, 0, 100), INT32_MAX);
    CHECK_EQ(*slider::valueAt(-INFINITY, 0, 100), INT32_MIN);
    CHECK_EQ(*slider::valueAt(1.0f, INT32_MIN, INT32_MAX), INT32_MAX);
    CHECK_EQ(*slider::valueAt(0.0f, INT32_MIN, INT32_MAX), INT32_MIN);
}

NATIVE_TEST(sliderClampTestsTheUpperBoundFirst) {
    CHECK_EQ(slider::clampToRange(150, 0, 100), 100);
    CHECK_EQ(slider::clampToRange(-5, 0, 100), 0);
    CHECK_EQ(slider::clampToRange(42, 0, 100), 42);
    // min above max: everything up to max stores min, above it max.
    CHECK_EQ(slider::clampToRange(5, 20, 10), 20);
    CHECK_EQ(slider::clampToRange(10, 20, 10), 20);
    CHECK_EQ(slider::clampToRange(11, 20, 10), 10);
}

NATIVE_TEST(narrowingBeyondTheFloatRange) {
    CHECK_EQ(slider::narrow(0.5), 0.5f);
    CHECK(std::isinf(slider::narrow(1e300)) && slider::narrow(1e300) > 0);
    CHECK(std::isinf(slider::narrow(-1e39)) && slider::narrow(-1e39) < 0);
    CHECK_EQ(slider::narrow(double(FLT_MAX) * (1 + 1e-9)), FLT_MAX);
    CHECK(std::isnan(slider::narrow(NAN)));
}

NATIVE_TEST(thumbOffsetsInFloatAndInDouble) {
    float percent = slider::percent(70, 0, 100);
    CHECK_EQ(slider::offset(percent, 100), 70);
    CHECK_EQ(slider::offsetInDouble(percent, 100), 69);
    CHECK_EQ(slider::offset(-0.5f, 3), -1);
    CHECK_EQ(slider::offset(1e30f, 100), INT32_MAX);
    CHECK_EQ(slider::offsetInDouble(-1e30, 100), INT32_MIN);
}
