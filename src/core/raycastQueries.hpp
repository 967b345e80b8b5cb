// What a screen pixel of the last frame shows, from that frame's RayHit of its column:
// floor, ceiling (with the world point there) or the column's wall.
//
// For the binding: read the record of column x from the hits array that the last
// frame filled (x checked against the target width by the caller) and the camera as
// it is now; a ratio of 0 must raise ZeroDivisionError before the call.
#pragma once

#include "core/raycast.hpp"

#include <cstdint>

namespace raycast {

struct ScreenPoint {
    // levelGrid::FLOOR, levelGrid::CEILING, or the wall's side (levelGrid::NORTH to
    // levelGrid::WEST).
    int32_t kind = 0;
    Vec2 world;        // floor and ceiling: the world point
    int32_t cellX = 0; // walls: the wall's cell
    int32_t cellY = 0;
};

ScreenPoint screenToWorld(const RayHit& column, double y, int32_t height, int32_t pitch,
                          double ratio, const Vec2& cameraPos);

} // namespace raycast
