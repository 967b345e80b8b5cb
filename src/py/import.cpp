#include "py/import.hpp"

#include "py/changes.hpp"
#include "py/errors.hpp"
#include "py/guard.hpp"
#include "py/module.hpp"
#include "py/threadExit.hpp"

#include <atomic>
#include <exception>
#include <string>

namespace py {

namespace {

const ModuleSpec* theSpec = nullptr;
PyObject* theModule = nullptr; // the one module of this process, once imported
// The interpreter that imported the module first. Interpreters with a lock of their own
// may import at the same moment, so the first one is chosen in one atomic step.
std::atomic<int64_t> theInterpreter{-1};

PyObject* noteExit(PyObject*, PyObject*) {
    threadExit::hostExiting.store(true, std::memory_order_release);
    Py_RETURN_NONE;
}

PyMethodDef noteExitDef = {"_noteExit", noteExit, METH_NOARGS, nullptr};

// Has the interpreter tell the engine when it begins to exit (py/threadExit.hpp).
bool watchHostExit() {
    static bool watching = false; // an import that failed later has registered it already
    if (watching) return true;
    Ref atexit(PyImport_ImportModule("atexit"));
    Ref hook(atexit ? PyCFunction_New(&noteExitDef, nullptr) : nullptr);
    watching = hook && Ref(PyObject_CallMethod(atexit.get(), "register", "O", hook.get()));
    return watching;
}

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
    for (const Segment* segment : theSpec->segments) {
        if (!segment->run()) {
            traceImportFailure(segment->defined.file_name(), int(segment->defined.line()));
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

const Segment changesSegment{changes::installAuditHook};

bool bindUnpickleFunctions() {
    for (ClassDefinition definition : theSpec->classes) {
        const ClassDef& def = definition();
        if (def.definition.checksum && !bindUnpickleFunction(def)) return false;
    }
    return true;
}

PyModuleDef* moduleDefinition(const ModuleSpec& spec) {
    theSpec = &spec;
    setModuleName(spec.name);
    theDefinition.m_name = spec.name;
    return &theDefinition;
}

} // namespace py
