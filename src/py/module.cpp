#include "py/module.hpp"

#include <string>

namespace py {

namespace {

PyObject* theModuleDict = nullptr; // borrowed from the module, which lives until exit
const char* theModuleName = "";

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

Ref moduleGlobal(Name& name) {
    PyObject* key = name.get();
    if (!key) return Ref();
    PyObject* value = theModuleDict ? PyDict_GetItemWithError(theModuleDict, key) : nullptr;
    if (!value && !PyErr_Occurred()) PyErr_Format(PyExc_NameError, "name '%U' is not defined", key);
    return Ref::borrow(value);
}

Ref builtin(const char* name) {
    return lookUp(PyEval_GetBuiltins(), name);
}

bool print(PyObject* value) {
    Ref function = builtin("print");
    return function && Ref(PyObject_CallOneArg(function.get(), value));
}

bool print(const char* text) {
    Ref line(PyUnicode_FromString(text));
    return line && print(line.get());
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
    Ref name(PyUnicode_FromString(moduleName()));
    if (!name) return Ref();
    return Ref(PyCFunction_NewEx(definition, nullptr, name.get()));
}

const char* moduleName() noexcept {
    return theModuleName;
}

void setModuleName(const char* name) noexcept {
    theModuleName = name;
}

} // namespace py
