// Declaring an engine class. A class file holds its object struct, its methods and
// one py::define<Object>(...) call; everything the engine does the same way for every
// class follows from it:
//   - allocation with zeroed fields (object fields start as None, C++ members are
//     constructed, the table of virtual operations is attached), deallocation, GC
//     traversal and clearing;
//   - properties from the member rows (member.hpp), and an __init__ from them where
//     the class asks for one;
//   - the exception boundary around __init__, methods, properties and slots (guard.hpp);
//   - the pickling pair: the field state in sorted-name order guarded by the layout
//     checksum, and the class's unpickle function; or the class's refusal;
//   - registration with its base, its documentation and publication.
//
// The object struct names its base and keeps the engine's reference to its type:
//   struct KeyEvent : Event {
//       int32_t key;
//       ...
//       using Base = Event;
//       static inline PyTypeObject* type = nullptr;
//   };
//   static const py::Member keyEventMembers[] = {
//       py::member<&KeyEvent::key>("_key").readonly("key"), ...};
//   py::define<KeyEvent>("KeyEvent", {.members = keyEventMembers,
//                                     .init = py::memberInit<KeyEvent, initEventBase>,
//                                     .checksum = 0x5d9a963});
//
// C++ members: a class that needs them (containers, owning pointers, structs with
// destructors) keeps them in one member `native`, declared in its own struct. The
// toolkit constructs it in place when the object is allocated (after the base's) and
// destroys it when the object is freed (before the base's, and before `release`).
// What an instance holds from its allocation on beyond zeroed fields and None (a new
// list, a module constant's value of the moment) its definition's `allocated` sets.
//
// Virtual operations that Python must not see: the first class of a line that has
// them declares a member `const XOps* ops` and a `static const XOps table`; the
// allocation attaches the table of the class that allocates, so an instance of a
// Python subclass uses its nearest engine class's table. A derived engine class with
// more or other operations derives its table struct from the base's and its own
// `table` copies the base's entries, overrides some and appends (see
// docs/ARCHITECTURE.md).
#pragma once

#include "py/doc.hpp"
#include "py/guard.hpp"
#include "py/member.hpp"
#include "py/signature.hpp"

#include <cstdint>
#include <new>
#include <source_location>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace py {

// Why a class that is not picklable refuses, which picks the TypeError of its
// pickling pair: it is built by a constructor that pickling cannot replay, or it
// holds a raw handle.
enum class Refusal { cinit, handle };

// A class's __init__ and the parameters that its class shows ("Texture(w, h=None)"):
//   .init = py::init<Texture_init, "w", "h=None">   parsed by the toolkit (signature.hpp),
//       int Texture_init(PyObject* self, py::Arguments<2>& a); a list ending in
//       "*rest" hands the function the argument tuple too, to read past its names
//   .init = py::memberInit<KeyEvent>                one parameter per member row
//   .init = UIPanel_init                            an initproc that hands its
//       arguments on to its base's __init__ and so takes what that one takes
struct Init {
    initproc function = nullptr;
    const char* parameters = nullptr; // "(w, h=None)"
    bool fromMembers = false;
    constexpr Init() = default;
    constexpr Init(initproc function, const char* parameters = nullptr, bool fromMembers = false)
        : function(function), parameters(parameters), fromMembers(fromMembers) {}
};

template <auto function, Text... parameters>
int initWithParameters(PyObject* self, PyObject* args, PyObject* kwargs) {
    using List = ParameterList<parameters...>;
    Arguments<List::count> values;
    if (!List::parse("__init__", args, kwargs, values)) return -1;
    if constexpr (List::rest)
        return function(self, values, args);
    else
        return function(self, values);
}

template <auto function, Text... parameters>
constexpr Init init = {initWithParameters<function, parameters...>,
                       Written<ParenthesesWriter<ParameterList<parameters...>>>::text.data()};

// What a class file says about its class. Functions given here run inside the
// exception boundary; type slots given in `slots` are wrapped with py::slot.
struct Definition {
    const char* doc = nullptr;            // the class's documentation (py::classDoc)
    std::span<const Member> members = {}; // the fields the class adds to its base's
    Init init = {};                       // __init__; none: inherited
    std::span<const PyMethodDef> methods = {};
    std::span<const PyGetSetDef> properties = {}; // computed ones (py::property)
    std::span<const PyType_Slot> slots = {};      // further slots: tp_new, tp_str, nb_add...
    uint32_t checksum = 0;                        // picklable classes: the layout checksum
    Refusal refusal = Refusal::cinit;             // the others: why they refuse
    const char* initDoc = nullptr; // null: the host's __init__ documentation (after the signature)
    // Whether instances take part in cyclic garbage collection: by default when the
    // class has object fields.
    enum class Collect { whenObjectFields, never } collect = Collect::whenObjectFields;
    // Frees what the instance owns beside its fields and C++ members (SDL surfaces,
    // fonts, mixer handles), first thing in the deallocation; null when it owns nothing.
    void (*release)(PyObject* self) = nullptr;
    // Gives a new instance what it holds before any __init__ beyond zeroed fields and
    // None (a new list, the value of a module constant); runs after its bases' and may
    // fail, which fails the allocation.
    bool (*allocated)(PyObject* self) = nullptr;
    // The references that the class's C++ members hold (py::Ref in `native`), shown to
    // the collector after the fields: `visitNative` visits each as Py_VISIT does,
    // `clearNative` lets go of them all.
    int (*visitNative)(PyObject* self, visitproc visit, void* arg) = nullptr;
    void (*clearNative)(PyObject* self) = nullptr;
};

struct ClassDef {
    const char* name; // the bare name; the type is "<module>.<name>"
    Definition definition;
    std::source_location declared;
    size_t basicsize;
    PyTypeObject** type;
    PyTypeObject** base;            // null: derives from object
    const ClassDef* const* baseDef; // the base's definition, known once the base is registered

    // Completed at registration.
    std::vector<Member> fields; // every field, the bases' included, sorted by name
    bool hasObjectFields = false;
    bool hasWatchedFields = false;       // rows whose writes the change log hears (py/changes.hpp)
    std::vector<const char*> parameters; // of an __init__ made from the members
    std::string signature;               // the parameters the class shows: "(w, h=None)"
    std::string classDoc;                // the signature, then the class's documentation
    std::vector<PyMethodDef> methods;    // ended by an empty entry, as the host wants
    std::vector<PyGetSetDef> properties; // the members' and the computed ones, ended likewise
    std::string qualifiedName;
    std::string unpickleName;
    std::string unpickleDoc;     // its signature: the names that it parses
    std::string checksumMessage; // "0x5d9a963 = (_isAlreadyHandled, ...)"
    PyMethodDef unpickleFunction{};

    // The generic operations instantiated for the class's struct.
    newfunc tpNew;
    initproc tpInit;
    destructor tpDealloc;
    traverseproc tpTraverse;
    inquiry tpClear;
    PyObject* (*unpickle)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
    void (*destroyNative)(PyObject* self);
};

PyObject* allocate(PyTypeObject* type, const ClassDef& def);
// The C++ members, the class's release, then its object fields, then the memory.
// Collectable instances go through the host's trashcan: a long chain of engine objects,
// each the only holder of the next, is freed without one C frame per link.
void deallocate(PyObject* self, const ClassDef& def);
// Visits the instance's type (every instance owns a reference to it), its object fields
// and the references its C++ members hold (the class's and its engine bases'
// `visitNative`); clearing sets the fields to None, then lets go of those references.
int traverseFields(PyObject* self, visitproc visit, void* arg, const ClassDef& def);
int clearFields(PyObject* self, const ClassDef& def);
PyObject* reduceState(PyObject* self, const ClassDef& def);
PyObject* setState(PyObject* self, PyObject* state, const ClassDef& def);
PyObject* unpickle(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, const ClassDef& def);
// The __init__ of py::memberInit: every member the class adds is a parameter, in row
// order. Values are converted first (in order), then objects are tested (in order);
// then `prepare` runs (the base's __init__, say) and last every value is stored.
int initFromMembers(PyObject* self, PyObject* args, PyObject* kwargs, const ClassDef& def,
                    bool (*prepare)(PyObject* self));

// The `native` member a class declares itself (not one it inherits).
template <class T>
concept HasOwnNative = requires {
    &T::native;
}
&&std::is_same_v<typename MemberOf<decltype(&T::native)>::Class, T>;

template <class T> struct Generic {
    static inline const ClassDef* def = nullptr;

    static void constructNative(PyObject* self) noexcept {
        if constexpr (requires { typename T::Base; })
            Generic<typename T::Base>::constructNative(self);
        if constexpr (HasOwnNative<T>) {
            using Native = decltype(T::native);
            static_assert(std::is_nothrow_default_constructible_v<Native>);
            new (&reinterpret_cast<T*>(self)->native) Native();
        }
    }
    static void destroyNative(PyObject* self) noexcept {
        if constexpr (HasOwnNative<T>) {
            using Native = decltype(T::native);
            reinterpret_cast<T*>(self)->native.~Native();
        }
        if constexpr (requires { typename T::Base; })
            Generic<typename T::Base>::destroyNative(self);
    }

    static bool runAllocated(PyObject* self) {
        if constexpr (requires { typename T::Base; })
            if (!Generic<typename T::Base>::runAllocated(self)) return false;
        return !def->definition.allocated || def->definition.allocated(self);
    }

    static PyObject* tpNew(PyTypeObject* type, PyObject*, PyObject*) {
        return atBoundary([&]() -> PyObject* {
            // Released on failure, which destroys the C++ members as any deallocation does.
            Ref self(allocate(type, *def));
            if (!self) return nullptr;
            constructNative(self.get());
            // A static table that the ops member can point to, not any member named `table`.
            if constexpr (requires(T & object) { object.ops = &T::table; })
                reinterpret_cast<T*>(self.get())->ops = &T::table;
            return runAllocated(self.get()) ? self.release() : nullptr;
        });
    }
    static int tpInit(PyObject* self, PyObject* args, PyObject* kwargs) {
        return atBoundary([&] { return def->definition.init.function(self, args, kwargs); });
    }
    static void tpDealloc(PyObject* self) { deallocate(self, *def); }
    static int tpTraverse(PyObject* self, visitproc visit, void* arg) {
        return traverseFields(self, visit, arg, *def);
    }
    static int tpClear(PyObject* self) { return clearFields(self, *def); }
    static PyObject* unpickle(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
        return atBoundary([&] { return py::unpickle(args, nargs, kwnames, *def); });
    }
};

// An __init__ made from the class's member rows; `prepare` (may be null) runs after the
// conversions and before the stores.
template <class T, bool (*prepare)(PyObject*) = nullptr>
int initMembers(PyObject* self, PyObject* args, PyObject* kwargs) {
    return initFromMembers(self, args, kwargs, *Generic<T>::def, prepare);
}
template <class T, bool (*prepare)(PyObject*) = nullptr>
constexpr Init memberInit = {initMembers<T, prepare>, nullptr, true};

// The class's definition, made on the first call. A class file exposes it as
//   py::ClassDef& keyEventClass() { return py::define<KeyEvent>("KeyEvent", {...}); }
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
        d.tpInit = G::tpInit;
        d.tpDealloc = G::tpDealloc;
        d.tpTraverse = G::tpTraverse;
        d.tpClear = G::tpClear;
        d.unpickle = G::unpickle;
        d.destroyNative = G::destroyNative;
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
