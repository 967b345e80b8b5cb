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

// Makes `call` (the errno value of a system call that may wait, 0 for success: an
// opening of a pipe waits for its other end) without the interpreter lock. A call that
// a signal interrupts is made again once the signal's Python handlers have run, as the
// host's open() does; -1 when a handler raised.
template <class Call> int waitForSystem(Call&& call) {
    for (;;) {
        int error = py::withoutLock(call);
        if (error != EINTR) return error;
        if (PyErr_CheckSignals() < 0) return -1;
    }
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
    int error = waitForSystem([&] {
        fd_ = ::open(bytes, O_RDONLY | O_CLOEXEC);
        return fd_ < 0 ? errno : 0;
    });
    return error == 0 || (error > 0 && systemError(path, error));
}

// An interrupted read is made again at once: the bytes go on where they stopped.
size_t CellReader::read(uint8_t* bytes, size_t size) {
    int error = 0;
    size_t got = py::withoutLock([&] {
        size_t done = 0;
        while (done < size) {
            ssize_t count = ::read(fd_, bytes + done, std::min(size - done, largestTransfer));
            if (count == 0) break; // the file ends here
            if (count > 0) {
                done += size_t(count);
            } else if (errno != EINTR) {
                error = errno;
                break;
            }
        }
        return done;
    });
    if (error) {
        systemError(path_.get(), error);
        return failedRead;
    }
    return got;
}

bool FileWriter::succeeded(int error) {
    return error == 0 || systemError(path_.get(), error);
}

bool FileWriter::open(PyObject* path) {
    py::Ref name;
    if (!systemPath(path, name)) return false;
    path_ = py::Ref::borrow(path);
    const char* bytes = PyBytes_AS_STRING(name.get());
    int error = waitForSystem([&] { return file_.open(bytes); });
    return error >= 0 && succeeded(error);
}

bool FileWriter::write(const void* bytes, size_t size) {
    return succeeded(py::withoutLock([&] { return file_.write(bytes, size); }));
}

bool FileWriter::finish() {
    return succeeded(py::withoutLock([&] { return file_.finish(); }));
}

bool FileWriter::commit() {
    return succeeded(py::withoutLock([&] { return file_.commit(); }));
}

} // namespace levelFile
