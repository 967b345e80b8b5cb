// What the UI's classes share that belongs to no one widget: the size-policy constants,
// the four sides of margins and paddings, a base class's constructor run on self, and
// the method entries that run a class's step of a walk (render with its clip values,
// update, the click and wheel hooks).
#pragma once

#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "ui/tree.hpp"

#include <cstdint>

// Whether a size policy equals the module's SIZE_FIXED or SIZE_GROW of this moment:
// 1, 0, or -1 with the error set (a constant that is gone or cannot be compared).
enum class SizePolicy { fixed, grow };
int policyIs(int32_t policy, SizePolicy constant);

// The __init__ of `base` run on self without arguments, as a subclass's constructor
// runs its base's.
bool initAsBase(PyTypeObject* base, PyObject* self);

// The four sides of setMargin and setPadding (top, right, bottom, left) from one to
// four values, each converted as it is assigned.
PyObject* setSides(const char* method, PyObject* args, PyObject* kwargs, int32_t* top,
                   int32_t* right, int32_t* bottom, int32_t* left);

// The default clip values of render, four times -1: no clip.
ClipValues noClip();

// A widget's render(clipX=-1, clipY=-1, clipWidth=-1, clipHeight=-1): the four clip
// values by position or keyword, the ones not given -1, handed to `draw`.
template <bool (*draw)(PyObject* self, ClipValues clip)>
PyObject* renderWithClip(PyObject* self, py::Arguments<4>& clip) {
    ClipValues defaults = noClip();
    for (int i = 0; i < 4; ++i)
        if (!clip[i]) clip[i] = defaults[i];
    return py::noneOrFailed(draw(self, clip.data()));
}
template <bool (*draw)(PyObject* self, ClipValues clip), class Documentation = py::NoDoc>
constexpr PyMethodDef renderMethod(Documentation documentation = {}) {
    return py::withKeywords<"render", renderWithClip<draw>, "clipX=-1", "clipY=-1", "clipWidth=-1",
                            "clipHeight=-1">(documentation);
}

// A class's step of a walk run as its method on `self`, for renderMethod and the other
// methods of containers: the answer, or -1 with the error set.
template <walk::Step (*step)(UIWidget* self, ClipValues clip)>
bool renderWalk(PyObject* self, ClipValues clip) {
    return walk::run(step(py::cast<UIWidget>(self), clip).entering(self)) >= 0;
}
template <walk::Step (*step)(UIWidget* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed)>
PyObject* updateWalk(PyObject* self, py::Arguments<3>& a) {
    return py::noneOrFailed(
        walk::run(step(py::cast<UIWidget>(self), a[0], a[1], a[2]).entering(self)) >= 0);
}
template <walk::Step (*step)(UIWidget* self, PyObject* event)>
PyObject* eventWalk(PyObject* self, PyObject* event) {
    int answer = walk::run(step(py::cast<UIWidget>(self), event).entering(self));
    return py::boolOrFailed(answer);
}
