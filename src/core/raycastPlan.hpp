// What a frame computes once before its tiles are drawn: the per-row, per-column and
// per-sprite tables, shared read-only by the threads that draw the tiles. Internal to
// the renderer's core.
#pragma once

#include "core/raycastScene.hpp"
#include "core/raycastSprites.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace raycast::plan {

inline constexpr int32_t TILE_COLUMNS = 32;

inline bool usable(const pixels::ConstArea& area) {
    return area.pixels && area.width > 0 && area.height > 0;
}

// Where pixels that no layer covers get their colour from.
enum class Underlay { keep, background, sky };

// A fog blend with one weight for a whole row of pixels, on a pixel's channels held as
// four 16-bit lanes (blue, green, red, alpha): each becomes (c * keep + add) >> 8, so
// keep is 255 - k and add is k times the fog's channel in the colour lanes, and keep is
// 256 and add 0 in the alpha lane, which so stays the pixel's own.
struct RowBlend {
    uint64_t keep = 0, add = 0;
};

// The same blend on whole pixels, without unpacking them: blue and red (the even bytes)
// as the 16-bit words they are once masked, each c becoming c * keepEven + addEven;
// green and alpha (the odd bytes) as the high bytes of theirs, each becoming the high half
// of (c << 8) * keepOdd, plus addOdd. Either way a channel's blend ends in the high byte
// of its word, and the alpha, with keep and add both 255, stays as it is. A second blend
// on those words multiplies their high bytes by keepHigh (keepEven << 8) for the even
// channels and by keepOdd for the odd ones.
struct PixelBlend {
    uint32_t keepEven = 0, addEven = 0, keepOdd = 0, addOdd = 0, keepHigh = 0;
};

struct SpritePlan {
    const SpriteDraw* sprite;
    double depth; // along the view direction; the walls' distances are tested against it
    int64_t startX, endX, startY, endY;
    uint32_t fog, groundFog;
    // Per drawn column: the sheet column; per drawn row: the sheet row's first pixel and
    // the ground fog weight.
    std::vector<int32_t> columns;
    std::vector<const uint32_t*> rows;
    std::vector<uint8_t> groundWeights;
    // The same fogs as blends on unpacked channels: per drawn row, and the sprite's own.
    std::vector<RowBlend> groundBlends;
    RowBlend fogBlend;
};

// A texture as the floor and ceiling read it. An entry without pixels stands either
// for the byte 255 (no texture: the pixel stays untouched) or, with `missing` set, for
// an index beyond the level's textures (drawn only where the fog is total).
struct TextureView {
    const uint32_t* pixels = nullptr;
    size_t stride = 0;
    double width = 0, height = 0;
    int32_t lastColumn = 0, lastRow = 0;
    bool missing = false;
    bool gatherable = false;  // every texel offset fits 32 bits
    int32_t strideShift = -1; // the stride's binary logarithm, -1 when it has none
    // Where the frame's floor positions are scaled (Plan::floorShift): both sides are
    // powers of two no larger than the scale, so that a texel's column and row are bits
    // of the scaled position, `columnShift` and `rowShift` to the right under the masks.
    bool bitTexels = false;
    int32_t columnShift = 0, rowShift = 0;
    int32_t columnMask = 0, rowMask = 0;
    double scaledWidth = 0, scaledHeight = 0; // the sides over the scale
};

struct Plan;

// A build of the tile drawer: the same drawing compiled for one instruction set.
struct Build {
    void (*drawTile)(const Plan& plan, int32_t x0, int32_t x1); // columns x0 .. x1 - 1
    // The sky alone over rows y0 .. y1 - 1 of the whole target.
    void (*drawSkyRows)(const Plan& plan, int32_t y0, int32_t y1);
};

struct Plan {
    const Frame* frame = nullptr;
    Underlay underlay = Underlay::keep;
    bool walls = false;
    bool sprites = false;
    const Build* build = nullptr; // the build that draws the tiles
    bool smallMap = false;        // every cell byte offset fits 32 bits
    bool smallLamp = false;       // every flashlight texel offset fits 32 bits
    int32_t w = 0, h = 0;
    int64_t horizon = 0;
    double heightByRatio = 0;
    // Floor and ceiling positions may be scaled by 2^floorShift, which changes no bit of
    // them: the map's sides times the scale stay within 2^30, and the camera, the row
    // distances and the rays are far from the ends of the doubles' range. -1 where
    // they may not (then no floor is drawn from scaled positions).
    int32_t floorShift = -1;
    TextureView textureTable[256];
    std::vector<double> floorDist, ceilingDist;             // per row
    std::vector<uint8_t> floorFog, floorGround, ceilingFog; // per row, 255: all fog
    std::vector<PixelBlend> floorFogBlend, floorGroundBlend, ceilingFogBlend; // per row
    std::vector<uint32_t> skyColumn;                                          // per column
    std::vector<const uint32_t*> skyRow;                                      // per row
    std::vector<SpritePlan> spritePlans;
    size_t spriteCount = 0;
};

void planSky(Plan& plan);
void planRows(Plan& plan);
void planRays(Plan& plan);
void planTextures(Plan& plan);
void planSprites(Plan& plan);

// Whether a ray's component allows its floor positions to be scaled (Plan::floorShift).
bool scalableRay(double component);

// The builds: for the baseline instruction set, and for AVX2 and AVX-512 where the
// compiler can make them (null where it cannot). Which one draws is the frame's choice
// (instructions.hpp).
const Build& baselineBuild();
const Build* avx2Build();
const Build* avx512Build();

} // namespace raycast::plan
