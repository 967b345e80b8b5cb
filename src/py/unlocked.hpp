// Work that may wait on a file, a pipe or a device runs without the interpreter lock,
// so that the wait stalls no other Python thread, and a thread that the work waits for
// (the writer of a pipe, say) can run:
//   OwnedSurface image = py::withoutLock([&] { return loadImageSurface(name); });
// The work touches no Python object and no engine state that Python code may change:
// it works on what the caller handed it (the bytes of a file name, which the caller
// holds) and hands back what it made, which the caller installs once the lock is back.
// When the interpreter is exiting, taking the lock back ends a daemon thread with a
// forced unwind (py/threadExit.hpp), which passes through here: nothing on its way is
// noexcept.
#pragma once

#include <Python.h>

#include <exception>
#include <type_traits>

namespace py {

template <class Work> auto withoutLock(Work&& work) -> decltype(work()) {
    PyThreadState* thread = PyEval_SaveThread();
    bool locked = false;
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            locked = true;
            PyEval_RestoreThread(thread);
        } else {
            auto result = work();
            locked = true;
            PyEval_RestoreThread(thread);
            return result;
        }
    } catch (...) {
        // The work failed (memory): the lock comes back before the exception goes on.
        if (!locked) PyEval_RestoreThread(thread);
        throw;
    }
}

} // namespace py
