// The entity-component system: the Ecs that holds systems and entities, and the
// base of every system.
#pragma once

#include "py/classdef.hpp"

struct Ecs {
    PyObject_HEAD
    PyObject* systems;  // list: the update order; the engine's frame reads it directly
    PyObject* entities; // list
    PyObject* engine;   // Engine or None

    static inline PyTypeObject* type = nullptr;
};

struct AbstractSystem {
    PyObject_HEAD
    PyObject* interestedComponentTypes; // tuple
    PyObject* entities;                 // list of members
    PyObject* ecs;                      // Ecs or None
    PyObject* engine;                   // Engine or None

    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& ecsClass();
py::ClassDef& abstractSystemClass();
