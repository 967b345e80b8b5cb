// UIWidget: the base of every UI control. It holds what all widgets share: the links
// to the parent container and to the UIRenderer, the geometry that the layout passes
// write every frame, size policies, alignment and margins, visibility, the enabled
// flag, the hover state, a left-button drag with three hooks, the click callable and
// a free slot for game code.
//
// The layout runs through a table of operations that Python does not see (the struct
// and the table are in ui/tree.hpp); a container calls a child's entries after testing
// that it is a UIWidget. What game code may override (update, render, the click and
// wheel hooks, the drag hooks, isInside, _pointInRect) is called by attribute lookup.
#pragma once

#include "py/call.hpp"
#include "py/classdef.hpp"
#include "ui/toolbox.hpp"
#include "ui/tree.hpp"

#include <cstdint>

inline bool isWidget(PyObject* object) {
    return PyObject_TypeCheck(object, UIWidget::type);
}

// A child that a walk hands to a table entry: a UIWidget, else TypeError
// "Cannot convert X to quorvelin.UIWidget".
UIWidget* widgetOrRefuse(PyObject* object);

// The base drawing check: nothing to draw (false) for a hidden widget, EngineException
// (-1) for a visible one that no renderer draws, else 1.
int readyToDraw(UIWidget* widget);

// UIWidget.update: the hover state and the drag.
bool updateWidget(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);

// UIWidget._onClick: 1 when the widget took the click, 0, or -1 with the error set.
int widgetTakesClick(PyObject* self, PyObject* event);

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
walk::Step rendererStep(PyObject* widget, PyObject* renderer);
walk::Step passStep(PyObject* widget, LayoutPass pass);
walk::Step renderStep(PyObject* widget, ClipValues clip);
walk::Step updateStep(PyObject* widget, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);
walk::Step clickStep(PyObject* widget, PyObject* event);
walk::Step scrollStep(PyObject* widget, PyObject* event);

// UIWidget._setParent, which the label offers as its own.
PyObject* setWidgetParent(PyObject* self, PyObject* parent);

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
