// The version tag of a dict: the host gives every dict a new tag from one counter when it
// is made and whenever its contents change, so a dict found at the same address with the
// same tag is the same dict with the same contents. Code that remembers what it read
// from a dict tells with it, without reading the dict again, that nothing changed.
#pragma once

#include <Python.h>

#include <cstdint>

namespace py {

// The tag of `dict` (exactly a dict), or false where the host keeps none.
inline bool dictVersion(PyObject* dict, uint64_t& version) {
#if PY_VERSION_HEX < 0x030C0000
    version = reinterpret_cast<PyDictObject*>(dict)->ma_version_tag;
    return true;
#else
    (void)dict; // deprecated from 3.12 on: what was read is read again
    version = 0;
    return false;
#endif
}

} // namespace py
