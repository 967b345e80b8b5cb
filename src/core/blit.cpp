#include "core/blit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace blit {

namespace {

// The overlap of two rectangles; empty (w or h 0) when they do not overlap.
layout::Rect intersect(const layout::Rect& a, const layout::Rect& b) {
    int64_t x1 = std::max(a.x, b.x), y1 = std::max(a.y, b.y);
    int64_t x2 = std::min(int64_t(a.x) + a.w, int64_t(b.x) + b.w);
    int64_t y2 = std::min(int64_t(a.y) + a.h, int64_t(b.y) + b.h);
    if (a.w <= 0 || a.h <= 0 || b.w <= 0 || b.h <= 0 || x2 <= x1 || y2 <= y1)
        return {int32_t(x1), int32_t(y1), 0, 0};
    return {int32_t(x1), int32_t(y1), int32_t(x2 - x1), int32_t(y2 - y1)};
}

bool fits(double value) {
    return value >= std::numeric_limits<int32_t>::min() &&
           value <= std::numeric_limits<int32_t>::max();
}

} // namespace

std::optional<Placement> unscaled(const layout::Rect& source, int32_t sourceWidth,
                                  int32_t sourceHeight, int32_t x, int32_t y,
                                  const layout::Rect& clip) {
    // In 64 bits: the steps are SDL's, without its overflows.
    int64_t srcX = source.x, srcY = source.y, w = source.w, h = source.h, dstX = x, dstY = y;
    if (srcX < 0) {
        w += srcX;
        dstX -= srcX;
        srcX = 0;
    }
    w = std::min(w, sourceWidth - srcX);
    if (srcY < 0) {
        h += srcY;
        dstY -= srcY;
        srcY = 0;
    }
    h = std::min(h, sourceHeight - srcY);
    if (int64_t dx = clip.x - dstX; dx > 0) {
        w -= dx;
        dstX += dx;
        srcX += dx;
    }
    if (int64_t dx = dstX + w - clip.x - clip.w; dx > 0) w -= dx;
    if (int64_t dy = clip.y - dstY; dy > 0) {
        h -= dy;
        dstY += dy;
        srcY += dy;
    }
    if (int64_t dy = dstY + h - clip.y - clip.h; dy > 0) h -= dy;
    if (w <= 0 || h <= 0) return std::nullopt;
    // Inside the source surface and the clip rectangle now, so inside the int range.
    return Placement{{int32_t(srcX), int32_t(srcY), int32_t(w), int32_t(h)},
                     {int32_t(dstX), int32_t(dstY), int32_t(w), int32_t(h)}};
}

// Whether `inner` lies wholly inside `outer`.
static bool within(const layout::Rect& inner, const layout::Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           int64_t(inner.x) + inner.w <= int64_t(outer.x) + outer.w &&
           int64_t(inner.y) + inner.h <= int64_t(outer.y) + outer.h;
}

std::optional<Placement> scaled(const layout::Rect& source, int32_t sourceWidth,
                                int32_t sourceHeight, const layout::Rect& target,
                                const layout::Rect& clip) {
    // Nothing to cut: the sums below would give the rectangles back exactly.
    if (source.w > 0 && source.h > 0 && target.w > 0 && target.h > 0 &&
        within(source, {0, 0, sourceWidth, sourceHeight}) && within(target, clip))
        return Placement{source, target};
    double scaleW = double(target.w) / source.w, scaleH = double(target.h) / source.h;
    double dstX0 = target.x, dstY0 = target.y;
    double dstX1 = dstX0 + target.w, dstY1 = dstY0 + target.h;
    double srcX0 = source.x, srcY0 = source.y;
    double srcX1 = srcX0 + source.w, srcY1 = srcY0 + source.h;
    // The source cut to its surface.
    if (srcX0 < 0) {
        dstX0 -= srcX0 * scaleW;
        srcX0 = 0;
    }
    if (srcX1 > sourceWidth) {
        dstX1 -= (srcX1 - sourceWidth) * scaleW;
        srcX1 = sourceWidth;
    }
    if (srcY0 < 0) {
        dstY0 -= srcY0 * scaleH;
        srcY0 = 0;
    }
    if (srcY1 > sourceHeight) {
        dstY1 -= (srcY1 - sourceHeight) * scaleH;
        srcY1 = sourceHeight;
    }
    // The target cut to the clip rectangle, in the clip's coordinates.
    dstX0 -= clip.x;
    dstX1 -= clip.x;
    dstY0 -= clip.y;
    dstY1 -= clip.y;
    if (dstX0 < 0) {
        srcX0 -= dstX0 / scaleW;
        dstX0 = 0;
    }
    if (dstX1 > clip.w) {
        srcX1 -= (dstX1 - clip.w) / scaleW;
        dstX1 = clip.w;
    }
    if (dstY0 < 0) {
        srcY0 -= dstY0 / scaleH;
        dstY0 = 0;
    }
    if (dstY1 > clip.h) {
        srcY1 -= (dstY1 - clip.h) / scaleH;
        dstY1 = clip.h;
    }
    dstX0 += clip.x;
    dstX1 += clip.x;
    dstY0 += clip.y;
    dstY1 += clip.y;
    double edges[8] = {
        std::round(srcX0), std::round(srcY0), std::round(srcX1 - srcX0), std::round(srcY1 - srcY0),
        std::round(dstX0), std::round(dstY0), std::round(dstX1 - dstX0), std::round(dstY1 - dstY0)};
    for (double edge : edges)
        if (!fits(edge)) return std::nullopt;
    layout::Rect from{int32_t(edges[0]), int32_t(edges[1]), int32_t(edges[2]), int32_t(edges[3])};
    layout::Rect to{int32_t(edges[4]), int32_t(edges[5]), int32_t(edges[6]), int32_t(edges[7])};
    from = intersect({0, 0, sourceWidth, sourceHeight}, from);
    to = intersect(clip, to);
    if (to.w <= 0 || to.h <= 0 || from.w <= 0 || from.h <= 0) return std::nullopt;
    return Placement{from, to};
}

} // namespace blit
