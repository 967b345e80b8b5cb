#include "py/slotWrapper.hpp"

// The wrapper's description is reached through the descriptor's layout (d_base), which
// the host's headers show but no function reads or sets. Checked on 3.11 to 3.13.
#if PY_VERSION_HEX >= 0x030E0000
#error "check the slot wrapper's layout (cpython/descrobject.h) on this host"
#endif

namespace py {

namespace {

PyWrapperDescrObject* ownWrapper(PyTypeObject* type, const char* name) {
    PyObject* wrapper = PyDict_GetItemString(type->tp_dict, name);
    if (!wrapper || Py_TYPE(wrapper) != &PyWrapperDescr_Type) return nullptr;
    auto* descriptor = reinterpret_cast<PyWrapperDescrObject*>(wrapper);
    return PyDescr_TYPE(descriptor) == type ? descriptor : nullptr;
}

} // namespace

bool ownSlotWrapper(PyTypeObject* type, const char* name, const char*& doc) {
    PyWrapperDescrObject* descriptor = ownWrapper(type, name);
    doc = descriptor ? descriptor->d_base->doc : nullptr;
    return descriptor != nullptr;
}

bool setSlotWrapperDoc(PyTypeObject* type, const char* name, const char* doc) {
    PyWrapperDescrObject* descriptor = ownWrapper(type, name);
    if (!descriptor) return true;
    auto* documented = new wrapperbase(*descriptor->d_base); // lives as long as the class
    documented->doc = doc;
    descriptor->d_base = documented;
    return true;
}

} // namespace py
