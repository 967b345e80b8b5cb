#include "py/slotWrapper.hpp"

// The wrapper's description is reached through the descriptor's layout (d_base), which
// the host's headers show but no function reads or sets. Checked on 3.11 to 3.13.
#if PY_VERSION_HEX >= 0x030E0000
#error "check the slot wrapper's layout (cpython/descrobject.h) on this host"
#endif

namespace py {

bool setSlotWrapperDoc(PyTypeObject* type, const char* name, const char* doc) {
    PyObject* wrapper = PyDict_GetItemString(type->tp_dict, name);
    if (!wrapper || Py_TYPE(wrapper) != &PyWrapperDescr_Type) return !PyErr_Occurred();
    auto* descriptor = reinterpret_cast<PyWrapperDescrObject*>(wrapper);
    if (PyDescr_TYPE(descriptor) != type) return true;
    auto* documented = new wrapperbase(*descriptor->d_base); // lives as long as the class
    documented->doc = doc;
    descriptor->d_base = documented;
    return true;
}

} // namespace py
