#include "py/textFile.hpp"

#include "py/call.hpp"
#include "py/errors.hpp"
#include "py/module.hpp"

namespace py {

namespace {

Name nRead("read");
Name nClose("close");

// open(path, "r", encoding="utf-8")
Ref openText(PyObject* path) {
    Ref open = builtin("open");
    Ref arguments(open ? Py_BuildValue("(Os)", path, "r") : nullptr);
    Ref options(arguments ? Py_BuildValue("{ss}", "encoding", "utf-8") : nullptr);
    return Ref(options ? PyObject_Call(open.get(), arguments.get(), options.get()) : nullptr);
}

// Closes `file` on every path; an error of the work done with it comes first.
bool closeAfter(PyObject* file, bool done) {
    if (!done) {
        PendingError first;
        Ref closed = callMethod(file, nClose);
        if (!closed) PyErr_Clear();
        return false;
    }
    return bool(callMethod(file, nClose));
}

} // namespace

TextFile readTextFile(PyObject* path, Py_ssize_t limit) {
    TextFile result;
    Ref file = openText(path);
    if (!file) return result;
    Ref most(PyLong_FromSsize_t(limit + 1)); // one more tells a longer file
    Ref text = most ? callMethod(file.get(), nRead, most.get()) : Ref();
    Py_ssize_t length = text && PyUnicode_Check(text.get()) ? PyUnicode_GET_LENGTH(text.get()) : 0;
    if (!closeAfter(file.get(), bool(text))) return result;
    result.tooLarge = length > limit;
    if (!result.tooLarge) result.text = std::move(text);
    return result;
}

} // namespace py
