// One helper per message kind, so every message of the engine is spelled once.
// Each sets the Python error and returns a Failure, which converts to the
// failure value of the caller: nullptr for PyObject*, -1 for int, false for bool.
#pragma once

#include "py/threadExit.hpp"

#include <Python.h>

#include <string>

namespace py {

struct Failure {
    operator PyObject*() const noexcept { return nullptr; }
    operator int() const noexcept { return -1; }
    operator bool() const noexcept { return false; }
};

// The error is already set by a call that failed.
inline constexpr Failure failed{};

Failure raise(PyObject* exceptionType, const char* message);

// "Argument 'name' has incorrect type (expected quorvelin.X, got Y)"
Failure argumentTypeError(const char* argumentName, PyTypeObject* expected, PyObject* given);

// NotImplementedError "__del__": deleting a property that has no "empty" value.
Failure deleteRefused();

// TypeError "Cannot convert X to quorvelin.Y": a typed object field or a result
// refused a value.
Failure cannotConvert(PyObject* value, PyTypeObject* type);

// TypeError "Expected tuple, got X"
Failure expectedType(const char* expected, PyObject* given);

// "'<type>' object has no attribute '<name>'": what the host raises where the engine reads a
// field directly and finds another object (mostly None) in its place.
Failure noAttribute(PyObject* object, const char* name);

// OSError with `format % (name,)`: a file that could not be loaded or written,
// named as the caller gave it ("Unable to load image file '%s'").
Failure fileError(const char* format, PyObject* name);
// The same followed by ": " and the library's `reason` as the host shows bytes
// (b'...'), when there is one (not null).
Failure fileError(const char* format, PyObject* name, const char* reason);
// Adds `note` to the exception being raised (`add_note`): a traceback shows it under the
// message, while the message and the arguments stay as they are. Where even that fails,
// the exception is raised without it.
Failure addNote(const std::string& note);

// What a method that returns None hands back: None on success, null when the call
// it made failed (the error is already set).
inline PyObject* noneOrFailed(bool ok) {
    if (!ok) return nullptr;
    Py_INCREF(Py_None);
    return Py_None;
}

// What a method that answers a truth value hands back for 1, 0, or -1 with the error
// set: True, False, or null.
inline PyObject* boolOrFailed(int answer) {
    return answer < 0 ? nullptr : PyBool_FromLong(answer);
}

// The engine's own exception classes, raised by name from the module namespace.
Failure engineException(const char* message);
Failure engineSdlException(const char* message);
// LevelFormatException(filename, message): a level file whose content is invalid.
Failure levelFormatException(PyObject* filename, PyObject* message);

// Prints the pending exception as unraisable on behalf of `where`, for operations
// that cannot report failure to their caller.
void printUnraisable(const char* where);

// Adds a traceback entry named `function` to the pending exception, at a source file
// of the engine (named from its src/ folder on) and line.
void addTraceback(const char* function, const char* file, int line);

// Keeps the pending exception (if any) aside while other work runs. When the scope ends
// it is pending again, in place of any error that the work set, so the first error is
// the one reported; drop() lets it go instead, and restore() puts it back at once.
class PendingError {
  public:
    PendingError() noexcept { PyErr_Fetch(&type_, &value_, &traceback_); }
    ~PendingError() { restore(); }
    PendingError(const PendingError&) = delete;
    PendingError& operator=(const PendingError&) = delete;

    void restore() noexcept {
        if (holding_ && mayTouchObjects()) PyErr_Restore(type_, value_, traceback_);
        holding_ = false;
    }
    void drop() noexcept {
        if (holding_ && mayTouchObjects()) {
            Py_XDECREF(type_);
            Py_XDECREF(value_);
            Py_XDECREF(traceback_);
        }
        holding_ = false;
    }

  private:
    PyObject* type_;
    PyObject* value_;
    PyObject* traceback_;
    bool holding_ = true;
};

} // namespace py
