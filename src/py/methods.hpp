// Method table entries. Each row carries the method's parameters once: the entry
// parses by them, with the engine's messages under the bare method name, and the
// documentation begins with the signature they make (signature.hpp), which the host
// shows to inspect.signature() and help() and strips from __doc__.
//   py::noArgs<"getSize", Texture_getSize>(py::doc<"@returns((int, int))">)
//       no argument: "getSize() takes no arguments (1 given)",
//       "getSize() takes no keyword arguments"
//   py::oneArg<"copyFrom", Texture_copyFrom, "other">(py::doc<"@param(other, Texture)">)
//       exactly one, by position only: "copyFrom() takes exactly one argument (2 given)"
//   py::withKeywords<"render", Font_render, "text", "color">(...)
//       by position or keyword (py::parse's messages); the function receives their
//       values: PyObject* Font_render(PyObject* self, py::Arguments<2>& a)
//   py::withVarargs<"getEntities", Ecs_getEntities, "*componentTypes">(...)
//       any positional arguments and keywords, as a tuple and a dict, which the
//       function takes apart itself; the row names what it takes
// Module functions take py::functionDoc, and their signature names no receiver.
// Every entry calls its function inside the exception boundary.
#pragma once

#include "py/guard.hpp"
#include "py/signature.hpp"

#include <cstddef>

namespace py {

using UnaryFunction = PyObject* (*)(PyObject* self, PyObject* argument);
using VarargsFunction = PyObject* (*)(PyObject* self, PyObject* args, PyObject* kwargs);

template <Text name, UnaryFunction function>
PyObject* callWithoutArguments(PyObject* self, PyObject* const*, Py_ssize_t nargs,
                               PyObject* kwnames) {
    if (!rejectKeywords(name.text, kwnames) || !checkPositionalCount(name.text, nargs, 0))
        return nullptr;
    return guarded<function>(self, nullptr);
}

template <Text name, UnaryFunction function>
PyObject* callWithOneArgument(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    if (!rejectKeywords(name.text, kwnames) || !checkPositionalCount(name.text, nargs, 1))
        return nullptr;
    return guarded<function>(self, args[0]);
}

template <Text name, auto function, Text... parameters>
PyObject* callWithParameters(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
    using List = ParameterList<parameters...>;
    static_assert(!List::rest, "further positional arguments: a py::withVarargs row");
    Arguments<List::count> values;
    if (!List::parse(name.text, args, nargs, kwnames, values)) return nullptr;
    return guarded<function>(self, values);
}

// The row's documentation: its signature, then the text given, if any.
template <Text name, class Documentation, Text... parameters> constexpr const char* signedDoc() {
    using Signature = SignatureWriter<name, Documentation::owner, ParameterList<parameters...>>;
    return Written<SignedWriter<Signature, Documentation>>::text.data();
}

template <Text name, UnaryFunction function, class Documentation = NoDoc>
constexpr PyMethodDef noArgs(Documentation = {}) {
    return {name.text, reinterpret_cast<PyCFunction>(callWithoutArguments<name, function>),
            METH_FASTCALL | METH_KEYWORDS, signedDoc<name, Documentation>()};
}

// The one parameter is named for the signature: "copyFrom($self, other, /)".
template <Text name, UnaryFunction function, Text parameter, class Documentation = NoDoc>
constexpr PyMethodDef oneArg(Documentation = {}) {
    return {name.text, reinterpret_cast<PyCFunction>(callWithOneArgument<name, function>),
            METH_FASTCALL | METH_KEYWORDS, signedDoc<name, Documentation, parameter, "/">()};
}

template <Text name, auto function, Text... parameters, class Documentation = NoDoc>
constexpr PyMethodDef withKeywords(Documentation = {}) {
    return {name.text,
            reinterpret_cast<PyCFunction>(callWithParameters<name, function, parameters...>),
            METH_FASTCALL | METH_KEYWORDS, signedDoc<name, Documentation, parameters...>()};
}

template <Text name, VarargsFunction function, Text... parameters, class Documentation = NoDoc>
constexpr PyMethodDef withVarargs(Documentation = {}) {
    return {name.text, reinterpret_cast<PyCFunction>(guarded<function>),
            METH_VARARGS | METH_KEYWORDS, signedDoc<name, Documentation, parameters...>()};
}

} // namespace py
