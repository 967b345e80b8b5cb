// The ray queries of a CollisionBodySystem: which bodies a ray crosses, and where.
//
// A query reads the bodies of a snapshot (collision/bodies.hpp: BodyIndex), caught up
// at its start, whose grid gives the few bodies near the ray; only those are tested.
// The answer is that of a walk over every body of the list in order: bodies the grid
// leaves out cannot be met, and a body that is not plain (a Python subclass, a missing
// component, no position vector) is visited the long way in its place, after which
// Python code may have run and the rest of the list is walked the long way too.
#include "collision.hpp"

#include "core/collision.hpp"
#include "geometryMath.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "resources/motionComponents.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using raycast::Vec2;

struct Traced {
    py::Ref entity;
    double dist;
    size_t place; // in the list
};

// The ray of one query: from `from` (read again for every body, as the plain walk does)
// to `end`.
struct Ray {
    CollisionBodySystem* system;
    Vector2* from;
    Vec2 end;
    float maxDist;
    std::vector<Traced>& traced;

    // The circle's pair, when the ray meets it strictly between its start and maxDist.
    void test(size_t place, PyObject* entity, const Vec2& center, double radius) {
        Vec2 start{from->x, from->y}, hit;
        if (!system->ops->getClosestLineCircleIntersections(center, collision::toSingle(radius),
                                                            start, end, hit))
            return;
        double dx = hit.x - from->x, dy = hit.y - from->y;
        double dist = std::sqrt(dx * dx + dy * dy);
        if (dist > 0.0 && dist < double(maxDist))
            traced.push_back({py::Ref::borrow(entity), dist, place});
    }

    // The body at `index` of the list, its components fetched as getComponent gives them.
    bool visitTheLongWay(size_t index, PyObject* entity) {
        bool byName = false;
        PyTypeObject* const types[2] = {PositionComponent::type, CollisionComponent::type};
        py::Ref found[2];
        if (!system->native.traced.fetch(index, entity, types, found, byName)) return false;
        auto* place = py::instanceOf<PositionComponent>(found[0].get());
        if (!place) return py::noAttribute(found[0].get(), "pos");
        auto* body = py::instanceOf<CollisionComponent>(found[1].get());
        if (!body) return py::noAttribute(found[1].get(), "_radius");
        Vector2* center = place->position();
        if (!center) return py::noAttribute(place->pos, "x");
        test(index, entity, {center->x, center->y}, body->radius);
        return true;
    }

    // The bodies of the list from `first` on, the long way. As a list iterator walks: the
    // length is read again before each body.
    bool walkTheLongWay(PyObject* members, size_t first) {
        for (size_t i = first; Py_ssize_t(i) < PyList_GET_SIZE(members); ++i) {
            py::Ref entity = py::Ref::borrow(PyList_GET_ITEM(members, Py_ssize_t(i)));
            if (!visitTheLongWay(i, entity.get())) return false;
        }
        return true;
    }
};

// Where the grid may serve the query: a ray of a length and bodies of radii for which the
// single-precision working stays far from overflow, so that the nearness below holds.
constexpr double tameLength = 1e8;

// The bodies that the query may find, ascending. A circle that the working reports met at
// a distance below maxDist lies within |radius| + 0.0025 (maxDist + |radius|) of the ray's
// segment: the working's discriminant is within 8 units of 2^-24 of its exact value,
// relative to the terms it is made of, which moves the point it reports along the line by
// at most the square root of that, and off the line by the rounding of its products. The
// grid is asked for four times that.
void bodiesNear(BodyIndex& snapshot, const Vec2& start, const Vec2& end, float maxDist,
                std::vector<BodyIndex::Found>& out) {
    double length = maxDist, dx = end.x - start.x, dy = end.y - start.y;
    double reached = std::sqrt(dx * dx + dy * dy);
    double largest = snapshot.largestRadius();
    // The segment must reach as far as maxDist does along the ray: a direction whose
    // normalisation lost precision (tiny components) leaves it shorter.
    bool tame = length > 0.0 && length <= tameLength && largest <= tameLength &&
                std::fabs(reached - length) <= 1e-6 * length && std::isfinite(start.x) &&
                std::isfinite(start.y);
    if (!tame) {
        out.resize(snapshot.size());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = snapshot.at(i);
        return;
    }
    double reach = 0.01 * (length + largest) + 1e-12 * (std::fabs(start.x) + std::fabs(start.y));
    snapshot.alongSegment(start.x, start.y, end.x, end.y, reach, out);
}

// The bodies near the ray from the snapshot, up to the first one that is not plain; that
// one the long way, and the rest of the list after it the long way too. A plain body has
// no effect but its pair, so the plain ones may be tested in any order.
bool walkTheSnapshot(Ray& ray, PyObject* members) {
    CollisionBodySystem::Native& native = ray.system->native;
    BodyIndex& snapshot = native.bodies;
    native.tracing = true; // until Python code may run
    // Python code has run since the last query. The list is held twice on the way here.
    snapshot.pythonRan();
    snapshot.settleSoon();
    snapshot.catchUp(members, py::asObject(ray.system), 2);
    std::vector<BodyIndex::Found>& near = native.near;
    bodiesNear(snapshot, {ray.from->x, ray.from->y}, ray.end, ray.maxDist, near);
    size_t unplain = snapshot.firstUnplain();
    for (BodyIndex::Found i : near)
        if (BodyIndex::placeOf(i) < unplain)
            ray.test(BodyIndex::placeOf(i), snapshot.body(i).entity, snapshot.centre(i),
                     snapshot.hot(i).radius);
    native.tracing = false;
    if (unplain == snapshot.size()) return true;
    py::Ref entity = py::Ref::borrow(snapshot.body(snapshot.at(unplain)).entity);
    return ray.visitTheLongWay(unplain, entity.get()) && ray.walkTheLongWay(members, unplain + 1);
}

} // namespace

PyObject* traceBodies(CollisionBodySystem* system, PyObject* members, Vector2* from,
                      const Vec2& end, float maxDist) {
    py::Ref held = py::Ref::borrow(members);
    std::vector<Traced> traced;
    Ray ray{system, from, end, maxDist, traced};
    // A query made while another one reads the snapshot (by Python code that the other's
    // lookups ran) walks the list itself.
    bool walked =
        system->native.tracing ? ray.walkTheLongWay(members, 0) : walkTheSnapshot(ray, members);
    if (!walked) return nullptr;
    // Nearest first; at the same distance in list order, as a stable sort of a walk gives.
    std::sort(traced.begin(), traced.end(), [](const Traced& a, const Traced& b) {
        return a.dist < b.dist || (a.dist == b.dist && a.place < b.place);
    });
    py::Ref result(PyList_New(Py_ssize_t(traced.size())));
    if (!result) return nullptr;
    for (size_t i = 0; i < traced.size(); ++i) {
        PyObject* pair = Py_BuildValue("(Od)", traced[i].entity.get(), traced[i].dist);
        if (!pair) return nullptr;
        PyList_SET_ITEM(result.get(), Py_ssize_t(i), pair);
    }
    return result.release();
}
