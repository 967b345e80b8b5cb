// UIText: the text and its lines, the measurements with the theme's font, the colour
// taken from the theme at attachment, and the drawing.
#include "ui/text.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "resources/font.hpp"
#include "resources/texture.hpp"
#include "resources/texture/drawing.hpp"
#include "ui/draw.hpp"
#include "ui/theme.hpp"
#include "ui/widgetRenderer.hpp"

#include <algorithm>

namespace {

py::Name nAileron("aileron");
py::Name nFontColor("fontColor");
py::Name nGetFont("getFont");
py::Name nGetColor("getColor");
py::Name nGetText("getText");
py::Name nSetText("setText");
py::Name nTheme("theme");
py::Name nSize("size");
py::Name nGetRenderedTextSize("getRenderedTextSize");
py::Name nRenderLines("renderLines");

// The theme's font "aileron", asked of the theme of the label's renderer at every use:
// the label keeps no font.
py::Ref themeFont(UIWidget* label) {
    py::Ref renderer = py::Ref::borrow(label->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    if (!theme) return py::Ref();
    PyObject* name = nAileron.get();
    if (!name) return py::Ref();
    if (py::hasOwnMethods(py::cast<UITheme>(theme.get()))) // UITheme.getFont itself
        return py::Ref(PyObject_GetItem(py::cast<UITheme>(theme.get())->fonts, name));
    return py::callMethod(theme.get(), nGetFont, name);
}

// font.getRenderedTextSize(line) as two ints.
bool measure(PyObject* font, PyObject* line, int32_t& width, int32_t& height) {
    if (isEngineFont(font)) {
        int w, h;
        if (!measureText(font, line, w, h)) return false;
        width = w;
        height = h;
        return true;
    }
    py::Ref size = py::callMethod(font, nGetRenderedTextSize, line);
    return size && py::toInt32Pair(size.get(), width, height);
}

// font.size as an int.
bool pointSize(PyObject* font, int32_t& out) {
    if (isEngineFont(font)) {
        out = py::cast<Font>(font)->size;
        return true;
    }
    py::Ref size = py::getAttr(font, nSize);
    return size && py::toInt32(size.get(), out);
}

// Calls step(line) for each line of the label's list of lines (TypeError "'NoneType'
// object is not iterable" before the constructor has split a text).
template <class Step> bool forEachLine(UIText* label, Step step) {
    py::Ref lines = py::Ref::borrow(label->lines);
    py::Ref iterator(PyObject_GetIter(lines.get()));
    if (!iterator) return false;
    while (py::Ref line{PyIter_Next(iterator.get())})
        if (!step(line.get())) return false;
    return !PyErr_Occurred();
}

// --- the picture, kept while it would be drawn the same --------------------------------

// A colour given as exact ints in an exact tuple or list, as renderLines reads it
// without running any code of the game: (r, g, b) or (r, g, b, a), each 0 to 255.
bool plainColor(PyObject* color, SDL_Color& out) {
    if (!PyTuple_CheckExact(color) && !PyList_CheckExact(color)) return false;
    Py_ssize_t count = PySequence_Fast_GET_SIZE(color);
    if (count != 3 && count != 4) return false;
    long channels[4] = {0, 0, 0, 255};
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(color, i);
        if (!PyLong_CheckExact(item)) return false;
        int overflow = 0;
        channels[i] = PyLong_AsLongAndOverflow(item, &overflow);
        if (overflow || channels[i] < 0 || channels[i] > 255) return false;
    }
    out = {Uint8(channels[0]), Uint8(channels[1]), Uint8(channels[2]), Uint8(channels[3])};
    return true;
}

// Whether the label's lines are the ones `shown` holds, item for item.
bool sameLines(PyObject* lines, PyObject* shown) {
    if (!PyList_CheckExact(lines) || PyList_GET_SIZE(lines) != PyTuple_GET_SIZE(shown))
        return false;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(lines); ++i) {
        PyObject* line = PyList_GET_ITEM(lines, i);
        PyObject* was = PyTuple_GET_ITEM(shown, i);
        if (line == was) continue;
        if (!PyUnicode_CheckExact(line) || PyUnicode_Compare(line, was) != 0) return false;
    }
    return true;
}

bool onlyStrings(PyObject* lines) {
    if (!PyList_CheckExact(lines)) return false;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(lines); ++i)
        if (!PyUnicode_CheckExact(PyList_GET_ITEM(lines, i))) return false;
    return true;
}

// font.renderLines(lines, color): the Texture of the last frame when an engine Font
// would render the same pixels again, else a new one (kept for the next frame when
// nothing but plain values went into it).
py::Ref renderedLines(UIText* label, PyObject* font) {
    if (!isEngineFont(font)) return py::callMethod(font, nRenderLines, label->lines, label->color);
    UIText::Native& kept = label->native;
    SDL_Color color;
    bool plain = plainColor(label->color, color) && onlyStrings(label->lines);
    uint64_t serial = py::cast<Font>(font)->serial;
    if (plain && kept.texture && kept.font == serial &&
        SDL_memcmp(&kept.color, &color, sizeof color) == 0 &&
        sameLines(label->lines, kept.lines.get()))
        return py::Ref::borrow(kept.texture.get());
    py::Ref lines = py::Ref::borrow(label->lines);
    py::Ref texture(renderTextLines(font, lines.get(), label->color));
    if (!texture || !plain) return texture;
    py::Ref shown(PySequence_Tuple(lines.get()));
    if (!shown) return py::Ref();
    kept.lines = std::move(shown);
    kept.texture = py::Ref::borrow(texture.get());
    kept.font = serial;
    kept.color = color;
    return texture;
}

} // namespace

// --- the table -------------------------------------------------------------------------

// Stores the renderer; a label without a colour then takes the theme's "fontColor".
static walk::Step UIText_setRenderer(UIWidget* self, PyObject* renderer) {
    UIWidget::table.setRenderer(self, renderer);
    if (renderer == Py_None || py::cast<UIText>(self)->color != Py_None) return true;
    py::Ref theme = py::getAttr(renderer, nTheme);
    PyObject* name = theme ? nFontColor.get() : nullptr;
    py::Ref color = name ? py::callMethod(theme.get(), nGetColor, name) : py::Ref();
    if (!color) return false;
    py::assign(py::cast<UIText>(self)->color, color.get());
    return true;
}

// As wide as the widest line and as high as all lines together, each measured with
// the theme's font as the font measures it (an empty line too). An engine theme gives
// the same font for every line, and an engine Font measures the same lines the same
// way, so their measurement is taken again from the last frame while it holds.
static bool measureLines(UIText* label, int32_t& width, int32_t& height) {
    width = height = 0;
    if (PyList_CheckExact(label->lines) && PyList_GET_SIZE(label->lines) == 0) return true;
    py::Ref renderer = py::Ref::borrow(label->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    if (!theme) return false;
    UIText::Native& kept = label->native;
    if (py::hasOwnMethods(py::cast<UITheme>(theme.get())) && onlyStrings(label->lines)) {
        py::Ref font = themeFont(label);
        if (!font) return false;
        if (isEngineFont(font.get())) {
            uint64_t serial = py::cast<Font>(font.get())->serial;
            if (kept.measuredLines && kept.measuredFont == serial &&
                sameLines(label->lines, kept.measuredLines.get())) {
                width = kept.measuredWidth;
                height = kept.measuredHeight;
                return true;
            }
            py::Ref lines(PySequence_Tuple(label->lines));
            if (!lines) return false;
            for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(lines.get()); ++i) {
                int w, h;
                if (!measureText(font.get(), PyTuple_GET_ITEM(lines.get(), i), w, h)) return false;
                width = std::max<int32_t>(width, w);
                height = layout::add(height, h);
            }
            kept.measuredLines = std::move(lines);
            kept.measuredFont = serial;
            kept.measuredWidth = width;
            kept.measuredHeight = height;
            return true;
        }
    }
    return forEachLine(label, [&](PyObject* line) {
        py::Ref font = themeFont(label);
        int32_t w, h;
        if (!font || !measure(font.get(), line, w, h)) return false;
        width = std::max(width, w);
        height = layout::add(height, h);
        return true;
    });
}

static walk::Step UIText_calculateMinSize(UIWidget* self) {
    if (self->renderer == Py_None) return true;
    int32_t width, height;
    if (!measureLines(py::cast<UIText>(self), width, height)) return false;
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) return false;
    if (!fixed) self->width = width;
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) return false;
    if (!fixed) self->height = height;
    return true;
}

static bool drawText(PyObject* self, ClipValues clip);

static walk::Step UIText_renderStep(UIWidget* self, ClipValues clip) {
    return drawText(py::asObject(self), clip);
}

static UIWidgetOps makeTextTable() {
    UIWidgetOps table{UIWidget::table};
    table.setRenderer = UIText_setRenderer;
    table.calculateMinSize = UIText_calculateMinSize;
    table.render = UIText_renderStep;
    return table;
}

const UIWidgetOps UIText::table = makeTextTable();

// --- construction and methods -------------------------------------------------------------

static int UIText_init(PyObject* self, py::Arguments<2>& a) {
    if (!initAsBase(UIWidget::type, self) || !py::callMethod(self, nSetText, a[0])) return -1;
    py::assign(py::cast<UIText>(self)->color, a[1] ? a[1] : Py_None);
    return 0;
}

static PyObject* UIText_getText(PyObject* self, PyObject*) {
    return py::newRef(py::cast<UIText>(self)->text);
}

// Exactly a str: None is refused like any other value, before anything changes.
static PyObject* UIText_setText(PyObject* self, PyObject* text) {
    if (!PyUnicode_CheckExact(text)) return py::expectedType("unicode", text);
    py::Ref lines(PyUnicode_Splitlines(text, 0));
    if (!lines) return nullptr;
    py::assign(py::cast<UIText>(self)->text, text);
    py::assign(py::cast<UIText>(self)->lines, lines.get());
    Py_RETURN_NONE;
}

// An empty line counts with the font's point size here, while the layout measures it
// as the font measures the empty string.
static PyObject* UIText_getRenderedTextSize(PyObject* self, PyObject*) {
    UIText* label = py::cast<UIText>(self);
    if (label->renderer == Py_None) return py::intPair(0, 0);
    py::Ref font = themeFont(label);
    if (!font) return nullptr;
    int32_t width = 0, height = 0;
    bool measured = forEachLine(label, [&](PyObject* line) {
        int empty = PyObject_Not(line);
        if (empty < 0) return false;
        int32_t w = 0, h;
        if (empty ? !pointSize(font.get(), h) : !measure(font.get(), line, w, h)) return false;
        width = std::max(width, w);
        height = layout::add(height, h);
        return true;
    });
    return measured ? py::intPair(width, height) : nullptr;
}

// The lines stacked from the top, each left-aligned, with the top-left corner at the
// label's position and cut to its clipped rectangle.
static bool drawText(PyObject* self, ClipValues clip) {
    UIText* label = py::cast<UIText>(self);
    if (!label->isVisible) return true;
    layout::Rect area = label->ops->getClippedRect(label, clip);
    if (area.w <= 0 || area.h <= 0) return true;
    int ready = readyToDraw(label);
    if (ready <= 0) return ready == 0;
    py::Ref font = themeFont(label);
    py::Ref texture = font ? renderedLines(label, font.get()) : py::Ref();
    if (!texture) return false;
    if (!isTexture(texture.get())) return py::cannotConvert(texture.get(), Texture::type);
    py::Ref renderer = py::Ref::borrow(label->renderer);
    py::Ref target = rendererTarget(renderer.get());
    if (!target) return false;
    ClipScope clipped(target.get(), area);
    SDL_Surface* text = textureSurface(texture.get());
    SDL_Surface* destination = text ? textureSurface(target.get()) : nullptr;
    if (!destination) return false;
    // Lines that are all empty make a picture without width: nothing to draw.
    if (text->w > 0 && text->h > 0) drawSurface(destination, text, label->x, label->y);
    return true;
}

static PyObject* UIText_getTextProperty(PyObject* self, void*) {
    return py::callMethod(self, nGetText).release();
}

static int UIText_setTextProperty(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    return py::callMethod(self, nSetText, value) ? 0 : -1;
}

static const PyMethodDef uiTextMethods[] = {
    py::noArgs<"getText", UIText_getText>(py::doc<"@returns(str)">),
    py::oneArg<"setText", UIText_setText, "text">(py::doc<"@param(text, str)">),
    py::noArgs<"getRenderedTextSize", UIText_getRenderedTextSize>(
        py::doc<"Determines the size which is required for the text.",
                "Note that this only works if the widget is appended to a renderer.",
                "@returns((int, int))">),
    renderMethod<drawText>(py::doc<"Renders the text.">),
    py::oneArg<"_setParent", setWidgetParent, "parent">(
        py::doc<"@param(parent, AbstractUIContainer)">),
};

static const py::Member uiTextMembers[] = {
    py::member<&UIText::text>().exactly<py::Str>(),
    py::member<&UIText::lines>().exactly<py::List>(),
    py::member<&UIText::color>().readwrite("color").undeletable(),
};

static const PyGetSetDef uiTextProperties[] = {
    py::property<UIText_getTextProperty, UIText_setTextProperty>("text"),
};

py::ClassDef& uiTextClass() {
    return py::define<UIText>("UIText",
                              {.doc = py::classDoc<"A UIText can be used to display text.">,
                               .members = uiTextMembers,
                               .init = py::init<UIText_init, "text", "color=None">,
                               .methods = uiTextMethods,
                               .properties = uiTextProperties,
                               .initDoc = py::doc<"@param(text, str)">});
}
