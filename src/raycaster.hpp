// Camera and RaycastingRenderer: a level drawn in 2.5D from a camera into the renderer's
// target every frame, and the queries that answer what the last frame shows.
//
// The drawing itself is the Python-free core (core/raycastFrame.hpp). A frame reads
// the Python objects first, on the calling thread: each pass of the table below takes
// what it needs of the camera, the level, the flashlight and the tracked entities into
// the frame in progress (`native.frame`), reports its own errors, and writes back what
// it changes in Python objects (the sprites' distances, angles and animations, the
// order of the entity list). Then, after the last point where Python code could run,
// the frame reads the surfaces' pixels and the level's view and draws all passes in one
// go over the target, tile by tile.
#pragma once

#include "core/raycastFrame.hpp"
#include "core/raycastSprites.hpp"
#include "py/ref.hpp"
#include "py/signature.hpp"
#include "renderer.hpp"
#include "resources/sprite.hpp"

#include <cstdint>
#include <vector>

struct Camera {
    PyObject_HEAD
    PyObject* pos; // Vector2 or None: where the eye stands, in cells
    PyObject* dir; // Vector2 or None: where it looks; normalised by every frame
    int32_t fov;   // degrees
    int32_t pitch; // rows added to the horizon
    double ratio;  // divides projected heights

    static inline PyTypeObject* type = nullptr;
};

struct RaycastingRenderer;

// The passes of a frame, named as the passes are. Each only reads what its pass draws
// of the Python objects into the frame in progress (frame.cpp: readWallPass,
// readSpritePass, readSkyPass); the core draws them all at once afterwards. An error is
// printed as unraisable under the pass's name and leaves the pass out of the picture
// (the wall pass leaves the sprites out too).
struct RaycastingRendererOps {
    // Walls, floor, ceiling, fog and flashlight; runs renderSprites at its end.
    void (*renderWalls)(RaycastingRenderer* self, int64_t horizon, int32_t w, int32_t h);
    // The tracked entities: measured, sorted far to near, animated.
    void (*renderSprites)(RaycastingRenderer* self, int64_t horizon, int32_t w, int32_t h);
    // The sky, turned by the camera's view angle.
    void (*renderSky)(RaycastingRenderer* self, int64_t horizon);
};

// What the passes of one frame have read, until the frame is drawn.
struct FrameInProgress {
    bool sky = false;
    bool walls = false;
    bool sprites = false;
    raycast::CameraView camera;
    std::vector<raycast::SpriteDraw> draws; // far to near
    std::vector<py::Ref> sheets;            // by a draw's index: its sheet Texture, or null

    void clear() noexcept;
};

struct RaycastingRenderer : Renderer {
    const RaycastingRendererOps* ops;
    PyObject* level;      // Level or None
    PyObject* camera;     // Camera; None only before __init__
    PyObject* flashlight; // Texture or None: off

    struct Native {
        // One record per column of the last frame's target; zeroed before the first.
        std::vector<raycast::RayHit> hits;
        FrameInProgress frame;
    } native;

    using Base = Renderer;
    static inline PyTypeObject* type = nullptr;
    static const RaycastingRendererOps table;
};

// --- the parts, in raycaster/ -----------------------------------------------------------

// frame.cpp: render, the passes' reading (RaycastingRenderer::table) and the drawing.
PyObject* RaycastingRenderer_render(PyObject* self, PyObject*);

// queries.cpp: what the last frame shows at a screen position.
// Each takes (x, y).
PyObject* RaycastingRenderer_getWorldCellByScreenCoords(PyObject* self, py::Arguments<2>& a);
PyObject* RaycastingRenderer_getWorldPosByScreenCoords(PyObject* self, py::Arguments<2>& a);
PyObject* RaycastingRenderer_getEntityAtScreenCoords(PyObject* self, py::Arguments<2>& a);

// inputs.cpp: read by the frame, the queries and castRay.
namespace raycaster {

// The renderer's camera, or AttributeError "'NoneType' object has no attribute
// '<attribute>'" for a renderer whose __init__ never ran.
Camera* cameraOf(PyObject* renderer, const char* attribute);

// A vector's x and y read through its attributes, so that a Python subclass's
// properties take part; None raises the host's AttributeError.
bool readVector(PyObject* vector, raycast::Vec2& out);

// The target's size as its getSize() answers it (a pair of 32-bit ints).
bool targetSize(PyObject* renderer, int32_t& width, int32_t& height);

// entities.cpp: the tracked entities as the sprite pass and picking read them.
// Borrowed: valid until Python code next runs.
struct Tracked {
    PyObject* entity;
    SpriteComponent* sprite;
    raycast::Vec2 position;
    raycast::Vec2 facing; // the rotation component's direction, or (1, 0) without one
};

// The renderer's entity list, item by item: TypeError "'NoneType' object is not
// iterable" for a list of None, "Cannot convert X to quorvelin.Y" for an item that is
// no Entity or lacks a sprite or position component (or holds one of another class),
// the host's AttributeError for a position component without its vector (and, when
// `facing` is asked for, a rotation component without its vector). Runs no Python
// code.
bool readTracked(PyObject* renderer, bool facing, std::vector<Tracked>& out);

// Puts the entity list in the order `order` gives (positions in `tracked`), provided it
// still holds exactly the items read: a permutation of the same references.
void reorderTracked(PyObject* renderer, const std::vector<Tracked>& tracked, const uint32_t* order);

} // namespace raycaster

py::ClassDef& cameraClass();
py::ClassDef& raycastingRendererClass();
