// The entities a raycasting renderer tracks, read straight from their components'
// fields for the sprite pass and picking, and the entity list put in the order those
// leave it in (far to near).
#include "raycaster.hpp"

#include "py/cast.hpp"
#include "py/errors.hpp"
#include "resources/entity.hpp"
#include "resources/motionComponents.hpp"

namespace raycaster {

namespace {

// The component stored under exactly `type`, which must be of that class: "Cannot
// convert NoneType to quorvelin.X" when there is none.
template <class T> T* requiredComponent(Entity* entity) {
    PyObject* found = entity->component(T::type);
    T* component = py::instanceOf<T>(found);
    if (!component) py::cannotConvert(found ? found : Py_None, T::type);
    return component;
}

bool vectorOf(PyObject* field, raycast::Vec2& out) {
    Vector2* vector = py::instanceOf<Vector2>(field);
    if (!vector) {
        // Only None gets here: the fields take nothing else.
        return py::noAttribute(field, "x");
    }
    out = {vector->x, vector->y};
    return true;
}

} // namespace

bool readTracked(PyObject* renderer, bool facing, std::vector<Tracked>& out) {
    out.clear();
    PyObject* list = py::cast<AbstractSystem>(renderer)->entities;
    if (!PyList_Check(list)) return py::raise(PyExc_TypeError, "'NoneType' object is not iterable");
    Py_ssize_t count = PyList_GET_SIZE(list);
    out.reserve(size_t(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyList_GET_ITEM(list, i);
        Entity* entity = py::instanceOf<Entity>(item);
        if (!entity) return py::cannotConvert(item, Entity::type);
        Tracked tracked{item, requiredComponent<SpriteComponent>(entity), {}, {1.0, 0.0}};
        PositionComponent* position =
            tracked.sprite ? requiredComponent<PositionComponent>(entity) : nullptr;
        if (!position || !vectorOf(position->pos, tracked.position)) return false;
        if (facing) {
            PyObject* found = entity->component(RotationComponent::type);
            if (found) {
                RotationComponent* rotation = py::instanceOf<RotationComponent>(found);
                if (!rotation) return py::cannotConvert(found, RotationComponent::type);
                if (!vectorOf(rotation->dir, tracked.facing)) return false;
            }
        }
        out.push_back(tracked);
    }
    return true;
}

void reorderTracked(PyObject* renderer, const std::vector<Tracked>& tracked,
                    const uint32_t* order) {
    PyObject* list = py::cast<AbstractSystem>(renderer)->entities;
    size_t count = tracked.size();
    if (!PyList_Check(list) || size_t(PyList_GET_SIZE(list)) != count) return;
    for (size_t i = 0; i < count; ++i)
        if (PyList_GET_ITEM(list, Py_ssize_t(i)) != tracked[i].entity) return;
    // The same references in another order: no count changes.
    for (size_t i = 0; i < count; ++i)
        PyList_SET_ITEM(list, Py_ssize_t(i), tracked[order[i]].entity);
}

} // namespace raycaster
