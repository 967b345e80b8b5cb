// The movement step: an entity's impulse decays by its friction, the entity moves by its
// velocity plus impulse over the time step, and a collision body is kept out of the other
// bodies and out of the level's walls on the way, each contact fired as a CollisionEvent
// at once.
//
// Components and vectors are read and written as the engine's structs, never through
// Python-level methods. Entities that are exactly Entity are read directly; any other
// object answers getComponent by name. Bodies are found through a BodyIndex kept for the
// whole pass while no Python code runs.
#pragma once

#include "collision.hpp"
#include "collisionBodies.hpp"
#include "core/levelGrid.hpp"

#include <vector>

// The working state of one pass over the members (one update, or one _updateEntity
// called by itself).
class MovementPass {
  public:
    BodyIndex bodies;
    std::vector<uint32_t> candidates; // reused from one mover to the next

    // The walls of `level` (a Level), read once while no Python code runs.
    const levelGrid::View& walls(PyObject* level);

    // Python code may have run: the snapshot and the walls are stale.
    void pythonRan() {
        bodies.invalidate();
        wallsOf_ = nullptr;
    }
    // The pass changed this vector in place.
    void moved(PyObject* vector) { bodies.vectorMoved(vector); }

  private:
    PyObject* wallsOf_ = nullptr; // the level whose view `walls_` is, while it is current
    levelGrid::View walls_;
};

// MovementSystem._updateEntity(entity, timeStep) within a pass: an error in the impulse
// decay, the move or a plain move is returned (false, set); the collision step prints its
// own errors.
bool updateEntity(MovementSystem* self, PyObject* entity, PyObject* timeStep, MovementPass& pass);

// The update pass of a system that is exactly a MovementSystem: every member of a copy of
// the member list, in order, in one pass.
bool updateMembers(PyObject* self, PyObject* members, PyObject* timeStep);

// The table entry _moveWithCollisionDetection.
void moveWithCollisionDetection(MovementSystem* self, PyObject* entity, PositionComponent* position,
                                CollisionComponent* body, raycast::Vec2 move, MovementPass& pass);
