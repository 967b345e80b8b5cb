// The frame's tables, computed on the calling thread with the same operations, in the
// same order, as the passes would compute each value where they use it.
#include "core/raycastPlan.hpp"

#include "core/raycastShading.hpp"

#include <algorithm>
#include <cmath>

namespace raycast::plan {

namespace {

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

RowBlend rowBlend(uint32_t colour, uint32_t weight) {
    RowBlend blend;
    for (int channel = 0; channel < 3; ++channel) {
        blend.keep |= uint64_t(255 - weight) << (16 * channel);
        blend.add |= uint64_t((colour >> (8 * channel) & 255) * weight) << (16 * channel);
    }
    blend.keep |= uint64_t(256) << 48;
    return blend;
}

PixelBlend pixelBlend(uint32_t colour, uint32_t weight) {
    uint32_t keep = 255 - weight;
    PixelBlend blend;
    blend.keepEven = keep | keep << 16;
    blend.addEven = (colour & 255) * weight | (colour >> 16 & 255) * weight << 16;
    blend.keepOdd = keep << 8 | 0xff00'0000u;
    blend.addOdd = (colour >> 8 & 255) * weight | 255u << 16;
    blend.keepHigh = blend.keepEven << 8;
    return blend;
}

// The binary logarithm of a power of two, -1 for anything else.
int32_t exponentOf(int64_t value) {
    if (value <= 0 || (value & (value - 1)) != 0) return -1;
    return __builtin_ctzll(uint64_t(value));
}

// Zero, or far from both ends of the doubles' range.
bool moderate(double value, double low, double high) {
    double size = std::fabs(value);
    return size < high && (size == 0 || size >= low);
}

// Row distances are at least heightByRatio / 2^32 and rays at least 2^-400 (or 0), so
// their products stay above 2^-832, far from the subnormal numbers, and every value
// below 2^200: scaling all of them by up to 2^30 rounds every product and sum alike.
int32_t floorShiftOf(const Plan& plan) {
    const Frame& frame = *plan.frame;
    int64_t side = std::max(frame.level.width, frame.level.height);
    if (!plan.smallMap || side <= 0 || !(plan.heightByRatio >= 0x1p-400) ||
        !(plan.heightByRatio < 0x1p100) || !moderate(frame.camera.pos.x, 0, 0x1p100) ||
        !moderate(frame.camera.pos.y, 0, 0x1p100))
        return -1;
    int32_t bits = 0;
    while ((int64_t(1) << bits) < side)
        ++bits;
    return bits > 30 ? -1 : 30 - bits;
}

} // namespace

bool scalableRay(double component) {
    return moderate(component, 0x1p-400, 0x1p100);
}

void planSky(Plan& plan) {
    const Frame& frame = *plan.frame;
    const pixels::ConstArea& sky = frame.level.sky;
    int32_t W = plan.w, H = plan.h, fov = frame.camera.fov;
    double angle = frame.camera.skyDegrees;
    double pixelsPerDegree = sky.width / 360.0;
    // Padded, so that a group of columns at the right edge reads columns that exist.
    plan.skyColumn.assign(size_t(W) + 8, 0);
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

void planTextures(Plan& plan) {
    const levelGrid::View& level = plan.frame->level;
    for (int32_t i = 0; i < 256; ++i) {
        TextureView& view = plan.textureTable[i];
        view = TextureView{};
        if (i != levelGrid::TEXTURE_NONE && size_t(i) < level.textureCount &&
            usable(level.textures[i])) {
            const pixels::ConstArea& area = level.textures[i];
            view.pixels = area.pixels;
            view.stride = area.stride;
            view.width = area.width;
            view.height = area.height;
            view.lastColumn = area.width - 1;
            view.lastRow = area.height - 1;
            view.gatherable = area.stride * size_t(area.height) < (size_t(1) << 31);
            view.strideShift = exponentOf(int64_t(area.stride));
            int32_t columnBits = exponentOf(area.width), rowBits = exponentOf(area.height);
            if (plan.floorShift >= 0) {
                double scale = std::ldexp(1.0, -plan.floorShift);
                view.scaledWidth = area.width * scale;
                view.scaledHeight = area.height * scale;
                view.bitTexels = columnBits >= 0 && rowBits >= 0 && columnBits <= plan.floorShift &&
                                 rowBits <= plan.floorShift;
                view.columnShift = plan.floorShift - columnBits;
                view.rowShift = plan.floorShift - rowBits;
                view.columnMask = area.width - 1;
                view.rowMask = area.height - 1;
            }
        } else {
            view.missing = i != levelGrid::TEXTURE_NONE;
        }
    }
}

void planRows(Plan& plan) {
    const levelGrid::Fog& fog = plan.frame->level.fog;
    size_t rows = size_t(plan.h);
    plan.floorDist.resize(rows);
    plan.ceilingDist.resize(rows);
    plan.floorFog.resize(rows);
    plan.floorGround.resize(rows);
    plan.ceilingFog.resize(rows);
    plan.floorFogBlend.resize(rows);
    plan.floorGroundBlend.resize(rows);
    plan.ceilingFogBlend.resize(rows);
    plan.floorShift = floorShiftOf(plan);
    for (int32_t y = 0; y < plan.h; ++y) {
        double below = plan.heightByRatio / double(y - plan.horizon);
        double above = plan.heightByRatio / double(plan.horizon - y);
        plan.floorDist[size_t(y)] = below;
        plan.ceilingDist[size_t(y)] = above;
        plan.floorFog[size_t(y)] = uint8_t(fogWeight(below, fog.density));
        plan.floorGround[size_t(y)] = uint8_t(groundFogAmount(below, fog.groundDensity));
        plan.ceilingFog[size_t(y)] = uint8_t(fogWeight(above, fog.density));
        plan.floorFogBlend[size_t(y)] = pixelBlend(fog.color, plan.floorFog[size_t(y)]);
        plan.floorGroundBlend[size_t(y)] = pixelBlend(fog.groundColor, plan.floorGround[size_t(y)]);
        plan.ceilingFogBlend[size_t(y)] = pixelBlend(fog.color, plan.ceilingFog[size_t(y)]);
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
        // The column's cast gets the direction as it is (its steps follow the signs
        // before the replacement) and replaces a zero itself.
        frame.hits[x].rayDir = ray;
        if (ray.x == 0.0) ray.x = 1e-14;
        if (ray.y == 0.0) ray.y = 1e-14;
        applyMatrix(step, ray, ray);
    }
}

void planSprites(Plan& plan) {
    const Frame& frame = *plan.frame;
    const levelGrid::Fog& fog = frame.level.fog;
    int32_t w = plan.w, h = plan.h;
    double angle = viewDegrees(frame.camera.dir);
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
        // A sprite so near the eye that its half size passes 32 bits (beside the
        // camera, its depth is what is left of turning by 360 degrees) has no size.
        double half = h / frame.camera.ratio / p.x;
        if (!fitsInt32(half)) continue;
        int64_t size = truncSaturated(half);
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
        out.groundBlends.resize(rows);
        out.fogBlend = rowBlend(fog.color, out.fog);
        float span = float(endY - startY);
        for (size_t j = 0; j < rows; ++j) {
            int64_t row = clampInt(truncSaturated(texY) + cellY, 0, s.sheet.height - 1);
            out.rows[j] = s.sheet.pixels + size_t(row) * s.sheet.stride;
            out.groundWeights[j] =
                uint8_t(groundFogWeight(int32_t(out.groundFog), float(int64_t(j)) / span));
            out.groundBlends[j] = rowBlend(fog.groundColor, out.groundWeights[j]);
            texY += stepY;
        }
    }
}

} // namespace raycast::plan
