// Resource: the base of every file-backed asset. It only remembers the file name
// the asset was made from; the subclasses load in their constructors.
#include "resources.hpp"

#include "py/args.hpp"

static int Resource_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[1];
    if (!py::parseArgs("__init__", {"filename"}, args, kwargs, a)) return -1;
    py::assign(reinterpret_cast<Resource*>(self)->filename, a[0]);
    return 0;
}

static PyGetSetDef resourceProperties[] = {
    py::readonly<&Resource::filename>("filename"),
    py::readwrite<&Resource::filename>("_filename"),
    {},
};

static PyType_Slot resourceSlots[] = {
    {Py_tp_doc,
     const_cast<char*>("\n    The abstract base class for all kinds of resoruces.\n    ")},
    {Py_tp_init, reinterpret_cast<void*>(Resource_init)},
    {Py_tp_getset, resourceProperties},
    {0, nullptr},
};

static const py::Field resourceFields[] = {py::field<&Resource::filename>("_filename")};

py::ClassDef& resourceClass() {
    return py::define<Resource>("Resource", {.slots = resourceSlots, .fields = resourceFields});
}
