#include "core/blit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace blit {

namespace {

// Rounded edges far beyond any surface (a stretch of a piece that shows nothing): their
// conversion to an integer would be meaningless.
bool fits(double value) {
    constexpr double limit = double(int64_t(1) << 62);
    return value >= -limit && value <= limit;
}

} // namespace

std::optional<Placement> unscaled(const layout::Rect& source, int32_t sourceWidth,
                                  int32_t sourceHeight, int64_t x, int64_t y,
                                  const layout::Rect& clip) {
    // The steps are SDL's, without its overflows.
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
    return Placement{{srcX, srcY, w, h}, {dstX, dstY, w, h}};
}

// Whether `inner` lies wholly inside `outer`.
static bool within(const layout::Rect& inner, const layout::Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

std::optional<Placement> scaled(const layout::Rect& source, int32_t sourceWidth,
                                int32_t sourceHeight, const layout::Rect& target,
                                const layout::Rect& clip) {
    // Nothing to cut: the sums below would give the rectangles back exactly.
    if (source.w > 0 && source.h > 0 && target.w > 0 && target.h > 0 &&
        within(source, {0, 0, sourceWidth, sourceHeight}) && within(target, clip))
        return Placement{source, target};
    double scaleW = double(target.w) / double(source.w);
    double scaleH = double(target.h) / double(source.h);
    double dstX0 = double(target.x), dstY0 = double(target.y);
    double dstX1 = dstX0 + double(target.w), dstY1 = dstY0 + double(target.h);
    double srcX0 = double(source.x), srcY0 = double(source.y);
    double srcX1 = srcX0 + double(source.w), srcY1 = srcY0 + double(source.h);
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
    double clipX = double(clip.x), clipY = double(clip.y);
    double clipW = double(clip.w), clipH = double(clip.h);
    dstX0 -= clipX;
    dstX1 -= clipX;
    dstY0 -= clipY;
    dstY1 -= clipY;
    if (dstX0 < 0) {
        srcX0 -= dstX0 / scaleW;
        dstX0 = 0;
    }
    if (dstX1 > clipW) {
        srcX1 -= (dstX1 - clipW) / scaleW;
        dstX1 = clipW;
    }
    if (dstY0 < 0) {
        srcY0 -= dstY0 / scaleH;
        dstY0 = 0;
    }
    if (dstY1 > clipH) {
        srcY1 -= (dstY1 - clipH) / scaleH;
        dstY1 = clipH;
    }
    dstX0 += clipX;
    dstX1 += clipX;
    dstY0 += clipY;
    dstY1 += clipY;
    double edges[8] = {
        std::round(srcX0), std::round(srcY0), std::round(srcX1 - srcX0), std::round(srcY1 - srcY0),
        std::round(dstX0), std::round(dstY0), std::round(dstX1 - dstX0), std::round(dstY1 - dstY0)};
    for (double edge : edges)
        if (!fits(edge)) return std::nullopt;
    layout::Rect from{int64_t(edges[0]), int64_t(edges[1]), int64_t(edges[2]), int64_t(edges[3])};
    layout::Rect to{int64_t(edges[4]), int64_t(edges[5]), int64_t(edges[6]), int64_t(edges[7])};
    from = layout::intersect({0, 0, sourceWidth, sourceHeight}, from);
    to = layout::intersect(clip, to);
    if (to.w <= 0 || to.h <= 0 || from.w <= 0 || from.h <= 0) return std::nullopt;
    return Placement{from, to};
}

} // namespace blit
