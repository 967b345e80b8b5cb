#include "py/threadExit.hpp"

namespace py {

bool threadAttached() noexcept {
#if PY_VERSION_HEX >= 0x030D0000
    return PyThreadState_GetUnchecked() != nullptr;
#elif PY_VERSION_HEX >= 0x030C0000
    // 3.13's PyThreadState_GetUnchecked under its earlier, private name: the thread's
    // own current thread state, null while it waits for the lock.
    return _PyThreadState_UncheckedGet() != nullptr;
#else
    // On 3.11 the current thread state is the process's, not the thread's: it is this
    // thread's own exactly while this thread holds the lock. The private getter is the
    // only one that does not abort when there is none.
    PyThreadState* own = PyGILState_GetThisThreadState();
    return own && own == _PyThreadState_UncheckedGet();
#endif
}

} // namespace py
