#include "py/args.hpp"

#include "py/errors.hpp"

#include <algorithm>

namespace py {

namespace {

void raiseCount(const Parameters& p, Py_ssize_t given) {
    bool exact = p.required == p.count && !p.rest;
    Py_ssize_t expected = given < p.required ? p.required : p.count;
    const char* bound = exact ? "exactly" : given < p.required ? "at least" : "at most";
    PyErr_Format(PyExc_TypeError, "%.200s() takes %.8s %zd positional argument%.1s (%zd given)",
                 p.function, bound, expected, expected == 1 ? "" : "s", given);
}

// Too many positional arguments, or too few when no keyword can make up for them.
bool countFits(const Parameters& p, Py_ssize_t nargs, Py_ssize_t nkeywords) {
    if ((nargs > p.count && !p.rest) || (nkeywords == 0 && nargs < p.required)) {
        raiseCount(p, nargs);
        return false;
    }
    return true;
}

Py_ssize_t indexOf(const Parameters& p, PyObject* key) {
    if (!PyUnicode_Check(key)) return -1;
    for (Py_ssize_t i = 0; i < p.count; ++i)
        if (PyUnicode_CompareWithASCIIString(key, p.names[i]) == 0) return i;
    return -1;
}

// Explains the first keyword that no parameter took.
bool raiseBadKeyword(const Parameters& p, PyObject* key, Py_ssize_t nargs) {
    if (!PyUnicode_Check(key)) {
        PyErr_Format(PyExc_TypeError, "%.200s() keywords must be strings", p.function);
        return true;
    }
    Py_ssize_t index = indexOf(p, key);
    if (index < 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", p.function,
                     key);
        return true;
    }
    if (index < nargs) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%U'",
                     p.function, key);
        return true;
    }
    return false;
}

// Shared by both call conventions: `keyword(i)` gives the i-th keyword's name and
// value. Positional arguments are already in `out`.
template <class Keywords>
bool assignKeywords(const Parameters& p, Py_ssize_t nargs, Py_ssize_t nkeywords, Keywords keyword,
                    PyObject** out) {
    Py_ssize_t taken = 0;
    for (Py_ssize_t k = 0; k < nkeywords; ++k) {
        auto [key, value] = keyword(k);
        Py_ssize_t index = indexOf(p, key);
        if (index >= nargs && !out[index]) {
            out[index] = value;
            ++taken;
        }
    }
    for (Py_ssize_t i = nargs; i < p.required; ++i) {
        if (!out[i]) {
            raiseCount(p, i);
            return false;
        }
    }
    if (taken == nkeywords) return true;
    for (Py_ssize_t k = 0; k < nkeywords; ++k) {
        auto [key, value] = keyword(k);
        Py_ssize_t index = indexOf(p, key);
        if ((index < nargs || out[index] != value) && raiseBadKeyword(p, key, nargs)) return false;
    }
    return true;
}

} // namespace

bool parse(const Parameters& p, PyObject* args, PyObject* kwargs, PyObject** out) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    Py_ssize_t nkeywords = kwargs ? PyDict_GET_SIZE(kwargs) : 0;
    if (!countFits(p, nargs, nkeywords)) return false;
    std::fill(out, out + p.count, nullptr);
    for (Py_ssize_t i = 0; i < std::min(nargs, p.count); ++i)
        out[i] = PyTuple_GET_ITEM(args, i);
    if (nkeywords == 0) return true;
    // A dict cannot be indexed, so take a snapshot of its items first.
    PyObject* keys[16];
    PyObject* values[16];
    Py_ssize_t position = 0, k = 0;
    PyObject *key, *value;
    while (k < 16 && PyDict_Next(kwargs, &position, &key, &value)) {
        keys[k] = key;
        values[k++] = value;
    }
    if (k < nkeywords) { // more keywords than any engine function has parameters
        position = 0;
        while (PyDict_Next(kwargs, &position, &key, &value))
            if (raiseBadKeyword(p, key, nargs)) return false;
    }
    return assignKeywords(
        p, nargs, k,
        [&](Py_ssize_t i) {
            return std::pair{keys[i], values[i]};
        },
        out);
}

bool parseNone(const char* function, PyObject* args, PyObject* kwargs) {
    if (!parse({function, nullptr, 0, 0}, args, nullptr, nullptr)) return false;
    if (!kwargs || PyDict_GET_SIZE(kwargs) == 0) return true;
    PyErr_Format(PyExc_TypeError, "%.200s() takes no keyword arguments", function);
    return false;
}

bool parse(const Parameters& p, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
           PyObject** out) {
    nargs = PyVectorcall_NARGS(nargs);
    Py_ssize_t nkeywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    if (!countFits(p, nargs, nkeywords)) return false;
    std::fill(out, out + p.count, nullptr);
    std::copy(args, args + std::min(nargs, p.count), out);
    if (nkeywords == 0) return true;
    return assignKeywords(
        p, nargs, nkeywords,
        [&](Py_ssize_t i) {
            return std::pair{PyTuple_GET_ITEM(kwnames, i), args[nargs + i]};
        },
        out);
}

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
