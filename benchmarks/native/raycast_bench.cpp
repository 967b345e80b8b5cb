// Times the raycasting renderer's core frame against the physical limits of the same
// frame: a memset of its pixels and a memcpy of them into another buffer. Two levels
// (the representative one: square and triangle blocks, fog, ground fog, sky, flashlight,
// 50 animated sprites; and the engine's empty level), and the representative level's sky
// alone (the pass a frame without its walls draws), at two target sizes, on 1, 2 and 4
// threads.
//
// Rounds interleave everything that is compared. A round takes the next pose of a walk
// through the level; for every thread count, in an order that rotates from round to
// round, it times three things in an order that also rotates: one frame (the sprites
// prepared and drawn) with a memset of its pixels right after it, a memset alone and a
// memcpy alone. Before each of the three the calling thread writes the pixels once,
// untimed, so that all start from the same caches: where a game's last frame left its
// target. The memset right after the frame starts from where the frame left the pixels
// (spread over the caches of the threads that drew them); the memset alone from where
// one thread's writing leaves them, the fastest a memset gets. Each ratio is the
// frame's time over the limit's in the same round; a figure is the median of the
// rounds, with the lowest and highest round beside it. Every few rounds the plain
// pass-by-pass frame of tests/native is drawn too, as a ratio to a memset alone.
//
// A second argument (baseline, avx2 or avx512, the default) is the widest instruction
// set the frame may use.
//
// Built and run by benchmarks/bench_raycast_core.py.
#include "core/instructions.hpp"
#include "core/raycastFrame.hpp"
#include "core/raycastSprites.hpp"
#include "raycast_reference.hpp"
#include "raycast_scenes.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using namespace raycast;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t THREAD_COUNTS[] = {1, 2, 4};
constexpr int THREAD_CASES = 3;
constexpr int PLAIN_EVERY = 10; // rounds between two plain frames

// A walk through the level: the camera turns slowly, and jumps to another empty cell
// every 8 poses.
std::vector<CameraView> cameraPath(const scenes::Scene& scene, int count) {
    std::vector<CameraView> path;
    scenes::Random random(3);
    for (int i = 0; i < count; ++i) {
        CameraView camera = i % 8 == 0 ? scenes::randomCamera(scene, random) : path.back();
        double angle = std::atan2(camera.dir.y, camera.dir.x) + 0.03;
        camera.dir = {std::cos(angle), std::sin(angle)};
        camera.skyDegrees = viewDegrees(camera.dir);
        camera.fov = 60;
        camera.pitch = 20;
        camera.ratio = 1.6;
        path.push_back(camera);
    }
    return path;
}

// `prepare` untimed, then `work` timed.
double nanoseconds(const std::function<void()>& prepare, const std::function<void()>& work) {
    prepare();
    auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

struct Spread {
    double median, low, high;
};

Spread spread(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

struct Results {
    std::vector<double> frameNs[THREAD_CASES];
    std::vector<double> byAfter[THREAD_CASES], bySet[THREAD_CASES], byCopy[THREAD_CASES];
    std::vector<double> afterNs[THREAD_CASES], memsetNs, memcpyNs, plainBySet;
};

// One level at one size: `rounds` rounds, the first `warmUp` of them untimed.
// What is drawn: the whole frame of the representative or the empty level, or the
// representative level's sky alone (the pass a frame without its walls draws).
enum class Drawing { representative, empty, sky };

const char* nameOf(Drawing drawing) {
    return drawing == Drawing::representative ? "representative"
           : drawing == Drawing::empty        ? "empty"
                                              : "sky alone";
}

Results race(const scenes::Scene& scene, Drawing drawing, int32_t width, int32_t height, int rounds,
             int warmUp) {
    // The target aligned as SDL aligns a surface's pixels, for the widest vectors.
    size_t count = size_t(width) * size_t(height);
    std::vector<uint32_t> storage(count + 16), copy(count);
    uint32_t* pixels = storage.data() + (64 - uintptr_t(storage.data()) % 64) % 64 / 4;
    std::vector<RayHit> hits(static_cast<size_t>(width));
    std::vector<SpriteDraw> sprites = scene.sprites;
    std::vector<CameraView> path = cameraPath(scene, 64);
    Frame frame;
    frame.target = {pixels, size_t(width), width, height};
    bool rich = drawing != Drawing::empty;
    frame.level = scene.view(rich);
    if (rich) frame.flashlight = scene.flashlight.area();
    frame.hits = hits.data();
    frame.sprites = sprites.data();
    frame.spriteCount = sprites.size();
    size_t bytes = count * sizeof(uint32_t);
    auto draw = [&](bool plain) {
        if (drawing == Drawing::sky) {
            if (plain)
                reference::renderSky(frame);
            else
                renderSky(frame);
            return;
        }
        prepareSprites(frame.camera.pos, sprites.data(), sprites.size(), 1 / 60.0);
        if (plain)
            reference::renderFrame(frame);
        else
            renderFrame(frame);
    };
    auto settle = [&] { std::memset(pixels, 0, bytes); };
    auto memset = [&] { std::memset(pixels, 1, bytes); };
    Results results;
    for (int round = 0; round < warmUp + rounds; ++round) {
        frame.camera = path[size_t(round) % path.size()];
        double frameNs[THREAD_CASES], afterNs[THREAD_CASES], setNs[THREAD_CASES],
            copyNs[THREAD_CASES];
        for (int t = 0; t < THREAD_CASES; ++t) {
            int which = (t + round) % THREAD_CASES;
            for (int step = 0; step < 3; ++step) {
                switch ((step + round / THREAD_CASES) % 3) {
                case 0:
                    frame.threads = THREAD_COUNTS[which];
                    frameNs[which] = nanoseconds(settle, [&] { draw(false); });
                    afterNs[which] = nanoseconds([] {}, memset);
                    break;
                case 1:
                    setNs[which] = nanoseconds(settle, memset);
                    break;
                default:
                    copyNs[which] =
                        nanoseconds(settle, [&] { std::memcpy(copy.data(), pixels, bytes); });
                }
            }
        }
        double plainNs = 0, plainSetNs = 0;
        bool plain = round % PLAIN_EVERY == 0;
        if (plain) {
            frame.threads = 1;
            plainNs = nanoseconds(settle, [&] { draw(true); });
            plainSetNs = nanoseconds(settle, memset);
        }
        volatile uint32_t keep = copy[size_t(round) % copy.size()];
        (void)keep;
        if (round < warmUp) continue;
        for (int t = 0; t < THREAD_CASES; ++t) {
            results.frameNs[t].push_back(frameNs[t]);
            results.afterNs[t].push_back(afterNs[t]);
            results.byAfter[t].push_back(frameNs[t] / afterNs[t]);
            results.bySet[t].push_back(frameNs[t] / setNs[t]);
            results.byCopy[t].push_back(frameNs[t] / copyNs[t]);
            results.memsetNs.push_back(setNs[t]);
            results.memcpyNs.push_back(copyNs[t]);
        }
        if (plain) results.plainBySet.push_back(plainNs / plainSetNs);
    }
    return results;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    int warmUp = 10;
    const char* widest = argc > 2 ? argv[2] : "avx512";
    if (std::strcmp(widest, "baseline") == 0) {
        instructions::limit(instructions::Set::plain);
    } else if (std::strcmp(widest, "avx2") == 0) {
        instructions::limit(instructions::Set::avx2);
    } else if (std::strcmp(widest, "avx512") == 0) {
        instructions::limit(instructions::Set::avx512);
    } else {
        std::fprintf(stderr, "instruction set: baseline, avx2 or avx512\n");
        return 2;
    }
    scenes::Scene representative = scenes::representativeLevel(50);
    scenes::Scene empty = scenes::emptyLevel();
    const int32_t sizes[][2] = {{640, 480}, {1280, 720}};
    std::printf("frame time as a multiple of a memset of the same frame right after it, of a "
                "memset alone and of a memcpy alone,\ntimed in the same round: median [lowest - "
                "highest] of %d rounds, instructions up to %s\n\n",
                rounds, widest);
    std::printf("%-15s %-9s %-7s %7s %21s %21s %21s\n", "level", "size", "threads", "ns/px",
                "x memset after", "x memset", "x memcpy");
    auto column = [](const std::vector<double>& values) {
        Spread s = spread(values);
        std::printf(" %6.2f [%5.2f - %5.2f]", s.median, s.low, s.high);
    };
    for (const auto& size : sizes) {
        for (Drawing drawing : {Drawing::representative, Drawing::empty, Drawing::sky}) {
            Results results = race(drawing == Drawing::empty ? empty : representative, drawing,
                                   size[0], size[1], rounds, warmUp);
            double pixelCount = double(size[0]) * size[1];
            for (int t = 0; t < THREAD_CASES; ++t) {
                std::printf("%-15s %4dx%-4d %7d %7.3f", nameOf(drawing), size[0], size[1],
                            THREAD_COUNTS[t], spread(results.frameNs[t]).median / pixelCount);
                column(results.byAfter[t]);
                column(results.bySet[t]);
                column(results.byCopy[t]);
                std::printf("\n");
            }
            std::printf("%-15s %4dx%-4d ns/px: memset after 1, 2, 4 threads' frames", "", size[0],
                        size[1]);
            for (int t = 0; t < THREAD_CASES; ++t)
                std::printf(" %.3f", spread(results.afterNs[t]).median / pixelCount);
            Spread plain = spread(results.plainBySet);
            std::printf("; memset %.3f, memcpy %.3f; the plain frame %.1f [%.1f - %.1f] x memset\n",
                        spread(results.memsetNs).median / pixelCount,
                        spread(results.memcpyNs).median / pixelCount, plain.median, plain.low,
                        plain.high);
            std::fflush(stdout);
        }
    }
}
