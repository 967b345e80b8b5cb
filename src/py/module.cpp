#include "py/module.hpp"

#include "py/errors.hpp"
#include "py/guard.hpp"
#include "py/threadExit.hpp"

#include <atomic>
#include <exception>
#include <string>

namespace py {

namespace {

PyObject* theModuleDict = nullptr; // borrowed from the module, which lives until exit
const ModuleSpec* theSpec = nullptr;

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

// --- the import ---------------------------------------------------------------------------

namespace {

PyObject* theModule = nullptr; // the one module of this process, once imported
// The interpreter that imported the module first. Interpreters with a lock of their own
// may import at the same moment, so the first one is chosen in one atomic step.
std::atomic<int64_t> theInterpreter{-1};

void traceImportFailure(const char* file, int line) {
    addTraceback((std::string("init ") + theSpec->name).c_str(), file, line);
}

bool initialise(PyObject* module) {
    if (!watchHostExit()) {
        traceImportFailure(__FILE__, __LINE__);
        return false;
    }
    for (ClassDefinition definition : theSpec->classes) {
        ClassDef& def = definition();
        if (!registerClass(module, def)) {
            traceImportFailure(def.declared.file_name(), int(def.declared.line()));
            return false;
        }
    }
    for (const Segment& segment : theSpec->segments) {
        if (segment.run && !segment.run()) {
            traceImportFailure(segment.source, 1);
            return false;
        }
    }
    return true;
}

// Copies an attribute of the import spec into the module namespace.
bool copySpecAttribute(PyObject* spec, PyObject* dict, const char* from, const char* to,
                       bool allowNone) {
    Ref value(PyObject_GetAttrString(spec, from));
    if (!value) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        return true;
    }
    return (!allowNone && value.get() == Py_None) ||
           PyDict_SetItemString(dict, to, value.get()) == 0;
}

PyObject* createModule(PyObject* spec, PyModuleDef*) {
    int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
    int64_t first = -1;
    if (!theInterpreter.compare_exchange_strong(first, interpreter) && first != interpreter)
        return raise(PyExc_ImportError, "Interpreter change detected - this module can only be "
                                        "loaded into one interpreter per process.");
    if (theModule) return newRef(theModule);
    Ref name(PyObject_GetAttrString(spec, "name"));
    Ref module(name ? PyModule_NewObject(name.get()) : nullptr);
    if (!module) return nullptr;
    PyObject* dict = PyModule_GetDict(module.get());
    if (!copySpecAttribute(spec, dict, "loader", "__loader__", true) ||
        !copySpecAttribute(spec, dict, "origin", "__file__", true) ||
        !copySpecAttribute(spec, dict, "parent", "__package__", true) ||
        !copySpecAttribute(spec, dict, "submodule_search_locations", "__path__", false))
        return nullptr;
    return module.release();
}

int execModule(PyObject* module) {
    if (theModule) {
        if (theModule == module) return 0;
        PyErr_Format(PyExc_RuntimeError,
                     "Module '%s' has already been imported. Re-initialisation is not supported.",
                     theSpec->name);
        return -1;
    }
    setModule(module);
    bool done = atBoundary([&] { return initialise(module); });
    if (!done) {
        setModule(nullptr);
        return -1;
    }
    theModule = newRef(module); // kept for the life of the process
    return 0;
}

PyMethodDef noMethods[] = {{}};

PyModuleDef_Slot moduleSlots[] = {
    {Py_mod_create, reinterpret_cast<void*>(createModule)},
    {Py_mod_exec, reinterpret_cast<void*>(execModule)},
#ifdef Py_mod_multiple_interpreters
    // The create slot itself refuses every interpreter but the first, with the engine's
    // own message; declaring no support would have the host refuse some of them first,
    // with its message. So the module never runs in two interpreters, whatever their lock.
    {Py_mod_multiple_interpreters, Py_MOD_PER_INTERPRETER_GIL_SUPPORTED},
#endif
    {0, nullptr},
};

PyModuleDef theDefinition = {
    PyModuleDef_HEAD_INIT, nullptr, nullptr, 0, noMethods, moduleSlots, nullptr, nullptr, nullptr,
};

} // namespace

bool bindUnpickleFunctions() {
    for (ClassDefinition definition : theSpec->classes) {
        const ClassDef& def = definition();
        if (def.definition.checksum && !bindUnpickleFunction(def)) return false;
    }
    return true;
}

const char* moduleName() noexcept {
    return theSpec ? theSpec->name : "";
}

PyModuleDef* moduleDefinition(const ModuleSpec& spec) {
    theSpec = &spec;
    theDefinition.m_name = spec.name;
    return &theDefinition;
}

} // namespace py
