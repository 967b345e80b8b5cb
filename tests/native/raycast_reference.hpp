// The plain, pass-by-pass frame that the optimised one is held against.
#pragma once

#include "core/raycastFrame.hpp"
#include "core/raycastSprites.hpp"

namespace reference {

void renderFrame(const raycast::Frame& frame);
void renderSky(const raycast::Frame& frame);
void renderWalls(const raycast::Frame& frame); // ends with renderSprites
void renderSprites(const raycast::Frame& frame);
void prepareSprites(const raycast::Vec2& cameraPos, raycast::SpriteDraw* sprites, size_t count,
                    double timeStep);

} // namespace reference
