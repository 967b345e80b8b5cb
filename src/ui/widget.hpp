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

#include <cstdint>

struct UIWidget;

// The clip values a render call received: four host values, any negative one meaning
// no clip.
using ClipValues = PyObject* const*;

struct UIWidgetOps {
    // Joins the widget to a renderer (or None); a container passes it on to its children.
    bool (*setRenderer)(UIWidget* self, PyObject* renderer);
    // The three layout passes: minimum sizes bottom-up, final sizes top-down (a container
    // sets its inner size before its children's pass), then positions top-down.
    bool (*calculateMinSize)(UIWidget* self);
    bool (*calculateMaxSize)(UIWidget* self);
    bool (*calculatePos)(UIWidget* self);
    // The widget's rectangle cut by the four clip values, in 64 bits (its far edges may
    // lie beyond the int range); never fails.
    layout::Rect (*getClippedRect)(UIWidget* self, ClipValues clip);
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

// self.isInside(x, y) as a truth value: 1, 0 or -1 with the error set. Run here for an
// engine widget and int coordinates (no engine class overrides it).
int widgetIsInside(PyObject* self, PyObject* x, PyObject* y);

// self._pointInRect(x, y, rectX, rectY, rectW, rectH) as a truth value, the same way.
int pointInRect(PyObject* self, PyObject* x, PyObject* y, int64_t rectX, int64_t rectY,
                int64_t rectW, int64_t rectH);

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
