// The collision arithmetic: the push-out of one pair, the wall probes, the single-precision
// line-circle intersection, and the tests that let the movement pass skip pairs and probes:
// on random scenes, whatever they skip never touches.
#include "check.hpp"
#include "core/bodyGrid.hpp"
#include "core/collision.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace collision;

namespace {

constexpr double K = PROBE_DIAGONAL;
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool near(double a, double b, double tolerance = 1e-12) {
    return std::fabs(a - b) < tolerance;
}

struct Map {
    int32_t width, height;
    std::vector<uint8_t> cells;
    Map(int32_t w, int32_t h) : width(w), height(h), cells(size_t(w) * size_t(h) * 7, 0) {}
    void block(int32_t x, int32_t y, uint8_t type) {
        cells[(size_t(y) * size_t(width) + size_t(x)) * 7] = type;
    }
    bool probe(Vec2 origin, int i, double radius, Vec2 position, Vec2& next) const {
        return probeWall(cells.data(), width, height, origin, {PROBES[2 * i], PROBES[2 * i + 1]},
                         radius, position, next);
    }
};

// The plain test of one pair, for comparing against the broad phase.
bool touches(double ox, double oy, double nx, double ny, double radiusSum) {
    double dx = ox - nx, dy = oy - ny;
    return std::sqrt(dx * dx + dy * dy) - radiusSum < 0.0;
}

} // namespace

NATIVE_TEST(theProbesAreTheFourAxesThenTheDiagonals) {
    uint64_t bits;
    std::memcpy(&bits, &PROBE_DIAGONAL, sizeof bits);
    CHECK(bits == 0x3fe6a09edbf8b9bbull);
    const double expected[16] = {0, -1, 1, 0, 0, 1, -1, 0, K, K, -K, -K, -K, K, K, -K};
    for (int i = 0; i < 16; ++i)
        CHECK(PROBES[i] == expected[i]);
}

NATIVE_TEST(aBodyInTheWayStopsTheMoverOneRadiusSumFromIt) {
    Vec2 move{0.1, 0.0}, next{2.1, 2.0};
    CHECK(bodyContact({2.0, 2.0}, 0.25, {2.5, 2.0}, 0.25, false, move, next));
    CHECK(near(next.x, 2.0) && next.y == 2.0);
    CHECK(near(move.x, 0.0) && move.y == 0.0);

    // A trigger is touched but does not push.
    move = {0.1, 0.0};
    next = {2.1, 2.0};
    CHECK(bodyContact({2.0, 2.0}, 0.25, {2.5, 2.0}, 0.25, true, move, next));
    CHECK(next.x == 2.1 && next.y == 2.0 && move.x == 0.1);

    // Coincident centres touch without a push; a body just out of reach is not touched.
    move = {0.0, 0.0};
    next = {3.0, 3.0};
    CHECK(bodyContact({3.0, 3.0}, 0.25, {3.0, 3.0}, 0.25, false, move, next));
    CHECK(next.x == 3.0 && next.y == 3.0);
    CHECK(!bodyContact({3.0, 3.0}, 0.25, {3.5, 3.0}, 0.25, false, move, next));
    CHECK(!bodyContact({3.0, 3.0}, NaN, {3.1, 3.0}, 0.25, false, move, next));
    CHECK(next.x == 3.0 && next.y == 3.0);
}

NATIVE_TEST(aPushLeavesTheCentresOneRadiusSumApartAlongTheirLine) {
    Vec2 old{1.0, 1.0}, move{0.3, 0.4}, next{1.3, 1.4};
    CHECK(bodyContact(old, 0.5, {1.6, 1.8}, 0.25, false, move, next));
    double dx = 1.6 - next.x, dy = 1.8 - next.y;
    CHECK(near(std::sqrt(dx * dx + dy * dy), 0.75));
    CHECK(next.x == old.x + move.x && next.y == old.y + move.y);
}

NATIVE_TEST(mayTouchNeverRefusesAContact) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-300, 1e-160, 1e-150, 1e-20, 1e-3, 1.0, 1e3, 1e150, 1e300};
    for (int round = 0; round < 200000; ++round) {
        double scale = scales[round % 9];
        double radiusSum = unit(random) * scale;
        // Offsets around the radius sum, where rounding decides.
        double dx = radiusSum * (1.0 + unit(random) * 1e-15) * (round & 1 ? 1.0 : unit(random));
        double dy = unit(random) * scale * (round & 2 ? 1e-9 : 1.0);
        if (touches(dx, dy, 0.0, 0.0, radiusSum)) CHECK(mayTouch(dx, dy, radiusSum));
        if (mayTouch(dx, dy, radiusSum)) CHECK(withinReach(dx, dy, std::fabs(radiusSum)));
    }
    CHECK(mayTouch(1e300, 1e300, Inf));
    CHECK(!mayTouch(NaN, 0.0, 1.0));
    CHECK(!mayTouch(0.0, 0.0, NaN));
    CHECK(!mayTouch(Inf, 0.0, 1.0));
    CHECK(!mayTouch(3.0, 0.0, 1.0));
}

NATIVE_TEST(theGridFindsEveryBodyThatAPlainWalkTouches) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> spread(0.0, 64.0), unit(0.0, 1.0);
    for (int scene = 0; scene < 40; ++scene) {
        std::vector<GridBody> bodies;
        size_t count = 1 + scene * 25;
        for (size_t i = 0; i < count; ++i) {
            GridBody body{spread(random), spread(random), 0.1 + 0.4 * unit(random),
                          unit(random) < 0.05};
            double odd = unit(random);
            if (odd < 0.02) body.radius = 30.0; // far larger than the others
            if (odd > 0.99) body.x = NaN;
            if (odd > 0.985 && odd <= 0.99) body.radius = Inf;
            if (odd > 0.98 && odd <= 0.985) body.y = 1e300;
            if (scene % 7 == 3) body.x = body.y = 5.0; // all in one place
            bodies.push_back(body);
        }
        BodyGrid grid;
        grid.build(bodies);
        CHECK_EQ(grid.size(), count);
        std::vector<uint32_t> found;
        for (int query = 0; query < 300; ++query) {
            if (query % 3 == 0) { // bodies move, some far away
                size_t i = size_t(unit(random) * double(count)) % count;
                double x = grid.x(i) + (unit(random) - 0.5) * (query % 30 == 0 ? 500.0 : 2.0);
                grid.move(i, x, grid.y(i) + unit(random) - 0.5);
                bodies[i].x = grid.x(i);
                bodies[i].y = grid.y(i);
            }
            // A query at (x, y) with some slack serves every point that far from it.
            double x = spread(random), y = spread(random);
            double radius = query % 50 == 0 ? 40.0 : query % 77 == 0 ? -0.3 : 0.25;
            double slack = query % 2 ? 0.0 : 0.5 * unit(random);
            double px = x + slack * (2.0 * unit(random) - 1.0);
            double py = y + (query % 8 == 0 ? slack : slack * (2.0 * unit(random) - 1.0));
            size_t from = query % 4 == 0 ? size_t(unit(random) * double(count)) : 0;
            grid.candidates(x, y, std::fabs(radius) + slack, from, found);
            for (size_t k = 1; k < found.size(); ++k)
                CHECK(found[k - 1] < found[k]);
            for (uint32_t i : found)
                CHECK(i >= from && i < count);
            size_t k = 0;
            for (size_t i = from; i < count; ++i) {
                while (k < found.size() && found[k] < i)
                    ++k;
                bool listed = k < found.size() && found[k] == i;
                if (bodies[i].keptOut) CHECK(listed);
                if (touches(bodies[i].x, bodies[i].y, px, py, bodies[i].radius + radius))
                    CHECK(listed);
            }
        }
    }
}

// Scenes where no body is answered for every query: most queries are served by one
// block of cells, whose bodies must match a plain walk while the bodies drift and the grid
// is filed again.
NATIVE_TEST(theGridFindsEveryBodyWithinReachWhileBodiesDriftAndSettle) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int scene = 0; scene < 24; ++scene) {
        size_t count = 1 + size_t(scene) * 17;
        double side = scene % 5 == 4 ? 3.0 : 2.0 * std::sqrt(double(count)) + 1.0;
        std::vector<GridBody> bodies;
        for (size_t i = 0; i < count; ++i)
            bodies.push_back({side * unit(random), side * unit(random),
                              scene % 3 == 0 ? 0.25 : 0.05 + 0.45 * unit(random), false});
        BodyGrid grid;
        grid.build(bodies);
        std::vector<uint32_t> found;
        for (int step = 0; step < 40; ++step) {
            for (size_t i = 0; i < count; ++i) {
                double x = bodies[i].x + 0.2 * (unit(random) - 0.5);
                double y = bodies[i].y + 0.2 * (unit(random) - 0.5);
                grid.move(i, x, y);
                bodies[i].x = x;
                bodies[i].y = y;
            }
            if (step % 4 == 3) grid.settle();
            for (int query = 0; query < 50; ++query) {
                // Near bodies, anywhere over the scene and a little beyond, now and then far.
                size_t near = size_t(unit(random) * double(count)) % count;
                double x = query % 3 == 0 ? bodies[near].x : side * (1.4 * unit(random) - 0.2);
                double y = query % 3 == 0 ? bodies[near].y : side * (1.4 * unit(random) - 0.2);
                if (query == 7) x = 1e300;
                if (query == 8) y = -NaN;
                double reach = query % 10 == 9 ? 4.0 * unit(random) : 0.6 * unit(random);
                size_t from = query % 4 == 0 ? near : 0;
                grid.candidates(x, y, reach, from, found);
                for (size_t k = 1; k < found.size(); ++k)
                    CHECK(found[k - 1] < found[k]);
                size_t k = 0;
                for (size_t i = 0; i < count; ++i) {
                    while (k < found.size() && found[k] < i)
                        ++k;
                    bool listed = k < found.size() && found[k] == i;
                    if (i < from) CHECK(!listed);
                    if (i >= from && withinReach(bodies[i].x - x, bodies[i].y - y,
                                                 std::fabs(bodies[i].radius) + reach))
                        CHECK(listed);
                }
            }
        }
    }
}

NATIVE_TEST(theGridAnswersOnlyNearbyBodiesInAnOrdinaryScene) {
    std::vector<GridBody> bodies;
    for (int i = 0; i < 1000; ++i)
        bodies.push_back({double(i % 40) + 0.5, double(i / 40) + 0.5, 0.25, false});
    BodyGrid grid;
    grid.build(bodies);
    std::vector<uint32_t> found;
    grid.candidates(10.6, 10.5, 0.25, 0, found);
    CHECK(found == std::vector<uint32_t>{10 * 40 + 10});
    grid.candidates(10.6, 10.5, 0.7, 0, found); // with some slack: the neighbour to the east
    CHECK((found == std::vector<uint32_t>{10 * 40 + 10, 10 * 40 + 11}));
}

NATIVE_TEST(aWallBesideTheMoverPushesItOutAlongThreeProbes) {
    // A long north-south face at x = 5; the mover's centre 0.1 west of it.
    Map map(10, 10);
    for (int32_t y = 0; y < 10; ++y)
        map.block(5, y, levelGrid::SQUARE);
    Vec2 at{4.9, 4.5}, next = at;
    std::vector<int> touched;
    for (int i = 0; i < PROBE_COUNT; ++i)
        if (map.probe(at, i, 0.25, at, next)) touched.push_back(i);
    CHECK(touched == (std::vector<int>{1, 4, 7})); // east, south-east, north-east
    CHECK(near(5.0 - next.x, 0.1 + 0.15 + 2 * K * (0.25 - 0.1 * std::sqrt(2.0)), 1e-6));
    CHECK(near(5.0 - next.x, 0.4035534, 1e-7));
    CHECK(near(next.y, 4.5, 1e-12));
}

NATIVE_TEST(probesIgnoreTheMapEdgeAndTheBlockUnderTheOrigin) {
    Map open(4, 4);
    Vec2 at{0.1, 0.1}, next = at;
    for (int i = 0; i < PROBE_COUNT; ++i)
        CHECK(!open.probe(at, i, 0.25, at, next));
    CHECK(next.x == at.x && next.y == at.y);

    Map solid(4, 4);
    solid.block(2, 2, levelGrid::SQUARE);
    at = {2.5, 2.5};
    for (int i = 0; i < PROBE_COUNT; ++i)
        CHECK(!solid.probe(at, i, 0.25, at, next));

    // Origins off the map or not finite meet nothing, whatever the radius.
    for (Vec2 off : {Vec2{-1.0, 1.0}, Vec2{4.0, 1.0}, Vec2{NaN, 1.0}, Vec2{1.0, Inf}})
        for (int i = 0; i < PROBE_COUNT; ++i)
            CHECK(!solid.probe(off, i, 100.0, off, next));
}

NATIVE_TEST(theWallTestsNeverSkipAProbeThatTouches) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int touchedProbes = 0, skippedCasts = 0;
    for (int scene = 0; scene < 60; ++scene) {
        int32_t width = 3 + scene % 13, height = 3 + (scene * 7) % 11;
        Map map(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                if (unit(random) < 0.3) map.block(x, y, uint8_t(1 + int(unit(random) * 6)));
        for (int mover = 0; mover < 400; ++mover) {
            Vec2 at{unit(random) * width, unit(random) * height};
            if (mover % 5 == 0) at.x = std::floor(at.x) + (mover % 2 ? 0.0 : 1e-12); // on a line
            double radius = mover % 13 == 0 ? 3.0 * unit(random) : 0.6 * unit(random);
            bool any = wallsMayTouch(map.cells.data(), width, height, at, radius);
            for (int i = 0; i < PROBE_COUNT; ++i) {
                Vec2 dir{PROBES[2 * i], PROBES[2 * i + 1]};
                if (mover % 17 == 0) dir = {unit(random) - 0.5, unit(random) - 0.5};
                Vec2 next = at;
                bool touched =
                    probeWall(map.cells.data(), width, height, at, dir, radius, at, next);
                bool may = probeMayTouch(map.cells.data(), width, height, at, dir, radius);
                if (touched) {
                    ++touchedProbes;
                    CHECK(may && any);
                }
                skippedCasts += !may;
            }
        }
    }
    CHECK(touchedProbes > 1000 && skippedCasts > 10000); // both outcomes were exercised
}

NATIVE_TEST(toSingleRoundsAsTheHardwareDoesWithoutOverflowing) {
    const double largest = std::numeric_limits<float>::max();
    CHECK(toSingle(0.1) == 0.1f);
    CHECK(toSingle(-2.5) == -2.5f);
    CHECK(toSingle(largest) == std::numeric_limits<float>::max());
    CHECK(toSingle(largest + 0x1p102) == std::numeric_limits<float>::max());
    CHECK(std::isinf(toSingle(largest + 0x1p103)) && toSingle(1e300) > 0.0f);
    CHECK(std::isinf(toSingle(-1e300)) && toSingle(-1e300) < 0.0f);
    CHECK(std::isnan(toSingle(NaN)));
}

NATIVE_TEST(theLineMeetsTheCircleAtTheNearestPointAhead) {
    Vec2 hit;
    // From outside: the entry point.
    CHECK(closestLineCircleIntersection({5.0, 0.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}, hit));
    CHECK(hit.x == 4.0 && hit.y == 0.0);
    // From the centre: the exit point, one radius away.
    CHECK(closestLineCircleIntersection({5.0, 0.0}, 1.0f, {5.0, 0.0}, {15.0, 0.0}, hit));
    CHECK(hit.x == 6.0);
    // Beyond p2 on the same line: found too.
    CHECK(closestLineCircleIntersection({5.0, 0.0}, 1.0f, {0.0, 0.0}, {1.0, 0.0}, hit));
    CHECK(hit.x == 4.0);
    // Behind, beside, and p1 on the boundary heading in: nothing.
    CHECK(!closestLineCircleIntersection({-5.0, 0.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}, hit));
    CHECK(!closestLineCircleIntersection({5.0, 3.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}, hit));
    CHECK(!closestLineCircleIntersection({5.0, 0.0}, 1.0f, {4.0, 0.0}, {10.0, 0.0}, hit));
    // Tangent: the touching point.
    CHECK(closestLineCircleIntersection({5.0, 1.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}, hit));
    CHECK(hit.x == 5.0 && hit.y == 0.0);
    // p1 and p2 (nearly) the same point.
    CHECK(!closestLineCircleIntersection({0.0, 0.0}, 1.0f, {0.0, 0.0}, {1e-4, 0.0}, hit));
    CHECK(!closestLineCircleIntersection({NaN, 0.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}, hit));
}
