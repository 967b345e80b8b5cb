// The asset step of loading: the header's "skytex", "textures" and "sprites" become the
// sky texture, the textures with the surface array that the cells index, and the
// sprites that sprite components name by position. Every path goes through
// _convertPath; every image is loaded by Texture, each path into its own texture.
#include "resources/level.hpp"

#include "py/cast.hpp"
#include "resources/level/parts.hpp"
#include "resources/levelForm.hpp"
#include "resources/sprite.hpp"
#include "resources/texture.hpp"

#include <algorithm>

namespace {

py::Name nConvertPath("_convertPath");
py::Name nSkyTexture("skytex");
py::Name nTextures("textures");
py::Name nSprites("sprites");
py::Name nTexture("texture");
py::Name nAnimations("animations");
py::Name nFrames("frames");
py::Name nOscillate("oscillate");
py::Name nSpeed("speed");
py::Name nStartFrame("startFrame");
py::Name nDirections("directions");
py::Name nXFrames("xFrames");
py::Name nYFrames("yFrames");

// Texture(self._convertPath(path))
py::Ref loadTexture(PyObject* self, PyObject* path) {
    py::Ref converted = py::callMethod(self, nConvertPath, path);
    return py::Ref(converted ? PyObject_CallOneArg(py::asObject(Texture::type), converted.get())
                             : nullptr);
}

// entry[key] when the entry has it, otherwise `otherwise` (a new reference, may be null
// after a failed call).
py::Ref valueOr(PyObject* entry, py::Name& key, PyObject* otherwise) {
    py::Ref fallback(otherwise);
    int present = fallback ? levelForm::has(entry, key) : -1;
    if (present < 0) return py::Ref();
    return present ? levelForm::item(entry, key) : std::move(fallback);
}

// Calls step(item) for each item of `iterable`, in its order.
template <class Step> bool forEachItem(PyObject* iterable, Step step) {
    py::Ref iterator(PyObject_GetIter(iterable));
    if (!iterator) return false;
    while (py::Ref item{PyIter_Next(iterator.get())})
        if (!step(item.get())) return false;
    return !PyErr_Occurred();
}

bool loadSky(PyObject* self, PyObject* metadata) {
    int present = levelForm::has(metadata, nSkyTexture);
    if (present <= 0) return present == 0;
    py::Ref path = levelForm::item(metadata, nSkyTexture);
    py::Ref sky = path ? loadTexture(self, path.get()) : py::Ref();
    if (!sky) return false;
    py::assign(py::cast<Level>(self)->skyTexture, sky.get());
    return true;
}

// Each texture is appended to _textures as it loads; the surface array is replaced only
// once all have loaded, so a failure leaves the array the renderer draws from whole.
bool loadTextures(PyObject* self, PyObject* metadata) {
    int present = levelForm::has(metadata, nTextures);
    if (present <= 0) return present == 0;
    py::Ref paths = levelForm::item(metadata, nTextures);
    Py_ssize_t count = paths ? PyObject_Size(paths.get()) : -1;
    if (count < 0) return false;
    std::vector<py::Ref> loaded;
    loaded.reserve(size_t(std::min<Py_ssize_t>(count, 256)));
    bool ok = forEachItem(paths.get(), [&](PyObject* path) {
        py::Ref texture = loadTexture(self, path);
        py::Ref textures = py::Ref::borrow(py::cast<Level>(self)->textures);
        if (!texture || !py::append(textures.get(), texture.get())) return false;
        loaded.push_back(std::move(texture));
        return true;
    });
    return ok && levelParts::setSurfaceTextures(py::cast<Level>(self), std::move(loaded));
}

// The animations of a sprite entry: one per key of its "animations", in the key order,
// or the one implicit animation "_" when the entry has none.
py::Ref loadAnimations(PyObject* entry) {
    PyObject* animationType = py::asObject(SpriteAnimation::type);
    py::Ref animations(PyList_New(0));
    int present = animations ? levelForm::has(entry, nAnimations) : -1;
    if (present < 0) return py::Ref();
    if (!present) {
        // name "_", 1 frame, not oscillating, speed 1, start frame 0, 1 direction
        py::Ref implicit(PyObject_CallFunction(animationType, "siOiii", "_", 1, Py_False, 1, 0, 1));
        if (!implicit || PyList_Append(animations.get(), implicit.get()) < 0) return py::Ref();
        return animations;
    }
    py::Ref table = levelForm::item(entry, nAnimations);
    bool ok =
        table && forEachItem(table.get(), [&](PyObject* name) {
            py::Ref animation(PyObject_GetItem(table.get(), name));
            py::Ref frames = animation ? levelForm::item(animation.get(), nFrames) : py::Ref();
            py::Ref oscillate =
                frames ? valueOr(animation.get(), nOscillate, PyLong_FromLong(0)) : py::Ref();
            py::Ref speed =
                oscillate ? valueOr(animation.get(), nSpeed, PyFloat_FromDouble(0.1)) : py::Ref();
            py::Ref start =
                speed ? valueOr(animation.get(), nStartFrame, PyLong_FromLong(0)) : py::Ref();
            py::Ref directions =
                start ? valueOr(animation.get(), nDirections, PyLong_FromLong(1)) : py::Ref();
            py::Ref made(directions ? PyObject_CallFunctionObjArgs(
                                          animationType, name, frames.get(), oscillate.get(),
                                          speed.get(), start.get(), directions.get(), nullptr)
                                    : nullptr);
            return made && PyList_Append(animations.get(), made.get()) == 0;
        });
    return ok ? std::move(animations) : py::Ref();
}

bool loadSprites(PyObject* self, PyObject* metadata) {
    int present = levelForm::has(metadata, nSprites);
    if (present <= 0) return present == 0;
    py::Ref entries = levelForm::item(metadata, nSprites);
    return entries && forEachItem(entries.get(), [&](PyObject* entry) {
               py::Ref path = levelForm::item(entry, nTexture);
               py::Ref sheet = path ? loadTexture(self, path.get()) : py::Ref();
               py::Ref animations = sheet ? loadAnimations(entry) : py::Ref();
               py::Ref xFrames =
                   animations ? valueOr(entry, nXFrames, PyLong_FromLong(1)) : py::Ref();
               py::Ref yFrames = xFrames ? valueOr(entry, nYFrames, PyLong_FromLong(1)) : py::Ref();
               py::Ref sprite(yFrames ? PyObject_CallFunctionObjArgs(
                                            py::asObject(Sprite::type), sheet.get(), xFrames.get(),
                                            yFrames.get(), animations.get(), nullptr)
                                      : nullptr);
               py::Ref sprites = py::Ref::borrow(py::cast<Level>(self)->sprites);
               return sprite && py::append(sprites.get(), sprite.get());
           });
}

} // namespace

PyObject* Level_loadAssets(PyObject* self, PyObject*) {
    py::Ref metadata = py::Ref::borrow(py::cast<Level>(self)->metadata);
    return py::noneOrFailed(loadSky(self, metadata.get()) && loadTextures(self, metadata.get()) &&
                            loadSprites(self, metadata.get()));
}
