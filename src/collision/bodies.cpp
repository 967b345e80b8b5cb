#include "collision/bodies.hpp"

#include "geometryMath.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/dictVersion.hpp"
#include "resources/entity.hpp"
#include "resources/motionComponents.hpp"

#include <algorithm>

namespace {

py::Name nGetComponent("getComponent");

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

bool BodyIndex::catchUp(PyObject* list, PyObject* owner, Py_ssize_t held) {
    if (list != list_ || owner != owner_ || reader_.lost() || !py::changes::sealsHold()) {
        readAll(list, owner, held);
        return true;
    }
    ++catchUps_;
    marked_.clear();
    moves_.clear();
    // What the log names: a vector written moves its bodies; anything else of a body (its
    // entity, components dict, component fields, flag list) has it read again, which also
    // tells whether a container handed out is still held elsewhere.
    bool listTouched = false;
    reader_.read([&](PyObject* object, bool handOut) {
        if (object == owner_) {
            listTouched = true;
            return;
        }
        parts_.forEach(object, [&](uint32_t entry) {
            if (Role(entry & 3) != vectorRole)
                mark(entry >> 2);
            else if (!handOut)
                moves_.push_back({entry >> 2, object});
        });
    });
    bool changed = false;
    if (listTouched || (stale_ && listShared_)) {
        if (!sameItems(list)) {
            splice(list);
            changed = true;
        }
        listShared_ = sharedList(list, owner, held);
    }
    // What the log cannot tell, now that the list is known to hold the entities read.
    if (stale_) checkSharedDicts();
    changed = changed || !marked_.empty();
    readMarked();
    if (stale_ && !sharedFlags_.empty()) {
        checkSharedFlags();
        changed = changed || !marked_.empty();
        readMarked();
    }
    for (auto [id, vector] : moves_)
        if (markedIn_[id] != catchUps_) changed = move(id, vector) || changed;
    stale_ = false;
    if (settle_) grid_.settle();
    settle_ = false;
    return changed;
}

void BodyIndex::readAll(PyObject* list, PyObject* owner, Py_ssize_t held) {
    list_ = list;
    owner_ = owner;
    auto count = size_t(PyList_GET_SIZE(list));
    PyObject** items = PySequence_Fast_ITEMS(list);
    entities_.assign(items, items + count);
    idAt_.resize(count);
    placeOf_.resize(count);
    bodies_.assign(count, Body{});
    hot_.assign(count, Hot{nullptr, 0.0, false, false, false});
    markedIn_.assign(count, 0);
    freeIds_.clear();
    unplain_.clear();
    unplainFlags_.clear();
    sharedDicts_.clear();
    sharedFlags_.clear();
    parts_.clear(4 * count);
    std::vector<collision::GridBody> placed(count);
    for (size_t i = 0; i < count; ++i) {
        idAt_[i] = placeOf_[i] = uint32_t(i);
        bodies_[i].entity = items[i];
        bodies_[i].living = true;
        placed[i] = readFields(uint32_t(i));
    }
    grid_.build(placed);
    listShared_ = sharedList(list, owner, held);
    reader_.start(count);
    stale_ = settle_ = false;
}

// Whether something besides the system and the caller holds the list, or the system no
// longer does.
bool BodyIndex::sharedList(PyObject* list, PyObject* owner, Py_ssize_t held) const {
    bool owned = py::cast<AbstractSystem>(owner)->entities == list;
    return !owned || Py_REFCNT(list) != held + 1;
}

bool BodyIndex::sameItems(PyObject* list) const {
    auto count = size_t(PyList_GET_SIZE(list));
    return count == entities_.size() &&
           std::equal(entities_.begin(), entities_.end(), PySequence_Fast_ITEMS(list));
}

// The list as it is now, from what was read: the items before and after the part that
// changed keep their bodies (those after it move along), the part that changed keeps the
// bodies of the entities still in it and reads the new ones.
void BodyIndex::splice(PyObject* list) {
    auto count = size_t(PyList_GET_SIZE(list));
    PyObject** items = PySequence_Fast_ITEMS(list);
    size_t before = entities_.size(), head = 0, tail = 0;
    while (head < before && head < count && entities_[head] == items[head])
        ++head;
    while (tail < before - head && tail < count - head &&
           entities_[before - 1 - tail] == items[count - 1 - tail])
        ++tail;
    size_t oldEnd = before - tail, newEnd = count - tail;
    // The bodies of the old part that the new part still holds, each taken once.
    std::vector<uint32_t> ids(newEnd - head, UINT32_MAX);
    std::vector<bool> kept(oldEnd - head, false);
    for (size_t place = head; place < newEnd; ++place)
        parts_.forEach(items[place], [&](uint32_t entry) {
            uint32_t id = entry >> 2, at = placeOf_[id];
            if (ids[place - head] != UINT32_MAX || Role(entry & 3) != entityRole) return;
            if (at < head || at >= oldEnd || kept[at - head]) return;
            kept[at - head] = true;
            ids[place - head] = id;
        });
    for (size_t place = head; place < oldEnd; ++place)
        if (!kept[place - head]) dropBody(idAt_[place]);
    for (size_t place = head; place < newEnd; ++place)
        if (ids[place - head] == UINT32_MAX)
            ids[place - head] = newBody(items[place], uint32_t(place));
    entities_.erase(entities_.begin() + ptrdiff_t(head), entities_.begin() + ptrdiff_t(oldEnd));
    entities_.insert(entities_.begin() + ptrdiff_t(head), items + head, items + newEnd);
    idAt_.erase(idAt_.begin() + ptrdiff_t(head), idAt_.begin() + ptrdiff_t(oldEnd));
    idAt_.insert(idAt_.begin() + ptrdiff_t(head), ids.begin(), ids.end());
    for (size_t place = head; place < count; ++place)
        placeOf_[idAt_[place]] = uint32_t(place);
}

uint32_t BodyIndex::newBody(PyObject* entity, uint32_t place) {
    uint32_t id;
    if (!freeIds_.empty()) {
        id = freeIds_.back();
        freeIds_.pop_back();
    } else {
        id = uint32_t(bodies_.size());
        bodies_.emplace_back();
        hot_.push_back({nullptr, 0.0, false, false, false});
        placeOf_.push_back(0);
        markedIn_.push_back(0);
    }
    bodies_[id] = Body{};
    bodies_[id].entity = entity;
    bodies_[id].living = true;
    placeOf_[id] = place;
    readBody(id);
    return id;
}

void BodyIndex::dropBody(uint32_t id) {
    forgetBody(id);
    grid_.remove(id);
    bodies_[id] = Body{};
    hot_[id] = {nullptr, 0.0, false, false, false};
    freeIds_.push_back(id);
}

// --- IdSet --------------------------------------------------------------------------------

void IdSet::insert(uint32_t id) {
    if (id >= at_.size()) at_.resize(id + 1, absent);
    if (at_[id] != absent) return;
    at_[id] = uint32_t(ids_.size());
    ids_.push_back(id);
}

void IdSet::erase(uint32_t id) {
    if (id >= at_.size() || at_[id] == absent) return;
    uint32_t moved = ids_.back();
    ids_[at_[id]] = moved;
    at_[moved] = at_[id];
    ids_.pop_back();
    at_[id] = absent;
}

// Whatever the body was known by: out of the parts index and of the lists of bodies that
// need more than the grid.
void BodyIndex::forgetBody(uint32_t id) {
    Body& body = bodies_[id];
    parts_.erase(body.entity, id << 2 | entityRole);
    if (body.position) parts_.erase(body.position, id << 2 | positionRole);
    if (body.collider) parts_.erase(body.collider, id << 2 | colliderRole);
    if (body.vector) parts_.erase(body.vector, id << 2 | vectorRole);
    unplain_.erase(id);
    unplainFlags_.erase(id);
    sharedDicts_.erase(id);
    if (body.flagsShared) {
        auto shared = sharedFlags_.find(body.flags);
        if (shared != sharedFlags_.end() && --shared->second.bodies == 0)
            sharedFlags_.erase(shared);
    }
}

// Reads a body afresh from its entity, which the list holds: its components looked up in
// its dict when every key is a class (so that the lookups run no Python code), the vector
// its position holds, its flags; and whether something besides its entity and its
// component holds the dict and the flag list. What the grid keeps of it is returned.
collision::GridBody BodyIndex::readFields(uint32_t id) {
    Body& body = bodies_[id];
    body.collider = nullptr;
    body.position = nullptr;
    body.vector = nullptr;
    body.flags = nullptr;
    body.dictShared = body.flagsShared = false;
    body.components.known = false;
    if (PyObject* components = plainComponents(body.entity)) {
        body.components.seen(components);
        body.dictShared = Py_REFCNT(components) != 1;
        if (body.dictShared) sharedDicts_.insert(id);
        if (classKeysOnly(components)) {
            body.collider = py::instanceOf<CollisionComponent>(
                PyDict_GetItem(components, py::asObject(CollisionComponent::type)));
            body.position = py::instanceOf<PositionComponent>(
                PyDict_GetItem(components, py::asObject(PositionComponent::type)));
        }
    }
    parts_.insert(body.entity, id << 2 | entityRole);
    if (body.position) parts_.insert(body.position, id << 2 | positionRole);
    if (body.collider) parts_.insert(body.collider, id << 2 | colliderRole);
    Vector2* vector = body.position ? body.position->position() : nullptr;
    Hot& hot = hot_[id];
    if (!body.collider || !vector) {
        hot = {nullptr, 0.0, false, false, false};
        unplain_.insert(id);
        return {0.0, 0.0, 0.0, true};
    }
    CollisionComponent* collider = body.collider;
    body.vector = vector;
    body.flags = collider->hasFlags;
    body.vectorShared = false;
    parts_.forEach(vector, [&](uint32_t entry) {
        if (Role(entry & 3) != vectorRole) return;
        bodies_[entry >> 2].vectorShared = body.vectorShared = true;
    });
    parts_.insert(vector, id << 2 | vectorRole);
    hot = {collider, collider->radius, true, collider->isOnlyTrigger, plainFlags(body.flags)};
    if (!hot.plainFlags) unplainFlags_.insert(id);
    body.flagsShared = Py_REFCNT(body.flags) != 1;
    if (body.flagsShared) {
        ++sharedFlags_.try_emplace(body.flags, SharedFlags{hot.plainFlags, 0}).first->second.bodies;
    }
    return {vector->x, vector->y, collider->radius, false};
}

void BodyIndex::readBody(uint32_t id) {
    forgetBody(id);
    grid_.put(id, readFields(id));
}

void BodyIndex::mark(uint32_t id) {
    if (markedIn_[id] == catchUps_) return;
    markedIn_[id] = catchUps_;
    marked_.push_back(id);
}

void BodyIndex::readMarked() {
    for (uint32_t id : marked_)
        if (bodies_[id].living) readBody(id);
    marked_.clear();
}

// The dicts held elsewhere: read again where the entity holds another dict, or the dict's
// version tag moved.
void BodyIndex::checkSharedDicts() {
    for (uint32_t id : sharedDicts_) {
        const Body& body = bodies_[id];
        PyObject* components = plainComponents(body.entity);
        if (components != body.components.dict || !body.components.holds(components)) mark(id);
    }
}

// The flag lists held elsewhere, each once: the bodies that hold one that can no longer be
// searched from here, or can be now, are read again. Each list is still held by the
// components that held it when read, as their bodies were not read again since.
void BodyIndex::checkSharedFlags() {
    for (auto& [list, shared] : sharedFlags_) {
        bool plain = plainFlags(list);
        if (plain == shared.plain) continue;
        shared.plain = plain;
        for (uint32_t id = 0; id < bodies_.size(); ++id)
            if (bodies_[id].living && bodies_[id].flags == list) mark(id);
    }
}

bool BodyIndex::move(uint32_t id, PyObject* vector) {
    const Body& body = bodies_[id];
    // Still the body's vector: nothing that holds it was written since it was read.
    if (!body.living || py::asObject(body.vector) != vector) return false;
    grid_.move(id, body.vector->x, body.vector->y);
    return true;
}

void BodyIndex::vectorMoved(PyObject* vector, uint32_t& hint) {
    // Only when this write is all that happened since the snapshot was last true; the
    // next catch-up reads it otherwise.
    if (stale_ || !reader_.takeOnly(vector)) return;
    if (hint < bodies_.size() && !bodies_[hint].vectorShared && move(hint, vector)) return;
    parts_.forEach(vector, [&](uint32_t entry) {
        if (Role(entry & 3) != vectorRole || !move(entry >> 2, vector)) return;
        if (!bodies_[entry >> 2].vectorShared) hint = entry >> 2;
    });
}

namespace {

// A handful of numbers, ascending: compare-and-swap passes without a branch, which a query's
// few candidates in no order would mispredict; std::sort for more.
void sortFound(BodyIndex::Found* first, size_t count) {
    if (count > 32) return std::sort(first, first + count);
    for (size_t i = 1; i < count; ++i)
        for (size_t j = i; j > 0 && first[j - 1] > first[j]; --j)
            std::swap(first[j - 1], first[j]);
}

} // namespace

size_t BodyIndex::candidates(double x, double y, double reach, size_t from, bool withFlags,
                             std::vector<Found>& out) {
    collision::BodyGrid::Answer answer = grid_.candidates(x, y, reach);
    size_t most = answer.count + answer.alwaysCount + (withFlags ? unplainFlags_.size() : 0);
    if (out.size() < most) out.resize(most);
    Found* found = out.data();
    size_t count = 0;
    // Those from `from` on, without a branch.
    auto take = [&](uint32_t id) {
        found[count] = Found(placeOf_[id]) << 32 | id;
        count += size_t(placeOf_[id] >= from);
    };
    answer.forEach(take);
    if (withFlags) std::for_each(unplainFlags_.begin(), unplainFlags_.end(), take);
    sortFound(found, count);
    if (withFlags) count = size_t(std::unique(found, found + count) - found);
    return count;
}

void BodyIndex::alongSegment(double x0, double y0, double x1, double y1, double reach,
                             std::vector<Found>& out) {
    out.clear();
    grid_.alongSegment(x0, y0, x1, y1, reach).forEach([&](uint32_t id) {
        out.push_back(Found(placeOf_[id]) << 32 | id);
    });
}

size_t BodyIndex::firstUnplain() const {
    size_t first = idAt_.size();
    for (uint32_t id : unplain_)
        first = std::min(first, size_t(placeOf_[id]));
    return first;
}
