// What the movement pass knows of the entities it reads: a snapshot of a body list with,
// for each body, the entity, its CollisionComponent, its PositionComponent and the
// Vector2 of its position, and their numbers in a grid (core/bodyGrid.hpp) that finds
// the few bodies a mover could touch; and the components of each mover.
//
// Nothing here holds a reference: a movement system keeps both from one pass to the next
// and must not keep its bodies alive or hide them from the collector. The pointers are
// borrowed and read only while the snapshot is current, that is while no Python code
// has run since it was refreshed: only Python code changes a list, a component dict, a
// radius, a flag list or which vector a position holds, and frees what they held;
// positions change in between only through the pass itself, which reports every vector
// it moves (vectorMoved). Whoever may have let Python code run (a handler, a method
// called by name, a comparison of arbitrary objects, the unraisable hook) marks it
// stale, and refresh() brings it up to date with the list as it is then.
//
// A refresh reads every body again but looks up its components only when its dict has
// changed: the components read from a dict are remembered with the dict's version tag
// (py/dictVersion.hpp), which changes with every change of that dict. So what it compares
// is never freed memory: a remembered pointer is followed only after the live entity's
// live dict has shown the same tag, and that dict still holds the component.
//
// A body whose entity is exactly an Entity with both components and a position vector
// is "plain": the pass reads it from here. Any other (a Python subclass, which answers
// getComponent by name; a missing component; a vector that is None) is visited in the
// list's order the long way, by the plain algorithm.
#pragma once

#include "core/bodyGrid.hpp"
#include "core/raycast.hpp"
#include "py/ref.hpp"

#include <cstdint>
#include <utility>
#include <vector>

struct CollisionComponent;
struct PositionComponent;
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

// The components dict of `entity` when it is exactly an Entity holding exactly a dict,
// else null.
PyObject* plainComponents(PyObject* entity);

// What was read from a components dict, and how to tell that it still holds: the dict
// and its version tag, when lookups in it run no Python code (every key a class of the
// plain metaclass) and the host tags versions.
struct DictSeen {
    PyObject* dict = nullptr; // borrowed, compared only
    uint64_t version = 0;
    bool known = false;

    bool holds(PyObject* liveDict) const;
    void seen(PyObject* liveDict);
};

class BodyIndex {
  public:
    struct Body {
        PyObject* entity = nullptr; // the list's item
        DictSeen components;        // of the entity, when plainComponents gave a dict
        CollisionComponent* collider = nullptr;
        PositionComponent* position = nullptr;
        Vector2* vector = nullptr; // when plain (Hot below: what the pass reads of it)
    };

    // Refreshed from `list` and no Python code run since: the caller may read the
    // snapshot.
    bool current(PyObject* list) const {
        return !stale_ && list_ == list && PyList_GET_SIZE(list) == Py_ssize_t(bodies_.size());
    }
    void invalidate() { stale_ = true; }
    // Brings the snapshot up to date with `list` (a list) as it is now. Runs no Python
    // code. Without `withFlags` the flags are not read (Hot::plainFlags stays false).
    void refresh(PyObject* list, bool withFlags = true);

    // What the body pass reads of each candidate, side by side for the cache: copies of
    // the fields of its CollisionComponent, as they are while the snapshot is current.
    struct Hot {
        CollisionComponent* collider; // null unless plain
        double radius;
        bool plain;
        bool trigger;
        bool plainFlags;
    };

    size_t size() const { return bodies_.size(); }
    const Body& body(size_t i) const { return bodies_[i]; }
    const Hot& hot(size_t i) const { return hot_[i]; }
    // Where the body of a plain body stands: its vector's x and y.
    raycast::Vec2 at(size_t i) const { return {grid_.x(i), grid_.y(i)}; }

    // The vector, held by some bodies perhaps, now stands elsewhere. `hint` is where in
    // the list a body holding it may be.
    void vectorMoved(PyObject* vector, size_t hint);

    // The bodies from `from` on within reach of (x, y) (BodyGrid::candidates), with every
    // body that is not plain, and those whose flags cannot be searched from here when
    // `withFlags`, ascending.
    void candidates(double x, double y, double reach, size_t from, bool withFlags,
                    std::vector<uint32_t>& out);
    // The bodies near the segment from (x0, y0) to (x1, y1) (BodyGrid::alongSegment),
    // with every body that is not plain, in no particular order.
    void alongSegment(double x0, double y0, double x1, double y1, double reach,
                      std::vector<uint32_t>& out) {
        grid_.alongSegment(x0, y0, x1, y1, reach, out);
    }
    // The largest |radius| of the bodies that the grid places.
    double largestRadius() const { return grid_.largestRadius(); }
    // The first body that is not plain, or size().
    size_t firstUnplain() const { return firstUnplain_; }

  private:
    static bool stillPlain(const Body& body);
    bool refreshPositions(PyObject* list, bool withFlags);
    static void readAgain(Body& body);
    void reshape(PyObject* list);
    void indexVectors();

    bool stale_ = true;
    PyObject* list_ = nullptr; // compared only
    size_t firstUnplain_ = 0;
    std::vector<Body> bodies_;
    std::vector<Hot> hot_;
    std::vector<Body> previous_; // the bodies before a reshape, found again by entity
    std::vector<std::pair<PyObject*, int64_t>> byEntity_;
    collision::BodyGrid grid_;
    // The plain bodies by their vector: an open-addressed table of the first body that
    // holds each vector, and for each body the next one holding the same (or -1).
    std::vector<std::pair<PyObject*, int64_t>> byVector_;
    std::vector<int64_t> sameVector_;
    std::vector<int64_t> firstWithVector_; // by body: the first body holding its vector
    std::vector<uint32_t> unplainFlags_;   // ascending
    std::vector<collision::GridBody> scratch_;
};

// The components of the entities of a list, remembered by each entity's place in it
// under the same rule as the bodies' components: looked up again only when the entity's
// dict has changed. A movement pass keeps the three of its movers, a ray query the two of
// its bodies.
template <size_t Count> class ComponentsSeen {
  public:
    static constexpr size_t nowhere = SIZE_MAX; // an entity outside any list

    // The components of `entity` of each type, as getComponent gives them, looked up and
    // checked in order; false with the error set on failure. `byName` is set when a
    // lookup went by name.
    bool fetch(size_t place, PyObject* entity, PyTypeObject* const (&types)[Count],
               py::Ref (&found)[Count], bool& byName) {
        PyObject* components = place != nowhere ? plainComponents(entity) : nullptr;
        DictSeen before; // tagged before the lookups, as for the bodies
        if (components) {
            if (place >= seen_.size()) seen_.resize(place + 1);
            Seen& seen = seen_[place];
            if (seen.components.holds(components)) {
                for (size_t k = 0; k < Count; ++k)
                    found[k] = py::Ref::borrow(seen.found[k]);
                return true;
            }
            before.seen(components);
            seen.components.known = false; // until every one is fetched and checked
        }
        for (size_t k = 0; k < Count; ++k) {
            found[k] = componentOf(entity, types[k], byName);
            if (!found[k] || !checkComponent(found[k].get(), types[k])) return false;
        }
        // Found again by its place: code run by a lookup may have used this memory.
        if (components && !byName && place < seen_.size()) {
            Seen& seen = seen_[place];
            for (size_t k = 0; k < Count; ++k)
                seen.found[k] = found[k].get();
            seen.components = before;
        }
        return true;
    }

  private:
    struct Seen {
        DictSeen components;
        PyObject* found[Count] = {}; // borrowed: held by the dict while its tag holds
    };
    std::vector<Seen> seen_;
};

using MoverComponents = ComponentsSeen<3>;
