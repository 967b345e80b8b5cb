#include "py/errors.hpp"

#include "py/call.hpp"
#include "py/module.hpp"
#include "py/ref.hpp"

#include <frameobject.h>

#include <string_view>

namespace py {

Failure raise(PyObject* exceptionType, const char* message) {
    PyErr_SetString(exceptionType, message);
    return failed;
}

Failure argumentTypeError(const char* argumentName, PyTypeObject* expected, PyObject* given) {
    PyErr_Format(PyExc_TypeError,
                 "Argument '%.200s' has incorrect type (expected %.200s, got %.200s)", argumentName,
                 expected->tp_name, Py_TYPE(given)->tp_name);
    return failed;
}

Failure deleteRefused() {
    return raise(PyExc_NotImplementedError, "__del__");
}

Failure cannotConvert(PyObject* value, PyTypeObject* type) {
    PyErr_Format(PyExc_TypeError, "Cannot convert %.200s to %.200s", Py_TYPE(value)->tp_name,
                 type->tp_name);
    return failed;
}

Failure expectedType(const char* expected, PyObject* given) {
    PyErr_Format(PyExc_TypeError, "Expected %.16s, got %.200s", expected, Py_TYPE(given)->tp_name);
    return failed;
}

Failure noAttribute(PyObject* object, const char* name) {
    PyErr_Format(PyExc_AttributeError, "'%.50s' object has no attribute '%.400s'",
                 Py_TYPE(object)->tp_name, name);
    return failed;
}

Failure fileError(const char* format, PyObject* name) {
    return fileError(format, name, nullptr);
}

Failure fileError(const char* format, PyObject* name, const char* reason) {
    Ref text(PyUnicode_FromString(format));
    Ref arguments(text ? PyTuple_Pack(1, name) : nullptr);
    Ref message(arguments ? PyUnicode_Format(text.get(), arguments.get()) : nullptr);
    if (message && reason) {
        Ref bytes(PyBytes_FromString(reason));
        message = Ref(bytes ? PyUnicode_FromFormat("%U: %S", message.get(), bytes.get()) : nullptr);
    }
    if (message) PyErr_SetObject(PyExc_OSError, message.get());
    return failed;
}

Failure addNote(const std::string& note) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    static Name addNoteName("add_note");
    Ref text(value ? PyUnicode_FromStringAndSize(note.data(), Py_ssize_t(note.size())) : nullptr);
    Ref added = text ? callMethod(value, addNoteName, text.get()) : Ref();
    if (!added) PyErr_Clear();
    PyErr_Restore(type, value, traceback);
    return failed;
}

static Failure raiseModuleException(const char* className, const char* message) {
    Ref type = moduleGlobal(className);
    if (!type) return failed;
    Ref instance(PyObject_CallFunction(type.get(), "s", message));
    if (!instance) return failed;
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.get())), instance.get());
    return failed;
}

Failure engineException(const char* message) {
    return raiseModuleException("EngineException", message);
}

Failure engineSdlException(const char* message) {
    return raiseModuleException("EngineSdlException", message);
}

Failure levelFormatException(PyObject* filename, PyObject* message) {
    if (!message) return failed;
    Ref type = moduleGlobal("LevelFormatException");
    Ref instance(type ? PyObject_CallFunctionObjArgs(type.get(), filename, message, nullptr)
                      : nullptr);
    if (instance)
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.get())), instance.get());
    return failed;
}

void addTraceback(const char* function, const char* file, int line) {
    std::string_view path(file);
    size_t source = path.rfind("src/");
    const char* shown = source == std::string_view::npos ? file : file + source;
    // A frame of an empty code object that starts at the line, entered in the pending
    // exception's traceback. Making it may run Python code (a file-system codec), which
    // must not see the pending exception; if it fails, the first error is kept unchanged.
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    Ref globals(PyDict_New());
    Ref code(globals ? reinterpret_cast<PyObject*>(PyCode_NewEmpty(shown, function, line))
                     : nullptr);
    Ref frame(code ? reinterpret_cast<PyObject*>(PyFrame_New(
                         PyThreadState_Get(), reinterpret_cast<PyCodeObject*>(code.get()),
                         globals.get(), nullptr))
                   : nullptr);
    PyErr_Clear();
    PyErr_Restore(type, value, traceback);
    // On failure the host chains its MemoryError to the pending error.
    if (frame) PyTraceBack_Here(reinterpret_cast<PyFrameObject*>(frame.get()));
}

void printUnraisable(const char* where) {
    Ref context(PyUnicode_FromString(where));
    PyErr_WriteUnraisable(context.get());
}

} // namespace py
