// The objects of a widget tree: every widget and every container, as the layout
// passes and the walks read them. The widget base and the container base share this
// header because a widget's final size is its parent's inner size; each class's code is
// in its own file (ui/widget.*, ui/abstractcontainer.*).
#pragma once

#include "core/layout.hpp"
#include "ui/walk.hpp"

#include <Python.h>

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

struct AbstractUIContainer : UIWidget {
    PyObject* children; // list of UIWidget, in insertion order; game code may change it
    int32_t innerWidth; // the space the children get, set by the final-size pass
    int32_t innerHeight;

    using Base = UIWidget;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

// A layout pass as an entry of the table.
using LayoutPass = walk::Step (*UIWidgetOps::*)(UIWidget*);
