// The Engine as the rest of the engine sees it: its object, its table of operations,
// and what a system may ask of it. Its code is the main module file's (quorvelin.cpp).
#pragma once

#include <Python.h>
#include <SDL.h>

#include <cstdint>

struct Engine;

// Screen-texture pixels per window pixel.
struct ScaleFactor {
    double x;
    double y;
};

// Operations that subclasses of the engine cannot see or replace from Python.
struct EngineOps {
    // Desktop fullscreen and back, restoring the saved window geometry; fails
    // (EngineException) only when the engine has no window.
    bool (*switchFullscreen)(Engine* self);
    // Drains SDL's event queue into engine state and events; cannot fail.
    void (*updateInput)(Engine* self);
    ScaleFactor (*getDisplayScaleFactor)(Engine* self);
};

struct Engine {
    PyObject_HEAD
    const EngineOps* ops;
    int32_t running;
    // Owned by SDL: quit destroys the window and shuts SDL down, and clears all three.
    SDL_Window* window;
    SDL_Texture* screenTexture;
    SDL_Renderer* renderer;
    uint32_t lastTicks; // SDL milliseconds at the start of the last measured frame
    uint32_t ticksRun;  // the SDL run whose tick counter lastTicks comes from
    double fps;
    double timeStep; // seconds
    int32_t mouseDx;
    int32_t mouseDy;
    int32_t savedWindowX;
    int32_t savedWindowY;
    int32_t savedWindowWidth;
    int32_t savedWindowHeight;
    bool killWithEscapeKey;
    PyObject* ecs;
    // Which run of SDL the handles belong to: quit shuts SDL down for every engine,
    // and a later init may start its video again.
    uint32_t sdlRun;

    static inline PyTypeObject* type = nullptr;
    static const EngineOps table;
};

// Whether firing an event through `engine` under the key `eventType` would certainly
// call no handler: the engine is exactly an Engine (so fireEvent is its own) and its
// subscriber table holds no handler for the key. False whenever that cannot be told
// without running Python code; never raises. Lets a system skip making an event that
// nobody would see.
bool nobodyListens(PyObject* engine, PyObject* eventType);
