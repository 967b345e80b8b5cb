#include "resources/levelForm.hpp"

#include "py/convert.hpp"

namespace levelForm {

int has(PyObject* input, py::Name& key) {
    PyObject* name = key.get();
    return name ? PySequence_Contains(input, name) : -1;
}

py::Ref item(PyObject* input, py::Name& key) {
    PyObject* name = key.get();
    return py::Ref(name ? PyObject_GetItem(input, name) : nullptr);
}

bool readDouble(PyObject* input, py::Name& key, double& out) {
    py::Ref value = item(input, key);
    return value && py::toDouble(value.get(), out);
}

bool readDouble(PyObject* input, py::Name& key, double otherwise, double& out) {
    int present = has(input, key);
    if (present < 0) return false;
    if (present) return readDouble(input, key, out);
    out = otherwise;
    return true;
}

bool readFlag(PyObject* input, py::Name& key, bool& out) {
    int present = has(input, key);
    if (present <= 0) {
        out = false;
        return present == 0;
    }
    py::Ref value = item(input, key);
    return value && py::toFlag(value.get(), out);
}

bool put(PyObject* dict, py::Name& key, py::Ref value) {
    PyObject* name = key.get();
    return value && name && PyDict_SetItem(dict, name, value.get()) == 0;
}

} // namespace levelForm
