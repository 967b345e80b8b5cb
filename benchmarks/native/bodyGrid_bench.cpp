// Times the broad phase of the movement pass (collision::BodyGrid) in an ordinary scene:
// 1000 bodies of radius 0.25 spread uniformly over a 62x62 area. Three loops, each the
// median of many rounds, in nanoseconds (and for the loops that settle, the mean as well:
// the rounds where settle files the bodies again count there):
//   query: one query per body at its position, reach 0.5, from 0 (per query);
//   step:  a movement step: for each body in order, a query at its position plus a small
//          move, then the body moves by 0.03 in a random direction; settle once per step
//          (per body, all of it);
//   move:  the moves and the settle of a step alone (per body).
//
// Built from the repository's root with
//   g++ $(grep '^-' compiler-flags.txt) -I src
//       benchmarks/native/bodyGrid_bench.cpp src/core/*.cpp -o /tmp/gridbench
#include "core/bodyGrid.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using collision::BodyGrid;
using collision::GridBody;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t bodyCount = 1000;
constexpr double area = 62.0;
constexpr double radius = 0.25;
constexpr double reach = 0.5;
constexpr double stepLength = 0.03;
constexpr int rounds = 400;

std::vector<GridBody> scene(std::mt19937_64& random) {
    std::uniform_real_distribution<double> spread(0.0, area);
    std::vector<GridBody> bodies;
    for (size_t i = 0; i < bodyCount; ++i)
        bodies.push_back({spread(random), spread(random), radius, false});
    return bodies;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double mean(const std::vector<double>& values) {
    double sum = 0.0;
    for (double value : values)
        sum += value;
    return sum / double(values.size());
}

double nanoseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// The unit directions of the moves, drawn once so that the timing holds no random numbers.
struct Directions {
    std::vector<double> dx, dy;
    explicit Directions(std::mt19937_64& random) {
        std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI);
        for (size_t k = 0; k < count; ++k) {
            double a = angle(random);
            dx.push_back(std::cos(a));
            dy.push_back(std::sin(a));
        }
    }
    // A power of two: the turn wraps by a mask, where a division would cost more than a move.
    static constexpr size_t count = 4096;
};

} // namespace

int main() {
    std::mt19937_64 random(7);
    std::vector<GridBody> bodies = scene(random);
    Directions directions(random);

    BodyGrid grid;
    grid.build(bodies);
    std::vector<double> perQuery;
    size_t answered = 0, queries = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (size_t i = 0; i < bodyCount; ++i) {
            BodyGrid::Answer answer = grid.candidates(bodies[i].x, bodies[i].y, reach);
            answered += answer.count + answer.alwaysCount;
        }
        perQuery.push_back(nanoseconds(start) / double(bodyCount));
        queries += bodyCount;
    }
    std::printf("query: %6.1f ns per query (%.2f bodies answered)\n", median(perQuery),
                double(answered) / double(queries));

    grid.build(bodies);
    std::vector<double> perStep;
    size_t turn = 0, sink = 0;
    answered = queries = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (size_t i = 0; i < bodyCount; ++i) {
            size_t d = turn++ & (Directions::count - 1);
            double x = grid.x(i), y = grid.y(i);
            BodyGrid::Answer answer =
                grid.candidates(x + 0.5 * stepLength * directions.dx[d],
                                y + 0.5 * stepLength * directions.dy[d], reach);
            answered += answer.count + answer.alwaysCount;
            grid.move(i, x + stepLength * directions.dx[d], y + stepLength * directions.dy[d]);
        }
        grid.settle();
        perStep.push_back(nanoseconds(start) / double(bodyCount));
        queries += bodyCount;
    }
    std::printf("step:  %6.1f ns per body, mean %.1f (query, move and settle; %.2f answered)\n",
                median(perStep), mean(perStep), double(answered) / double(queries));

    grid.build(bodies);
    std::vector<double> perMove;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (size_t i = 0; i < bodyCount; ++i) {
            size_t d = turn++ & (Directions::count - 1);
            grid.move(i, grid.x(i) + stepLength * directions.dx[d],
                      grid.y(i) + stepLength * directions.dy[d]);
        }
        grid.settle();
        perMove.push_back(nanoseconds(start) / double(bodyCount));
        sink += grid.size();
    }
    std::printf("move:  %6.1f ns per body, mean %.1f (move and settle)\n", median(perMove),
                mean(perMove));
    return sink == 0;
}
