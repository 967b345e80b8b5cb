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

std::optional<Rect> clip(const Rect& widget, int64_t clipX, int64_t clipY, int64_t clipWidth,
                         int64_t clipHeight) {
    int64_t x1 = std::max<int64_t>(widget.x, clipX);
    int64_t y1 = std::max<int64_t>(widget.y, clipY);
    int64_t x2 = std::min<int64_t>(int64_t(widget.x) + widget.w, clipX + clipWidth);
    int64_t y2 = std::min<int64_t>(int64_t(widget.y) + widget.h, clipY + clipHeight);
    auto fits = [](int64_t value) {
        return value >= std::numeric_limits<int32_t>::min() &&
               value <= std::numeric_limits<int32_t>::max();
    };
    if (!fits(x1) || !fits(y1) || !fits(x2 - x1) || !fits(y2 - y1)) return std::nullopt;
    return Rect{int32_t(x1), int32_t(y1), int32_t(x2 - x1), int32_t(y2 - y1)};
}

} // namespace layout
