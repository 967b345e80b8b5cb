// Members: one row declares everything a stored field of an engine object is.
//   py::member<&KeyEvent::key>("_key").readonly("key")
// is the field `key`, pickled under "_key", read by game code as the read-only
// property `key`. A row may add:
//   .readonly("name") / .readwrite("name")   the public property
//   .exposed()                               the stored name as a read-write property too
//   .typed<&Texture::type>()                 an object field that takes that class or None
//   .exactly<py::List>()                     an object field that takes exactly a list or None
//   .undeletable()                           an object field whose property refuses deletion
// Value fields: int32_t, double, bool (a flag). Object fields: PyObject*, never null once
// the object is constructed. Writing converts as the field's rule says; deleting an
// object field stores None (unless its row says otherwise), deleting any other field
// raises NotImplementedError "__del__". The toolkit derives from the rows the class's properties,
// its pickled state, its GC traversal and, where the class asks for it (py::memberInit), its
// __init__: one parameter per row, named by the public property.
//
// Properties computed by the class itself are rows too:
//   py::property<Texture_getWidth>("width")
#pragma once

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

// One converted argument of an __init__, held between the conversions and the stores.
union Value {
    int32_t int32;
    double float64;
    bool flag;
    PyObject* object; // borrowed from the arguments
};

inline bool fromPython(PyObject* value, int32_t& out) {
    return toInt32(value, out);
}
inline bool fromPython(PyObject* value, double& out) {
    return toDouble(value, out);
}
inline bool fromPython(PyObject* value, bool& out) {
    return toFlag(value, out);
}

template <class T> T& valueOf(Value& value) {
    if constexpr (std::is_same_v<T, int32_t>) return value.int32;
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

// An object field takes None or what its rule accepts; deleting it stores None, or
// refuses as a value field does.
template <auto field, class Rule, bool deletable>
int setObjectMember(PyObject* self, PyObject* value, void*) {
    if (!value) {
        if constexpr (!deletable) return deleteRefused();
        value = Py_None;
    }
    if (value != Py_None && !Rule::accepts(value)) return Rule::refuseField(value);
    assign(fieldOf<field>(self), value);
    return 0;
}

template <auto field> bool convertValueArgument(PyObject* value, Value& out, const char*) {
    return fromPython(value, valueOf<typename MemberOf<decltype(field)>::Type>(out));
}

template <class Rule>
bool convertObjectArgument(PyObject* value, Value& out, const char* argument) {
    if (value != Py_None && !Rule::accepts(value)) return Rule::refuseArgument(value, argument);
    out.object = value;
    return true;
}

template <auto field> void storeValue(PyObject* self, Value& value) {
    fieldOf<field>(self) = valueOf<typename MemberOf<decltype(field)>::Type>(value);
}
template <auto field> void storeObject(PyObject* self, Value& value) {
    assign(fieldOf<field>(self), value.object);
}

template <auto field> PyObject** objectSlot(PyObject* self) {
    return &fieldOf<field>(self);
}

// --- rows -------------------------------------------------------------------------------

struct Member {
    const char* name = nullptr;       // the stored name, which pickling uses ("_key")
    const char* publicName = nullptr; // the public property, if any
    bool publicWritable = false;
    bool exposed = false; // the stored name is a read-write property too
    const char* doc = nullptr;
    getter get = nullptr;
    setter set = nullptr;                      // the field's rule, for properties and unpickling
    PyObject** (*object)(PyObject*) = nullptr; // object fields: the slot holding the reference
    bool (*convert)(PyObject*, Value&, const char* argument) = nullptr; // an __init__ argument
    void (*store)(PyObject* self, Value& value) = nullptr;

    // The name of the __init__ parameter that sets it.
    const char* parameterName() const { return publicName ? publicName : name; }
};

// `Rule` and `deletable` apply to object fields only.
template <auto field, class Rule = AnyObject, bool deletable = true> class MemberRow {
  public:
    constexpr explicit MemberRow(const char* name) {
        row_.name = name;
        row_.get = getMember<field>;
        if constexpr (isObjectField<field>) {
            row_.set = setObjectMember<field, Rule, deletable>;
            row_.object = objectSlot<field>;
            row_.convert = convertObjectArgument<Rule>;
            row_.store = storeObject<field>;
        } else {
            row_.set = setValueMember<field>;
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
    template <PyTypeObject** type>
    constexpr MemberRow<field, InstanceOf<type>, deletable> typed() const {
        static_assert(isObjectField<field>, "only object fields take a class");
        return MemberRow<field, InstanceOf<type>, deletable>(row_);
    }
    template <class Exact> constexpr MemberRow<field, ExactlyOf<Exact>, deletable> exactly() const {
        static_assert(isObjectField<field>, "only object fields take a container type");
        return MemberRow<field, ExactlyOf<Exact>, deletable>(row_);
    }
    // Deleting the property raises NotImplementedError "__del__" instead of storing None.
    constexpr MemberRow<field, Rule, false> undeletable() const {
        static_assert(isObjectField<field>, "value fields refuse deletion already");
        return MemberRow<field, Rule, false>(row_);
    }

    constexpr operator Member() const { return row_; }

  private:
    template <auto, class, bool> friend class MemberRow;

    // The same row under another rule: the names and properties stay.
    constexpr explicit MemberRow(const Member& row) : MemberRow(row.name) {
        const Member rule = row_;
        row_ = row;
        row_.set = rule.set;
        row_.convert = rule.convert;
    }

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

// A property the class computes: its getter and, if it is writable, its setter.
template <auto get, auto set = nullptr>
PyGetSetDef property(const char* name, const char* doc = nullptr) {
    if constexpr (set == nullptr)
        return {name, guarded<get>, nullptr, doc, nullptr};
    else
        return {name, guarded<get>, guarded<set>, doc, nullptr};
}

} // namespace py
