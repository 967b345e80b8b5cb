// CollisionEvent, CollisionBodySystem and MovementSystem. The movement step itself is in
// collision/step.cpp, the ray queries in collision/trace.cpp; here are the classes: their
// construction, the body system kept in the movement system's Ecs, and the checks of a
// ray query's arguments.
#include "collision.hpp"

#include "core/collision.hpp"
#include "engine.hpp"
#include "geometryMath.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "resources/level.hpp"
#include "resources/motionComponents.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace {

using raycast::Vec2;

py::Name nRemoveSystem("removeSystem");
py::Name nAddSystem("addSystem");
py::Name nSetEngine("_setEngine");

// What AbstractSystem.__init__(self, first, second) stores (its class cannot be changed,
// so the engine's own constructor is the one that would run).
bool initSystem(PyObject* self, PyTypeObject* first, PyTypeObject* second) {
    py::Ref types(PyTuple_Pack(2, py::asObject(first), py::asObject(second)));
    py::Ref members(types ? PyList_New(0) : nullptr);
    if (!members) return false;
    auto* system = py::cast<AbstractSystem>(self);
    py::assign(system->interestedComponentTypes, types.get());
    py::assign(system->entities, members.get());
    py::changes::changed(self);
    return true;
}

} // namespace

// --- CollisionEvent -------------------------------------------------------------------------

static const py::Member collisionEventMembers[] = {
    py::member<&CollisionEvent::entity1>("_entity1").readonly("entity1").typed<&Entity::type>(),
    py::member<&CollisionEvent::entity2>("_entity2").readonly("entity2").typed<&Entity::type>(),
};

py::ClassDef& collisionEventClass() {
    return eventRecord<CollisionEvent>("CollisionEvent", collisionEventMembers, 0xe823e08);
}

// --- CollisionBodySystem --------------------------------------------------------------------

static bool CollisionBodySystem_intersect(const Vec2& center, float radius, const Vec2& p1,
                                          const Vec2& p2, Vec2& hit) {
    return collision::closestLineCircleIntersection(center, radius, p1, p2, hit);
}

const CollisionBodySystemOps CollisionBodySystem::table = {CollisionBodySystem_intersect};

static int CollisionBodySystem_init(PyObject* self, py::Arguments<0>&) {
    return initSystem(self, PositionComponent::type, CollisionComponent::type) ? 0 : -1;
}

static PyObject* CollisionBodySystem_update(PyObject*, PyObject*) {
    Py_RETURN_NONE;
}

static PyObject* CollisionBodySystem_traceEntities(PyObject* self, py::Arguments<3>& a) {
    if (!py::checkArgument(a[0], Vector2::type, "pos", true) ||
        !py::checkArgument(a[1], Vector2::type, "dir", true))
        return nullptr;
    double distance;
    if (!py::toDouble(a[2], distance)) return nullptr;
    float maxDist = collision::toSingle(distance);
    py::Ref pos = py::Ref::borrow(a[0]), dir = py::Ref::borrow(a[1]);
    Vector2* direction = py::instanceOf<Vector2>(dir.get());
    if (!direction) return py::noAttribute(dir.get(), "normalize");
    double length = direction->length();
    if (length != 0.0) direction->assign(direction->x / length, direction->y / length);
    Vector2* from = py::instanceOf<Vector2>(pos.get());
    if (!from) return py::noAttribute(pos.get(), "x");
    double reachX = direction->x * double(maxDist), reachY = direction->y * double(maxDist);
    Vec2 end{from->x + reachX, from->y + reachY};

    auto* system = py::cast<CollisionBodySystem>(self);
    py::Ref members = py::Ref::borrow(system->entities);
    if (!PyList_Check(members.get()))
        return PyErr_Format(PyExc_TypeError, "'%.200s' object is not iterable",
                            Py_TYPE(members.get())->tp_name);
    return traceBodies(system, members.get(), from, end, maxDist);
}

static const PyMethodDef collisionBodySystemMethods[] = {
    py::oneArg<"update", CollisionBodySystem_update, "timeStep">(
        py::doc<"Does nothing: the bodies are moved by the MovementSystem.",
                "@param(timeStep, float)">),
    py::withKeywords<"traceEntities", CollisionBodySystem_traceEntities, "pos", "dir", "maxDist">(
        py::doc<"Casts a ray from <code>pos</code> in the direction <code>dir</code>.",
                "returns a list with all entities that are hit by that ray, ordered by",
                "distance. The result list contains tuples with (Entity, dist).",
                "Note that level walls are not considered by this method. This means that",
                "you also have to check raycaster.castRay(pos, dir) in order to be sure",
                "that the entities returned by this method are visible. Alternatively,",
                "the distance resulting from raycaster.castRay can be passed to the",
                "maxDist parameter in order to only return visible objects.",
                "@param(pos, Vector2)", "@param(dir, Vector2)", "@param(maxDist, float)",
                "@returns(list)">),
};

py::ClassDef& collisionBodySystemClass() {
    return py::define<CollisionBodySystem>(
        "CollisionBodySystem",
        {.doc = py::classDoc<
             "This system is a helper for the MovementSystem. It references entities with",
             "PositionComponent and CollisionComponent for collision check inside the",
             "movement system.">,
         .init = py::init<CollisionBodySystem_init>,
         .methods = collisionBodySystemMethods,
         .checksum = 0x58db84f});
}

// --- MovementSystem -------------------------------------------------------------------------

const MovementSystemOps MovementSystem::table = {moveWithCollisionDetection};

static int MovementSystem_init(PyObject* self, py::Arguments<1>& a) {
    if (!py::checkArgument(a[0], Level::type, "level", true) ||
        !initSystem(self, PositionComponent::type, VelocityComponent::type))
        return -1;
    MovementSystem* system = py::cast<MovementSystem>(self);
    py::assign(system->level, a[0]);
    py::Ref bodies(PyObject_CallNoArgs(py::asObject(CollisionBodySystem::type)));
    if (!bodies) return -1;
    py::assign(system->cbs, bodies.get());
    std::copy(std::begin(collision::PROBES), std::end(collision::PROBES),
              system->normalVectorComponents);
    return 0;
}

// The body system follows the movement system from Ecs to Ecs: out of the old one, into
// the new one right after it (Ecs.addSystem calls this every time).
static PyObject* MovementSystem_setEcs(PyObject* self, PyObject* ecs) {
    if (!py::checkArgument(ecs, Ecs::type, "ecs", true)) return nullptr;
    MovementSystem* system = py::cast<MovementSystem>(self);
    py::Ref former = py::Ref::borrow(system->ecs), bodies = py::Ref::borrow(system->cbs);
    if (former.get() != Py_None && bodies.get() != Py_None &&
        !py::callMethod(former.get(), nRemoveSystem, bodies.get()))
        return nullptr;
    py::assign(system->ecs, ecs);
    py::Ref current = py::Ref::borrow(system->ecs);
    bodies = py::Ref::borrow(system->cbs);
    if (current.get() != Py_None && bodies.get() != Py_None &&
        !py::callMethod(current.get(), nAddSystem, bodies.get()))
        return nullptr;
    Py_RETURN_NONE;
}

static PyObject* MovementSystem_setEngine(PyObject* self, PyObject* engine) {
    if (!py::checkArgument(engine, Engine::type, "engine", true)) return nullptr;
    MovementSystem* system = py::cast<MovementSystem>(self);
    py::assign(system->engine, engine);
    py::Ref bodies = py::Ref::borrow(system->cbs);
    if (bodies.get() != Py_None && !py::callMethod(bodies.get(), nSetEngine, engine))
        return nullptr;
    Py_RETURN_NONE;
}

static PyObject* MovementSystem_updateEntity(PyObject* self, py::Arguments<2>& a) {
    return py::noneOrFailed(updateEntity(py::cast<MovementSystem>(self), a[0], a[1]));
}

static const PyMethodDef movementSystemMethods[] = {
    py::oneArg<"_setEcs", MovementSystem_setEcs, "ecs">(py::doc<"@param(ecs, Ecs)">),
    py::oneArg<"_setEngine", MovementSystem_setEngine, "engine">(py::doc<"@param(engine, Engine)">),
    py::withKeywords<"_updateEntity", MovementSystem_updateEntity, "entity", "timeStep">(
        py::doc<"@param(entity, Entity)", "@param(timeStep, float)">),
};

static const py::Member movementSystemMembers[] = {
    py::member<&MovementSystem::level>("_level").exposed().typed<&Level::type>(),
    py::member<&MovementSystem::cbs>("_cbs")
        .readonly("collisionBodySystem")
        .exposed()
        .typed<&CollisionBodySystem::type>(),
    py::doubleArray<&MovementSystem::normalVectorComponents>("_normalVectorComponents"),
};

py::ClassDef& movementSystemClass() {
    setUpdatePass(&MovementSystem::type, updateMembers);
    return py::define<MovementSystem>(
        "MovementSystem",
        {.doc = py::classDoc<
             "Moves every entity that has a PositionComponent and a VelocityComponent.",
             "When the entity also has a CollisionComponent, the other collision bodies",
             "and the walls of the level are taken into account while moving.">,
         .members = movementSystemMembers,
         .init = py::init<MovementSystem_init, "level">,
         .methods = movementSystemMethods,
         .checksum = 0x43337b0});
}
