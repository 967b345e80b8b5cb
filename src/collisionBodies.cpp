#include "collisionBodies.hpp"

#include "geometryMath.hpp"
#include "py/call.hpp"
#include "resources/entity.hpp"
#include "resources/motionComponents.hpp"

#include <algorithm>

namespace {

py::Name nGetComponent("getComponent");

size_t slotOf(PyObject* vector, size_t mask) {
    // Objects are aligned: the low bits of their addresses carry nothing.
    auto bits = uint64_t(reinterpret_cast<uintptr_t>(vector)) >> 4;
    return size_t(bits * 0x9e3779b97f4a7c15ull >> 20) & mask;
}

bool isPlainFlag(PyObject* item) {
    return PyUnicode_CheckExact(item) || PyLong_CheckExact(item) || PyFloat_CheckExact(item) ||
           PyBool_Check(item) || item == Py_None;
}

} // namespace

py::Ref componentOf(PyObject* entity, PyTypeObject* componentType, bool& pythonMayRun) {
    PyObject* key = reinterpret_cast<PyObject*>(componentType);
    if (Py_IS_TYPE(entity, Entity::type)) {
        py::Ref components = py::Ref::borrow(reinterpret_cast<Entity*>(entity)->components);
        if (PyDict_CheckExact(components.get())) {
            PyObject* found = PyDict_GetItemWithError(components.get(), key);
            if (!found && PyErr_Occurred()) return py::Ref();
            return py::Ref::borrow(found ? found : Py_None);
        }
    }
    pythonMayRun = true;
    return py::callMethod(entity, nGetComponent, key);
}

bool checkComponent(PyObject* component, PyTypeObject* componentType) {
    if (component == Py_None || PyObject_TypeCheck(component, componentType)) return true;
    return py::cannotConvert(component, componentType);
}

bool plainFlags(PyObject* flags) {
    if (!PyList_CheckExact(flags)) return false;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(flags); ++i)
        if (!isPlainFlag(PyList_GET_ITEM(flags, i))) return false;
    return true;
}

// --- BodyIndex --------------------------------------------------------------------------------

void BodyIndex::build(PyObject* list) {
    // The old snapshot goes first: releasing it may free objects that Python code has let
    // go meanwhile, and run their finalizers. Taking the new one runs no Python code: the
    // entities read here are exactly Entity, their dicts exactly dicts keyed by classes.
    py::Ref held = py::Ref::borrow(list);
    bodies_.clear();
    list_ = py::Ref();
    scratch_.clear();
    unplainFlags_.clear();
    list_ = std::move(held);
    Py_ssize_t count = PyList_GET_SIZE(list);
    bodies_.reserve(size_t(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        Body body;
        body.entity = py::Ref::borrow(PyList_GET_ITEM(list, i));
        collision::GridBody placed;
        placed.keptOut = true;
        PyObject* entity = body.entity.get();
        PyObject* components = Py_IS_TYPE(entity, Entity::type)
                                   ? reinterpret_cast<Entity*>(entity)->components
                                   : nullptr;
        if (components && PyDict_CheckExact(components)) {
            PyObject* key = reinterpret_cast<PyObject*>(CollisionComponent::type);
            auto* collider = py::instanceOf<CollisionComponent>(PyDict_GetItem(components, key));
            key = reinterpret_cast<PyObject*>(PositionComponent::type);
            auto* position = py::instanceOf<PositionComponent>(PyDict_GetItem(components, key));
            Vector2* vector = position ? position->position() : nullptr;
            if (collider && vector) {
                body.plain = true;
                body.component = py::Ref::borrow(reinterpret_cast<PyObject*>(collider));
                body.vector = py::Ref::borrow(reinterpret_cast<PyObject*>(vector));
                body.plainFlags = plainFlags(collider->hasFlags);
                placed = {vector->x, vector->y, collider->radius, false};
                if (!body.plainFlags) unplainFlags_.push_back(uint32_t(i));
            }
        }
        scratch_.push_back(placed);
        bodies_.push_back(std::move(body));
    }
    grid_.build(scratch_);
    size_t slots = 16;
    while (slots < 2 * bodies_.size())
        slots *= 2;
    byVector_.assign(slots, {nullptr, -1});
    sameVector_.assign(bodies_.size(), -1);
    // Inserted from the last body to the first, so that each chain runs in list order.
    for (size_t i = bodies_.size(); i-- > 0;) {
        PyObject* vector = bodies_[i].vector.get();
        if (!vector) continue;
        size_t slot = slotOf(vector, slots - 1);
        while (byVector_[slot].first && byVector_[slot].first != vector)
            slot = (slot + 1) & (slots - 1);
        sameVector_[i] = byVector_[slot].second;
        byVector_[slot] = {vector, int64_t(i)};
    }
    valid_ = true;
}

CollisionComponent* BodyIndex::component(size_t i) const {
    return reinterpret_cast<CollisionComponent*>(bodies_[i].component.get());
}

Vector2* BodyIndex::vector(size_t i) const {
    return reinterpret_cast<Vector2*>(bodies_[i].vector.get());
}

void BodyIndex::vectorMoved(PyObject* vector) {
    if (!valid_) return;
    size_t mask = byVector_.size() - 1;
    size_t slot = slotOf(vector, mask);
    while (byVector_[slot].first && byVector_[slot].first != vector)
        slot = (slot + 1) & mask;
    auto* moved = reinterpret_cast<Vector2*>(vector);
    for (int64_t i = byVector_[slot].second; i >= 0; i = sameVector_[size_t(i)])
        grid_.move(size_t(i), moved->x, moved->y);
}

void BodyIndex::candidates(double x, double y, double reach, size_t from, bool withFlags,
                           std::vector<uint32_t>& out) const {
    grid_.candidates(x, y, reach, from, out);
    if (!withFlags || unplainFlags_.empty()) return;
    size_t middle = out.size();
    auto first = std::lower_bound(unplainFlags_.begin(), unplainFlags_.end(), uint32_t(from));
    out.insert(out.end(), first, unplainFlags_.end());
    std::inplace_merge(out.begin(), out.begin() + ptrdiff_t(middle), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}
