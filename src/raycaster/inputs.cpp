// What a frame, a query and castRay read first of the renderer's Python objects: its
// camera, a vector's coordinates and the target's size, each the way game code may
// override it.
#include "raycaster.hpp"

#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/convert.hpp"
#include "py/errors.hpp"

namespace {

py::Name nX("x");
py::Name nY("y");
py::Name nGetSize("getSize");

} // namespace

namespace raycaster {

Camera* cameraOf(PyObject* renderer, const char* attribute) {
    Camera* camera = py::instanceOf<Camera>(py::cast<RaycastingRenderer>(renderer)->camera);
    if (!camera) py::noAttribute(Py_None, attribute);
    return camera;
}

bool readVector(PyObject* vector, raycast::Vec2& out) {
    py::Ref x = py::getAttr(vector, nX);
    if (!x || !py::toDouble(x.get(), out.x)) return false;
    py::Ref y = py::getAttr(vector, nY);
    return y && py::toDouble(y.get(), out.y);
}

bool targetSize(PyObject* renderer, int32_t& width, int32_t& height) {
    py::Ref target = py::Ref::borrow(py::cast<RaycastingRenderer>(renderer)->target);
    py::Ref size = py::callMethod(target.get(), nGetSize);
    return size && py::toInt32Pair(size.get(), width, height);
}

} // namespace raycaster
