// Camera and RaycastingRenderer: the classes, construction, the camera, the level,
// the flashlight and castRay. The frame is in raycaster/frame.cpp, the screen queries
// and picking in raycaster/queries.cpp.
#include "raycaster.hpp"

#include "geometryMath.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "resources/level.hpp"
#include "resources/motionComponents.hpp"
#include "resources/texture.hpp"

#include <algorithm>

namespace {

py::Name nGetSize("getSize");
py::Name nInit("__init__");

} // namespace

// --- Camera ------------------------------------------------------------------------------------

static int Camera_init(PyObject* self, py::Arguments<5>& a) {
    auto [pos, dir, fovArgument, pitchArgument, ratioArgument] = a;
    int32_t fov, pitch;
    double ratio = 1.6;
    if (!py::toInt32(fovArgument, fov) || !py::toInt32(pitchArgument, pitch) ||
        (ratioArgument && !py::toDouble(ratioArgument, ratio)) ||
        !py::checkArgument(pos, Vector2::type, "pos", true) ||
        !py::checkArgument(dir, Vector2::type, "dir", true))
        return -1;
    Camera* camera = py::cast<Camera>(self);
    py::assign(camera->pos, pos);
    py::assign(camera->dir, dir);
    camera->fov = fov;
    camera->pitch = pitch;
    camera->ratio = ratio;
    return 0;
}

static const py::Member cameraMembers[] = {
    py::member<&Camera::pos>().readonly("pos").typed<&Vector2::type>(),
    py::member<&Camera::dir>().readonly("dir").typed<&Vector2::type>(),
    py::member<&Camera::fov>().readwrite("fov"),
    py::member<&Camera::pitch>().readwrite("pitch"),
    py::member<&Camera::ratio>().readwrite("ratio"),
};

py::ClassDef& cameraClass() {
    return py::define<Camera>(
        "Camera", {.members = cameraMembers,
                   .init = py::init<Camera_init, "pos", "dir", "fov", "pitch", "ratio=1.6">,
                   .initDoc = py::doc<"@param(pos, Vector2)", "@param(dir, Vector2)",
                                      "@param(fov, int)", "@param(pitch, int)">});
}

// --- RaycastingRenderer: construction ----------------------------------------------------------

// A new camera in the middle of cell (2, 2), looking south, with a 60-degree field of
// view and the horizon 20 rows below the middle.
static py::Ref defaultCamera() {
    py::Ref pos(newVector2(2.5, 2.5));
    py::Ref dir(pos ? newVector2(0.0, 1.0) : nullptr);
    if (!dir) return py::Ref();
    return py::Ref(
        PyObject_CallFunction(py::asObject(Camera::type), "OOii", pos.get(), dir.get(), 60, 20));
}

// One zeroed record per column of the target, as wide as its getSize() says (and no
// wider than its surface, the most a frame ever draws).
static bool allocateHits(PyObject* self) {
    py::Ref target = py::Ref::borrow(py::cast<RaycastingRenderer>(self)->target);
    py::Ref size = py::callMethod(target.get(), nGetSize);
    py::Ref width, height;
    if (!size || !py::unpackPair(size.get(), width, height)) return false;
    size_t columns = PyLong_AsSize_t(width.get());
    if (columns == size_t(-1) && PyErr_Occurred()) return false;
    // Reading the size ran Python code: the surface is read now.
    Texture* texture = py::instanceOf<Texture>(py::cast<RaycastingRenderer>(self)->target);
    pixels::Area area = texture ? texture->view() : pixels::Area{};
    columns = std::min(columns, size_t(area.width));
    std::vector<raycast::RayHit>& hits = py::cast<RaycastingRenderer>(self)->native.hits;
    hits.assign(columns, raycast::RayHit{});
    hits.shrink_to_fit();
    return true;
}

static int RaycastingRenderer_init(PyObject* self, py::Arguments<2>& a) {
    auto [target, level] = a;
    if (!py::checkArgument(target, Texture::type, "target", true) ||
        !py::checkArgument(level, Level::type, "level", true))
        return -1;
    // The base constructor of the class itself: the renderer tracks the entities with a
    // position and a sprite.
    py::Ref rendererInit = py::getAttr(py::asObject(Renderer::type), nInit);
    py::Ref done(rendererInit
                     ? PyObject_CallFunctionObjArgs(rendererInit.get(), self, target,
                                                    py::asObject(PositionComponent::type),
                                                    py::asObject(SpriteComponent::type), nullptr)
                     : nullptr);
    if (!done) return -1;
    RaycastingRenderer* renderer = py::cast<RaycastingRenderer>(self);
    py::assign(renderer->level, level);
    py::Ref camera = defaultCamera();
    if (!camera) return -1;
    py::assign(renderer->camera, camera.get());
    if (!allocateHits(self)) return -1;
    py::assign(renderer->flashlight, Py_None);
    return 0;
}

// --- camera, flashlight, castRay -----------------------------------------------------------------

static PyObject* RaycastingRenderer_getCamera(PyObject* self, PyObject*) {
    return py::newRef(py::cast<RaycastingRenderer>(self)->camera);
}

static PyObject* RaycastingRenderer_setFlashlight(PyObject* self, PyObject* flashlight) {
    if (!py::checkArgument(flashlight, Texture::type, "flashlight", true)) return nullptr;
    py::assign(py::cast<RaycastingRenderer>(self)->flashlight, flashlight);
    Py_RETURN_NONE;
}

static PyObject* RaycastingRenderer_castRay(PyObject* self, py::Arguments<2>& a) {
    auto [posArgument, dirArgument] = a;
    if (!py::checkArgument(posArgument, Vector2::type, "pos", true) ||
        !py::checkArgument(dirArgument, Vector2::type, "dir", true))
        return nullptr;
    // Copies: the cast may replace a zero component of the direction, which the
    // caller's vector never sees.
    raycast::Vec2 pos, dir;
    if (!raycaster::readVector(posArgument, pos) || !raycaster::readVector(dirArgument, dir))
        return nullptr;
    // After the last Python code: the cells are read as they are now.
    Level* level = py::instanceOf<Level>(py::cast<RaycastingRenderer>(self)->level);
    if (!level) Py_RETURN_NONE;
    levelGrid::View view = level->view();
    raycast::RayHit hit;
    raycast::castGridRay(view.cells, view.width, view.height, pos, dir, hit);
    if (hit.outOfMap) Py_RETURN_NONE;
    return newVector2(hit.hitPos.x, hit.hitPos.y);
}

// --- the class
// -------------------------------------------------------------------------------------

static const PyMethodDef raycastingRendererMethods[] = {
    py::noArgs<"getCamera", RaycastingRenderer_getCamera>(
        py::doc<"@returns(Camera)",
                "Returns the camera object that is used for rendering the scene">),
    py::withKeywords<"castRay", RaycastingRenderer_castRay, "pos", "dir">(
        py::doc<"Casts a ray from <code>pos</code> in the direction <code>dir</code>.",
                "If a wall is hit, the position of that hit is returned. If the ray",
                "leaves the level boundaries, None is returned.", "@param(pos, Vector2)",
                "@param(dir, Vector2)", "@returns(Vector2)">),
    py::withKeywords<"getWorldCellByScreenCoords", RaycastingRenderer_getWorldCellByScreenCoords,
                     "x", "y">(
        py::doc<"@param(x, int)", "@param(y, int)",
                "@returns((int, int, int)) what the pixel of the last frame shows: 1 floor,",
                "2 ceiling or the wall's side 3 to 6, and the cell">),
    py::withKeywords<"getWorldPosByScreenCoords", RaycastingRenderer_getWorldPosByScreenCoords, "x",
                     "y">(
        py::doc<"@param(x, int)", "@param(y, int)",
                "@returns((int, float, float)) as getWorldCellByScreenCoords, with the world",
                "position of a floor or ceiling pixel">),
    py::withKeywords<"getEntityAtScreenCoords", RaycastingRenderer_getEntityAtScreenCoords, "x",
                     "y">(
        py::doc<
            "@param(x, int)", "@param(y, int)",
            "@returns(Entity | None) the nearest tracked entity whose sprite covers the pixel">),
    py::noArgs<"render", RaycastingRenderer_render>(
        py::doc<"Renders a single frame of the level onto the render target">),
    py::oneArg<"_setFlashlight", RaycastingRenderer_setFlashlight, "flashlight">(
        py::doc<"@param(flashlight, Texture | None) the flashlight image; None switches it off">),
};

static const py::Member raycastingRendererMembers[] = {
    py::member<&RaycastingRenderer::level>().readonly("level").typed<&Level::type>(),
    py::member<&RaycastingRenderer::camera>().typed<&Camera::type>(),
    py::member<&RaycastingRenderer::flashlight>().typed<&Texture::type>(),
};

py::ClassDef& raycastingRendererClass() {
    return py::define<RaycastingRenderer>(
        "RaycastingRenderer",
        {.doc = py::classDoc<"Renders 2.5D levels using the raycasting technique.",
                             "The technique is described at",
                             "https://en.wikipedia.org/wiki/Ray_casting">,
         .members = raycastingRendererMembers,
         .init = py::init<RaycastingRenderer_init, "target", "level">,
         .methods = raycastingRendererMethods,
         .initDoc = py::doc<"@param(target, Texture)", "@param(level, Level)",
                            "The renderer renders the given level onto the target texture.">});
}
