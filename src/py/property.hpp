// Typed properties over the fields of an engine object, generated from a member
// pointer: py::readonly<&KeyEvent::key>("key"), py::readwrite<&Vector2::x>("x").
// Value fields: int32_t, double, bool (a flag). Object fields: PyObject*, never null
// once the object is constructed. Deleting an object field stores None; deleting
// any other field raises NotImplementedError "__del__".
#pragma once

#include "py/convert.hpp"
#include "py/errors.hpp"

#include <type_traits>

namespace py {

template <class Pointer> struct MemberOf;
template <class C, class M> struct MemberOf<M C::*> {
    using Class = C;
    using Type = M;
};

template <auto member> auto& fieldOf(PyObject* self) {
    using Class = typename MemberOf<decltype(member)>::Class;
    return reinterpret_cast<Class*>(self)->*member;
}

inline bool fromPython(PyObject* value, int32_t& out) {
    return toInt32(value, out);
}
inline bool fromPython(PyObject* value, double& out) {
    return toDouble(value, out);
}
inline bool fromPython(PyObject* value, bool& out) {
    return toFlag(value, out);
}

template <auto member> PyObject* getField(PyObject* self, void*) {
    return toPython(fieldOf<member>(self));
}

// `type` (when given) points at the engine's reference to the class that an
// object field requires; None is always accepted.
template <auto member, PyTypeObject** type = nullptr>
int setField(PyObject* self, PyObject* value, void*) {
    using Type = typename MemberOf<decltype(member)>::Type;
    if constexpr (std::is_same_v<Type, PyObject*>) {
        if (!value) value = Py_None;
        if (type && value != Py_None && !PyObject_TypeCheck(value, *type))
            return cannotConvert(value, *type);
        assign(fieldOf<member>(self), value);
    } else {
        if (!value) return deleteRefused();
        Type converted;
        if (!fromPython(value, converted)) return -1;
        fieldOf<member>(self) = converted;
    }
    return 0;
}

// Object fields typed as a built-in container take exactly that type (no subclass)
// or None; anything else raises "Expected list, got X".
struct ListType {
    static constexpr const char* label = "list";
    static bool check(PyObject* value) { return PyList_CheckExact(value); }
};
struct TupleType {
    static constexpr const char* label = "tuple";
    static bool check(PyObject* value) { return PyTuple_CheckExact(value); }
};

template <auto member, class Exact> int setExactField(PyObject* self, PyObject* value, void*) {
    if (!value) value = Py_None;
    if (value != Py_None && !Exact::check(value)) return expectedType(Exact::label, value);
    assign(fieldOf<member>(self), value);
    return 0;
}

template <auto member> constexpr PyGetSetDef readonly(const char* name, const char* doc = nullptr) {
    return {name, getField<member>, nullptr, doc, nullptr};
}

template <auto member, PyTypeObject** type = nullptr>
constexpr PyGetSetDef readwrite(const char* name, const char* doc = nullptr) {
    return {name, getField<member>, setField<member, type>, doc, nullptr};
}

template <auto member, class Exact>
constexpr PyGetSetDef readwriteExact(const char* name, const char* doc = nullptr) {
    return {name, getField<member>, setExactField<member, Exact>, doc, nullptr};
}

} // namespace py
