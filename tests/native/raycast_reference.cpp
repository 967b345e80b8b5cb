// The frame written the plain way, pass by pass and pixel by pixel in the order the
// renderer's rules state them: the background fill, the sky over every pixel, one
// column at a time with one reused ray record, the sprites one by one. The optimised
// frame in src/core must give exactly these bytes. Only the guards that keep hostile
// input inside the buffers (saturating conversions, clamped rows and texels) are
// shared with it, through raycastShading.hpp; the colour rules and the fog weights are
// the reference's own.
#include "raycast_reference.hpp"

#include "core/raycastShading.hpp"
#include "core/raycastSprites.hpp"

#include <algorithm>
#include <cmath>

namespace reference {

using namespace raycast;

namespace {

uint32_t channel(uint32_t colour, int shift) {
    return (colour >> shift) & 255;
}

uint32_t fog(uint32_t colour, uint32_t fogColour, uint32_t k) {
    uint32_t result = colour & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8)
        result |= ((k * channel(fogColour, shift) + (255 - k) * channel(colour, shift)) >> 8)
                  << shift;
    return result;
}

uint32_t light(uint32_t target, uint32_t lamp, uint32_t brightness) {
    uint32_t result = target & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8)
        result |= std::min<uint32_t>(
                      (channel(target, shift) * 256 + channel(lamp, shift) * brightness) >> 8, 255)
                  << shift;
    return result;
}

uint32_t blend(uint32_t source, uint32_t target, uint32_t mode) {
    uint32_t alpha = source >> 24;
    uint32_t result = target & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t s = channel(source, shift), d = channel(target, shift);
        uint32_t value = mode == BLENDMODE_ADD ? std::min<uint32_t>((d * 256 + alpha * s) >> 8, 255)
                                               : (alpha * s + (255 - alpha) * d) >> 8;
        result |= value << shift;
    }
    return result;
}

// A fog weight, 0 to 255, as the rules state it: the distance times the density,
// truncated toward zero and held to 0 to 255; none at all for a density of 0 or less, a
// negative distance or one that is not a number. Distance fog and ground fog weigh a
// distance alike. These two hide the core's functions of the same names.
int32_t fogWeight(double distance, int32_t density) {
    if (density <= 0) return 0;
    double weight = std::trunc(distance * double(density));
    return weight >= 255 ? 255 : weight > 0 ? int32_t(weight) : 0;
}

int32_t groundFogAmount(double distance, int32_t density) {
    return fogWeight(distance, density);
}

uint32_t texel(const pixels::ConstArea& area, int64_t x, int64_t y) {
    x = std::clamp<int64_t>(x, 0, area.width - 1);
    y = std::clamp<int64_t>(y, 0, area.height - 1);
    return area.pixels[size_t(y) * area.stride + size_t(x)];
}

bool usable(const pixels::ConstArea& area) {
    return area.pixels && area.width > 0 && area.height > 0;
}

const pixels::ConstArea* texture(const levelGrid::View& level, int32_t index) {
    if (index < 0 || size_t(index) >= level.textureCount || !usable(level.textures[index]))
        return nullptr;
    return &level.textures[index];
}

double frac(double v) {
    return v - std::trunc(v);
}

uint32_t& pixel(const pixels::Area& target, int64_t x, int64_t y) {
    return target.pixels[size_t(y) * target.stride + size_t(x)];
}

int32_t floorDivide(int32_t a, int32_t b) {
    int32_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

void renderSky(const Frame& frame) {
    const pixels::Area& target = frame.target;
    const pixels::ConstArea& sky = frame.level.sky;
    if (!usable(sky)) return;
    int32_t W = target.width, H = target.height;
    int64_t horizon = horizonRow(H, frame.camera.pitch);
    int32_t fov = frame.camera.fov;
    double angle = frame.camera.skyDegrees;
    double pixelsPerDegree = sky.width / 360.0;
    for (int32_t x = 0; x < W; ++x) {
        double a = double(x) / double(W) * fov + angle - floorDivide(fov, 2);
        if (a >= -1e6) {
            while (a < 0)
                a += 360;
        } else {
            a = std::fmod(a, 360.0);
            if (a < 0) a += 360;
        }
        int64_t sx = 0;
        if (std::isfinite(a)) {
            if (a >= 360.0) a = std::fmod(a, 360.0);
            sx = int64_t(a * pixelsPerDegree);
            if (sx >= sky.width) sx -= sky.width;
        }
        for (int32_t y = 0; y < H; ++y) {
            int64_t sy =
                truncSaturated(double(H - horizon + y) / double(2 * int64_t(H)) * sky.height);
            pixel(target, x, y) = texel(sky, sx, sy);
        }
    }
}

void renderSprites(const Frame& frame) {
    const pixels::Area& target = frame.target;
    int32_t w = target.width, h = target.height;
    int64_t horizon = horizonRow(h, frame.camera.pitch);
    const levelGrid::Fog& fogs = frame.level.fog;
    Vec2 c = frame.camera.pos;
    double a = std::atan2(frame.camera.dir.y, frame.camera.dir.x) * RAD2DEG;
    Mat2 R;
    rotationMatrix(R, (360 - a) * DEG2RAD);
    int32_t halfW = w / 2;
    for (size_t i = 0; i < frame.spriteCount; ++i) {
        const SpriteDraw& s = frame.sprites[i];
        if (!s.drawable) continue;
        int32_t g = groundFogAmount(s.dist, fogs.groundDensity);
        int32_t k = fogWeight(s.dist, fogs.density);
        Vec2 p;
        vec2Sub(s.position, c, p);
        applyMatrix(R, p, p);
        if (!(p.x > 0)) continue;
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
        int64_t sx0 = truncSaturated(p.y / p.x * w + halfW);
        int64_t sx = truncSaturated(sx0 - (sx0 - halfW) * 0.25);
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
        int64_t n = spriteFrame(s);
        if (n < 0) continue;
        int64_t cellX = n % s.xFrames * s.frameWidth, cellY = n / s.xFrames * s.frameHeight;
        for (int64_t x = startX; x < endX; ++x) {
            if (frame.hits[x].dist > p.x) {
                int64_t endY = std::min<int64_t>(
                    truncSaturated(horizon + size * s.scale + size * s.zOffset), h);
                int64_t startY = truncSaturated(size * s.zOffset + (horizon - size * s.scale));
                double texY = 0;
                if (startY < 0) {
                    texY = -startY * stepY;
                    startY = 0;
                }
                for (int64_t y = startY; y < endY; ++y) {
                    uint32_t colour =
                        texel(s.sheet, truncSaturated(texX) + cellX, truncSaturated(texY) + cellY);
                    if (!s.shadeless) {
                        float t = float(y - startY) / float(endY - startY);
                        float t2 = float(double(t) * double(t));
                        uint32_t ga = int32_t(float(g) * t2) & 255;
                        colour = fog(fog(colour, fogs.groundColor, ga), fogs.color, k & 255);
                    }
                    uint32_t& d = pixel(target, x, y);
                    d = blend(colour, d, s.blendMode);
                    texY += stepY;
                }
            }
            texX += stepX;
        }
    }
}

void renderWalls(const Frame& frame) {
    const pixels::Area& target = frame.target;
    const levelGrid::View& level = frame.level;
    const levelGrid::Fog& fogs = level.fog;
    int32_t w = target.width, h = target.height;
    int64_t horizon = horizonRow(h, frame.camera.pitch);
    Vec2 pos = frame.camera.pos;
    Vec2 dir = frame.camera.dir;
    int32_t fov = frame.camera.fov;
    double ratio = frame.camera.ratio;
    Mat2 step, start;
    rotationMatrix(step, double(fov) / double(w) * DEG2RAD);
    rotationMatrix(start, fov * -0.5 * DEG2RAD);
    Vec2 rayDir;
    applyMatrix(start, dir, rayDir);
    const pixels::ConstArea& lamp = frame.flashlight;
    for (int32_t x = 0; x < w; ++x) {
        RayHit hit{};
        hit.outOfMap = 0;
        castGridRay(level.cells, level.width, level.height, pos, rayDir, hit);
        hit.rayDir = rayDir;
        double d = hit.dist;
        if (d < 1e-8) hit.outOfMap = 1;
        int64_t top, bottom, lineH = 0;
        bool wall = !(d < 1e-8 || hit.outOfMap);
        if (!wall) {
            top = horizon;
            bottom = horizon + 1;
        } else {
            lineH = truncSaturated(h / ratio / d + 0.5);
            top = std::max<int64_t>(horizon - lineH, 0);
            bottom = std::min<int64_t>(horizon + lineH, h - 1);
        }
        double u;
        if (hit.isYSide == 1) {
            u = frac(hit.hitPos.x);
            if (rayDir.y > 0) u = 1 - u;
        } else {
            u = frac(hit.hitPos.y);
            if (rayDir.x < 0) u = 1 - u;
        }
        int32_t g = groundFogAmount(d, fogs.groundDensity);
        int32_t k = fogWeight(d, fogs.density);
        if (wall) {
            const pixels::ConstArea* T = texture(level, hit.textureIndex);
            if (k >= 255 || !T) {
                for (int64_t y = top; y < bottom; ++y)
                    pixel(target, x, y) = fogs.color;
            } else {
                int64_t texX = truncSaturated(u * T->width);
                double s = T->height / double(2 * lineH + 1);
                double position = double(top - (horizon - lineH)) * s;
                for (int64_t y = top; y < bottom; ++y) {
                    uint32_t colour = texel(*T, texX, truncSaturated(position));
                    if (fogs.groundDensity > 0) {
                        float t = (float(y) - float(top)) / float(2 * lineH);
                        float t2 = float(double(t) * double(t));
                        uint32_t amount = int32_t(float(g) * t2);
                        colour = fog(colour, fogs.groundColor, amount & 255);
                    }
                    colour = fog(colour, fogs.color, k & 255);
                    pixel(target, x, y) = colour;
                    position += s;
                }
            }
        }
        frame.hits[x] = hit;
        if (usable(lamp)) {
            double p = 0;
            double q = 512 / (d * d);
            uint32_t b = !(q < 255) ? 255 : uint32_t(q);
            int64_t column = truncSaturated(double(x) / double(w) * lamp.width);
            for (int64_t y = top; y < bottom; ++y) {
                if (y < 0 || y >= h) continue;
                uint32_t& target_ = pixel(target, x, y);
                target_ = light(target_, texel(lamp, column, truncSaturated(p)), b);
                p += 3.0 / d;
                if (p >= lamp.height) break;
            }
        }
        double hr = h / ratio;
        for (int64_t y = std::max<int64_t>(bottom, 0); y < h; ++y) {
            double rowDist = hr / double(y - horizon);
            // The row under the wall never reaches beyond it.
            if (wall && y == bottom && rowDist > d) rowDist = d;
            double fx = rowDist * rayDir.x + pos.x;
            double fy = pos.y + rayDir.y * rowDist;
            if (!(fx >= 0 && fy >= 0 && fx < level.width && fy < level.height)) continue;
            size_t cell = size_t(int64_t(fy)) * size_t(level.width) + size_t(int64_t(fx));
            uint8_t index = level.cells[cell * levelGrid::CELL_BYTES + levelGrid::FLOOR];
            if (index == levelGrid::TEXTURE_NONE) continue;
            int32_t ground = groundFogAmount(rowDist, fogs.groundDensity);
            int32_t kf = fogWeight(rowDist, fogs.density);
            if (kf >= 255) {
                pixel(target, x, y) = fogs.color;
                continue;
            }
            const pixels::ConstArea* T = texture(level, index);
            if (!T) continue;
            uint32_t colour = texel(*T, truncSaturated(frac(fx) * T->width),
                                    truncSaturated(frac(fy) * T->height));
            colour = fog(fog(colour, fogs.groundColor, ground), fogs.color, kf & 255);
            pixel(target, x, y) = colour;
        }
        for (int64_t y = 0; y < std::min<int64_t>(top, h); ++y) {
            double rowDist = hr / double(horizon - y);
            double fx = rowDist * rayDir.x + pos.x;
            double fy = pos.y + rayDir.y * rowDist;
            if (!(fx >= 0 && fy >= 0 && fx < level.width && fy < level.height)) continue;
            size_t cell = size_t(int64_t(fy)) * size_t(level.width) + size_t(int64_t(fx));
            uint8_t index = level.cells[cell * levelGrid::CELL_BYTES + levelGrid::CEILING];
            if (index == levelGrid::TEXTURE_NONE) continue;
            int32_t kc = fogWeight(rowDist, fogs.density);
            if (kc >= 255) {
                pixel(target, x, y) = fogs.color;
                continue;
            }
            const pixels::ConstArea* T = texture(level, index);
            if (!T) continue;
            uint32_t colour = texel(*T, truncSaturated(frac(fx) * T->width),
                                    truncSaturated(frac(fy) * T->height));
            pixel(target, x, y) = fog(colour, fogs.color, kc & 255);
        }
        applyMatrix(step, rayDir, rayDir);
    }
    reference::renderSprites(frame);
}

void renderFrame(const Frame& frame) {
    for (int32_t y = 0; y < frame.target.height; ++y)
        for (int32_t x = 0; x < frame.target.width; ++x)
            pixel(frame.target, x, y) = BACKGROUND;
    reference::renderSky(frame);
    reference::renderWalls(frame);
}

void prepareSprites(const Vec2& c, SpriteDraw* sprites, size_t count, double timeStep) {
    for (size_t i = 0; i < count; ++i) {
        Vec2 v;
        vec2Sub(c, sprites[i].position, v);
        sprites[i].dist = vec2Length(v);
        sprites[i].angleToCam =
            1.0 -
            (std::atan2(v.y, v.x) - std::atan2(sprites[i].facing.y, sprites[i].facing.x) +
             3.141592653589793) /
                6.283185307179586 +
            0.5;
    }
    std::stable_sort(sprites, sprites + count,
                     [](const SpriteDraw& a, const SpriteDraw& b) { return a.dist > b.dist; });
    for (size_t i = 0; i < count; ++i) {
        SpriteDraw& s = sprites[i];
        if (!s.drawable || s.frameCount <= 0) continue;
        s.progress += s.speed * timeStep;
        if (s.oscillate) {
            if (s.progress >= 1.0) {
                s.speed = -s.speed;
                s.progress -= 1.0 / s.frameCount;
            } else if (s.progress < 0.0) {
                s.speed = -s.speed;
                s.progress += 1.0 / s.frameCount;
            }
        } else if (s.progress >= 1.0) {
            s.progress = 0.0;
        }
    }
}

} // namespace reference
