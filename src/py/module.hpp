// The one module object of the process, and lookups in its namespace. The import
// that makes it is py/import.*.
#pragma once

#include "py/call.hpp"
#include "py/ref.hpp"

namespace py {

// The module's name, as its classes and functions carry it; "" until it is set.
const char* moduleName() noexcept;
void setModuleName(const char* name) noexcept;

// The module's namespace; null until the module is created.
PyObject* moduleDict() noexcept;
void setModule(PyObject* module) noexcept;

// A module global by name, looked up at each call (NameError when it is missing).
Ref moduleGlobal(const char* name);
// The same by an interned name, for lookups on every frame.
Ref moduleGlobal(Name& name);
// A built-in (print, ...) by name, the same way.
Ref builtin(const char* name);

// print(value) through the host's print, looked up at each call: console output goes
// where sys.stdout goes, redirected or not.
bool print(PyObject* value);
// The same for a text.
bool print(const char* text);

// Binds `value` (a new reference, may be null after a failed call) in the module namespace.
bool bind(const char* name, Ref value);
bool bindInt(const char* name, long value);

// Runs Python source in the module namespace; `name` labels it in tracebacks.
bool runSource(const char* source, const char* name);

// A built-in function bound to no object whose __module__ is the module's name.
Ref moduleFunction(PyMethodDef* definition);

} // namespace py
