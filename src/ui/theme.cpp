// UITheme: reads the theme file once; widgets read their skins from it at every use.
#include "ui/theme.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "py/textFile.hpp"
#include "resources/font.hpp"
#include "resources/texture.hpp"

#include <cerrno>

namespace {

py::Name nJson("_json");
py::Name nOsPath("_ospath");
py::Name nLoads("loads");
py::Name nDirname("dirname");
py::Name nJoin("join");
py::Name nKeys("keys");

py::Ref item(PyObject* mapping, const char* key) {
    py::Ref name(PyUnicode_FromString(key));
    return py::Ref(name ? PyObject_GetItem(mapping, name.get()) : nullptr);
}

// The whole file parsed as JSON. It is read as UTF-8, whatever the locale says; a file
// larger than any theme (py/textFile.hpp) is refused as the host refuses a file it
// cannot take, with OSError "File too large" naming it.
py::Ref readThemeFile(PyObject* filename) {
    py::TextFile file = py::readTextFile(filename, py::largestTextFile);
    if (file.tooLarge) {
        errno = EFBIG;
        PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename);
    }
    if (!file.text) return py::Ref();
    py::Ref json = py::moduleGlobal(nJson);
    return json ? py::callMethod(json.get(), nLoads, file.text.get()) : py::Ref();
}

// Calls step(name) for each member name of a JSON object, in file order, through its
// keys() (so null gives the host's AttributeError).
template <class Step> bool forEachName(PyObject* object, Step step) {
    py::Ref keys = py::callMethod(object, nKeys);
    py::Ref iterator(keys ? PyObject_GetIter(keys.get()) : nullptr);
    if (!iterator) return false;
    while (py::Ref name{PyIter_Next(iterator.get())})
        if (!step(name.get())) return false;
    return !PyErr_Occurred();
}

// A colour text's value: hexadecimal digits with or without "0x", so that six digits
// are the low three bytes and give alpha 0.
py::Ref convertHex(PyObject* value) {
    py::Ref text(PyObject_Str(value));
    if (!text) return text;
    py::Ref lower(PyUnicode_FromString("0x")), upper(PyUnicode_FromString("0X"));
    if (!lower || !upper) return py::Ref();
    Py_ssize_t prefixed = PyUnicode_Tailmatch(text.get(), lower.get(), 0, PY_SSIZE_T_MAX, -1);
    if (prefixed == 0)
        prefixed = PyUnicode_Tailmatch(text.get(), upper.get(), 0, PY_SSIZE_T_MAX, -1);
    if (prefixed < 0) return py::Ref();
    py::Ref digits =
        prefixed ? std::move(text) : py::Ref(PyUnicode_Concat(lower.get(), text.get()));
    return py::Ref(digits ? PyLong_FromUnicodeObject(digits.get(), 16) : nullptr);
}

// (value & mask) >> shift, with the host's operators.
py::Ref channel(PyObject* value, unsigned long mask, int shift) {
    py::Ref maskValue(PyLong_FromUnsignedLong(mask)), shiftValue(PyLong_FromLong(shift));
    py::Ref masked(maskValue && shiftValue ? PyNumber_And(value, maskValue.get()) : nullptr);
    return py::Ref(masked ? PyNumber_Rshift(masked.get(), shiftValue.get()) : nullptr);
}

// A packed 0xAARRGGBB as (r, g, b, a).
py::Ref convertColor(PyObject* value) {
    py::Ref red = channel(value, 0xFF0000, 16), green = channel(value, 0xFF00, 8);
    py::Ref blue = channel(value, 0xFF, 0), alpha = channel(value, 0xFF000000, 24);
    if (!red || !green || !blue || !alpha) return py::Ref();
    return py::Ref(PyTuple_Pack(4, red.get(), green.get(), blue.get(), alpha.get()));
}

} // namespace

// --- construction -------------------------------------------------------------------------

static bool UITheme_allocated(PyObject* self) {
    UITheme* theme = py::cast<UITheme>(self);
    for (PyObject** table : {&theme->fonts, &theme->intColors, &theme->colors, &theme->widgets}) {
        py::Ref empty(PyDict_New());
        if (!empty) return false;
        py::assign(*table, empty.get());
    }
    return true;
}

static bool loadFonts(UITheme* theme, PyObject* fonts, PyObject* folder, PyObject* osPath) {
    return forEachName(fonts, [&](PyObject* name) {
        py::Ref record(PyObject_GetItem(fonts, name));
        py::Ref file = record ? item(record.get(), "file") : py::Ref();
        py::Ref path = file ? py::callMethod(osPath, nJoin, folder, file.get()) : py::Ref();
        py::Ref size = path ? item(record.get(), "size") : py::Ref();
        py::Ref font(size ? PyObject_CallFunctionObjArgs(py::asObject(Font::type), path.get(),
                                                         size.get(), nullptr)
                          : nullptr);
        return font && PyObject_SetItem(theme->fonts, name, font.get()) == 0;
    });
}

static bool loadColors(UITheme* theme, PyObject* colors) {
    return forEachName(colors, [&](PyObject* name) {
        py::Ref text(PyObject_GetItem(colors, name));
        py::Ref packed = text ? convertHex(text.get()) : py::Ref();
        if (!packed || PyObject_SetItem(theme->intColors, name, packed.get()) < 0) return false;
        py::Ref unpacked = convertColor(packed.get());
        return unpacked && PyObject_SetItem(theme->colors, name, unpacked.get()) == 0;
    });
}

static int UITheme_init(PyObject* self, py::Arguments<1>& a) {
    PyObject* filename = a[0];
    UITheme* theme = py::cast<UITheme>(self);
    py::Ref parsed = readThemeFile(filename);
    py::Ref widgets = parsed ? item(parsed.get(), "widgets") : py::Ref();
    if (!widgets) return -1;
    if (widgets.get() != Py_None && !PyDict_CheckExact(widgets.get()))
        return py::expectedType("dict", widgets.get());
    py::assign(theme->widgets, widgets.get());
    // Paths in the file are relative to its folder; absolute ones stay as they are.
    py::Ref osPath = py::moduleGlobal(nOsPath);
    py::Ref folder = osPath ? py::callMethod(osPath.get(), nDirname, filename) : py::Ref();
    py::Ref tilesetName = folder ? item(parsed.get(), "tileset") : py::Ref();
    py::Ref tilesetPath = tilesetName
                              ? py::callMethod(osPath.get(), nJoin, folder.get(), tilesetName.get())
                              : py::Ref();
    py::Ref tileset(tilesetPath
                        ? PyObject_CallOneArg(py::asObject(Texture::type), tilesetPath.get())
                        : nullptr);
    if (!tileset) return -1;
    py::assign(theme->tileset, tileset.get());
    py::Ref fonts = item(parsed.get(), "fonts");
    if (!fonts || !loadFonts(theme, fonts.get(), folder.get(), osPath.get())) return -1;
    py::Ref colors = item(parsed.get(), "colors");
    return colors && loadColors(theme, colors.get()) ? 0 : -1;
}

// --- methods ------------------------------------------------------------------------------

static PyObject* UITheme_getFont(PyObject* self, PyObject* name) {
    if (name != Py_None && !PyUnicode_CheckExact(name))
        return py::argumentTypeError("name", &PyUnicode_Type, name);
    return PyObject_GetItem(py::cast<UITheme>(self)->fonts, name);
}

static PyObject* UITheme_getColor(PyObject* self, PyObject* name) {
    return PyObject_GetItem(py::cast<UITheme>(self)->colors, name);
}

static PyObject* UITheme_getIntColor(PyObject* self, PyObject* name) {
    return PyObject_GetItem(py::cast<UITheme>(self)->intColors, name);
}

// b | (g << 8) | (r << 16) | (a << 24) on the host's integers: a component beyond a
// byte spills into its neighbours.
static PyObject* UITheme_convertRgbaToIntColor(PyObject*, PyObject* color) {
    Py_ssize_t length = PyObject_Length(color);
    if (length < 0) return nullptr;
    py::Ref parts[4];
    if (length == 3) {
        if (!py::unpackExactly(color, parts, 3)) return nullptr;
        parts[3] = py::Ref(PyLong_FromLong(255));
    } else if (!py::unpackExactly(color, parts, 4)) {
        return nullptr;
    }
    py::Ref result = py::Ref::borrow(parts[2].get()); // blue
    static const int shifts[] = {8, 16, 24};
    static const int components[] = {1, 0, 3}; // green, red, alpha
    for (int i = 0; i < 3 && result; ++i) {
        py::Ref shift(PyLong_FromLong(shifts[i]));
        py::Ref shifted(shift ? PyNumber_Lshift(parts[components[i]].get(), shift.get()) : nullptr);
        result = py::Ref(shifted ? PyNumber_Or(result.get(), shifted.get()) : nullptr);
    }
    return result.release();
}

static PyObject* UITheme_convertHex(PyObject*, PyObject* value) {
    return convertHex(value).release();
}

static PyObject* UITheme_convertColor(PyObject*, PyObject* value) {
    return convertColor(value).release();
}

static const PyMethodDef uiThemeMethods[] = {
    py::oneArg<"getFont", UITheme_getFont, "name">(py::doc<"@param(name, str)", "@returns(Font)">),
    py::oneArg<"getColor", UITheme_getColor, "name">(
        py::doc<"Returns the RGBA color as a tuple", "@param(name, str)">),
    py::oneArg<"getIntColor", UITheme_getIntColor, "name">(
        py::doc<"Returns the RGB color as an int with one byte per color", "@param(name, str)">),
    py::oneArg<"_convertRgbaToIntColor", UITheme_convertRgbaToIntColor, "color">(),
    py::oneArg<"__convertHex", UITheme_convertHex, "value">(),
    py::oneArg<"__convertColor", UITheme_convertColor, "value">(),
};

static const py::Member uiThemeMembers[] = {
    py::member<&UITheme::tileset>().typed<&Texture::type>(),
    py::member<&UITheme::fonts>().exactly<py::Dict>(),
    py::member<&UITheme::intColors>().exactly<py::Dict>(),
    py::member<&UITheme::colors>().exactly<py::Dict>(),
    py::member<&UITheme::widgets>().readonly("widgets").exactly<py::Dict>(),
};

py::ClassDef& uiThemeClass() {
    return py::define<UITheme>("UITheme", {.members = uiThemeMembers,
                                           .init = py::init<UITheme_init, "filename">,
                                           .methods = uiThemeMethods,
                                           .initDoc = py::doc<>,
                                           .allocated = UITheme_allocated});
}
