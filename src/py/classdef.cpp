#include "py/classdef.hpp"

#include "py/args.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "py/slotWrapper.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace py {

namespace {

// What an unpickle function takes, by position or keyword.
const char* const unpickleParameters[3] = {"__pyx_type", "__pyx_checksum", "__pyx_state"};

// The registered classes with their definitions, kept for the life of the process.
std::vector<std::pair<PyTypeObject*, const ClassDef*>> engineTypes;

const ClassDef* definitionOf(PyTypeObject* type) {
    for (const auto& [engineType, def] : engineTypes)
        if (engineType == type) return def;
    return nullptr;
}

// The definition of the engine base of a class, once that is registered; null for none.
const ClassDef* baseOf(const ClassDef* def) {
    return def->baseDef ? *def->baseDef : nullptr;
}

bool isEngineType(PyTypeObject* type) {
    return definitionOf(type) != nullptr;
}

PyObject* refuse(const ClassDef& def) {
    return raise(PyExc_TypeError,
                 def.definition.refusal == Refusal::handle
                     ? "self._ptr cannot be converted to a Python object for pickling"
                     : "no default __reduce__ due to non-trivial __cinit__");
}

// The pickling pair of every class. Each is installed in its class's own dictionary,
// so the class that defines it names the definition that applies.
PyObject* reduceMethod(PyObject* self, PyTypeObject* definingClass, PyObject* const*,
                       Py_ssize_t nargs, PyObject* kwnames) {
    if (!rejectKeywords("__reduce__", kwnames) || !checkPositionalCount("__reduce__", nargs, 0))
        return nullptr;
    const ClassDef& def = *definitionOf(definingClass);
    return def.definition.checksum ? reduceState(self, def) : refuse(def);
}

PyObject* setstateMethod(PyObject* self, PyTypeObject* definingClass, PyObject* const* args,
                         Py_ssize_t nargs, PyObject* kwnames) {
    if (!rejectKeywords("__setstate__", kwnames) || !checkPositionalCount("__setstate__", nargs, 1))
        return nullptr;
    const ClassDef& def = *definitionOf(definingClass);
    return def.definition.checksum ? setState(self, args[0], def) : refuse(def);
}

PyMethodDef reduceDefinition = {"__reduce__", reinterpret_cast<PyCFunction>(reduceMethod),
                                METH_METHOD | METH_FASTCALL | METH_KEYWORDS,
                                "__reduce__($self, /)\n--\n\n"};
PyMethodDef setstateDefinition = {"__setstate__", reinterpret_cast<PyCFunction>(setstateMethod),
                                  METH_METHOD | METH_FASTCALL | METH_KEYWORDS,
                                  "__setstate__($self, state, /)\n--\n\n"};

// The text after the signature that heads a documentation ("f(...)\n--\n\n"), if any.
const char* withoutSignature(const char* doc) {
    const char* end = doc ? std::strstr(doc, ")\n--\n\n") : nullptr;
    return end ? end + 6 : doc;
}

// The parameters that a class's __init__ shows, from its definition: its own list, its
// member rows, or else (an __init__ that hands its arguments on, or none) its base's.
std::string signatureOf(const ClassDef& def) {
    const Init& init = def.definition.init;
    if (init.parameters) return init.parameters;
    if (init.fromMembers) {
        std::string list = "(";
        for (size_t i = 0; i < def.parameters.size(); ++i)
            list += (i ? ", " : "") + std::string(def.parameters[i] ? def.parameters[i] : "");
        return list + ")";
    }
    return def.baseDef && *def.baseDef ? (*def.baseDef)->signature : std::string();
}

// The slot wrapper of __init__ shares its documentation with every class; a class
// with its own __init__ gets its own copy of the wrapper's description, whose text
// begins with the class's signature ("__init__($self, /, w, h=None)") and goes on
// with the class's own __init__ documentation or else the host's.
bool setInitDoc(PyTypeObject* type, const ClassDef& def) {
    const char* hostDoc;
    if (!ownSlotWrapper(type, "__init__", hostDoc)) return !PyErr_Occurred();
    auto* doc = new std::string; // lives as long as the class
    std::string_view list(def.signature);
    if (!list.empty()) {
        list = list.substr(1, list.size() - 2);
        *doc = "__init__($self, /";
        *doc += (list.empty() ? "" : ", ") + std::string(list) + ")\n--\n\n";
    }
    const char* own = def.definition.initDoc;
    if (const char* text = own ? own : withoutSignature(hostDoc)) *doc += text;
    return setSlotWrapperDoc(type, "__init__", doc->c_str());
}

// A class without documentation of its own: the host keeps the text after the
// signature in __doc__, an empty string, where no text at all is None.
bool clearDoc(PyTypeObject* type) {
    if (PyDict_SetItemString(type->tp_dict, "__doc__", Py_None) < 0) return false;
    PyType_Modified(type);
    return true;
}

bool addMethod(PyTypeObject* type, PyMethodDef* method) {
    Ref descriptor(PyDescr_NewMethod(type, method));
    return descriptor &&
           PyDict_SetItemString(type->tp_dict, method->ml_name, descriptor.get()) == 0;
}

bool installPickling(PyTypeObject* type) {
    if (addMethod(type, &reduceDefinition) && addMethod(type, &setstateDefinition)) {
        PyType_Modified(type);
        return true;
    }
    if (!PyErr_Occurred())
        PyErr_Format(PyExc_RuntimeError, "Unable to initialize pickling for %s", type->tp_name);
    return false;
}

void completeFields(ClassDef& def) {
    def.fields.clear(); // a failed import registers every class again
    if (def.baseDef && *def.baseDef) def.fields = (*def.baseDef)->fields;
    def.fields.insert(def.fields.end(), def.definition.members.begin(),
                      def.definition.members.end());
    std::sort(def.fields.begin(), def.fields.end(), [](const Member& a, const Member& b) {
        return std::string_view(a.name ? a.name : "") < std::string_view(b.name ? b.name : "");
    });
    def.hasObjectFields = std::any_of(def.fields.begin(), def.fields.end(),
                                      [](const Member& f) { return f.object != nullptr; });
    def.hasWatchedFields = std::any_of(def.fields.begin(), def.fields.end(),
                                       [](const Member& f) { return f.watched; });
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "0x%07x", def.definition.checksum);
    def.checksumMessage = std::string(checksum) + " = (";
    for (size_t i = 0; i < def.fields.size(); ++i)
        def.checksumMessage +=
            (i ? ", " : "") + std::string(def.fields[i].name ? def.fields[i].name : "");
    def.checksumMessage += ")";
}

// The public property of an undeletable row: its field's rule, deletion refused.
int setRefusingDeletion(PyObject* self, PyObject* value, void* row) {
    if (!value) return deleteRefused();
    return static_cast<const Member*>(row)->writer()(self, value, nullptr);
}

// Everything the host reads from tables: the methods, and the properties of the
// members (public ones first, then the exposed stored names) and the computed ones.
bool completeTables(ClassDef& def) {
    const Definition& d = def.definition;
    if (d.checksum)
        for (const Member& field : def.fields)
            if (!field.name)
                return raise(PyExc_SystemError, "a picklable class has a field without a name");
    def.methods.assign(d.methods.begin(), d.methods.end());
    def.methods.push_back({});
    def.properties.clear();
    def.parameters.clear();
    for (const Member& m : d.members) {
        if (m.publicName) {
            // The rows live as long as the class: the row itself is the setter's closure.
            void* row = m.publicUndeletable ? const_cast<Member*>(&m) : nullptr;
            setter set = !m.publicWritable ? nullptr : row ? setRefusingDeletion : m.writer();
            def.properties.push_back({m.publicName, m.reader(), set, m.doc, row});
        }
        def.parameters.push_back(m.parameterName());
    }
    for (const Member& m : d.members)
        if (m.exposed) def.properties.push_back({m.name, m.reader(), m.writer(), nullptr, nullptr});
    def.properties.insert(def.properties.end(), d.properties.begin(), d.properties.end());
    def.properties.push_back({});
    return true;
}

bool holdsNativeReferences(const ClassDef& def) {
    for (const ClassDef* d = &def; d; d = baseOf(d))
        if (d->definition.visitNative) return true;
    return false;
}

std::vector<PyType_Slot> slotsOf(ClassDef& def, bool gc) {
    const Definition& d = def.definition;
    std::vector<PyType_Slot> slots(d.slots.begin(), d.slots.end());
    auto addDefault = [&](int id, void* function) {
        if (std::none_of(slots.begin(), slots.end(),
                         [&](const PyType_Slot& s) { return s.slot == id; }))
            slots.push_back({id, function});
    };
    addDefault(Py_tp_new, reinterpret_cast<void*>(def.tpNew));
    addDefault(Py_tp_dealloc, reinterpret_cast<void*>(def.tpDealloc));
    if (gc) {
        addDefault(Py_tp_traverse, reinterpret_cast<void*>(def.tpTraverse));
        addDefault(Py_tp_clear, reinterpret_cast<void*>(def.tpClear));
    }
    if (d.init.function) slots.push_back({Py_tp_init, reinterpret_cast<void*>(def.tpInit)});
    if (d.doc || !def.signature.empty()) slots.push_back({Py_tp_doc, def.classDoc.data()});
    if (def.methods.size() > 1) slots.push_back({Py_tp_methods, def.methods.data()});
    if (def.properties.size() > 1) slots.push_back({Py_tp_getset, def.properties.data()});
    slots.push_back({0, nullptr});
    return slots;
}

} // namespace

PyTypeObject* nearestEngineType(PyTypeObject* type) {
    while (type && !isEngineType(type))
        type = type->tp_base;
    return type;
}

bool registerClass(PyObject* module, ClassDef& def) {
    completeFields(def);
    if (!completeTables(def)) return false;
    def.qualifiedName = std::string(moduleName()) + "." + def.name;
    // The host shows a class's signature from the head of its documentation.
    def.signature = signatureOf(def);
    def.classDoc = def.definition.doc ? def.definition.doc : "";
    if (!def.signature.empty()) def.classDoc = def.name + def.signature + "\n--\n\n" + def.classDoc;
    def.unpickleName = std::string("__pyx_unpickle_") + def.name;
    bool gc = def.definition.collect == Definition::Collect::whenObjectFields &&
              (def.hasObjectFields || holdsNativeReferences(def));
    std::vector<PyType_Slot> slots = slotsOf(def, gc);
    // Immutable: game code cannot rebind a method or property that the engine's own
    // fast paths bypass. The engine sets its class attributes in the type's dict itself.
    unsigned flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE |
                     (gc ? Py_TPFLAGS_HAVE_GC : 0);
    PyType_Spec spec = {def.qualifiedName.c_str(), int(def.basicsize), 0, flags, slots.data()};
    Ref bases;
    if (def.base) {
        bases = Ref(PyTuple_Pack(1, reinterpret_cast<PyObject*>(*def.base)));
        if (!bases) return false;
    }
    Ref type(PyType_FromSpecWithBases(&spec, bases.get()));
    if (!type) return false;
    auto* typeObject = reinterpret_cast<PyTypeObject*>(type.get());
    if (!setInitDoc(typeObject, def) ||
        (!def.definition.doc && !def.signature.empty() && !clearDoc(typeObject)))
        return false;
    if (!installPickling(typeObject)) return false;
    if (PyModule_AddObjectRef(module, def.name, type.get()) < 0) return false;
    engineTypes.emplace_back(typeObject, &def);
    *def.type = typeObject; // the engine's own reference, kept for the life of the process
    type.release();
    return true;
}

bool bindUnpickleFunction(const ClassDef& def) {
    auto& method = const_cast<ClassDef&>(def).unpickleFunction;
    auto& doc = const_cast<ClassDef&>(def).unpickleDoc;
    doc = def.unpickleName + "(";
    for (const char* name : unpickleParameters)
        doc += name + std::string(name == unpickleParameters[2] ? ")\n--\n\n" : ", ");
    method = {def.unpickleName.c_str(), reinterpret_cast<PyCFunction>(def.unpickle),
              METH_FASTCALL | METH_KEYWORDS, doc.c_str()};
    return bind(def.unpickleName.c_str(), moduleFunction(&method));
}

// --- instances ------------------------------------------------------------------------

PyObject* allocate(PyTypeObject* type, const ClassDef& def) {
    PyObject* self = type->tp_alloc(type, 0); // zeroed: numbers 0, flags false
    if (!self) return nullptr;
    if (def.hasObjectFields)
        for (const Member& field : def.fields)
            if (field.object) *field.object(self) = newRef(Py_None);
    return self;
}

namespace {

void destroy(PyObject* self, PyTypeObject* type, const ClassDef& def) {
    def.destroyNative(self);
    if (def.definition.release) def.definition.release(self);
    if (def.hasObjectFields)
        for (const Member& field : def.fields)
            if (field.object) Py_CLEAR(*field.object(self));
    type->tp_free(self);
    Py_DECREF(type);
}

} // namespace

void deallocate(PyObject* self, const ClassDef& def) {
    PyTypeObject* type = Py_TYPE(self);
    // The trashcan files objects away through their GC header: the others have none.
    if (!PyObject_IS_GC(self)) return destroy(self, type, def);
    PyObject_GC_UnTrack(self);
    // A Python subclass's deallocation has its own trashcan and calls this one inside
    // it: the macro enters ours only where the type's deallocator is this one.
    Py_TRASHCAN_BEGIN(self, def.tpDealloc)
        destroy(self, type, def);
    Py_TRASHCAN_END
}

int traverseFields(PyObject* self, visitproc visit, void* arg, const ClassDef& def) {
    // Every instance holds a reference to its (heap) type. A Python subclass leaves
    // visiting it to us, as its base's traverse belongs to a heap type; without this
    // visit a class that refers to one of its instances would never be collected.
    Py_VISIT(Py_TYPE(self));
    for (const Member& field : def.fields)
        if (field.object) Py_VISIT(*field.object(self));
    for (const ClassDef* d = &def; d; d = baseOf(d))
        if (d->definition.visitNative)
            if (int visited = d->definition.visitNative(self, visit, arg)) return visited;
    return 0;
}

int clearFields(PyObject* self, const ClassDef& def) {
    for (const Member& field : def.fields)
        if (field.object) assign(*field.object(self), Py_None);
    if (def.hasWatchedFields) changes::changed(self);
    for (const ClassDef* d = &def; d; d = baseOf(d))
        if (d->definition.clearNative) d->definition.clearNative(self);
    return 0;
}

// --- pickling -------------------------------------------------------------------------

namespace {

// The attribute dictionary of an instance of a Python subclass; null without error
// when there is none.
Ref instanceDict(PyObject* self, bool discardErrors) {
    Ref dict(PyObject_GetAttrString(self, "__dict__"));
    if (!dict && (discardErrors || PyErr_ExceptionMatches(PyExc_AttributeError))) PyErr_Clear();
    return dict;
}

bool applyFields(PyObject* self, PyObject* state, const ClassDef& def) {
    if (state == Py_None)
        return raise(PyExc_TypeError, "'NoneType' object is not subscriptable"), false;
    Py_ssize_t size = PyTuple_GET_SIZE(state);
    Py_ssize_t count = Py_ssize_t(def.fields.size());
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (i >= size) return raise(PyExc_IndexError, "tuple index out of range"), false;
        if (def.fields[i].writer()(self, PyTuple_GET_ITEM(state, i), nullptr) < 0) return false;
    }
    if (size > count) {
        Ref dict = instanceDict(self, true);
        if (dict) {
            // Not PyObject_CallMethod with "O": it would spread an extra item that is a tuple
            // into several arguments.
            Ref update(PyObject_GetAttrString(dict.get(), "update"));
            Ref result(update ? PyObject_CallOneArg(update.get(), PyTuple_GET_ITEM(state, count))
                              : nullptr);
            if (!result) return false;
        }
    }
    return true;
}

// The set-state routine that __setstate__ and the unpickle function share; it shows in
// tracebacks as "__pyx_unpickle_<Name>__set_state".
bool applyState(PyObject* self, PyObject* state, const ClassDef& def) {
    if (applyFields(self, state, def)) return true;
    addTraceback((def.unpickleName + "__set_state").c_str(), def.declared.file_name(),
                 int(def.declared.line()));
    return false;
}

} // namespace

PyObject* reduceState(PyObject* self, const ClassDef& def) {
    Py_ssize_t count = Py_ssize_t(def.fields.size());
    Ref dict = instanceDict(self, false);
    if (!dict && PyErr_Occurred()) return nullptr;
    Ref state(PyTuple_New(count + (dict ? 1 : 0)));
    if (!state) return nullptr;
    bool withSetState = bool(dict);
    for (Py_ssize_t i = 0; i < count; ++i) {
        const Member& field = def.fields[i];
        PyObject* value = field.reader()(self, nullptr);
        if (!value) return nullptr;
        PyTuple_SET_ITEM(state.get(), i, value);
        if (field.object && value != Py_None) withSetState = true;
    }
    if (dict) PyTuple_SET_ITEM(state.get(), count, dict.release());
    Ref function = moduleGlobal(def.unpickleName.c_str());
    if (!function) return nullptr;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(self));
    if (withSetState)
        return Py_BuildValue("(O(OkO)O)", function.get(), type,
                             (unsigned long)def.definition.checksum, Py_None, state.get());
    return Py_BuildValue("(O(OkO))", function.get(), type, (unsigned long)def.definition.checksum,
                         state.get());
}

PyObject* setState(PyObject* self, PyObject* state, const ClassDef& def) {
    if (state != Py_None && !PyTuple_CheckExact(state)) return expectedType("tuple", state);
    if (!applyState(self, state, def)) return nullptr;
    Py_RETURN_NONE;
}

PyObject* unpickle(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   const ClassDef& def) {
    PyObject* a[3];
    if (!parse({def.unpickleName.c_str(), unpickleParameters, 3, 3}, args, nargs, kwnames, a))
        return nullptr;
    auto [typeArgument, checksumArgument, state] = a;
    int32_t checksum;
    if (!toInt32(checksumArgument, checksum)) return nullptr;
    if (uint32_t(checksum) != def.definition.checksum) {
        Ref pickle(PyImport_ImportModule("pickle"));
        Ref pickleError(pickle ? PyObject_GetAttrString(pickle.get(), "PickleError") : nullptr);
        if (!pickleError) return nullptr;
        PyErr_Format(pickleError.get(), "Incompatible checksums (%d vs %s)", checksum,
                     def.checksumMessage.c_str());
        return nullptr;
    }
    // Rebuild through the class's own __new__: only the class itself or a Python
    // subclass of it may be given, never an unrelated or an engine-derived class.
    const char* className = (*def.type)->tp_name;
    if (!PyType_Check(typeArgument)) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(X): X is not a type object (%s)", className,
                     Py_TYPE(typeArgument)->tp_name);
        return nullptr;
    }
    auto* type = reinterpret_cast<PyTypeObject*>(typeArgument);
    if (!PyType_IsSubtype(type, *def.type)) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(%s): %s is not a subtype of %s", className,
                     type->tp_name, type->tp_name, className);
        return nullptr;
    }
    if (nearestEngineType(type) != *def.type) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(%s) is not safe, use %s.__new__()", className,
                     type->tp_name, type->tp_name);
        return nullptr;
    }
    Ref empty(PyTuple_New(0));
    Ref object(empty ? def.tpNew(type, empty.get(), nullptr) : nullptr);
    if (!object) return nullptr;
    if (state != Py_None) {
        if (!PyTuple_CheckExact(state)) return expectedType("tuple", state);
        if (!applyState(object.get(), state, def)) return nullptr;
    }
    return object.release();
}

// --- __init__ from the members ---------------------------------------------------------

int initFromMembers(PyObject* self, PyObject* args, PyObject* kwargs, const ClassDef& def,
                    bool (*prepare)(PyObject* self)) {
    std::span<const Member> members = def.definition.members;
    constexpr size_t most = 16;
    if (members.size() > most ||
        std::find(def.parameters.begin(), def.parameters.end(), nullptr) != def.parameters.end())
        return raise(PyExc_SystemError, "__init__ cannot be made from these members");
    PyObject* given[most];
    Value values[most];
    if (!parse({"__init__", def.parameters.data(), Py_ssize_t(members.size()),
                Py_ssize_t(members.size())},
               args, kwargs, given))
        return -1;
    // As the arguments are unpacked, values are converted; objects are tested after.
    for (bool objects : {false, true})
        for (size_t i = 0; i < members.size(); ++i)
            if ((members[i].object != nullptr) == objects &&
                !members[i].convert(given[i], values[i], members[i].parameterName()))
                return -1;
    if (prepare && !prepare(self)) return -1;
    for (size_t i = 0; i < members.size(); ++i)
        members[i].store(self, values[i]);
    if (def.hasWatchedFields) changes::changed(self);
    return 0;
}

} // namespace py
