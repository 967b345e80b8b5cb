// What the movement pass knows of the collision bodies: a snapshot of a body list with,
// for each body, the entity, its CollisionComponent and the Vector2 of its position,
// held, and their numbers in a grid (core/bodyGrid.hpp) that finds the few bodies a mover
// could touch.
//
// The snapshot stays true while no Python code runs: only Python code changes a list, a
// component dict, a radius, a flag list or which vector a position holds; positions
// change in between only through the pass itself, which reports every vector it moves
// (vectorMoved). Whoever may have let Python code run (a handler, a method called by
// name, a comparison of arbitrary objects, the unraisable hook) invalidates it, and the
// next use builds it again from the list as it is then. The snapshot holds strong
// references, so it never reads a freed object, whatever ran.
//
// A body whose entity is exactly an Entity with both components and a position vector
// is "plain": the pass reads it from here. Any other (a Python subclass, which answers
// getComponent by name; a missing component; a vector that is None) is visited in the
// list's order the long way, by the plain algorithm.
#pragma once

#include "core/bodyGrid.hpp"
#include "py/ref.hpp"

#include <cstdint>
#include <utility>
#include <vector>

struct CollisionComponent;
struct Vector2;

// entity.getComponent(componentType): the stored component of an entity that is exactly
// an Entity, by attribute lookup for any other object. `pythonMayRun` is set when the
// lookup went by name. Null with the error set on failure.
py::Ref componentOf(PyObject* entity, PyTypeObject* componentType, bool& pythonMayRun);
// A fetched component must be None or of the class: TypeError "Cannot convert ..." else.
bool checkComponent(PyObject* component, PyTypeObject* componentType);

// Whether a flag list can be searched without running Python code or failing: exactly a
// list of str, int, float, bool and None.
bool plainFlags(PyObject* flags);

class BodyIndex {
  public:
    struct Body {
        py::Ref entity;
        py::Ref component; // a CollisionComponent when plain
        py::Ref vector;    // the position's Vector2 when plain
        bool plain = false;
        bool plainFlags = false; // its hasFlags can be searched from here
    };

    // Built from `list` and valid since: the caller may read the snapshot.
    bool current(PyObject* list) const {
        return valid_ && list_.get() == list && PyList_GET_SIZE(list) == Py_ssize_t(bodies_.size());
    }
    void invalidate() { valid_ = false; }
    // Snapshots `list` (exactly a list) as it is now.
    void build(PyObject* list);

    const Body& body(size_t i) const { return bodies_[i]; }
    CollisionComponent* component(size_t i) const;
    Vector2* vector(size_t i) const;

    // The vector, held by some bodies perhaps, now stands elsewhere.
    void vectorMoved(PyObject* vector);

    // The bodies from `from` on within reach of (x, y) (BodyGrid::candidates), with every
    // body that is not plain, and those whose flags cannot be searched from here when
    // `withFlags`, ascending.
    void candidates(double x, double y, double reach, size_t from, bool withFlags,
                    std::vector<uint32_t>& out) const;

  private:
    bool valid_ = false;
    py::Ref list_;
    std::vector<Body> bodies_;
    collision::BodyGrid grid_;
    // The plain bodies by their vector: an open-addressed table of the first body that
    // holds each vector, and for each body the next one holding the same (or -1).
    std::vector<std::pair<PyObject*, int64_t>> byVector_;
    std::vector<int64_t> sameVector_;
    std::vector<uint32_t> unplainFlags_; // ascending
    std::vector<collision::GridBody> scratch_;
};
