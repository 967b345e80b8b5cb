// Times the raycasting renderer's core frame: the representative level (square and
// triangle blocks, fog, ground fog, sky, flashlight, 50 animated sprites) and the
// engine's empty level, at two target sizes, on 1, 2 and 4 threads, next to a memset
// of the same frame and to the plain pass-by-pass frame that the tests hold the core
// against. Each figure is the median of many frames after a warm-up, in nanoseconds
// per target pixel.
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
#include <vector>

using namespace raycast;
using Clock = std::chrono::steady_clock;

namespace {

int framesToTime = 200;
int warmUp = 20;

// A walk through the level: the camera turns slowly while it moves along a loop that
// stays inside empty cells.
std::vector<CameraView> cameraPath(const scenes::Scene& scene, int count) {
    std::vector<CameraView> path;
    scenes::Random random(3);
    CameraView base = scenes::randomCamera(scene, random);
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
    (void)base;
    return path;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeFrames(const scenes::Scene& scene, bool sky, bool flashlight, int32_t width,
                  int32_t height, int32_t threads, bool plain = false) {
    std::vector<uint32_t> pixels(size_t(width) * height);
    std::vector<RayHit> hits(static_cast<size_t>(width));
    std::vector<SpriteDraw> sprites = scene.sprites;
    std::vector<CameraView> path = cameraPath(scene, 64);
    Frame frame;
    frame.target = {pixels.data(), size_t(width), width, height};
    frame.level = scene.view(sky);
    if (flashlight) frame.flashlight = scene.flashlight.area();
    frame.hits = hits.data();
    frame.threads = threads;
    frame.sprites = sprites.data();
    frame.spriteCount = sprites.size();
    std::vector<double> samples;
    int frames = plain ? std::max(5, framesToTime / 10) : framesToTime;
    for (int i = 0; i < warmUp + frames; ++i) {
        frame.camera = path[size_t(i) % path.size()];
        auto start = Clock::now();
        prepareSprites(frame.camera.pos, sprites.data(), sprites.size(), 1 / 60.0);
        if (plain)
            reference::renderFrame(frame);
        else
            renderFrame(frame);
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        if (i >= warmUp) samples.push_back(ns / (double(width) * height));
    }
    return median(samples);
}

double timeMemset(int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(size_t(width) * height);
    std::vector<double> samples;
    for (int i = 0; i < warmUp + framesToTime; ++i) {
        auto start = Clock::now();
        std::memset(pixels.data(), i & 255, pixels.size() * sizeof(uint32_t));
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        volatile uint32_t keep = pixels[size_t(i) % pixels.size()];
        (void)keep;
        if (i >= warmUp) samples.push_back(ns / (double(width) * height));
    }
    return median(samples);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) framesToTime = std::max(10, std::atoi(argv[1]));
    scenes::Scene representative = scenes::representativeLevel(50);
    scenes::Scene empty = scenes::emptyLevel();
    const int32_t sizes[][2] = {{640, 480}, {1280, 720}};
    const int32_t threadCounts[] = {1, 2, 4};
    std::printf("%-16s %-9s %8s %8s %8s %8s %8s\n", "level", "size", "1 thread", "2", "4", "memset",
                "plain");
    for (const auto& size : sizes) {
        double memsetNs = timeMemset(size[0], size[1]);
        for (int level = 0; level < 2; ++level) {
            const scenes::Scene& scene = level == 0 ? representative : empty;
            std::printf("%-16s %4dx%-4d", level == 0 ? "representative" : "empty", size[0],
                        size[1]);
            for (int32_t threads : threadCounts)
                std::printf(" %8.3f",
                            timeFrames(scene, level == 0, level == 0, size[0], size[1], threads));
            std::printf(" %8.3f", memsetNs);
            std::printf(" %8.3f\n",
                        timeFrames(scene, level == 0, level == 0, size[0], size[1], 1, true));
            std::fflush(stdout);
        }
    }
    std::printf("(ns per pixel, median of %d frames after %d warm-up frames; plain: the "
                "pass-by-pass frame on one thread, median of %d frames)\n",
                framesToTime, warmUp, std::max(5, framesToTime / 10));
}
