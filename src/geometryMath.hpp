// Vector2, the engine's shared 2-D vector, and the angle conversion factors.
#pragma once

#include "py/changes.hpp"
#include "py/classdef.hpp"
#include "py/import.hpp"

// Set when the import runs the geometry segment.
extern double RAD2DEG;
extern double DEG2RAD;

struct Vector2;
struct Vector2Ops {
    double (*length)(const Vector2* self);
};

struct Vector2 {
    PyObject_HEAD
    const Vector2Ops* ops;
    double x;
    double y;

    double length() const { return ops->length(this); }
    // Every write of the coordinates goes through here, so that the engine's snapshots of
    // the vectors they read hear of it (py/changes.hpp).
    void assign(double newX, double newY) {
        x = newX;
        y = newY;
        py::changes::changed(reinterpret_cast<PyObject*>(this));
    }

    static inline PyTypeObject* type = nullptr;
    static const Vector2Ops table;
};

// A new vector of the base type.
PyObject* newVector2(double x, double y);

py::ClassDef& vector2Class();
extern const py::Segment geometryMathSegment;
