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
    // Which opening of a file this is, unique in the process: every __init__ takes a new
    // number, so a picture rendered with one opening is never mistaken for another's.
    uint64_t serial;

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

inline bool isEngineFont(PyObject* object) {
    return Py_IS_TYPE(object, Font::type);
}

// Font.getRenderedTextSize(text) of an engine Font, without building the pair: false
// with the error set.
bool measureText(PyObject* font, PyObject* text, int& width, int& height);

// Font.renderLines(lines, color) of an engine Font: a new Texture.
PyObject* renderTextLines(PyObject* font, PyObject* lines, PyObject* color);

py::ClassDef& fontClass();
