// Levels, textures and sprites for the renderer's tests and its benchmark, built in
// memory: the engine's empty level and a representative one with every kind of block,
// fog, ground fog, a sky, open ceilings and animated sprites.
#pragma once

#include "core/raycastFrame.hpp"
#include "core/raycastSprites.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace scenes {

struct Image {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    int32_t stride = 0; // pixels from one row to the next; 0: the width
    pixels::ConstArea area() const {
        return {pixels.data(), size_t(stride ? stride : width), width, height};
    }
};

struct Scene {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> cells;
    std::vector<std::unique_ptr<Image>> textures;
    std::vector<pixels::ConstArea> textureAreas;
    Image sky;
    Image flashlight;
    std::vector<std::unique_ptr<Image>> sheets;
    levelGrid::Fog fog{};
    std::vector<raycast::SpriteDraw> sprites;

    uint8_t* cell(int32_t x, int32_t y) { return &cells[(size_t(y) * width + x) * 7]; }
    void addTexture(Image image);
    levelGrid::View view(bool withSky = true) const;
};

// A small reproducible generator.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed)
        : state(seed * 6364136223846793005ull + 1442695040888963407ull) {}
    uint32_t next();
    double uniform(double low, double high);
    int32_t below(int32_t limit);
};

Image checkerboard(int32_t width, int32_t height);
// Every texel different, with a spread of alpha values.
Image noise(int32_t width, int32_t height, uint64_t seed, bool translucent);
// The same picture with its rows `stride` pixels apart.
Image padded(const Image& image, int32_t stride);

// The 30 x 30 walled level with one 64 x 64 checkerboard and black fog of density 5.
Scene emptyLevel();
// 32 x 32 cells: square and triangle blocks, six textures of several sizes, open
// ceilings, fog and ground fog, a sky, a flashlight texture and `spriteCount` sprites.
Scene representativeLevel(int32_t spriteCount = 50);

// A camera with the sky turned by its direction's angle, as the renderer's own is.
raycast::CameraView camera(raycast::Vec2 pos, raycast::Vec2 dir, int32_t fov, int32_t pitch,
                           double ratio);

// A camera inside an empty cell of the scene, looking anywhere.
raycast::CameraView randomCamera(const Scene& scene, Random& random);

} // namespace scenes
