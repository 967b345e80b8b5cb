// The grid ray cast on cases worked out by hand: each block kind and face, border
// crossings, the corner rule, start cells, and origins that lie off the map.
#include "check.hpp"
#include "core/raycast.hpp"

#include <cmath>
#include <limits>
#include <vector>

using namespace raycast;

namespace {

struct Grid {
    int32_t width, height;
    std::vector<uint8_t> cells;
    Grid(int32_t w, int32_t h) : width(w), height(h), cells(size_t(w) * size_t(h) * 7, 0) {}
    // A block whose faces carry distinct texture numbers: 10 * side + block type.
    void block(int32_t x, int32_t y, uint8_t type) {
        uint8_t* cell = &cells[(size_t(y) * size_t(width) + size_t(x)) * 7];
        cell[0] = type;
        for (int32_t side = levelGrid::NORTH; side <= levelGrid::WEST; ++side)
            cell[side] = uint8_t(10 * side + type);
    }
    RayHit castWith(Vec2 pos, Vec2& dir) const {
        RayHit hit;
        hit.cellX = hit.cellY = hit.textureIndex = -7; // must stay when the ray leaves
        castGridRay(cells.data(), width, height, pos, dir, hit);
        return hit;
    }
    RayHit cast(Vec2 pos, Vec2 dir) const { return castWith(pos, dir); }
};

bool near(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

constexpr double K = 0.707107;

} // namespace

NATIVE_TEST(rayLeavingAnEmptyMapReportsTheBorderCrossing) {
    Grid grid(5, 5);
    RayHit hit = grid.cast({2.5, 2.5}, {0.5, 1});
    CHECK_EQ(hit.outOfMap, 1);
    CHECK_EQ(hit.blockType, 0);
    CHECK(hit.hitPos.x == 3.75 && hit.hitPos.y == 5.0);
    CHECK(hit.dist == std::sqrt(7.8125));
    CHECK_EQ(hit.isYSide, 1);
    CHECK_EQ(hit.side, levelGrid::NORTH);
    CHECK(hit.normal.x == 0.0 && hit.normal.y == -1.0);
    CHECK_EQ(hit.cellX, -7); // not written
    CHECK_EQ(hit.textureIndex, -7);

    hit = grid.cast({2.5, 2.5}, {-1, -0.25}); // leaves through the west border
    CHECK_EQ(hit.outOfMap, 1);
    CHECK(hit.hitPos.x == 0.0 && hit.hitPos.y == 1.875);
    CHECK_EQ(hit.isYSide, 0);
    CHECK_EQ(hit.side, levelGrid::EAST);
    CHECK(hit.normal.x == 1.0 && hit.normal.y == 0.0);
}

NATIVE_TEST(squareBlockStopsTheRayOnTheCrossedFace) {
    Grid grid(6, 6);
    grid.block(4, 3, levelGrid::SQUARE);
    RayHit hit = grid.cast({2.5, 2.5}, {1, 0.5});
    CHECK_EQ(hit.outOfMap, 0);
    CHECK_EQ(hit.blockType, levelGrid::SQUARE);
    CHECK(hit.hitPos.x == 4.0 && hit.hitPos.y == 3.25);
    CHECK(hit.dist == std::sqrt(2.8125));
    CHECK_EQ(hit.side, levelGrid::WEST);
    CHECK_EQ(hit.isYSide, 0);
    CHECK_EQ(hit.cellX, 4);
    CHECK_EQ(hit.cellY, 3);
    CHECK(hit.normal.x == -1.0 && hit.normal.y == 0.0);
    CHECK_EQ(hit.textureIndex, 10 * levelGrid::WEST + 1);

    // Each face of one block, from each side.
    struct Case {
        Vec2 pos, dir;
        int32_t side, isYSide;
        double hitX, hitY, nx, ny;
    } cases[] = {
        {{4.5, 0.5}, {0, 1}, levelGrid::NORTH, 1, 4.5, 3.0, 0, -1},
        {{5.5, 3.5}, {-1, 0}, levelGrid::EAST, 0, 5.0, 3.5, 1, 0},
        {{4.5, 5.5}, {0, -1}, levelGrid::SOUTH, 1, 4.5, 4.0, 0, 1},
        {{1.5, 3.5}, {1, 0}, levelGrid::WEST, 0, 4.0, 3.5, -1, 0},
    };
    for (const Case& c : cases) {
        Grid g(6, 6);
        g.block(4, 3, levelGrid::SQUARE);
        RayHit h = g.cast(c.pos, c.dir);
        CHECK_EQ(h.side, c.side);
        CHECK_EQ(h.isYSide, c.isYSide);
        CHECK(near(h.hitPos.x, c.hitX) && near(h.hitPos.y, c.hitY));
        CHECK(h.normal.x == c.nx && h.normal.y == c.ny);
        CHECK_EQ(h.textureIndex, 10 * c.side + 1);
    }
}

NATIVE_TEST(zeroDirectionComponentsBecomeTinyInTheCallersVector) {
    Grid grid(6, 5);
    grid.block(4, 2, levelGrid::SQUARE);
    Vec2 dir{1, 0};
    RayHit hit = grid.castWith({2.5, 2.5}, dir);
    CHECK(dir.x == 1.0 && dir.y == 1e-14);
    CHECK(hit.hitPos.x == 4.0 && hit.hitPos.y == 2.5 + 1.5e-14 && hit.hitPos.y != 2.5);
    CHECK(hit.dist == 1.5);
    CHECK_EQ(hit.side, levelGrid::WEST);

    // A zero x steps west (the sign test comes first) yet runs straight down the column.
    Vec2 down{0, 1};
    hit = grid.castWith({2.5, 0.5}, down);
    CHECK(down.x == 1e-14 && down.y == 1.0);
    CHECK_EQ(hit.outOfMap, 1);
    CHECK(near(hit.hitPos.x, 2.5) && hit.hitPos.y == 5.0);
}

NATIVE_TEST(cornerCrossingsExamineTheHorizontalLineFirst) {
    Grid grid(6, 6);
    grid.block(3, 3, levelGrid::SQUARE);
    grid.block(3, 2, levelGrid::SQUARE); // beyond the vertical line: never looked at
    RayHit hit = grid.cast({2.5, 2.5}, {1, 1});
    CHECK_EQ(hit.side, levelGrid::NORTH);
    CHECK_EQ(hit.isYSide, 1);
    CHECK_EQ(hit.cellX, 3);
    CHECK_EQ(hit.cellY, 3);

    // Between two blocks that touch only at a corner, the ray slips through.
    Grid slip(6, 6);
    slip.block(3, 2, levelGrid::SQUARE);
    slip.block(2, 3, levelGrid::SQUARE);
    slip.block(4, 4, levelGrid::SQUARE);
    hit = slip.cast({2.5, 2.5}, {1, 1});
    CHECK_EQ(hit.cellX, 4);
    CHECK_EQ(hit.cellY, 4);
    CHECK(hit.hitPos.x == 4.0 && hit.hitPos.y == 4.0);
    CHECK(hit.dist == std::sqrt(4.5));
}

NATIVE_TEST(triangleBlocksStopAtFullFacesAndDiagonals) {
    struct Case {
        uint8_t block;
        Vec2 pos, dir;
        int32_t side;
        double hitX, hitY, nx, ny, dist;
    } cases[] = {
        // Entered through a full face: an axis normal.
        {levelGrid::TRIANGLE_SOUTH_EAST, {2.5, 2.5}, {1, 0}, levelGrid::WEST, 4.0, 2.5, -1, 0, 1.5},
        {levelGrid::TRIANGLE_NORTH_WEST,
         {4.5, 0.5},
         {0, 1},
         levelGrid::NORTH,
         4.5,
         2.0,
         0,
         -1,
         1.5},
        {levelGrid::TRIANGLE_NORTH_EAST, {6.5, 2.5}, {-1, 0}, levelGrid::EAST, 5.0, 2.5, 1, 0, 1.5},
        {levelGrid::TRIANGLE_SOUTH_WEST,
         {4.5, 4.5},
         {0, -1},
         levelGrid::SOUTH,
         4.5,
         3.0,
         0,
         1,
         1.5},
        // Entered through an open face: the diagonal, with the entry face's side.
        {levelGrid::TRIANGLE_SOUTH_EAST,
         {6.5, 2.5},
         {-1, 0},
         levelGrid::EAST,
         4.5,
         2.5,
         K,
         -K,
         2.0},
        {levelGrid::TRIANGLE_NORTH_WEST,
         {4.5, 4.5},
         {0, -1},
         levelGrid::SOUTH,
         4.5,
         2.5,
         K,
         K,
         2.0},
        {levelGrid::TRIANGLE_NORTH_EAST, {2.5, 2.7}, {1, 0}, levelGrid::WEST, 4.7, 2.7, -K, K, 2.2},
        {levelGrid::TRIANGLE_SOUTH_WEST,
         {4.3, 0.5},
         {0, 1},
         levelGrid::NORTH,
         4.3,
         2.7,
         -K,
         -K,
         2.2},
    };
    for (const Case& c : cases) {
        Grid grid(8, 6);
        grid.block(4, 2, c.block);
        RayHit hit = grid.cast(c.pos, c.dir);
        CHECK_EQ(hit.outOfMap, 0);
        CHECK_EQ(hit.blockType, c.block);
        CHECK_EQ(hit.side, c.side);
        CHECK_EQ(hit.isYSide, c.side == levelGrid::NORTH || c.side == levelGrid::SOUTH ? 1 : 0);
        CHECK_EQ(hit.cellX, 4);
        CHECK_EQ(hit.cellY, 2);
        CHECK(near(hit.hitPos.x, c.hitX) && near(hit.hitPos.y, c.hitY));
        CHECK(hit.normal.x == c.nx && hit.normal.y == c.ny);
        CHECK(near(hit.dist, c.dist));
        CHECK_EQ(hit.textureIndex, 10 * c.side + c.block);
    }
}

NATIVE_TEST(rayMissingTheDiagonalPassesThroughTheOpenHalf) {
    Grid grid(8, 6);
    grid.block(4, 2, levelGrid::TRIANGLE_NORTH_EAST); // open to the west and the south
    grid.block(4, 3, levelGrid::SQUARE);
    RayHit hit = grid.cast({3.5, 1.5}, {1, 2}); // in at the west face, out at the south
    CHECK_EQ(hit.cellX, 4);
    CHECK_EQ(hit.cellY, 3);
    CHECK_EQ(hit.side, levelGrid::NORTH);
    CHECK(hit.hitPos.x == 4.25 && hit.hitPos.y == 3.0);
}

NATIVE_TEST(startCellDiagonalCountsOnlyAheadOfTheOrigin) {
    Grid grid(6, 6);
    grid.block(2, 2, levelGrid::TRIANGLE_NORTH_EAST);
    grid.block(4, 2, levelGrid::SQUARE);
    RayHit hit = grid.cast({2.2, 2.8}, {1, 0}); // diagonal ahead, inside the start cell
    CHECK_EQ(hit.cellX, 2);
    CHECK_EQ(hit.cellY, 2);
    CHECK_EQ(hit.isYSide, 0);
    CHECK_EQ(hit.side, levelGrid::WEST);
    CHECK(near(hit.hitPos.x, 2.8) && near(hit.hitPos.y, 2.8));
    CHECK(hit.normal.x == -K && hit.normal.y == K);
    CHECK(near(hit.dist, 0.6));

    hit = grid.cast({2.8, 2.2}, {1, 0}); // diagonal behind: the walk goes on
    CHECK_EQ(hit.cellX, 4);
    CHECK(hit.hitPos.x == 4.0);

    hit = grid.cast({2.5, 2.5}, {1, 0.000001}); // exactly on the diagonal: not ahead
    CHECK_EQ(hit.cellX, 4);

    // A square start cell is never reported; the first wall beyond it is.
    Grid square(6, 6);
    square.block(2, 2, levelGrid::SQUARE);
    square.block(4, 3, levelGrid::SQUARE);
    hit = square.cast({2.5, 2.5}, {1, 0.5});
    CHECK_EQ(hit.cellX, 4);
    CHECK_EQ(hit.cellY, 3);
}

NATIVE_TEST(otherBlockValuesAreSquares) {
    for (int value : {6, 100, 255}) {
        Grid grid(6, 6);
        grid.block(4, 2, uint8_t(value));
        RayHit hit = grid.cast({6.5 - 1, 2.5}, {-1, 0}); // from the east, through x = 5
        CHECK_EQ(hit.blockType, value);
        CHECK_EQ(hit.side, levelGrid::EAST);
        CHECK(hit.normal.x == 1.0 && hit.normal.y == 0.0);
        CHECK(hit.hitPos.x == 5.0);
    }
}

NATIVE_TEST(originsOffTheMapLeaveItAtOnce) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Grid grid(5, 4);
    grid.block(0, 0, levelGrid::SQUARE);
    struct Case {
        Vec2 pos, dir;
    } cases[] = {
        {{-0.5, 2}, {1, 0}},    {{5.0, 2}, {-1, 0}},        {{2, 4.0}, {0, -1}},
        {{2, -1e-300}, {0, 1}}, {{nan, 2}, {1, 0}},         {{2, nan}, {1, 0}},
        {{inf, 2}, {-1, 0}},    {{-inf, -inf}, {1, 1}},     {{2.5, 2.5}, {nan, 1}},
        {{2.5, 2.5}, {1, inf}}, {{1e300, 1e300}, {-1, -1}},
    };
    for (const Case& c : cases) {
        Grid g = grid;
        RayHit hit = g.cast(c.pos, c.dir);
        CHECK_EQ(hit.outOfMap, 1);
        CHECK_EQ(hit.blockType, 0);
        CHECK(hit.dist == 0.0);
    }
    // Just inside the far border still casts.
    RayHit hit = grid.cast({4.999, 3.999}, {-1, -1});
    CHECK_EQ(hit.outOfMap, 0);
    CHECK_EQ(hit.cellX, 0);
    CHECK_EQ(hit.cellY, 0);
}

NATIVE_TEST(extremeDirectionsStayInsideTheCells) {
    Grid grid(7, 7);
    grid.block(3, 0, levelGrid::SQUARE);
    const double tiny[] = {1e-320, -1e-320, 1e-300, 5e-324};
    for (double t : tiny) {
        RayHit hit = grid.cast({3.5, 3.5}, {t, -1});
        CHECK_EQ(hit.cellX, 3);
        CHECK_EQ(hit.cellY, 0);
        hit = grid.cast({3.5, 3.5}, {1e300, t});
        CHECK_EQ(hit.outOfMap, 1);
        CHECK(hit.hitPos.x == 7.0);
    }
}

NATIVE_TEST(vectorHelpersWorkInPlace) {
    Mat2 quarter;
    rotationMatrix(quarter, 90 * DEG2RAD);
    CHECK(quarter.m[0] == -std::sin(90 * DEG2RAD) && quarter.m[1] == std::cos(90 * DEG2RAD));
    Vec2 v{2, 1};
    applyMatrix(quarter, v, v);
    CHECK(near(v.x, -1) && near(v.y, 2));
    Vec2 a{3, 5};
    vec2Sub(a, Vec2{1, 1}, a);
    CHECK(a.x == 2 && a.y == 4);
    CHECK(vec2Length(Vec2{3, 4}) == 5.0);
}
