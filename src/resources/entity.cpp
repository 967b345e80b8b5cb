// Entities, the Ecs and the base of every system. Everything the Ecs does to a system
// or an entity, and everything a system does to itself, goes through attribute lookup:
// systems and entities written in Python override any of it by name. Objects whose
// class is exactly an engine class (an immutable type without instance dictionary)
// cannot override anything, so for them the same steps run directly on their fields.
// Member and entity lists are searched by identity wherever the host's comparison
// could only answer that (py/sequence.hpp).
#include "resources/entity.hpp"

#include "engine.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "py/sequence.hpp"
#include "resources/motionComponents.hpp"
#include "resources/sprite.hpp"

#include <vector>

namespace {

py::Name nUpdate("update");
py::Name nSetEcs("_setEcs");
py::Name nSetEngine("_setEngine");
py::Name nUpdateEntityMembership("_updateEntityMembership");
py::Name nRemoveEntity("_removeEntity");
py::Name nRemoveEntityFromEcs("removeEntity");
py::Name nEntities("_entities");
py::Name nClear("clear");
py::Name nId("id");
py::Name nIdField("_id");
py::Name nEcsField("_ecs");
py::Name nComponents("_components");
py::Name nKeys("keys");
py::Name nValues("values");
py::Name nInterestedIn("_interestedIn");
py::Name nUpdateEntity("_updateEntity");

// Exactly the engine's class: nothing about the object can differ from its fields.
bool isPlainEntity(PyObject* object) {
    return Py_IS_TYPE(object, Entity::type);
}
bool isPlainEcs(PyObject* object) {
    return Py_IS_TYPE(object, Ecs::type);
}
bool isPlainSystem(PyObject* object) {
    return Py_IS_TYPE(object, AbstractSystem::type);
}

// None for a search's answer (1 or 0), null for its failure (-1).
PyObject* noneUnlessError(int status) {
    return py::noneOrFailed(status >= 0);
}

// --- what the Ecs and the systems read and write on an entity ----------------------------

py::Ref componentsOf(PyObject* entity) {
    if (isPlainEntity(entity)) return py::Ref::borrow(py::cast<Entity>(entity)->components);
    return py::getAttr(entity, nComponents);
}

// Whether `type` is among entity._components.keys(): 1, 0, or -1 with the error set.
int holdsComponentType(PyObject* entity, PyObject* type) {
    py::Ref components = componentsOf(entity);
    if (!components) return -1;
    if (PyDict_CheckExact(components.get())) return PyDict_Contains(components.get(), type);
    py::Ref keys = py::callMethod(components.get(), nKeys);
    return keys ? PySequence_Contains(keys.get(), type) : -1;
}

// An entity whose id is -1 gets the host's identity number of the entity object.
bool assignId(PyObject* entity) {
    if (isPlainEntity(entity)) {
        Entity* plain = py::cast<Entity>(entity);
        if (plain->id == -1) plain->id = int64_t(reinterpret_cast<intptr_t>(entity));
        return true;
    }
    py::Ref id = py::getAttr(entity, nId);
    py::Ref unassigned(id ? PyLong_FromLong(-1) : nullptr);
    int assign = unassigned ? PyObject_RichCompareBool(id.get(), unassigned.get(), Py_EQ) : -1;
    if (assign <= 0) return assign == 0;
    py::Ref identity(PyLong_FromVoidPtr(entity));
    return identity && py::setAttr(entity, nIdField, identity.get());
}

py::Ref idOf(PyObject* entity) {
    if (isPlainEntity(entity)) return py::Ref(PyLong_FromLongLong(py::cast<Entity>(entity)->id));
    return py::getAttr(entity, nId);
}

// entity._ecs = ecs (an Ecs, or None).
bool setEcsOf(PyObject* entity, PyObject* ecs) {
    if (!isPlainEntity(entity)) return py::setAttr(entity, nEcsField, ecs);
    py::assign(py::cast<Entity>(entity)->ecs, ecs);
    return true;
}

} // namespace

int hasComponentTypes(PyObject* entity, PyObject* types) {
    if (PyTuple_CheckExact(types)) {
        py::Ref held = py::Ref::borrow(types);
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(types); ++i) {
            int present = holdsComponentType(entity, PyTuple_GET_ITEM(types, i));
            if (present <= 0) return present;
        }
        return 1;
    }
    py::Ref iterator(PyObject_GetIter(types));
    if (!iterator) return -1;
    while (py::Ref type{PyIter_Next(iterator.get())}) {
        int present = holdsComponentType(entity, type.get());
        if (present <= 0) return present;
    }
    return PyErr_Occurred() ? -1 : 1;
}

// --- systems: what the Ecs asks of them ---------------------------------------------------

namespace {

// The engine's own per-member hook: it does nothing.
bool updateEntityHook(PyObject*, PyObject*, PyObject*) {
    return true;
}

struct UpdatePassOf {
    PyTypeObject** type;
    UpdatePass pass;
};
std::vector<UpdatePassOf> updatePasses;

UpdatePass updatePassOf(PyObject* system) {
    for (const UpdatePassOf& entry : updatePasses)
        if (*entry.type && Py_IS_TYPE(system, *entry.type)) return entry.pass;
    return nullptr;
}

bool updateSystem(PyObject* self, PyObject* timeStep) {
    PyObject* members = py::cast<AbstractSystem>(self)->entities;
    if (members == Py_None)
        return py::raise(PyExc_TypeError, "'NoneType' object is not subscriptable");
    if (UpdatePass pass = updatePassOf(self)) return pass(self, members, timeStep);
    // Over the members of the moment: those that join during the pass wait for the next.
    if (isPlainSystem(self))
        return py::forEachOfCopy(
            members, [&](PyObject* entity) { return updateEntityHook(self, entity, timeStep); });
    return py::forEachOfCopy(members, [&](PyObject* entity) {
        return bool(py::callMethod(self, nUpdateEntity, entity, timeStep));
    });
}

bool removeMember(PyObject* self, PyObject* entity) {
    py::Ref members = py::Ref::borrow(py::cast<AbstractSystem>(self)->entities);
    int removed = py::removeFirst(members.get(), entity);
    py::changes::changed(self);
    return removed >= 0;
}

bool updateMembership(PyObject* self, PyObject* entity) {
    int interested;
    if (isPlainSystem(self)) {
        py::Ref types = py::Ref::borrow(py::cast<AbstractSystem>(self)->interestedComponentTypes);
        interested = hasComponentTypes(entity, types.get());
    } else {
        py::Ref answer = py::callMethod(self, nInterestedIn, entity);
        interested = answer ? PyObject_IsTrue(answer.get()) : -1;
    }
    if (interested < 0) return false;
    py::Ref members = py::Ref::borrow(py::cast<AbstractSystem>(self)->entities);
    if (!interested) return removeMember(self, entity);
    int present = py::contains(members.get(), entity);
    if (present != 0) return present > 0;
    bool appended = py::append(members.get(), entity);
    py::changes::changed(self);
    return appended;
}

bool setSystemEcs(PyObject* self, PyObject* ecs) {
    if (!py::checkArgument(ecs, Ecs::type, "ecs", true)) return false;
    py::assign(py::cast<AbstractSystem>(self)->ecs, ecs);
    return true;
}

bool setSystemEngine(PyObject* self, PyObject* engine) {
    if (!py::checkArgument(engine, Engine::type, "engine", true)) return false;
    py::assign(py::cast<AbstractSystem>(self)->engine, engine);
    return true;
}

// The protocol's calls, each through attribute lookup unless the system is exactly an
// AbstractSystem.
bool offer(PyObject* system, PyObject* entity) {
    if (isPlainSystem(system)) return updateMembership(system, entity);
    return bool(py::callMethod(system, nUpdateEntityMembership, entity));
}

bool withdraw(PyObject* system, PyObject* entity) {
    if (isPlainSystem(system)) return removeMember(system, entity);
    return bool(py::callMethod(system, nRemoveEntity, entity));
}

bool setEcsOn(PyObject* system, PyObject* ecs) {
    if (isPlainSystem(system)) return setSystemEcs(system, ecs);
    return bool(py::callMethod(system, nSetEcs, ecs));
}

bool setEngineOn(PyObject* system, PyObject* engine) {
    if (isPlainSystem(system)) return setSystemEngine(system, engine);
    return bool(py::callMethod(system, nSetEngine, engine));
}

bool clearMembers(PyObject* system) {
    py::Ref members = isPlainSystem(system)
                          ? py::Ref::borrow(py::cast<AbstractSystem>(system)->entities)
                          : py::getAttr(system, nEntities);
    bool cleared = members && py::callMethod(members.get(), nClear);
    py::changes::changed(system);
    return cleared;
}

bool update(PyObject* system, PyObject* timeStep) {
    if (isPlainSystem(system)) return updateSystem(system, timeStep);
    return bool(py::callMethod(system, nUpdate, timeStep));
}

// Offers the entity to every system, which decides its membership itself. The walk
// follows the live list: a system added meanwhile is offered the entity too.
bool offerToSystems(Ecs* ecs, PyObject* entity) {
    return py::forEachLive(ecs->systems, [&](PyObject* system) { return offer(system, entity); });
}

// ecs._updateEntityMembership(entity), as an entity tells its Ecs of a change.
bool tellEcs(PyObject* ecs, PyObject* entity) {
    if (isPlainEcs(ecs)) return offerToSystems(py::cast<Ecs>(ecs), entity);
    return bool(py::callMethod(ecs, nUpdateEntityMembership, entity));
}

} // namespace

void setUpdatePass(PyTypeObject** exactType, UpdatePass pass) {
    for (UpdatePassOf& entry : updatePasses)
        if (entry.type == exactType) {
            entry.pass = pass;
            return;
        }
    updatePasses.push_back({exactType, pass});
}

// --- Entity ---------------------------------------------------------------------------------

static int Entity_init(PyObject* self, py::Arguments<1>& a, PyObject* args) {
    PyObject* id = a[0];
    py::Ref unassigned;
    if (!id) {
        unassigned = py::Ref(PyLong_FromLong(-1));
        if (!(id = unassigned.get())) return -1;
    }
    if (!PyLong_CheckExact(id)) return py::raise(PyExc_ValueError, "Entity ID must be int");
    Entity* entity = py::cast<Entity>(self);
    if (!py::toInt64(id, entity->id)) return -1;
    py::Ref components(PyDict_New());
    if (!components) return -1;
    // Keyed by each component's own class: of two of one class the later stays.
    for (Py_ssize_t i = 1; i < PyTuple_GET_SIZE(args); ++i) {
        PyObject* component = PyTuple_GET_ITEM(args, i);
        if (PyDict_SetItem(components.get(), py::asObject(Py_TYPE(component)), component) < 0)
            return -1;
    }
    py::assign(entity->components, components.get());
    py::assign(entity->ecs, Py_None);
    py::changes::changed(self);
    return 0;
}

// The entity's component dict, held; null with the host's error when it has none.
static py::Ref componentDict(PyObject* self) {
    PyObject* components = py::cast<Entity>(self)->components;
    if (components == Py_None) {
        py::raise(PyExc_TypeError, "'NoneType' object is not iterable");
        return py::Ref();
    }
    return py::Ref::borrow(components);
}

// After a change of the components: the Ecs that holds the entity re-offers it.
static PyObject* componentsChanged(PyObject* self) {
    py::Ref ecs = py::Ref::borrow(py::cast<Entity>(self)->ecs);
    return py::noneOrFailed(ecs.get() == Py_None || tellEcs(ecs.get(), self));
}

static PyObject* addUnder(PyObject* self, PyObject* key, PyObject* component) {
    py::Ref components = componentDict(self);
    if (!components) return nullptr;
    int present = PyDict_Contains(components.get(), key);
    if (present != 0) return noneUnlessError(present);
    int stored = PyDict_SetItem(components.get(), key, component);
    py::changes::changed(self);
    if (stored < 0) return nullptr;
    return componentsChanged(self);
}

static PyObject* removeKey(PyObject* self, PyObject* key) {
    py::Ref components = componentDict(self);
    if (!components) return nullptr;
    int present = PyDict_Contains(components.get(), key);
    if (present <= 0) return noneUnlessError(present);
    int removed = PyDict_DelItem(components.get(), key);
    py::changes::changed(self);
    if (removed < 0) return nullptr;
    return componentsChanged(self);
}

static PyObject* typeOf(PyObject* object) {
    return py::asObject(Py_TYPE(object));
}

static PyObject* Entity_addComponent(PyObject* self, PyObject* component) {
    return addUnder(self, typeOf(component), component);
}

static PyObject* Entity_removeComponent(PyObject* self, PyObject* component) {
    return removeKey(self, typeOf(component));
}

static PyObject* Entity_removeComponentType(PyObject* self, PyObject* componentType) {
    return removeKey(self, componentType);
}

static PyObject* Entity_getComponent(PyObject* self, PyObject* componentType) {
    py::Ref components = componentDict(self);
    if (!components) return nullptr;
    PyObject* found = PyDict_GetItemWithError(components.get(), componentType);
    if (!found && PyErr_Occurred()) return nullptr;
    return py::newRef(found ? found : Py_None);
}

static PyObject* Entity_getComponents(PyObject* self, PyObject*) {
    PyObject* components = py::cast<Entity>(self)->components;
    if (components == Py_None) return py::noAttribute(Py_None, "values");
    return py::callMethod(components, nValues).release();
}

static const PyMethodDef entityMethods[] = {
    py::oneArg<"addComponent", Entity_addComponent, "component">(
        py::doc<"@param(component, object)">),
    py::oneArg<"removeComponent", Entity_removeComponent, "component">(
        py::doc<"@param(component, object)">),
    py::oneArg<"removeComponentType", Entity_removeComponentType, "componentType">(
        py::doc<"@param(componentType, type)">),
    py::oneArg<"getComponent", Entity_getComponent, "componentType">(
        py::doc<"@param(componentType, type)", "@returns(object | None)">),
    py::noArgs<"getComponents", Entity_getComponents>(
        py::doc<"@returns(dict_values) a live view of the components">),
};

static const py::Member entityMembers[] = {
    py::member<&Entity::components>("_components").exposed().exactly<py::Dict>().watched(),
    py::member<&Entity::ecs>("_ecs").exposed().typed<&Ecs::type>(),
    py::member<&Entity::id>("_id").readonly("id").exposed(),
};

py::ClassDef& entityClass() {
    return py::define<Entity>("Entity", {.members = entityMembers,
                                         .init = py::init<Entity_init, "id=-1", "*components">,
                                         .methods = entityMethods,
                                         .checksum = 0x5895e97});
}

// --- Ecs --------------------------------------------------------------------------------

static int Ecs_init(PyObject* self, py::Arguments<1>& a) {
    if (!py::checkArgument(a[0], Engine::type, "engine", true)) return -1;
    py::Ref systems(PyList_New(0));
    py::Ref entities(systems ? PyList_New(0) : nullptr);
    if (!entities) return -1;
    Ecs* ecs = py::cast<Ecs>(self);
    py::assign(ecs->systems, systems.get());
    py::assign(ecs->entities, entities.get());
    py::assign(ecs->engine, a[0]);
    return 0;
}

static PyObject* Ecs_update(PyObject* self, PyObject* timeStep) {
    return py::noneOrFailed(py::forEachOfCopy(
        py::cast<Ecs>(self)->systems, [&](PyObject* system) { return update(system, timeStep); }));
}

static PyObject* Ecs_addEntity(PyObject* self, PyObject* entity) {
    Ecs* ecs = py::cast<Ecs>(self);
    int present = py::contains(ecs->entities, entity);
    if (present != 0) return noneUnlessError(present);
    return py::noneOrFailed(assignId(entity) && offerToSystems(ecs, entity) &&
                            py::append(ecs->entities, entity) && setEcsOf(entity, self));
}

static PyObject* Ecs_removeEntity(PyObject* self, PyObject* entity) {
    Ecs* ecs = py::cast<Ecs>(self);
    int present = py::contains(ecs->entities, entity);
    if (present <= 0) return noneUnlessError(present);
    py::Ref systems = py::Ref::borrow(ecs->systems);
    if (!py::forEachLive(systems.get(), [&](PyObject* system) { return withdraw(system, entity); }))
        return nullptr;
    int removed = py::removeFirst(py::Ref::borrow(ecs->entities).get(), entity);
    if (removed == 0) return py::raise(PyExc_ValueError, "list.remove(x): x not in list");
    return py::noneOrFailed(removed > 0 && setEcsOf(entity, Py_None));
}

static PyObject* Ecs_removeAllEntities(PyObject* self, PyObject*) {
    return py::noneOrFailed(py::forEachOfCopy(py::cast<Ecs>(self)->entities, [&](PyObject* entity) {
        if (isPlainEcs(self)) return bool(py::Ref(Ecs_removeEntity(self, entity)));
        return bool(py::callMethod(self, nRemoveEntityFromEcs, entity));
    }));
}

static PyObject* Ecs_addSystem(PyObject* self, PyObject* system) {
    Ecs* ecs = py::cast<Ecs>(self);
    int present = py::contains(ecs->systems, system);
    if (present < 0 || (!present && !py::append(ecs->systems, system))) return nullptr;
    if (!setEcsOn(system, self)) return nullptr;
    py::Ref engine = py::Ref::borrow(ecs->engine); // as it is now that the system has its Ecs
    if (!setEngineOn(system, engine.get())) return nullptr;
    py::Ref entities = py::Ref::borrow(ecs->entities);
    return py::noneOrFailed(
        py::forEachLive(entities.get(), [&](PyObject* entity) { return offer(system, entity); }));
}

static PyObject* Ecs_removeSystem(PyObject* self, PyObject* system) {
    int removed = py::removeFirst(py::Ref::borrow(py::cast<Ecs>(self)->systems).get(), system);
    if (removed <= 0) return noneUnlessError(removed);
    // Emptied in place: whoever holds the member list sees it empty.
    return py::noneOrFailed(clearMembers(system) && setEcsOn(system, Py_None) &&
                            setEngineOn(system, Py_None));
}

// The filter test of getEntities: bound to the tuple of required classes.
static PyObject* hasRequiredComponents(PyObject* types, PyObject* entity) {
    int has = hasComponentTypes(entity, types);
    return py::boolOrFailed(has);
}

static PyMethodDef hasRequiredComponentsDef = {"<lambda>", hasRequiredComponents, METH_O, nullptr};

static PyObject* Ecs_getEntities(PyObject* self, PyObject* types, PyObject* kwargs) {
    if (!py::parse({"getEntities", nullptr, 0, 0, true}, types, kwargs, nullptr)) return nullptr;
    py::Ref entities = py::Ref::borrow(py::cast<Ecs>(self)->entities);
    if (PyTuple_GET_SIZE(types) == 0) return entities.release();
    // Lazy: each entity is tested when the iteration reaches it.
    py::Ref test(PyCFunction_NewEx(&hasRequiredComponentsDef, types, nullptr));
    if (!test) return nullptr;
    return PyObject_CallFunctionObjArgs(py::asObject(&PyFilter_Type), test.get(), entities.get(),
                                        nullptr);
}

static PyObject* Ecs_getEntityById(PyObject* self, PyObject* id) {
    // Every entity is compared, also after the first match.
    py::Ref found;
    bool ok = py::forEachOfCopy(py::cast<Ecs>(self)->entities, [&](PyObject* entity) {
        py::Ref entityId = idOf(entity);
        int equal = entityId ? PyObject_RichCompareBool(entityId.get(), id, Py_EQ) : -1;
        if (equal > 0 && !found) found = py::Ref::borrow(entity);
        return equal >= 0;
    });
    if (!ok) return nullptr;
    return found ? found.release() : py::newRef(Py_None);
}

static PyObject* Ecs_getSystems(PyObject* self, PyObject*) {
    return py::newRef(py::cast<Ecs>(self)->systems);
}

static PyObject* Ecs_updateEntityMembership(PyObject* self, PyObject* entity) {
    return py::noneOrFailed(offerToSystems(py::cast<Ecs>(self), entity));
}

static const PyMethodDef ecsMethods[] = {
    py::oneArg<"update", Ecs_update, "timeStep">(
        py::doc<"Updates every system once, in the order in which they were added.",
                "@param(timeStep, float)">),
    py::oneArg<"addEntity", Ecs_addEntity, "entity">(py::doc<"@param(entity, Entity)">),
    py::oneArg<"removeEntity", Ecs_removeEntity, "entity">(py::doc<"@param(entity, Entity)">),
    py::noArgs<"removeAllEntities", Ecs_removeAllEntities>(),
    py::oneArg<"addSystem", Ecs_addSystem, "system">(py::doc<"@param(system, AbstractSystem)">),
    py::oneArg<"removeSystem", Ecs_removeSystem, "system">(
        py::doc<"@param(system, AbstractSystem)">),
    py::withVarargs<"getEntities", Ecs_getEntities, "*requiredComponentTypes">(
        py::doc<
            "@param(*requiredComponentTypes, type)",
            "@returns(list | filter) every entity, or those that have all the given component types">),
    py::oneArg<"getEntityById", Ecs_getEntityById, "id">(
        py::doc<"@param(id, int)", "@returns(Entity | None)">),
    py::noArgs<"getSystems", Ecs_getSystems>(py::doc<"@returns(list)">),
    py::oneArg<"_updateEntityMembership", Ecs_updateEntityMembership, "entity">(
        py::doc<"@param(entity, Entity)">),
};

static const py::Member ecsMembers[] = {
    py::member<&Ecs::systems>("_systems").exactly<py::List>(),
    py::member<&Ecs::entities>("_entities").exactly<py::List>(),
    py::member<&Ecs::engine>("_engine").typed<&Engine::type>(),
};

py::ClassDef& ecsClass() {
    return py::define<Ecs>("Ecs", {.members = ecsMembers,
                                   .init = py::init<Ecs_init, "engine">,
                                   .methods = ecsMethods,
                                   .checksum = 0x7bb3303});
}

// --- AbstractSystem ---------------------------------------------------------------------

// Every positional argument is a component type.
static int AbstractSystem_init(PyObject* self, py::Arguments<0>&, PyObject* args) {
    py::Ref members(PyList_New(0));
    if (!members) return -1;
    AbstractSystem* system = py::cast<AbstractSystem>(self);
    py::assign(system->interestedComponentTypes, args);
    py::assign(system->entities, members.get());
    py::changes::changed(self);
    return 0;
}

static PyObject* AbstractSystem_update(PyObject* self, PyObject* timeStep) {
    return py::noneOrFailed(updateSystem(self, timeStep));
}

static PyObject* AbstractSystem_updateEntity(PyObject* self, py::Arguments<2>& a) {
    return py::noneOrFailed(updateEntityHook(self, a[0], a[1]));
}

static PyObject* AbstractSystem_interestedIn(PyObject* self, PyObject* entity) {
    py::Ref types = py::Ref::borrow(py::cast<AbstractSystem>(self)->interestedComponentTypes);
    int has = hasComponentTypes(entity, types.get());
    return py::boolOrFailed(has);
}

static PyObject* AbstractSystem_updateEntityMembership(PyObject* self, PyObject* entity) {
    return py::noneOrFailed(updateMembership(self, entity));
}

static PyObject* AbstractSystem_removeEntity(PyObject* self, PyObject* entity) {
    return py::noneOrFailed(removeMember(self, entity));
}

static PyObject* AbstractSystem_setEcs(PyObject* self, PyObject* ecs) {
    return py::noneOrFailed(setSystemEcs(self, ecs));
}

static PyObject* AbstractSystem_setEngine(PyObject* self, PyObject* engine) {
    return py::noneOrFailed(setSystemEngine(self, engine));
}

static PyObject* AbstractSystem_getEcs(PyObject* self, PyObject*) {
    return py::newRef(py::cast<AbstractSystem>(self)->ecs);
}

static PyObject* AbstractSystem_getEngine(PyObject* self, PyObject*) {
    return py::newRef(py::cast<AbstractSystem>(self)->engine);
}

static const PyMethodDef abstractSystemMethods[] = {
    py::oneArg<"update", AbstractSystem_update, "timeStep">(
        py::doc<"Calls _updateEntity for every member entity.", "@param(timeStep, float)">),
    py::withKeywords<"_updateEntity", AbstractSystem_updateEntity, "entity", "timeStep">(
        py::doc<"Should be overwritten by deriving classes.", "@param(entity, Entity)",
                "@param(timeStep, float)">),
    py::oneArg<"_interestedIn", AbstractSystem_interestedIn, "entity">(
        py::doc<"@param(entity, Entity)", "@returns(bool)">),
    py::oneArg<"_updateEntityMembership", AbstractSystem_updateEntityMembership, "entity">(
        py::doc<"@param(entity, Entity)">),
    py::oneArg<"_removeEntity", AbstractSystem_removeEntity, "entity">(
        py::doc<"@param(entity, Entity)">),
    py::oneArg<"_setEcs", AbstractSystem_setEcs, "ecs">(py::doc<"@param(ecs, Ecs)">),
    py::oneArg<"_setEngine", AbstractSystem_setEngine, "engine">(py::doc<"@param(engine, Engine)">),
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
        .exactly<py::List>()
        .watched(),
    py::member<&AbstractSystem::ecs>("_ecs").exposed().typed<&Ecs::type>(),
    py::member<&AbstractSystem::engine>("_engine").exposed().typed<&Engine::type>(),
};

py::ClassDef& abstractSystemClass() {
    return py::define<AbstractSystem>(
        "AbstractSystem", {.members = abstractSystemMembers,
                           .init = py::init<AbstractSystem_init, "*interestedComponentTypes">,
                           .methods = abstractSystemMethods,
                           .checksum = 0x58db84f});
}

// --- module level -----------------------------------------------------------------------

static bool entityStatements() {
    if (!py::bindInt("BLENDMODE_BLEND", BLENDMODE_BLEND) ||
        !py::bindInt("BLENDMODE_ADD", BLENDMODE_ADD))
        return false;
    py::Ref registry = py::moduleGlobal("_COMPONENTS");
    if (!registry) return false;
    const std::pair<const char*, PyTypeObject*> builtIns[] = {
        {"sprite", SpriteComponent::type},     {"position", PositionComponent::type},
        {"rotation", RotationComponent::type}, {"collision", CollisionComponent::type},
        {"velocity", VelocityComponent::type},
    };
    // Every name first, then every class.
    for (bool byClass : {false, true}) {
        for (auto [name, type] : builtIns) {
            py::Ref text(PyUnicode_FromString(name));
            PyObject* cls = py::asObject(type);
            if (!text || PyObject_SetItem(registry.get(), byClass ? cls : text.get(),
                                          byClass ? text.get() : cls) < 0)
                return false;
        }
    }
    return true;
}

const py::Segment entitySegment{entityStatements};
