// The ray queries of a CollisionBodySystem: which bodies a ray crosses, and where.
//
// A query reads the bodies of a snapshot (collisionBodies.hpp: BodyIndex), refreshed
// at its start, whose grid gives the few bodies near the ray; only those are tested.
// The answer is that of a walk over every body of the list in order: bodies the grid
// leaves out cannot be met, and a body that is not plain (a Python subclass, a missing
// component, no position vector) is visited the long way in its place, after which
// Python code may have run and the rest of the list is walked the long way too.
#pragma once

#include "core/raycast.hpp"

#include <Python.h>

struct CollisionBodySystem;
struct Vector2;

// The pairs (entity, distance) of the bodies of `members` (a list) that the ray from `from`
// towards `end` meets strictly between `from` and maxDist, nearest first, bodies at the same
// distance in list order. Null with the error set on failure.
PyObject* traceBodies(CollisionBodySystem* system, PyObject* members, Vector2* from,
                      const raycast::Vec2& end, float maxDist);
