// Font: opens a TTF file at a point size, measures text and renders it, one line
// or a stack of lines, into new Textures that keep the engine's pixel contract
// (ARGB8888, rows of exactly 4 * width bytes).
#include "resources/font.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "resources/mediaFile.hpp"
#include "resources/texture.hpp"
#include "resources/texture/drawing.hpp"

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>
#include <vector>

// The open font, or null with EngineException for a Font whose __init__ never ran
// or failed. A conversion of an argument runs Python code, which may call __init__
// again and so close the font: it is read again after the conversions, right
// before SDL_ttf uses it.
static TTF_Font* openFont(PyObject* self) {
    TTF_Font* font = py::cast<Font>(self)->font;
    if (!font) py::engineException("Font is not initialised.");
    return font;
}

// FreeType's library, which every face opens and closes in, takes one opening or
// closing at a time; a font opens without the interpreter lock (mediaFile.hpp), so
// the engine keeps them apart. Rendering with one face while another opens is allowed.
static std::mutex& faceOpenings() {
    static std::mutex lock;
    return lock;
}

static void closeFont(TTF_Font* font) {
    if (!font) return;
    std::lock_guard opening(faceOpenings());
    TTF_CloseFont(font);
}

static TTF_Font* openFontFile(const char* path, int32_t size) {
    return decodeMediaFile(path, [size](SDL_RWops* stream) {
        std::lock_guard opening(faceOpenings());
        return TTF_OpenFontRW(stream, 1, size); // closes the stream on every path
    });
}

static int Font_init(PyObject* self, py::Arguments<2>& a) {
    PyObject* filename = a[0];
    py::FileName path(filename);
    const char* name = path.c_str();
    if (!name) return -1;
    Font* font = py::cast<Font>(self);
    static uint64_t openings = 0;
    font->serial = ++openings;
    py::assign(font->filename, filename);
    if (!py::toInt32(a[1], font->size)) return -1;
    TTF_Font* opened = openFontFile(name, font->size);
    closeFont(font->font);
    font->font = opened;
    if (opened) return 0;
    return py::fileError("Unable to load font file '%s'", filename, TTF_GetError());
}

static void Font_release(PyObject* self) {
    closeFont(py::cast<Font>(self)->font);
}

// The components of a colour already unpacked, each an unsigned byte.
static bool toTextColor(const ColorArgument& argument, SDL_Color& color) {
    uint8_t channels[4] = {0, 0, 0, 255};
    for (Py_ssize_t i = 0; i < argument.count; ++i)
        if (!py::toUint8(argument.components[i], channels[i])) return false;
    color = {channels[0], channels[1], channels[2], channels[3]};
    return true;
}

// The text rendered blended (anti-aliased on a transparent background); null when
// the renderer gives nothing (an empty text, or a failure).
static OwnedSurface renderBlended(TTF_Font* font, const char* text, SDL_Color color) {
    return OwnedSurface(TTF_RenderUTF8_Blended(font, text, color));
}

// --- methods ------------------------------------------------------------------------------

static PyObject* Font_getFontSize(PyObject* self, PyObject*) {
    return PyLong_FromLong(py::cast<Font>(self)->size);
}

bool measureText(PyObject* self, PyObject* text, int& width, int& height) {
    if (!openFont(self)) return false;
    py::Utf8 encoded(text);
    TTF_Font* font = encoded ? openFont(self) : nullptr;
    if (!font) return false;
    width = height = 0;
    if (TTF_SizeUTF8(font, encoded.c_str(), &width, &height) < 0)
        return py::engineSdlException("Unable to measure text.");
    return true;
}

static PyObject* Font_getRenderedTextSize(PyObject* self, PyObject* text) {
    int width, height;
    return measureText(self, text, width, height) ? py::intPair(width, height) : nullptr;
}

static PyObject* Font_render(PyObject* self, py::Arguments<2>& a) {
    ColorArgument argument;
    if (!openFont(self) || !unpackColor(a[1], argument)) return nullptr;
    py::Utf8 text(a[0]);
    SDL_Color color;
    if (!text || !toTextColor(argument, color)) return nullptr;
    TTF_Font* font = openFont(self);
    if (!font) return nullptr;
    OwnedSurface rendered = renderBlended(font, text.c_str(), color);
    if (!rendered) {
        // Nothing to draw is an empty texture one line high; anything else is a failure.
        int width = 0, height = 0;
        if (TTF_SizeUTF8(font, text.c_str(), &width, &height) == 0 && width == 0)
            return newTexture(0, TTF_FontHeight(font));
        return py::engineSdlException("Unable to render text.");
    }
    return textureFromSurface(std::move(rendered));
}

// One entry of renderLines: its rendered surface, or none for an empty line.
struct Line {
    OwnedSurface surface;
    int64_t height;
};

PyObject* renderTextLines(PyObject* self, PyObject* lines, PyObject* colorArgument) {
    ColorArgument argument;
    SDL_Color color;
    if (!openFont(self) || !unpackColor(colorArgument, argument) || !toTextColor(argument, color))
        return nullptr;
    if (PyObject_Size(lines) < 0) return nullptr;
    // One snapshot: measuring and drawing see the same lines, whatever the lines do.
    py::Ref snapshot(PySequence_Tuple(lines));
    py::Ref empty(snapshot ? PyUnicode_FromStringAndSize(nullptr, 0) : nullptr);
    if (!empty) return nullptr;
    int32_t pointSize = py::cast<Font>(self)->size;
    std::vector<Line> entries;
    entries.reserve(size_t(PyTuple_GET_SIZE(snapshot.get())));
    int64_t width = 0, height = 0;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(snapshot.get()); ++i) {
        PyObject* line = PyTuple_GET_ITEM(snapshot.get(), i);
        int isEmpty = PyObject_RichCompareBool(line, empty.get(), Py_EQ);
        if (isEmpty < 0) return nullptr;
        Line entry{nullptr, pointSize};
        if (!isEmpty) {
            py::Utf8 text(line);
            TTF_Font* font = text ? openFont(self) : nullptr;
            if (!font) return nullptr;
            entry.surface = renderBlended(font, text.c_str(), color);
            if (entry.surface) {
                width = std::max<int64_t>(width, entry.surface->w);
                entry.height = entry.surface->h;
            }
        }
        height += entry.height;
        entries.push_back(std::move(entry));
    }
    if (height > INT32_MAX)
        return py::raise(PyExc_OverflowError, "the rendered lines are too high");
    py::Ref texture(newTexture(int32_t(width), int32_t(height)));
    if (!texture) return nullptr;
    SDL_Surface* target = py::cast<Texture>(texture.get())->surface;
    int64_t y = 0;
    for (const Line& entry : entries) {
        if (entry.surface) drawSurface(target, entry.surface.get(), 0, int32_t(y));
        y += entry.height;
    }
    return texture.release();
}

static PyObject* Font_renderLines(PyObject* self, py::Arguments<2>& a) {
    return renderTextLines(self, a[0], a[1]);
}

static const PyMethodDef fontMethods[] = {
    py::noArgs<"getFontSize", Font_getFontSize>(
        py::doc<"@returns(int)", "Returns the size of the font.">),
    py::oneArg<"getRenderedTextSize", Font_getRenderedTextSize, "text">(
        py::doc<"@param(text, str)", "@returns((int, int))",
                "Calculates the space that is needed to render the given text with this", "font.">),
    py::withKeywords<"render", Font_render, "text", "color">(
        py::doc<"@param(text, str)", "@param(color, (int, int, int [, int]))", "@returns(Texture)",
                "Renders the given text in the given color and returns a Texture object",
                "containing the result.">),
    py::withKeywords<"renderLines", Font_renderLines, "lines", "color">(
        py::doc<"@param(text, str[])", "@param(color, (int, int, int [, int]))",
                "@returns(Texture)",
                "Renders the given text in the given color and returns a Texture object",
                "containing the result.">),
};

static const py::Member fontMembers[] = {py::member<&Font::size>().readonly("size")};

py::ClassDef& fontClass() {
    return py::define<Font>(
        "Font", {.doc = py::classDoc<"A font resource. Fonts can be loaded from TTF files.">,
                 .members = fontMembers,
                 .init = py::init<Font_init, "filename", "size">,
                 .methods = fontMethods,
                 .initDoc = py::doc<"@param(filename, str)", "@param(size, int)",
                                    "Loads a font from the given file with the given font size.">,
                 .release = Font_release});
}
