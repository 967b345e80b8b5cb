// The engine's argument and field conversions, with the messages game code sees.
#pragma once

#include "py/ref.hpp"

#include <cstdint>
#include <string_view>

namespace py {

// An int or bool as it is; anything else through its __int__ (a float is
// truncated). Not PyNumber_Long: that would accept the text "97".
bool toInt32(PyObject* object, int32_t& out);
// Unsigned values by the same rules: "can't convert negative value to uint8_t",
// "value too large to convert to uint8_t" (and the same for uint32_t).
bool toUint8(PyObject* object, uint8_t& out);
bool toUint32(PyObject* object, uint32_t& out);
// The same for an unsigned 32-bit value that the messages call `typeName` (an
// enumeration of the engine).
bool toUint32(PyObject* object, uint32_t& out, const char* typeName);
// A signed 64-bit integer by the same rules; the host's OverflowError outside its range.
bool toInt64(PyObject* object, int64_t& out);
// A float, an int or anything with a float conversion.
bool toDouble(PyObject* object, double& out);
// Any object by its truth value.
bool toFlag(PyObject* object, bool& out);
// Exactly `length` numbers from an iterable into `out` (left unchanged on failure):
// IndexError "not enough values found during array assignment, expected N, got n" or
// "too many values found during array assignment, expected N". The length is asked first
// (an object without one is iterated all the same) and decides which message applies.
bool toDoubleArray(PyObject* iterable, double* out, Py_ssize_t length);

// Unpacks any iterable of exactly `count` items into `items`, with the engine's
// ValueError messages for too few or too many; at most count + 1 items are taken.
bool unpackExactly(PyObject* iterable, Ref* items, Py_ssize_t count);
// The same for two items (a size, a position).
bool unpackPair(PyObject* iterable, Ref& first, Ref& second);
// Both items of a pair as 32-bit integers.
bool toInt32Pair(PyObject* iterable, int32_t& first, int32_t& second);

// An instance of `type` or of a subclass (or None when allowed); otherwise the
// "Argument ... has incorrect type" TypeError.
bool checkArgument(PyObject* object, PyTypeObject* type, const char* argumentName,
                   bool allowNone = false);

// Texts go to SDL as the result of their encode("utf-8"): objects without
// encode (bytes included) raise AttributeError, as does anything else that is
// not text. A bytearray result is taken as its bytes. The holder keeps them alive.
class Utf8 {
  public:
    explicit Utf8(PyObject* text);
    explicit operator bool() const noexcept { return bool(bytes_); }
    const char* c_str() const noexcept { return PyBytes_AS_STRING(bytes_.get()); }
    std::string_view view() const noexcept {
        return {PyBytes_AS_STRING(bytes_.get()), size_t(PyBytes_GET_SIZE(bytes_.get()))};
    }

  private:
    friend class FileName;
    Utf8() = default; // a failed conversion
    Utf8(PyObject* text, PyObject* encoding, PyObject* errors);
    Ref bytes_;
};

// A file name for the system, made as the host's open() makes it of a str (os.fsencode):
// the name's encode() with the file system's encoding and error handler, so that a name
// that os.listdir() gave (undecodable bytes as surrogates) names the same file here as
// in open(). Objects without encode (bytes included) raise AttributeError, as texts do;
// a name with a NUL, which would cut it short and open another file than the one named,
// raises ValueError "embedded null character in file name". The holder keeps the bytes
// alive, and they cannot change: they may be read without the interpreter lock.
class FileName {
  public:
    explicit FileName(PyObject* name);
    // Null when the conversion failed (the error is set).
    const char* c_str() const noexcept { return name_ ? name_.c_str() : nullptr; }

  private:
    static Utf8 encode(PyObject* name);
    Utf8 name_;
};

// Values handed back to Python.
inline PyObject* toPython(int32_t value) {
    return PyLong_FromLong(value);
}
inline PyObject* toPython(int64_t value) {
    return PyLong_FromLongLong(value);
}
inline PyObject* toPython(double value) {
    return PyFloat_FromDouble(value);
}
inline PyObject* toPython(bool value) {
    return PyBool_FromLong(value);
}
inline PyObject* toPython(PyObject* value) {
    return newRef(value ? value : Py_None);
}
// A size, a position: (first, second).
inline PyObject* intPair(int first, int second) {
    return Py_BuildValue("(ii)", first, second);
}

} // namespace py
