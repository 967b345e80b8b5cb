// Loading a sound file whole into a mixer chunk.
#pragma once

#include <SDL_mixer.h>

// Makes the bound of loadSoundFile possible: SDL's allocation functions are wrapped
// (the wrappers hand every call to the functions they replace, so memory allocated
// before or after is freed alike; inside a sound's load, a block resized to nothing is
// kept as one byte, see soundLoad.cpp). Called once, before SDL starts.
void installSoundDecodeBound();

// The sound at `path` (bytes for the system), loaded as Mix_LoadWAV_RW loads it, or
// null with SDL's error set; the file is read and decoded without the interpreter lock
// (resources/mediaFile.hpp). SDL_mixer decodes a file of a compressed kind (anything but WAVE, AIFF
// and VOC) with its music decoders, to the end of the music, keeping every piece until an
// allocation fails: a module that loops (a pattern jump backwards, common in MOD
// files) never ends, and would take all the memory there is. Such a load may allocate
// at most `decodeBound` bytes on its thread; a sound that needs more is refused. So is
// a sound without one whole frame of the mixer's output, which the mixer would not play.
Mix_Chunk* loadSoundFile(const char* path);

// A little under eight minutes of the mixer's audio (44100 Hz, 16-bit stereo), held
// twice while the pieces are joined.
constexpr size_t decodeBound = size_t(160) << 20;
