// The optimised frame against the plain one, byte for byte, over many camera poses of
// the representative and the empty level, on one thread and on several.
#include "check.hpp"
#include "core/instructions.hpp"
#include "core/raycastShading.hpp"
#include "raycast_reference.hpp"
#include "raycast_scenes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace raycast;

namespace {

struct Picture {
    int32_t width, height;
    size_t stride;
    std::vector<uint32_t> pixels;
    std::vector<RayHit> hits;
    Picture(int32_t w, int32_t h, size_t padding = 0)
        : width(w), height(h), stride(size_t(w) + padding),
          pixels(stride * size_t(h) + 1, 0xdeadbeefu), hits(size_t(w) + 1) {}
    pixels::Area area() { return {pixels.data(), stride, width, height}; }
};

bool sameHit(const RayHit& a, const RayHit& b) {
    return a.blockType == b.blockType && a.hitPos.x == b.hitPos.x && a.hitPos.y == b.hitPos.y &&
           a.rayDir.x == b.rayDir.x && a.rayDir.y == b.rayDir.y && a.isYSide == b.isYSide &&
           a.outOfMap == b.outOfMap && a.textureIndex == b.textureIndex && a.dist == b.dist &&
           a.side == b.side && a.cellX == b.cellX && a.cellY == b.cellY &&
           a.normal.x == b.normal.x && a.normal.y == b.normal.y;
}

bool sameSprites(const std::vector<SpriteDraw>& a, const std::vector<SpriteDraw>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].index != b[i].index || a[i].dist != b[i].dist ||
            a[i].angleToCam != b[i].angleToCam || a[i].progress != b[i].progress ||
            a[i].speed != b[i].speed)
            return false;
    return true;
}

// Renders the pose with both and reports the first difference on stderr.
bool framesAgree(const scenes::Scene& scene, const CameraView& camera, int32_t width,
                 int32_t height, int32_t threads, bool sky, bool flashlight, double timeStep) {
    std::vector<SpriteDraw> expectedSprites = scene.sprites, actualSprites = scene.sprites;
    reference::prepareSprites(camera.pos, expectedSprites.data(), expectedSprites.size(), timeStep);
    prepareSprites(camera.pos, actualSprites.data(), actualSprites.size(), timeStep);
    if (!sameSprites(expectedSprites, actualSprites)) {
        std::fprintf(stderr, "prepared sprites differ\n");
        return false;
    }
    Picture expected(width, height), actual(width, height, 3);
    Frame frame;
    frame.level = scene.view(sky);
    frame.camera = camera;
    if (flashlight) frame.flashlight = scene.flashlight.area();
    frame.sprites = expectedSprites.data();
    frame.spriteCount = expectedSprites.size();
    frame.target = expected.area();
    frame.hits = expected.hits.data();
    reference::renderFrame(frame);
    frame.target = actual.area();
    frame.hits = actual.hits.data();
    frame.threads = threads;
    frame.sprites = actualSprites.data();
    renderFrame(frame);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t e = expected.pixels[size_t(y) * expected.stride + size_t(x)];
            uint32_t a = actual.pixels[size_t(y) * actual.stride + size_t(x)];
            if (e != a) {
                std::fprintf(stderr,
                             "pixel (%d, %d) is %08x, expected %08x; camera (%.17g, %.17g) dir "
                             "(%.17g, %.17g) fov %d pitch %d ratio %.17g, %dx%d\n",
                             x, y, a, e, camera.pos.x, camera.pos.y, camera.dir.x, camera.dir.y,
                             camera.fov, camera.pitch, camera.ratio, width, height);
                return false;
            }
        }
    for (int32_t y = 0; y < height; ++y) // the padding between rows stays untouched
        for (size_t x = size_t(width); x < actual.stride; ++x)
            if (actual.pixels[size_t(y) * actual.stride + x] != 0xdeadbeefu) return false;
    for (int32_t x = 0; x < width; ++x)
        if (!sameHit(expected.hits[size_t(x)], actual.hits[size_t(x)])) {
            std::fprintf(stderr, "hit of column %d differs\n", x);
            return false;
        }
    return true;
}

// Runs `test` once with each build of the frame the processor can run: the baseline,
// AVX2 and AVX-512.
template <class Test> void withEveryInstructionSet(Test test) {
    for (instructions::Set set :
         {instructions::Set::plain, instructions::Set::avx2, instructions::Set::avx512}) {
        instructions::limit(set);
        test();
    }
    instructions::limit(instructions::Set::avx512);
}

} // namespace

NATIVE_TEST(frameMatchesReferenceOnTheRepresentativeLevel) {
    scenes::Scene scene = scenes::representativeLevel();
    scenes::Random random(11);
    for (int pose = 0; pose < 60; ++pose) {
        CameraView camera = scenes::randomCamera(scene, random);
        bool sky = pose % 4 != 3;
        bool flashlight = pose % 3 != 2;
        CHECK(framesAgree(scene, camera, 160, 100, 1, sky, flashlight, 1 / 60.0));
    }
}

NATIVE_TEST(frameMatchesReferenceOnSeveralThreadsAndOddSizes) {
    scenes::Scene scene = scenes::representativeLevel();
    scenes::Random random(12);
    const int32_t sizes[][2] = {{320, 200}, {97, 61}, {33, 240}, {1, 7}, {250, 1}};
    for (int pose = 0; pose < 30; ++pose) {
        CameraView camera = scenes::randomCamera(scene, random);
        const int32_t* size = sizes[pose % 5];
        CHECK(
            framesAgree(scene, camera, size[0], size[1], 2 + pose % 3, true, pose % 2 == 0, 0.05));
    }
}

NATIVE_TEST(frameMatchesReferenceOnTheEmptyLevel) {
    scenes::Scene scene = scenes::emptyLevel();
    scenes::Random random(13);
    for (int pose = 0; pose < 30; ++pose) {
        CameraView camera = scenes::randomCamera(scene, random);
        CHECK(framesAgree(scene, camera, 128, 96, pose % 2 ? 4 : 1, false, pose % 3 == 0, 0.0));
    }
}

NATIVE_TEST(frameMatchesReferenceWithoutGroundFogAndWithoutFog) {
    scenes::Scene scene = scenes::representativeLevel(20);
    scenes::Random random(14);
    for (int pose = 0; pose < 20; ++pose) {
        scene.fog.groundDensity = pose % 2 ? 0 : 200;
        scene.fog.density = pose % 4 < 2 ? 0 : 60;
        CameraView camera = scenes::randomCamera(scene, random);
        CHECK(framesAgree(scene, camera, 120, 90, 1, true, true, 0.3));
    }
}

// Each build of the frame the processor can run: the baseline, AVX2 and AVX-512.
NATIVE_TEST(frameMatchesReferenceWithEveryInstructionSet) {
    const instructions::Set sets[] = {instructions::Set::plain, instructions::Set::avx2,
                                      instructions::Set::avx512};
    for (instructions::Set set : sets) {
        instructions::limit(set);
        scenes::Scene scene = scenes::representativeLevel();
        scenes::Random random(15);
        for (int pose = 0; pose < 20; ++pose) {
            CameraView camera = scenes::randomCamera(scene, random);
            CHECK(framesAgree(scene, camera, 150, 90, 1 + pose % 3, pose % 3 != 0, pose % 2 == 0,
                              1 / 30.0));
        }
    }
    instructions::limit(instructions::Set::avx512);
}

NATIVE_TEST(passesRunOneByOneGiveTheWholeFrame) {
    scenes::Scene scene = scenes::representativeLevel(30);
    scenes::Random random(16);
    for (int pose = 0; pose < 8; ++pose) {
        CameraView camera = scenes::randomCamera(scene, random);
        std::vector<SpriteDraw> sprites = scene.sprites;
        prepareSprites(camera.pos, sprites.data(), sprites.size(), 0.02);
        Picture whole(96, 64), parts(96, 64);
        Frame frame;
        frame.level = scene.view(true);
        frame.camera = camera;
        frame.flashlight = scene.flashlight.area();
        frame.sprites = sprites.data();
        frame.spriteCount = sprites.size();
        frame.target = whole.area();
        frame.hits = whole.hits.data();
        frame.threads = 2;
        renderFrame(frame);
        // The sky, then the walls without sprites, then the sprites on their own.
        frame.target = parts.area();
        frame.hits = parts.hits.data();
        renderSky(frame);
        frame.spriteCount = 0;
        renderWalls(frame);
        frame.spriteCount = sprites.size();
        renderSprites(frame);
        CHECK(whole.pixels == parts.pixels);
        // Without a sky, the walls over the background colour.
        frame.level = scene.view(false);
        frame.target = whole.area();
        frame.hits = whole.hits.data();
        renderFrame(frame);
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 96; ++x)
                parts.pixels[size_t(y) * parts.stride + size_t(x)] = BACKGROUND;
        frame.target = parts.area();
        frame.hits = parts.hits.data();
        renderWalls(frame);
        CHECK(whole.pixels == parts.pixels);
    }
}

// Scenes that send the floor, ceiling, wall, flashlight and sky through every way the
// frame draws them, with each build: textures whose sides are not powers of two, floors
// running off the map's edge, a flashlight that ends a few rows into the walls, skies
// narrower and wider than the view.
NATIVE_TEST(frameMatchesReferenceOnUnusualMapsTexturesAndSkies) {
    struct Case {
        const char* name;
        void (*change)(scenes::Scene& scene);
        int32_t fov;
    } cases[] = {
        {"floors and ceilings of odd sizes",
         [](scenes::Scene& scene) {
             scene.addTexture(scenes::noise(24, 40, 31, false));
             scene.addTexture(scenes::noise(64, 1, 32, false));
             for (int32_t y = 0; y < scene.height; ++y)
                 for (int32_t x = 0; x < scene.width; ++x) {
                     scene.cell(x, y)[levelGrid::FLOOR] = uint8_t(x < 16 ? 3 : 6);
                     if (scene.cell(x, y)[levelGrid::CEILING] != levelGrid::TEXTURE_NONE)
                         scene.cell(x, y)[levelGrid::CEILING] = uint8_t(y < 16 ? 7 : 3);
                 }
         },
         60},
        {"no walls round the map, so that floors end at its edges",
         [](scenes::Scene& scene) {
             for (int32_t y = 0; y < scene.height; ++y)
                 for (int32_t x = 0; x < scene.width; ++x)
                     if (x == 0 || y == 0 || x == scene.width - 1 || y == scene.height - 1)
                         *scene.cell(x, y) = levelGrid::EMPTY;
         },
         75},
        {"a flashlight a few rows high",
         [](scenes::Scene& scene) { scene.flashlight = scenes::noise(48, 5, 36, false); }, 60},
        {"a sky narrower than the view's columns",
         [](scenes::Scene& scene) { scene.sky = scenes::noise(40, 8, 33, false); }, 90},
        {"a sky much wider than the view's columns",
         [](scenes::Scene& scene) { scene.sky = scenes::noise(8192, 16, 34, false); }, 45},
    };
    withEveryInstructionSet([&] {
        for (const Case& c : cases) {
            scenes::Scene scene = scenes::representativeLevel(10);
            c.change(scene);
            scenes::Random random(17);
            for (int pose = 0; pose < 16; ++pose) {
                CameraView camera = scenes::randomCamera(scene, random);
                camera.fov = c.fov;
                if (pose % 4 == 0) camera.dir = {1, 0}; // the sky's seam and axis-aligned rays
                camera.skyDegrees = viewDegrees(camera.dir);
                bool agree = framesAgree(scene, camera, 136, 72, 1 + pose % 3, true, pose % 2 == 0,
                                         1 / 60.0);
                if (!agree) std::fprintf(stderr, "in the scene with %s\n", c.name);
                CHECK(agree);
            }
        }
    });
}

// A corridor thousands of cells long: a position on it keeps fewer bits for the texel
// within its cell than one on a small map, fewer than a texture whose rows lie far apart
// (its second floor texture) takes for its row's offset.
NATIVE_TEST(frameMatchesReferenceInALongCorridor) {
    scenes::Scene scene = scenes::emptyLevel();
    scene.width = 3000;
    scene.height = 3;
    scene.cells.assign(size_t(scene.width) * 3 * 7, 0);
    scene.addTexture(scenes::noise(128, 128, 35, false));
    scene.addTexture(scenes::padded(scenes::noise(64, 64, 37, false), 8192));
    for (int32_t x = 0; x < scene.width; ++x) {
        *scene.cell(x, 0) = *scene.cell(x, 2) = levelGrid::SQUARE;
        scene.cell(x, 1)[levelGrid::FLOOR] = uint8_t(x % 3 == 0 ? 1 : x % 3 == 1 ? 0 : 2);
        scene.cell(x, 1)[levelGrid::CEILING] = uint8_t(x % 5 == 0 ? levelGrid::TEXTURE_NONE : 1);
    }
    *scene.cell(2999, 1) = levelGrid::SQUARE;
    scene.fog.density = 0;
    withEveryInstructionSet([&] {
        scenes::Random random(18);
        for (int pose = 0; pose < 12; ++pose) {
            double x = random.uniform(1.0, 2990.0), y = random.uniform(1.05, 1.95);
            double angle = random.uniform(-0.4, 0.4), ratio = random.uniform(0.9, 2.2);
            int32_t pitch = random.below(41) - 20;
            CameraView camera =
                scenes::camera({x, y}, {std::cos(angle), std::sin(angle)}, 60, pitch, ratio);
            CHECK(framesAgree(scene, camera, 128, 80, 1 + pose % 2, false, pose % 2 == 0, 0.0));
        }
    });
}

// The sky alone, drawn in bands of whole rows: widths that leave groups of sixteen, of
// eight and single columns, the seam where the view angle wraps, skies narrower and
// wider than the view, on one thread and several, with every build of the frame.
NATIVE_TEST(skyAloneMatchesReference) {
    scenes::Scene scene = scenes::representativeLevel(0);
    struct Case {
        int32_t width, height, skyWidth, fov;
        double degrees;
    } cases[] = {
        {200, 40, 1024, 60, 0.0},  {157, 33, 1024, 60, 359.9}, {64, 17, 40, 90, 123.4},
        {31, 9, 8192, 45, -0.001}, {1, 5, 16, 720, 5.0},       {344, 3, 360, 61, 270.0},
    };
    for (instructions::Set set :
         {instructions::Set::plain, instructions::Set::avx2, instructions::Set::avx512}) {
        instructions::limit(set);
        for (const Case& c : cases) {
            scene.sky = scenes::noise(c.skyWidth, 24, 41, false);
            Picture expected(c.width, c.height), actual(c.width, c.height, 5);
            Frame frame;
            frame.level = scene.view(true);
            frame.camera = scenes::camera({3.5, 3.5}, {1, 0}, c.fov, 7, 1.6);
            frame.camera.skyDegrees = c.degrees;
            frame.target = expected.area();
            reference::renderSky(frame);
            frame.target = actual.area();
            frame.threads = c.width % 2 ? 3 : 1;
            renderSky(frame);
            bool same = true;
            for (int32_t y = 0; y < c.height; ++y)
                for (int32_t x = 0; x < c.width; ++x)
                    same &= expected.pixels[size_t(y) * expected.stride + size_t(x)] ==
                            actual.pixels[size_t(y) * actual.stride + size_t(x)];
            for (int32_t y = 0; y < c.height; ++y) // the padding stays untouched
                for (size_t x = size_t(c.width); x < actual.stride; ++x)
                    same &= actual.pixels[size_t(y) * actual.stride + x] == 0xdeadbeefu;
            if (!same)
                std::fprintf(stderr, "sky of %dx%d, %d wide, fov %d, %g degrees\n", c.width,
                             c.height, c.skyWidth, c.fov, c.degrees);
            CHECK(same);
        }
    }
    instructions::limit(instructions::Set::avx512);
}

namespace {

// The first floor row under a column's wall and that row's own distance, where that
// distance passes the wall's (the half height was rounded down, or clamped to the
// target); a row of -1 where it does not, or where the column has no wall.
struct Seam {
    int64_t row = -1;
    double rowDist = 0;
};

Seam seamOf(const RayHit& hit, int32_t height, const CameraView& camera) {
    Seam seam;
    if (hit.outOfMap) return seam;
    double heightByRatio = height / camera.ratio;
    int64_t horizon = horizonRow(height, camera.pitch);
    int64_t bottom =
        std::min<int64_t>(horizon + truncSaturated(heightByRatio / hit.dist + 0.5), height - 1);
    double rowDist = heightByRatio / double(bottom - horizon);
    if (bottom >= 0 && rowDist > hit.dist) seam = {bottom, rowDist};
    return seam;
}

} // namespace

// In the walled empty level every ray meets a wall, and every floor and ceiling point up
// to it lies on the map: no pixel keeps the background, whatever the pose, with every
// build and thread count. The first floor row under a wall is where one could: with its
// own row distance it would show the floor behind the wall, here off the map.
NATIVE_TEST(floorAndCeilingNextToAWallNeverShowWhatLiesBeyondIt) {
    scenes::Scene scene = scenes::emptyLevel();
    const int32_t W = 640, H = 400;
    struct Pose {
        Vec2 pos;
        int32_t pitch;
        double ratio;
    } poses[] = {{{2.5, 2.5}, 20, 1.6},
                 {{15.3, 7.9}, 0, 1.6},
                 {{27.5, 27.2}, 30, 1.6},
                 {{1.2, 28.7}, -45, 1.1},
                 {{14.5, 14.5}, 0, 2.3}};
    size_t seams = 0;
    for (const Pose& pose : poses)
        for (int turn = 0; turn < 24; ++turn) {
            double angle = turn * (6.283185307179586 / 24);
            CameraView camera = scenes::camera(pose.pos, {std::sin(angle), std::cos(angle)}, 60,
                                               pose.pitch, pose.ratio);
            Picture expected(W, H);
            Frame frame;
            frame.level = scene.view(false);
            frame.camera = camera;
            frame.target = expected.area();
            frame.hits = expected.hits.data();
            reference::renderFrame(frame);
            std::vector<int64_t> offTheMap; // the rows of such seams
            for (int32_t x = 0; x < W; ++x) {
                const RayHit& hit = expected.hits[size_t(x)];
                Seam seam = seamOf(hit, H, camera);
                if (seam.row < 0) continue;
                ++seams;
                double fx = pose.pos.x + hit.rayDir.x * seam.rowDist;
                double fy = pose.pos.y + hit.rayDir.y * seam.rowDist;
                if (!(fx >= 0 && fy >= 0 && fx < 30 && fy < 30)) offTheMap.push_back(seam.row);
            }
            if (pose.pos.x == 2.5 && turn == 0) { // a new renderer's camera, facing (0, 1)
                CHECK_EQ(offTheMap.size(), size_t(149));
                for (int64_t row : offTheMap)
                    CHECK(row == 228 || row == 229);
            }
            bool same = true, covered = true;
            withEveryInstructionSet([&] {
                for (int32_t threads : {1, 3, 8}) {
                    Picture actual(W, H);
                    frame.target = actual.area();
                    frame.hits = actual.hits.data();
                    frame.threads = threads;
                    renderFrame(frame);
                    same &= actual.pixels == expected.pixels;
                    covered &=
                        std::count(actual.pixels.begin(), actual.pixels.end(), BACKGROUND) == 0;
                }
            });
            if (!same || !covered)
                std::fprintf(stderr, "at (%g, %g), turned %d / 24\n", pose.pos.x, pose.pos.y, turn);
            CHECK(same && covered);
        }
    CHECK(seams > 1000);
}

// The walls' pass alone keeps what the target held where it draws nothing: so does the
// first floor row under a wall whose floor there has no texture, though the floor
// behind the wall (a wall across the room, far enough for that row to reach past it)
// has one.
NATIVE_TEST(floorRowUnderAWallOverAnUntexturedFloorKeepsThePixel) {
    scenes::Scene scene = scenes::emptyLevel();
    for (int32_t y = 1; y < 29; ++y) {
        *scene.cell(5, y) = levelGrid::SQUARE;
        for (int32_t x = 5; x < 29; ++x)
            scene.cell(x, y)[levelGrid::FLOOR] = levelGrid::TEXTURE_NONE;
    }
    const int32_t W = 320, H = 200;
    auto paint = [](Picture& picture) {
        for (size_t i = 0; i < picture.pixels.size(); ++i)
            picture.pixels[i] = 0xff000000u | uint32_t(i * 2654435761u >> 8);
    };
    size_t kept = 0;
    for (int turn = 0; turn < 12; ++turn) {
        double angle = -1.5707963267948966 + (turn - 6) * 0.12; // about west
        Frame frame;
        frame.level = scene.view(false);
        frame.camera = scenes::camera({27.5, 15.5}, {std::sin(angle), std::cos(angle)}, 60, 0, 1.6);
        Picture expected(W, H);
        paint(expected);
        frame.target = expected.area();
        frame.hits = expected.hits.data();
        reference::renderWalls(frame);
        Picture painted(W, H);
        paint(painted);
        for (int32_t x = 0; x < W; ++x) {
            Seam seam = seamOf(expected.hits[size_t(x)], H, frame.camera);
            size_t at = size_t(seam.row) * size_t(W) + size_t(x);
            kept += seam.row >= 0 && expected.pixels[at] == painted.pixels[at];
        }
        bool same = true;
        withEveryInstructionSet([&] {
            for (int32_t threads : {1, 3}) {
                Picture actual(W, H);
                paint(actual);
                frame.target = actual.area();
                frame.hits = actual.hits.data();
                frame.threads = threads;
                renderWalls(frame);
                same &= actual.pixels == expected.pixels;
            }
        });
        CHECK(same);
    }
    CHECK(kept > 50);
}
