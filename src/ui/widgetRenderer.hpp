// The renderer of a widget: the UIRenderer's object as its widgets read it, and the
// target texture and theme a widget draws with. The class itself is gui.*, which stands
// above the widgets it drives.
#pragma once

#include "py/ref.hpp"
#include "renderer.hpp"

struct UIRenderer : Renderer {
    PyObject* widget; // the root UIWidget; None only before the constructor
    PyObject* theme;  // UITheme; None only before the constructor
    int32_t fillBackground;

    using Base = Renderer;
    static inline PyTypeObject* type = nullptr;
};

// The target texture and the theme of a widget's renderer, held by the caller;
// EngineException when the renderer lacks one (a Renderer.__init__ of its own took
// the target away, or it was never constructed).
py::Ref rendererTarget(PyObject* renderer);
py::Ref rendererTheme(PyObject* renderer);
