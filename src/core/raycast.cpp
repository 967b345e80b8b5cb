// The grid walk: the next crossing with a vertical grid line and the next with a
// horizontal one, always examining the nearer. Every value is computed in the order
// written here (the build forbids contraction), because the renderer's pictures and
// the collision results depend on the exact doubles.
#include "core/raycast.hpp"

#include <cmath>
#include <cstddef>

namespace raycast {

void vec2Sub(const Vec2& a, const Vec2& b, Vec2& out) {
    double x = a.x - b.x;
    double y = a.y - b.y;
    out.x = x;
    out.y = y;
}

double vec2Length(const Vec2& v) {
    return std::sqrt(v.x * v.x + v.y * v.y);
}

double viewDegrees(const Vec2& v) {
    return std::atan2(v.y, v.x) * RAD2DEG;
}

void rotationMatrix(Mat2& m, double radians) {
    double sine = std::sin(radians);
    double cosine = std::cos(radians);
    m.m[0] = -sine;
    m.m[1] = cosine;
    m.m[2] = sine;
    m.m[3] = cosine;
}

void applyMatrix(const Mat2& m, const Vec2& v, Vec2& out) {
    double x = m.m[1] * v.x + m.m[0] * v.y;
    double y = m.m[2] * v.x + m.m[3] * v.y;
    out.x = x;
    out.y = y;
}

namespace {

constexpr double DIAGONAL = 0.707107;

Vec2 faceNormal(int32_t side, uint8_t blockType) {
    const double k = DIAGONAL;
    switch (side) {
    case levelGrid::NORTH:
        if (blockType == levelGrid::TRIANGLE_SOUTH_EAST) return {k, -k};
        if (blockType == levelGrid::TRIANGLE_SOUTH_WEST) return {-k, -k};
        return {0.0, -1.0};
    case levelGrid::EAST:
        if (blockType == levelGrid::TRIANGLE_NORTH_WEST) return {k, k};
        if (blockType == levelGrid::TRIANGLE_SOUTH_EAST) return {k, -k};
        return {1.0, 0.0};
    case levelGrid::SOUTH:
        if (blockType == levelGrid::TRIANGLE_NORTH_WEST) return {k, k};
        if (blockType == levelGrid::TRIANGLE_NORTH_EAST) return {-k, k};
        return {0.0, 1.0};
    default: // west
        if (blockType == levelGrid::TRIANGLE_NORTH_EAST) return {-k, k};
        if (blockType == levelGrid::TRIANGLE_SOUTH_WEST) return {-k, -k};
        return {-1.0, 0.0};
    }
}

bool isTriangle(uint8_t blockType) {
    return blockType >= levelGrid::TRIANGLE_NORTH_WEST &&
           blockType <= levelGrid::TRIANGLE_SOUTH_WEST;
}

// Where the ray's line meets the diagonal of a triangular cell. False when they are
// parallel, and when the point is (0, 0), which marks "no intersection".
bool diagonalIntersection(int32_t cellX, int32_t cellY, uint8_t blockType, const Vec2& pos,
                          const Vec2& dir, Vec2& point) {
    bool falling =
        blockType == levelGrid::TRIANGLE_NORTH_WEST || blockType == levelGrid::TRIANGLE_SOUTH_WEST;
    double ax = cellX;
    double ay = falling ? cellY + 1.0 : double(cellY);
    double dx = 1.0;
    double dy = falling ? -1.0 : 1.0;
    double denominator = dir.x * dy - dir.y * dx;
    if (denominator == 0.0) return false;
    double t = ((ax - pos.x) * dy - (ay - pos.y) * dx) / denominator;
    point.x = pos.x + t * dir.x;
    point.y = pos.y + t * dir.y;
    return !(point.x == 0.0 && point.y == 0.0);
}

bool insideCell(const Vec2& point, int32_t cellX, int32_t cellY) {
    return cellX <= point.x && point.x < cellX + 1.0 && cellY <= point.y && point.y < cellY + 1.0;
}

// A triangle lets the ray in through its two open faces only.
bool entersOpenFace(uint8_t blockType, bool vertical, const Vec2& dir) {
    switch (blockType) {
    case levelGrid::TRIANGLE_NORTH_WEST:
        return vertical ? dir.x < 0.0 : dir.y < 0.0;
    case levelGrid::TRIANGLE_NORTH_EAST:
        return vertical ? dir.x > 0.0 : dir.y < 0.0;
    case levelGrid::TRIANGLE_SOUTH_EAST:
        return vertical ? dir.x < 0.0 : dir.y > 0.0;
    default: // south-west
        return vertical ? dir.x > 0.0 : dir.y > 0.0;
    }
}

int32_t crossingSide(bool vertical, const Vec2& dir) {
    if (vertical) return dir.x >= 0.0 ? levelGrid::WEST : levelGrid::EAST;
    return dir.y >= 0.0 ? levelGrid::NORTH : levelGrid::SOUTH;
}

void leaveMap(const Vec2& pos, const Vec2& at, bool vertical, const Vec2& dir, RayHit& hit) {
    hit.outOfMap = 1;
    hit.blockType = 0;
    hit.hitPos = at;
    hit.isYSide = vertical ? 0 : 1;
    hit.side = crossingSide(vertical, dir);
    Vec2 offset;
    vec2Sub(at, pos, offset);
    hit.dist = vec2Length(offset);
    hit.normal = faceNormal(hit.side, 0);
}

void fillHit(const uint8_t* cells, int32_t width, const Vec2& pos, const Vec2& at,
             uint8_t blockType, int32_t cellX, int32_t cellY, int32_t isYSide, int32_t side,
             RayHit& hit) {
    hit.blockType = blockType;
    hit.hitPos = at;
    hit.isYSide = isYSide;
    hit.cellX = cellX;
    hit.cellY = cellY;
    hit.side = side;
    hit.textureIndex =
        cells[(size_t(cellY) * size_t(width) + size_t(cellX)) * levelGrid::CELL_BYTES + side];
    Vec2 offset;
    vec2Sub(at, pos, offset);
    hit.dist = vec2Length(offset);
    hit.normal = faceNormal(side, blockType);
    hit.outOfMap = 0;
}

// The start cell's diagonal, when it lies ahead of the origin within the cell.
bool hitStartDiagonal(const uint8_t* cells, int32_t width, const Vec2& pos, const Vec2& dir,
                      int32_t cellX, int32_t cellY, uint8_t blockType, RayHit& hit) {
    Vec2 point;
    if (!diagonalIntersection(cellX, cellY, blockType, pos, dir, point)) return false;
    if (!insideCell(point, cellX, cellY)) return false;
    if (std::fabs(dir.x) >= 1e-7 && !((point.x - pos.x) / dir.x > 0.0)) return false;
    if (std::fabs(dir.y) >= 1e-7 && !((point.y - pos.y) / dir.y > 0.0)) return false;
    int32_t isYSide;
    if (blockType == levelGrid::TRIANGLE_NORTH_WEST || blockType == levelGrid::TRIANGLE_SOUTH_EAST)
        isYSide = dir.x > 0.0 ? 1 : 0;
    else
        isYSide = dir.x < 0.0 ? 1 : 0;
    int32_t side;
    if (isYSide)
        side = dir.y < 0.0 ? levelGrid::SOUTH : levelGrid::NORTH;
    else
        side = dir.x >= 0.0 ? levelGrid::WEST : levelGrid::EAST;
    fillHit(cells, width, pos, point, blockType, cellX, cellY, isYSide, side, hit);
    return true;
}

constexpr double NEARLY_EQUAL = 1.0 + 0x1p-40;

// Truncation toward zero of a crossing coordinate lies in [0, limit) exactly when the
// coordinate lies in (-1, limit); NaN lies in neither.
bool truncatesInto(double coordinate, int32_t limit) {
    return coordinate > -1.0 && coordinate < double(limit);
}

} // namespace

void castGridRay(const uint8_t* cells, int32_t width, int32_t height, const Vec2& pos, Vec2& dir,
                 RayHit& hit) {
    hit.outOfMap = 0;
    // The steps follow the signs before a zero component is replaced.
    int32_t stepX = dir.x > 0.0 ? 1 : -1;
    int32_t stepY = dir.y > 0.0 ? 1 : -1;
    if (dir.x == 0.0) dir.x = 1e-14;
    if (dir.y == 0.0) dir.y = 1e-14;

    bool originInside =
        pos.x >= 0.0 && pos.x < double(width) && pos.y >= 0.0 && pos.y < double(height);
    if (!originInside || !std::isfinite(dir.x) || !std::isfinite(dir.y)) {
        // Nowhere to walk from: the ray leaves the map where it starts.
        leaveMap(pos, pos, true, dir, hit);
        hit.dist = 0.0;
        return;
    }

    int32_t startX = int32_t(pos.x);
    int32_t startY = int32_t(pos.y);
    int32_t gridX = startX + (stepX > 0 ? 1 : 0);
    int32_t gridY = startY + (stepY > 0 ? 1 : 0);

    uint8_t startBlock =
        cells[(size_t(startY) * size_t(width) + size_t(startX)) * levelGrid::CELL_BYTES];
    if (isTriangle(startBlock) &&
        hitStartDiagonal(cells, width, pos, dir, startX, startY, startBlock, hit))
        return;

    Vec2 xCross{double(gridX), pos.y + (gridX - pos.x) / dir.x * dir.y};
    Vec2 yCross{pos.x + (gridY - pos.y) / dir.y * dir.x, double(gridY)};
    for (;;) {
        double xx = xCross.x - pos.x, xy = xCross.y - pos.y;
        double yx = yCross.x - pos.x, yy = yCross.y - pos.y;
        double xSquared = xx * xx + xy * xy;
        double ySquared = yx * yx + yy * yy;
        // The lengths compare as their square roots do: a smaller square never has a
        // larger root, and equal roots of different squares still count as a tie. Squares
        // further apart than a factor of 1 + 2^-40 have roots many units in the last
        // place apart, so only nearly equal squares need their roots taken.
        bool horizontal = ySquared <= xSquared || (!(ySquared > xSquared * NEARLY_EQUAL) &&
                                                   std::sqrt(ySquared) <= std::sqrt(xSquared));
        bool vertical = !horizontal;
        const Vec2& crossing = vertical ? xCross : yCross;

        int32_t cellX, cellY;
        if (vertical) {
            if (!truncatesInto(xCross.y, height)) return leaveMap(pos, crossing, true, dir, hit);
            cellX = gridX - (dir.x < 0.0 ? 1 : 0);
            cellY = int32_t(xCross.y);
            if (cellX < 0 || cellX >= width) return leaveMap(pos, crossing, true, dir, hit);
        } else {
            if (!truncatesInto(yCross.x, width)) return leaveMap(pos, crossing, false, dir, hit);
            cellX = int32_t(yCross.x);
            cellY = gridY - (dir.y < 0.0 ? 1 : 0);
            if (cellY < 0 || cellY >= height) return leaveMap(pos, crossing, false, dir, hit);
        }

        uint8_t block =
            cells[(size_t(cellY) * size_t(width) + size_t(cellX)) * levelGrid::CELL_BYTES];
        if (block != levelGrid::EMPTY) {
            int32_t side = crossingSide(vertical, dir);
            int32_t isYSide = vertical ? 0 : 1;
            if (!isTriangle(block) || !entersOpenFace(block, vertical, dir))
                return fillHit(cells, width, pos, crossing, block, cellX, cellY, isYSide, side,
                               hit);
            Vec2 point;
            if (diagonalIntersection(cellX, cellY, block, pos, dir, point) &&
                insideCell(point, cellX, cellY))
                return fillHit(cells, width, pos, point, block, cellX, cellY, isYSide, side, hit);
        }

        if (vertical) {
            gridX += stepX;
            xCross = {double(gridX), pos.y + (gridX - pos.x) / dir.x * dir.y};
        } else {
            gridY += stepY;
            yCross = {pos.x + (gridY - pos.y) / dir.y * dir.x, double(gridY)};
        }
    }
}

} // namespace raycast
