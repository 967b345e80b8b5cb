// Opening a music file for SDL_mixer's music stream.
#pragma once

#include <SDL_mixer.h>

// The music at `path` (bytes for the system), as Mix_LoadMUS opens it, or null with
// SDL's error set. The file is opened once, through resources/mediaFile.hpp and
// without the interpreter lock; a file that SDL_mixer's WAVE loader or MP3 decoder would be
// given is first checked for what that loader trusts (core/musicFile.hpp) and refused
// when it would choke on it; then the same stream goes to the mixer, with the kind Mix_LoadMUS
// would tell from the name.
Mix_Music* loadMusicFile(const char* path);

// A checked stream made ready for the mixer: with a `problem`, closed with the problem
// as SDL's error (false); otherwise back at its start (false, closed, when it cannot be).
bool readyForMixer(SDL_RWops* stream, const char* problem);

// What SDL_mixer's MP3 decoder would choke on in the file on `stream` when it tells
// the file for an MP3 by its bytes, or null; the stream's position is left anywhere.
const char* mp3Problem(SDL_RWops* stream);
