// Times the wall half of the movement pass on its own: a 64 x 64 level with a wall all
// round and 60 square blocks, and 1000 movers of radius 0.25 standing on random free
// points. For each mover: wallsMayTouch, and for those that may touch, the eight probes,
// each a probeMayTouch and, where that says yes, a probeWall. Figures are nanoseconds per
// mover, the median of many rounds, with the level's WallMap and with the cells alone.
//
//   g++ $(grep '^-' compiler-flags.txt) -I src
//       benchmarks/native/wallProbe_bench.cpp src/core/*.cpp -o /tmp/wallbench
#include "core/collision.hpp"
#include "core/levelGrid.hpp"
#include "core/wallMap.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using namespace collision;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t SIDE = 64;
constexpr int BLOCKS = 60;
constexpr int MOVERS = 1000;
constexpr double RADIUS = 0.25;
constexpr int ROUNDS = 301;
constexpr int REPEATS = 20; // passes over the movers per round, to outlast the clock's grain

struct Level {
    std::vector<uint8_t> cells;
    WallMap map;

    bool empty(int32_t x, int32_t y) const {
        return cells[levelGrid::offset(SIDE, x, y, levelGrid::BLOCK)] == levelGrid::EMPTY;
    }
};

Level makeLevel(std::mt19937_64& random) {
    Level level;
    level.cells.assign(size_t(SIDE) * SIDE * levelGrid::CELL_BYTES, 0);
    levelGrid::buildWalled(level.cells.data(), SIDE, SIDE);
    std::uniform_int_distribution<int32_t> inner(1, SIDE - 2);
    for (int placed = 0; placed < BLOCKS;) {
        int32_t x = inner(random), y = inner(random);
        if (!level.empty(x, y)) continue;
        level.cells[levelGrid::offset(SIDE, x, y, levelGrid::BLOCK)] = levelGrid::SQUARE;
        ++placed;
    }
    level.map.build(level.cells.data(), SIDE, SIDE);
    return level;
}

std::vector<Vec2> placeMovers(const Level& level, std::mt19937_64& random) {
    std::uniform_real_distribution<double> along(0.0, double(SIDE));
    std::vector<Vec2> movers;
    while (movers.size() < MOVERS) {
        Vec2 at{along(random), along(random)};
        if (level.empty(int32_t(at.x), int32_t(at.y))) movers.push_back(at);
    }
    return movers;
}

enum Stage { FIRST_TEST, TESTS, CASTS };

// One pass over the movers: wallsMayTouch alone, the probe tests after it, or the tests
// and the casts they let through. Returns a count that depends on every answer, so that
// none is optimised away.
template <Stage stage>
uint64_t movementWalls(const WallGrid& walls, const std::vector<Vec2>& movers) {
    uint64_t count = 0;
    for (const Vec2& at : movers) {
        if (!wallsMayTouch(walls, at, RADIUS)) continue;
        if (stage == FIRST_TEST) {
            ++count;
            continue;
        }
        for (int i = 0; i < PROBE_COUNT; ++i) {
            Vec2 dir{PROBES[2 * i], PROBES[2 * i + 1]};
            if (!probeMayTouch(walls, at, dir, RADIUS)) continue;
            ++count;
            if (stage != CASTS) continue;
            Vec2 next = at;
            count += probeWall(walls.cells, walls.width, walls.height, at, dir, RADIUS, at, next);
        }
    }
    return count;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

volatile uint64_t sink;

template <Stage stage> double nsPerMover(const WallGrid& walls, const std::vector<Vec2>& movers) {
    std::vector<double> samples;
    for (int round = 0; round < ROUNDS; ++round) {
        auto start = Clock::now();
        uint64_t count = 0;
        for (int repeat = 0; repeat < REPEATS; ++repeat)
            count += movementWalls<stage>(walls, movers);
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        sink = count;
        samples.push_back(ns / (double(REPEATS) * double(movers.size())));
    }
    return median(samples);
}

} // namespace

int main() {
    std::mt19937_64 random(7);
    Level level = makeLevel(random);
    std::vector<Vec2> movers = placeMovers(level, random);

    WallGrid mapped{level.cells.data(), SIDE, SIDE, &level.map};
    WallGrid plain{level.cells.data(), SIDE, SIDE, nullptr};

    size_t near = 0, probes = 0;
    for (const Vec2& at : movers) {
        if (!wallsMayTouch(mapped, at, RADIUS)) continue;
        ++near;
        for (int i = 0; i < PROBE_COUNT; ++i)
            probes += probeMayTouch(mapped, at, {PROBES[2 * i], PROBES[2 * i + 1]}, RADIUS);
    }
    std::printf("%d movers of radius %.2f in a %dx%d level with %d blocks: %.1f %% near a wall, "
                "%.2f probes cast per near mover\n",
                MOVERS, RADIUS, SIDE, SIDE, BLOCKS, 100.0 * double(near) / MOVERS,
                near ? double(probes) / double(near) : 0.0);
    std::printf("(ns per mover, median of %d rounds of %d passes)\n", ROUNDS, REPEATS);
    std::printf("%-10s %14s %12s %14s\n", "walls", "wallsMayTouch", "all tests", "tests + casts");
    for (auto [name, walls] : {std::pair{"WallMap", mapped}, std::pair{"cells", plain}})
        std::printf("%-10s %14.2f %12.2f %14.2f\n", name, nsPerMover<FIRST_TEST>(walls, movers),
                    nsPerMover<TESTS>(walls, movers), nsPerMover<CASTS>(walls, movers));
    return 0;
}
