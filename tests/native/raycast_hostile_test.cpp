// Frames that the drawing rules leave undefined or that would overrun a buffer if
// drawn literally: cameras off the map or not finite, huge pitches, zero and negative
// ratios, empty targets, walls in the eye, texture indices past the textures, broken
// sprites. Each must draw without touching memory outside its buffers (the sanitized
// run checks that), agree with the plain frame, and leave the rows' padding alone.
#include "check.hpp"
#include "raycast_reference.hpp"
#include "raycast_scenes.hpp"

#include <cmath>
#include <limits>
#include <vector>

using namespace raycast;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

struct Canvas {
    int32_t width, height;
    size_t stride;
    std::vector<uint32_t> pixels;
    std::vector<RayHit> hits;
    Canvas(int32_t w, int32_t h)
        : width(w), height(h), stride(size_t(w) + 2), pixels(stride * size_t(h) + 2, 0xdeadbeefu),
          hits(size_t(w)) {}
    bool paddingIntact() const {
        for (int32_t y = 0; y < height; ++y)
            for (size_t x = size_t(width); x < stride; ++x)
                if (pixels[size_t(y) * stride + x] != 0xdeadbeefu) return false;
        return pixels.back() == 0xdeadbeefu && pixels[pixels.size() - 2] == 0xdeadbeefu;
    }
};

// Draws the frame with the reference and with the core on one and on three threads;
// true when all three agree and no padding was written.
bool drawsSafely(const scenes::Scene& scene, const CameraView& camera, int32_t width,
                 int32_t height, const std::vector<SpriteDraw>& sprites) {
    Canvas expected(width, height);
    Frame frame;
    frame.level = scene.view(true);
    frame.camera = camera;
    frame.flashlight = scene.flashlight.area();
    frame.sprites = sprites.data();
    frame.spriteCount = sprites.size();
    frame.target = {expected.pixels.data(), expected.stride, width, height};
    frame.hits = expected.hits.data();
    reference::renderFrame(frame);
    if (!expected.paddingIntact()) return false;
    for (int32_t threads : {1, 3}) {
        Canvas actual(width, height);
        frame.target = {actual.pixels.data(), actual.stride, width, height};
        frame.hits = actual.hits.data();
        frame.threads = threads;
        renderFrame(frame);
        if (!actual.paddingIntact() || actual.pixels != expected.pixels) {
            std::fprintf(stderr, "camera (%g, %g) dir (%g, %g) fov %d pitch %d ratio %g, %dx%d\n",
                         camera.pos.x, camera.pos.y, camera.dir.x, camera.dir.y, camera.fov,
                         camera.pitch, camera.ratio, width, height);
            return false;
        }
    }
    return true;
}

std::vector<SpriteDraw> prepared(const scenes::Scene& scene, const CameraView& camera) {
    std::vector<SpriteDraw> sprites = scene.sprites;
    prepareSprites(camera.pos, sprites.data(), sprites.size(), 1 / 60.0);
    return sprites;
}

} // namespace

NATIVE_TEST(hostileCamerasDrawInsideTheirBuffers) {
    scenes::Scene scene = scenes::representativeLevel(12);
    CameraView base = scenes::camera({3.5, 3.5}, {0.6, 0.8}, 60, 10, 1.6);
    struct Case {
        Vec2 pos, dir;
        int32_t fov, pitch;
        double ratio;
    } cases[] = {
        {{-1, 2}, {1, 0}, 60, 0, 1.6},            // off the map, looking in
        {{32.0, 5}, {-1, 0}, 60, 0, 1.6},         // on the far border
        {{5, 32.0}, {0, -1}, 60, 0, 1.6},         //
        {{NaN, 3}, {1, 0}, 60, 0, 1.6},           // not a number
        {{INF, -INF}, {1, 0}, 60, 0, 1.6},        //
        {{3.5, 3.5}, {NaN, NaN}, 60, 0, 1.6},     // a direction that is not a number
        {{3.5, 3.5}, {0, 0}, 60, 0, 1.6},         // a zero direction
        {{3.5, 3.5}, {1, 0}, 60, INT32_MAX, 1.6}, // horizons far off the target
        {{3.5, 3.5}, {1, 0}, 60, INT32_MIN, 1.6},
        {{3.5, 3.5}, {1, 0}, 60, 150, 1.6},
        {{3.5, 3.5}, {1, 0}, 60, -150, 1.6},
        {{3.5, 3.5}, {1, 0}, 60, 0, 0.0}, // ratios that give no picture
        {{3.5, 3.5}, {1, 0}, 60, 0, -0.0},
        {{3.5, 3.5}, {1, 0}, 60, 0, -1.6},
        {{3.5, 3.5}, {1, 0}, 60, 0, NaN},
        {{3.5, 3.5}, {1, 0}, 60, 0, 1e-300},
        {{3.5, 3.5}, {1, 0}, 60, 0, 1e300},
        {{3.5, 3.5}, {1, 0}, 0, 0, 1.6}, // fields of view
        {{3.5, 3.5}, {1, 0}, -90, 0, 1.6},
        {{3.5, 3.5}, {1, 0}, 720, 0, 1.6},
        {{3.5, 3.5}, {1, 0}, INT32_MAX, 0, 1.6},
        {{3.5, 3.5}, {1, 0}, INT32_MIN, 0, 1.6},
        {{1.0, 2.5}, {-1, 0}, 60, 0, 1.6}, // walls in the eye
        {{1.000000001, 2.5}, {-1, 0}, 60, 0, 1.6},
        {{1.00000002, 2.5}, {-1, 0}, 60, 0, 1.6},
    };
    // The eye right at a wall needs an empty cell beside the border.
    *scene.cell(1, 2) = levelGrid::EMPTY;
    for (const Case& c : cases) {
        CameraView camera = scenes::camera(c.pos, c.dir, c.fov, c.pitch, c.ratio);
        CHECK(drawsSafely(scene, camera, 48, 30, prepared(scene, camera)));
    }
    const int32_t sizes[][2] = {{0, 0}, {0, 10}, {10, 0}, {1, 1}, {2, 1}, {1, 3}};
    for (const auto& size : sizes)
        CHECK(drawsSafely(scene, base, size[0], size[1], prepared(scene, base)));
}

NATIVE_TEST(textureIndicesPastTheTexturesAreNeverRead) {
    scenes::Scene scene = scenes::representativeLevel(0);
    for (int32_t y = 0; y < scene.height; ++y)
        for (int32_t x = 0; x < scene.width; ++x) {
            uint8_t* cell = scene.cell(x, y);
            if ((x + y) % 3 == 0) cell[levelGrid::FLOOR] = 200;
            if ((x + y) % 4 == 0) cell[levelGrid::CEILING] = 6; // one past the last
            for (int32_t face = levelGrid::NORTH; face <= levelGrid::WEST; ++face)
                if ((x * 7 + y + face) % 3 == 0) cell[face] = 254;
        }
    scenes::Random random(5);
    for (int pose = 0; pose < 12; ++pose) {
        scene.fog.density = pose % 2 ? 3 : 400; // total fog draws the fog colour anyway
        CameraView camera = scenes::randomCamera(scene, random);
        CHECK(drawsSafely(scene, camera, 64, 40, {}));
    }
    // A wall face past the textures is drawn in the fog colour.
    scenes::Scene empty = scenes::emptyLevel();
    for (size_t cell = 0; cell < empty.cells.size(); cell += 7)
        for (int32_t face = levelGrid::NORTH; face <= levelGrid::WEST; ++face)
            empty.cells[cell + size_t(face)] = 9;
    empty.fog.color = 0xff203040u;
    Canvas canvas(16, 100);
    Frame frame;
    frame.level = empty.view(false);
    frame.camera = scenes::camera({2.5, 2.5}, {1, 0}, 60, 0, 1.6);
    frame.target = {canvas.pixels.data(), canvas.stride, 16, 100};
    frame.hits = canvas.hits.data();
    renderFrame(frame);
    CHECK(canvas.hits[8].outOfMap == 0 && canvas.hits[8].textureIndex == 9);
    CHECK_EQ(canvas.pixels[50 * canvas.stride + 8], 0xff203040u);
}

NATIVE_TEST(brokenSpritesSkipOnlyThemselves) {
    scenes::Scene scene = scenes::representativeLevel(10);
    CameraView camera = scenes::camera({3.5, 3.5}, {0.6, 0.8}, 60, 10, 1.6);
    std::vector<SpriteDraw> good = prepared(scene, camera);
    std::vector<SpriteDraw> mixed = good;
    auto broken = [&](auto change) {
        SpriteDraw sprite = good.front();
        sprite.position = {camera.pos.x + 0.6 * 2, camera.pos.y + 0.8 * 2};
        change(sprite);
        return sprite;
    };
    mixed.push_back(broken([](SpriteDraw& s) { s.directions = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.frameCount = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.progress = 5.0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.progress = -0.5; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.position = {NaN, 3}; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.position = {INF, 3}; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.scale = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.scale = -1; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.scale = NaN; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.zOffset = INF; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.xFrames = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.currentMinFrame = 1000; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.currentMinFrame = -3; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.frameWidth = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) { s.drawable = 0; }));
    mixed.push_back(broken([](SpriteDraw& s) {
        s.position = {3.5 + 1e6 * 0.6, 3.5 + 1e6 * 0.8};
    })); // half size 0
    mixed.push_back(broken([](SpriteDraw& s) {
        s.position = {3.5 + 0.6e-12, 3.5 + 0.8e-12};
    })); // a half size beyond 32 bits
    mixed.push_back(broken([](SpriteDraw& s) {
        s.position = {3.5 - 0.8 * 2, 3.5 + 0.6 * 2};
    })); // beside the camera: its depth is only what turning by 360 degrees leaves
    // Drawn last (nearest), the broken ones would cover everything if they were drawn.
    Canvas alone(64, 40), together(64, 40);
    Frame frame;
    frame.level = scene.view(true);
    frame.camera = camera;
    frame.hits = alone.hits.data();
    frame.target = {alone.pixels.data(), alone.stride, 64, 40};
    frame.sprites = good.data();
    frame.spriteCount = good.size();
    renderFrame(frame);
    frame.hits = together.hits.data();
    frame.target = {together.pixels.data(), together.stride, 64, 40};
    frame.sprites = mixed.data();
    frame.spriteCount = mixed.size();
    renderFrame(frame);
    CHECK(together.pixels == alone.pixels);
    CHECK(drawsSafely(scene, camera, 64, 40, mixed));

    // Valid, only extreme: they draw, and stay inside the target.
    std::vector<SpriteDraw> extreme = good;
    extreme.push_back(broken([](SpriteDraw& s) {
        s.position = {3.5 + 0.6e-8, 3.5 + 0.8e-8}; // a half size of nearly 2^31
    }));
    extreme.push_back(broken([](SpriteDraw& s) { s.scale = 1e200; }));
    extreme.push_back(broken([](SpriteDraw& s) { s.zOffset = -1e12; }));
    CHECK(drawsSafely(scene, camera, 64, 40, extreme));
}

NATIVE_TEST(renderThreadCountsAreReadSafely) {
    CHECK_EQ(parseRenderThreads(nullptr), 0);
    CHECK_EQ(parseRenderThreads(""), 0);
    CHECK_EQ(parseRenderThreads("4"), 4);
    CHECK_EQ(parseRenderThreads("64"), 64);
    CHECK_EQ(parseRenderThreads("65"), 0);
    CHECK_EQ(parseRenderThreads("0"), 0);
    CHECK_EQ(parseRenderThreads("-2"), 0);
    CHECK_EQ(parseRenderThreads("3x"), 0);
    CHECK_EQ(parseRenderThreads("99999999999999999999"), 0);
    CHECK_EQ(renderThreadCount(100, 100), 1);
    CHECK(renderThreadCount(1280, 720) >= 1 && renderThreadCount(1280, 720) <= 8);
}
