// The Ecs and the base of every system. Everything the Ecs does to a system or an
// entity, and everything a system does to itself, goes through attribute lookup:
// systems and entities written in Python override any of it by name.
#include "resources/entity.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/methods.hpp"
#include "quorvelin.hpp"

namespace {

py::Name nUpdate("update");
py::Name nSetEcs("_setEcs");
py::Name nSetEngine("_setEngine");
py::Name nUpdateEntityMembership("_updateEntityMembership");
py::Name nRemoveEntity("_removeEntity");
py::Name nRemoveEntityFromEcs("removeEntity");
py::Name nEntities("_entities");
py::Name nClear("clear");
py::Name nRemove("remove");
py::Name nId("id");
py::Name nIdField("_id");
py::Name nEcsField("_ecs");
py::Name nComponents("_components");
py::Name nKeys("keys");
py::Name nInterestedIn("_interestedIn");
py::Name nUpdateEntity("_updateEntity");

Ecs* asEcs(PyObject* self) {
    return reinterpret_cast<Ecs*>(self);
}
AbstractSystem* asSystem(PyObject* self) {
    return reinterpret_cast<AbstractSystem*>(self);
}

// Whether the entity holds a component of exactly each class of `types`, tested in
// order up to the first missing one: 1, 0, or -1 with the error set.
int hasComponentTypes(PyObject* entity, PyObject* types) {
    py::Ref iterator(PyObject_GetIter(types));
    if (!iterator) return -1;
    while (py::Ref type{PyIter_Next(iterator.get())}) {
        py::Ref components = py::getAttr(entity, nComponents);
        py::Ref keys(components ? py::callMethod(components.get(), nKeys) : py::Ref());
        int present = keys ? PySequence_Contains(keys.get(), type.get()) : -1;
        if (present <= 0) return present;
    }
    return PyErr_Occurred() ? -1 : 1;
}

// Whether `item` is in the list of a field: 1, 0, or -1 with the error set. The list
// is held while the comparisons run Python code, which may replace the field.
int contains(PyObject* list, PyObject* item) {
    return PySequence_Contains(py::Ref::borrow(list).get(), item);
}

// list.remove(item) when the item is in the list; nothing otherwise.
bool removeIfPresent(PyObject* list, PyObject* item) {
    int present = PySequence_Contains(list, item);
    return present == 0 || (present > 0 && py::callMethod(list, nRemove, item));
}

// Offers the entity to every system, which decides its membership itself. The walk
// follows the live list: a system added meanwhile is offered the entity too.
bool offerToSystems(Ecs* ecs, PyObject* entity) {
    return py::forEachLive(ecs->systems, [&](PyObject* system) {
        return bool(py::callMethod(system, nUpdateEntityMembership, entity));
    });
}

} // namespace

// --- Ecs --------------------------------------------------------------------------------

static int Ecs_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[1];
    if (!py::parseArgs("__init__", {"engine"}, args, kwargs, a) ||
        !py::checkArgument(a[0], Engine::type, "engine", true))
        return -1;
    py::Ref systems(PyList_New(0));
    py::Ref entities(systems ? PyList_New(0) : nullptr);
    if (!entities) return -1;
    Ecs* ecs = asEcs(self);
    py::assign(ecs->systems, systems.get());
    py::assign(ecs->entities, entities.get());
    py::assign(ecs->engine, a[0]);
    return 0;
}

static PyObject* Ecs_update(PyObject* self, PyObject* timeStep) {
    return py::noneOrFailed(py::forEachOfCopy(asEcs(self)->systems, [&](PyObject* system) {
        return bool(py::callMethod(system, nUpdate, timeStep));
    }));
}

static PyObject* Ecs_addEntity(PyObject* self, PyObject* entity) {
    Ecs* ecs = asEcs(self);
    int present = contains(ecs->entities, entity);
    if (present != 0) return present < 0 ? nullptr : py::newRef(Py_None);
    py::Ref id = py::getAttr(entity, nId);
    py::Ref unassigned(id ? PyLong_FromLong(-1) : nullptr);
    int assign = unassigned ? PyObject_RichCompareBool(id.get(), unassigned.get(), Py_EQ) : -1;
    if (assign < 0) return nullptr;
    if (assign) {
        py::Ref identity(PyLong_FromVoidPtr(entity));
        if (!identity || !py::setAttr(entity, nIdField, identity.get())) return nullptr;
    }
    return py::noneOrFailed(offerToSystems(ecs, entity) && py::append(ecs->entities, entity) &&
                            py::setAttr(entity, nEcsField, self));
}

static PyObject* Ecs_removeEntity(PyObject* self, PyObject* entity) {
    Ecs* ecs = asEcs(self);
    int present = contains(ecs->entities, entity);
    if (present <= 0) return present < 0 ? nullptr : py::newRef(Py_None);
    py::Ref systems = py::Ref::borrow(ecs->systems);
    bool withdrawn = py::forEachLive(systems.get(), [&](PyObject* system) {
        return bool(py::callMethod(system, nRemoveEntity, entity));
    });
    py::Ref entities = py::Ref::borrow(ecs->entities);
    return py::noneOrFailed(withdrawn && py::callMethod(entities.get(), nRemove, entity) &&
                            py::setAttr(entity, nEcsField, Py_None));
}

static PyObject* Ecs_removeAllEntities(PyObject* self, PyObject*) {
    return py::noneOrFailed(py::forEachOfCopy(asEcs(self)->entities, [&](PyObject* entity) {
        return bool(py::callMethod(self, nRemoveEntityFromEcs, entity));
    }));
}

static PyObject* Ecs_addSystem(PyObject* self, PyObject* system) {
    Ecs* ecs = asEcs(self);
    int present = contains(ecs->systems, system);
    if (present < 0 || (!present && !py::append(ecs->systems, system))) return nullptr;
    if (!py::callMethod(system, nSetEcs, self)) return nullptr;
    py::Ref engine = py::Ref::borrow(ecs->engine);
    if (!py::callMethod(system, nSetEngine, engine.get())) return nullptr;
    py::Ref entities = py::Ref::borrow(ecs->entities);
    return py::noneOrFailed(py::forEachLive(entities.get(), [&](PyObject* entity) {
        return bool(py::callMethod(system, nUpdateEntityMembership, entity));
    }));
}

static PyObject* Ecs_removeSystem(PyObject* self, PyObject* system) {
    Ecs* ecs = asEcs(self);
    int present = contains(ecs->systems, system);
    if (present <= 0) return present < 0 ? nullptr : py::newRef(Py_None);
    py::Ref systems = py::Ref::borrow(ecs->systems);
    if (!py::callMethod(systems.get(), nRemove, system)) return nullptr;
    // Emptied in place: whoever holds the member list sees it empty.
    py::Ref members = py::getAttr(system, nEntities);
    if (!members || !py::callMethod(members.get(), nClear)) return nullptr;
    return py::noneOrFailed(py::callMethod(system, nSetEcs, Py_None) &&
                            py::callMethod(system, nSetEngine, Py_None));
}

// The filter test of getEntities: bound to the tuple of required classes.
static PyObject* hasRequiredComponents(PyObject* types, PyObject* entity) {
    int has = hasComponentTypes(entity, types);
    return has < 0 ? nullptr : PyBool_FromLong(has);
}

static PyMethodDef hasRequiredComponentsDef = {"<lambda>", hasRequiredComponents, METH_O, nullptr};

static PyObject* Ecs_getEntities(PyObject* self, PyObject* types, PyObject* kwargs) {
    if (!py::parse({"getEntities", nullptr, 0, 0, true}, types, kwargs, nullptr)) return nullptr;
    py::Ref entities = py::Ref::borrow(asEcs(self)->entities);
    if (PyTuple_GET_SIZE(types) == 0) return entities.release();
    // Lazy: each entity is tested when the iteration reaches it.
    py::Ref test(PyCFunction_NewEx(&hasRequiredComponentsDef, types, nullptr));
    if (!test) return nullptr;
    return PyObject_CallFunctionObjArgs(reinterpret_cast<PyObject*>(&PyFilter_Type), test.get(),
                                        entities.get(), nullptr);
}

static PyObject* Ecs_getEntityById(PyObject* self, PyObject* id) {
    // Every entity is compared, also after the first match.
    py::Ref found;
    bool ok = py::forEachOfCopy(asEcs(self)->entities, [&](PyObject* entity) {
        py::Ref entityId = py::getAttr(entity, nId);
        int equal = entityId ? PyObject_RichCompareBool(entityId.get(), id, Py_EQ) : -1;
        if (equal > 0 && !found) found = py::Ref::borrow(entity);
        return equal >= 0;
    });
    if (!ok) return nullptr;
    return found ? found.release() : py::newRef(Py_None);
}

static PyObject* Ecs_getSystems(PyObject* self, PyObject*) {
    return py::newRef(asEcs(self)->systems);
}

static PyObject* Ecs_updateEntityMembership(PyObject* self, PyObject* entity) {
    return py::noneOrFailed(offerToSystems(asEcs(self), entity));
}

static const PyMethodDef ecsMethods[] = {
    py::oneArg<"update", Ecs_update>(
        py::doc<"Updates every system once, in the order in which they were added.",
                "@param(timeStep, float)">),
    py::oneArg<"addEntity", Ecs_addEntity>(py::doc<"@param(entity, Entity)">),
    py::oneArg<"removeEntity", Ecs_removeEntity>(py::doc<"@param(entity, Entity)">),
    py::noArgs<"removeAllEntities", Ecs_removeAllEntities>(),
    py::oneArg<"addSystem", Ecs_addSystem>(py::doc<"@param(system, AbstractSystem)">),
    py::oneArg<"removeSystem", Ecs_removeSystem>(py::doc<"@param(system, AbstractSystem)">),
    py::withVarargs<"getEntities", Ecs_getEntities>(
        py::doc<
            "@param(*requiredComponentTypes, type)",
            "@returns(list | filter) every entity, or those that have all the given component types">),
    py::oneArg<"getEntityById", Ecs_getEntityById>(
        py::doc<"@param(id, int)", "@returns(Entity | None)">),
    py::noArgs<"getSystems", Ecs_getSystems>(py::doc<"@returns(list)">),
    py::oneArg<"_updateEntityMembership", Ecs_updateEntityMembership>(
        py::doc<"@param(entity, Entity)">),
};

static const py::Member ecsMembers[] = {
    py::member<&Ecs::systems>("_systems").exactly<py::List>(),
    py::member<&Ecs::entities>("_entities").exactly<py::List>(),
    py::member<&Ecs::engine>("_engine").typed<&Engine::type>(),
};

py::ClassDef& ecsClass() {
    return py::define<Ecs>(
        "Ecs",
        {.members = ecsMembers, .init = Ecs_init, .methods = ecsMethods, .checksum = 0x7bb3303});
}

// --- AbstractSystem ---------------------------------------------------------------------

static int AbstractSystem_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    // Every positional argument is a component type; no keyword is taken.
    if (!py::parse({"__init__", nullptr, 0, 0, true}, args, kwargs, nullptr)) return -1;
    py::Ref members(PyList_New(0));
    if (!members) return -1;
    AbstractSystem* system = asSystem(self);
    py::assign(system->interestedComponentTypes, args);
    py::assign(system->entities, members.get());
    return 0;
}

static PyObject* AbstractSystem_update(PyObject* self, PyObject* timeStep) {
    PyObject* members = asSystem(self)->entities;
    if (members == Py_None)
        return py::raise(PyExc_TypeError, "'NoneType' object is not subscriptable");
    // Over the members of the moment: those that join during the pass wait for the next.
    return py::noneOrFailed(py::forEachOfCopy(members, [&](PyObject* entity) {
        return bool(py::callMethod(self, nUpdateEntity, entity, timeStep));
    }));
}

static PyObject* AbstractSystem_updateEntity(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                             PyObject* kwnames) {
    PyObject* a[2];
    if (!py::parseArgs("_updateEntity", {"entity", "timeStep"}, args, nargs, kwnames, a))
        return nullptr;
    Py_RETURN_NONE;
}

static PyObject* AbstractSystem_interestedIn(PyObject* self, PyObject* entity) {
    py::Ref types = py::Ref::borrow(asSystem(self)->interestedComponentTypes);
    int has = hasComponentTypes(entity, types.get());
    return has < 0 ? nullptr : PyBool_FromLong(has);
}

static PyObject* AbstractSystem_updateEntityMembership(PyObject* self, PyObject* entity) {
    py::Ref answer = py::callMethod(self, nInterestedIn, entity);
    int interested = answer ? PyObject_IsTrue(answer.get()) : -1;
    if (interested < 0) return nullptr;
    py::Ref members = py::Ref::borrow(asSystem(self)->entities);
    if (!interested) return py::noneOrFailed(removeIfPresent(members.get(), entity));
    int present = PySequence_Contains(members.get(), entity);
    return py::noneOrFailed(present > 0 || (present == 0 && py::append(members.get(), entity)));
}

static PyObject* AbstractSystem_removeEntity(PyObject* self, PyObject* entity) {
    py::Ref members = py::Ref::borrow(asSystem(self)->entities);
    return py::noneOrFailed(removeIfPresent(members.get(), entity));
}

static PyObject* AbstractSystem_setEcs(PyObject* self, PyObject* ecs) {
    if (!py::checkArgument(ecs, Ecs::type, "ecs", true)) return nullptr;
    py::assign(asSystem(self)->ecs, ecs);
    Py_RETURN_NONE;
}

static PyObject* AbstractSystem_setEngine(PyObject* self, PyObject* engine) {
    if (!py::checkArgument(engine, Engine::type, "engine", true)) return nullptr;
    py::assign(asSystem(self)->engine, engine);
    Py_RETURN_NONE;
}

static PyObject* AbstractSystem_getEcs(PyObject* self, PyObject*) {
    return py::newRef(asSystem(self)->ecs);
}

static PyObject* AbstractSystem_getEngine(PyObject* self, PyObject*) {
    return py::newRef(asSystem(self)->engine);
}

static const PyMethodDef abstractSystemMethods[] = {
    py::oneArg<"update", AbstractSystem_update>(
        py::doc<"Calls _updateEntity for every member entity.", "@param(timeStep, float)">),
    py::withKeywords<"_updateEntity", AbstractSystem_updateEntity>(
        py::doc<"Should be overwritten by deriving classes.", "@param(entity, Entity)",
                "@param(timeStep, float)">),
    py::oneArg<"_interestedIn", AbstractSystem_interestedIn>(
        py::doc<"@param(entity, Entity)", "@returns(bool)">),
    py::oneArg<"_updateEntityMembership", AbstractSystem_updateEntityMembership>(
        py::doc<"@param(entity, Entity)">),
    py::oneArg<"_removeEntity", AbstractSystem_removeEntity>(py::doc<"@param(entity, Entity)">),
    py::oneArg<"_setEcs", AbstractSystem_setEcs>(py::doc<"@param(ecs, Ecs)">),
    py::oneArg<"_setEngine", AbstractSystem_setEngine>(py::doc<"@param(engine, Engine)">),
    py::noArgs<"getEcs", AbstractSystem_getEcs>(py::doc<"@returns(Ecs)">),
    py::noArgs<"getEngine", AbstractSystem_getEngine>(py::doc<"@returns(Engine)">),
};

static const py::Member abstractSystemMembers[] = {
    py::member<&AbstractSystem::interestedComponentTypes>("_interestedComponentTypes")
        .exposed()
        .exactly<py::Tuple>(),
    py::member<&AbstractSystem::entities>("_entities")
        .readonly("entities")
        .exposed()
        .exactly<py::List>(),
    py::member<&AbstractSystem::ecs>("_ecs").exposed().typed<&Ecs::type>(),
    py::member<&AbstractSystem::engine>("_engine").exposed().typed<&Engine::type>(),
};

py::ClassDef& abstractSystemClass() {
    return py::define<AbstractSystem>("AbstractSystem", {.members = abstractSystemMembers,
                                                         .init = AbstractSystem_init,
                                                         .methods = abstractSystemMethods,
                                                         .checksum = 0x58db84f});
}
