// How the media loaders (textures, the window icon, sounds, music, fonts) read their
// files: each file through one kind of stream, and without the interpreter lock.
//
// A stream reads at most the size the file had when it was opened, so no source makes
// a loader read without end: a source without a size (a pipe, a socket) is refused, a
// directory too, and a device reports its own size (/dev/zero and /dev/urandom none,
// so they hold nothing). Opening a pipe waits for its writer, reading a file on a slow
// disk or share waits for the disk: the loaders do both without the interpreter lock,
// so that no other Python thread stalls, and a writer that is a Python thread of the
// same process can run. SDL_image, SDL_mixer and SDL_ttf then decode what the stream
// gives, also without the lock; Engine.quit shuts SDL down only between such decodes.
#pragma once

#include "py/unlocked.hpp"

#include <SDL.h>

#include <mutex>
#include <shared_mutex>
#include <utility>

// A stream over the file at `path` (bytes for the system), reading at most its size at
// the time of the opening; null with SDL's error set (the system's reason, or the
// refusal of a source without a size). Called without the interpreter lock.
SDL_RWops* openMediaFile(const char* path);

// The lock that keeps SDL's media libraries up: decodes share it, shutting SDL down
// (Engine.quit) takes it alone.
std::shared_mutex& mediaLibraries();

// Opens the file at `path` and hands its stream to `decode(stream)`, which owns it from
// then on, all without the interpreter lock. Returns what `decode` returns (a pointer
// or an owning one), or null with SDL's error set when the file cannot be opened.
template <class Decode> auto decodeMediaFile(const char* path, Decode&& decode) {
    using Result = decltype(decode(std::declval<SDL_RWops*>()));
    return py::withoutLock([&]() -> Result {
        SDL_RWops* stream = openMediaFile(path);
        if (!stream) return Result{};
        std::shared_lock libraries(mediaLibraries());
        return decode(stream);
    });
}
