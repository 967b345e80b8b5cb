// Declaring an engine class. A class file holds its object struct, its methods and
// properties, and one py::define<Object>(...) call; everything the engine does the
// same way for every class follows from it:
//   - allocation with zeroed fields (object fields start as None, the table of
//     virtual operations is attached), deallocation, GC traversal and clearing;
//   - the pickling pair: the field state in sorted-name order guarded by the layout
//     checksum, and the class's unpickle function; or the class's refusal;
//   - registration with its base, its __init__ documentation and publication.
//
// The object struct names its base and keeps the engine's reference to its type;
// the class file lists the fields the class adds (the base's come from the base):
//   struct KeyEvent : Event {
//       int32_t key;
//       using Base = Event;
//       static inline PyTypeObject* type = nullptr;
//   };
//   static const py::Field keyEventFields[] = {py::field<&KeyEvent::key>("_key")};
//   py::define<KeyEvent>("KeyEvent", {.slots = ..., .fields = keyEventFields, ...});
// A class with a table of virtual operations has a member `ops` right after the
// object header and a static `table`; instances of Python subclasses get the table
// of their nearest engine class, because they are allocated by its tp_new.
#pragma once

#include "py/property.hpp"

#include <cstdint>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace py {

// One stored field, as pickling, traversal and clearing see it.
struct Field {
    std::string_view name; // the field's own name: "_key"
    getter get;
    setter set;                      // for unpickling: converts like a property setter
    PyObject** (*object)(PyObject*); // object fields only: the slot holding the reference
};

template <auto member> PyObject** objectSlot(PyObject* self) {
    return &fieldOf<member>(self);
}

template <auto member, PyTypeObject** type = nullptr> constexpr Field field(std::string_view name) {
    using Type = typename MemberOf<decltype(member)>::Type;
    if constexpr (std::is_same_v<Type, PyObject*>)
        return {name, getField<member>, setField<member, type>, objectSlot<member>};
    else
        return {name, getField<member>, setField<member>, nullptr};
}

template <auto member, class Exact> constexpr Field exactField(std::string_view name) {
    return {name, getField<member>, setExactField<member, Exact>, objectSlot<member>};
}

// Why a class that is not picklable refuses, which picks the TypeError of its
// pickling pair: it is built by a constructor that pickling cannot replay, or it
// holds a raw handle.
enum class Refusal { cinit, handle };

// What a class file says about its class.
struct Definition {
    PyType_Slot* slots;                 // the class's own slots, ending with {0, nullptr}
    std::span<const Field> fields = {}; // the fields the class adds to its base's
    uint32_t checksum = 0;              // picklable classes: the layout checksum
    Refusal refusal = Refusal::cinit;   // the others: why they refuse
    const char* initDoc = nullptr;      // null: the host's __init__ documentation
    // Whether instances take part in cyclic garbage collection: by default when the
    // class has object fields.
    enum class Collect { whenObjectFields, never } collect = Collect::whenObjectFields;
    // Frees what the instance owns beside its object fields (SDL surfaces, fonts,
    // mixer handles), first thing in the deallocation; null when it owns nothing.
    void (*release)(PyObject* self) = nullptr;
};

struct ClassDef {
    const char* name; // the bare name; the type is "quorvelin.<name>"
    Definition definition;
    std::source_location declared;
    size_t basicsize;
    PyTypeObject** type;
    PyTypeObject** base;            // null: derives from object
    const ClassDef* const* baseDef; // the base's definition, known once the base is registered

    // Completed at registration.
    std::vector<Field> fields; // every field, the bases' included, sorted by name
    bool hasObjectFields = false;
    std::string qualifiedName;
    std::string unpickleName;
    std::string checksumMessage; // "0x5d9a963 = (_isAlreadyHandled, ...)"
    PyMethodDef unpickleFunction{};

    // The generic operations instantiated for the class's struct.
    newfunc tpNew;
    destructor tpDealloc;
    traverseproc tpTraverse;
    inquiry tpClear;
    _PyCFunctionFastWithKeywords unpickle;
};

PyObject* allocate(PyTypeObject* type, const ClassDef& def);
// The class's release, then its object fields, then the memory. Collectable instances
// go through the host's trashcan: a long chain of engine objects, each the only
// holder of the next, is freed without one C frame per link.
void deallocate(PyObject* self, const ClassDef& def);
// Visits the instance's type (every instance owns a reference to it) and its object
// fields. A class with a tp_traverse of its own calls this once and visits only its
// other references itself: visiting the type twice would hide a live reference.
int traverseFields(PyObject* self, visitproc visit, void* arg, const ClassDef& def);
int clearFields(PyObject* self, const ClassDef& def);
PyObject* reduceState(PyObject* self, const ClassDef& def);
PyObject* setState(PyObject* self, PyObject* state, const ClassDef& def);
PyObject* unpickle(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, const ClassDef& def);

template <class T> struct Generic {
    static inline const ClassDef* def = nullptr;

    static PyObject* tpNew(PyTypeObject* type, PyObject*, PyObject*) {
        PyObject* self = allocate(type, *def);
        if constexpr (requires { T::table; })
            if (self) reinterpret_cast<T*>(self)->ops = &T::table;
        return self;
    }
    static void tpDealloc(PyObject* self) { deallocate(self, *def); }
    static int tpTraverse(PyObject* self, visitproc visit, void* arg) {
        return traverseFields(self, visit, arg, *def);
    }
    static int tpClear(PyObject* self) { return clearFields(self, *def); }
    static PyObject* unpickle(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
        return py::unpickle(args, nargs, kwnames, *def);
    }
};

// The class's definition, made on the first call. A class file exposes it as
//   const py::ClassDef& keyEventClass() { return py::define<KeyEvent>("KeyEvent", {...}); }
template <class T>
ClassDef& define(const char* name, const Definition& definition,
                 std::source_location declared = std::source_location::current()) {
    using G = Generic<T>;
    static ClassDef def = [&] {
        ClassDef d{name, definition, declared, sizeof(T), &T::type, nullptr, nullptr};
        if constexpr (requires { typename T::Base; }) {
            d.base = &T::Base::type;
            d.baseDef = &Generic<typename T::Base>::def;
        }
        d.tpNew = G::tpNew;
        d.tpDealloc = G::tpDealloc;
        d.tpTraverse = G::tpTraverse;
        d.tpClear = G::tpClear;
        d.unpickle = G::unpickle;
        return d;
    }();
    G::def = &def;
    return def;
}

// Readies the class, links its base, attaches the __init__ documentation, publishes it
// in the module and installs its pickling pair. On failure the import's traceback
// names the line that declared the class.
bool registerClass(PyObject* module, ClassDef& def);
// After all classes: the unpickle function of a picklable class, bound in the module.
bool bindUnpickleFunction(const ClassDef& def);

// The nearest engine class of `type`: itself, or the engine base of a Python subclass.
PyTypeObject* nearestEngineType(PyTypeObject* type);

} // namespace py
