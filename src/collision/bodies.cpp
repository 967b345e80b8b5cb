#include "collision/bodies.hpp"

#include "geometryMath.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/dictVersion.hpp"
#include "resources/entity.hpp"
#include "resources/motionComponents.hpp"

#include <algorithm>
#include <bit>

namespace {

py::Name nGetComponent("getComponent");

size_t slotOf(const void* object, size_t mask) {
    // Objects are aligned: the low bits of their addresses carry nothing.
    auto bits = uint64_t(reinterpret_cast<uintptr_t>(object)) >> 4;
    return size_t(bits * 0x9e3779b97f4a7c15ull >> 20) & mask;
}

size_t tableSlots(size_t entries) {
    size_t slots = 16;
    while (slots < 2 * entries)
        slots *= 2;
    return slots;
}

bool isPlainFlag(PyObject* item) {
    return PyUnicode_CheckExact(item) || PyLong_CheckExact(item) || PyFloat_CheckExact(item) ||
           PyBool_Check(item) || item == Py_None;
}

// Whether looking a class up in the dict compares keys only by identity and hash: every
// key is a class whose metaclass is exactly `type`, so no key's equality is Python code.
bool classKeysOnly(PyObject* dict) {
    Py_ssize_t at = 0;
    PyObject *key, *value;
    while (PyDict_Next(dict, &at, &key, &value))
        if (!Py_IS_TYPE(key, &PyType_Type)) return false;
    return true;
}

// Same bits: a NaN equals itself here, so a body at NaN has not moved.
bool sameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

} // namespace

py::Ref componentOf(PyObject* entity, PyTypeObject* componentType, bool& pythonMayRun) {
    PyObject* key = py::asObject(componentType);
    if (Py_IS_TYPE(entity, Entity::type)) {
        py::Ref components = py::Ref::borrow(py::cast<Entity>(entity)->components);
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

PyObject* plainComponents(PyObject* entity) {
    if (!Py_IS_TYPE(entity, Entity::type)) return nullptr;
    PyObject* components = py::cast<Entity>(entity)->components;
    return PyDict_CheckExact(components) ? components : nullptr;
}

// --- DictSeen -----------------------------------------------------------------------------

bool DictSeen::holds(PyObject* liveDict) const {
    return known && dict == liveDict && py::dictVersionAgain(liveDict) == version;
}

void DictSeen::seen(PyObject* liveDict) {
    dict = liveDict;
    known = py::dictVersion(liveDict, version) && classKeysOnly(liveDict);
}

// --- BodyIndex --------------------------------------------------------------------------------

void BodyIndex::reshape(PyObject* list) {
    // What was known of each entity is kept for its new place, to be checked like any
    // other body's: a new entity at a freed one's address has another dict or tag.
    previous_.swap(bodies_);
    size_t mask = tableSlots(previous_.size()) - 1;
    byEntity_.assign(mask + 1, {nullptr, -1});
    for (size_t j = 0; j < previous_.size(); ++j) {
        PyObject* entity = previous_[j].entity;
        size_t slot = slotOf(entity, mask);
        while (byEntity_[slot].first && byEntity_[slot].first != entity)
            slot = (slot + 1) & mask;
        if (!byEntity_[slot].first) byEntity_[slot] = {entity, int64_t(j)};
    }
    auto count = size_t(PyList_GET_SIZE(list));
    bodies_.assign(count, Body{});
    for (size_t i = 0; i < count; ++i) {
        PyObject* entity = PyList_GET_ITEM(list, Py_ssize_t(i));
        size_t slot = slotOf(entity, mask);
        while (byEntity_[slot].first && byEntity_[slot].first != entity)
            slot = (slot + 1) & mask;
        if (byEntity_[slot].first) bodies_[i] = previous_[size_t(byEntity_[slot].second)];
        bodies_[i].entity = entity;
    }
    previous_.clear();
}

// Whether a plain body still holds what the snapshot read of it, without looking its
// components up: its entity holds the same dict with the same tag, which therefore still
// holds both components, and the position still holds the same vector. Each object is
// read only once the one that holds it is known to hold it, but at the address the
// snapshot knows, so that the processor may fetch them all at once.
inline bool BodyIndex::stillPlain(const Body& body) {
    PyObject* dict = body.components.dict;
    if (!body.vector || !body.components.known || !Py_IS_TYPE(body.entity, Entity::type) ||
        py::cast<Entity>(body.entity)->components != dict || !PyDict_CheckExact(dict))
        return false;
    return py::dictVersionAgain(dict) == body.components.version &&
           body.position->pos == py::asObject(body.vector);
}

// The common refresh: the same bodies in the same list, every one plain and holding the
// same parts, whose positions may have changed. False when a body needs more, after which
// the whole refresh runs (what this one did stays true).
bool BodyIndex::refreshPositions(PyObject* list, bool withFlags) {
    auto count = size_t(PyList_GET_SIZE(list));
    if (list != list_ || count != bodies_.size() || count != grid_.size() || withFlags)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const Body& body = bodies_[i];
        if (PyList_GET_ITEM(list, Py_ssize_t(i)) != body.entity || !stillPlain(body)) return false;
        const CollisionComponent* collider = body.collider;
        if (!sameBits(collider->radius, grid_.radius(i))) return false;
        // Whether the flags can be searched from here decides the list of those that cannot.
        if (withFlags && plainFlags(collider->hasFlags) != hot_[i].plainFlags) return false;
        hot_[i].trigger = collider->isOnlyTrigger;
        double x = body.vector->x, y = body.vector->y;
        if (!sameBits(x, grid_.x(i)) || !sameBits(y, grid_.y(i))) grid_.move(i, x, y);
    }
    grid_.settle();
    stale_ = false;
    return true;
}

void BodyIndex::refresh(PyObject* list, bool withFlags) {
    if (refreshPositions(list, withFlags)) return;
    auto count = size_t(PyList_GET_SIZE(list));
    bool sameShape = list == list_ && count == bodies_.size();
    for (size_t i = 0; sameShape && i < count; ++i)
        sameShape = PyList_GET_ITEM(list, Py_ssize_t(i)) == bodies_[i].entity;
    if (!sameShape) reshape(list);
    list_ = list;
    bool regrid = !sameShape || grid_.size() != count, reindex = regrid;
    unplainFlags_.clear();
    firstUnplain_ = count;
    scratch_.resize(count);
    hot_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        Body& body = bodies_[i];
        collision::GridBody placed;
        placed.keptOut = true;
        bool plain;
        if (stillPlain(body)) {
            // Mostly: the same dict with the same tag, so the same components, and the same
            // vector; only what those hold is read again.
            plain = true;
        } else {
            Vector2* formerVector = body.vector;
            readAgain(body);
            plain = body.vector != nullptr;
            reindex = reindex || body.vector != formerVector;
        }
        hot_[i] = {nullptr, 0.0, false, false, false};
        if (!plain) firstUnplain_ = std::min(firstUnplain_, i);
        if (plain) {
            CollisionComponent* collider = body.collider;
            bool flags = withFlags && plainFlags(collider->hasFlags);
            placed = {body.vector->x, body.vector->y, collider->radius, false};
            hot_[i] = {collider, collider->radius, true, collider->isOnlyTrigger, flags};
            if (withFlags && !flags) unplainFlags_.push_back(uint32_t(i));
        }
        if (!regrid)
            regrid =
                placed.keptOut != grid_.keptOut(i) || !sameBits(placed.radius, grid_.radius(i));
        scratch_[i] = placed;
    }
    if (regrid) {
        grid_.build(scratch_);
    } else {
        for (size_t i = 0; i < count; ++i)
            if (!sameBits(scratch_[i].x, grid_.x(i)) || !sameBits(scratch_[i].y, grid_.y(i)))
                grid_.move(i, scratch_[i].x, scratch_[i].y);
        grid_.settle();
    }
    if (reindex) indexVectors();
    stale_ = false;
}

// Reads a body afresh: its components looked up again when its dict has changed, its
// vector from its position.
void BodyIndex::readAgain(Body& body) {
    body.vector = nullptr;
    PyObject* components = plainComponents(body.entity);
    if (!components) {
        body.components.known = false;
        body.collider = nullptr;
        body.position = nullptr;
    } else if (!body.components.holds(components)) {
        // Tagged before the lookups, which then run no Python code when the tag is
        // kept at all.
        body.components.seen(components);
        body.collider = py::instanceOf<CollisionComponent>(
            PyDict_GetItem(components, py::asObject(CollisionComponent::type)));
        body.position = py::instanceOf<PositionComponent>(
            PyDict_GetItem(components, py::asObject(PositionComponent::type)));
    }
    Vector2* vector = body.position ? body.position->position() : nullptr;
    if (body.collider && vector) body.vector = vector;
}

void BodyIndex::indexVectors() {
    size_t slots = tableSlots(bodies_.size());
    byVector_.assign(slots, {nullptr, -1});
    sameVector_.assign(bodies_.size(), -1);
    firstWithVector_.assign(bodies_.size(), -1);
    // Inserted from the last body to the first, so that each chain runs in list order.
    for (size_t i = bodies_.size(); i-- > 0;) {
        PyObject* vector = py::asObject(bodies_[i].vector);
        if (!vector) continue;
        size_t slot = slotOf(vector, slots - 1);
        while (byVector_[slot].first && byVector_[slot].first != vector)
            slot = (slot + 1) & (slots - 1);
        sameVector_[i] = byVector_[slot].second;
        byVector_[slot] = {vector, int64_t(i)};
    }
    // Each chain from its first body, which comes first in list order.
    for (size_t i = 0; i < bodies_.size(); ++i)
        if (bodies_[i].vector && firstWithVector_[i] < 0)
            for (int64_t j = int64_t(i); j >= 0; j = sameVector_[size_t(j)])
                firstWithVector_[size_t(j)] = int64_t(i);
}

void BodyIndex::vectorMoved(PyObject* vector, size_t hint) {
    if (stale_) return; // the refresh reads every position
    int64_t first;
    if (hint < bodies_.size() && py::asObject(bodies_[hint].vector) == vector) {
        first = firstWithVector_[hint];
    } else {
        size_t mask = byVector_.size() - 1;
        size_t slot = slotOf(vector, mask);
        while (byVector_[slot].first && byVector_[slot].first != vector)
            slot = (slot + 1) & mask;
        first = byVector_[slot].second;
    }
    auto* moved = py::cast<Vector2>(vector);
    for (int64_t i = first; i >= 0; i = sameVector_[size_t(i)])
        grid_.move(size_t(i), moved->x, moved->y);
}

void BodyIndex::candidates(double x, double y, double reach, size_t from, bool withFlags,
                           std::vector<uint32_t>& out) {
    grid_.candidates(x, y, reach, from, out);
    if (!withFlags || unplainFlags_.empty()) return;
    size_t middle = out.size();
    auto first = std::lower_bound(unplainFlags_.begin(), unplainFlags_.end(), uint32_t(from));
    out.insert(out.end(), first, unplainFlags_.end());
    std::inplace_merge(out.begin(), out.begin() + ptrdiff_t(middle), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}
