// The documentation of a class's own slot wrapper (`Cls.__init__`). The host makes one
// description per slot for every class, text included; the host offers no way to give
// one class's wrapper a text of its own but to give it its own description.
#pragma once

#include <Python.h>

namespace py {

// Gives the wrapper of slot `name` in `type`'s own dictionary the text `doc` (kept by
// the caller for the life of the class). Does nothing when the class has no wrapper of
// its own there (a Python function, or the base's).
bool setSlotWrapperDoc(PyTypeObject* type, const char* name, const char* doc);

} // namespace py
