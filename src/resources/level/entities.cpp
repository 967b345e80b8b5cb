// The level's entities: built from the header's "entities" entries through the
// component registry, kept in _entities, and shared with an Ecs (never copied). The
// level reaches its own steps (createComponent, _loadFromDict, addEntity,
// removeAllEntities) and the Ecs through attribute lookup, so Python subclasses
// override them by name.
#include "resources/level.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/module.hpp"
#include "py/sequence.hpp"
#include "resources/entity.hpp"
#include "resources/level/parts.hpp"
#include "resources/levelForm.hpp"

namespace {

py::Name nCreateComponent("createComponent");
py::Name nLevelLoadFromDict("_loadFromDict");
py::Name nLoadFromDict("loadFromDict");
py::Name nItems("items");
py::Name nInstanceDict("__dict__");
py::Name nEntities("entities");
py::Name nId("id");
py::Name nRemoveAllEntities("removeAllEntities");
py::Name nAddEntity("addEntity");
py::Name nGetEntities("getEntities");

// The registered class of a component name. A name the registry does not know is
// announced once and gets a class of its own, "_Component_<name>", derived from
// DummyComponent and registered both ways, so that later entries reuse it and saving
// writes it back under the same name.
py::Ref componentClass(PyObject* name) {
    py::Ref registry = py::moduleGlobal("_COMPONENTS");
    int known = registry ? PySequence_Contains(registry.get(), name) : -1;
    if (known < 0) return py::Ref();
    if (!known) {
        py::Ref text(PyObject_Str(name));
        py::Ref line(text ? PyUnicode_FromFormat("unknown component type '%U'", text.get())
                          : nullptr);
        if (!line || !py::print(line.get())) return py::Ref();
        py::Ref base = py::moduleGlobal("DummyComponent");
        py::Ref className(base ? PyUnicode_FromFormat("_Component_%U", text.get()) : nullptr);
        py::Ref bases(className ? PyTuple_Pack(1, base.get()) : nullptr);
        py::Ref body(bases ? Py_BuildValue("{ss}", "__module__", py::moduleName()) : nullptr);
        py::Ref made(body
                         ? PyObject_CallFunctionObjArgs(py::asObject(&PyType_Type), className.get(),
                                                        bases.get(), body.get(), nullptr)
                         : nullptr);
        if (!made || PyObject_SetItem(registry.get(), name, made.get()) < 0 ||
            PyObject_SetItem(registry.get(), made.get(), name) < 0)
            return py::Ref();
    }
    return py::Ref(PyObject_GetItem(registry.get(), name));
}

// The entity of one header entry: a component per key but "id", in the entry's key
// order, through createComponent (a None result is left out); then the id, int() of
// the entry's "id" or -1. Not yet appended anywhere.
py::Ref buildEntity(PyObject* self, PyObject* entityData) {
    py::Ref keys(PySequence_List(entityData));
    py::Ref arguments(keys ? PyList_New(1) : nullptr); // the id goes first
    if (!arguments) return py::Ref();
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(keys.get()); ++i) {
        PyObject* key = PyList_GET_ITEM(keys.get(), i);
        int isId = PyObject_RichCompareBool(key, nId.get(), Py_EQ);
        if (isId < 0) return py::Ref();
        if (isId) continue;
        py::Ref value(PyObject_GetItem(entityData, key));
        py::Ref component =
            value ? py::callMethod(self, nCreateComponent, key, value.get()) : py::Ref();
        if (!component ||
            (component.get() != Py_None && PyList_Append(arguments.get(), component.get()) < 0))
            return py::Ref();
    }
    int hasId = levelForm::has(entityData, nId);
    if (hasId < 0) return py::Ref();
    py::Ref given = hasId ? levelForm::item(entityData, nId) : py::Ref();
    py::Ref id(hasId ? (given ? PyNumber_Long(given.get()) : nullptr) : PyLong_FromLong(-1));
    if (!id) return py::Ref();
    PyList_SET_ITEM(arguments.get(), 0, id.release());
    py::Ref tuple(PyList_AsTuple(arguments.get()));
    return py::Ref(tuple ? PyObject_Call(py::asObject(Entity::type), tuple.get(), nullptr)
                         : nullptr);
}

} // namespace

// --- loading -----------------------------------------------------------------------------------

PyObject* Level_loadEntity(Level* level, PyObject* entityData) {
    PyObject* self = py::asObject(level);
    py::Ref held = py::Ref::borrow(self);
    py::Ref entity = buildEntity(self, entityData);
    py::Ref entities = py::Ref::borrow(level->entities);
    if (!entity || !py::append(entities.get(), entity.get())) return nullptr;
    return entity.release();
}

void Level_loadEntities(Level* level) {
    py::Ref held = py::Ref::borrow(py::asObject(level));
    py::Ref metadata = py::Ref::borrow(level->metadata);
    int present = levelForm::has(metadata.get(), nEntities);
    bool ok = present >= 0;
    if (present > 0) {
        py::Ref entries = levelForm::item(metadata.get(), nEntities);
        // The first entry that fails ends the loading; the entities built stay.
        ok = entries && py::forEachOfCopy(entries.get(), [&](PyObject* entry) {
                 return bool(py::Ref(level->ops->loadEntity(level, entry)));
             });
    }
    if (!ok) py::printUnraisable("quorvelin.Level._loadEntities");
}

PyObject* Level_createComponent(PyObject* self, py::Arguments<2>& a) {
    auto [name, value] = a;
    py::Ref type = componentClass(name);
    py::Ref instance(type ? PyObject_CallNoArgs(type.get()) : nullptr);
    if (!instance) return nullptr;
    py::Ref load = py::attributeIfAny(instance.get(), nLoadFromDict);
    if (!load && PyErr_Occurred()) return nullptr;
    py::Ref loaded(load
                       ? PyObject_CallFunctionObjArgs(load.get(), self, value, nullptr)
                       : py::callMethod(self, nLevelLoadFromDict, instance.get(), value).release());
    return loaded ? instance.release() : nullptr;
}

PyObject* Level_loadFromDict(PyObject*, py::Arguments<2>& a) {
    auto [component, input] = a;
    // Into the instance dictionary itself, past any property or setter.
    py::Ref items = py::callMethod(input, nItems);
    py::Ref iterator(items ? PyObject_GetIter(items.get()) : nullptr);
    if (!iterator) return nullptr;
    while (py::Ref item{PyIter_Next(iterator.get())}) {
        py::Ref key, value;
        if (!py::unpackPair(item.get(), key, value)) return nullptr;
        py::Ref dict = py::getAttr(component, nInstanceDict);
        if (!dict || PyObject_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
    }
    return py::noneOrFailed(!PyErr_Occurred());
}

// --- the entity list ---------------------------------------------------------------------------

PyObject* Level_addEntity(PyObject* self, PyObject* entity) {
    if (!py::checkArgument(entity, Entity::type, "entity", true)) return nullptr;
    py::Ref entities = py::Ref::borrow(py::cast<Level>(self)->entities);
    return py::noneOrFailed(py::append(entities.get(), entity));
}

PyObject* Level_removeEntity(PyObject* self, PyObject* entity) {
    if (!py::checkArgument(entity, Entity::type, "entity", true)) return nullptr;
    py::Ref entities = py::Ref::borrow(py::cast<Level>(self)->entities);
    if (!PyList_CheckExact(entities.get())) return py::noAttribute(Py_None, "remove");
    int removed = py::removeFirst(entities.get(), entity);
    if (removed == 0) return py::raise(PyExc_ValueError, "list.remove(x): x not in list");
    return py::noneOrFailed(removed > 0);
}

PyObject* Level_removeAllEntities(PyObject* self, PyObject*) {
    py::Ref entities = py::Ref::borrow(py::cast<Level>(self)->entities);
    if (!PyList_CheckExact(entities.get())) return py::noAttribute(Py_None, "clear");
    return py::noneOrFailed(
        PyList_SetSlice(entities.get(), 0, PyList_GET_SIZE(entities.get()), nullptr) == 0);
}

PyObject* Level_getEntities(PyObject* self, PyObject* types, PyObject* kwargs) {
    if (!py::parse({"getEntities", nullptr, 0, 0, true}, types, kwargs, nullptr)) return nullptr;
    py::Ref entities = py::Ref::borrow(py::cast<Level>(self)->entities);
    if (PyTuple_GET_SIZE(types) == 0) return entities.release(); // the level's own list
    py::Ref found(PyList_New(0));
    bool ok = found && py::forEachOfCopy(entities.get(), [&](PyObject* entity) {
                  int has = hasComponentTypes(entity, types);
                  return has == 0 || (has > 0 && PyList_Append(found.get(), entity) == 0);
              });
    return ok ? found.release() : nullptr;
}

// --- entities with their header entries --------------------------------------------------------

// What can fail is tried first: the header's list and the level's list must be there,
// and the entity must build, before either list changes.
PyObject* Level_addEntityFromJson(PyObject* self, PyObject* entityData) {
    Level* level = py::cast<Level>(self);
    py::Ref metadata = py::Ref::borrow(level->metadata);
    py::Ref entries(PyObject_GetItem(metadata.get(), nEntities.get()));
    if (!entries) return nullptr;
    if (level->entities == Py_None) return py::noAttribute(Py_None, "append");
    py::Ref entity = buildEntity(self, entityData);
    if (!entity) return nullptr;
    py::Ref entities = py::Ref::borrow(level->entities); // as building left it
    if (entities.get() == Py_None) return py::noAttribute(Py_None, "append");
    if (!py::append(entries.get(), entityData) || !py::append(entities.get(), entity.get()))
        return nullptr;
    return entity.release();
}

// The entity leaves _entities and its header entry (the one at its position) leaves
// "entities", both or neither.
PyObject* Level_removeEntityFromJson(PyObject* self, PyObject* entity) {
    Level* level = py::cast<Level>(self);
    py::Ref entities = py::Ref::borrow(level->entities);
    if (!PyList_CheckExact(entities.get())) return py::noAttribute(Py_None, "index");
    Py_ssize_t index = py::indexIn(entities.get(), entity);
    if (index == -2) return nullptr;
    if (index == -1) return py::raise(PyExc_ValueError, "list.index(x): x not in list");
    py::Ref metadata = py::Ref::borrow(level->metadata);
    py::Ref entries(PyObject_GetItem(metadata.get(), nEntities.get()));
    Py_ssize_t count = entries ? PyObject_Size(entries.get()) : -1;
    if (count < 0) return nullptr;
    if (index >= count) return py::raise(PyExc_IndexError, "list assignment index out of range");
    if (index >= PyList_GET_SIZE(entities.get()))
        return py::raise(PyExc_ValueError, "list.index(x): x not in list");
    if (PyList_SetSlice(entities.get(), index, index + 1, nullptr) < 0) return nullptr;
    return py::noneOrFailed(PySequence_DelItem(entries.get(), index) == 0);
}

// --- sharing with an Ecs -----------------------------------------------------------------------

// Each sync walks a snapshot of its source list taken first: the level and the Ecs may
// share one list, which the emptying step clears.
PyObject* Level_syncEntitiesToEcs(PyObject* self, PyObject* ecs) {
    py::Ref entities(PySequence_List(py::cast<Level>(self)->entities));
    if (!entities || !py::callMethod(ecs, nRemoveAllEntities)) return nullptr;
    return py::noneOrFailed(py::forEachOfCopy(entities.get(), [&](PyObject* entity) {
        return bool(py::callMethod(ecs, nAddEntity, entity));
    }));
}

PyObject* Level_syncEntitiesFromEcs(PyObject* self, PyObject* ecs) {
    py::Ref source = py::callMethod(ecs, nGetEntities);
    py::Ref entities(source ? PySequence_List(source.get()) : nullptr);
    if (!entities || !py::callMethod(self, nRemoveAllEntities)) return nullptr;
    return py::noneOrFailed(py::forEachOfCopy(entities.get(), [&](PyObject* entity) {
        return bool(py::callMethod(self, nAddEntity, entity));
    }));
}
