// Texture: the engine's one image type, an ARGB8888 software surface whose rows are
// exactly 4 * width bytes. Every part of the engine that draws reads and writes
// these pixels directly through a PixelView.
#pragma once

#include "resources.hpp"

#include <SDL.h>

#include <cstdint>

// The pixels of a texture: pixel (x, y) is pixels[y * width + x], 0xAARRGGBB.
// A texture without a surface has an empty view (null pixels, size 0 x 0).
struct PixelView {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    explicit operator bool() const { return pixels != nullptr; }
    bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t* row(int32_t y) const { return pixels + size_t(y) * size_t(width); }
};

struct Texture : Resource {
    // Owned by the texture. Whoever keeps this pointer keeps the Texture alive.
    SDL_Surface* surface;

    PixelView view() const {
        if (!surface || !surface->pixels) return {};
        return {static_cast<uint32_t*>(surface->pixels), surface->w, surface->h};
    }

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

inline bool isTexture(PyObject* object) { return Texture::type && PyObject_TypeCheck(object, Texture::type); }

py::ClassDef& textureClass();
