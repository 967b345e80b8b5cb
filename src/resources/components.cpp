#include "resources/components.hpp"

#include "py/doc.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

namespace {

// The decorator is a Python function, so it names itself as a nested function does.
// The factory that makes it is kept here, out of the module namespace.
const char registrySource[] = R"PY(
def _makeInnerComponent(name):
    def innerComponent(cls):
        """Registers a class as a component type"""
        if type(name) is not str:
            raise TypeError("component name must be a string")
        if type(cls) is not type:
            raise TypeError("component type must be a class")
        _COMPONENTS[name] = cls
        _COMPONENTS[cls] = name
        return cls

    innerComponent.__qualname__ = "component.<locals>.innerComponent"
    return innerComponent


class DummyComponent(object):
    pass


DummyComponent.__doc__ = """This component type is used for component types
    in a level that can't be mapped.
    """
)PY";

PyObject* makeInnerComponent = nullptr; // kept for the life of the process

PyObject* component(PyObject*, PyObject* name) {
    return PyObject_CallOneArg(makeInnerComponent, name);
}

PyMethodDef componentDef = py::oneArg<"component", component, "name">(
    py::functionDoc<"@param(name, str)",
                    "Registers a class as a component type. The name is the key string used",
                    "inside the JSON level files.">);

} // namespace

static bool componentsStatements() {
    if (!py::bind("_COMPONENTS", py::Ref(PyDict_New())) ||
        !py::bind("component", py::moduleFunction(&componentDef)) ||
        !py::runSource(registrySource, "components"))
        return false;
    PyObject* factory = PyDict_GetItemString(py::moduleDict(), "_makeInnerComponent");
    if (!factory) return false;
    Py_XSETREF(makeInnerComponent, py::newRef(factory));
    return PyDict_DelItemString(py::moduleDict(), "_makeInnerComponent") == 0;
}

const py::Segment componentsSegment{componentsStatements};
