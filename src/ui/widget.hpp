// UIWidget: the base of every UI control. It holds what all widgets share: the links
// to the parent container and to the UIRenderer, the geometry that the layout passes
// write every frame, size policies, alignment and margins, visibility, the enabled
// flag, the hover state, a left-button drag with three hooks, the click callable and
// a free slot for game code.
//
// The layout runs through a table of five operations that Python does not see; a
// container calls a child's entries after testing that it is a UIWidget. What game
// code may override (update, render, the click and wheel hooks, the drag hooks,
// isInside, _pointInRect) is called by attribute lookup.
#pragma once

#include "core/layout.hpp"
#include "py/call.hpp"
#include "py/classdef.hpp"
#include "py/methods.hpp"
#include "ui/walk.hpp"

#include <cstdint>

struct UIWidget;

// The clip values a render call received: four host values, any negative one meaning
// no clip.
using ClipValues = PyObject* const*;

// The operations that walk the tree are steps of a walk (ui/walk.hpp), so that a
// container awaits its children's steps instead of calling them.
struct UIWidgetOps {
    // Joins the widget to a renderer (or None); a container passes it on to its children.
    walk::Step (*setRenderer)(UIWidget* self, PyObject* renderer);
    // The three layout passes: minimum sizes bottom-up, final sizes top-down (a container
    // sets its inner size before its children's pass), then positions top-down.
    walk::Step (*calculateMinSize)(UIWidget* self);
    walk::Step (*calculateMaxSize)(UIWidget* self);
    walk::Step (*calculatePos)(UIWidget* self);
    // The widget's rectangle cut by the four clip values, in 64 bits (its far edges may
    // lie beyond the int range); never fails.
    layout::Rect (*getClippedRect)(UIWidget* self, ClipValues clip);
    // What the class's render, update, _onClick and _onScroll methods do: a container
    // runs these for a child that is an instance of an engine class itself, whose
    // methods are these, and calls a Python subclass's methods by name.
    walk::Step (*render)(UIWidget* self, ClipValues clip);
    walk::Step (*update)(UIWidget* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);
    walk::Step (*takeClick)(UIWidget* self, PyObject* event);
    walk::Step (*takeScroll)(UIWidget* self, PyObject* event);
};

struct UIWidget {
    PyObject_HEAD
    const UIWidgetOps* ops;
    PyObject* parent;   // AbstractUIContainer or None
    PyObject* renderer; // UIRenderer or None
    int32_t sizePolicyX;
    int32_t sizePolicyY;
    int32_t width;
    int32_t height;
    int32_t x; // absolute position on the render target, set by the parent's position pass
    int32_t y;
    int32_t horizontalAlign;
    int32_t verticalAlign;
    bool isHovered; // the mouse was strictly inside at the last update
    PyObject* onClick;
    int32_t marginLeft;
    int32_t marginTop;
    int32_t marginRight;
    int32_t marginBottom;
    bool isVisible; // gates drawing only
    bool isEnabled; // gates clicks only
    bool isDragging;
    int32_t dragStartX;
    int32_t dragStartY;
    PyObject* userData;

    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

inline UIWidget* asWidget(PyObject* object) {
    return reinterpret_cast<UIWidget*>(object);
}
inline PyObject* asObject(UIWidget* widget) {
    return reinterpret_cast<PyObject*>(widget);
}
inline bool isWidget(PyObject* object) {
    return PyObject_TypeCheck(object, UIWidget::type);
}

// An instance of an engine class itself, not of a Python subclass: its methods are
// the engine's own, so the engine may run them directly instead of by lookup.
inline bool isEngineInstance(PyObject* object) {
    return PyType_HasFeature(Py_TYPE(object), Py_TPFLAGS_IMMUTABLETYPE);
}

// A child that a walk hands to a table entry: a UIWidget, else TypeError
// "Cannot convert X to quorvelin.UIWidget".
UIWidget* widgetOrRefuse(PyObject* object);

// Whether a size policy equals the module's SIZE_FIXED or SIZE_GROW of this moment:
// 1, 0, or -1 with the error set (a constant that is gone or cannot be compared).
enum class SizePolicy { fixed, grow };
int policyIs(int32_t policy, SizePolicy constant);

// The base drawing check: nothing to draw (false) for a hidden widget, EngineException
// (-1) for a visible one that no renderer draws, else 1.
int readyToDraw(UIWidget* widget);

// UIWidget.update: the hover state and the drag.
bool updateWidget(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);

// UIWidget._onClick: 1 when the widget took the click, 0, or -1 with the error set.
int widgetTakesClick(PyObject* self, PyObject* event);

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
    return walk::run(step(asWidget(self), clip).entering(self)) >= 0;
}
template <walk::Step (*step)(UIWidget* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed)>
PyObject* updateWalk(PyObject* self, py::Arguments<3>& a) {
    return py::noneOrFailed(walk::run(step(asWidget(self), a[0], a[1], a[2]).entering(self)) >= 0);
}
template <walk::Step (*step)(UIWidget* self, PyObject* event)>
PyObject* eventWalk(PyObject* self, PyObject* event) {
    int answer = walk::run(step(asWidget(self), event).entering(self));
    return answer < 0 ? nullptr : PyBool_FromLong(answer);
}

// self.isInside(x, y) as a truth value: 1, 0 or -1 with the error set. Run here for an
// engine widget and int coordinates (no engine class overrides it).
int widgetIsInside(PyObject* self, PyObject* x, PyObject* y);

// self._pointInRect(x, y, rectX, rectY, rectW, rectH) as a truth value, the same way.
int pointInRect(PyObject* self, PyObject* x, PyObject* y, int64_t rectX, int64_t rectY,
                int64_t rectW, int64_t rectH);

// A widget's part of a walk, entered as the widget's own: its renderer step, a layout
// pass, and what its render, update, _onClick and _onScroll methods do (an engine
// class's own run in the walk, a Python subclass's methods called by name; a click's
// answer by its truth value). A widget that is no UIWidget (only game code can put
// one in a child list) fails with TypeError "Cannot convert X to quorvelin.UIWidget".
using LayoutPass = walk::Step (*UIWidgetOps::*)(UIWidget*);
walk::Step rendererStep(PyObject* widget, PyObject* renderer);
walk::Step passStep(PyObject* widget, LayoutPass pass);
walk::Step renderStep(PyObject* widget, ClipValues clip);
walk::Step updateStep(PyObject* widget, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);
walk::Step clickStep(PyObject* widget, PyObject* event);
walk::Step scrollStep(PyObject* widget, PyObject* event);

// UIWidget._setParent, which the label offers as its own.
PyObject* setWidgetParent(PyObject* self, PyObject* parent);

// The __init__ of `base` run on self without arguments, as a subclass's constructor
// runs its base's.
bool initAsBase(PyTypeObject* base, PyObject* self);

// The engine of a widget's renderer, borrowed: None when the widget has no renderer
// or the renderer has no engine.
PyObject* rendererEngine(UIWidget* widget);

// The names of child.render(clip...), child.update(...), child._onClick(event) and
// child._onScroll(event), which are looked up on the object, so that an override in a
// Python subclass runs.
namespace ui {
extern py::Name nRender;
extern py::Name nUpdate;
extern py::Name nOnClick;
extern py::Name nOnScroll;
} // namespace ui

py::ClassDef& uiWidgetClass();
