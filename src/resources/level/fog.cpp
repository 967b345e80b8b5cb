// The level's two fogs: a distance fog and a ground fog, each a packed colour
// 0xAARRGGBB with alpha 255 and a density. The header's "fogColor", "groundFogColor",
// "fogDensity" and "groundFogDensity" set them when a level loads; scripts change the
// fields through the properties, which write nothing back into the header.
#include "resources/level.hpp"

#include "py/cast.hpp"
#include "py/convert.hpp"
#include "py/member.hpp"
#include "resources/level/parts.hpp"
#include "resources/levelForm.hpp"

namespace {

py::Name nFogColor("fogColor");
py::Name nGroundFogColor("groundFogColor");
py::Name nFogDensity("fogDensity");
py::Name nGroundFogDensity("groundFogDensity");

constexpr uint32_t BLACK = 0xFF000000;
constexpr uint32_t WHITE = 0xFFFFFFFF;

// One component: an int (the host shifts and ors them, which takes nothing else) from 0
// to 255, so that it stays in its own byte.
bool colorComponent(PyObject* value, int position, uint32_t& out) {
    if (!PyLong_Check(value)) {
        if (position < 2)
            PyErr_Format(PyExc_TypeError, "unsupported operand type(s) for <<: '%.100s' and 'int'",
                         Py_TYPE(value)->tp_name);
        else
            PyErr_Format(PyExc_TypeError, "unsupported operand type(s) for |: 'int' and '%.100s'",
                         Py_TYPE(value)->tp_name);
        return false;
    }
    int overflow = 0;
    long component = PyLong_AsLongAndOverflow(value, &overflow);
    if (component == -1 && PyErr_Occurred()) return false;
    if (overflow || component < 0 || component > 255)
        return py::raise(PyExc_ValueError, "color components must be integers between 0 and 255");
    out = uint32_t(component);
    return true;
}

// (r, g, b), any iterable of exactly three items, as 0xFF000000 | r << 16 | g << 8 | b.
bool packColor(PyObject* value, FogColor& out) {
    py::Ref items[3];
    uint32_t rgb[3];
    if (!py::unpackExactly(value, items, 3)) return false;
    for (int i = 0; i < 3; ++i)
        if (!colorComponent(items[i].get(), i, rgb[i])) return false;
    out = {BLACK | rgb[0] << 16 | rgb[1] << 8 | rgb[2], true};
    return true;
}

// The metadata's value at `key` converted into `field`, or `otherwise` where the key is
// absent; `field` is left as it was when the value does not convert.
template <class Field>
bool loadSetting(PyObject* metadata, py::Name& key, Field otherwise, Field& field,
                 bool (*convert)(PyObject*, Field&)) {
    int present = levelForm::has(metadata, key);
    if (present < 0) return false;
    Field value = otherwise;
    if (present) {
        py::Ref given = levelForm::item(metadata, key);
        if (!given || !convert(given.get(), value)) return false;
    }
    field = value;
    return true;
}

PyObject* colorTuple(const FogColor& color) {
    if (!color.set) // the field is None until the fog settings first load
        return py::raise(PyExc_TypeError,
                         "unsupported operand type(s) for &: 'NoneType' and 'int'");
    return Py_BuildValue("(iii)", (color.argb >> 16) & 0xFF, (color.argb >> 8) & 0xFF,
                         color.argb & 0xFF);
}

int setColor(FogColor& field, PyObject* value) {
    if (!value) return py::deleteRefused();
    return packColor(value, field) ? 0 : -1;
}

} // namespace

// Each step sets its field as soon as it succeeds; the first failure ends the steps.
void Level_loadFogSettings(Level* level) {
    py::Ref held = py::Ref::borrow(py::asObject(level));
    py::Ref metadata = py::Ref::borrow(level->metadata);
    if (!loadSetting(metadata.get(), nFogColor, {BLACK, true}, level->fogColor, packColor) ||
        !loadSetting(metadata.get(), nGroundFogColor, {WHITE, true}, level->groundFogColor,
                     packColor) ||
        !loadSetting(metadata.get(), nFogDensity, 5, level->fogDensity, py::toInt32) ||
        !loadSetting(metadata.get(), nGroundFogDensity, 0, level->groundFogDensity, py::toInt32))
        py::printUnraisable("quorvelin.Level._loadFogSettings");
}

static PyObject* Level_getFogColor(PyObject* self, void*) {
    return colorTuple(py::cast<Level>(self)->fogColor);
}

static int Level_setFogColor(PyObject* self, PyObject* value, void*) {
    return setColor(py::cast<Level>(self)->fogColor, value);
}

static PyObject* Level_getGroundFogColor(PyObject* self, void*) {
    return colorTuple(py::cast<Level>(self)->groundFogColor);
}

static int Level_setGroundFogColor(PyObject* self, PyObject* value, void*) {
    return setColor(py::cast<Level>(self)->groundFogColor, value);
}

std::span<const PyGetSetDef> levelFogProperties() {
    static const PyGetSetDef properties[] = {
        py::property<Level_getFogColor, Level_setFogColor>("fogColor"),
        py::property<Level_getGroundFogColor, Level_setGroundFogColor>("groundFogColor"),
    };
    return properties;
}
