// The plain inputs of one frame of the raycasting renderer (raycastFrame.hpp): the
// target, the level's view, the camera, the flashlight, the sprites and the hit records,
// with the few values derived from them that the frame and its plan share.
#pragma once

#include "core/levelGrid.hpp"
#include "core/pixels.hpp"
#include "core/raycast.hpp"

#include <cstddef>
#include <cstdint>

namespace raycast {

struct SpriteDraw; // raycastSprites.hpp

// The background colour that shows where nothing else is drawn.
inline constexpr uint32_t BACKGROUND = 0xff00b464u;

struct CameraView {
    Vec2 pos;
    Vec2 dir; // normalised by the caller, as the frame does to the camera's own vector
    // The angle of dir in degrees, which turns the sky: viewDegrees(dir), or what the
    // camera's own vector answers when asked for its angle.
    double skyDegrees = 0.0;
    int32_t fov = 60;
    int32_t pitch = 0;
    double ratio = 1.6;
};

struct Frame {
    pixels::Area target;
    // The level's cells, textures, sky and fogs (the sky's area is empty where the
    // frame shows no sky).
    levelGrid::View level;
    CameraView camera;
    pixels::ConstArea flashlight; // no pixels: the flashlight is off
    // Drawn in this order, which prepareSprites leaves far to near.
    const SpriteDraw* sprites = nullptr;
    size_t spriteCount = 0;
    RayHit* hits = nullptr; // target.width records, filled by the wall pass
    // Worker threads for this frame: 0 picks a count from the machine and the target
    // size (see renderThreadCount); 1 draws on the calling thread only.
    int32_t threads = 0;
};

// The horizon row: half the height (rounded down) plus the pitch. Kept in 64 bits so
// that any pitch is a valid row number (outside the target when it is large).
inline int64_t horizonRow(int32_t height, int32_t pitch) {
    return height / 2 + int64_t(pitch);
}

} // namespace raycast
