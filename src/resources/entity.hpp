// The entity-component system: entities, the Ecs that holds systems and entities, and
// the base of every system. The components live in resources/motionComponents.hpp
// and resources/sprite.hpp.
#pragma once

#include "py/cast.hpp"
#include "py/classdef.hpp"
#include "py/import.hpp"

#include <cstdint>

struct Entity {
    PyObject_HEAD
    PyObject* components; // dict: the exact class of each component -> the component; or None
    PyObject* ecs;        // Ecs or None: the one that added it last
    int64_t id;           // -1 until an Ecs assigns one

    // The component stored under exactly this class (borrowed), or null.
    PyObject* component(PyTypeObject* componentType) const {
        if (!PyDict_CheckExact(components)) return nullptr;
        return PyDict_GetItem(components, py::asObject(componentType));
    }
    // The engine component of that class, for code that reads its fields directly:
    //   PositionComponent* at = entity->component<PositionComponent>();
    template <class T> T* component() const { return py::instanceOf<T>(component(T::type)); }

    static inline PyTypeObject* type = nullptr;
};

struct Ecs {
    PyObject_HEAD
    PyObject* systems;  // list: the update order; the engine's frame reads it directly
    PyObject* entities; // list
    PyObject* engine;   // Engine or None

    static inline PyTypeObject* type = nullptr;
};

struct AbstractSystem {
    PyObject_HEAD
    PyObject* interestedComponentTypes; // tuple
    PyObject* entities;                 // list of members
    PyObject* ecs;                      // Ecs or None
    PyObject* engine;                   // Engine or None

    static inline PyTypeObject* type = nullptr;
};

// Whether the entity holds a component of exactly each class of `types` (any iterable),
// tested in order up to the first missing one: 1, 0, or -1 with the error set. An
// entity that is not exactly an Entity is asked for its `_components` by attribute
// lookup.
int hasComponentTypes(PyObject* entity, PyObject* types);

// A system class of the engine that steps its members itself. For a system whose class is
// exactly that class (immutable, so its _updateEntity cannot differ from the engine's),
// AbstractSystem.update hands the whole pass over a copy of the member list to `pass`
// instead of calling _updateEntity by name for each member; the pass may keep working
// state from one member to the next.
using UpdatePass = bool (*)(PyObject* system, PyObject* members, PyObject* timeStep);
void setUpdatePass(PyTypeObject** exactType, UpdatePass pass);

py::ClassDef& entityClass();
py::ClassDef& ecsClass();
py::ClassDef& abstractSystemClass();
// BLENDMODE_BLEND and BLENDMODE_ADD, then the built-in components in the registry.
extern const py::Segment entitySegment;
