// Sprites of the raycasting renderer as plain values: their distances and viewing
// angles, the far-to-near order, the animation step, the sheet frame, and picking.
//
// For the binding, each frame: fill one SpriteDraw per tracked entity in the order of
// the renderer's entity list (reading the components, sprite and animation fields
// listed below; `index` is the binding's own, for instance the entity's position in
// that list; mark entities that lack a sprite or an animation with drawable = 0), then
// call prepareSprites. It writes `dist`, `angleToCam`, `progress` and `speed`, sorts
// the array far to near, and advances every animation by the time step. Write those
// four values back into the components, reorder the entity list as `index` now says,
// and hand the array to renderFrame, which draws it in this order.
#pragma once

#include "core/pixels.hpp"
#include "core/raycast.hpp"

#include <cstddef>
#include <cstdint>

namespace raycast {

enum : uint32_t { BLENDMODE_BLEND = 0, BLENDMODE_ADD = 1 };

struct SpriteDraw {
    uint32_t index = 0; // the binding's own reference to the entity

    // PositionComponent._pos; RotationComponent._dir, or (1, 0) without one.
    Vec2 position;
    Vec2 facing{1.0, 0.0};

    // SpriteComponent.
    int32_t drawable = 1; // 0: no sprite or no animation; neither stepped nor drawn
    int32_t shadeless = 0;
    uint32_t blendMode = 0; // BLENDMODE_ADD (1) adds, any other value blends
    double zOffset = 0.0;
    double scale = 1.0;
    int32_t currentMinFrame = 0;
    int32_t currentDirections = 0;
    double progress = 0.0; // _animationPercentage, advanced by prepareSprites
    double speed = 0.0;    // _animationSpeed, whose sign prepareSprites may flip

    // Sprite: the sheet's surface and one frame's size.
    pixels::ConstArea sheet;
    int32_t frameWidth = 0; // _width
    int32_t frameHeight = 0;
    int32_t xFrames = 0;

    // The current SpriteAnimation.
    int32_t frameCount = 0;
    int32_t oscillate = 0;
    int32_t directions = 0;

    // Written by prepareSprites.
    double dist = 0.0;
    double angleToCam = 0.0;
};

// The viewing angle of an entity at offset v = camera - position facing (fx, fy):
// 1.0 when it faces the camera, between 0 and 2.
double angleToCamera(const Vec2& offset, const Vec2& facing);

// One animation step: progress += speed * timeStep, then the wrap at the ends (an
// oscillating animation turns and steps back one frame, another restarts at 0). An
// animation without frames keeps its progress and speed.
void advanceAnimation(double& progress, double& speed, double timeStep, int32_t frameCount,
                      int32_t oscillate);

// Measures every sprite from the camera, sorts them far to near (stable), and steps
// every drawable animation by the time step.
void prepareSprites(const Vec2& cameraPos, SpriteDraw* sprites, size_t count, double timeStep);

// The sheet frame the sprite shows at its progress and viewing angle, or -1 when it
// has none (no frames, no directions, progress outside [0, 1), not finite) or when
// that frame's cell lies outside the sheet.
int64_t spriteFrame(const SpriteDraw& sprite);

// Picking: the entity whose unscaled square covers the pixel (x, y) and lies in front
// of the wall of column x. `positions` in any order; returns the position in that
// array of the nearest match, or -1. horizonF is 0.5 * height + pitch and the ratio
// must not be 0 (the binding raises ZeroDivisionError first).
struct PickView {
    Vec2 cameraPos;
    Vec2 cameraDir;
    int32_t width = 0;
    int32_t height = 0; // of the target surface
    int32_t pitch = 0;
    double ratio = 1.6;
};
// `dists` receives every entity's distance (the binding writes them to _dist) and
// `order` the far-to-near order of the entities (the list order after the sort); both
// have `count` entries.
int64_t pickSprite(const PickView& view, double wallDist, int64_t x, double y,
                   const Vec2* positions, size_t count, double* dists, uint32_t* order);

} // namespace raycast
