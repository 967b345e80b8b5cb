#include "py/module.hpp"

#include <string>

namespace py {

namespace {

PyObject* theModuleDict = nullptr; // borrowed from the module, which lives until exit

Ref lookUp(PyObject* namespaceDict, const char* name) {
    PyObject* value = namespaceDict ? PyDict_GetItemString(namespaceDict, name) : nullptr;
    if (!value) {
        if (!PyErr_Occurred()) PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
        return Ref();
    }
    return Ref::borrow(value);
}

} // namespace

PyObject* moduleDict() noexcept {
    return theModuleDict;
}

void setModule(PyObject* module) noexcept {
    theModuleDict = module ? PyModule_GetDict(module) : nullptr;
}

Ref moduleGlobal(const char* name) {
    return lookUp(theModuleDict, name);
}

Ref builtin(const char* name) {
    return lookUp(PyEval_GetBuiltins(), name);
}

bool bind(const char* name, Ref value) {
    return value && PyDict_SetItemString(theModuleDict, name, value.get()) == 0;
}

bool bindInt(const char* name, long value) {
    return bind(name, Ref(PyLong_FromLong(value)));
}

bool runSource(const char* source, const char* name) {
    std::string filename = std::string("<quorvelin/") + name + ">";
    Ref code(Py_CompileString(source, filename.c_str(), Py_file_input));
    Ref result(code ? PyEval_EvalCode(code.get(), theModuleDict, theModuleDict) : nullptr);
    return bool(result);
}

Ref moduleFunction(PyMethodDef* definition) {
    Ref moduleName(PyUnicode_FromString("quorvelin"));
    if (!moduleName) return Ref();
    return Ref(PyCFunction_NewEx(definition, nullptr, moduleName.get()));
}

} // namespace py
