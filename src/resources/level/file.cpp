#include "resources/level/file.hpp"

#include "py/call.hpp"
#include "py/errors.hpp"
#include "py/module.hpp"
#include "py/unlocked.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace levelFile {

namespace {

// The file's path for the system, as open() converts it.
bool systemPath(PyObject* path, py::Ref& out) {
    PyObject* converted = nullptr;
    if (!PyUnicode_FSConverter(path, &converted)) return false;
    out = py::Ref(converted);
    return true;
}

bool systemError(PyObject* path, int error) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path);
    return false;
}

// The system reads and writes at most about 2 GB at once.
constexpr size_t largestTransfer = size_t(1) << 30;

} // namespace

CellReader::~CellReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool CellReader::open(PyObject* path) {
    py::Ref name;
    if (!systemPath(path, name)) return false;
    path_ = py::Ref::borrow(path);
    const char* bytes = PyBytes_AS_STRING(name.get());
    int error = py::waitWithoutLock([&] {
        fd_ = ::open(bytes, O_RDONLY | O_CLOEXEC);
        return fd_ < 0 ? errno : 0;
    });
    return error == 0 || (error > 0 && systemError(path, error));
}

// A read that a signal interrupts goes on where it stopped once the signal's Python
// handlers have run.
size_t CellReader::read(uint8_t* bytes, size_t size) {
    size_t done = 0;
    int error = py::waitWithoutLock([&] {
        while (done < size) {
            ssize_t count = ::read(fd_, bytes + done, std::min(size - done, largestTransfer));
            if (count == 0) break; // the file ends here
            if (count < 0) return errno;
            done += size_t(count);
        }
        return 0;
    });
    if (error) {
        if (error > 0) systemError(path_.get(), error);
        return failedRead;
    }
    return done;
}

// -1: a signal's handler raised while the call waited, and its error is set.
bool FileWriter::succeeded(int error) {
    return error == 0 || (error > 0 && systemError(path_.get(), error));
}

bool FileWriter::open(PyObject* path) {
    py::Ref name;
    if (!systemPath(path, name)) return false;
    path_ = py::Ref::borrow(path);
    const char* bytes = PyBytes_AS_STRING(name.get());
    return succeeded(py::waitWithoutLock([&] { return file_.open(bytes); }));
}

bool FileWriter::write(const void* bytes, size_t size) {
    size_t written = 0;
    return succeeded(py::waitWithoutLock([&] { return file_.write(bytes, size, written); }));
}

bool FileWriter::finish() {
    return succeeded(py::withoutLock([&] { return file_.finish(); }));
}

bool FileWriter::commit() {
    return succeeded(py::withoutLock([&] { return file_.commit(); }));
}

} // namespace levelFile
