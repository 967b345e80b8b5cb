#include "py/convert.hpp"

#include "py/errors.hpp"

#include <climits>

namespace py {

static bool longToInt32(PyObject* number, int32_t& out) {
    int overflow = 0;
    long long value = PyLong_AsLongLongAndOverflow(number, &overflow);
    if (value == -1 && PyErr_Occurred()) return false;
    if (overflow != 0 || value < INT32_MIN || value > INT32_MAX) {
        raise(PyExc_OverflowError, "value too large to convert to int");
        return false;
    }
    out = int32_t(value);
    return true;
}

bool toInt32(PyObject* object, int32_t& out) {
    if (PyLong_Check(object)) return longToInt32(object, out);
    PyNumberMethods* number = Py_TYPE(object)->tp_as_number;
    if (!number || !number->nb_int) {
        raise(PyExc_TypeError, "an integer is required");
        return false;
    }
    Ref converted(number->nb_int(object));
    if (!converted) return false;
    if (!PyLong_Check(converted.get())) {
        PyErr_Format(PyExc_TypeError, "__%.4s__ returned non-%.4s (type %.200s)", "int", "int",
                     Py_TYPE(converted.get())->tp_name);
        return false;
    }
    return longToInt32(converted.get(), out);
}

bool toDouble(PyObject* object, double& out) {
    if (PyFloat_CheckExact(object)) {
        out = PyFloat_AS_DOUBLE(object);
        return true;
    }
    double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) return false;
    out = value;
    return true;
}

bool toFlag(PyObject* object, bool& out) {
    int truth = object == Py_True ? 1 : object == Py_False || object == Py_None ? 0
                                                                               : PyObject_IsTrue(object);
    if (truth < 0) return false;
    out = truth != 0;
    return true;
}

bool checkArgument(PyObject* object, PyTypeObject* type, const char* argumentName, bool allowNone) {
    if ((allowNone && object == Py_None) || PyObject_TypeCheck(object, type)) return true;
    argumentTypeError(argumentName, type, object);
    return false;
}

Utf8::Utf8(PyObject* text) {
    Ref encoded(PyObject_CallMethod(text, "encode", "s", "utf-8"));
    if (!encoded) return;
    if (!PyBytes_Check(encoded.get())) {
        PyErr_Format(PyExc_TypeError, "encode() returned %.200s, not bytes",
                     Py_TYPE(encoded.get())->tp_name);
        return;
    }
    bytes_ = std::move(encoded);
}

} // namespace py
