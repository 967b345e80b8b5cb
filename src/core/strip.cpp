#include "core/strip.hpp"

#include <algorithm>

namespace strip {

namespace {

// A piece `length` long that starts `offset` along the axis in the tileset (from the
// skin's corner) and at `position` along the axis in the target.
Piece piece(const Plan& p, int64_t offset, int64_t position, int64_t length, bool scaled,
            int64_t sourceLength) {
    const Skin& s = p.skin;
    bool alongX = p.axis == Axis::x;
    int64_t sourceX = alongX ? s.x + offset : s.x;
    int64_t sourceY = alongX ? s.y : s.y + offset;
    int64_t targetX = alongX ? position : p.x;
    int64_t targetY = alongX ? p.y : position;
    int64_t across = s.thickness;
    layout::Rect source = alongX ? layout::Rect{sourceX, sourceY, sourceLength, across}
                                 : layout::Rect{sourceX, sourceY, across, sourceLength};
    layout::Rect target = alongX ? layout::Rect{targetX, targetY, length, across}
                                 : layout::Rect{targetX, targetY, across, length};
    return {source, target, scaled};
}

// floor(a / b) and ceil(a / b) for b > 0.
int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
int64_t ceilDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

} // namespace

Piece Plan::middle(int64_t k) const {
    int64_t position = (axis == Axis::x ? x : y) + skin.first + k * int64_t(skin.middle);
    return piece(*this, skin.first, position, skin.middle, false, skin.middle);
}

Plan plan(const Skin& s, Axis axis, int64_t x, int64_t y, int64_t length,
          const layout::Rect& visible) {
    Plan p{};
    p.skin = s;
    p.axis = axis;
    p.x = x;
    p.y = y;
    int64_t start = axis == Axis::x ? x : y;
    p.first = piece(p, 0, start, s.first, false, s.first);
    p.divides = s.middle != 0;
    if (!p.divides) return p;
    int64_t between = length - s.first - s.last;
    p.count = between / s.middle;
    int64_t restLength = between - p.count * s.middle;
    int64_t middleStart = start + s.first;
    if (restLength >= 1)
        p.rest = piece(p, s.first, middleStart + p.count * s.middle, restLength, true, s.middle);
    p.last = piece(p, int64_t(s.first) + s.middle, start + length - s.last, s.last, false, s.last);
    // The whole pieces that meet the visible area: along the axis piece k covers
    // [middleStart + k * middle, middleStart + (k + 1) * middle); across it the strip's
    // thickness.
    int64_t visibleFrom = axis == Axis::x ? visible.x : visible.y;
    int64_t visibleTo = visibleFrom + (axis == Axis::x ? visible.w : visible.h);
    int64_t acrossFrom = axis == Axis::x ? visible.y : visible.x;
    int64_t acrossTo = acrossFrom + (axis == Axis::x ? visible.h : visible.w);
    int64_t stripAcross = axis == Axis::x ? y : x;
    bool meetsAcross = stripAcross < acrossTo && stripAcross + s.thickness > acrossFrom;
    if (s.middle <= 0 || s.thickness <= 0 || p.count <= 0 || !meetsAcross ||
        visibleTo <= visibleFrom)
        return p;
    p.from = std::max<int64_t>(0, floorDiv(visibleFrom - middleStart, s.middle));
    p.to = std::min<int64_t>(p.count, ceilDiv(visibleTo - middleStart, s.middle));
    return p;
}

} // namespace strip
