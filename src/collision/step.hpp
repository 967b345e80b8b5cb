// The movement step: an entity's impulse decays by its friction, the entity moves by its
// velocity plus impulse over the time step, and a collision body is kept out of the other
// bodies and out of the level's walls on the way, each contact fired as a CollisionEvent
// at once.
//
// Components and vectors are read and written as the engine's structs, never through
// Python-level methods. Entities that are exactly Entity are read directly; any other
// object answers getComponent by name. Bodies are found through a BodyIndex kept for the
// whole pass, and from pass to pass, caught up after Python code has run.
#pragma once

#include "collision.hpp"

#include <memory>
#include <vector>

// The working state of one pass over the members (one update, or one _updateEntity
// called by itself).
class MovementPass {
  public:
    // Works with the system's memory unless another pass is using it.
    explicit MovementPass(MovementSystem* system);
    ~MovementPass();
    MovementPass(const MovementPass&) = delete;
    MovementPass& operator=(const MovementPass&) = delete;

    BodyIndex& bodies() { return memory_->bodies; }
    MoverComponents& movers() { return memory_->movers; }
    std::vector<BodyIndex::Found>& candidates() { return memory_->candidates; }
    size_t place = MoverComponents::nowhere; // of the current mover in the pass's list

    // The walls of `level` (a Level), read once while no Python code runs.
    const collision::WallGrid& walls(PyObject* level);

    // Python code may have run: the snapshot and the walls are stale.
    void pythonRan() {
        memory_->bodies.pythonRan();
        wallsOf_ = nullptr;
    }
    // Writes the vector in place, and tells the snapshot and the change log; the current
    // mover's position vector, or another.
    void writePosition(Vector2* vector, double x, double y);
    void write(Vector2* vector, double x, double y);

  private:
    py::Ref system_; // keeps the memory alive whatever a handler does
    MovementMemory* memory_;
    std::unique_ptr<MovementMemory> own_;
    PyObject* wallsOf_ = nullptr; // the level whose walls `walls_` are, while they are current
    collision::WallGrid walls_;
};

// One entity's step within a pass: an error in the impulse decay, the move or a plain
// move is returned (false, set); the collision step prints its own errors.
bool updateEntity(MovementSystem* self, PyObject* entity, PyObject* timeStep, MovementPass& pass);
