// The version tag of a dict: the host gives every dict a new tag from one counter when it
// is made and whenever its contents change, so a dict found at the same address with the
// same tag is the same dict with the same contents. Code that remembers what it read
// from a dict tells with it, without reading the dict again, that nothing changed.
#pragma once

#include <Python.h>

#include <cstdint>

namespace py {

#if PY_VERSION_HEX < 0x030C0000
// The tag of `dict` (exactly a dict), or false where the host keeps none.
inline bool dictVersion(PyObject* dict, uint64_t& version) {
    version = reinterpret_cast<PyDictObject*>(dict)->ma_version_tag;
    return true;
}
// The tag now of a dict that dictVersion tagged before, found at the same address: equal
// to that tag only while it is the same dict, unchanged.
inline uint64_t dictVersionAgain(PyObject* dict) {
    return reinterpret_cast<PyDictObject*>(dict)->ma_version_tag;
}
#else
// From 3.12 on the host's tag is deprecated: a dict watcher counts every change of every
// dict tagged here, and its freeing, and that count serves as the tag of each of them. It
// moves whenever the dict's own tag would (and when any other watched dict changes), and
// a dict freed moves it, so a new dict at the same address never shows an old count.
// False where the host has no watcher left for the engine.
bool dictVersion(PyObject* dict, uint64_t& version);
extern uint64_t watchedDictChanges;
inline uint64_t dictVersionAgain(PyObject*) {
    return watchedDictChanges;
}
#endif

} // namespace py
