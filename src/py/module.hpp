// The one module object of the process, and lookups in its namespace.
#pragma once

#include "py/call.hpp"
#include "py/classdef.hpp"
#include "py/ref.hpp"

#include <span>

namespace py {

// The module's own lists, which its main file gives to moduleDefinition.
using ClassDefinition = ClassDef& (*)();
struct Segment {
    const char* source; // the source file whose module-level statements these are
    bool (*run)();      // null: the subsystem binds nothing yet
};
struct ModuleSpec {
    const char* name;
    std::span<const ClassDefinition> classes; // registration order: bases first
    std::span<const Segment> segments;        // import order
};

// A multi-phase module definition for PyInit: the create slot refuses a second
// interpreter and hands back the module already made in this process; the exec slot
// registers the classes, then runs the segments. A failure leaves a traceback entry
// "init <name>" at the class's declaration or the segment's source.
PyModuleDef* moduleDefinition(const ModuleSpec& spec);

// The module's name, as its classes and functions carry it.
const char* moduleName() noexcept;

// Binds the unpickle function of every picklable class, in registration order.
bool bindUnpickleFunctions();

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
