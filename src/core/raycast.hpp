// The grid ray cast and the plain vector types that the raycasting renderer and the
// collision code share. No Python, no SDL, no allocation.
//
// For the binding: a cast reads only the cell array it is given (width * height cells
// laid out as core/levelGrid.hpp says) and writes only the record and the direction
// it is given. It may run on any thread while the cells stay unchanged. An origin outside the map
// (or on its far border, or not finite) is reported as leaving the map at once, so a
// cast never reads outside the cell array whatever the origin.
//
// World orientation: x grows to the east, y to the south; cell (x, y) covers (x, y) to
// (x + 1, y + 1) and its north face is its low-y edge.
#pragma once

#include "core/levelGrid.hpp"

#include <cstdint>

namespace raycast {

inline constexpr double DEG2RAD = 0.017453292519943295;
inline constexpr double RAD2DEG = 57.29577951308232;

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// A rotation by an angle a, stored as (-sin a, cos a, sin a, cos a).
struct Mat2 {
    double m[4] = {0.0, 1.0, 0.0, 1.0};
};

// What one cast found. `side` names the struck face by its byte in the cell
// (levelGrid::NORTH to levelGrid::WEST). A ray that left the map has outOfMap 1,
// blockType 0 and the border crossing in hitPos; its cellX, cellY and textureIndex are
// left as they were.
// rayDir is never written by the cast: the frame stores each column's direction there.
struct RayHit {
    uint8_t blockType = 0;
    Vec2 hitPos;
    Vec2 rayDir;
    int32_t isYSide = 0;
    int32_t outOfMap = 0;
    int32_t textureIndex = 0;
    double dist = 0.0;
    int32_t side = 0;
    int32_t cellX = 0;
    int32_t cellY = 0;
    Vec2 normal;
};

void vec2Sub(const Vec2& a, const Vec2& b, Vec2& out);
double vec2Length(const Vec2& v);
// The angle of a direction in degrees, from -180 to 180: atan2(y, x) * RAD2DEG.
double viewDegrees(const Vec2& v);
void rotationMatrix(Mat2& m, double radians);
// out may be v itself.
void applyMatrix(const Mat2& m, const Vec2& v, Vec2& out);

// Follows the ray from pos along dir over the cells and fills hit with the first wall
// it meets, or with the crossing where it leaves the map. A component of dir that is
// exactly 0 is replaced by 1e-14 in dir itself (the caller keeps the replaced value).
void castGridRay(const uint8_t* cells, int32_t width, int32_t height, const Vec2& pos, Vec2& dir,
                 RayHit& hit);

} // namespace raycast
