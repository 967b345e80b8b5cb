#include "py/methods.hpp"

namespace py {

bool rejectKeywords(const char* name, PyObject* kwnames) {
    if (!kwnames || PyTuple_GET_SIZE(kwnames) == 0) return true;
    PyErr_Format(PyExc_TypeError, "%.200s() takes no keyword arguments", name);
    return false;
}

bool checkPositionalCount(const char* name, Py_ssize_t nargs, Py_ssize_t expected) {
    if (nargs == expected) return true;
    if (expected == 0)
        PyErr_Format(PyExc_TypeError, "%.200s() takes no arguments (%zd given)", name, nargs);
    else
        PyErr_Format(PyExc_TypeError, "%.200s() takes exactly one argument (%zd given)", name,
                     nargs);
    return false;
}

} // namespace py
