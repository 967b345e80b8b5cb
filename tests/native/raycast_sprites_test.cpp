// Sprite arithmetic without pixels: animation steps, the far-to-near order, the frame
// picked from progress and viewing angle, picking, and the screen queries.
#include "check.hpp"
#include "core/raycastQueries.hpp"
#include "core/raycastSprites.hpp"

#include <cmath>
#include <limits>
#include <vector>

using namespace raycast;

namespace {

bool near(double a, double b) {
    return std::fabs(a - b) < 1e-12;
}

SpriteDraw animated(int32_t frameCount, int32_t directions) {
    SpriteDraw sprite;
    sprite.frameCount = frameCount;
    sprite.directions = directions;
    sprite.currentDirections = directions;
    sprite.xFrames = 4;
    sprite.frameWidth = sprite.frameHeight = 8;
    sprite.sheet = {nullptr, 32, 32, 32}; // 4 x 4 frames
    return sprite;
}

} // namespace

NATIVE_TEST(animationStepsWrapAtTheEnds) {
    double progress = 0.9, speed = 2.0;
    advanceAnimation(progress, speed, 0.1, 4, 0); // 1.1: restarts at 0, not 0.1
    CHECK(progress == 0.0 && speed == 2.0);

    progress = 0.95, speed = 1.0;
    advanceAnimation(progress, speed, 0.1, 4, 1); // turns and steps back a frame
    CHECK(speed == -1.0 && near(progress, 0.8));
    progress = 0.05, speed = -1.0;
    advanceAnimation(progress, speed, 0.1, 4, 1);
    CHECK(speed == 1.0 && near(progress, 0.2));

    progress = 0.5, speed = 3.0;
    advanceAnimation(progress, speed, 0.1, 0, 1); // no frames: left alone
    CHECK(progress == 0.5 && speed == 3.0);
}

NATIVE_TEST(spritesSortFarToNearKeepingTies) {
    std::vector<SpriteDraw> sprites(5);
    const double xs[] = {3, 1, 3, 7, std::numeric_limits<double>::quiet_NaN()};
    for (uint32_t i = 0; i < 5; ++i) {
        sprites[i].index = i;
        sprites[i].position = {xs[i], 0};
        sprites[i].frameCount = 2;
        sprites[i].speed = 1;
    }
    sprites[1].drawable = 0;
    prepareSprites(Vec2{0, 0}, sprites.data(), sprites.size(), 0.25);
    const uint32_t order[] = {4, 3, 0, 2, 1}; // not a number counts as farthest
    for (size_t i = 0; i < 5; ++i)
        CHECK_EQ(sprites[i].index, order[i]);
    CHECK(sprites[2].dist == 3.0 && sprites[2].progress == 0.25);
    CHECK(sprites[4].progress == 0.0); // not drawable: not stepped
}

NATIVE_TEST(viewingAngleChoosesTheDirectionalFrame) {
    // Facing the camera: angle 1.0, direction 0; seen from behind: direction D / 2.
    CHECK(angleToCamera(Vec2{-2, 0}, Vec2{-1, 0}) == 1.0);
    SpriteDraw sprite = animated(2, 8);
    sprite.angleToCam = angleToCamera(Vec2{-2, 0}, Vec2{-1, 0});
    CHECK_EQ(spriteFrame(sprite), 0);
    sprite.angleToCam = angleToCamera(Vec2{-2, 0}, Vec2{1, 0});
    CHECK_EQ(spriteFrame(sprite), 4);
    sprite.progress = 0.6; // second step: 8 frames further
    CHECK_EQ(spriteFrame(sprite), 12);
    sprite.currentMinFrame = 2;
    CHECK_EQ(spriteFrame(sprite), 14);
}

NATIVE_TEST(spritesWithoutAValidFrameAreNotDrawn) {
    struct Case {
        int32_t frameCount, directions, xFrames, minFrame;
        double progress;
    } cases[] = {
        {0, 1, 4, 0, 0.0},  {4, 0, 4, 0, 0.0},  {4, 1, 0, 0, 0.0},
        {4, 1, 4, 0, 1.0},  {4, 1, 4, 0, -0.1}, {4, 1, 4, 0, std::nan("")},
        {4, 1, 4, 16, 0.0}, {4, 1, 4, -1, 0.0}, {4, -3, 4, 0, 0.5},
    };
    for (const Case& c : cases) {
        SpriteDraw sprite = animated(c.frameCount, c.directions);
        sprite.xFrames = c.xFrames;
        sprite.currentMinFrame = c.minFrame;
        sprite.progress = c.progress;
        sprite.angleToCam = 1.0;
        CHECK_EQ(spriteFrame(sprite), -1);
    }
    SpriteDraw last = animated(4, 1);
    last.currentMinFrame = 12;
    last.progress = 0.99;
    last.angleToCam = 1.0;
    CHECK_EQ(spriteFrame(last), 15); // the last cell of the sheet
}

NATIVE_TEST(pickingFindsTheNearestSquareInFrontOfTheWall) {
    PickView view;
    view.cameraPos = {0, 0};
    view.cameraDir = {1, 0};
    view.width = 640;
    view.height = 480;
    view.pitch = 0;
    view.ratio = 1.6;
    std::vector<Vec2> positions = {{3, 0}, {2, 0}, {-2, 0}, {4, 0.01}};
    std::vector<double> dists(positions.size());
    std::vector<uint32_t> order(positions.size());
    // Both first squares cover the centre: the nearer wins, whatever the list order.
    CHECK_EQ(pickSprite(view, 10.0, 320, 240.0, positions.data(), 4, dists.data(), order.data()),
             1);
    CHECK(dists[0] == 3.0 && dists[2] == 2.0);
    CHECK_EQ(order[0], 3u);
    CHECK_EQ(order[3], 2u); // equal distances keep their order: (2, 0) before (-2, 0)
    // A wall at 2.5 hides the one at 3 (and 4); one exactly at the wall counts.
    CHECK_EQ(pickSprite(view, 2.0, 320, 240.0, positions.data(), 1, dists.data(), order.data()),
             -1);
    CHECK_EQ(pickSprite(view, 3.0, 320, 240.0, positions.data(), 1, dists.data(), order.data()), 0);
    // Behind the camera never.
    CHECK_EQ(
        pickSprite(view, 10.0, 320, 240.0, positions.data() + 2, 1, dists.data(), order.data()),
        -1);
    // The unscaled square: size int(480 / 1.6 / 2) = 150, rows 90 to 389; its centre
    // int(320 - 640 * sin(2 pi) * ...) is 319, so columns 169 to 468.
    CHECK_EQ(pickSprite(view, 10.0, 320, 89.0, positions.data() + 1, 1, dists.data(), order.data()),
             -1);
    CHECK_EQ(pickSprite(view, 10.0, 320, 90.0, positions.data() + 1, 1, dists.data(), order.data()),
             0);
    CHECK_EQ(
        pickSprite(view, 10.0, 468, 389.5, positions.data() + 1, 1, dists.data(), order.data()), 0);
    CHECK_EQ(
        pickSprite(view, 10.0, 469, 240.0, positions.data() + 1, 1, dists.data(), order.data()),
        -1);
    // Right beside the camera the depth is what turning by 360 degrees leaves (about
    // 5e-16): a square whose half size passes 32 bits, which covers nothing.
    Vec2 beside{0, 2};
    CHECK_EQ(pickSprite(view, 10.0, 320, 240.0, &beside, 1, dists.data(), order.data()), -1);
}

NATIVE_TEST(screenQueriesSplitFloorWallAndCeiling) {
    RayHit column;
    column.dist = 2.0;
    column.rayDir = {0, 1};
    column.side = levelGrid::NORTH;
    column.cellX = 7;
    column.cellY = 9;
    Vec2 camera{2.5, 2.5};
    // h 480, pitch 20, ratio 1.6: horizon 260, base 300, wall half height 150.
    CHECK_EQ(screenToWorld(column, 411, 480, 20, 1.6, camera).kind, levelGrid::FLOOR);
    CHECK_EQ(screenToWorld(column, 109, 480, 20, 1.6, camera).kind, levelGrid::CEILING);
    ScreenPoint wall = screenToWorld(column, 410, 480, 20, 1.6, camera);
    CHECK(wall.kind == levelGrid::NORTH && wall.cellX == 7 && wall.cellY == 9);
    CHECK_EQ(screenToWorld(column, 110, 480, 20, 1.6, camera).kind, levelGrid::NORTH);
    ScreenPoint floor = screenToWorld(column, 420, 480, 20, 1.6, camera);
    CHECK(floor.world.x == 2.5 && floor.world.y == 4.375);
    ScreenPoint ceiling = screenToWorld(column, 100, 480, 20, 1.6, camera);
    CHECK(ceiling.kind == levelGrid::CEILING && ceiling.world.y == 4.375);
    column.outOfMap = 1; // no wall: only the horizon row itself is neither
    CHECK_EQ(screenToWorld(column, 261, 480, 20, 1.6, camera).kind, levelGrid::FLOOR);
    column.outOfMap = 0;
    column.dist = 1e-300; // a wall in the eye: the half height saturates
    CHECK_EQ(screenToWorld(column, 479, 480, 20, 1.6, camera).kind, levelGrid::NORTH);
}
