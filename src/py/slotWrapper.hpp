// The documentation of a class's own slot wrapper (`Cls.__init__`). The host makes one
// description per slot for every class, text included, and offers no way to give one
// class's wrapper a text of its own but to give it its own description.
#pragma once

#include <Python.h>

namespace py {

// Whether `type`'s own dictionary holds a slot wrapper under `name` (not a Python
// function, nor a base's wrapper), and its text. False with an error set on failure.
bool ownSlotWrapper(PyTypeObject* type, const char* name, const char*& doc);

// Gives that wrapper the text `doc`, kept by the caller for the life of the class.
bool setSlotWrapperDoc(PyTypeObject* type, const char* name, const char* doc);

} // namespace py
