// Method table entries for methods that take no argument or exactly one, by
// position only, with the engine's messages, which name the bare method:
//   "getSize() takes no arguments (1 given)",
//   "copyFrom() takes exactly one argument (2 given)",
//   "copyFrom() takes no keyword arguments";
// and for methods that take their arguments by position or by keyword and parse
// them themselves (py::parseArgs, args.hpp).
// and for methods that take any number of positional arguments and keywords as a
// tuple and a dict. Every entry calls its function inside the exception boundary.
// Usage in a method table:
//   py::noArgs<"getSize", Texture_getSize>(py::doc<"@returns((int, int))">),
//   py::oneArg<"copyFrom", Texture_copyFrom>(py::doc<"@param(other, Texture)">),
//   py::withKeywords<"render", Font_render>(...),
//   py::withVarargs<"getEntities", Ecs_getEntities>(...),
#pragma once

#include "py/guard.hpp"

#include <algorithm>
#include <cstddef>

namespace py {

// A string literal as a template argument: the method's name, kept for the life of
// the process.
template <size_t N> struct MethodName {
    char text[N];
    constexpr MethodName(const char (&name)[N]) { std::copy_n(name, N, text); }
};

using UnaryFunction = PyObject* (*)(PyObject* self, PyObject* argument);
using KeywordFunction = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames);
using VarargsFunction = PyObject* (*)(PyObject* self, PyObject* args, PyObject* kwargs);

bool rejectKeywords(const char* name, PyObject* kwnames);
bool checkPositionalCount(const char* name, Py_ssize_t nargs, Py_ssize_t expected);

template <MethodName name, UnaryFunction function>
PyObject* callWithoutArguments(PyObject* self, PyObject* const*, Py_ssize_t nargs,
                               PyObject* kwnames) {
    if (!rejectKeywords(name.text, kwnames) || !checkPositionalCount(name.text, nargs, 0))
        return nullptr;
    return guarded<function>(self, nullptr);
}

template <MethodName name, UnaryFunction function>
PyObject* callWithOneArgument(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    if (!rejectKeywords(name.text, kwnames) || !checkPositionalCount(name.text, nargs, 1))
        return nullptr;
    return guarded<function>(self, args[0]);
}

template <MethodName name, UnaryFunction function>
constexpr PyMethodDef noArgs(const char* doc = nullptr) {
    return {name.text, reinterpret_cast<PyCFunction>(callWithoutArguments<name, function>),
            METH_FASTCALL | METH_KEYWORDS, doc};
}

template <MethodName name, UnaryFunction function>
constexpr PyMethodDef oneArg(const char* doc = nullptr) {
    return {name.text, reinterpret_cast<PyCFunction>(callWithOneArgument<name, function>),
            METH_FASTCALL | METH_KEYWORDS, doc};
}

template <MethodName name, KeywordFunction function>
constexpr PyMethodDef withKeywords(const char* doc = nullptr) {
    return {name.text, reinterpret_cast<PyCFunction>(guarded<function>),
            METH_FASTCALL | METH_KEYWORDS, doc};
}

template <MethodName name, VarargsFunction function>
constexpr PyMethodDef withVarargs(const char* doc = nullptr) {
    return {name.text, reinterpret_cast<PyCFunction>(guarded<function>),
            METH_VARARGS | METH_KEYWORDS, doc};
}

} // namespace py
