// The UI's layout arithmetic and nine-slice geometry on their own: the cases where
// the rounding, the wrapping of 32-bit sums or a degenerate size decide the result.
#include "check.hpp"
#include "core/layout.hpp"
#include "core/nineslice.hpp"

#include <climits>

namespace {

bool same(const layout::Rect& a, const layout::Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

} // namespace

NATIVE_TEST(sumsWrapAsThirtyTwoBitSums) {
    CHECK_EQ(layout::add(INT32_MAX, 1), INT32_MIN);
    CHECK_EQ(layout::sub(INT32_MIN, 1), INT32_MAX);
    CHECK_EQ(layout::add(-5, 3), -2);
}

NATIVE_TEST(truncationGoesTowardZeroAndStaysInRange) {
    CHECK_EQ(layout::truncate(35.5), 35);
    CHECK_EQ(layout::truncate(-5.5), -5);
    CHECK_EQ(layout::truncate(1e20), INT32_MAX);
    CHECK_EQ(layout::truncate(-1e20), INT32_MIN);
}

NATIVE_TEST(alignmentAcrossTheStackingAxis) {
    // A space of 84 (a list 100 wide with paddings 8) and a child 20 wide.
    CHECK_EQ(layout::alignAcross(0, 84, 20, 3, 5), 3);  // near edge, after the near margin
    CHECK_EQ(layout::alignAcross(1, 84, 20, 3, 5), 59); // far edge, before the far margin
    CHECK_EQ(layout::alignAcross(2, 84, 20, 3, 5), 32); // centred, margins aside
    CHECK_EQ(layout::alignAcross(7, 84, 20, 3, 5), 3);  // an unknown value aligns near
    CHECK_EQ(layout::alignAcross(2, 10, 21, 0, 0), -5); // -11 / 2 truncates toward zero
    CHECK_EQ(layout::alignAcross(1, INT32_MIN, 1, 0, 0), INT32_MAX);
}

NATIVE_TEST(anchoredPlacement) {
    using layout::Axis;
    CHECK_EQ(layout::anchored(layout::left, Axis::x, 800, 10, 2, 3, 100), 12);
    CHECK_EQ(layout::anchored(layout::right, Axis::x, 800, 10, 2, 3, 100), 687);
    CHECK_EQ(layout::anchored(layout::bottom, Axis::y, 600, 20, 0, 0, 50), 530);
    CHECK_EQ(layout::anchored(layout::centre, Axis::x, 101, 0, 0, 0, 30), 35);
    CHECK_EQ(layout::anchored(layout::centre, Axis::y, 10, 0, 0, 0, 21), -5);
    CHECK_EQ(layout::anchored(layout::centre, Axis::x, 100, 4, 3, 1, 20), 46);
    // The anchors of the other axis count as its near edge.
    CHECK_EQ(layout::anchored(layout::top, Axis::x, 800, 5, 1, 0, 100), 6);
    CHECK_EQ(layout::anchored(layout::right, Axis::y, 600, 5, 1, 0, 50), 6);
    CHECK_EQ(layout::anchored(layout::bottom, Axis::x, 800, 5, 0, 0, 100), 5);
    CHECK_EQ(layout::anchored(99, Axis::y, 600, 5, 0, 0, 50), 5);
    CHECK_EQ(layout::anchored(layout::centre, Axis::x, INT32_MAX, INT32_MAX, INT32_MAX, 0, 0),
             INT32_MAX);
}

NATIVE_TEST(clipRule) {
    layout::Rect widget{10, 20, 30, 40};
    CHECK(same(layout::clip(widget, {0, 0, 25, 100}), {10, 20, 15, 40}));
    CHECK(same(layout::clip(widget, {50, 0, 10, 10}), {50, 20, -10, -10}));
    CHECK(same(layout::clip(widget, {12, 22, 5, 6}), {12, 22, 5, 6}));
    // Far edges and differences beyond the int range are where they are, not wrapped.
    CHECK(same(layout::clip({INT32_MIN, 0, 0, 0}, {INT32_MAX, 0, 0, 0}),
               {INT32_MAX, 0, INT64_C(-4294967295), 0}));
    CHECK(same(layout::clip({INT32_MAX - 19, 0, 100, 1}, {0, 0, INT32_MAX, 5}),
               {INT32_MAX - 19, 0, 19, 1}));
}

NATIVE_TEST(intersectionOfRectanglesNearTheEndsOfTheIntRange) {
    layout::Rect surface{0, 0, 64, 48};
    // A widget whose far edge passes the int range is beside the surface, not over it.
    CHECK(layout::intersect({INT32_MAX - 19, 2, 100, 10}, surface).empty());
    CHECK(layout::intersect({2, 2, INT32_MAX, INT32_MAX}, surface).w == 62);
    CHECK(layout::intersect({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, surface).empty());
    CHECK(same(layout::intersect({-5, 40, 20, 20}, surface), {0, 40, 15, 8}));
    CHECK(layout::intersect({10, 10, -5, 5}, surface).empty());
}

NATIVE_TEST(nineSliceAtTheTileSizeReproducesTheGrid) {
    nineslice::Skin skin{100, 50, 4, 6, 2, 3, 5, 1};
    auto pieces = nineslice::pieces(skin, {10, 20, 12, 9});
    for (const auto& piece : pieces) {
        CHECK_EQ(piece.destination.x - 10, piece.source.x - 100);
        CHECK_EQ(piece.destination.y - 20, piece.source.y - 50);
        CHECK_EQ(piece.destination.w, piece.source.w);
        CHECK_EQ(piece.destination.h, piece.source.h);
        CHECK(piece.drawable());
    }
    CHECK(same(pieces[8].source, {110, 58, 2, 1}));
    bool scaled[9] = {false, true, false, true, true, true, false, true, false};
    for (size_t i = 0; i < 9; ++i)
        CHECK_EQ(pieces[i].scaled, scaled[i]);
}

NATIVE_TEST(nineSliceStretchesEdgesAndCentreOnly) {
    nineslice::Skin skin{0, 0, 4, 6, 2, 3, 5, 1};
    auto pieces = nineslice::pieces(skin, {10, 20, 40, 30});
    CHECK(same(pieces[0].destination, {10, 20, 4, 3}));
    CHECK(same(pieces[1].destination, {14, 20, 34, 3}));
    CHECK(same(pieces[2].destination, {48, 20, 2, 3}));
    CHECK(same(pieces[4].destination, {14, 23, 34, 26}));
    CHECK(same(pieces[6].destination, {10, 49, 4, 1}));
    CHECK(same(pieces[8].destination, {48, 49, 2, 1}));
}

NATIVE_TEST(nineSliceNarrowerThanItsCornersKeepsTheCorners) {
    nineslice::Skin skin{0, 0, 4, 6, 2, 3, 5, 1};
    auto pieces = nineslice::pieces(skin, {10, 20, 5, 30});
    CHECK(same(pieces[0].destination, {10, 20, 4, 3}));
    CHECK(same(pieces[2].destination, {13, 20, 2, 3})); // the right column at x + w - R
    CHECK_EQ(pieces[1].destination.w, -1);
    CHECK(!pieces[1].drawable());
    CHECK(!pieces[4].drawable());
    CHECK(pieces[3].drawable());
}

NATIVE_TEST(nineSliceNearTheEndOfTheIntRangeStaysWhereItIs) {
    // Every piece where the table puts it, summed without wrapping round to the other
    // end of the range, where it could land on the target.
    nineslice::Skin skin{0, 0, 4, 6, 2, 3, 5, 1};
    auto pieces = nineslice::pieces(skin, {INT32_MAX - 19, INT32_MAX - 9, 100, 40});
    CHECK(same(pieces[2].destination, {INT64_C(2147483647) - 19 + 100 - 2, INT32_MAX - 9, 2, 3}));
    CHECK_EQ(pieces[8].destination.y, INT64_C(2147483647) - 9 + 40 - 1);
    CHECK_EQ(pieces[4].destination.w, 94);
    auto wide = nineslice::pieces(skin, {0, 0, INT32_MAX, INT32_MAX});
    CHECK_EQ(wide[8].destination.x, INT64_C(2147483647) - 2);
    CHECK_EQ(wide[4].destination.w, INT64_C(2147483647) - 6);
    auto source = nineslice::pieces({INT32_MAX - 4, 0, 4, 6, 2, 3, 5, 1}, {0, 0, 20, 20});
    CHECK_EQ(source[2].source.x, INT64_C(2147483647) - 4 + 10);
}
