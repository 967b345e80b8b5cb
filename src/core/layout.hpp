// The arithmetic of the UI layout: placing a widget inside its container and cutting
// rectangles by a clip. Sizes and positions are 32-bit fields; the layout's sums and
// differences of them wrap as 32-bit sums do, without overflow in C++. Rectangles are
// worked out in 64 bits, so that the far edge of a widget near the end of the int range
// is where it is and not where a wrapped sum would put it. No Python, no SDL.
#pragma once

#include <cstdint>

namespace layout {

// A rectangle in pixels: the top-left corner and the size. Its values come from 32-bit
// fields and their sums, so x + w never overflows; only a rectangle cut to a surface
// fits SDL's int rectangles.
struct Rect {
    int64_t x = 0;
    int64_t y = 0;
    int64_t w = 0;
    int64_t h = 0;

    bool empty() const { return w <= 0 || h <= 0; }
};

// The overlap of two rectangles; w and h 0 (at the larger corner) when they do not
// overlap or either has no area.
Rect intersect(const Rect& a, const Rect& b);

constexpr int32_t add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
constexpr int32_t sub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

// A double truncated toward zero; values beyond the int range stay at its ends.
int32_t truncate(double value);

// Where a list container puts a child across its stacking axis, from the padded
// origin: `align` 1 puts it against the far edge of `space` (less the far margin),
// 2 centres it in `space` (margins aside), anything else puts it after the near
// margin. The halving truncates toward zero.
int32_t alignAcross(int32_t align, int32_t space, int32_t size, int32_t nearMargin,
                    int32_t farMargin);

// The anchors of an anchored container, as their numbers.
enum Anchor : int32_t { left = 0, right = 1, top = 2, bottom = 3, centre = 4 };
enum class Axis { x, y };

// Where an anchored container puts a child along one axis, from its own origin:
// `offset` pixels from the edge that `anchor` names on that axis (right or bottom:
// away from the far edge) or from the centre line, with the margins keeping the child
// away from that edge. An anchor that names the other axis's edge counts as the near
// edge. The centre is worked out in double precision, left to right, then truncated.
int32_t anchored(int32_t anchor, Axis axis, int32_t span, int32_t offset, int32_t nearMargin,
                 int32_t farMargin, int32_t size);

// A widget's rectangle cut by a clip rectangle: the overlap's corner and the
// difference of the far edges and the corner, which is zero or negative when they do
// not overlap (the clip rule of the widgets, which tell an empty result themselves).
Rect clip(const Rect& widget, const Rect& by);

} // namespace layout
