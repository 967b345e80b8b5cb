// Sounds, music and the music-finished notification.
#pragma once

#include <cstdint>

// Raised by SDL_mixer's audio thread each time the music finishes; the frame takes
// one stop per frame. The only engine state touched off the main thread.
bool takeMusicStop();
void addMusicStop();
