// Collision and movement: the MovementSystem that moves entities by their velocity and
// impulse and keeps collision bodies out of each other and out of the level's walls, the
// CollisionBodySystem that keeps the bodies of an Ecs and answers ray queries against
// them, and the CollisionEvent fired for every contact. The arithmetic lives in
// core/collision.* and core/bodyGrid.*; the movement step, the body snapshot and the ray
// queries in collision/.
#pragma once

#include "collision/bodies.hpp"
#include "core/collision.hpp"
#include "core/raycast.hpp"
#include "events.hpp"
#include "resources/entity.hpp"

#include <memory>
#include <vector>

struct CollisionEvent : Event {
    PyObject* entity1; // Entity or None: the body that moved
    PyObject* entity2; // Entity or None: the body it touched; None for a wall

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

struct CollisionBodySystemOps {
    // The nearest point strictly ahead of p1 where the line through p1 and p2 meets the
    // circle, in single precision; false when there is none.
    bool (*getClosestLineCircleIntersections)(const raycast::Vec2& center, float radius,
                                              const raycast::Vec2& p1, const raycast::Vec2& p2,
                                              raycast::Vec2& hit);
};

struct CollisionBodySystem : AbstractSystem {
    const CollisionBodySystemOps* ops;

    struct Native {
        // The ray queries' snapshot of the bodies and the bodies near a ray, from one query
        // to the next (collision/trace.cpp); `tracing` while a query reads them.
        BodyIndex bodies;
        std::vector<BodyIndex::Found> near;
        bool tracing = false;
        // The PositionComponent and CollisionComponent of each body visited the long way.
        ComponentsSeen<2> traced;
    } native;

    using Base = AbstractSystem;
    static inline PyTypeObject* type = nullptr;
    static const CollisionBodySystemOps table;
};

struct MovementSystem;
struct PositionComponent;
struct CollisionComponent;
struct Vector2;
class MovementPass;

struct MovementSystemOps {
    // The collision step of one entity (collision/step.cpp); never raises: an error is
    // printed as unraisable and ends the step without moving the entity.
    void (*moveWithCollisionDetection)(MovementSystem* self, PyObject* entity,
                                       PositionComponent* position, CollisionComponent* body,
                                       raycast::Vec2 move, MovementPass& pass);
};

// What a movement system keeps from one pass to the next: no reference, only what lets
// the next pass see quickly what has not changed (collision/bodies.hpp).
struct MovementMemory {
    BodyIndex bodies;
    MoverComponents movers;
    std::vector<uint32_t> moverBodies;        // by mover: the body that holds its vector, if known
    std::vector<BodyIndex::Found> candidates; // reused from one mover to the next
    // The solid cells of the grid whose tag (levelGrid::Cells) and size are these.
    collision::WallMap wallMap;
    bool wallMapMade = false;
    uint64_t wallMapTag = 0;
    int32_t wallMapWidth = 0, wallMapHeight = 0;
    bool inUse = false; // by a pass; one nested in a handler keeps its own
};

struct MovementSystem : AbstractSystem {
    const MovementSystemOps* ops;
    PyObject* level; // Level or None: its walls block movement
    PyObject* cbs;   // CollisionBodySystem or None: the bodies, kept beside this system
    double normalVectorComponents[16]; // the wall probes as (x, y) pairs

    struct Native {
        // What one pass leaves for the next; made by the first pass.
        std::unique_ptr<MovementMemory> memory;
    } native;

    using Base = AbstractSystem;
    static inline PyTypeObject* type = nullptr;
    static const MovementSystemOps table;
};

// --- the parts, in collision/ -------------------------------------------------------------

// step.cpp: MovementSystem._updateEntity(entity, timeStep) in a pass of its own; an error
// in the impulse decay, the move or a plain move is returned (false, set), the collision
// step prints its own errors.
bool updateEntity(MovementSystem* self, PyObject* entity, PyObject* timeStep);
// step.cpp: the update pass of a system that is exactly a MovementSystem: every member of
// a copy of the member list, in order, in one pass.
bool updateMembers(PyObject* self, PyObject* members, PyObject* timeStep);
// step.cpp: the table entry _moveWithCollisionDetection.
void moveWithCollisionDetection(MovementSystem* self, PyObject* entity, PositionComponent* position,
                                CollisionComponent* body, raycast::Vec2 move, MovementPass& pass);

// trace.cpp: the ray queries of a CollisionBodySystem. The pairs (entity, distance) of the
// bodies of `members` (a list) that the ray from `from` towards `end` meets strictly
// between `from` and maxDist, nearest first, bodies at the same distance in list order.
// Null with the error set on failure.
PyObject* traceBodies(CollisionBodySystem* system, PyObject* members, Vector2* from,
                      const raycast::Vec2& end, float maxDist);

py::ClassDef& collisionEventClass();
py::ClassDef& collisionBodySystemClass();
py::ClassDef& movementSystemClass();
