#include "py/convert.hpp"

#include "py/errors.hpp"

#include <algorithm>
#include <climits>
#include <limits>
#include <vector>

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

// The object as a Python int: itself, or the result of its __int__.
static Ref toLong(PyObject* object) {
    if (PyLong_Check(object)) return Ref::borrow(object);
    PyNumberMethods* number = Py_TYPE(object)->tp_as_number;
    if (!number || !number->nb_int) {
        raise(PyExc_TypeError, "an integer is required");
        return Ref();
    }
    Ref converted(number->nb_int(object));
    if (converted && !PyLong_Check(converted.get())) {
        PyErr_Format(PyExc_TypeError, "__%.4s__ returned non-%.4s (type %.200s)", "int", "int",
                     Py_TYPE(converted.get())->tp_name);
        return Ref();
    }
    return converted;
}

bool toInt32(PyObject* object, int32_t& out) {
    Ref number = toLong(object);
    return number && longToInt32(number.get(), out);
}

template <class Unsigned>
static bool toUnsigned(PyObject* object, Unsigned& out, const char* typeName) {
    Ref number = toLong(object);
    if (!number) return false;
    int overflow = 0;
    long long value = PyLong_AsLongLongAndOverflow(number.get(), &overflow);
    if (value == -1 && PyErr_Occurred()) return false;
    if (overflow < 0 || value < 0) {
        PyErr_Format(PyExc_OverflowError, "can't convert negative value to %s", typeName);
        return false;
    }
    if (overflow > 0 || (unsigned long long)value > std::numeric_limits<Unsigned>::max()) {
        PyErr_Format(PyExc_OverflowError, "value too large to convert to %s", typeName);
        return false;
    }
    out = Unsigned(value);
    return true;
}

bool toUint8(PyObject* object, uint8_t& out) {
    return toUnsigned(object, out, "uint8_t");
}
bool toUint32(PyObject* object, uint32_t& out) {
    return toUnsigned(object, out, "uint32_t");
}
bool toUint32(PyObject* object, uint32_t& out, const char* typeName) {
    return toUnsigned(object, out, typeName);
}

bool toInt64(PyObject* object, int64_t& out) {
    Ref number = toLong(object);
    if (!number) return false;
    long long value = PyLong_AsLongLong(number.get());
    if (value == -1 && PyErr_Occurred()) return false;
    out = int64_t(value);
    return true;
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
    int truth = object == Py_True                         ? 1
                : object == Py_False || object == Py_None ? 0
                                                          : PyObject_IsTrue(object);
    if (truth < 0) return false;
    out = truth != 0;
    return true;
}

bool toDoubleArray(PyObject* iterable, double* out, Py_ssize_t length) {
    Py_ssize_t count = PyObject_Size(iterable);
    if (count < 0) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError) &&
            !PyErr_ExceptionMatches(PyExc_OverflowError))
            return false;
        PyErr_Clear();
        count = length;
    }
    std::vector<double> values(size_t(length > 0 ? length : 0));
    if (count == length) {
        Ref iterator(PyObject_GetIter(iterable));
        if (!iterator) return false;
        // The last index reached, as the count once the items end: an iterable that yields
        // nothing though its length said otherwise keeps the count it reported, plus one.
        Py_ssize_t index = count;
        bool overran = false;
        for (Py_ssize_t i = 0;; ++i) {
            Ref item(PyIter_Next(iterator.get()));
            if (!item) {
                if (PyErr_Occurred()) return false;
                break;
            }
            index = i;
            if (i >= length) {
                overran = true;
                break;
            }
            if (!toDouble(item.get(), values[size_t(i)])) return false;
        }
        if (!overran && index + 1 == length) {
            std::copy(values.begin(), values.end(), out);
            return true;
        }
        count = overran ? index : index + 1;
    }
    if (count >= length)
        PyErr_Format(PyExc_IndexError,
                     "too many values found during array assignment, expected %zd", length);
    else
        PyErr_Format(PyExc_IndexError,
                     "not enough values found during array assignment, expected %zd, got %zd",
                     length, count);
    return false;
}

bool unpackExactly(PyObject* iterable, Ref* items, Py_ssize_t count) {
    Ref iterator(PyObject_GetIter(iterable));
    if (!iterator) return false;
    for (Py_ssize_t got = 0; got < count; ++got) {
        items[got] = Ref(PyIter_Next(iterator.get()));
        if (items[got]) continue;
        if (!PyErr_Occurred())
            PyErr_Format(PyExc_ValueError, "need more than %zd value%.1s to unpack", got,
                         got == 1 ? "" : "s");
        return false;
    }
    Ref extra(PyIter_Next(iterator.get()));
    if (extra) {
        PyErr_Format(PyExc_ValueError, "too many values to unpack (expected %zd)", count);
        return false;
    }
    return !PyErr_Occurred();
}

bool unpackPair(PyObject* iterable, Ref& first, Ref& second) {
    Ref items[2];
    if (!unpackExactly(iterable, items, 2)) return false;
    first = std::move(items[0]);
    second = std::move(items[1]);
    return true;
}

bool toInt32Pair(PyObject* iterable, int32_t& first, int32_t& second) {
    Ref a, b;
    return unpackPair(iterable, a, b) && toInt32(a.get(), first) && toInt32(b.get(), second);
}

bool checkArgument(PyObject* object, PyTypeObject* type, const char* argumentName, bool allowNone) {
    if ((allowNone && object == Py_None) || PyObject_TypeCheck(object, type)) return true;
    argumentTypeError(argumentName, type, object);
    return false;
}

Utf8::Utf8(PyObject* text) : Utf8(text, nullptr, nullptr) {}

Utf8::Utf8(PyObject* text, PyObject* encoding, PyObject* errors) {
    Ref encoded(encoding ? PyObject_CallMethod(text, "encode", "OO", encoding, errors)
                         : PyObject_CallMethod(text, "encode", "s", "utf-8"));
    if (!encoded) return;
    if (PyByteArray_Check(encoded.get())) { // kept as bytes, which cannot change under us
        encoded = Ref(PyBytes_FromStringAndSize(PyByteArray_AS_STRING(encoded.get()),
                                                PyByteArray_GET_SIZE(encoded.get())));
        if (!encoded) return;
    }
    if (!PyBytes_Check(encoded.get())) {
        PyErr_Format(PyExc_TypeError, "encode() returned %.200s, not bytes",
                     Py_TYPE(encoded.get())->tp_name);
        return;
    }
    bytes_ = std::move(encoded);
}

// sys.<function>(), the file system's encoding or its error handler.
static Ref fileSystemSetting(const char* function) {
    Ref ask = Ref::borrow(PySys_GetObject(function));
    if (!ask) {
        PyErr_Format(PyExc_RuntimeError, "lost sys.%s", function);
        return ask;
    }
    return Ref(PyObject_CallNoArgs(ask.get()));
}

Utf8 FileName::encode(PyObject* name) {
    Ref encoding = fileSystemSetting("getfilesystemencoding");
    Ref errors = encoding ? fileSystemSetting("getfilesystemencodeerrors") : Ref();
    return errors ? Utf8(name, encoding.get(), errors.get()) : Utf8();
}

FileName::FileName(PyObject* name) : name_(encode(name)) {
    if (name_ && name_.view().find('\0') != std::string_view::npos) {
        name_ = Utf8();
        raise(PyExc_ValueError, "embedded null character in file name");
    }
}

} // namespace py
