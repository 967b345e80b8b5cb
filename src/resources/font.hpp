// Font: a TrueType font at one point size that measures UTF-8 text and renders it
// into new Textures.
#pragma once

#include "resources.hpp"

#include <SDL_ttf.h>

#include <cstdint>

struct Font : Resource {
    // Owned: closed when the Font is destroyed or opens another file. Nothing
    // outside the Font keeps this pointer.
    TTF_Font* font;
    int32_t size; // the point size given to the constructor

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& fontClass();
