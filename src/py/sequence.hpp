// Searching the engine's lists (entities, members, systems) as the host's `in`,
// list.index and list.remove do, without running a full comparison for each element:
// where both the item and an element compare by identity (neither type defines its
// own equality), the host's comparison can only answer "same object", so comparing
// the pointers gives the same answer. Any element whose type has its own equality
// is compared in full, in list order, so a Python __eq__ still takes part.
#pragma once

#include <Python.h>

namespace py {

// Whether instances of the type compare equal only to themselves.
inline bool comparesByIdentity(PyTypeObject* type) {
    return !type->tp_richcompare || type->tp_richcompare == PyBaseObject_Type.tp_richcompare;
}

// The position of the first element equal to `item`: -1 when there is none, -2 with the
// error set when a comparison failed. `list` is exactly a list.
Py_ssize_t indexIn(PyObject* list, PyObject* item);

// `item in sequence`: 1, 0, or -1 with the error set. Other sequences than an exact list
// answer through their own containment test.
int contains(PyObject* sequence, PyObject* item);

// Removes the first element equal to `item` if there is one (as list.remove, which
// another sequence is asked to do after its containment test): 1 removed, 0 none, -1
// error.
int removeFirst(PyObject* sequence, PyObject* item);

} // namespace py
