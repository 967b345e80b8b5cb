#include "core/layout.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace layout {

int32_t truncate(double value) {
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    if (std::isnan(value)) return 0;
    return int32_t(std::trunc(std::clamp(value, low, high)));
}

int32_t alignAcross(int32_t align, int32_t space, int32_t size, int32_t nearMargin,
                    int32_t farMargin) {
    if (align == 1) return sub(sub(space, size), farMargin);
    if (align == 2) return sub(space, size) / 2;
    return nearMargin;
}

int32_t anchored(int32_t anchor, Axis axis, int32_t span, int32_t offset, int32_t nearMargin,
                 int32_t farMargin, int32_t size) {
    Anchor far = axis == Axis::x ? right : bottom;
    if (anchor == far) return sub(sub(sub(span, offset), farMargin), size);
    if (anchor == centre) {
        double position = span * 0.5;
        position = position + nearMargin;
        position = position + offset;
        position = position - farMargin;
        position = position - size * 0.5;
        return truncate(position);
    }
    return add(offset, nearMargin);
}

Rect intersect(const Rect& a, const Rect& b) {
    int64_t x1 = std::max(a.x, b.x), y1 = std::max(a.y, b.y);
    int64_t x2 = std::min(a.x + a.w, b.x + b.w), y2 = std::min(a.y + a.h, b.y + b.h);
    if (a.empty() || b.empty() || x2 <= x1 || y2 <= y1) return {x1, y1, 0, 0};
    return {x1, y1, x2 - x1, y2 - y1};
}

Rect clip(const Rect& widget, const Rect& by) {
    int64_t x1 = std::max(widget.x, by.x), y1 = std::max(widget.y, by.y);
    int64_t x2 = std::min(widget.x + widget.w, by.x + by.w);
    int64_t y2 = std::min(widget.y + widget.h, by.y + by.h);
    return {x1, y1, x2 - x1, y2 - y1};
}

} // namespace layout
