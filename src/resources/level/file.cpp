#include "resources/level/file.hpp"

#include "py/call.hpp"
#include "py/errors.hpp"
#include "py/module.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace levelFile {

namespace {

py::Name nRead("read");
py::Name nClose("close");

// open(path, mode, encoding="utf-8")
py::Ref openText(PyObject* path, const char* mode) {
    py::Ref open = py::builtin("open");
    py::Ref args(open ? Py_BuildValue("(Os)", path, mode) : nullptr);
    py::Ref keywords(args ? Py_BuildValue("{ss}", "encoding", "utf-8") : nullptr);
    return py::Ref(keywords ? PyObject_Call(open.get(), args.get(), keywords.get()) : nullptr);
}

// Closes `file` on every path; an error of the work done with it comes first.
bool closeAfter(PyObject* file, bool done) {
    if (!done) {
        py::PendingError first;
        py::Ref closed = py::callMethod(file, nClose);
        if (!closed) PyErr_Clear();
        return false;
    }
    return bool(py::callMethod(file, nClose));
}

// The file's path for the system, as open() converts it.
bool systemPath(PyObject* path, py::Ref& out) {
    PyObject* converted = nullptr;
    if (!PyUnicode_FSConverter(path, &converted)) return false;
    out = py::Ref(converted);
    return true;
}

bool systemError(PyObject* path) {
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path);
    return false;
}

// Whether a call interrupted by a signal may be made again: the signal's Python
// handler ran and did not raise.
bool retryAfterSignal() {
    return errno == EINTR && PyErr_CheckSignals() == 0;
}

// The system reads and writes at most about 2 GB at once.
constexpr size_t largestTransfer = size_t(1) << 30;

} // namespace

py::Ref readText(PyObject* path) {
    py::Ref file = openText(path, "r");
    if (!file) return file;
    py::Ref text = py::callMethod(file.get(), nRead);
    if (!closeAfter(file.get(), bool(text))) return py::Ref();
    return text;
}

CellReader::~CellReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool CellReader::open(PyObject* path) {
    py::Ref name;
    if (!systemPath(path, name)) return false;
    path_ = py::Ref::borrow(path);
    while ((fd_ = ::open(PyBytes_AS_STRING(name.get()), O_RDONLY | O_CLOEXEC)) < 0)
        if (!retryAfterSignal()) return PyErr_Occurred() ? false : systemError(path);
    return true;
}

// An interrupted read or write is made again at once, without running the Python
// signal handlers (they run when the engine returns): a handler could free the bytes
// being transferred.
size_t CellReader::read(uint8_t* bytes, size_t size) {
    size_t got = 0;
    while (got < size) {
        ssize_t count = ::read(fd_, bytes + got, std::min(size - got, largestTransfer));
        if (count == 0) break; // the file ends here
        if (count > 0) {
            got += size_t(count);
        } else if (errno != EINTR) {
            systemError(path_.get());
            return failedRead;
        }
    }
    return got;
}

bool FileWriter::succeeded(int error) {
    if (error) {
        errno = error;
        return systemError(path_.get());
    }
    return true;
}

bool FileWriter::open(PyObject* path) {
    py::Ref name;
    if (!systemPath(path, name)) return false;
    path_ = py::Ref::borrow(path);
    int error;
    while ((error = file_.open(PyBytes_AS_STRING(name.get()))) == EINTR) {
        errno = error;
        if (!retryAfterSignal()) return false;
    }
    return succeeded(error);
}

bool FileWriter::write(const void* bytes, size_t size) {
    return succeeded(file_.write(bytes, size));
}

bool FileWriter::finish() {
    return succeeded(file_.finish());
}

bool FileWriter::commit() {
    return succeeded(file_.commit());
}

} // namespace levelFile
