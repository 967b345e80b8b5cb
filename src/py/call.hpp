// Calls that go through attribute lookup on the object, so that a method or an
// attribute redefined in a Python subclass takes part. Names are interned once.
#pragma once

#include "py/ref.hpp"

namespace py {

// An attribute name, interned on first use and kept for the life of the process.
class Name {
  public:
    explicit constexpr Name(const char* text) : text_(text) {}
    // Null with the error set when interning fails.
    PyObject* get() {
        if (!object_) object_ = PyUnicode_InternFromString(text_);
        return object_;
    }

  private:
    const char* text_;
    PyObject* object_ = nullptr;
};

inline Ref getAttr(PyObject* object, Name& name) {
    PyObject* key = name.get();
    return Ref(key ? PyObject_GetAttr(object, key) : nullptr);
}

// object.name when reading it succeeds; null when it fails: without an error when the
// failure was an ordinary exception (it counts as "no such attribute" and is
// discarded), with it set otherwise (KeyboardInterrupt and the like).
inline Ref attributeIfAny(PyObject* object, Name& name) {
    Ref value = getAttr(object, name);
    if (!value && PyErr_ExceptionMatches(PyExc_Exception)) PyErr_Clear();
    return value;
}

inline bool setAttr(PyObject* object, Name& name, PyObject* value) {
    PyObject* key = name.get();
    return key && PyObject_SetAttr(object, key, value) == 0;
}

// object.name(args...), with borrowed PyObject* arguments.
template <class... Args> Ref callMethod(PyObject* object, Name& name, Args... args) {
    PyObject* key = name.get();
    if (!key) return Ref();
    PyObject* stack[] = {object, args...};
    return Ref(PyObject_VectorcallMethod(key, stack, 1 + sizeof...(Args), nullptr));
}

// Appends through the container's own append; a plain list directly.
inline bool append(PyObject* container, PyObject* item) {
    if (PyList_CheckExact(container)) return PyList_Append(container, item) == 0;
    static Name appendName("append");
    return bool(callMethod(container, appendName, item));
}

// Calls step(item) for each item of a sequence that may grow while it is walked:
// its length is read again before every step, so items appended meanwhile are
// visited in the same walk. Stops at the first step that fails. Both walks hold the
// sequence: a step may drop the last other reference to it (the field it came from).
template <class Step> bool forEachLive(PyObject* sequence, Step step) {
    Ref held = Ref::borrow(sequence);
    for (Py_ssize_t i = 0;; ++i) {
        Py_ssize_t size = PySequence_Size(sequence);
        if (size < 0) return false;
        if (i >= size) return true;
        Ref item(PySequence_GetItem(sequence, i));
        if (!item || !step(item.get())) return false;
    }
}

// The same over a snapshot taken first: changes made by the steps are not seen.
template <class Step> bool forEachOfCopy(PyObject* sequence, Step step) {
    Ref held = Ref::borrow(sequence);
    Ref copy(PySequence_List(sequence));
    if (!copy) return false;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(copy.get()); ++i)
        if (!step(PyList_GET_ITEM(copy.get(), i))) return false;
    return true;
}

} // namespace py
