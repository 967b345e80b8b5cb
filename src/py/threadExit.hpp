// When the interpreter exits, the host ends each daemon thread that still runs Python
// code the moment it waits for the interpreter lock again: up to 3.13 with a forced
// unwind (pthread_exit) that starts inside the host, without the lock, and runs the
// destructors of every engine frame on the thread's stack on its way out. The exception
// boundaries let it pass (py::atBoundary); the destructors that would touch a Python
// object or the thread's error state ask py::mayTouchObjects() first, and leave it alone
// on such a thread: the process is ending, and the object is kept rather than released
// by a thread the interpreter no longer serves (3.12 and 3.13 crash on it, 3.11 races
// the exiting thread).
#pragma once

#include <Python.h>

#include <atomic>

namespace py {

namespace threadExit {
// Set once the interpreter begins to exit (its atexit hooks run before it stops threads),
// so that until then a release costs one load more than a plain one.
inline std::atomic<bool> hostExiting{false};
} // namespace threadExit

// Whether this thread holds its thread state now, as it does whenever it runs Python
// code; false on a thread that the host is ending.
bool threadAttached() noexcept;

inline bool mayTouchObjects() noexcept {
    return !threadExit::hostExiting.load(std::memory_order_acquire) || threadAttached();
}

} // namespace py
