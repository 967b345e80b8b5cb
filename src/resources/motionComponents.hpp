// Where an entity is, how it moves, where it faces and how it collides. The renderer,
// the movement code and the levels read and write these fields directly every frame;
// their order and types are fixed. Vectors are shared with whoever gave them, never
// copied: the accessors reach the held Vector2 itself, or null when the field holds
// None (which pickling or game code can leave there).
#pragma once

#include "geometryMath.hpp"
#include "py/cast.hpp"
#include "py/classdef.hpp"

struct PositionComponent {
    PyObject_HEAD
    PyObject* pos; // Vector2 or None

    Vector2* position() const { return py::instanceOf<Vector2>(pos); }

    static inline PyTypeObject* type = nullptr;
};

struct VelocityComponent {
    PyObject_HEAD
    PyObject* velocity; // Vector2 or None
    PyObject* impulse;  // Vector2 or None: decays by `friction`
    double friction;

    Vector2* velocityVector() const { return py::instanceOf<Vector2>(velocity); }
    Vector2* impulseVector() const { return py::instanceOf<Vector2>(impulse); }

    static inline PyTypeObject* type = nullptr;
};

struct RotationComponent {
    PyObject_HEAD
    PyObject* dir; // Vector2 or None; not normalised

    static inline PyTypeObject* type = nullptr;
};

struct CollisionComponent {
    PyObject_HEAD
    double radius;
    bool isOnlyTrigger;
    PyObject* hasFlags;    // list or None
    PyObject* ignoreFlags; // list or None

    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& positionComponentClass();
py::ClassDef& velocityComponentClass();
py::ClassDef& rotationComponentClass();
py::ClassDef& collisionComponentClass();
