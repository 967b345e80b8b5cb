// The one boundary where C++ meets the interpreter: every function the host calls
// (method entries, __init__, properties, type slots) runs inside a guard, so no C++
// exception ever unwinds through the interpreter. std::bad_alloc becomes MemoryError,
// any other exception SystemError with its text.
//   py::guarded<Joystick_str>   a function of the same signature that guards the call
#pragma once

#include "py/errors.hpp"

#include <exception>
#include <new>

namespace py {

// The exception in flight as the host's error; called from a catch handler.
inline Failure translateException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_SystemError, error.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
    }
    return failed;
}

template <auto function> struct Guard;

template <class Result, class... Args, Result (*function)(Args...)> struct Guard<function> {
    static Result call(Args... args) noexcept {
        try {
            return function(args...);
        } catch (...) {
            if constexpr (std::is_void_v<Result>) {
                translateException(); // deallocation: nobody to report to but the host
                PyErr_WriteUnraisable(nullptr);
            } else {
                return translateException();
            }
        }
    }
};

template <auto function> constexpr auto guarded = &Guard<function>::call;

// A type slot whose function runs guarded: py::slot<Py_tp_str, Joystick_str>().
template <int id, auto function> PyType_Slot slot() {
    return {id, reinterpret_cast<void*>(guarded<function>)};
}

} // namespace py
