// Texture: the engine's one image type, an ARGB8888 software surface whose rows are
// exactly 4 * width bytes. Every part of the engine that draws reads and writes
// these pixels directly through a pixels::Area.
//
// Surface lifetime: a Texture frees its surface when it is destroyed, and frees a
// surface that a second __init__ replaces at once. Whoever uses a Texture's pixels
// keeps a strong reference to the Texture and reads `surface` (or view()) afresh
// after any point where Python code may have run (a call into Python, a conversion
// of a Python argument, a release of a reference); a raw SDL_Surface* is never kept
// across such a point.
#pragma once

#include "core/pixels.hpp"
#include "resources.hpp"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>

struct Texture : Resource {
    // Owned by the texture; replaced (and the old one freed) by a second __init__, so
    // it is read afresh after Python code may have run.
    SDL_Surface* surface;

    // The whole surface; empty (null pixels, size 0 x 0) for a texture without one.
    pixels::Area view() const {
        if (!surface || !surface->pixels) return {};
        return {static_cast<uint32_t*>(surface->pixels), size_t(surface->pitch) / sizeof(uint32_t),
                surface->w, surface->h};
    }

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

inline bool isTexture(PyObject* object) {
    return Texture::type && PyObject_TypeCheck(object, Texture::type);
}

// The surface of a Texture, or null with EngineException "Texture is not
// initialised." for one whose __init__ never ran or failed.
SDL_Surface* textureSurface(PyObject* texture);

// A surface that the holder frees.
struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using OwnedSurface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// The image file at `path` (bytes for the system), decoded by SDL_image as it is
// stored, or null with SDL's error set. Every image the engine loads from a file comes
// through here (textures, the window icon; level textures, sprite sheets and UI
// tilesets too), so that each load reads the file once into memory (through
// resources/mediaFile.hpp, without the interpreter lock) and decodes exactly those
// bytes, and a PNG cut short (its chunks do not all fit in the file up to IEND) is
// refused before the decoder, which would spin on it, sees it. Magicless formats are
// told by the file name's extension, as SDL_image does.
OwnedSurface loadImageFile(const char* path);

// loadImageFile's image converted to the engine's pixel format, or null with SDL's
// error set.
OwnedSurface loadImageSurface(const char* path);

// Writes `surface` as a PNG file at `path` (bytes for the system), replacing the file
// there only once the whole image is written and flushed: the image is encoded in
// memory, every error of the encoder checked, then handed to atomicFile, which writes
// it without the interpreter lock. False with SDL's error set, or with a Python error
// set when a signal's handler raised while the file waited (a pipe's reader that does
// not read: Ctrl-C ends the wait); the previous file is then as it was, and no
// temporary file is left.
bool savePngFile(SDL_Surface* surface, const char* path);

// A new blank Texture of that size (transparent black, file name ""), made through
// the class's own constructor.
PyObject* newTexture(int32_t width, int32_t height);

// A new Texture (file name "") that takes over `surface` (not null): converted to
// the engine's format if it is in another, its rows packed in place if they are
// padded. The Texture is made through the class's allocation; nothing else has
// seen it, so no blank surface is made only to be replaced.
PyObject* textureFromSurface(OwnedSurface surface);

// The components of a colour argument, unconverted: a sequence of 3 (r, g, b;
// alpha 255) or 4 (r, g, b, a). Other lengths raise the engine's colour TypeError.
struct ColorArgument {
    py::Ref items; // the unpacked sequence, which keeps the components alive
    PyObject* components[4] = {};
    Py_ssize_t count = 0;
};
bool unpackColor(PyObject* color, ColorArgument& out);

py::ClassDef& textureClass();
