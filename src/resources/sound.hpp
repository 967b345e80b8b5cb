// Sounds, music and the music-finished notification.
#pragma once

#include "events.hpp"
#include "py/import.hpp"
#include "resources.hpp"

#include <SDL_mixer.h>

#include <cstdint>

// Raised by SDL_mixer's audio thread each time the music finishes; the frame takes
// one stop per frame. The only engine state touched off the main thread.
bool takeMusicStop();

// A sound effect loaded whole into memory.
struct Sound : Resource {
    Mix_Chunk* chunk; // owned; null until a successful __init__

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

// The mixer channel on which a sound was started; negative: none.
struct SoundHandle {
    PyObject_HEAD
    int32_t channel;

    static inline PyTypeObject* type = nullptr;
};

// The one music stream's source.
struct Music : Resource {
    Mix_Music* music; // owned; null until a successful __init__

    using Base = Resource;
    static inline PyTypeObject* type = nullptr;
};

// Fired by the frame once for each counted stop of the music stream.
struct MusicStoppedEvent : Event {
    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& soundHandleClass();
py::ClassDef& soundClass();
py::ClassDef& musicStoppedEventClass();
py::ClassDef& musicClass();

// The import's sound segment: volume 128, no pending stop, the music-finished hook,
// and the four volume functions.
extern const py::Segment soundSegment;
