// Pixels of tiny levels worked out by hand from the drawing rules: the 255/256 scaling
// of unfogged colours, total fog, the sky's columns and rows, the flashlight, and the
// exact square a sprite covers (its centre column truncated).
#include "check.hpp"
#include "core/instructions.hpp"
#include "core/raycastFrame.hpp"
#include "core/raycastShading.hpp"
#include "core/raycastSprites.hpp"
#include "raycast_scenes.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace raycast;

namespace {

// A walled level of w x h cells with one texture, the camera in cell (2, 2) looking
// east, and a target of its own.
struct Tiny {
    int32_t width, height;
    std::vector<uint8_t> cells;
    std::vector<uint32_t> white;
    pixels::ConstArea texture;
    std::vector<uint32_t> pixels;
    std::vector<RayHit> hits;
    Frame frame;

    Tiny(int32_t w, int32_t h, int32_t targetWidth, int32_t targetHeight)
        : width(w), height(h), cells(size_t(w * h * 7), 0), white(16, 0xffffffffu),
          pixels(size_t(targetWidth * targetHeight)), hits(size_t(targetWidth)) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) cell(x, y)[0] = levelGrid::SQUARE;
        texture = {white.data(), 4, 4, 4};
        frame.target = {this->pixels.data(), size_t(targetWidth), targetWidth, targetHeight};
        frame.level.cells = cells.data();
        frame.level.width = w;
        frame.level.height = h;
        frame.level.textures = &texture;
        frame.level.textureCount = 1;
        frame.level.fog = levelGrid::Fog{0xff000000u, 0, 0xffffffffu, 0};
        frame.camera = scenes::camera({2.5, 2.5}, {1, 0}, 60, 0, 1.6);
        frame.hits = hits.data();
        frame.threads = 1;
    }
    uint8_t* cell(int32_t x, int32_t y) { return &cells[size_t(y * width + x) * 7]; }
    uint32_t at(int32_t x, int32_t y) const {
        return pixels[size_t(y) * frame.target.stride + size_t(x)];
    }
    void render() { renderFrame(frame); }
};

// A sprite texel over a target pixel as the rules state it, channel by channel, with a
// the texel's alpha: blending gives (a * s + (255 - a) * d) >> 8, adding
// min((d * 256 + a * s) >> 8, 255); the alpha stays the target's.
uint32_t spritePixel(uint32_t texel, uint32_t under, uint32_t mode) {
    uint32_t alpha = texel >> 24, result = under & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t s = texel >> shift & 255, d = under >> shift & 255;
        uint32_t value = mode == BLENDMODE_ADD ? std::min((d * 256 + alpha * s) >> 8, 255u)
                                               : (alpha * s + (255 - alpha) * d) >> 8;
        result |= value << shift;
    }
    return result;
}

} // namespace

NATIVE_TEST(unfoggedColoursLoseOne256thPerBlend) {
    Tiny tiny(5, 5, 8, 8);
    tiny.render();
    // Column 4 looks east: the wall at x = 4 lies 1.5 away, so its half height is
    // int(8 / 1.6 / 1.5 + 0.5) = 3: rows 1 to 6 are wall, row 7 (always) floor, row 0
    // ceiling. One blend of weight 0 turns 255 into 254, the floor's two into 253.
    CHECK(std::fabs(tiny.hits[4].dist - 1.5) < 1e-12);
    CHECK_EQ(tiny.hits[4].side, levelGrid::WEST);
    CHECK_EQ(tiny.at(4, 0), 0xfffefefeu);
    for (int32_t y = 1; y <= 6; ++y)
        CHECK_EQ(tiny.at(4, y), 0xfffefefeu);
    CHECK_EQ(tiny.at(4, 7), 0xfffdfdfdu);
}

NATIVE_TEST(totalFogIsTheFogColourExceptWhereNothingIsDrawn) {
    Tiny tiny(5, 5, 8, 8);
    tiny.frame.level.fog = levelGrid::Fog{0xff123456u, 1000, 0xffffffffu, 0};
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 5; ++x)
            tiny.cell(x, y)[levelGrid::CEILING] = levelGrid::TEXTURE_NONE;
    tiny.render();
    CHECK_EQ(tiny.at(4, 0), BACKGROUND); // no ceiling texture: untouched even in fog
    CHECK_EQ(tiny.at(4, 3), 0xff123456u);
    CHECK_EQ(tiny.at(4, 7), 0xff123456u);
}

NATIVE_TEST(negativeFogDensityIsNoFog) {
    Tiny none(5, 5, 40, 30), negative(5, 5, 40, 30);
    negative.frame.level.fog.density = -5;
    negative.frame.level.fog.groundDensity = -7;
    none.render();
    negative.render();
    CHECK(none.pixels == negative.pixels);
}

NATIVE_TEST(skyColumnsFollowTheViewAngleAndRowsTheHorizon) {
    std::vector<uint32_t> skyPixels(360 * 4);
    for (uint32_t i = 0; i < skyPixels.size(); ++i)
        skyPixels[i] = 0xff000000u | i;
    Tiny tiny(5, 5, 10, 6);
    tiny.frame.level.sky = {skyPixels.data(), 360, 360, 4};
    tiny.frame.camera.fov = 61;
    renderSky(tiny.frame);
    // Horizon row 3 shows sky row int(6 / 12 * 4) = 2; column 0 looks at 0 + 0 - 61 / 2
    // = -30 degrees (the integer half: half a degree off the walls' -30.5), wrapped to 330.
    CHECK_EQ(tiny.at(0, 3), 0xff000000u | (2 * 360 + 330));
    CHECK_EQ(tiny.at(0, 0), 0xff000000u | (1 * 360 + 330)); // int(3 / 12 * 4) = 1
    // Column 5 looks at 5 / 10 * 61 - 30 = 0.5 degrees.
    CHECK_EQ(tiny.at(5, 3), 0xff000000u | (2 * 360 + 0));

    // A tiny negative angle plus 360 rounds to 360.0, the sky's width: it wraps to 0.
    tiny.frame.camera.fov = 0;
    tiny.frame.camera.dir = {1, -1e-20};
    tiny.frame.camera.skyDegrees = viewDegrees(tiny.frame.camera.dir);
    renderSky(tiny.frame);
    CHECK_EQ(tiny.at(0, 3), 0xff000000u | (2 * 360 + 0));
}

NATIVE_TEST(flashlightAddsItsTexelScaledByDistance) {
    Tiny dark(5, 5, 8, 8), lit(5, 5, 8, 8);
    std::vector<uint32_t> lampPixels(16 * 16, 0xff402010u);
    lit.frame.flashlight = {lampPixels.data(), 16, 16, 16};
    dark.render();
    lit.render();
    double d = lit.hits[4].dist;
    uint32_t brightness = std::min(uint32_t(512 / (d * d)), 255u); // 227 at 1.5
    CHECK_EQ(brightness, 227u);
    // Each channel: min((wall * 256 + lamp * b) >> 8, 255), alpha kept.
    uint32_t expected = 0xff000000u | std::min((0xfeu * 256 + 0x40 * brightness) >> 8, 255u) << 16 |
                        std::min((0xfeu * 256 + 0x20 * brightness) >> 8, 255u) << 8 |
                        std::min((0xfeu * 256 + 0x10 * brightness) >> 8, 255u);
    CHECK_EQ(lit.at(4, 1), expected);
    CHECK_EQ(lit.at(4, 0), dark.at(4, 0)); // ceiling rows are never lit
    CHECK_EQ(lit.at(4, 7), dark.at(4, 7)); // nor floor rows
}

// A wall exactly 1.5 away steps the flashlight's rows by exactly 2: its 128 rows light
// the wall's first 64 rows and not one more, with every build of the frame.
NATIVE_TEST(flashlightEndsWhereItsRowsReachItsHeight) {
    std::vector<uint32_t> lampPixels(4 * 128);
    for (uint32_t row = 0; row < 128; ++row)
        for (uint32_t column = 0; column < 4; ++column)
            lampPixels[row * 4 + column] = 0xff000000u | (row + 1) << 16 | (128 - row) << 8 | 7;
    for (instructions::Set set :
         {instructions::Set::plain, instructions::Set::avx2, instructions::Set::avx512}) {
        instructions::limit(set);
        Tiny dark(5, 5, 32, 400), lit(5, 5, 32, 400);
        dark.frame.camera.fov = lit.frame.camera.fov = 0; // every column looks due east
        lit.frame.flashlight = {lampPixels.data(), 4, 4, 128};
        dark.render();
        lit.render();
        CHECK_EQ(lit.hits[20].dist, 1.5);
        // Half height int(400 / 1.6 / 1.5 + 0.5) = 167: the wall starts at row 200 - 167.
        int32_t top = 33;
        for (int32_t x : {0, 15, 16, 31}) {
            uint32_t lampColumn = uint32_t(x) * 4 / 32;
            uint32_t last = lampPixels[126 * 4 + lampColumn]; // lamp row 126 at wall row 63
            uint32_t wall = dark.at(x, top + 63);
            uint32_t expected = 0xff000000u;
            for (int shift = 0; shift < 24; shift += 8)
                expected |=
                    std::min(((wall >> shift & 255) * 256 + (last >> shift & 255) * 227) >> 8, 255u)
                    << shift;
            CHECK_EQ(lit.at(x, top + 63), expected);
            CHECK_EQ(lit.at(x, top + 64), dark.at(x, top + 64));
            CHECK(lit.at(x, top) != dark.at(x, top));
        }
    }
    instructions::limit(instructions::Set::avx512);
}

NATIVE_TEST(spriteCoversTheProjectedSquareWithItsCentreTruncated) {
    std::vector<uint32_t> sheet(10 * 10);
    for (uint32_t i = 0; i < sheet.size(); ++i)
        sheet[i] = (i % 3 == 0   ? 0xff000000u
                    : i % 3 == 1 ? 0x80000000u
                                 : 0u) |
                   (i * 2654435761u & 0xffffff);
    for (uint32_t mode : {BLENDMODE_BLEND, BLENDMODE_ADD}) {
        Tiny plain(7, 5, 16, 12), drawn(7, 5, 16, 12);
        SpriteDraw sprite;
        sprite.position = {4.0, 2.5};
        sprite.sheet = {sheet.data(), 10, 10, 10};
        sprite.frameWidth = sprite.frameHeight = 10;
        sprite.xFrames = 1;
        sprite.frameCount = 1;
        sprite.directions = 1;
        sprite.currentDirections = 1;
        sprite.shadeless = 1;
        sprite.blendMode = mode;
        prepareSprites(drawn.frame.camera.pos, &sprite, 1, 0.0);
        drawn.frame.sprites = &sprite;
        drawn.frame.spriteCount = 1;
        plain.render();
        drawn.render();
        // Depth 1.5, sideways offset -sin(2 pi) * 1.5 < 0: sx0 = int(8 - 4e-15) = 7, the
        // centre int(7 + 0.25) = 7; half size int(12 / 1.6 / 1.5) = 5. Columns 2 to 11,
        // rows 1 to 10, one texel per pixel.
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                uint32_t under = plain.at(x, y);
                uint32_t expected = under;
                if (x >= 2 && x < 12 && y >= 1 && y < 11) {
                    uint32_t texel = sheet[size_t((y - 1) * 10 + (x - 2))];
                    expected = spritePixel(texel, under, mode);
                }
                CHECK_EQ(drawn.at(x, y), expected);
            }
    }
    // A fully transparent texel still scales the target: 255 becomes 254.
    CHECK_EQ(spriteBlend(0x00ffffffu, 0xffffffffu), 0xfffefefeu);
    CHECK_EQ(spriteBlend(0xffffffffu, 0x00000000u), 0x00fefefeu);
    CHECK_EQ(spriteAdd(0xff808080u, 0x12c0c0c0u), 0x12ffffffu);
}

NATIVE_TEST(spriteHalfACellAwayFillsTheWholeHeight) {
    std::vector<uint32_t> sheet(4 * 4, 0xff0000ffu);
    Tiny plain(7, 5, 64, 480), drawn(7, 5, 64, 480);
    SpriteDraw sprite;
    sprite.position = {3.0, 2.5}; // depth 0.5: half size int(480 / 1.6 / 0.5) = 600
    sprite.sheet = {sheet.data(), 4, 4, 4};
    sprite.frameWidth = sprite.frameHeight = 4;
    sprite.xFrames = sprite.frameCount = sprite.directions = sprite.currentDirections = 1;
    sprite.shadeless = 1;
    prepareSprites(drawn.frame.camera.pos, &sprite, 1, 0.0);
    drawn.frame.sprites = &sprite;
    drawn.frame.spriteCount = 1;
    plain.render();
    drawn.render();
    for (int32_t y = 0; y < 480; ++y)
        CHECK_EQ(drawn.at(32, y), spritePixel(0xff0000ffu, plain.at(32, y), BLENDMODE_BLEND));
}
