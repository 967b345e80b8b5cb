// Resource: the base of every file-backed asset; it remembers the file name.
#pragma once

#include "py/classdef.hpp"

struct Resource {
    PyObject_HEAD
    PyObject* filename;

    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& resourceClass();
