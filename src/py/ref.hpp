// Owned references: every temporary PyObject* the engine creates lives in a Ref,
// so it is released on every path; success hands it on with release().
#pragma once

#include "py/threadExit.hpp"

#include <Python.h>

#include <utility>

namespace py {

class Ref {
  public:
    Ref() = default;
    // Takes over a new reference (may be null, as a failed C-API call returns).
    explicit Ref(PyObject* owned) noexcept : ptr_(owned) {}
    static Ref borrow(PyObject* object) noexcept {
        Py_XINCREF(object);
        return Ref(object);
    }
    static Ref none() noexcept { return borrow(Py_None); }

    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : ptr_(other.release()) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref old(std::exchange(ptr_, other.release()));
        return *this;
    }
    // Kept, not released, on a thread that the exiting host is ending (py/threadExit.hpp).
    ~Ref() {
        if (ptr_ && mayTouchObjects()) Py_DECREF(ptr_);
    }

    PyObject* get() const noexcept { return ptr_; }
    PyObject* release() noexcept { return std::exchange(ptr_, nullptr); }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

  private:
    PyObject* ptr_ = nullptr;
};

// A new reference to `object`, for returning a borrowed value.
inline PyObject* newRef(PyObject* object) noexcept {
    Py_INCREF(object);
    return object;
}

// Replaces an owned object field: the new value is referenced first and the old
// one released last, so a destructor that runs Python code sees a valid field.
inline void assign(PyObject*& field, PyObject* value) noexcept {
    Py_INCREF(value);
    Py_XSETREF(field, value);
}

} // namespace py
