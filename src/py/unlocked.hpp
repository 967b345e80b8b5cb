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

#include <cerrno>
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

// Makes `call` (a system call that may wait, giving its errno value, 0 for success)
// without the lock, again and again while a signal interrupts it (EINTR), as the
// host's own file calls do: between the attempts, with the lock, the signals' Python
// handlers run, so Ctrl-C ends a wait for a pipe's other end that never comes. -1 when
// a handler raised (KeyboardInterrupt). A call that moves data keeps its progress in
// what it captures, so that the next attempt goes on where the last one stopped.
template <class Call> int waitWithoutLock(Call&& call) {
    for (;;) {
        int error = withoutLock(call);
        if (error != EINTR) return error;
        if (PyErr_CheckSignals() < 0) return -1;
    }
}

} // namespace py
