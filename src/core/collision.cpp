#include "core/collision.hpp"

#include "core/levelGrid.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace collision {

bool bodyContact(const Vec2& old, double moverRadius, const Vec2& other, double otherRadius,
                 bool otherIsTrigger, Vec2& move, Vec2& next) {
    double dx = other.x - next.x;
    double dy = other.y - next.y;
    double overlap = std::sqrt(dx * dx + dy * dy) - (otherRadius + moverRadius);
    if (!(overlap < 0.0)) return false;
    if (!otherIsTrigger) {
        // Normalised as a vector normalises itself: a zero offset stays zero.
        double length = std::sqrt(dx * dx + dy * dy);
        if (length != 0.0) {
            dx /= length;
            dy /= length;
        }
        double movedX = move.x + dx * overlap;
        double movedY = move.y + dy * overlap;
        move = {movedX, movedY};
        next.x = old.x + movedX;
        next.y = old.y + movedY;
    }
    return true;
}

bool probeWall(const uint8_t* cells, int32_t width, int32_t height, const Vec2& origin, Vec2 dir,
               double radius, const Vec2& position, Vec2& next) {
    raycast::RayHit hit;
    raycast::castGridRay(cells, width, height, origin, dir, hit);
    if (hit.outOfMap) return false; // the map's edge is no wall
    Vec2 point = hit.hitPos;
    Vec2 push{-dir.x, -dir.y}; // the direction as the cast left it
    if (!(hit.dist < radius)) return false;
    double dx = point.x - position.x;
    double dy = point.y - position.y;
    double overlap = radius - std::sqrt(dx * dx + dy * dy);
    double pushX = push.x * overlap;
    double pushY = push.y * overlap;
    next.x = next.x + pushX;
    next.y = next.y + pushY;
    return true;
}

namespace {

// The most cells a probe test reads before it gives up and lets the cast decide.
constexpr double mostCells = 64.0;

} // namespace

bool solidCellMeets(const WallGrid& walls, double x0, double y0, double x1, double y1) {
    // Cell c covers [c, c + 1]: it meets [x0, x1] when ceil(x0) - 1 <= c <= floor(x1).
    double loX = std::max(ceilOf(x0) - 1.0, 0.0), hiX = std::min(floorOf(x1), walls.width - 1.0);
    double loY = std::max(ceilOf(y0) - 1.0, 0.0), hiY = std::min(floorOf(y1), walls.height - 1.0);
    if (!(loX <= hiX && loY <= hiY)) return false;
    auto solid = [&](double x, double y) {
        if (walls.map) return walls.map->solid(size_t(x), size_t(y));
        return walls.cells[(size_t(y) * size_t(walls.width) + size_t(x)) * levelGrid::CELL_BYTES] !=
               levelGrid::EMPTY;
    };
    // A box within two by two cells, as a mover's usually is: its corner cells, some
    // perhaps the same, without a loop.
    if (hiX - loX <= 1.0 && hiY - loY <= 1.0)
        return solid(loX, loY) | solid(hiX, loY) | solid(loX, hiY) | solid(hiX, hiY);
    if ((hiX - loX + 1.0) * (hiY - loY + 1.0) > mostCells) return true;
    for (double y = loY; y <= hiY; ++y)
        for (double x = loX; x <= hiX; ++x)
            if (solid(x, y)) return true;
    return false;
}

namespace {

// What the cast walks in place of a zero component of its direction.
constexpr double ZERO_STEP = 1e-14;

} // namespace

// A probe touches only when the cast reports a wall at a distance below the radius. The
// point it reports lies on the ray (within rounding) and on the closed square of a solid
// cell of the map, so that cell meets the stretch of the ray within the radius.
bool probeMayTouch(const WallGrid& walls, const Vec2& origin, const Vec2& direction,
                   double radius) {
    if (!(radius > 0.0) || !originOnMap(walls.width, walls.height, origin)) return false;
    Vec2 dir = direction;
    if (!std::isfinite(dir.x) || !std::isfinite(dir.y)) return false; // leaves the map at once
    // Both components zero send the cast's walk backwards: no box follows it.
    if (!std::isfinite(radius) || (dir.x == 0.0 && dir.y == 0.0)) return true;
    double margin = reachMargin(origin, radius);
    if (dir.x == 0.0 || dir.y == 0.0) {
        // The cast steps across a zero component's axis backwards while it walks the ray
        // with the component replaced: it meets the grid lines behind the origin, each at
        // its distance from the origin times |other component| / ZERO_STEP to the side.
        // One met within reach leaves every box of the ray. (The line through the origin
        // is met at the origin itself, in the cell under it.)
        double across = dir.x == 0.0 ? origin.x : origin.y;
        double other = std::fabs(dir.x == 0.0 ? dir.y : dir.x);
        double behind = across - double(int64_t(across)); // exact: the origin is on the map
        if (behind == 0.0) behind = 1.0;
        if (!(behind * other > 2.0 * ZERO_STEP * (radius + margin))) return true;
        // Ahead, it drifts along that axis by the replacement, which the box follows.
        if (dir.x == 0.0) dir.x = ZERO_STEP;
        if (dir.y == 0.0) dir.y = ZERO_STEP;
    }
    double length = std::sqrt(dir.x * dir.x + dir.y * dir.y);
    // Beyond these the squares leave the normal range and the length its precision.
    if (!(length >= 1e-150 && length <= 1e150)) return true;
    double scale = (radius + margin) / length;
    double endX = origin.x + dir.x * scale, endY = origin.y + dir.y * scale;
    if (!std::isfinite(endX) || !std::isfinite(endY)) return true;
    return solidCellMeetsAround(
        walls, origin, std::min(origin.x, endX) - margin, std::min(origin.y, endY) - margin,
        std::max(origin.x, endX) + margin, std::max(origin.y, endY) + margin);
}

float toSingle(double value) {
    constexpr double largest = std::numeric_limits<float>::max();
    // Half a unit in the last place above the largest float: from there on the nearest
    // float is infinite (the tie goes to the even neighbour, which is infinity).
    constexpr double overflow = largest + 0x1p103;
    if (value >= overflow) return std::numeric_limits<float>::infinity();
    if (value <= -overflow) return -std::numeric_limits<float>::infinity();
    if (value > largest) return float(largest);
    if (value < -largest) return -float(largest);
    return float(value);
}

bool lineMayMeetCircle(const Vec2& center, float radius, const Vec2& p1, const Vec2& p2) {
    // The working's own inputs: the direction rounded to single precision, the offset in
    // double precision.
    double dx = toSingle(p2.x - p1.x), dy = toSingle(p2.y - p1.y);
    double fromX = p1.x - center.x, fromY = p1.y - center.y;
    double r = radius;
    // Within these magnitudes no single-precision step overflows (the largest, b squared,
    // stays below 1e34); beyond them, or for NaN, the working decides.
    constexpr double largest = 1e8;
    if (!(std::fabs(dx) <= largest && std::fabs(dy) <= largest && std::fabs(fromX) <= largest &&
          std::fabs(fromY) <= largest && std::fabs(r) <= largest))
        return true;
    // The working's discriminant is b^2 - 4ac with b = 2 along, a = |d|^2, c = |from|^2 -
    // r^2, each rounded to single precision in a few steps: it differs from 4 (along^2 - a c)
    // by less than 8 units of 2^-24 of 4 (along^2 + a (|c| + r^2)). The bound below is
    // twenty times that, with room for values so small that single precision loses them.
    double along = dx * fromX + dy * fromY;
    double a = dx * dx + dy * dy;
    double c = fromX * fromX + fromY * fromY - r * r;
    double quarter = along * along - a * c;
    return quarter >= -(1e-5 * (along * along + a * (std::fabs(c) + r * r + 1e-30)) + 1e-30);
}

bool closestLineCircleIntersection(const Vec2& center, float radius, const Vec2& p1, const Vec2& p2,
                                   Vec2& hit) {
    return lineMayMeetCircle(center, radius, p1, p2) &&
           closestLineCircleIntersectionInFull(center, radius, p1, p2, hit);
}

bool closestLineCircleIntersectionInFull(const Vec2& center, float radius, const Vec2& p1,
                                         const Vec2& p2, Vec2& hit) {
    float dx = toSingle(p2.x - p1.x);
    float dy = toSingle(p2.y - p1.y);
    float a = dx * dx + dy * dy;
    double fromX = p1.x - center.x, fromY = p1.y - center.y;
    float b = toSingle(2.0 * (double(dx) * fromX + double(dy) * fromY));
    float radiusSquared = radius * radius;
    float c = toSingle(fromX * fromX + fromY * fromY - double(radiusSquared));
    if (double(a) <= 1e-07) return false;
    float bSquared = b * b;
    float disc = toSingle(double(bSquared) - 4.0 * double(a) * double(c));
    if (disc < 0.0f) return false;
    float t;
    if (disc == 0.0f) {
        t = -b / (2.0f * a);
        if (!(t > 0.0f)) return false;
    } else {
        double root = std::sqrt(double(disc));
        float exit = toSingle((double(-b) + root) / (2.0 * double(a)));
        float entry = toSingle((double(-b) - root) / (2.0 * double(a)));
        if ((entry > exit || entry < 0.0f) && exit > 0.0f)
            t = exit;
        else if (entry > 0.0f)
            t = entry;
        else
            return false;
    }
    float alongX = t * dx;
    float alongY = t * dy;
    hit = {p1.x + double(alongX), p1.y + double(alongY)};
    return true;
}

} // namespace collision
