#include "core/raycastSprites.hpp"

#include "core/raycastShading.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace raycast {

namespace {

constexpr double PI = 3.141592653589793;
constexpr double TWO_PI = 6.283185307179586;

// Far to near; a distance that is not a number sorts as the farthest.
double sortKey(double dist) {
    return dist != dist ? std::numeric_limits<double>::infinity() : dist;
}

// Python's remainder and quotient, whose sign follows the divisor.
int64_t floorMod(int64_t value, int64_t divisor) {
    int64_t remainder = value % divisor;
    return remainder < 0 ? remainder + divisor : remainder;
}

int64_t floorDiv(int64_t value, int64_t divisor) {
    return (value - floorMod(value, divisor)) / divisor;
}

} // namespace

double angleToCamera(const Vec2& offset, const Vec2& facing) {
    return 1.0 - (std::atan2(offset.y, offset.x) - std::atan2(facing.y, facing.x) + PI) / TWO_PI +
           0.5;
}

void advanceAnimation(double& progress, double& speed, double timeStep, int32_t frameCount,
                      int32_t oscillate) {
    if (frameCount <= 0) return; // the wrap would divide by zero
    progress += speed * timeStep;
    if (oscillate) {
        if (progress >= 1.0) {
            speed = -speed;
            progress -= 1.0 / frameCount;
        } else if (progress < 0.0) {
            speed = -speed;
            progress += 1.0 / frameCount;
        }
    } else if (progress >= 1.0) {
        progress = 0.0;
    }
}

void prepareSprites(const Vec2& cameraPos, SpriteDraw* sprites, size_t count, double timeStep) {
    for (size_t i = 0; i < count; ++i) {
        SpriteDraw& sprite = sprites[i];
        Vec2 offset;
        vec2Sub(cameraPos, sprite.position, offset);
        sprite.dist = vec2Length(offset);
        sprite.angleToCam = angleToCamera(offset, sprite.facing);
    }
    std::stable_sort(sprites, sprites + count, [](const SpriteDraw& a, const SpriteDraw& b) {
        return sortKey(a.dist) > sortKey(b.dist);
    });
    for (size_t i = 0; i < count; ++i)
        if (sprites[i].drawable)
            advanceAnimation(sprites[i].progress, sprites[i].speed, timeStep, sprites[i].frameCount,
                             sprites[i].oscillate);
}

int64_t spriteFrame(const SpriteDraw& sprite) {
    if (!sprite.drawable || sprite.frameCount <= 0 || sprite.directions <= 0 ||
        sprite.xFrames <= 0 || sprite.frameWidth <= 0 || sprite.frameHeight <= 0)
        return -1;
    if (!(sprite.progress >= 0.0 && sprite.progress < 1.0)) return -1;
    int64_t directions = sprite.directions;
    double facing = double(directions) * (sprite.angleToCam + 1.0 / double(2 * directions));
    if (!std::isfinite(facing)) return -1;
    int64_t step = int64_t(sprite.progress * sprite.frameCount);
    int64_t frame = step * sprite.currentDirections + sprite.currentMinFrame +
                    floorMod(truncSaturated(facing), directions);
    int64_t column = floorMod(frame, sprite.xFrames);
    int64_t row = floorDiv(frame, sprite.xFrames);
    if (row < 0 || (row + 1) * sprite.frameHeight > sprite.sheet.height ||
        (column + 1) * sprite.frameWidth > sprite.sheet.width)
        return -1;
    return frame;
}

int64_t pickSprite(const PickView& view, double wallDist, int64_t x, double y,
                   const Vec2* positions, size_t count, double* dists, uint32_t* order) {
    double horizon = 0.5 * view.height + view.pitch;
    double angle = viewDegrees(view.cameraDir);
    Mat2 rotation;
    rotationMatrix(rotation, (360.0 - angle) * DEG2RAD);
    for (size_t i = 0; i < count; ++i) {
        Vec2 offset;
        vec2Sub(view.cameraPos, positions[i], offset);
        dists[i] = vec2Length(offset);
    }
    std::iota(order, order + count, 0u);
    std::stable_sort(order, order + count,
                     [&](uint32_t a, uint32_t b) { return sortKey(dists[a]) > sortKey(dists[b]); });
    int64_t found = -1;
    for (size_t i = 0; i < count; ++i) {
        Vec2 p;
        vec2Sub(positions[order[i]], view.cameraPos, p);
        applyMatrix(rotation, p, p);
        if (!(p.x > 0.0 && wallDist >= p.x)) continue;
        int64_t center = truncSaturated(double(view.width / 2) + view.width * (p.y / p.x));
        // As drawn: a square whose half size passes 32 bits has no size.
        double half = view.height / view.ratio / p.x;
        if (!fitsInt32(half)) continue;
        int64_t size = truncSaturated(half);
        int64_t left = center - size;
        int64_t top = truncSaturated(horizon - double(size));
        if (left <= x && x < left + 2 * size && double(top) <= y && y < double(top + 2 * size))
            found = order[i];
    }
    return found;
}

} // namespace raycast
