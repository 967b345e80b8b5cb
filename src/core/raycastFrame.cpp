// The frame, drawn tile by tile: a tile is a band of neighbouring columns whose rays,
// walls, floor, ceiling, sky and sprites are all drawn before the next tile, so that
// its pixels stay in the cache, and tiles are shared among worker threads. Every pixel
// gets exactly the value the passes give when run one after another over the whole
// target (background, sky, walls, flashlight, floor, ceiling, sprites): each pixel is
// written once with the colour of the last layer that would have covered it, except the
// first floor row under a wall where that row would reach beyond the wall, which is
// drawn again at the wall's distance.
//
// Values that the passes would compute again and again are computed once per frame
// with the same operations: the ray of each column (by the same repeated rotation),
// the distance and fog weights of each floor and ceiling row, the sky's column of each
// screen column and row of each screen row, the sheet row and fog of each sprite row.
#include "core/raycastFrame.hpp"

#include "core/instructions.hpp"
#include "core/raycastPlan.hpp"
#include "core/workerPool.hpp"

#include <algorithm>
#include <cstdlib>

namespace raycast {

namespace {

using namespace plan;

// Below this many pixels a frame is drawn on the calling thread alone.
constexpr int64_t THREADED_PIXELS = 160 * 120;
constexpr int32_t MAX_THREADS = 8;

// The build of the instruction set in use; the baseline build serves plain and SSE2.
const Build& widestBuild() {
    instructions::Set set = instructions::inUse();
    const Build* avx512 = set >= instructions::Set::avx512 ? avx512Build() : nullptr;
    const Build* avx2 = set >= instructions::Set::avx2 ? avx2Build() : nullptr;
    return avx512 ? *avx512 : avx2 ? *avx2 : baselineBuild();
}

void drawTask(void* context, int64_t task) {
    const Plan& plan = *static_cast<const Plan*>(context);
    int32_t x0 = int32_t(task * TILE_COLUMNS);
    plan.build->drawTile(plan, x0, std::min(x0 + TILE_COLUMNS, plan.w));
}

// The sky alone is drawn in bands of whole rows.
constexpr int32_t SKY_ROWS = 16;

void skyTask(void* context, int64_t task) {
    const Plan& plan = *static_cast<const Plan*>(context);
    int32_t y0 = int32_t(task * SKY_ROWS);
    plan.build->drawSkyRows(plan, y0, std::min(y0 + SKY_ROWS, plan.h));
}

Plan& workspace() {
    // Reused frame after frame, so that its tables are allocated once.
    static thread_local Plan plan;
    return plan;
}

void draw(const Frame& frame, Underlay underlay, bool walls, bool sprites) {
    Plan& plan = workspace();
    plan.frame = &frame;
    plan.underlay = underlay;
    plan.walls = walls;
    plan.sprites = sprites;
    plan.w = std::max(frame.target.width, 0);
    plan.h = std::max(frame.target.height, 0);
    plan.horizon = horizonRow(plan.h, frame.camera.pitch);
    plan.heightByRatio = plan.h / frame.camera.ratio;
    plan.spriteCount = 0;
    plan.build = &widestBuild();
    plan.smallLamp =
        frame.flashlight.stride * size_t(std::max(frame.flashlight.height, 0)) < (size_t(1) << 31);
    plan.smallMap = int64_t(std::max(frame.level.width, 0)) * std::max(frame.level.height, 0) *
                        int64_t(levelGrid::CELL_BYTES) <
                    (int64_t(1) << 31);
    if (plan.w == 0) return;
    if (underlay == Underlay::sky) planSky(plan);
    if (walls) {
        planRows(plan);
        planRays(plan);
        planTextures(plan);
    }
    if (sprites) planSprites(plan);
    if (plan.h == 0 && !walls) return;
    int64_t tiles = (plan.w + TILE_COLUMNS - 1) / TILE_COLUMNS;
    int32_t threads = frame.threads > 0 ? frame.threads : renderThreadCount(plan.w, plan.h);
    workers::run(threads, tiles, drawTask, &plan);
}

} // namespace

int32_t renderThreadCount(int32_t width, int32_t height) {
    if (int64_t(width) * int64_t(height) < THREADED_PIXELS) return 1;
    return std::min(workers::hardwareThreads(), MAX_THREADS);
}

int32_t parseRenderThreads(const char* text) {
    if (!text || *text < '0' || *text > '9') return 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 64) return 0;
    return int32_t(value);
}

void renderFrame(const Frame& frame) {
    bool sky = usable(frame.level.sky);
    draw(frame, sky ? Underlay::sky : Underlay::background, true, true);
}

void renderWalls(const Frame& frame) {
    draw(frame, Underlay::keep, true, true);
}

void renderSprites(const Frame& frame) {
    draw(frame, Underlay::keep, false, true);
}

void renderSky(const Frame& frame) {
    if (!usable(frame.level.sky) || frame.target.width <= 0 || frame.target.height <= 0) return;
    Plan& plan = workspace();
    plan.frame = &frame;
    plan.underlay = Underlay::sky;
    plan.w = frame.target.width;
    plan.h = frame.target.height;
    plan.horizon = horizonRow(plan.h, frame.camera.pitch);
    plan.build = &widestBuild();
    planSky(plan);
    int64_t bands = (plan.h + SKY_ROWS - 1) / SKY_ROWS;
    int32_t threads = frame.threads > 0 ? frame.threads : renderThreadCount(plan.w, plan.h);
    workers::run(threads, bands, skyTask, &plan);
}

} // namespace raycast
