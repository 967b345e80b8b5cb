// The one module object of the process, and lookups in its namespace.
#pragma once

#include "py/ref.hpp"

namespace py {

// The module's namespace; null until the module is created.
PyObject* moduleDict() noexcept;
void setModule(PyObject* module) noexcept;

// A module global by name, looked up at each call (NameError when it is missing).
Ref moduleGlobal(const char* name);
// A built-in (print, ...) by name, the same way.
Ref builtin(const char* name);

// Binds `value` (a new reference, may be null after a failed call) in the module namespace.
bool bind(const char* name, Ref value);
bool bindInt(const char* name, long value);

// Runs Python source in the module namespace; `name` labels it in tracebacks.
bool runSource(const char* source, const char* name);

// A built-in function bound to no object whose __module__ is the module's name.
Ref moduleFunction(PyMethodDef* definition);

} // namespace py
