// The arithmetic of collision and movement, on plain doubles: the push-out of one pair
// of circular bodies, the wall probes of a moving body, the tests that let a broad phase
// skip pairs and probes that cannot touch, and the single-precision line-circle
// intersection of the ray queries. No Python, no SDL, no allocation.
//
// Every value is computed in the order written (the build forbids contraction), because
// positions are compared bit for bit against the plain algorithm.
#pragma once

#include "core/raycast.hpp"
#include "core/wallMap.hpp"

#include <cmath>
#include <cstdint>

namespace collision {

using raycast::Vec2;

// The diagonal component of the wall probes: the decimal 0.707107, a little longer than
// 1/sqrt(2).
inline constexpr double PROBE_DIAGONAL = 0.707107;
inline constexpr int PROBE_COUNT = 8;

// The wall probes as (x, y) pairs, y growing southwards: north, east, south, west, then
// south-east, north-west, south-west, north-east.
inline constexpr double PROBES[2 * PROBE_COUNT] = {
    0.0,
    -1.0,
    1.0,
    0.0,
    0.0,
    1.0,
    -1.0,
    0.0,
    PROBE_DIAGONAL,
    PROBE_DIAGONAL,
    -PROBE_DIAGONAL,
    -PROBE_DIAGONAL,
    -PROBE_DIAGONAL,
    PROBE_DIAGONAL,
    PROBE_DIAGONAL,
    -PROBE_DIAGONAL,
};

// The body test of one pair. The mover, of radius `moverRadius`, starts at `old` and is
// headed for `next` = old + move; the other body stands at `other`. When the circles
// overlap (strictly) the mover touches: unless the other body is only a trigger, `move`
// becomes the corrected move, which leaves the centres one radius sum apart, and `next`
// becomes old + move. Returns whether they touch.
bool bodyContact(const Vec2& old, double moverRadius, const Vec2& other, double otherRadius,
                 bool otherIsTrigger, Vec2& move, Vec2& next);

// Whether each offset is within `reach`. Never false where bodyContact reports a contact of
// circles whose radii add up to at most `reach` (the margin covers every rounding of the
// squares and the root, and offsets so small that their squares lose precision): a body
// that may touch a mover at some point also lies within reach of any point at most
// `slack` away from it (per axis), for reach = |its radius| + |the mover's radius| +
// slack. So one query serves a mover whose target is pushed about, until it strays that
// far, and a broad phase may skip each body it refuses.
inline bool withinReach(double dx, double dy, double reach) {
    // The offsets of the two points differ by the rounding of two subtractions, each within
    // half a unit of their result: far inside the relative margin.
    double bound = reach * (1.0 + 1e-6) + 1e-150;
    return std::fabs(dx) <= bound && std::fabs(dy) <= bound;
}

// std::floor and std::ceil without a library call (the baseline instruction set has no
// rounding instruction), equal to them but for the sign of a zero result.
inline double floorOf(double value) {
    if (!(std::fabs(value) < 0x1p52)) return std::floor(value); // whole already, or NaN
    double whole = double(int64_t(value));                      // toward zero
    return whole > value ? whole - 1.0 : whole;
}
inline double ceilOf(double value) {
    if (!(std::fabs(value) < 0x1p52)) return std::ceil(value);
    double whole = double(int64_t(value));
    return whole < value ? whole + 1.0 : whole;
}

// One wall probe of a mover whose ray starts at `origin` (the position before the move):
// casts along `dir` (the cast may replace a zero component of it) and, when the ray meets
// a wall (not the map's edge) closer than `radius`, pushes `next` out along -dir by the
// radius less the distance from `position` to the wall. Returns whether it touched.
bool probeWall(const uint8_t* cells, int32_t width, int32_t height, const Vec2& origin, Vec2 dir,
               double radius, const Vec2& position, Vec2& next);

// The walls as the tests below read them: the grid's cells, or the WallMap of them in
// their place when there is one.
struct WallGrid {
    const uint8_t* cells = nullptr;
    int32_t width = 0, height = 0;
    const WallMap* map = nullptr;
};

// The cast starts from the cell under the origin only when the origin lies on the map.
inline bool originOnMap(int32_t width, int32_t height, const Vec2& origin) {
    return origin.x >= 0.0 && origin.x < double(width) && origin.y >= 0.0 &&
           origin.y < double(height);
}

// How far beyond the radius a wall is still looked for: more than the rounding of any
// crossing point or distance that the cast computes.
inline double reachMargin(const Vec2& origin, double radius) {
    return 1e-7 + 1e-12 * (std::fabs(origin.x) + std::fabs(origin.y) + radius);
}

// Whether a solid cell of the grid meets the closed box [x0, x1] x [y0, y1], whose
// bounds are finite; true also when the box covers too many cells to look at.
bool solidCellMeets(const WallGrid& walls, double x0, double y0, double x1, double y1);

// solidCellMeets for a box that holds `origin`, a point on the map, answered from the
// map's neighbourhood of the cell under the origin: 1 or 0, or -1 when the box leaves the
// neighbourhood (or a bound is NaN). The answer is the general test's: cell c of a row
// covers [c, c + 1], so a box from x0 to x1 that holds a point of cell cx and lies within
// (cx - 1, cx + 2) meets cells cx - 1 to cx + 1 exactly as x0 <= cx and cx + 1 <= x1 say,
// and the neighbourhood has no solid cell off the grid, which the general test leaves out.
inline int solidAroundMeets(const WallMap& map, const Vec2& origin, double x0, double y0, double x1,
                            double y1) {
    // The origin lies on the map, so its cell is the truncation of its coordinates (taken
    // as signed, which the hardware converts in one instruction each way).
    int64_t cellX = int64_t(origin.x), cellY = int64_t(origin.y);
    double left = double(cellX), top = double(cellY);
    if (!(x0 > left - 1.0 && x1 < left + 2.0 && y0 > top - 1.0 && y1 < top + 2.0)) return -1;
    unsigned columns = 2u | unsigned(x0 <= left) | unsigned(x1 >= left + 1.0) << 2;
    // The rows spread to bits 0, 3 and 6, so the product copies the columns into each row
    // that the box meets without a carry from one row into the next.
    unsigned rows = unsigned(y0 <= top) | 8u | unsigned(y1 >= top + 1.0) << 6;
    static_assert(WallMap::aroundBit(-1, -1) == 0 && WallMap::aroundBit(1, 1) == 8);
    return (map.around(size_t(cellX), size_t(cellY)) & columns * rows) != 0;
}

// solidCellMeets, from the neighbourhood whenever it can: the case of every mover of an
// ordinary radius, in one load.
inline bool solidCellMeetsAround(const WallGrid& walls, const Vec2& origin, double x0, double y0,
                                 double x1, double y1) {
    int answer = walls.map ? solidAroundMeets(*walls.map, origin, x0, y0, x1, y1) : -1;
    return answer >= 0 ? answer != 0 : solidCellMeets(walls, x0, y0, x1, y1);
}

// The largest radius for which a clear neighbourhood alone answers. Its reach, radius plus
// reachMargin, stays below 0.95 for any origin on a map (each coordinate below 2^31, so
// the margin below 0.005), and a box that reaches less than 0.95 from a point of cell cx
// lies within (cx - 1, cx + 2) along x whatever the rounding of its bounds: they round
// to no farther than cx - 0.95 and cx + 1.95 do, which is within 2^-21 of them. So does
// it along y.
inline constexpr double CLEAR_RADIUS = 0.9;

// Whether a probe from `origin` along `dir` could meet a wall closer than `radius`: false
// only when the cast cannot touch (no solid cell of the grid within reach of that part of
// the ray, an origin off the map, a radius that no distance is below), so the cast may
// be skipped. The same with no direction: for all the probes of a mover at once.
bool probeMayTouch(const WallGrid& walls, const Vec2& origin, const Vec2& dir, double radius);
// Inline, because the movement pass asks it of every mover, and most stand where no cell
// of the nine around them is solid: for them one load answers.
inline bool wallsMayTouch(const WallGrid& walls, const Vec2& origin, double radius) {
    if (!(radius > 0.0) || !originOnMap(walls.width, walls.height, origin)) return false;
    if (walls.map && radius <= CLEAR_RADIUS &&
        walls.map->around(size_t(int64_t(origin.x)), size_t(int64_t(origin.y))) == 0)
        return false;
    if (!std::isfinite(radius)) return true;
    double reach = radius + reachMargin(origin, radius);
    return solidCellMeetsAround(walls, origin, origin.x - reach, origin.y - reach, origin.x + reach,
                                origin.y + reach);
}

// The value a double takes as a single-precision float, by IEEE rounding: beyond the
// float range it becomes an infinity, as the hardware conversion gives.
float toSingle(double value);

// The nearest point strictly ahead of p1 (p1 + t (p2 - p1) with t > 0, t not limited to
// 1) where the line through p1 and p2 meets the circle; false when there is none or when
// p1 and p2 (nearly) coincide. The working values are single-precision floats.
bool closestLineCircleIntersection(const Vec2& center, float radius, const Vec2& p1, const Vec2& p2,
                                   Vec2& hit);
// The same without the quick rejection that the one above starts with: every step of the
// single-precision working, whatever the inputs.
bool closestLineCircleIntersectionInFull(const Vec2& center, float radius, const Vec2& p1,
                                         const Vec2& p2, Vec2& hit);

// Whether the working above can find the line through p1 and p2 meeting the circle:
// false only when its discriminant comes out negative however its single-precision steps
// round, so that the working may be skipped. A ray query meets few of many bodies.
bool lineMayMeetCircle(const Vec2& center, float radius, const Vec2& p1, const Vec2& p2);

} // namespace collision
