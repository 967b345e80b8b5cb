// One frame of the raycasting renderer over plain memory: the sky, the walls with
// floor, ceiling, fog and flashlight, and the sprites.
//
// For the binding. At the start of a frame, on the calling thread, read every field
// of the Frame (raycastScene.hpp) out of the Python objects (the level's size, cells, texture
// surfaces, sky and fog; the camera after normalising its direction in place; the flashlight
// texture; the sprite draws of raycastSprites.hpp, already prepared and sorted), lock the surfaces,
// then call renderFrame. The passes touch only this memory: they never call back, so they may run
// on worker threads. Nothing is kept between frames except what the frame writes: the target pixels
// and one RayHit per target column in `hits`, which the binding owns (target.width records) and the
// screen queries read later.
//
// The tiles are drawn by the build of the instruction set in use (core/instructions.hpp);
// every build gives the same bytes.
//
// Pixels are ARGB8888 words 0xAARRGGBB. Every area gives its stride in pixels; a
// texture's own surface has rows exactly `width` pixels apart, but any stride works.
// The target must not overlap any source area.
#pragma once

#include "core/raycastScene.hpp"

#include <cstdint>

namespace raycast {

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

// Reads a thread count as the environment variable QUORVELIN_RENDER_THREADS gives it:
// a positive decimal number (at most 64), anything else (or null) gives 0, "automatic".
int32_t parseRenderThreads(const char* text);

} // namespace raycast
