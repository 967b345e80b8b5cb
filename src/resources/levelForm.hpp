// The components' level-file form: reading the decoded JSON object of a component
// (any object that supports `key in input` and `input[key]`) and writing a new dict
// whose keys keep the order in which they are put.
#pragma once

#include "py/call.hpp"

namespace levelForm {

// `key in input`: 1, 0, or -1 with the error set.
int has(PyObject* input, py::Name& key);
// input[key]: a missing key raises the input's own error (KeyError for a dict).
py::Ref item(PyObject* input, py::Name& key);
// input[key] converted to a double.
bool readDouble(PyObject* input, py::Name& key, double& out);
// The same for an optional key: `otherwise` when it is missing.
bool readDouble(PyObject* input, py::Name& key, double otherwise, double& out);
// The truth value of input[key], or false when the key is missing.
bool readFlag(PyObject* input, py::Name& key, bool& out);

// dict[key] = value (a new reference, may be null after a failed call).
bool put(PyObject* dict, py::Name& key, py::Ref value);

} // namespace levelForm
