// The one boundary where C++ meets the interpreter: every function the host calls
// (method entries, __init__, properties, type slots) runs inside a guard, so no C++
// exception ever unwinds through the interpreter. std::bad_alloc becomes MemoryError,
// any other exception SystemError with its text. The one unwind that passes is the
// host's own ending of the thread (py/threadExit.hpp), which must reach the thread's
// start: swallowing it aborts the process. So no function on its way is noexcept.
//   py::guarded<Joystick_str>   a function of the same signature that guards the call
//   py::atBoundary([&] { ... }) a body run the same way, its failure value on error
#pragma once

#include "py/errors.hpp"

#include <cxxabi.h>

#include <exception>
#include <new>
#include <type_traits>

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

// Called in a catch-all handler: rethrows the forced unwind with which the host ends a
// thread, which no handler may keep (the process would abort). It carries no exception
// object, so the handler's reference to it is null by design: the undefined-behaviour
// sanitizer, which would report that, is off for these few lines.
[[gnu::no_sanitize("undefined")]] inline void passForcedUnwind() {
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
    }
}

// Runs `body`; a C++ exception becomes the host's error and `body`'s failure value (a
// void body, as a deallocation, has nobody to report to but the host).
template <class Body> auto atBoundary(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        passForcedUnwind();
        if constexpr (std::is_void_v<decltype(body())>) {
            translateException();
            PyErr_WriteUnraisable(nullptr);
        } else {
            return translateException();
        }
    }
}

template <auto function> struct Guard;

template <class Result, class... Args, Result (*function)(Args...)> struct Guard<function> {
    static Result call(Args... args) {
        return atBoundary([&]() -> Result { return function(args...); });
    }
};

template <auto function> constexpr auto guarded = &Guard<function>::call;

// A type slot whose function runs guarded: py::slot<Py_tp_str, Joystick_str>().
template <int id, auto function> PyType_Slot slot() {
    return {id, reinterpret_cast<void*>(guarded<function>)};
}

} // namespace py
