// AbstractUIContainer: the base of every widget that holds others. It owns the list
// of children and the inner size it offers them (its struct is in ui/tree.hpp), and
// passes drawing, updates, clicks, wheel events and the three layout passes down to
// them. Subclasses bring addChild.
#pragma once

#include "py/cast.hpp"
#include "ui/tree.hpp"
#include "ui/widget.hpp"

// Awaits make(child), a step of the walk, for each child, first to last, over the live
// list: its length is read again before every step, so a child appended meanwhile is
// visited too. Each child, and the list, is held during its step.
template <class Make> walk::Step forEachChild(PyObject* container, Make make) {
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(container)->children);
    if (!PyList_Check(children.get())) co_return walk::done; // cleared by the collector
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(children.get()); ++i) {
        py::Ref child = py::Ref::borrow(PyList_GET_ITEM(children.get(), i));
        co_await make(child.get());
    }
    co_return walk::done;
}

// The same for a layout pass: each child's entry of the pass.
walk::Step eachChildPass(UIWidget* container, LayoutPass pass);

// The container base's render: the attachment check, then every child's render with
// the clip values as given.
walk::Step renderChildren(PyObject* self, ClipValues clip);

// The container base's removeChild: the first child equal to `child` leaves the list;
// nothing happens when there is none.
bool removeFromChildren(PyObject* self, PyObject* child);

// The container base's _onClick: the children asked last-added first; 1 when one took
// the click, else 0.
walk::Step childrenTakeClick(PyObject* self, PyObject* event);
// The same for wheel events (_onScroll).
walk::Step childrenTakeScroll(PyObject* self, PyObject* event);

// The container base's update: the container's own hover and drag state, then every
// child's update.
walk::Step updateWithChildren(PyObject* self, PyObject* mouseX, PyObject* mouseY,
                              PyObject* pressed);

// ValueError before `child` joins `container` when that would make the container its
// own descendant: the child is the container itself, or the container is found among
// the child's descendants (however they got into their lists).
bool refuseCycle(PyObject* container, PyObject* child);

// The container's table, made afresh. The tables of the classes are static objects made
// while the library loads, in no fixed order across files: a subclass builds its table
// from this function, never from AbstractUIContainer::table, which may not be made yet.
// (UIWidget::table needs no such function: it is a constant, there from the start.)
UIWidgetOps containerTable();

py::ClassDef& abstractUIContainerClass();
