#include "raycast_scenes.hpp"

#include <cmath>

namespace scenes {

using namespace raycast;

uint32_t Random::next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    uint32_t x = uint32_t(state >> 33) ^ uint32_t(state >> 17);
    return x * 2654435761u;
}

double Random::uniform(double low, double high) {
    return low + (high - low) * (next() / 4294967296.0);
}

int32_t Random::below(int32_t limit) {
    return int32_t(next() % uint32_t(limit));
}

void Scene::addTexture(Image image) {
    textures.push_back(std::make_unique<Image>(std::move(image)));
    textureAreas.clear();
    for (const auto& texture : textures)
        textureAreas.push_back(texture->area());
}

levelGrid::View Scene::view(bool withSky) const {
    levelGrid::View level;
    level.cells = cells.data();
    level.cellBytes = cells.size();
    level.width = width;
    level.height = height;
    level.textures = textureAreas.data();
    level.textureCount = textureAreas.size();
    if (withSky) level.sky = sky.area();
    level.fog = fog;
    return level;
}

Image checkerboard(int32_t width, int32_t height) {
    Image image{width, height, std::vector<uint32_t>(size_t(width) * height, 0xffaaaaaau)};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if ((x < width / 2 && y < height / 2) ||
                (x >= width / 2 && x < 2 * (width / 2) && y >= height / 2 && y < 2 * (height / 2)))
                image.pixels[size_t(y) * width + x] = 0xff333333u;
    return image;
}

Image noise(int32_t width, int32_t height, uint64_t seed, bool translucent) {
    Random random(seed);
    Image image{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (uint32_t& pixel : image.pixels) {
        uint32_t alpha = 0xff;
        if (translucent) {
            uint32_t pick = random.next() % 4;
            alpha = pick == 0 ? 0 : pick == 1 ? 255 : random.next() & 255;
        }
        pixel = alpha << 24 | (random.next() & 0xffffff);
    }
    return image;
}

Image padded(const Image& image, int32_t stride) {
    Image wide{image.width, image.height, std::vector<uint32_t>(size_t(stride) * image.height),
               stride};
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            wide.pixels[size_t(y) * stride + x] = image.pixels[size_t(y) * image.width + x];
    return wide;
}

Scene emptyLevel() {
    Scene scene;
    scene.width = scene.height = 30;
    scene.cells.assign(30 * 30 * 7, 0);
    for (int32_t i = 0; i < 30; ++i) {
        *scene.cell(i, 0) = *scene.cell(i, 29) = levelGrid::SQUARE;
        *scene.cell(0, i) = *scene.cell(29, i) = levelGrid::SQUARE;
    }
    scene.addTexture(checkerboard(64, 64));
    scene.fog = levelGrid::Fog{0xff000000u, 5, 0xffffffffu, 0};
    return scene;
}

Scene representativeLevel(int32_t spriteCount) {
    Scene scene;
    Random random(7);
    scene.width = scene.height = 32;
    scene.cells.assign(size_t(32 * 32 * 7), 0);
    scene.addTexture(checkerboard(64, 64));
    scene.addTexture(noise(64, 64, 1, false));
    scene.addTexture(noise(64, 64, 2, false));
    scene.addTexture(noise(32, 48, 3, false)); // neither square nor a power of two
    scene.addTexture(noise(128, 128, 4, false));
    scene.addTexture(noise(64, 64, 5, true));
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            uint8_t* cell = scene.cell(x, y);
            cell[levelGrid::FLOOR] = uint8_t((x / 4 + y / 4) % 2 ? 1 : 4);
            // An open courtyard shows the sky, and a strip has no floor.
            cell[levelGrid::CEILING] =
                (x >= 12 && x < 20 && y >= 12 && y < 20) ? levelGrid::TEXTURE_NONE : 2;
            if (y == 25 && x > 3 && x < 9) cell[levelGrid::FLOOR] = levelGrid::TEXTURE_NONE;
            for (int32_t face = levelGrid::NORTH; face <= levelGrid::WEST; ++face)
                cell[face] = uint8_t(random.below(6));
            bool border = x == 0 || y == 0 || x == 31 || y == 31;
            if (border) {
                cell[0] = levelGrid::SQUARE;
            } else if (random.below(100) < 12 && !(x >= 2 && x <= 3 && y >= 2 && y <= 3)) {
                cell[0] = uint8_t(random.below(3) == 0 ? levelGrid::SQUARE : 2 + random.below(4));
                if (random.below(20) == 0) cell[0] = uint8_t(6 + random.below(250));
            }
        }
    scene.sky = noise(1024, 256, 9, false);
    scene.flashlight = noise(128, 128, 10, false);
    scene.fog = levelGrid::Fog{0xff102030u, 3, 0xffc0c8d0u, 40};

    for (int32_t i = 0; i < 4; ++i) {
        // 4 x 4 frames of 32 x 32: 2 steps of 8 directions, or 4 steps of 1 direction.
        scene.sheets.push_back(std::make_unique<Image>(noise(128, 128, 20 + i, true)));
    }
    for (int32_t i = 0; i < spriteCount; ++i) {
        SpriteDraw sprite;
        sprite.index = uint32_t(i);
        int32_t x, y;
        do {
            x = 1 + random.below(30);
            y = 1 + random.below(30);
        } while (*scene.cell(x, y) != levelGrid::EMPTY);
        sprite.position = {x + random.uniform(0.1, 0.9), y + random.uniform(0.1, 0.9)};
        double angle = random.uniform(-3.2, 3.2);
        sprite.facing = {std::cos(angle), std::sin(angle)};
        const Image& sheet = *scene.sheets[size_t(i) % scene.sheets.size()];
        sprite.sheet = sheet.area();
        sprite.frameWidth = sprite.frameHeight = 32;
        sprite.xFrames = 4;
        bool directional = i % 2 == 0;
        sprite.frameCount = directional ? 2 : 4;
        sprite.directions = directional ? 8 : 1;
        sprite.currentDirections = sprite.directions;
        sprite.currentMinFrame = 0;
        sprite.oscillate = i % 3 == 0;
        sprite.speed = random.uniform(0.5, 3.0);
        sprite.progress = random.uniform(0.0, 0.99);
        sprite.blendMode = i % 5 == 0 ? BLENDMODE_ADD : BLENDMODE_BLEND;
        sprite.shadeless = i % 7 == 0;
        sprite.scale = i % 4 == 0 ? 0.5 : i % 4 == 1 ? 1.0 : 0.8;
        sprite.zOffset = i % 4 == 0 ? 0.5 : i % 6 == 1 ? -0.3 : 0.0;
        scene.sprites.push_back(sprite);
    }
    return scene;
}

CameraView camera(Vec2 pos, Vec2 dir, int32_t fov, int32_t pitch, double ratio) {
    CameraView view;
    view.pos = pos;
    view.dir = dir;
    view.skyDegrees = viewDegrees(dir);
    view.fov = fov;
    view.pitch = pitch;
    view.ratio = ratio;
    return view;
}

CameraView randomCamera(const Scene& scene, Random& random) {
    CameraView camera;
    int32_t x, y;
    do {
        x = 1 + random.below(scene.width - 2);
        y = 1 + random.below(scene.height - 2);
    } while (scene.cells[(size_t(y) * scene.width + x) * 7] != levelGrid::EMPTY);
    camera.pos = {x + random.uniform(0.05, 0.95), y + random.uniform(0.05, 0.95)};
    double angle = random.uniform(-3.3, 3.3);
    camera.dir = {std::cos(angle), std::sin(angle)};
    double length = std::sqrt(camera.dir.x * camera.dir.x + camera.dir.y * camera.dir.y);
    camera.dir.x /= length;
    camera.dir.y /= length;
    camera.skyDegrees = viewDegrees(camera.dir);
    static const int32_t fovs[] = {60, 61, 90, 45, 75};
    camera.fov = fovs[random.below(5)];
    camera.pitch = random.below(81) - 40;
    camera.ratio = random.below(3) == 0 ? 1.6 : random.uniform(0.9, 2.2);
    return camera;
}

} // namespace scenes
