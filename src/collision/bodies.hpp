// What the movement pass and the ray queries know of the entities they read: a snapshot
// of a body list with, for each body, the entity, its CollisionComponent, its
// PositionComponent and the Vector2 of its position, and their places in a grid
// (core/bodyGrid.hpp) that finds the few bodies a mover or a ray could touch; and the
// components of each mover.
//
// Nothing here holds a reference: a movement system keeps its snapshot from one pass to
// the next, a body system its own from one query to the next, and neither may keep its
// bodies alive or hide them from the collector. The pointers are borrowed and followed
// only while the snapshot is known to be true. It stays true without reading the bodies
// again: every engine writer of what it read notes the object in the change log
// (py/changes.hpp), and catchUp reads the log since the last time and reads again only
// the bodies it names (a vector moved: its place in the grid; anything else: the body from
// its entity on). What the log cannot tell, the snapshot checks whenever Python code may
// have run since:
//   - the list, when something besides its system (and the caller) holds it: its items are
//     compared with those read;
//   - a components dict that something besides its entity holds: its version tag
//     (py/dictVersion.hpp);
//   - a flag list that something besides its CollisionComponent holds: whether it can
//     still be searched without running Python code, once for each such list.
// A container that nothing else holds can be changed only through its owner, whose
// writers note it, or by code that got it from its owner, whose readers note that, or
// from the collector's lists, whose audit events drop the log; a dropped log, a new list
// or a missing audit hook make catchUp read every body again. Each object is read only
// once the one that holds it is known to hold it, so no freed memory is ever followed.
//
// Bodies keep their numbers in the grid (ids) while the list changes around them: a
// member that leaves frees its id, one that joins takes a free one, and only the places
// of the bodies behind the change move.
//
// A body whose entity is exactly an Entity holding exactly a dict of classes, with both
// components and a position vector, is "plain": the pass reads it from here. Any other (a
// Python subclass, which answers getComponent by name; a missing component; a vector that
// is None) is visited in the list's order the long way, by the plain algorithm.
#pragma once

#include "core/addressIndex.hpp"
#include "core/bodyGrid.hpp"
#include "core/raycast.hpp"
#include "py/changes.hpp"
#include "py/ref.hpp"

#include <cstdint>
#include <unordered_map>
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

// A set of ids that takes one in and lets one go in constant time, in no particular order.
class IdSet {
  public:
    void clear() {
        ids_.clear();
        at_.clear();
    }
    void insert(uint32_t id);
    void erase(uint32_t id);
    size_t size() const { return ids_.size(); }
    bool empty() const { return ids_.empty(); }
    const uint32_t* begin() const { return ids_.data(); }
    const uint32_t* end() const { return ids_.data() + ids_.size(); }

  private:
    static constexpr uint32_t absent = UINT32_MAX;
    std::vector<uint32_t> ids_;
    std::vector<uint32_t> at_; // by id: its place in ids_, or absent
};

class BodyIndex {
  public:
    struct Body {
        PyObject* entity = nullptr; // the list's item at its place
        DictSeen components;        // of the entity, when plainComponents gave a dict
        CollisionComponent* collider = nullptr;
        PositionComponent* position = nullptr;
        Vector2* vector = nullptr; // when plain (Hot below: what the pass reads of it)
        PyObject* flags = nullptr; // the collider's hasFlags, when plain
        bool living = false;
        bool dictShared = false;   // something besides the entity held its dict
        bool flagsShared = false;  // something besides the collider held its flags
        bool vectorShared = false; // another body held its vector too, when read
    };

    // What the body pass reads of each candidate, side by side for the cache: copies of
    // the fields of its CollisionComponent, as they are while the snapshot is true.
    struct Hot {
        CollisionComponent* collider; // null unless plain
        double radius;
        bool plain;
        bool trigger;
        bool plainFlags; // its hasFlags can be searched without running Python code
    };

    // Caught up with `list` and no Python code run since: the caller may read the
    // snapshot.
    bool current(PyObject* list) const {
        return !stale_ && list_ == list && reader_.caughtUp() &&
               PyList_GET_SIZE(list) == Py_ssize_t(idAt_.size());
    }
    // Python code may have run: what the log cannot tell must be checked again.
    void pythonRan() { stale_ = true; }
    // The grid may file its bodies again at the next catch-up (a pass begins).
    void settleSoon() { settle_ = true; }
    // Brings the snapshot up to date with `list` (a list) as it is now, of which `owner`
    // (an object of AbstractSystem's layout) is the system, and which the caller holds
    // `held` references to. Runs no Python code. Whether anything it held changed: bodies,
    // their places or where they stand.
    bool catchUp(PyObject* list, PyObject* owner, Py_ssize_t held);
    // Whether catching up after Python code costs a read of the whole list or more: the
    // list or many of its bodies' containers are held elsewhere.
    bool catchUpIsCostly() const { return listShared_ || 8 * sharedDicts_.size() > idAt_.size(); }

    size_t size() const { return idAt_.size(); }
    // A body as the queries name it: its place in the list and its id, which names it in
    // the snapshot (place << 32 | id, so that such numbers sort by place).
    using Found = uint64_t;
    static size_t placeOf(Found body) { return size_t(body >> 32); }
    Found at(size_t place) const { return Found(place) << 32 | idAt_[place]; }
    const Body& body(Found body) const { return bodies_[uint32_t(body)]; }
    const Hot& hot(Found body) const { return hot_[uint32_t(body)]; }
    // Where a plain body stands: its vector's x and y.
    raycast::Vec2 centre(Found body) const {
        return {grid_.x(uint32_t(body)), grid_.y(uint32_t(body))};
    }

    // The vector, held by some bodies perhaps, was written (Vector2::assign noted it).
    // `hint` names the body that holds it, if any, as far as the caller knows, and is set to
    // the one that does when it is the only one.
    void vectorMoved(PyObject* vector, uint32_t& hint);

    // The bodies from place `from` on within reach of (x, y) (BodyGrid::candidates), with
    // every body that is not plain, and those whose flags cannot be searched from here when
    // `withFlags`, ascending: the first ones of `out`, as many as it returns (`out` keeps its
    // size from one query to the next).
    size_t candidates(double x, double y, double reach, size_t from, bool withFlags,
                      std::vector<Found>& out);
    // The bodies near the segment from (x0, y0) to (x1, y1) (BodyGrid::alongSegment), with
    // every body that is not plain, in no particular order.
    void alongSegment(double x0, double y0, double x1, double y1, double reach,
                      std::vector<Found>& out);
    // The largest |radius| of the bodies that the grid places.
    double largestRadius() const { return grid_.largestRadius(); }
    // The first place whose body is not plain, or size().
    size_t firstUnplain() const;

  private:
    // What the parts index tells of an address: the body's id and which of its objects
    // lies there.
    enum Role : uint32_t { entityRole, positionRole, colliderRole, vectorRole };

    void readAll(PyObject* list, PyObject* owner, Py_ssize_t held);
    bool sharedList(PyObject* list, PyObject* owner, Py_ssize_t held) const;
    bool sameItems(PyObject* list) const;
    void splice(PyObject* list);
    uint32_t newBody(PyObject* entity, uint32_t place);
    void dropBody(uint32_t id);
    collision::GridBody readFields(uint32_t id);
    void readBody(uint32_t id);
    void forgetBody(uint32_t id);
    void mark(uint32_t id);
    void readMarked();
    void checkSharedDicts();
    void checkSharedFlags();
    bool move(uint32_t id, PyObject* vector);

    bool stale_ = true;
    bool settle_ = false;
    PyObject* list_ = nullptr;  // compared only
    PyObject* owner_ = nullptr; // compared only
    bool listShared_ = true;
    py::changes::Reader reader_;

    std::vector<PyObject*> entities_; // by place: the list's items as read
    std::vector<uint32_t> idAt_;      // by place
    std::vector<Body> bodies_;        // by id
    std::vector<Hot> hot_;            // by id
    std::vector<uint32_t> placeOf_;   // by id
    std::vector<uint32_t> freeIds_;
    AddressIndex parts_; // each body's entity, components and vector -> id and role
    collision::BodyGrid grid_;

    IdSet unplain_;      // the bodies that are not plain
    IdSet unplainFlags_; // the plain bodies whose flags cannot be searched from here
    IdSet sharedDicts_;  // the bodies whose dicts are held elsewhere
    // The flag lists held elsewhere, each with whether it could be searched when read, and
    // how many bodies hold it.
    struct SharedFlags {
        bool plain;
        uint32_t bodies;
    };
    std::unordered_map<PyObject*, SharedFlags> sharedFlags_;

    // The work of one catch-up.
    std::vector<uint32_t> marked_;                      // ids to read again
    std::vector<uint64_t> markedIn_;                    // by id: the catch-up that marked it
    uint64_t catchUps_ = 0;                             // numbers the catch-ups
    std::vector<std::pair<uint32_t, PyObject*>> moves_; // ids whose vectors were written
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
