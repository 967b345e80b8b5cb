// Reaching the C++ struct of an engine object. A field's object is tested first: null
// for None or for an object of another class, so code that reads fields directly never
// reads through a value it did not expect.
//   Vector2* position = py::instanceOf<Vector2>(component->pos);
// The `self` of a class's own methods and slots, or an object tested already, is cast:
//   Level* level = py::cast<Level>(self);
#pragma once

#include <Python.h>

#include <type_traits>

namespace py {

// An engine object, or a type, as the host's API takes it.
template <class T> PyObject* asObject(T* object) {
    return reinterpret_cast<PyObject*>(const_cast<std::remove_const_t<T>*>(object));
}

// The engine struct of an object known to be a T (or an instance of a subclass of T),
// from the object or from the struct of one of T's engine bases.
template <class T> T* cast(PyObject* object) {
    return reinterpret_cast<T*>(object);
}
template <class T, class Base>
requires std::is_base_of_v<Base, T> T* cast(Base* object) {
    return static_cast<T*>(object);
}

// Whether an engine object is an instance of its engine class itself, not of a Python
// subclass: its methods are then the engine's own, so the engine may run them directly
// instead of by lookup. Engine classes are immutable and their Python subclasses never
// are; the typed pointer says that the object is known to be an engine object (built-in
// types are immutable too).
template <class T> bool hasOwnMethods(const T* object) {
    return PyType_HasFeature(Py_TYPE(asObject(object)), Py_TPFLAGS_IMMUTABLETYPE);
}

template <class T> T* instanceOf(PyObject* object) {
    if (!object || !T::type || !PyObject_TypeCheck(object, T::type)) return nullptr;
    return reinterpret_cast<T*>(object);
}

} // namespace py
