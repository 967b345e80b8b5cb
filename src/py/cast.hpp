// Reaching the C++ struct of an engine object held in a field: null for None or for
// an object of another class, so code that reads fields directly never reads through
// a value it did not expect.
//   Vector2* position = py::instanceOf<Vector2>(component->pos);
#pragma once

#include <Python.h>

#include <type_traits>

namespace py {

// An engine object, or a type, as the host's API takes it.
template <class T> PyObject* asObject(T* object) {
    return reinterpret_cast<PyObject*>(const_cast<std::remove_const_t<T>*>(object));
}

template <class T> T* instanceOf(PyObject* object) {
    if (!object || !T::type || !PyObject_TypeCheck(object, T::type)) return nullptr;
    return reinterpret_cast<T*>(object);
}

} // namespace py
