#include "collision/step.hpp"

#include "core/collision.hpp"
#include "engine.hpp"
#include "geometryMath.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "resources/level.hpp"
#include "resources/motionComponents.hpp"

#include <bit>
#include <cmath>

namespace {

using raycast::Vec2;

py::Name nFireEvent("fireEvent");

constexpr const char* stepContext = "quorvelin.MovementSystem._moveWithCollisionDetection";
constexpr const char* pairContext = "quorvelin._collisionDist";

// Same bits: a NaN equals itself here, and 0.0 differs from -0.0.
bool sameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

Vec2 at(const Vector2* vector) {
    return {vector->x, vector->y};
}

// --- contacts -----------------------------------------------------------------------------

// engine.fireEvent(CollisionEvent(entity, other)), the handlers called at once.
bool fire(MovementSystem* self, PyObject* entity, PyObject* other, MovementPass& pass) {
    py::Ref engine = py::Ref::borrow(self->engine);
    // Nobody would see the event: it need not be made at all.
    if (nobodyListens(engine.get(), py::asObject(CollisionEvent::type))) return true;
    pass.pythonRan();
    py::Ref fireEvent = py::getAttr(engine.get(), nFireEvent);
    if (!fireEvent) return false;
    py::Ref event(
        PyObject_CallFunctionObjArgs(py::asObject(CollisionEvent::type), entity, other, nullptr));
    return event && py::Ref(PyObject_CallOneArg(fireEvent.get(), event.get()));
}

// The mover of one collision step.
struct Mover {
    MovementSystem* system;
    PyObject* entity;
    CollisionComponent* body;
    Vector2* old; // its position vector: the origin of the step and the place of write-back
    Vec2 move;    // carried from contact to contact, so corrections add up
    Vec2 next;
};

// Whether a value of the mover's ignoreFlags is among the other body's hasFlags: 1, 0, or
// -1 with the error set.
int ignores(PyObject* ignoreFlags, PyObject* other) {
    py::Ref flags = py::Ref::borrow(ignoreFlags);
    py::Ref iterator(PyObject_GetIter(flags.get()));
    if (!iterator) return -1;
    while (py::Ref flag{PyIter_Next(iterator.get())}) {
        auto* body = py::instanceOf<CollisionComponent>(other);
        if (!body) return py::noAttribute(other, "hasFlags");
        py::Ref hasFlags = py::Ref::borrow(body->hasFlags);
        int found = PySequence_Contains(hasFlags.get(), flag.get());
        if (found != 0) return found;
    }
    return PyErr_Occurred() ? -1 : 0;
}

// The body test of one pair whose parts are read the long way: an error is printed and
// the pair counts as not touching.
bool collisionDist(Mover& m, PyObject* otherVector, PyObject* otherBody, MovementPass& pass) {
    auto* other = py::instanceOf<Vector2>(otherVector);
    auto* body = py::instanceOf<CollisionComponent>(otherBody);
    if (other && body)
        return collision::bodyContact(at(m.old), m.body->radius, at(other), body->radius,
                                      body->isOnlyTrigger, m.move, m.next);
    if (!other)
        PyErr_Format(PyExc_TypeError, "unsupported operand type(s) for -: '%.100s' and '%.100s'",
                     Py_TYPE(otherVector)->tp_name, Vector2::type->tp_name);
    else
        py::noAttribute(otherBody, "_radius");
    pass.pythonRan();
    py::printUnraisable(pairContext);
    return false;
}

// One body visited by the plain algorithm: its components fetched (by name unless the
// entity is exactly an Entity), its flags and circle tested, its contact fired.
bool visitTheLongWay(Mover& m, PyObject* other, MovementPass& pass) {
    pass.pythonRan();
    bool byName = false;
    py::Ref body = componentOf(other, CollisionComponent::type, byName);
    if (!body || !checkComponent(body.get(), CollisionComponent::type)) return false;
    if (body.get() == py::asObject(m.body)) return true;
    int skip = ignores(m.body->ignoreFlags, body.get());
    if (skip != 0) return skip > 0;
    py::Ref position = componentOf(other, PositionComponent::type, byName);
    if (!position || !checkComponent(position.get(), PositionComponent::type)) return false;
    if (position.get() == Py_None) return py::noAttribute(position.get(), "_pos");
    py::Ref vector = py::Ref::borrow(py::cast<PositionComponent>(position.get())->pos);
    if (!collisionDist(m, vector.get(), body.get(), pass)) return true;
    return fire(m.system, m.entity, other, pass);
}

// One plain body of the snapshot. `pushed` tells that the mover's target moved.
bool visitPlain(Mover& m, BodyIndex::Found i, bool flagsToTest, MovementPass& pass, bool& pushed) {
    BodyIndex& snapshot = pass.bodies();
    const BodyIndex::Hot& other = snapshot.hot(i);
    if (other.collider == m.body) return true;
    if (flagsToTest) {
        // Flags whose comparison may run Python code: what follows must be read afresh.
        if (!other.plainFlags) {
            py::Ref entity = py::Ref::borrow(snapshot.body(i).entity);
            return visitTheLongWay(m, entity.get(), pass);
        }
        int skip = ignores(m.body->ignoreFlags, py::asObject(other.collider));
        if (skip != 0) return skip > 0;
    }
    if (!collision::bodyContact(at(m.old), m.body->radius, snapshot.centre(i), other.radius,
                                other.trigger, m.move, m.next))
        return true;
    pushed = !other.trigger;
    // Nobody would see the event: the other body's objects need not even be read.
    if (nobodyListens(m.system->engine, py::asObject(CollisionEvent::type))) return true;
    // Held across the handlers, which may take the body out of every list.
    py::Ref entity = py::Ref::borrow(snapshot.body(i).entity);
    return fire(m.system, m.entity, entity.get(), pass);
}

// Whether a snapshot that Python code may have changed is worth catching up before the
// next body, or that body is better visited by the plain algorithm. Mostly a catch-up
// reads the log and the few bodies it names, and always pays. Where the list, or many
// dicts, are held elsewhere it compares every item, which costs about what visiting
// eight bodies the plain way costs: then a mover catches up freely twice, and later only
// after it has visited an eighth of the list the plain way since, so bodies that make
// Python code run at every visit (a subclass, flags compared by Python code) cost about
// what a plain walk over them costs.
struct CatchUpBudget {
    int free = 2;
    size_t plainVisits = 0;

    bool worth(const BodyIndex& snapshot, PyObject* next, size_t listLength) const {
        if (!snapshot.catchUpIsCostly()) return true;
        if (!plainComponents(next)) return false; // visited the long way all the same
        return free > 0 || 8 * plainVisits >= listLength;
    }
    void caughtUp() {
        if (free > 0) --free;
        plainVisits = 0;
    }
};

// Every other body of the body list, in the list's order: the live list, by index, its
// length read again before each body. The snapshot finds the bodies that can touch; the
// others are passed over, which the plain walk over them would do too.
bool bodyPass(Mover& m, MovementPass& pass) {
    py::Ref owner = py::Ref::borrow(m.system->cbs);
    auto* bodies = py::instanceOf<CollisionBodySystem>(owner.get());
    if (!bodies) return true; // no body system: no bodies
    py::Ref list = py::Ref::borrow(bodies->entities);
    if (!PyList_Check(list.get()))
        return PyErr_Format(PyExc_TypeError, "object of type '%.200s' has no len()",
                            Py_TYPE(list.get())->tp_name),
               false;
    BodyIndex& snapshot = pass.bodies();
    std::vector<BodyIndex::Found>& found = pass.candidates();
    CatchUpBudget budget;
    bool fresh = false;
    size_t k = 0, count = 0;
    Vec2 query;
    double slack = 0.0, queryRadius = 0.0;
    bool queryFlags = false;
    for (size_t i = 0; Py_ssize_t(i) < PyList_GET_SIZE(list.get()); ++i) {
        PyObject* ignoreFlags = m.body->ignoreFlags;
        bool noFlags = PyList_CheckExact(ignoreFlags) && PyList_GET_SIZE(ignoreFlags) == 0;
        if (!noFlags && !plainFlags(ignoreFlags)) {
            // Every body must be tested against these flags, which may fail or run Python.
            py::Ref other = py::Ref::borrow(PyList_GET_ITEM(list.get(), Py_ssize_t(i)));
            if (!visitTheLongWay(m, other.get(), pass)) return false;
            continue;
        }
        if (!snapshot.current(list.get())) {
            PyObject* next = PyList_GET_ITEM(list.get(), Py_ssize_t(i));
            if (!budget.worth(snapshot, next, size_t(PyList_GET_SIZE(list.get())))) {
                py::Ref other = py::Ref::borrow(next);
                if (!visitTheLongWay(m, other.get(), pass)) return false;
                ++budget.plainVisits;
                continue;
            }
            // The list holds a reference here, besides its system's.
            if (snapshot.catchUp(list.get(), owner.get(), 1)) fresh = false;
            budget.caughtUp();
        }
        // A handler may have resized the mover itself, or given it flags to ignore.
        if (fresh && (!sameBits(m.body->radius, queryRadius) || queryFlags != !noFlags))
            fresh = false;
        if (!fresh) {
            // One query serves the mover until pushes take its target this far from where
            // the query was made.
            queryRadius = m.body->radius;
            queryFlags = !noFlags;
            slack = std::fabs(queryRadius);
            query = m.next;
            count = snapshot.candidates(query.x, query.y, std::fabs(queryRadius) + slack, i,
                                        !noFlags, found);
            k = 0;
            fresh = true;
        }
        while (k < count && BodyIndex::placeOf(found[k]) < i)
            ++k;
        if (k == count) return true;
        BodyIndex::Found next = found[k];
        i = BodyIndex::placeOf(next);
        if (!snapshot.hot(next).plain) {
            py::Ref other = py::Ref::borrow(snapshot.body(next).entity);
            if (!visitTheLongWay(m, other.get(), pass)) return false;
        } else {
            bool pushed = false;
            if (!visitPlain(m, next, !noFlags, pass, pushed)) return false;
            if (pushed &&
                !(std::fabs(m.next.x - query.x) <= slack && std::fabs(m.next.y - query.y) <= slack))
                fresh = false;
        }
    }
    return true;
}

// The eight probes, cast from the position before the move. Probes that cannot reach a
// wall within the radius are not cast: they would touch nothing.
bool wallPass(Mover& m, MovementPass& pass) {
    Vec2 origin = at(m.old);
    py::Ref level;
    collision::WallGrid view;
    bool stale = true;
    for (int i = 0; i < collision::PROBE_COUNT; ++i) {
        if (stale) { // the first probe, or a handler has run
            level = py::Ref::borrow(m.system->level);
            if (!py::instanceOf<Level>(level.get())) return true; // no level: no walls
            view = pass.walls(level.get());
            if (!collision::wallsMayTouch(view, origin, m.body->radius)) return true;
            stale = false;
        }
        double radius = m.body->radius;
        Vec2 dir{m.system->normalVectorComponents[2 * i],
                 m.system->normalVectorComponents[2 * i + 1]};
        if (!collision::probeMayTouch(view, origin, dir, radius)) continue;
        if (!collision::probeWall(view.cells, view.width, view.height, origin, dir, radius,
                                  at(m.old), m.next))
            continue;
        if (!fire(m.system, m.entity, Py_None, pass)) return false;
        stale = true;
    }
    return true;
}

bool collisionStep(MovementSystem* self, PyObject* entity, PositionComponent* position,
                   CollisionComponent* body, Vec2 move, MovementPass& pass) {
    if (!position) return py::noAttribute(Py_None, "_pos");
    py::Ref old = py::Ref::borrow(position->pos);
    Vector2* vector = py::instanceOf<Vector2>(old.get());
    if (!vector) return py::noAttribute(old.get(), "x");
    Mover m{self, entity, body, vector, move, {vector->x + move.x, vector->y + move.y}};
    if (!bodyPass(m, pass) || !wallPass(m, pass)) return false;
    pass.writePosition(vector, m.next.x, m.next.y);
    return true;
}

// --- the per-entity step ----------------------------------------------------------------

// The impulse decays by |friction| per second per second; one shorter than the step
// of this frame, or of length 0.0001 or less, stops.
bool decayImpulse(VelocityComponent* velocity, double timeStep, MovementPass& pass) {
    py::Ref held = py::Ref::borrow(velocity->impulse);
    Vector2* impulse = py::instanceOf<Vector2>(held.get());
    if (!impulse) return py::noAttribute(held.get(), "length");
    double length = impulse->length();
    if (length > 0.0001) {
        double x = impulse->x, y = impulse->y;
        double norm = std::sqrt(x * x + y * y);
        if (norm != 0.0) {
            x /= norm;
            y /= norm;
        }
        double factor = std::fabs(velocity->friction) * timeStep;
        x *= factor;
        y *= factor;
        if (!(std::sqrt(x * x + y * y) > length)) {
            // A new vector: whoever holds the old one keeps its value.
            py::Ref decayed(newVector2(impulse->x - x, impulse->y - y));
            if (!decayed) return false;
            py::assign(velocity->impulse, decayed.get());
            if (!Py_IS_TYPE(held.get(), Vector2::type)) pass.pythonRan(); // its finalizer
            return true;
        }
    }
    pass.write(impulse, 0.0, 0.0);
    return true;
}

} // namespace

void moveWithCollisionDetection(MovementSystem* self, PyObject* entity, PositionComponent* position,
                                CollisionComponent* body, Vec2 move, MovementPass& pass) {
    if (collisionStep(self, entity, position, body, move, pass)) return;
    pass.pythonRan();
    py::printUnraisable(stepContext);
}

bool updateEntity(MovementSystem* self, PyObject* entity, PyObject* timeStepObject,
                  MovementPass& pass) {
    double timeStep;
    if (!PyFloat_CheckExact(timeStepObject)) pass.pythonRan(); // its conversion may be Python
    if (!py::toDouble(timeStepObject, timeStep)) return false;
    py::Ref held = py::Ref::borrow(entity);
    bool byName = false;
    PyTypeObject* const types[3] = {PositionComponent::type, VelocityComponent::type,
                                    CollisionComponent::type};
    py::Ref found[3];
    bool fetched = pass.movers().fetch(pass.place, entity, types, found, byName);
    PyObject *position = found[0].get(), *velocity = found[1].get(), *collider = found[2].get();
    if (byName) pass.pythonRan();
    if (!fetched) return false;

    auto* motion = py::instanceOf<VelocityComponent>(velocity);
    if (!motion) return py::noAttribute(velocity, "impulse");
    if (!decayImpulse(motion, timeStep, pass)) return false;
    Vector2* speed = motion->velocityVector();
    if (!speed) return py::noAttribute(motion->velocity, "x");
    Vector2* impulse = motion->impulseVector();
    if (!impulse) return py::noAttribute(motion->impulse, "x");
    double sumX = speed->x + impulse->x, sumY = speed->y + impulse->y;
    Vec2 move{sumX * timeStep, sumY * timeStep};

    auto* place = py::instanceOf<PositionComponent>(position);
    if (auto* body = py::instanceOf<CollisionComponent>(collider)) {
        self->ops->moveWithCollisionDetection(self, entity, place, body, move, pass);
        return true;
    }
    if (!place) return py::noAttribute(position, "pos");
    py::Ref vector = py::Ref::borrow(place->pos);
    Vector2* at = py::instanceOf<Vector2>(vector.get());
    if (!at) return py::noAttribute(vector.get(), "add");
    pass.write(at, at->x + move.x, at->y + move.y);
    return true;
}

MovementPass::MovementPass(MovementSystem* system)
    : system_(py::Ref::borrow(py::asObject(system))) {
    std::unique_ptr<MovementMemory>& kept = system->native.memory;
    if (!kept) kept = std::make_unique<MovementMemory>();
    if (kept->inUse) {
        own_ = std::make_unique<MovementMemory>();
        memory_ = own_.get();
    } else {
        memory_ = kept.get();
    }
    memory_->inUse = true;
    memory_->bodies.pythonRan(); // since the last pass
    memory_->bodies.settleSoon();
}

MovementPass::~MovementPass() {
    memory_->bodies.pythonRan();
    memory_->inUse = false;
}

void MovementPass::writePosition(Vector2* vector, double x, double y) {
    // The same bits: nothing to tell anyone.
    if (sameBits(vector->x, x) && sameBits(vector->y, y)) return;
    vector->assign(x, y);
    std::vector<uint32_t>& hints = memory_->moverBodies;
    if (place != MoverComponents::nowhere && place >= hints.size())
        hints.resize(place + 1, UINT32_MAX);
    uint32_t none = UINT32_MAX;
    memory_->bodies.vectorMoved(py::asObject(vector),
                                place != MoverComponents::nowhere ? hints[place] : none);
}

void MovementPass::write(Vector2* vector, double x, double y) {
    if (sameBits(vector->x, x) && sameBits(vector->y, y)) return;
    vector->assign(x, y);
    uint32_t none = UINT32_MAX;
    memory_->bodies.vectorMoved(py::asObject(vector), none);
}

const collision::WallGrid& MovementPass::walls(PyObject* level) {
    if (wallsOf_ != level) {
        Level* walls = py::cast<Level>(level);
        const levelGrid::Cells& cells = walls->native.cells;
        walls_ = {cells.size() ? cells.data() : nullptr, walls->width, walls->height, nullptr};
        MovementMemory& m = *memory_;
        if (m.wallMapTag != cells.tag() || m.wallMapWidth != walls_.width ||
            m.wallMapHeight != walls_.height) {
            m.wallMapMade = m.wallMap.build(walls_.cells, walls_.width, walls_.height);
            m.wallMapTag = cells.tag();
            m.wallMapWidth = walls_.width;
            m.wallMapHeight = walls_.height;
        }
        if (m.wallMapMade) walls_.map = &m.wallMap;
        wallsOf_ = level;
    }
    return walls_;
}

bool updateMembers(PyObject* self, PyObject* members, PyObject* timeStep) {
    auto* system = py::cast<MovementSystem>(self);
    MovementPass pass(system);
    // Over a copy: entities that join during the pass wait for the next one.
    py::Ref held = py::Ref::borrow(members);
    py::Ref copy(PySequence_List(members));
    if (!copy) return false;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(copy.get()); ++i) {
        pass.place = size_t(i);
        if (!updateEntity(system, PyList_GET_ITEM(copy.get(), i), timeStep, pass)) return false;
    }
    return true;
}

bool updateEntity(MovementSystem* self, PyObject* entity, PyObject* timeStep) {
    MovementPass pass(self);
    return updateEntity(self, entity, timeStep, pass);
}
