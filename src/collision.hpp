// Collision and movement: the MovementSystem that moves entities by their velocity and
// impulse and keeps collision bodies out of each other and out of the level's walls, the
// CollisionBodySystem that keeps the bodies of an Ecs and answers ray queries against
// them, and the CollisionEvent fired for every contact. The arithmetic lives in
// core/collision.* and core/bodyGrid.*; the movement step in collisionStep.*.
#pragma once

#include "collisionBodies.hpp"
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
        // to the next (collisionTrace.hpp); `tracing` while a query reads them.
        BodyIndex bodies;
        std::vector<uint32_t> near;
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
class MovementPass;

struct MovementSystemOps {
    // The collision step of one entity (collisionStep.cpp); never raises: an error is
    // printed as unraisable and ends the step without moving the entity.
    void (*moveWithCollisionDetection)(MovementSystem* self, PyObject* entity,
                                       PositionComponent* position, CollisionComponent* body,
                                       raycast::Vec2 move, MovementPass& pass);
};

struct MovementMemory;

struct MovementSystem : AbstractSystem {
    const MovementSystemOps* ops;
    PyObject* level; // Level or None: its walls block movement
    PyObject* cbs;   // CollisionBodySystem or None: the bodies, kept beside this system
    double normalVectorComponents[16]; // the wall probes as (x, y) pairs

    struct Native {
        // What one pass leaves for the next (collisionStep.hpp); made by the first pass.
        std::unique_ptr<MovementMemory> memory;
    } native;

    using Base = AbstractSystem;
    static inline PyTypeObject* type = nullptr;
    static const MovementSystemOps table;
};

py::ClassDef& collisionEventClass();
py::ClassDef& collisionBodySystemClass();
py::ClassDef& movementSystemClass();
