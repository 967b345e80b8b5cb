// What the last frame of a RaycastingRenderer shows at a screen position: the floor or
// ceiling point or the wall there, and the tracked entity whose sprite covers it. The
// answers come from the last frame's record of the column and the camera as it is now.
//
// The arguments and the camera's vectors are read first, since reading them may run
// Python code (an __index__, a subclass's properties) that changes the renderer; the
// column's record is read after, and a column outside the target as it is now and as
// the last frame drew it raises IndexError (picking answers None).
#include "raycaster.hpp"

#include "core/raycastQueries.hpp"
#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/convert.hpp"
#include "py/errors.hpp"
#include "resources/texture.hpp"

#include <cmath>
#include <limits>

namespace {

// A screen column as the host converts an index (a float raises TypeError); one too
// large for the machine's sizes counts as outside every target.
bool columnOf(PyObject* x, Py_ssize_t& out) {
    py::Ref index(PyNumber_Index(x));
    if (!index) return false;
    out = PyLong_AsSsize_t(index.get());
    if (out == -1 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
        PyErr_Clear();
        out = PY_SSIZE_T_MAX;
    }
    return true;
}

// The column's record of the last frame, if the column lies inside the target both now
// (`width`, from its getSize) and in the last frame.
const raycast::RayHit* columnRecord(PyObject* self, Py_ssize_t column, int32_t width) {
    const std::vector<raycast::RayHit>& hits = py::cast<RaycastingRenderer>(self)->native.hits;
    if (column < 0 || column >= width || size_t(column) >= hits.size()) return nullptr;
    return &hits[size_t(column)];
}

// The screen query's answer at (x, y), or false with the error set.
bool screenPoint(PyObject* self, py::Arguments<2>& a, raycast::ScreenPoint& out) {
    int32_t width, height;
    if (!raycaster::targetSize(self, width, height)) return false;
    Camera* camera = raycaster::cameraOf(self, "pitch");
    if (!camera) return false;
    py::Ref held = py::Ref::borrow(py::asObject(camera));
    if (camera->ratio == 0.0) return py::raise(PyExc_ZeroDivisionError, "float division");
    Py_ssize_t column;
    double y;
    raycast::Vec2 pos;
    if (!columnOf(a[0], column) || !py::toDouble(a[1], y) ||
        !raycaster::readVector(py::Ref::borrow(camera->pos).get(), pos))
        return false;
    const raycast::RayHit* record = columnRecord(self, column, width);
    if (!record) {
        PyErr_Format(PyExc_IndexError, "screen column %zd is outside the target", column);
        return false;
    }
    out = raycast::screenToWorld(*record, y, height, camera->pitch, camera->ratio, pos);
    return true;
}

bool isWall(const raycast::ScreenPoint& point) {
    return point.kind != levelGrid::FLOOR && point.kind != levelGrid::CEILING;
}

PyObject* wallAnswer(const raycast::ScreenPoint& point) {
    return Py_BuildValue("(iii)", point.kind, point.cellX, point.cellY);
}

} // namespace

PyObject* RaycastingRenderer_getWorldCellByScreenCoords(PyObject* self, py::Arguments<2>& a) {
    raycast::ScreenPoint point;
    if (!screenPoint(self, a, point)) return nullptr;
    if (isWall(point)) return wallAnswer(point);
    // Truncated toward zero; a point at infinity raises as int() does.
    py::Ref cellX(PyLong_FromDouble(point.world.x));
    py::Ref cellY(cellX ? PyLong_FromDouble(point.world.y) : nullptr);
    if (!cellY) return nullptr;
    return Py_BuildValue("(iOO)", point.kind, cellX.get(), cellY.get());
}

PyObject* RaycastingRenderer_getWorldPosByScreenCoords(PyObject* self, py::Arguments<2>& a) {
    raycast::ScreenPoint point;
    if (!screenPoint(self, a, point)) return nullptr;
    if (isWall(point)) return wallAnswer(point);
    return Py_BuildValue("(idd)", point.kind, point.world.x, point.world.y);
}

PyObject* RaycastingRenderer_getEntityAtScreenCoords(PyObject* self, py::Arguments<2>& a) {
    int32_t width, height;
    if (!raycaster::targetSize(self, width, height)) return nullptr;
    Camera* camera = raycaster::cameraOf(self, "pitch");
    if (!camera) return nullptr;
    py::Ref held = py::Ref::borrow(py::asObject(camera));
    raycast::PickView view;
    Py_ssize_t column;
    double y;
    if (!raycaster::readVector(py::Ref::borrow(camera->pos).get(), view.cameraPos) ||
        !raycaster::readVector(py::Ref::borrow(camera->dir).get(), view.cameraDir) ||
        !columnOf(a[0], column) || !py::toDouble(a[1], y))
        return nullptr;

    // No Python code runs from here on: the entities are read as they are.
    std::vector<raycaster::Tracked> tracked;
    if (!raycaster::readTracked(self, false, tracked)) return nullptr;
    Texture* target = py::instanceOf<Texture>(py::cast<RaycastingRenderer>(self)->target);
    view.width = width;
    view.height = target ? target->view().height : height;
    view.pitch = camera->pitch;
    view.ratio = camera->ratio;
    const raycast::RayHit* record = columnRecord(self, column, width);
    double wallDist = record ? record->dist : -std::numeric_limits<double>::infinity();
    size_t count = tracked.size();
    std::vector<raycast::Vec2> positions(count);
    for (size_t i = 0; i < count; ++i)
        positions[i] = tracked[i].position;
    std::vector<double> dists(count);
    std::vector<uint32_t> order(count);
    int64_t found = raycast::pickSprite(view, wallDist, column, y, positions.data(), count,
                                        dists.data(), order.data());
    for (size_t i = 0; i < count; ++i)
        tracked[i].sprite->dist = dists[i];
    raycaster::reorderTracked(self, tracked, order.data());
    // The squares' sizes divide by the ratio.
    if (record && count > 0 && view.ratio == 0.0)
        return py::raise(PyExc_ZeroDivisionError, "float division");
    if (found < 0) Py_RETURN_NONE;
    return py::newRef(tracked[size_t(found)].entity);
}
