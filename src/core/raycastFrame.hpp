// One frame of the raycasting renderer over plain memory: the sky, the walls with
// floor, ceiling, fog and flashlight, and the sprites.
//
// For the binding. At the start of a frame, on the calling thread, read every field
// below out of the Python objects (the level's size, cells, texture surfaces, sky and
// fog; the camera after normalising its direction in place; the flashlight texture;
// the sprite draws of raycastSprites.hpp, already prepared and sorted), lock the
// surfaces, then call renderFrame. The passes touch only this memory: they never call
// back, so they may run on worker threads. Nothing is kept between frames except what
// the frame writes: the target pixels and one RayHit per target column in `hits`,
// which the binding owns (target.width records) and the screen queries read later.
//
// Pixels are ARGB8888 words 0xAARRGGBB. Every area gives its stride in pixels; a
// texture's own surface has rows exactly `width` pixels apart, but any stride works.
// The target must not overlap any source area.
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

// The whole frame: background, sky (when the level has one), walls with floor, ceiling
// and flashlight, then the sprites.
void renderFrame(const Frame& frame);

// The passes one by one, over whatever the target holds already: renderSky paints
// every pixel from the sky; renderWalls draws walls, floor, ceiling and flashlight and
// fills `hits` (pixels it leaves untouched keep their colour), then runs renderSprites,
// which draws the sprites against the hits of the last wall pass.
void renderSky(const Frame& frame);
void renderWalls(const Frame& frame);
void renderSprites(const Frame& frame);

// The worker count a frame with `threads` 0 uses for a target of this size: the
// hardware's concurrency, at most 8, and 1 for small targets.
int32_t renderThreadCount(int32_t width, int32_t height);

// The instruction sets the frame is built for, narrowest first.
enum class Instructions { baseline, avx2, avx512 };

// The frame picks the widest instruction set the processor has, up to `widest`
// (AVX-512 unless changed); the result is the same byte for byte. Tests and benchmarks
// may hold it to a narrower one.
void limitInstructions(Instructions widest);

// Reads a thread count as the environment variable QUORVELIN_RENDER_THREADS gives it:
// a positive decimal number (at most 64), anything else (or null) gives 0, "automatic".
int32_t parseRenderThreads(const char* text);

} // namespace raycast
