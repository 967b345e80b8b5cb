// Level: one map of the game world, a resource made from the level file pair (the raw
// cell file and its JSON header at the same path plus ".json") or built as the empty
// walled level. It holds the grid of seven-byte cells (core/levelGrid.hpp), the
// header as a dict, the fogs, the textures with the array that the cells' texture
// bytes index, the sky, the sprites and the entities.
//
// The renderer and the movement code read a level through view(), once per frame,
// without calling into Python. Scripts read and change it through the accessors.
//
// The level keeps these invariants, which every reader may rely on:
//   - the cell array holds exactly width * height * 7 bytes (width and height are
//     never negative);
//   - the surface array holds strong references to its textures, so an entry never
//     outlives its texture; whoever draws reads each texture's surface afresh
//     (view()), because Python code may re-initialise a texture;
//   - a fog colour reads as a valid 0xAARRGGBB value.
#pragma once

#include "core/levelGrid.hpp"
#include "core/pixels.hpp"
#include "py/classdef.hpp"
#include "py/import.hpp"
#include "resources.hpp"

#include <cstdint>
#include <vector>

struct Level;

// Operations that Python subclasses of the level cannot see or replace.
struct LevelOps {
    // Sets the four fog fields from the header; an error is printed as unraisable.
    void (*loadFogSettings)(Level* self);
    // Builds the walled empty level of that size (host ints); an error is printed as
    // unraisable and ends the building.
    void (*initializeEmpty)(Level* self, PyObject* width, PyObject* height);
    // Builds the entity of one header entry and appends it to _entities: a new
    // reference, or null with the error set.
    PyObject* (*loadEntity)(Level* self, PyObject* entityData);
    // Builds every entity of the header; the first failure is printed as unraisable
    // and ends the loop.
    void (*loadEntities)(Level* self);
};

// A packed fog colour 0xAARRGGBB (alpha 255); unset until the fog settings are first
// loaded.
struct FogColor {
    uint32_t argb;
    bool set;
};

struct Level : Resource {
    const LevelOps* ops;
    PyObject* metadata; // dict: the JSON header, key by key; None only once collected
    int32_t width;      // columns of the grid
    int32_t height;     // rows of the grid
    // (the cell array: native.cells)
    PyObject* skyTexture; // Texture or None
    int32_t fogDensity;
    FogColor fogColor;
    int32_t groundFogDensity;
    FogColor groundFogColor;
    // (the surface array: native.surfaceTextures)
    PyObject* textures;        // list or None: the textures for scripts (getTexture)
    PyObject* sprites;         // list or None: a sprite component's level form names an index
    PyObject* entities;        // list or None
    PyObject* collisionBodies; // list or None
    PyObject* assetsPath;      // str or None: relative asset paths are resolved against it

    struct Native {
        levelGrid::Cells cells; // exactly width * height * 7 bytes
        // The textures that the cells' texture bytes index, in index order, held.
        std::vector<py::Ref> surfaceTextures;
        // One area per surface texture, refreshed by view().
        std::vector<pixels::ConstArea> surfaceAreas;
        bool initialised; // __init__ has run on it before
        // The level is being read (_loadFromFile) or built empty: Python code that this
        // runs may not start either again on it, which would leave a level made of both.
        bool loading;
    } native;

    // The grid, the textures' and the sky's current pixels and the fogs; see
    // levelGrid::View for how long it stays valid.
    levelGrid::View view();

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
    static const LevelOps table;
};

py::ClassDef& levelClass();
// import json as _json, import traceback, import os.path; ASCII_CELLS and the
// TEXTURE_ and BLOCK_ constants.
extern const py::Segment levelSegment;
