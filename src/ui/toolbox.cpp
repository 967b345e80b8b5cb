// What the UI's classes share that belongs to no one widget.
#include "ui/toolbox.hpp"

#include "py/convert.hpp"
#include "py/module.hpp"

namespace {

py::Name nSizeFixed("SIZE_FIXED");
py::Name nSizeGrow("SIZE_GROW");

} // namespace

int policyIs(int32_t policy, SizePolicy constant) {
    py::Ref value = py::moduleGlobal(constant == SizePolicy::fixed ? nSizeFixed : nSizeGrow);
    if (!value) return -1;
    if (PyLong_CheckExact(value.get())) {
        int overflow = 0;
        long long number = PyLong_AsLongLongAndOverflow(value.get(), &overflow);
        return !overflow && number == policy;
    }
    py::Ref boxed(PyLong_FromLong(policy));
    return boxed ? PyObject_RichCompareBool(boxed.get(), value.get(), Py_EQ) : -1;
}

bool initAsBase(PyTypeObject* base, PyObject* self) {
    py::Ref nothing(PyTuple_New(0));
    return nothing && base->tp_init(self, nothing.get(), nullptr) == 0;
}

ClipValues noClip() {
    static PyObject* values[4] = {};
    if (!values[0])
        for (PyObject*& value : values)
            value = PyLong_FromLong(-1); // a small int, which the host never frees
    return values;
}

PyObject* setSides(const char* method, PyObject* args, PyObject* kwargs, int32_t* top,
                   int32_t* right, int32_t* bottom, int32_t* left) {
    if (kwargs && PyDict_GET_SIZE(kwargs) != 0) {
        PyErr_Format(PyExc_TypeError, "%.200s() takes no keyword arguments", method);
        return nullptr;
    }
    Py_ssize_t count = PyTuple_GET_SIZE(args);
    if (count < 1 || count > 4) {
        PyErr_Format(PyExc_ValueError, "%s takes either 1, 2, 3 or 4 values. %d were given.",
                     method, int(count));
        return nullptr;
    }
    // Which value each side takes, for one to four values: top, right, bottom, left.
    static const int pick[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
    int32_t* sides[4] = {top, right, bottom, left};
    for (int side = 0; side < 4; ++side)
        if (!py::toInt32(PyTuple_GET_ITEM(args, pick[count - 1][side]), *sides[side]))
            return nullptr;
    Py_RETURN_NONE;
}
