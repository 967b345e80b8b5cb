// Sprites: a sheet cut into frames with its named animations, and the component that
// shows one on an entity. The renderer reads these fields directly every frame and
// writes the per-frame ones back; their order and types are fixed.
#pragma once

#include "py/cast.hpp"
#include "py/classdef.hpp"
#include "resources/texture.hpp"

#include <cstdint>

enum BlendMode : uint32_t {
    BLENDMODE_BLEND = 0, // alpha blending
    BLENDMODE_ADD = 1,   // additive
};
// How game code's errors name the type.
constexpr const char* enumTypeName(BlendMode) {
    return "__pyx_t_9quorvelin_BlendMode";
}

struct SpriteAnimation {
    PyObject_HEAD
    PyObject* name; // str or None: its key in the sprite's animations
    int32_t frameCount;
    bool oscillate; // play back and forth instead of starting again
    double speed;
    int32_t startFrame;
    int32_t directions; // sheet frames per step, one per view direction

    static inline PyTypeObject* type = nullptr;
};

struct Sprite {
    PyObject_HEAD
    PyObject* texture; // Texture or None: the sheet
    int32_t width;     // of one frame, in pixels
    int32_t height;
    int32_t xFrames; // frames across the sheet
    int32_t yFrames;
    PyObject* animations; // dict: name -> SpriteAnimation, or None

    static inline PyTypeObject* type = nullptr;
};

struct SpriteComponent {
    PyObject_HEAD
    PyObject* sprite; // Sprite or None
    bool shadeless;   // drawn without fog
    BlendMode blendMode;
    double zOffset;
    double scale;
    double dist;                // to the camera: written by the renderer, its sort key
    PyObject* currentAnimation; // SpriteAnimation or None
    double animationPercentage; // advanced by the renderer
    // Copied from the current animation when it was chosen: its first frame, first
    // frame + frame count, directions and speed (whose sign the renderer flips).
    int32_t currentMinFrame;
    int32_t currentMaxFrame;
    int32_t currentDirections;
    double animationSpeed;
    double angleToCam; // written by the renderer to pick the directional frame

    Sprite* sheet() const { return py::instanceOf<Sprite>(sprite); }
    SpriteAnimation* animation() const { return py::instanceOf<SpriteAnimation>(currentAnimation); }

    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& spriteAnimationClass();
py::ClassDef& spriteClass();
py::ClassDef& spriteComponentClass();
