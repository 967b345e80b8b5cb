// Texture: made blank, as a copy or from an image file; filled, checkered, drawn
// onto and saved as PNG. The methods check their arguments and the surface and draw
// with resources/texture/drawing.hpp. Also the engine's one loader of image files,
// which every image load goes through.
#include "resources/texture.hpp"

#include "core/atomicFile.hpp"
#include "core/pngframing.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/unlocked.hpp"
#include "resources/mediaFile.hpp"
#include "resources/texture/drawing.hpp"

#include <SDL_image.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

// --- surfaces -----------------------------------------------------------------------------

static const SDL_PixelFormat ENGINE_PIXEL_FORMAT = {
    .format = SDL_PIXELFORMAT_ARGB8888,
    .palette = nullptr,
    .BitsPerPixel = 32,
    .BytesPerPixel = 4,
    .Rmask = 0x00FF0000,
    .Gmask = 0x0000FF00,
    .Bmask = 0x000000FF,
    .Amask = 0xFF000000,
    .Rshift = 16,
    .Gshift = 8,
    .Bshift = 0,
    .Ashift = 24,
    .refcount = 1,
    .next = nullptr,
};

static SDL_Surface* createBlankSurface(int32_t w, int32_t h) {
    return SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
}

static SDL_Surface* convertToEngineFormat(SDL_Surface* surface) {
    return SDL_ConvertSurface(surface, &ENGINE_PIXEL_FORMAT, 0);
}

SDL_Surface* textureSurface(PyObject* texture) {
    SDL_Surface* surface = py::cast<Texture>(texture)->surface;
    if (!surface) py::engineException("Texture is not initialised.");
    return surface;
}

// Puts `surface` (may be null after a failed creation) in place of the current one
// and frees that one: no holder keeps a surface pointer across Python code, which is
// the only way to reach a second __init__.
static void installSurface(Texture* texture, SDL_Surface* surface) {
    SDL_FreeSurface(std::exchange(texture->surface, surface));
}

static void fillSurface(SDL_Surface* surface, uint32_t value) {
    fillRect(surface, {0, 0, surface->w, surface->h}, value);
}

// --- image files --------------------------------------------------------------------------

// Reads what the stream holds (mediaFile.hpp: at most the file's size when it was
// opened), in steps that grow with what came, so a device that reports more than it
// holds costs no more than what it gave.
static void readWholeFile(SDL_RWops* file, std::vector<uint8_t>& bytes) {
    constexpr size_t firstRead = size_t(1) << 16;
    uint64_t size = uint64_t(std::max<Sint64>(SDL_RWsize(file), 0));
    while (bytes.size() < size) {
        size_t want =
            size_t(std::min<uint64_t>(size - bytes.size(), std::max(bytes.size(), firstRead)));
        size_t had = bytes.size();
        bytes.resize(had + want);
        size_t got = SDL_RWread(file, bytes.data() + had, 1, want);
        bytes.resize(had + got);
        if (got < want) break; // the end came early, or the read failed
    }
}

struct FileCloser {
    void operator()(SDL_RWops* file) const { SDL_RWclose(file); }
};

// The image on `stream` (which it closes), decoded as it is stored; run without the
// interpreter lock.
static OwnedSurface decodeImageFile(SDL_RWops* stream, const char* path) {
    std::vector<uint8_t> bytes;
    {
        std::unique_ptr<SDL_RWops, FileCloser> file(stream);
        readWholeFile(file.get(), bytes);
    }
    if (pngframing::looksLikePng(bytes.data(), bytes.size()) &&
        !pngframing::isComplete(bytes.data(), bytes.size())) {
        SDL_SetError("The PNG file ends before its last chunk.");
        return nullptr;
    }
    if (bytes.size() > size_t(INT_MAX)) { // SDL reads memory through an int size
        SDL_SetError("The image file is too large.");
        return nullptr;
    }
    SDL_RWops* memory = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
    if (!memory) return nullptr;
    const char* extension = std::strrchr(path, '.');
    return OwnedSurface(IMG_LoadTyped_RW(memory, 1, extension ? extension + 1 : nullptr));
}

OwnedSurface loadImageFile(const char* path) {
    return decodeMediaFile(path, [&](SDL_RWops* stream) { return decodeImageFile(stream, path); });
}

OwnedSurface loadImageSurface(const char* path) {
    return decodeMediaFile(path, [&](SDL_RWops* stream) {
        OwnedSurface loaded = decodeImageFile(stream, path);
        return OwnedSurface(loaded ? convertToEngineFormat(loaded.get()) : nullptr);
    });
}

// --- PNG files ----------------------------------------------------------------------------

namespace {

// An SDL stream over a growing buffer, for the encoder to write into. Its callbacks run
// inside the C encoder, so they report a failure (memory) by their result, never by
// an exception.
struct MemoryStream {
    std::vector<uint8_t> bytes;
    size_t position = 0;

    static MemoryStream& of(SDL_RWops* stream) {
        return *static_cast<MemoryStream*>(stream->hidden.unknown.data1);
    }
    static Sint64 size(SDL_RWops* stream) { return Sint64(of(stream).bytes.size()); }
    static Sint64 seek(SDL_RWops* stream, Sint64 offset, int whence) {
        MemoryStream& memory = of(stream);
        Sint64 base = whence == RW_SEEK_SET   ? 0
                      : whence == RW_SEEK_CUR ? Sint64(memory.position)
                                              : Sint64(memory.bytes.size());
        if (offset < -base || offset > INT32_MAX) return SDL_SetError("Seek outside the image");
        memory.position = size_t(base + offset);
        return Sint64(memory.position);
    }
    static size_t read(SDL_RWops*, void*, size_t, size_t) { return 0; }
    static size_t write(SDL_RWops* stream, const void* from, size_t size, size_t count) {
        MemoryStream& memory = of(stream);
        if (size == 0 || count > SIZE_MAX / size) return 0;
        size_t length = size * count;
        try {
            if (memory.bytes.size() < memory.position + length)
                memory.bytes.resize(memory.position + length);
        } catch (const std::bad_alloc&) {
            SDL_OutOfMemory();
            return 0;
        }
        std::memcpy(memory.bytes.data() + memory.position, from, length);
        memory.position += length;
        return count;
    }
    static int close(SDL_RWops*) { return 0; } // the stream is freed by its maker
};

struct StreamFreer {
    void operator()(SDL_RWops* stream) const { SDL_FreeRW(stream); }
};

bool encodePng(SDL_Surface* surface, MemoryStream& memory) {
    std::unique_ptr<SDL_RWops, StreamFreer> stream(SDL_AllocRW());
    if (!stream) return false;
    stream->type = SDL_RWOPS_UNKNOWN;
    stream->hidden.unknown.data1 = &memory;
    stream->size = MemoryStream::size;
    stream->seek = MemoryStream::seek;
    stream->read = MemoryStream::read;
    stream->write = MemoryStream::write;
    stream->close = MemoryStream::close;
    return IMG_SavePNG_RW(surface, stream.get(), 0) == 0;
}

// True for a step that succeeded; a system error goes to SDL's error, while a Python
// error (-1: a signal's handler raised) is already set.
bool succeeded(int error) {
    if (error > 0) SDL_SetError("%s", std::strerror(error));
    return error == 0;
}

} // namespace

bool savePngFile(SDL_Surface* surface, const char* path) {
    MemoryStream memory;
    if (!encodePng(surface, memory)) return false;
    // The encoded bytes are the save's own: the file is written without the lock.
    atomicFile::Replacement file;
    size_t written = 0;
    return succeeded(py::waitWithoutLock([&] { return file.open(path); })) &&
           succeeded(py::waitWithoutLock(
               [&] { return file.write(memory.bytes.data(), memory.bytes.size(), written); })) &&
           succeeded(py::withoutLock([&] { return file.finish(); })) &&
           succeeded(py::withoutLock([&] { return file.commit(); }));
}

// --- colour arguments -----------------------------------------------------------------------

bool unpackColor(PyObject* color, ColorArgument& out) {
    Py_ssize_t count = PyObject_Size(color);
    if (count < 0) return false;
    if (count != 3 && count != 4)
        return py::raise(PyExc_TypeError,
                         "color must be a tuple of 3 (rgb) or 4 (rgba) integers between 0 and 255");
    // A private tuple: converting one component cannot change the others under us.
    py::Ref items(PySequence_Tuple(color));
    if (!items) return false;
    Py_ssize_t got = PyTuple_GET_SIZE(items.get());
    if (got > count) {
        PyErr_Format(PyExc_ValueError, "too many values to unpack (expected %zd)", count);
        return false;
    }
    if (got < count) {
        PyErr_Format(PyExc_ValueError, "not enough values to unpack (expected %zd, got %zd)", count,
                     got);
        return false;
    }
    for (Py_ssize_t i = 0; i < count; ++i)
        out.components[i] = PyTuple_GET_ITEM(items.get(), i);
    out.count = count;
    out.items = std::move(items);
    return true;
}

// A fill colour: each component a uint32_t by the host's rules and then at most 255,
// so that no component spills into its neighbour's channel.
static bool toFillColor(PyObject* color, uint32_t& value) {
    ColorArgument argument;
    if (!unpackColor(color, argument)) return false;
    uint32_t channels[4] = {0, 0, 0, 255};
    for (Py_ssize_t i = 0; i < argument.count; ++i) {
        if (!py::toUint32(argument.components[i], channels[i])) return false;
        if (channels[i] > 255)
            return py::raise(PyExc_OverflowError,
                             "color components must be integers between 0 and 255");
    }
    value = channels[3] << 24 | channels[0] << 16 | channels[1] << 8 | channels[2];
    return true;
}

// --- construction -------------------------------------------------------------------------

static void setFilename(PyObject* self, PyObject* filename) {
    py::assign(py::cast<Resource>(self)->filename, filename);
}

static bool setEmptyFilename(PyObject* self) {
    py::Ref empty(PyUnicode_FromStringAndSize(nullptr, 0));
    if (empty) setFilename(self, empty.get());
    return bool(empty);
}

// Installs a new blank surface, or none and EngineSdlException when SDL cannot make it
// (a negative size, exhausted memory).
static bool installBlankSurface(PyObject* self, int32_t width, int32_t height) {
    SDL_Surface* surface = createBlankSurface(width, height);
    installSurface(py::cast<Texture>(self), surface);
    return surface || py::engineSdlException("Unable to create texture surface.");
}

static py::Name nWidth("width");
static py::Name nHeight("height");
static py::Name nCopyFrom("copyFrom");

static bool readSizeAttribute(PyObject* texture, py::Name& name, int32_t& out) {
    py::Ref value = py::getAttr(texture, name);
    return value && py::toInt32(value.get(), out);
}

static int Texture_init(PyObject* self, py::Arguments<2>& a) {
    PyObject* w = a[0];
    PyObject* h = a[1] ? a[1] : Py_None;
    if (Py_IS_TYPE(w, &PyLong_Type) && Py_IS_TYPE(h, &PyLong_Type)) {
        int32_t width, height;
        if (!setEmptyFilename(self) || !py::toInt32(w, width) || !py::toInt32(h, height)) return -1;
        return installBlankSurface(self, width, height) ? 0 : -1;
    }
    if (Py_IS_TYPE(w, Texture::type)) {
        int32_t width, height;
        if (!setEmptyFilename(self) || !readSizeAttribute(w, nWidth, width) ||
            !readSizeAttribute(w, nHeight, height) || !installBlankSurface(self, width, height))
            return -1;
        return py::callMethod(self, nCopyFrom, w) ? 0 : -1;
    }
    py::FileName path(w);
    const char* name = path.c_str();
    if (!name) return -1;
    setFilename(self, w);
    SDL_Surface* surface = loadImageSurface(name).release();
    installSurface(py::cast<Texture>(self), surface);
    return surface ? 0 : py::fileError("Unable to load image file '%s'", w);
}

static void Texture_release(PyObject* self) {
    SDL_FreeSurface(py::cast<Texture>(self)->surface);
}

PyObject* textureFromSurface(OwnedSurface surface) {
    if (surface->format->format != SDL_PIXELFORMAT_ARGB8888 || SDL_MUSTLOCK(surface.get()))
        surface.reset(convertToEngineFormat(surface.get()));
    if (!surface) return py::engineSdlException("Unable to create texture surface.");
    pixels::packRows(static_cast<uint32_t*>(surface->pixels),
                     size_t(surface->pitch) / sizeof(uint32_t), surface->w, surface->h);
    surface->pitch = surface->w * int(sizeof(uint32_t));
    py::Ref texture(Texture::type->tp_new(Texture::type, nullptr, nullptr));
    if (!texture || !setEmptyFilename(texture.get())) return nullptr;
    py::cast<Texture>(texture.get())->surface = surface.release();
    return texture.release();
}

PyObject* newTexture(int32_t width, int32_t height) {
    return PyObject_CallFunction(py::asObject(Texture::type), "ii", width, height);
}

// --- methods ------------------------------------------------------------------------------

static PyObject* Texture_getWidth(PyObject* self, void*) {
    SDL_Surface* surface = textureSurface(self);
    return surface ? PyLong_FromLong(surface->w) : nullptr;
}

static PyObject* Texture_getHeight(PyObject* self, void*) {
    SDL_Surface* surface = textureSurface(self);
    return surface ? PyLong_FromLong(surface->h) : nullptr;
}

static PyObject* Texture_getSize(PyObject* self, PyObject*) {
    SDL_Surface* surface = textureSurface(self);
    return surface ? py::intPair(surface->w, surface->h) : nullptr;
}

static PyObject* Texture_copyFrom(PyObject* self, PyObject* other) {
    if (!py::checkArgument(other, Texture::type, "other")) return nullptr;
    SDL_Surface* target = textureSurface(self);
    SDL_Surface* source = target ? textureSurface(other) : nullptr;
    if (!source) return nullptr;
    drawSurface(target, source, 0, 0);
    Py_RETURN_NONE;
}

static PyObject* Texture_fill(PyObject* self, PyObject* color) {
    uint32_t value;
    if (!textureSurface(self) || !toFillColor(color, value)) return nullptr;
    // Converting the colour ran Python code, which may have re-initialised the texture.
    SDL_Surface* surface = textureSurface(self);
    if (!surface) return nullptr;
    fillSurface(surface, value);
    Py_RETURN_NONE;
}

static PyObject* Texture_fillChecker(PyObject* self, PyObject*) {
    SDL_Surface* surface = textureSurface(self);
    if (!surface) return nullptr;
    int32_t halfWidth = surface->w / 2, halfHeight = surface->h / 2;
    fillSurface(surface, 0xFFAAAAAA);
    fillRect(surface, {0, 0, halfWidth, halfHeight}, 0xFF333333);
    fillRect(surface, {halfWidth, halfHeight, halfWidth, halfHeight}, 0xFF333333);
    Py_RETURN_NONE;
}

static PyObject* Texture_saveFile(PyObject* self, PyObject* filename) {
    if (!textureSurface(self)) return nullptr;
    py::FileName path(filename);
    const char* name = path.c_str();
    // Encoding the name ran Python code, which may have re-initialised the texture.
    SDL_Surface* surface = name ? textureSurface(self) : nullptr;
    if (!surface) return nullptr;
    if (!savePngFile(surface, name)) {
        if (PyErr_Occurred()) return nullptr; // a signal's handler raised while it waited
        return py::fileError("Unable to save image file '%s'", filename);
    }
    Py_RETURN_NONE;
}

static const PyMethodDef textureMethods[] = {
    py::noArgs<"getSize", Texture_getSize>(
        py::doc<"@returns((int, int))", "Returns the size of the texture in pixels.">),
    py::oneArg<"copyFrom", Texture_copyFrom, "other">(py::doc<"@param(other, Texture)">),
    py::oneArg<"fill", Texture_fill, "color">(
        py::doc<"@param(color, (int, int, int [, int]))", "Fills the whole texture with a color.">),
    py::noArgs<"fillChecker", Texture_fillChecker>(),
    py::oneArg<"saveFile", Texture_saveFile, "filename">(
        py::doc<"@param(filename, str)", "Saves the content of the texture as a PNG file",
                "(thus, the file name should end with '.png')">),
};

static const PyGetSetDef textureProperties[] = {
    py::property<Texture_getWidth>("width"),
    py::property<Texture_getHeight>("height"),
};

py::ClassDef& textureClass() {
    return py::define<Texture>(
        "Texture",
        {.doc = py::classDoc<"A texture resource.">,
         .init = py::init<Texture_init, "w", "h=None">,
         .methods = textureMethods,
         .properties = textureProperties,
         .initDoc = py::doc<"@param(w, int)", "@param(h, int)", "??? documentation syntax",
                            "alternative signature: __init__(filename)">,
         .release = Texture_release});
}
