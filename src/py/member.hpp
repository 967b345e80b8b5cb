// Members: one row declares everything a stored field of an engine object is.
//   py::member<&KeyEvent::key>("_key").readonly("key")
// is the field `key`, pickled under "_key", read by game code as the read-only
// property `key`. A row may add:
//   .readonly("name") / .readwrite("name")   the public property
//   .exposed()                               the stored name as a read-write property too
//   .typed<&Texture::type>()                 an object field that takes that class or None
//   .exactly<py::List>()                     an object field that takes exactly a list or None
//   .undeletable()                           the public property refuses deletion ("__del__")
//                                            even for an object field; an exposed stored
//                                            name still deletes to None
//   .argument("name")                        the __init__ parameter of a row without a
//                                            public property
//   .watched()                               every write notes a change of the object in
//                                            the engine's change log (py/changes.hpp), and
//                                            every read of a list or dict field (exactly)
//                                            a hand-out of what it holds
// Value fields: int32_t, int64_t, double, bool (a flag) and the engine's unsigned 32-bit
// enumerations (py::Enum32). Object fields: PyObject*, never null once the object is
// constructed. Writing converts as the field's rule says; deleting an
// object field stores None, deleting any other field raises NotImplementedError
// "__del__". The toolkit derives from the rows the class's properties, its pickled
// state, its GC traversal and, where the class asks for it (py::memberInit), its
// __init__: one parameter per row, named by the public property.
//
// Properties computed by the class itself are rows too:
//   py::property<Texture_getWidth>("width")
#pragma once

#include "py/changes.hpp"
#include "py/convert.hpp"
#include "py/errors.hpp"
#include "py/guard.hpp"

#include <cstdint>
#include <type_traits>

namespace py {

template <class Pointer> struct MemberOf;
template <class C, class M> struct MemberOf<M C::*> {
    using Class = C;
    using Type = M;
};

template <auto field> auto& fieldOf(PyObject* self) {
    using Class = typename MemberOf<decltype(field)>::Class;
    return reinterpret_cast<Class*>(self)->*field;
}

template <auto field>
constexpr bool isObjectField = std::is_same_v<typename MemberOf<decltype(field)>::Type, PyObject*>;

// The built-in containers an object field may be restricted to. `label` names the
// type in "Expected list, got X"; an argument of that kind is tested against `type()`.
struct List {
    static constexpr const char* label = "list";
    static PyTypeObject* type() { return &PyList_Type; }
};
struct Tuple {
    static constexpr const char* label = "tuple";
    static PyTypeObject* type() { return &PyTuple_Type; }
};
struct Str {
    static constexpr const char* label = "unicode";
    static PyTypeObject* type() { return &PyUnicode_Type; }
};
struct Dict {
    static constexpr const char* label = "dict";
    static PyTypeObject* type() { return &PyDict_Type; }
};

// An enumeration of the engine stored as an unsigned 32-bit value. Its type names itself
// in the overflow messages through a function found beside it:
//   enum BlendMode : uint32_t { ... };
//   constexpr const char* enumTypeName(BlendMode) { return "..."; }
template <class E>
concept Enum32 = std::is_enum_v<E> && std::is_same_v<std::underlying_type_t<E>, uint32_t>;

// One converted argument of an __init__, held between the conversions and the stores.
union Value {
    int32_t int32;
    int64_t int64;
    uint32_t enum32;
    double float64;
    bool flag;
    PyObject* object; // borrowed from the arguments
};

inline bool fromPython(PyObject* value, int32_t& out) {
    return toInt32(value, out);
}
inline bool fromPython(PyObject* value, int64_t& out) {
    return toInt64(value, out);
}
template <Enum32 E> bool fromPython(PyObject* value, E& out) {
    uint32_t raw;
    if (!toUint32(value, raw, enumTypeName(E{}))) return false;
    out = E(raw);
    return true;
}
template <Enum32 E> PyObject* toPython(E value) {
    return PyLong_FromUnsignedLong(uint32_t(value));
}
inline bool fromPython(PyObject* value, double& out) {
    return toDouble(value, out);
}
inline bool fromPython(PyObject* value, bool& out) {
    return toFlag(value, out);
}

template <class T> T& valueOf(Value& value) {
    if constexpr (std::is_same_v<T, int32_t>) return value.int32;
    if constexpr (std::is_same_v<T, int64_t>) return value.int64;
    if constexpr (std::is_same_v<T, double>) return value.float64;
    if constexpr (std::is_same_v<T, bool>) return value.flag;
}

// --- the generated accessors ----------------------------------------------------------

template <auto field> PyObject* getMember(PyObject* self, void*) {
    return toPython(fieldOf<field>(self));
}

template <auto field> int setValueMember(PyObject* self, PyObject* value, void*) {
    if (!value) return deleteRefused();
    typename MemberOf<decltype(field)>::Type converted;
    if (!fromPython(value, converted)) return -1;
    fieldOf<field>(self) = converted;
    return 0;
}

// What an object field takes besides None, and how it refuses the rest: as a field
// ("Cannot convert X to Y", "Expected list, got X") and as an __init__ argument
// ("Argument 'a' has incorrect type (expected Y, got X)").
struct AnyObject {
    static bool accepts(PyObject*) { return true; }
    static Failure refuseField(PyObject*) { return failed; }
    static Failure refuseArgument(PyObject*, const char*) { return failed; }
};
template <PyTypeObject** type> struct InstanceOf {
    static bool accepts(PyObject* value) { return PyObject_TypeCheck(value, *type); }
    static Failure refuseField(PyObject* value) { return cannotConvert(value, *type); }
    static Failure refuseArgument(PyObject* value, const char* argument) {
        return argumentTypeError(argument, *type, value);
    }
};
template <class Exact> struct ExactlyOf {
    static bool accepts(PyObject* value) { return Py_IS_TYPE(value, Exact::type()); }
    static Failure refuseField(PyObject* value) { return expectedType(Exact::label, value); }
    static Failure refuseArgument(PyObject* value, const char* argument) {
        return argumentTypeError(argument, Exact::type(), value);
    }
};

// An object field takes None or what its rule accepts; deleting it stores None.
template <auto field, class Rule> int setObjectMember(PyObject* self, PyObject* value, void*) {
    if (!value) value = Py_None;
    if (value != Py_None && !Rule::accepts(value)) return Rule::refuseField(value);
    assign(fieldOf<field>(self), value);
    return 0;
}

template <auto field> bool convertValueArgument(PyObject* value, Value& out, const char*) {
    using T = typename MemberOf<decltype(field)>::Type;
    if constexpr (Enum32<T>) {
        T converted;
        if (!fromPython(value, converted)) return false;
        out.enum32 = uint32_t(converted);
        return true;
    } else {
        return fromPython(value, valueOf<T>(out));
    }
}

template <class Rule>
bool convertObjectArgument(PyObject* value, Value& out, const char* argument) {
    if (value != Py_None && !Rule::accepts(value)) return Rule::refuseArgument(value, argument);
    out.object = value;
    return true;
}

template <auto field> void storeValue(PyObject* self, Value& value) {
    using T = typename MemberOf<decltype(field)>::Type;
    if constexpr (Enum32<T>)
        fieldOf<field>(self) = T(value.enum32);
    else
        fieldOf<field>(self) = valueOf<T>(value);
}
template <auto field> void storeObject(PyObject* self, Value& value) {
    assign(fieldOf<field>(self), value.object);
}

template <auto field> PyObject** objectSlot(PyObject* self) {
    return &fieldOf<field>(self);
}

// The accessors of a watched row: the field's own, then the note.
template <setter set> int setNoting(PyObject* self, PyObject* value, void* closure) {
    if (set(self, value, closure) < 0) return -1;
    changes::changed(self);
    return 0;
}
template <auto field> PyObject* getHandingOut(PyObject* self, void*) {
    changes::handedOut(self);
    return getMember<field>(self, nullptr);
}

// --- rows -------------------------------------------------------------------------------

struct Member {
    const char* name = nullptr;       // the stored name, which pickling uses ("_key")
    const char* publicName = nullptr; // the public property, if any
    bool publicWritable = false;
    bool publicUndeletable = false; // the public property refuses deletion
    bool exposed = false;           // the stored name is a read-write property too
    const char* argument = nullptr; // the __init__ parameter, if not the public name
    const char* doc = nullptr;
    getter get = nullptr;
    setter set = nullptr;                      // the field's rule, for properties and unpickling
    PyObject** (*object)(PyObject*) = nullptr; // object fields: the slot holding the reference
    bool (*convert)(PyObject*, Value&, const char* argument) = nullptr; // an __init__ argument
    void (*store)(PyObject* self, Value& value) = nullptr;
    bool watched = false;
    setter notingSet = nullptr;  // set, then the change noted
    getter handingOut = nullptr; // a list or dict field: the hand-out noted, then get

    // The accessors that properties and pickling use: a watched row's notes.
    getter reader() const { return watched && handingOut ? handingOut : get; }
    setter writer() const { return watched ? notingSet : set; }

    // The name of the __init__ parameter that sets it.
    const char* parameterName() const {
        return argument ? argument : publicName ? publicName : name;
    }
};

template <auto field> class MemberRow {
  public:
    constexpr explicit MemberRow(const char* name) {
        row_.name = name;
        row_.get = getMember<field>;
        if constexpr (isObjectField<field>) {
            row_.set = setObjectMember<field, AnyObject>;
            row_.notingSet = setNoting<setObjectMember<field, AnyObject>>;
            row_.object = objectSlot<field>;
            row_.convert = convertObjectArgument<AnyObject>;
            row_.store = storeObject<field>;
        } else {
            row_.set = setValueMember<field>;
            row_.notingSet = setNoting<setValueMember<field>>;
            row_.convert = convertValueArgument<field>;
            row_.store = storeValue<field>;
        }
    }

    constexpr MemberRow readonly(const char* name, const char* doc = nullptr) const {
        return withPublic(name, false, doc);
    }
    constexpr MemberRow readwrite(const char* name, const char* doc = nullptr) const {
        return withPublic(name, true, doc);
    }
    constexpr MemberRow exposed() const {
        MemberRow row = *this;
        row.row_.exposed = true;
        return row;
    }
    constexpr MemberRow undeletable() const {
        MemberRow row = *this;
        row.row_.publicUndeletable = true;
        return row;
    }
    constexpr MemberRow argument(const char* name) const {
        MemberRow row = *this;
        row.row_.argument = name;
        return row;
    }
    constexpr MemberRow watched() const {
        MemberRow row = *this;
        row.row_.watched = true;
        return row;
    }
    template <PyTypeObject** type> constexpr MemberRow typed() const {
        static_assert(isObjectField<field>, "only object fields take a class");
        MemberRow row = *this;
        row.row_.set = setObjectMember<field, InstanceOf<type>>;
        row.row_.notingSet = setNoting<setObjectMember<field, InstanceOf<type>>>;
        row.row_.convert = convertObjectArgument<InstanceOf<type>>;
        return row;
    }
    template <class Exact> constexpr MemberRow exactly() const {
        static_assert(isObjectField<field>, "only object fields take a container type");
        MemberRow row = *this;
        row.row_.set = setObjectMember<field, ExactlyOf<Exact>>;
        row.row_.notingSet = setNoting<setObjectMember<field, ExactlyOf<Exact>>>;
        row.row_.convert = convertObjectArgument<ExactlyOf<Exact>>;
        // Python code that holds a list or dict changes it in place.
        if constexpr (std::is_same_v<Exact, List> || std::is_same_v<Exact, Dict>)
            row.row_.handingOut = getHandingOut<field>;
        return row;
    }

    constexpr operator Member() const { return row_; }

  private:
    constexpr MemberRow withPublic(const char* name, bool writable, const char* doc) const {
        MemberRow row = *this;
        row.row_.publicName = name;
        row.row_.publicWritable = writable;
        row.row_.doc = doc;
        return row;
    }

    Member row_;
};

// A stored field; `name` is the name pickling gives it (none for a field that is
// never pickled, because its class refuses pickling).
template <auto field> constexpr MemberRow<field> member(const char* name = nullptr) {
    return MemberRow<field>(name);
}

// A fixed array of doubles, stored in the object: pickled as a list of floats and
// restored from any iterable of exactly its length (toDoubleArray). It has no property
// and no __init__ parameter.
//   py::doubleArray<&MovementSystem::normalVectorComponents>("_normalVectorComponents")
template <auto field> PyObject* getDoubleArray(PyObject* self, void*) {
    auto& array = fieldOf<field>(self);
    constexpr Py_ssize_t length =
        Py_ssize_t(std::extent_v<std::remove_reference_t<decltype(array)>>);
    Ref list(PyList_New(length));
    if (!list) return nullptr;
    for (Py_ssize_t i = 0; i < length; ++i) {
        PyObject* item = PyFloat_FromDouble(array[i]);
        if (!item) return nullptr;
        PyList_SET_ITEM(list.get(), i, item);
    }
    return list.release();
}

template <auto field> int setDoubleArray(PyObject* self, PyObject* value, void*) {
    if (!value) return deleteRefused();
    auto& array = fieldOf<field>(self);
    constexpr Py_ssize_t length =
        Py_ssize_t(std::extent_v<std::remove_reference_t<decltype(array)>>);
    return toDoubleArray(value, array, length) ? 0 : -1;
}

inline bool refuseArrayArgument(PyObject*, Value&, const char*) {
    return raise(PyExc_SystemError, "an array field is no __init__ parameter");
}
inline void storeNothing(PyObject*, Value&) {}

template <auto field> Member doubleArray(const char* name) {
    Member row;
    row.name = name;
    row.get = getDoubleArray<field>;
    row.set = setDoubleArray<field>;
    row.convert = refuseArrayArgument;
    row.store = storeNothing;
    return row;
}

// A property the class computes: its getter and, if it is writable, its setter.
template <auto get, auto set = nullptr>
PyGetSetDef property(const char* name, const char* doc = nullptr) {
    if constexpr (set == nullptr)
        return {name, guarded<get>, nullptr, doc, nullptr};
    else
        return {name, guarded<get>, guarded<set>, doc, nullptr};
}

} // namespace py
