// Renderer: the base of every system that draws a picture into a target texture
// once per frame; the engine shows the targets of its renderers.
#pragma once

#include "resources/entity.hpp"

struct Renderer : AbstractSystem {
    PyObject* target; // Texture or None

    using Base = AbstractSystem;
    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& rendererClass();
