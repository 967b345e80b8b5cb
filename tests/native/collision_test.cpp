// The collision arithmetic: the push-out of one pair, the wall probes, the single-precision
// line-circle intersection, and the tests that let the movement pass skip pairs and probes:
// on random scenes, whatever they skip never touches.
#include "check.hpp"
#include "core/bodyGrid.hpp"
#include "core/collision.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
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

// The distance from a point to the closed square of cell (x, y).
double distanceToCell(Vec2 at, int32_t x, int32_t y) {
    double dx = std::max({x - at.x, 0.0, at.x - (x + 1.0)});
    double dy = std::max({y - at.y, 0.0, at.y - (y + 1.0)});
    return std::sqrt(dx * dx + dy * dy);
}

// The probe directions of a random test: the movement pass's own, any direction, and
// the odd ones: tiny, huge, with a zero component beside a tiny one.
Vec2 probeDirection(int mover, int i, std::mt19937_64& random) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Vec2 dir{PROBES[2 * i], PROBES[2 * i + 1]};
    switch (mover % 17) {
    case 0:
        return {unit(random), unit(random)};
    case 1:
        return {dir.x * 1e-10, dir.y * 1e-10};
    case 2:
        return {dir.x * 1e200, dir.y * 1e200};
    case 3:
        return {dir.x * 1e-158, dir.y * 1e-158};
    default:
        return dir;
    }
}

// The distance from a point to the closed segment from a to b.
double distanceToSegment(double x, double y, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay, squared = dx * dx + dy * dy;
    double t = squared > 0.0 ? ((x - ax) * dx + (y - ay) * dy) / squared : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    double px = ax + t * dx - x, py = ay + t * dy - y;
    return std::sqrt(px * px + py * py);
}

// The ids a query answered.
std::vector<uint32_t> ids(const BodyGrid::Answer& answer) {
    std::vector<uint32_t> out;
    answer.forEach([&](uint32_t id) { out.push_back(id); });
    return out;
}

// A grid's answer, sorted: each body once, each one of the scene's.
void checkOnce(std::vector<uint32_t>& found, size_t count) {
    std::sort(found.begin(), found.end());
    CHECK(std::adjacent_find(found.begin(), found.end()) == found.end());
    for (uint32_t id : found)
        CHECK(id < count);
}

// Bodies of radius 0.25 scattered over a square.
std::vector<GridBody> scattered(std::mt19937_64& random, size_t count, double side) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<GridBody> bodies;
    for (size_t i = 0; i < count; ++i)
        bodies.push_back({side * unit(random), side * unit(random), 0.25, false});
    return bodies;
}

// The grid's answers near (x, y) and along the segment from there to (x1, y1) against a
// plain walk over the living bodies: each living body within reach (or kept out) is
// answered, no other.
void checkAnswers(BodyGrid& grid, const std::vector<GridBody>& bodies,
                  const std::vector<bool>& living, double x, double y, double x1, double y1,
                  double reach) {
    std::vector<uint32_t> found;
    for (bool segment : {false, true}) {
        if (segment)
            found = ids(grid.alongSegment(x, y, x1, y1, reach));
        else
            found = ids(grid.candidates(x, y, reach));
        checkOnce(found, bodies.size());
        for (size_t i = 0; i < bodies.size(); ++i) {
            const GridBody& body = bodies[i];
            bool listed = std::binary_search(found.begin(), found.end(), uint32_t(i));
            double apart = segment ? distanceToSegment(body.x, body.y, x, y, x1, y1)
                                   : std::max(std::fabs(body.x - x), std::fabs(body.y - y));
            if (!living[i])
                CHECK(!listed);
            else if (body.keptOut || apart <= std::fabs(body.radius) + reach)
                CHECK(listed);
        }
    }
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

NATIVE_TEST(withinReachNeverRefusesAContact) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-300, 1e-160, 1e-150, 1e-20, 1e-3, 1.0, 1e3, 1e150, 1e300};
    for (int round = 0; round < 200000; ++round) {
        double scale = scales[round % 9];
        double radiusSum = unit(random) * scale;
        // Offsets around the radius sum, where rounding decides.
        double dx = radiusSum * (1.0 + unit(random) * 1e-15) * (round & 1 ? 1.0 : unit(random));
        double dy = unit(random) * scale * (round & 2 ? 1e-9 : 1.0);
        if (touches(dx, dy, 0.0, 0.0, radiusSum)) CHECK(withinReach(dx, dy, std::fabs(radiusSum)));
    }
    CHECK(withinReach(1e300, 1e300, Inf));
    CHECK(!withinReach(NaN, 0.0, 1.0));
    CHECK(!withinReach(0.0, 0.0, NaN));
    CHECK(!withinReach(Inf, 0.0, 1.0));
    CHECK(!withinReach(3.0, 0.0, 1.0));
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
            found = ids(grid.candidates(x, y, std::fabs(radius) + slack));
            checkOnce(found, count);
            for (size_t i = 0; i < count; ++i) {
                bool listed = std::binary_search(found.begin(), found.end(), uint32_t(i));
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
                found = ids(grid.candidates(x, y, reach));
                checkOnce(found, count);
                for (size_t i = 0; i < count; ++i)
                    if (withinReach(bodies[i].x - x, bodies[i].y - y,
                                    std::fabs(bodies[i].radius) + reach))
                        CHECK(std::binary_search(found.begin(), found.end(), uint32_t(i)));
            }
        }
    }
}

// Bodies that stray from their cells are filed again where they stand, in rows whose room
// runs out when a crowd gathers in one row; the grid is never settled here, so every answer
// comes from bodies filed again, or answered for every query, or from a filing that the
// strays forced. Point and segment queries both match a plain walk.
NATIVE_TEST(theGridFindsEveryBodyWhileStraysAreFiledAgain) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int scene = 0; scene < 12; ++scene) {
        size_t count = 20 + size_t(scene) * 60;
        double side = std::sqrt(double(count)) + 2.0;
        std::vector<GridBody> bodies = scattered(random, count, side);
        std::vector<bool> living(count, true);
        BodyGrid grid;
        grid.build(bodies);
        for (int step = 0; step < 30; ++step) {
            bool crowd = step % 10 == 9; // many into one row, then out again
            for (size_t i = 0; i < count; ++i) {
                if (unit(random) < 0.5 && !crowd) continue;
                double x = bodies[i].x + (crowd ? 0.0 : 2.0 * (unit(random) - 0.5));
                double y =
                    crowd && unit(random) < 0.7 ? side / 2.0 : bodies[i].y + unit(random) - 0.5;
                grid.move(i, x, y);
                bodies[i].x = x;
                bodies[i].y = y;
            }
            for (int query = 0; query < 40; ++query) {
                size_t near = size_t(unit(random) * double(count)) % count;
                double x = query % 2 ? bodies[near].x : side * unit(random);
                double y = query % 2 ? bodies[near].y : side * unit(random);
                double x1 = x + side * (unit(random) - 0.5), y1 = y + side * (unit(random) - 0.5);
                checkAnswers(grid, bodies, living, x, y, x1, y1, 0.6 * unit(random));
            }
        }
    }
}

// Bodies come and go by id, as a body list changes around them: new ids past the last,
// ids of bodies gone taken again, radii that grow past every other and bodies kept out.
// Every answer holds each living body within reach, and no body that is gone.
NATIVE_TEST(theGridAnswersTheLivingBodiesWhileBodiesComeAndGo) {
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int scene = 0; scene < 10; ++scene) {
        size_t count = 1 + size_t(scene) * 40;
        double side = std::sqrt(double(count)) + 3.0;
        std::vector<GridBody> bodies = scattered(random, count, side);
        std::vector<bool> living(count, true);
        BodyGrid grid;
        grid.build(bodies);
        for (int change = 0; change < 400; ++change) {
            size_t id = size_t(unit(random) * double(count + 3));
            double pick = unit(random);
            if (id < count && living[id] && pick < 0.4) {
                grid.remove(id);
                living[id] = false;
            } else {
                GridBody body{side * unit(random), side * unit(random),
                              pick < 0.05 ? 3.0 : 0.1 + 0.3 * unit(random), pick > 0.97};
                if (id >= count) {
                    id = count++;
                    bodies.push_back(body);
                    living.push_back(true);
                }
                bodies[id] = body;
                living[id] = true;
                grid.put(id, body);
            }
            if (change % 50 == 49) grid.settle();
            double x = side * unit(random), y = side * unit(random);
            checkAnswers(grid, bodies, living, x, y, side - x, side - y, 0.6 * unit(random));
        }
    }
}

// Ray queries: every body within reach of the segment is answered, once, whatever the
// segment (along an axis, steep, a point, off the grid, not finite) and while bodies
// drift, stray and the grid is filed again.
NATIVE_TEST(theSegmentQueryFindsEveryBodyNearTheSegment) {
    std::mt19937_64 random(23);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int scene = 0; scene < 30; ++scene) {
        size_t count = 1 + size_t(scene) * 31;
        double side = scene % 6 == 5 ? 4.0 : 2.0 * std::sqrt(double(count)) + 2.0;
        std::vector<GridBody> bodies;
        for (size_t i = 0; i < count; ++i) {
            GridBody body{side * unit(random), side * unit(random),
                          scene % 3 ? 0.05 + 0.5 * unit(random) : 0.05, unit(random) < 0.03};
            double odd = unit(random);
            if (odd < 0.02) body.radius = 3.0 * side; // far larger than the others
            if (odd > 0.99) body.y = NaN;
            if (odd > 0.985 && odd <= 0.99) body.x = -1e300;
            if (odd > 0.98 && odd <= 0.985) body.radius = -body.radius;
            bodies.push_back(body);
        }
        BodyGrid grid;
        grid.build(bodies);
        std::vector<uint32_t> found;
        for (int query = 0; query < 1500; ++query) {
            if (query % 100 == 99) { // every body drifts, some far
                for (size_t i = 0; i < count; ++i) {
                    double reachFar = unit(random) < 0.02 ? 0.5 * side : 0.3;
                    double x = grid.x(i) + reachFar * (unit(random) - 0.5);
                    double y = grid.y(i) + reachFar * (unit(random) - 0.5);
                    grid.move(i, x, y);
                    bodies[i].x = x;
                    bodies[i].y = y;
                }
                if (query % 200 == 199) grid.settle();
            }
            double x0 = side * (1.4 * unit(random) - 0.2), y0 = side * (1.4 * unit(random) - 0.2);
            double angle = 6.283185307179586 * unit(random);
            double length = query % 7 == 0 ? 2.0 * side : side * unit(random);
            double x1 = x0 + length * std::cos(angle), y1 = y0 + length * std::sin(angle);
            switch (query % 13) {
            case 1: // along an axis
                x1 = x0;
                break;
            case 2:
                y1 = y0;
                break;
            case 3: // a point
                x1 = x0;
                y1 = y0;
                break;
            case 4: // nearly along an axis
                x1 = x0 + 1e-12;
                break;
            case 5: // from far away
                x0 = -1e6;
                break;
            case 6:
                y1 = query % 2 ? Inf : NaN;
                break;
            }
            double reach = query % 5 == 0 ? 2.0 * unit(random) : 0.1 * unit(random);
            found = ids(grid.alongSegment(x0, y0, x1, y1, reach));
            std::sort(found.begin(), found.end());
            for (size_t k = 1; k < found.size(); ++k)
                CHECK(found[k - 1] < found[k]); // each once
            size_t k = 0;
            for (size_t i = 0; i < count; ++i) {
                while (k < found.size() && found[k] < i)
                    ++k;
                bool listed = k < found.size() && found[k] == i;
                if (bodies[i].keptOut) CHECK(listed);
                double distance = distanceToSegment(bodies[i].x, bodies[i].y, x0, y0, x1, y1);
                if (distance <= std::fabs(bodies[i].radius) + reach) CHECK(listed);
                if (std::isnan(x1 + y1) && std::isfinite(bodies[i].x + bodies[i].y))
                    CHECK(listed); // no segment to look along: every body
            }
        }
    }
}

NATIVE_TEST(theSegmentQueryAnswersOnlyBodiesAlongTheSegment) {
    std::vector<GridBody> bodies;
    for (int i = 0; i < 1000; ++i)
        bodies.push_back({double(i % 40) + 0.5, double(i / 40) + 0.5, 0.25, false});
    BodyGrid grid;
    grid.build(bodies);
    std::vector<uint32_t> found;
    for (double angle : {0.0, 0.4, 0.8, 1.2, 1.6, 2.9}) {
        double x1 = 20.5 + 15.0 * std::cos(angle), y1 = 12.5 + 15.0 * std::sin(angle);
        found = ids(grid.alongSegment(20.5, 12.5, x1, y1, 0.05));
        if (angle == 0.0) CHECK_EQ(found.size(), 16u); // the centres of a row, 20.5 to 35.5
        for (uint32_t i : found) // no farther than the reach, with room for rounding only
            CHECK(distanceToSegment(bodies[i].x, bodies[i].y, 20.5, 12.5, x1, y1) < 0.31);
    }
}

NATIVE_TEST(theGridAnswersOnlyNearbyBodiesInAnOrdinaryScene) {
    std::vector<GridBody> bodies;
    for (int i = 0; i < 1000; ++i)
        bodies.push_back({double(i % 40) + 0.5, double(i / 40) + 0.5, 0.25, false});
    BodyGrid grid;
    grid.build(bodies);
    std::vector<uint32_t> found;
    found = ids(grid.candidates(10.6, 10.5, 0.25));
    CHECK(found == std::vector<uint32_t>{10 * 40 + 10});
    found = ids(grid.candidates(10.6, 10.5, 0.7)); // with some slack: the neighbour to the east
    checkOnce(found, 1000);
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
    // Radii about the largest that a clear neighbourhood answers alone, half a cell and a
    // whole one, where the box leaves the neighbourhood.
    const double edgeRadii[] = {
        CLEAR_RADIUS, std::nextafter(CLEAR_RADIUS, 1.0), 0.5 - 1e-7, 0.5, 1.0 - 1e-7, 1.0};
    WallMap wallMap; // rebuilt for each grid, as the movement pass keeps one
    int touchedProbes = 0, skippedCasts = 0, clearMovers = 0;
    for (int scene = 0; scene < 90; ++scene) {
        // Small grids, and some wider than a word of the map's bits.
        int32_t width = scene % 3 == 2 ? 60 + scene % 70 : 3 + scene % 13;
        int32_t height = 3 + (scene * 7) % 11;
        double density = scene % 3 == 0 ? 0.3 : scene % 3 == 1 ? 0.05 : 0.01;
        Map map(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                if (unit(random) < density) map.block(x, y, uint8_t(1 + int(unit(random) * 6)));
        CHECK(wallMap.build(map.cells.data(), width, height));
        WallGrid plain{map.cells.data(), width, height};
        WallGrid mapped{map.cells.data(), width, height, &wallMap};
        for (int mover = 0; mover < 400; ++mover) {
            Vec2 at{unit(random) * width, unit(random) * height};
            if (mover % 5 == 0) at.x = std::floor(at.x) + (mover % 2 ? 0.0 : 1e-12); // on a line
            if (mover % 7 == 0) at.y = std::nextafter(std::ceil(at.y), 0.0); // just before one
            if (mover % 9 == 0) at.y = std::floor(at.y) + 1e-15;             // just past one
            double radius = mover % 13 == 0   ? 3.0 * unit(random)
                            : mover % 11 == 0 ? edgeRadii[mover % 6]
                                              : 0.6 * unit(random);
            bool any = wallsMayTouch(mapped, at, radius);
            CHECK(any == wallsMayTouch(plain, at, radius)); // the map changes no answer
            clearMovers += !any;
            bool solidNear = false;
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    if (map.cells[levelGrid::offset(width, x, y, 0)] != levelGrid::EMPTY &&
                        distanceToCell(at, x, y) < radius)
                        solidNear = true;
            if (solidNear) CHECK(any);
            for (int i = 0; i < PROBE_COUNT; ++i) {
                Vec2 dir = probeDirection(mover, i, random);
                Vec2 next = at;
                bool touched =
                    probeWall(map.cells.data(), width, height, at, dir, radius, at, next);
                bool may = probeMayTouch(mapped, at, dir, radius);
                CHECK(may == probeMayTouch(plain, at, dir, radius));
                if (touched) {
                    ++touchedProbes;
                    CHECK(may && any);
                }
                skippedCasts += !may;
            }
        }
    }
    // Both outcomes were exercised, and many movers had no wall near.
    CHECK(touchedProbes > 1000 && skippedCasts > 10000 && clearMovers > 5000);
}

// Inputs that no level holds, with and without the map: each answer is the sound one,
// and the map changes none.
NATIVE_TEST(theWallTestsAnswerOddInputsSoundly) {
    Map map(8, 8);
    map.block(5, 5, levelGrid::SQUARE);
    map.block(3, 5, levelGrid::SQUARE);
    WallMap wallMap;
    CHECK(wallMap.build(map.cells.data(), 8, 8));
    struct Case {
        Vec2 at;
        double radius;
        Vec2 dir;
        bool walls, probe;
    };
    const double Huge = 1e300;
    const Case cases[] = {
        {{NaN, 4.5}, 0.25, {1.0, 0.0}, false, false},   // no origin
        {{4.5, -0.5}, 100.0, {0.0, 1.0}, false, false}, // off the map
        {{8.0, 4.5}, 100.0, {-1.0, 0.0}, false, false}, // on its far edge
        {{Huge, Huge}, Inf, {1.0, 1.0}, false, false},  // far off it
        {{1.5, 1.5}, Inf, {1.0, 0.0}, true, true},      // no distance is below
        {{1.5, 1.5}, 1e300, {1.0, 0.0}, true, true},    // too many cells to look at
        {{1.5, 1.5}, NaN, {1.0, 0.0}, false, false},    // nor below NaN
        {{1.5, 1.5}, 0.0, {1.0, 0.0}, false, false},    // nor below zero
        {{1.5, 1.5}, 0.25, {1.0, 0.0}, false, false},   // nothing near
        {{4.9, 4.9}, 0.25, {NaN, 1.0}, true, false},    // the cast leaves at once
        {{4.9, 4.9}, 0.25, {Inf, 1.0}, true, false},
        {{4.9, 4.9}, 0.25, {0.0, 0.0}, true, true},          // a cast that walks backwards
        {{4.9, 4.9}, 0.25, {1e200, 1e200}, true, true},      // a length beyond the doubles
        {{4.9, 4.9}, 0.25, {-1e200, -1e200}, true, true},    // the cast decides
        {{4.9, 4.9}, 0.25, {1e-160, 1e-160}, true, true},    // squares below the normal range
        {{4.9, 5.0 - 1e-6}, 0.25, {1e-10, 0.0}, true, true}, // drifts into row 5 on its way
        // The east probe from just south of a line meets the block to the west as it
        // steps across the rows backwards; from the line itself, only the cell under it.
        {{4.05, 5.0 + 1e-15}, 0.25, {1.0, 0.0}, true, true},
        {{4.05, 5.0}, 0.25, {1.0, 0.0}, true, false},
        {{2.5, 2.5}, CLEAR_RADIUS, {1.0, 1.0}, false, false}, // the largest clear radius
    };
    for (const Case& c : cases) {
        for (const WallMap* used : std::initializer_list<const WallMap*>{nullptr, &wallMap}) {
            WallGrid walls{map.cells.data(), 8, 8, used};
            CHECK(wallsMayTouch(walls, c.at, c.radius) == c.walls);
            CHECK(probeMayTouch(walls, c.at, c.dir, c.radius) == c.probe);
        }
        // Whatever a probe is refused, the cast finds no wall within the radius.
        Vec2 next = c.at;
        if (probeWall(map.cells.data(), 8, 8, c.at, c.dir, c.radius, c.at, next))
            CHECK(c.probe && c.walls);
    }
}

// A box whose edge falls exactly on a grid line meets the cell beyond it, and one a little
// short of the line does not: with the map as with the cells, on each of the four sides,
// for reaches that the neighbourhood answers.
NATIVE_TEST(aBoxEndingOnAGridLineMeetsTheCellBeyond) {
    WallMap wallMap;
    for (double offset : {0.125, 0.25, 0.75}) {
        for (int side = 0; side < 4; ++side) {
            // The origin in cell (2, 2) of an empty 5 x 5 grid but for its neighbour on
            // `side`, `offset` from the line between them.
            int dx = side == 0 ? -1 : side == 1 ? 1 : 0, dy = side == 2 ? -1 : side == 3 ? 1 : 0;
            Map map(5, 5);
            map.block(2 + dx, 2 + dy, levelGrid::SQUARE);
            CHECK(wallMap.build(map.cells.data(), 5, 5));
            double line = dx + dy < 0 ? 2.0 : 3.0, sign = dx + dy < 0 ? 1.0 : -1.0;
            double along = line + sign * offset;
            Vec2 origin = dx != 0 ? Vec2{along, 2.5} : Vec2{2.5, along};
            // The radius whose box edge lies exactly on the line: the reach moves by far less
            // than a unit in the last place of the line per step of the radius.
            auto edge = [&](double radius) {
                double reach = radius + reachMargin(origin, radius);
                return sign > 0 ? along - reach : along + reach;
            };
            double radius = offset - reachMargin(origin, offset);
            for (int i = 0; i < 64 && edge(radius) != line; ++i)
                radius = std::nextafter(radius, (edge(radius) - line) * sign > 0 ? 1.0 : 0.0);
            CHECK(edge(radius) == line);
            double shorter = radius;
            while (edge(shorter) == line)
                shorter = std::nextafter(shorter, 0.0);
            for (const WallMap* used : std::initializer_list<const WallMap*>{nullptr, &wallMap}) {
                WallGrid walls{map.cells.data(), 5, 5, used};
                CHECK(wallsMayTouch(walls, origin, radius));
                CHECK(!wallsMayTouch(walls, origin, shorter));
            }
        }
    }
}

// The map's neighbourhoods against the cells, on grids of every shape, with one map
// rebuilt over and over; a grid above the map's size is refused and read from its cells.
NATIVE_TEST(theWallMapKnowsEachCellsNeighbours) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    WallMap wallMap;
    const int32_t sizes[][2] = {{1, 1},  {1, 9},  {9, 1},   {2, 2},   {63, 3},
                                {64, 4}, {65, 5}, {130, 7}, {5, 200}, {40, 40}};
    for (auto [width, height] : sizes) {
        Map map(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                if (unit(random) < 0.2) map.block(x, y, levelGrid::SQUARE);
        CHECK(wallMap.build(map.cells.data(), width, height));
        auto solid = [&](int32_t x, int32_t y) {
            return levelGrid::inside(width, height, x, y) &&
                   map.cells[levelGrid::offset(width, x, y, 0)] != levelGrid::EMPTY;
        };
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                CHECK(wallMap.solid(size_t(x), size_t(y)) == solid(x, y));
                unsigned expected = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (solid(x + dx, y + dy)) expected |= 1u << WallMap::aroundBit(dx, dy);
                CHECK_EQ(unsigned(wallMap.around(size_t(x), size_t(y))), expected);
            }
    }

    int32_t width = 2049, height = 2048; // one row of cells past mostCells
    CHECK(uint64_t(width) * uint64_t(height) > WallMap::mostCells);
    Map large(width, height);
    large.block(2040, 2040, levelGrid::SQUARE);
    CHECK(!wallMap.build(large.cells.data(), width, height));
    WallGrid walls{large.cells.data(), width, height};
    CHECK(wallsMayTouch(walls, {2039.9, 2040.5}, 0.25));
    CHECK(probeMayTouch(walls, {2039.9, 2040.5}, {1.0, 0.0}, 0.25));
    CHECK(!probeMayTouch(walls, {2039.9, 2040.5}, {-1.0, 0.0}, 0.25));
    CHECK(!wallsMayTouch(walls, {2038.5, 2040.5}, 0.25));
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

NATIVE_TEST(theQuickRejectionNeverChangesWhatTheLineMeets) {
    // Lines that pass a circle at about its radius, where single-precision rounding decides,
    // at every scale from tiny to beyond the rejection's range, and odd values: with the
    // rejection or without it, the same answer and the same point to the bit.
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    size_t rejected = 0, met = 0;
    for (int i = 0; i < 400000; ++i) {
        double scale = std::pow(10.0, -12.0 + 24.0 * unit(random));
        double radius = scale * (0.01 + unit(random));
        double angle = 6.283185307179586 * unit(random);
        Vec2 dir{std::cos(angle), std::sin(angle)};
        Vec2 p1{scale * (unit(random) - 0.5) * 50.0, scale * (unit(random) - 0.5) * 50.0};
        double length = scale * (i % 5 == 0 ? 1e-6 : 1.0 + 100.0 * unit(random));
        Vec2 p2{p1.x + dir.x * length, p1.y + dir.y * length};
        // The centre off the line by the radius times a factor near 1, ahead or behind.
        double off =
            radius * (i % 3 == 0 ? 1.0 + (unit(random) - 0.5) * 1e-4 : 0.5 + 1.5 * unit(random));
        double along = scale * (unit(random) - 0.3) * 100.0;
        Vec2 center{p1.x + dir.x * along - dir.y * off, p1.y + dir.y * along + dir.x * off};
        if (i % 1000 == 1) center.x = NaN;
        if (i % 1000 == 2) radius = Inf;
        if (i % 1000 == 3) p2.y = Inf;
        float single = toSingle(radius);
        Vec2 quick{-1.0, -1.0}, full{-1.0, -1.0};
        bool quickly = closestLineCircleIntersection(center, single, p1, p2, quick);
        bool fully = closestLineCircleIntersectionInFull(center, single, p1, p2, full);
        CHECK_EQ(quickly, fully);
        CHECK(std::memcmp(&quick, &full, sizeof quick) == 0);
        rejected += !lineMayMeetCircle(center, single, p1, p2);
        met += fully;
    }
    // Both kinds came up often: the rejection is used, and lines do meet circles.
    CHECK(rejected > 40000 && met > 40000);
    // A circle well off the line is rejected; one on it, or odd values, are not.
    CHECK(!lineMayMeetCircle({5.0, 3.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}));
    CHECK(lineMayMeetCircle({5.0, 1.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}));
    CHECK(lineMayMeetCircle({NaN, 3.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}));
    CHECK(lineMayMeetCircle({5e9, 3.0}, 1.0f, {0.0, 0.0}, {10.0, 0.0}));
}
