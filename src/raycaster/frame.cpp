// The frame of a RaycastingRenderer. The passes read the camera, the level and the
// tracked entities on the calling thread and write back what they change in Python
// objects; then, once no Python code can run any more, the frame reads the surfaces
// and draws every pass at once with the core, which may spread the work over threads.
//
// Python code may run at several points before the drawing (a subclass's getSize,
// normalize, getDegrees or getTimeStep, a vector's properties), and it may
// re-initialise any texture or the renderer itself; so no pixel pointer, cell pointer
// or level view is taken before the drawing starts, and the target's size is checked
// against its surface as it is then.
#include "raycaster.hpp"

#include "core/raycastFrame.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/convert.hpp"
#include "py/errors.hpp"
#include "py/exclusive.hpp"
#include "resources/level.hpp"
#include "resources/texture.hpp"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

py::Name nNormalize("normalize");
py::Name nGetDegrees("getDegrees");
py::Name nGetTimeStep("getTimeStep");

} // namespace

void FrameInProgress::clear() noexcept {
    sky = walls = sprites = false;
    draws.clear();
    // Released once the vector is empty: a release may run Python code, even a frame.
    std::vector<py::Ref> released;
    released.swap(sheets);
}

namespace {

// The engine's last time step, as its getTimeStep() answers it.
bool timeStepOf(PyObject* self, double& out) {
    py::Ref engine = py::Ref::borrow(py::cast<AbstractSystem>(self)->engine);
    py::Ref step = py::callMethod(engine.get(), nGetTimeStep);
    return step && py::toDouble(step.get(), out);
}

// What the sprite pass draws of one tracked entity, as its components are now.
raycast::SpriteDraw spriteDraw(const raycaster::Tracked& tracked, uint32_t index) {
    raycast::SpriteDraw draw;
    draw.index = index;
    draw.position = tracked.position;
    draw.facing = tracked.facing;
    const SpriteComponent& component = *tracked.sprite;
    draw.shadeless = component.shadeless;
    draw.blendMode = uint32_t(component.blendMode);
    draw.zOffset = component.zOffset;
    draw.scale = component.scale;
    draw.currentMinFrame = component.currentMinFrame;
    draw.currentDirections = component.currentDirections;
    draw.progress = component.animationPercentage;
    draw.speed = component.animationSpeed;
    Sprite* sheet = component.sheet();
    SpriteAnimation* animation = component.animation();
    draw.drawable = sheet && animation;
    if (sheet) {
        draw.frameWidth = sheet->width;
        draw.frameHeight = sheet->height;
        draw.xFrames = sheet->xFrames;
    }
    if (animation) {
        draw.frameCount = animation->frameCount;
        draw.oscillate = animation->oscillate;
        draw.directions = animation->directions;
    }
    return draw;
}

// The sprite pass's reading: every tracked entity measured from the camera (its
// distance and viewing angle written back), the entity list sorted far to near, and
// every animation advanced by the engine's time step. False with the error set; the
// distances and the order are written even when only the time step failed.
bool readSprites(RaycastingRenderer* self) {
    PyObject* object = py::asObject(self);
    FrameInProgress& frame = self->native.frame;
    // The time step first, as it may run Python code; its error counts only once the
    // entities have been read.
    PyObject* list = self->entities;
    double timeStep = 0.0;
    std::optional<py::PendingError> stepError;
    if (PyList_Check(list) && PyList_GET_SIZE(list) > 0 && !timeStepOf(object, timeStep))
        stepError.emplace();
    std::vector<raycaster::Tracked> tracked;
    if (!raycaster::readTracked(object, true, tracked)) {
        if (stepError) stepError->drop(); // the entities' error is the one reported
        return false;
    }
    frame.draws.clear();
    std::vector<py::Ref> sheets;
    for (size_t i = 0; i < tracked.size(); ++i) {
        raycast::SpriteDraw draw = spriteDraw(tracked[i], uint32_t(i));
        // Without a time step nothing is animated, nor drawn.
        if (stepError) draw.drawable = 0;
        frame.draws.push_back(draw);
        Sprite* sheet = tracked[i].sprite->sheet();
        sheets.push_back(py::Ref::borrow(sheet ? sheet->texture : nullptr));
    }
    frame.sheets.swap(sheets); // the previous ones (none) go as the pass ends
    raycast::prepareSprites(frame.camera.pos, frame.draws.data(), frame.draws.size(), timeStep);
    std::vector<uint32_t> order(frame.draws.size());
    for (size_t i = 0; i < frame.draws.size(); ++i) {
        const raycast::SpriteDraw& draw = frame.draws[i];
        SpriteComponent* component = tracked[draw.index].sprite;
        component->dist = draw.dist;
        component->angleToCam = draw.angleToCam;
        component->animationPercentage = draw.progress;
        component->animationSpeed = draw.speed;
        order[i] = draw.index;
    }
    raycaster::reorderTracked(object, tracked, order.data());
    return !stepError; // a held error is pending again as it goes
}

// --- the passes: what each reads for its part of the picture -------------------------------------

void readSkyPass(RaycastingRenderer* self, int64_t) {
    FrameInProgress& frame = self->native.frame;
    frame.sky = false;
    Camera* camera = raycaster::cameraOf(py::asObject(self), "dir");
    py::Ref held = py::Ref::borrow(py::asObject(camera));
    py::Ref dir = py::Ref::borrow(camera ? camera->dir : nullptr);
    py::Ref degrees = dir ? py::callMethod(dir.get(), nGetDegrees) : py::Ref();
    double angle;
    if (!degrees || !py::toDouble(degrees.get(), angle))
        return py::printUnraisable("quorvelin.RaycastingRenderer.renderSky");
    frame.camera.skyDegrees = angle;
    frame.camera.fov = camera->fov;
    frame.camera.pitch = camera->pitch;
    frame.sky = true;
}

void readSpritePass(RaycastingRenderer* self, int64_t, int32_t, int32_t) {
    self->native.frame.sprites = readSprites(self);
    if (!self->native.frame.sprites)
        py::printUnraisable("quorvelin.RaycastingRenderer.renderSprites");
}

void readWallPass(RaycastingRenderer* self, int64_t horizon, int32_t w, int32_t h) {
    FrameInProgress& frame = self->native.frame;
    frame.walls = frame.sprites = false;
    // Without a level there is nothing to draw: the background shows.
    if (!py::instanceOf<Level>(self->level)) return;
    Camera* camera = raycaster::cameraOf(py::asObject(self), "pos");
    py::Ref held = py::Ref::borrow(py::asObject(camera));
    raycast::Vec2 pos, dir;
    if (!camera || !raycaster::readVector(py::Ref::borrow(camera->pos).get(), pos) ||
        !raycaster::readVector(py::Ref::borrow(camera->dir).get(), dir))
        return py::printUnraisable("quorvelin.RaycastingRenderer.renderWalls");
    frame.camera.pos = pos;
    frame.camera.dir = dir;
    frame.camera.fov = camera->fov;
    frame.camera.pitch = camera->pitch;
    frame.camera.ratio = camera->ratio;
    frame.walls = true;
    self->ops->renderSprites(self, horizon, w, h);
}

// --- the drawing --------------------------------------------------------------------------------

// Draws what the passes have read into the target, which is `width` x `height` as its
// getSize() said (no larger than its surface is now).
bool drawFrame(RaycastingRenderer* self, int32_t width, int32_t height) {
    FrameInProgress& pending = self->native.frame;
    Texture* target = py::instanceOf<Texture>(self->target);
    pixels::Area whole = target ? target->view() : pixels::Area{};
    if (!whole.pixels) return true; // Python code took the surface away: nowhere to draw
    pixels::Area area = whole;
    area.width = std::clamp(width, 0, whole.width);
    area.height = std::clamp(height, 0, whole.height);
    std::vector<raycast::RayHit>& hits = self->native.hits;
    hits.resize(size_t(area.width)); // new records zeroed

    raycast::Frame frame;
    frame.target = area;
    frame.camera = pending.camera;
    frame.hits = hits.data();
    frame.threads = raycast::parseRenderThreads(std::getenv("QUORVELIN_RENDER_THREADS"));
    Level* level = py::instanceOf<Level>(self->level);
    bool walls = level && pending.walls;
    bool sky = level && pending.sky;
    if (level) frame.level = level->view();
    if (!sky) frame.level.sky = {};
    if (Texture* lamp = py::instanceOf<Texture>(self->flashlight)) frame.flashlight = lamp->view();
    if (walls && pending.sprites) {
        for (raycast::SpriteDraw& draw : pending.draws) {
            Texture* sheet = py::instanceOf<Texture>(pending.sheets[draw.index].get());
            draw.sheet = sheet ? pixels::ConstArea(sheet->view()) : pixels::ConstArea{};
        }
        frame.sprites = pending.draws.data();
        frame.spriteCount = pending.draws.size();
    }

    SDL_Surface* surface = target->surface;
    if (SDL_LockSurface(surface) != 0) return py::engineSdlException(SDL_GetError());
    if (walls) {
        raycast::renderFrame(frame);
    } else {
        pixels::fill(whole, raycast::BACKGROUND);
        if (sky) raycast::renderSky(frame);
    }
    SDL_UnlockSurface(surface);
    return true;
}

} // namespace

const RaycastingRendererOps RaycastingRenderer::table = {readWallPass, readSpritePass, readSkyPass};

PyObject* RaycastingRenderer_render(PyObject* self, PyObject*) {
    py::Ref held = py::Ref::borrow(self);
    RaycastingRenderer* renderer = py::cast<RaycastingRenderer>(self);
    // One frame at a time: a second would empty the frame in progress under the first.
    py::Exclusive drawing(renderer->drawing, renderingAlready);
    if (!drawing) return nullptr;
    // The background fill needs an initialised target (it is drawn with the frame).
    if (!isTexture(renderer->target)) return py::noAttribute(Py_None, "fill");
    if (!textureSurface(renderer->target)) return nullptr;
    int32_t width, height;
    if (!raycaster::targetSize(self, width, height)) return nullptr;
    Camera* camera = raycaster::cameraOf(self, "pitch");
    if (!camera) return nullptr;
    int64_t horizon = raycast::horizonRow(std::max(height, 0), camera->pitch);
    py::Ref dir = py::Ref::borrow(camera->dir);
    if (!py::callMethod(dir.get(), nNormalize)) return nullptr;

    // What the passes read is let go however the frame ends: nothing the collector
    // cannot see outlives the frame.
    struct Emptied {
        FrameInProgress& frame;
        ~Emptied() { frame.clear(); }
    } emptied{renderer->native.frame};
    emptied.frame.clear();
    Level* level = py::instanceOf<Level>(renderer->level);
    if (level && level->skyTexture != Py_None) renderer->ops->renderSky(renderer, horizon);
    renderer->ops->renderWalls(renderer, horizon, width, height);
    return py::noneOrFailed(drawFrame(renderer, width, height));
}
