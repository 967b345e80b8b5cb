#include "py/dictVersion.hpp"

#if PY_VERSION_HEX >= 0x030C0000

namespace py {

uint64_t watchedDictChanges = 1; // their freeing included; under the GIL

namespace {

int watcher = -1;       // the engine's dict watcher, once added
bool noWatcher = false; // the host had none left

int counted(PyDict_WatchEvent, PyObject*, PyObject*, PyObject*) {
    ++watchedDictChanges;
    return 0;
}

} // namespace

bool dictVersion(PyObject* dict, uint64_t& version) {
    if (watcher < 0) {
        if (noWatcher) return false;
        watcher = PyDict_AddWatcher(counted);
        if (watcher < 0) {
            PyErr_Clear();
            noWatcher = true;
            return false;
        }
    }
    if (PyDict_Watch(watcher, dict) < 0) {
        PyErr_Clear();
        return false;
    }
    version = watchedDictChanges;
    return true;
}

} // namespace py

#endif
