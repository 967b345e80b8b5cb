// The engine's event records and the joystick device handle.
#pragma once

#include "py/classdef.hpp"

#include <SDL.h>

struct Event {
    PyObject_HEAD
    bool isAlreadyHandled;

    static inline PyTypeObject* type = nullptr;
};

struct KeyEvent : Event {
    int32_t key;
    bool isCtrlPressed;
    bool isAltPressed;
    bool isShiftPressed;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

struct MouseClickEvent : Event {
    int32_t button;
    int32_t x;
    int32_t y;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

struct MouseWheelEvent : Event {
    int32_t x;
    int32_t y;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

struct FullscreenEvent : Event {
    bool oldValue;
    bool newValue;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

struct Joystick;
struct JoystickOps {
    // Wraps a device that SDL opened; the checks of Joystick.__init__ apply.
    PyObject* (*create)(SDL_Joystick* handle, PyObject* name, int32_t axes, int32_t buttons);
};

struct Joystick {
    PyObject_HEAD
    const JoystickOps* ops;
    SDL_Joystick* ptr; // not owned: SDL closes its joysticks when it shuts down
    PyObject* name;
    int32_t axes;
    int32_t buttons;

    static inline PyTypeObject* type = nullptr;
    static const JoystickOps table;
};

struct JoystickAddedEvent : Event {
    PyObject* joystick;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

// Calls Event.__init__(self), looked up on the class at call time, as every
// event constructor does before it stores its own fields.
bool initEventBase(PyObject* self);

// An event that records its constructor's arguments: one member row per argument,
// stored after Event.__init__ has run.
template <class T>
py::ClassDef& eventRecord(const char* name, std::span<const py::Member> members, uint32_t checksum,
                          std::source_location declared = std::source_location::current()) {
    return py::define<T>(
        name, {.members = members, .init = py::memberInit<T, initEventBase>, .checksum = checksum},
        declared);
}

py::ClassDef& eventClass();
py::ClassDef& keyEventClass();
py::ClassDef& mouseClickEventClass();
py::ClassDef& mouseWheelEventClass();
py::ClassDef& fullscreenEventClass();
py::ClassDef& joystickClass();
py::ClassDef& joystickAddedEventClass();
