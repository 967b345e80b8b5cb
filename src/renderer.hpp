// Renderer: the base of every system that draws a picture into a target texture
// once per frame; the engine shows the targets of its renderers.
#pragma once

#include "resources/entity.hpp"

// The message of a render() refused while the renderer draws.
inline constexpr const char* renderingAlready =
    "render() cannot start while this renderer is drawing a frame";

struct Renderer : AbstractSystem {
    PyObject* target; // Texture or None
    // A frame is being drawn: the renderers keep its work in progress in themselves, so
    // a render() started meanwhile (from Python code the frame calls, or from another
    // thread) is refused (py::Exclusive).
    bool drawing;

    using Base = AbstractSystem;
    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& rendererClass();
