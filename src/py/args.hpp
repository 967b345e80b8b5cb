// Argument parsing for functions that take several parameters by position or by
// keyword. Values land in `out` as borrowed references; an optional parameter
// that was not given stays null. The messages are the engine's fixed ones:
//   "f() takes exactly 3 positional arguments (2 given)",
//   "f() got an unexpected keyword argument 'k'", and so on.
// A function that also takes any number of further positional arguments (*rest)
// sets `rest`: they stay where they are, and only too few arguments is an error.
// A method whose only parameter has no default is declared METH_O instead, which
// takes it by position only.
#pragma once

#include <Python.h>

#include <cstddef>

namespace py {

struct Parameters {
    const char* function;     // the name the messages show: "__init__" for constructors
    const char* const* names; // every parameter, in order
    Py_ssize_t count;
    Py_ssize_t required; // the leading parameters that have no default
    bool rest = false;   // further positional arguments are left to the caller
};

// From a tuple and a dict (tp_init, tp_new).
bool parse(const Parameters& parameters, PyObject* args, PyObject* kwargs, PyObject** out);
// From a vectorcall (METH_FASTCALL | METH_KEYWORDS).
bool parse(const Parameters& parameters, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
           PyObject** out);

// A function that takes no arguments at all, from a tuple and a dict: too many
// positional ones first, then "f() takes no keyword arguments".
bool parseNone(const char* function, PyObject* args, PyObject* kwargs);

// For the method entries that take their arguments by position only: keywords are
// refused ("f() takes no keyword arguments"), and the count must be exact
// ("f() takes no arguments (1 given)", "f() takes exactly one argument (2 given)").
bool rejectKeywords(const char* name, PyObject* kwnames);
bool checkPositionalCount(const char* name, Py_ssize_t nargs, Py_ssize_t expected);

// Method rows and __init__ parse through their parameter lists (signature.hpp); a
// function the engine makes outside a class's tables calls this, the names and the
// slots of the same length:
//   PyObject* a[3];
//   if (!py::parseArgs("__init__", {"x", "y", "button"}, args, kwargs, a)) return -1;
template <size_t N>
bool parseArgs(const char* function, const char* const (&names)[N], PyObject* args,
               PyObject* kwargs, PyObject* (&out)[N], size_t required = N) {
    return parse({function, names, Py_ssize_t(N), Py_ssize_t(required)}, args, kwargs, out);
}
template <size_t N>
bool parseArgs(const char* function, const char* const (&names)[N], PyObject* const* args,
               Py_ssize_t nargs, PyObject* kwnames, PyObject* (&out)[N], size_t required = N) {
    return parse({function, names, Py_ssize_t(N), Py_ssize_t(required)}, args, nargs, kwnames, out);
}

} // namespace py
