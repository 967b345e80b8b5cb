// The frame, drawn tile by tile: a tile is a band of neighbouring columns whose rays,
// walls, floor, ceiling, sky and sprites are all drawn before the next tile, so that
// its pixels stay in the cache, and tiles are shared among worker threads. Every pixel
// gets exactly the value the passes give when run one after another over the whole
// target (background, sky, walls, flashlight, floor, ceiling, sprites): each pixel is
// written once with the colour of the last layer that would have covered it.
//
// Values that the passes would compute again and again are computed once per frame
// with the same operations: the ray of each column (by the same repeated rotation),
// the distance and fog weights of each floor and ceiling row, the sky's column of each
// screen column and row of each screen row, the sheet row and fog of each sprite row.
#include "core/raycastFrame.hpp"

#include "core/raycastShading.hpp"
#include "core/raycastSprites.hpp"
#include "core/workerPool.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raycast {

namespace {

constexpr int32_t TILE_COLUMNS = 32;
// Below this many pixels a frame is drawn on the calling thread alone.
constexpr int64_t THREADED_PIXELS = 160 * 120;
constexpr int32_t MAX_THREADS = 8;

bool usable(const pixels::ConstArea& area) {
    return area.pixels && area.width > 0 && area.height > 0;
}

// Where pixels that no layer covers get their colour from.
enum class Underlay { keep, background, sky };

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
};

struct Plan {
    const Frame* frame;
    Underlay underlay;
    bool walls;
    bool sprites;
    int32_t w, h;
    int64_t horizon;
    double heightByRatio;
    std::vector<double> floorDist, ceilingDist;             // per row
    std::vector<uint8_t> floorFog, floorGround, ceilingFog; // per row, 255: all fog
    std::vector<uint32_t> skyColumn;                        // per column
    std::vector<const uint32_t*> skyRow;                    // per row
    std::vector<SpritePlan> spritePlans;
    size_t spriteCount = 0;
};

double frac(double v) {
    return v - std::trunc(v);
}

int32_t floorDivide(int32_t a, int32_t b) {
    int32_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The sky's column for a view angle in degrees: wrapped into a full turn from below as
// by repeated additions of 360 (which are exact until the last), and from above too,
// so that no angle reads outside the sky.
int32_t skyColumnOf(double a, double pixelsPerDegree, int32_t skyWidth) {
    if (a < 0) {
        a = std::fmod(a, 360.0);
        if (a < 0) a += 360;
    }
    if (!std::isfinite(a)) return 0;
    if (a >= 360.0) a = std::fmod(a, 360.0);
    int64_t column = int64_t(a * pixelsPerDegree);
    return int32_t(column >= skyWidth ? column - skyWidth : column);
}

void planSky(Plan& plan) {
    const Frame& frame = *plan.frame;
    const pixels::ConstArea& sky = frame.level.sky;
    int32_t W = plan.w, H = plan.h, fov = frame.camera.fov;
    double angle = std::atan2(frame.camera.dir.y, frame.camera.dir.x) * RAD2DEG;
    double pixelsPerDegree = sky.width / 360.0;
    plan.skyColumn.resize(size_t(W));
    for (int32_t x = 0; x < W; ++x)
        plan.skyColumn[size_t(x)] = uint32_t(skyColumnOf(
            double(x) / double(W) * fov + angle - floorDivide(fov, 2), pixelsPerDegree, sky.width));
    plan.skyRow.resize(size_t(H));
    for (int32_t y = 0; y < H; ++y) {
        int64_t row =
            truncSaturated(double(H - plan.horizon + y) / double(2 * int64_t(H)) * sky.height);
        row = std::clamp<int64_t>(row, 0, sky.height - 1);
        plan.skyRow[size_t(y)] = sky.pixels + size_t(row) * sky.stride;
    }
}

void planRows(Plan& plan) {
    const FogSettings& fog = plan.frame->level.fog;
    size_t rows = size_t(plan.h);
    plan.floorDist.resize(rows);
    plan.ceilingDist.resize(rows);
    plan.floorFog.resize(rows);
    plan.floorGround.resize(rows);
    plan.ceilingFog.resize(rows);
    for (int32_t y = 0; y < plan.h; ++y) {
        double below = plan.heightByRatio / double(y - plan.horizon);
        double above = plan.heightByRatio / double(plan.horizon - y);
        plan.floorDist[size_t(y)] = below;
        plan.ceilingDist[size_t(y)] = above;
        plan.floorFog[size_t(y)] = uint8_t(fogWeight(below, fog.density));
        plan.floorGround[size_t(y)] = uint8_t(groundFogAmount(below, fog.groundDensity));
        plan.ceilingFog[size_t(y)] = uint8_t(fogWeight(above, fog.density));
    }
}

// The rays of all columns, by the same repeated rotation as column after column, with
// the cast's replacement of an exactly zero component carried on to the next column.
void planRays(Plan& plan) {
    const Frame& frame = *plan.frame;
    Mat2 step, start;
    rotationMatrix(step, double(frame.camera.fov) / double(plan.w) * DEG2RAD);
    rotationMatrix(start, frame.camera.fov * -0.5 * DEG2RAD);
    Vec2 ray;
    applyMatrix(start, frame.camera.dir, ray);
    for (int32_t x = 0; x < plan.w; ++x) {
        if (ray.x == 0.0) ray.x = 1e-14;
        if (ray.y == 0.0) ray.y = 1e-14;
        frame.hits[x].rayDir = ray;
        applyMatrix(step, ray, ray);
    }
}

void planSprites(Plan& plan) {
    const Frame& frame = *plan.frame;
    const FogSettings& fog = frame.level.fog;
    int32_t w = plan.w, h = plan.h;
    double angle = std::atan2(frame.camera.dir.y, frame.camera.dir.x) * RAD2DEG;
    Mat2 rotation;
    rotationMatrix(rotation, (360 - angle) * DEG2RAD);
    int32_t halfW = w / 2;
    if (plan.spritePlans.size() < frame.spriteCount) plan.spritePlans.resize(frame.spriteCount);
    plan.spriteCount = 0;
    for (size_t i = 0; i < frame.spriteCount; ++i) {
        const SpriteDraw& s = frame.sprites[i];
        if (!s.drawable) continue;
        Vec2 p;
        vec2Sub(s.position, frame.camera.pos, p);
        applyMatrix(rotation, p, p);
        if (!(p.x > 0) || !std::isfinite(p.x) || !std::isfinite(p.y)) continue;
        int64_t sx0 = truncSaturated(p.y / p.x * w + halfW);
        int64_t sx = truncSaturated(sx0 - (sx0 - halfW) * 0.25);
        int64_t size = truncSaturated(h / frame.camera.ratio / p.x);
        if (size <= 0 || !(s.scale > 0) || !std::isfinite(s.scale) || !std::isfinite(s.zOffset))
            continue;
        double stepX = s.frameWidth / double(size * 2) / s.scale;
        double stepY = s.frameHeight / double(2 * size) / s.scale;
        int64_t startX = truncSaturated(sx - size * s.scale);
        int64_t endX = std::min<int64_t>(truncSaturated(sx + size * s.scale), w);
        double texX = 0;
        if (startX < 0) {
            texX = -startX * stepX;
            startX = 0;
        }
        if (endX <= startX) continue;
        int64_t frameNumber = spriteFrame(s);
        if (frameNumber < 0) continue;
        int64_t cellX = frameNumber % s.xFrames * s.frameWidth;
        int64_t cellY = frameNumber / s.xFrames * s.frameHeight;
        int64_t endY =
            std::min<int64_t>(truncSaturated(plan.horizon + size * s.scale + size * s.zOffset), h);
        int64_t startY = truncSaturated(size * s.zOffset + (plan.horizon - size * s.scale));
        double texY = 0;
        if (startY < 0) {
            texY = -startY * stepY;
            startY = 0;
        }

        SpritePlan& out = plan.spritePlans[plan.spriteCount++];
        out.sprite = &s;
        out.depth = p.x;
        out.startX = startX;
        out.endX = endX;
        out.startY = startY;
        out.endY = std::max(endY, startY);
        out.fog = uint32_t(fogWeight(s.dist, fog.density));
        out.groundFog = uint32_t(groundFogAmount(s.dist, fog.groundDensity));
        out.columns.resize(size_t(endX - startX));
        for (int64_t x = startX; x < endX; ++x) {
            out.columns[size_t(x - startX)] =
                clampInt(truncSaturated(texX) + cellX, 0, s.sheet.width - 1);
            texX += stepX;
        }
        size_t rows = size_t(out.endY - startY);
        out.rows.resize(rows);
        out.groundWeights.resize(rows);
        float span = float(endY - startY);
        for (size_t j = 0; j < rows; ++j) {
            int64_t row = clampInt(truncSaturated(texY) + cellY, 0, s.sheet.height - 1);
            out.rows[j] = s.sheet.pixels + size_t(row) * s.sheet.stride;
            out.groundWeights[j] =
                uint8_t(groundFogWeight(int32_t(out.groundFog), float(int64_t(j)) / span));
            texY += stepY;
        }
    }
}

// ---------------------------------------------------------------------------------
// One column's layers.

struct ColumnDraw {
    int32_t x;
    int64_t top, bottom;
    bool wall;
    Vec2 ray;
    double dist;
};

class TileDrawer {
  public:
    explicit TileDrawer(const Plan& plan)
        : plan(plan), frame(*plan.frame), level(frame.level), fog(level.fog), target(frame.target) {
    }

    void drawTile(int32_t x0, int32_t x1) {
        if (plan.walls)
            for (int32_t x = x0; x < x1; ++x)
                drawColumn(x);
        if (plan.sprites)
            for (size_t i = 0; i < plan.spriteCount; ++i)
                drawSprite(plan.spritePlans[i], x0, x1);
    }

  private:
    uint32_t* pixelAt(int32_t x, int64_t y) const {
        return target.pixels + size_t(y) * target.stride + size_t(x);
    }

    void underlay(int32_t x, int64_t y) const {
        switch (plan.underlay) {
        case Underlay::keep:
            return;
        case Underlay::background:
            *pixelAt(x, y) = BACKGROUND;
            return;
        case Underlay::sky:
            *pixelAt(x, y) = plan.skyRow[size_t(y)][plan.skyColumn[size_t(x)]];
            return;
        }
    }

    const pixels::ConstArea* texture(int32_t index) const {
        if (index < 0 || index >= level.textureCount || !usable(level.textures[index]))
            return nullptr;
        return &level.textures[index];
    }

    static uint32_t texelAt(const pixels::ConstArea& area, double fx, double fy) {
        int32_t u = std::min(int32_t(frac(fx) * area.width), area.width - 1);
        int32_t v = std::min(int32_t(frac(fy) * area.height), area.height - 1);
        return area.pixels[size_t(v) * area.stride + size_t(u)];
    }

    // The floor (byte 1) or ceiling (byte 2) at distance rowDist along the ray; false
    // where it leaves the pixel untouched.
    bool flat(const ColumnDraw& column, double rowDist, int32_t byte, uint32_t k, uint32_t ground,
              uint32_t& colour) const {
        double fx = rowDist * column.ray.x + frame.camera.pos.x;
        double fy = frame.camera.pos.y + column.ray.y * rowDist;
        if (!(fx >= 0 && fy >= 0 && fx < level.width && fy < level.height)) return false;
        size_t cell = size_t(int32_t(fy)) * size_t(level.width) + size_t(int32_t(fx));
        uint8_t index = level.cells[cell * CELL_BYTES + size_t(byte)];
        if (index == TEXTURE_NONE) return false;
        if (k >= 255) {
            colour = fog.color;
            return true;
        }
        const pixels::ConstArea* T = texture(index);
        if (!T) return false;
        colour = texelAt(*T, fx, fy);
        if (byte == TEXTURE_FLOOR) colour = fogBlend(colour, fog.groundColor, ground);
        colour = fogBlend(colour, fog.color, k);
        return true;
    }

    void floorRows(const ColumnDraw& column, int64_t from, int64_t to) const {
        for (int64_t y = from; y < to; ++y) {
            uint32_t colour;
            if (flat(column, plan.floorDist[size_t(y)], TEXTURE_FLOOR, plan.floorFog[size_t(y)],
                     plan.floorGround[size_t(y)], colour))
                *pixelAt(column.x, y) = colour;
            else
                underlay(column.x, y);
        }
    }

    void ceilingRows(const ColumnDraw& column, int64_t from, int64_t to) const {
        for (int64_t y = from; y < to; ++y) {
            uint32_t colour;
            if (flat(column, plan.ceilingDist[size_t(y)], TEXTURE_CEILING,
                     plan.ceilingFog[size_t(y)], 0, colour))
                *pixelAt(column.x, y) = colour;
            else
                underlay(column.x, y);
        }
    }

    // Rows that are both ceiling and floor (only when the horizon or the ratio puts the
    // wall's bottom above its top): the ceiling is drawn last, so it wins.
    void ceilingOverFloorRows(const ColumnDraw& column, int64_t from, int64_t to) const {
        for (int64_t y = from; y < to; ++y) {
            uint32_t colour;
            if (flat(column, plan.ceilingDist[size_t(y)], TEXTURE_CEILING,
                     plan.ceilingFog[size_t(y)], 0, colour) ||
                flat(column, plan.floorDist[size_t(y)], TEXTURE_FLOOR, plan.floorFog[size_t(y)],
                     plan.floorGround[size_t(y)], colour))
                *pixelAt(column.x, y) = colour;
            else
                underlay(column.x, y);
        }
    }

    void wallRows(const ColumnDraw& column, const RayHit& hit, int64_t lineH) const {
        double d = column.dist;
        int32_t k = fogWeight(d, fog.density);
        const pixels::ConstArea* T = texture(hit.textureIndex);
        if (k >= 255 || !T) {
            for (int64_t y = column.top; y < column.bottom; ++y)
                *pixelAt(column.x, y) = fog.color;
            return;
        }
        double u;
        if (hit.isYSide == 1) {
            u = frac(hit.hitPos.x);
            if (column.ray.y > 0) u = 1 - u;
        } else {
            u = frac(hit.hitPos.y);
            if (column.ray.x < 0) u = 1 - u;
        }
        int64_t texX = clampInt(truncSaturated(u * T->width), 0, T->width - 1);
        const uint32_t* texels = T->pixels + texX;
        double s = T->height / double(2 * lineH + 1);
        double position = double(column.top - (plan.horizon - lineH)) * s;
        int32_t g = groundFogAmount(d, fog.groundDensity);
        float span = float(2 * lineH);
        float topF = float(column.top);
        int32_t lastRow = T->height - 1;
        for (int64_t y = column.top; y < column.bottom; ++y) {
            int32_t row = std::min(truncSaturated(position), lastRow);
            uint32_t colour = texels[size_t(row) * T->stride];
            if (fog.groundDensity > 0)
                colour = fogBlend(colour, fog.groundColor,
                                  uint32_t(groundFogWeight(g, (float(y) - topF) / span)));
            *pixelAt(column.x, y) = fogBlend(colour, fog.color, uint32_t(k));
            position += s;
        }
    }

    void flashlight(const ColumnDraw& column) const {
        const pixels::ConstArea& lamp = frame.flashlight;
        double d = column.dist;
        double q = 512 / (d * d);
        uint32_t brightness = !(q < 255) ? 255 : uint32_t(q);
        int64_t lampColumn = clampInt(
            truncSaturated(double(column.x) / double(plan.w) * lamp.width), 0, lamp.width - 1);
        double p = 0;
        double step = 3.0 / d;
        int64_t from = std::max<int64_t>(column.top, 0);
        int64_t to = std::min<int64_t>(column.bottom, plan.h);
        for (int64_t y = from; y < to; ++y) {
            int32_t row = truncSaturated(p);
            uint32_t* pixel = pixelAt(column.x, y);
            *pixel = lightAdd(*pixel, lamp.pixels[size_t(row) * lamp.stride + size_t(lampColumn)],
                              brightness);
            p += step;
            if (p >= lamp.height) break;
        }
    }

    void drawColumn(int32_t x) {
        RayHit hit{};
        Vec2 ray = frame.hits[x].rayDir;
        castGridRay(level.cells, level.width, level.height, frame.camera.pos, ray, hit);
        hit.rayDir = ray;
        double d = hit.dist;
        if (d < 1e-8) hit.outOfMap = 1;
        ColumnDraw column{x, 0, 0, !hit.outOfMap, ray, d};
        int64_t lineH = 0;
        if (!column.wall) {
            column.top = plan.horizon;
            column.bottom = plan.horizon + 1;
        } else {
            lineH = truncSaturated(plan.h / frame.camera.ratio / d + 0.5);
            column.top = std::max<int64_t>(plan.horizon - lineH, 0);
            column.bottom = std::min<int64_t>(plan.horizon + lineH, plan.h - 1);
        }
        frame.hits[x] = hit;

        int64_t h = plan.h;
        int64_t ceilingEnd = std::clamp<int64_t>(column.top, 0, h);
        int64_t floorStart = std::clamp<int64_t>(column.bottom, 0, h);
        if (ceilingEnd <= floorStart) {
            ceilingRows(column, 0, ceilingEnd);
            if (column.wall)
                wallRows(column, hit, lineH);
            else
                for (int64_t y = ceilingEnd; y < floorStart; ++y)
                    underlay(x, y);
            floorRows(column, floorStart, h);
        } else {
            ceilingRows(column, 0, floorStart);
            ceilingOverFloorRows(column, floorStart, ceilingEnd);
            floorRows(column, ceilingEnd, h);
        }
        if (usable(frame.flashlight)) flashlight(column);
    }

    void drawSprite(const SpritePlan& sprite, int32_t x0, int32_t x1) const {
        int64_t from = std::max<int64_t>(sprite.startX, x0);
        int64_t to = std::min<int64_t>(sprite.endX, x1);
        if (from >= to) return;
        const SpriteDraw& s = *sprite.sprite;
        bool add = s.blendMode == BLENDMODE_ADD;
        for (int64_t j = 0; j < sprite.endY - sprite.startY; ++j) {
            const uint32_t* sheetRow = sprite.rows[size_t(j)];
            uint32_t ground = sprite.groundWeights[size_t(j)];
            uint32_t* row = target.pixels + size_t(sprite.startY + j) * target.stride;
            for (int64_t x = from; x < to; ++x) {
                if (!(frame.hits[x].dist > sprite.depth)) continue;
                uint32_t colour = sheetRow[sprite.columns[size_t(x - sprite.startX)]];
                if (!s.shadeless)
                    colour =
                        fogBlend(fogBlend(colour, fog.groundColor, ground), fog.color, sprite.fog);
                row[x] = add ? spriteAdd(colour, row[x]) : spriteBlend(colour, row[x]);
            }
        }
    }

    const Plan& plan;
    const Frame& frame;
    const LevelView& level;
    const FogSettings& fog;
    const pixels::Area& target;
};

void drawTask(void* context, int64_t task) {
    const Plan& plan = *static_cast<const Plan*>(context);
    int32_t x0 = int32_t(task * TILE_COLUMNS);
    int32_t x1 = std::min(x0 + TILE_COLUMNS, plan.w);
    TileDrawer(plan).drawTile(x0, x1);
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
    if (plan.w == 0) return;
    if (underlay == Underlay::sky) planSky(plan);
    if (walls) {
        planRows(plan);
        planRays(plan);
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
    plan.w = frame.target.width;
    plan.h = frame.target.height;
    plan.horizon = horizonRow(plan.h, frame.camera.pitch);
    planSky(plan);
    for (int32_t y = 0; y < plan.h; ++y) {
        const uint32_t* skyRow = plan.skyRow[size_t(y)];
        uint32_t* row = frame.target.pixels + size_t(y) * frame.target.stride;
        for (int32_t x = 0; x < plan.w; ++x)
            row[x] = skyRow[plan.skyColumn[size_t(x)]];
    }
}

} // namespace raycast
