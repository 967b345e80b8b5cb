// What the music loader of SDL_mixer trusts in a file, checked before the file is
// handed to it. No Python, no SDL.
//
// SDL_mixer's streaming WAVE loader (which takes RIFF WAVE and IFF AIFF/AIFC files)
// believes its files: a format that says 0 channels, or more than fit in a byte,
// makes the audio stream divide by zero; a rate of 0 does the same when the music is
// sought; a LIST chunk of fewer than four bytes, or an INFO entry whose length or text
// runs past the chunk, is read beyond the memory it was read into; a sampler chunk
// too short for the loops it counts is too; an AIFF text chunk of 2^32 - 1 bytes
// makes it allocate one byte too few (none) and read the rest of the file into it.
// checkWave walks the file exactly as that loader does (the same chunk order, the
// same lengths, a short read giving its bytes followed by zeros; WAVE chunks both
// without padding, as SDL_mixer 2.6 reads them, and with it, as 2.8 does) and refuses
// what it would choke on. It refuses a file whose
// audio format is not sane for a loader that believes it: channels 1 to 8, a rate of
// 1 to 768000 Hz, a WAVE block alignment equal to channels x bytes per sample, an ID3
// chunk whose tag the tag reader below can take. Chunks
// the loader reads into memory must lie inside the file; chunks it only skips, and
// the sample data, may run past its end (a recording cut short plays what it has).
#pragma once

#include <cstddef>
#include <cstdint>

namespace musicFile {

// The bytes of a file, read at any offset.
class Source {
  public:
    virtual ~Source() = default;
    virtual uint64_t size() = 0;
    // Reads up to `count` bytes at `offset` into `out` and returns how many it read:
    // fewer where the file ends or cannot be read.
    virtual size_t read(uint64_t offset, void* out, size_t count) = 0;
};

// Whether SDL_mixer, telling a file's kind by its first bytes, hands it to its WAVE
// loader: "RIFF" with "WAVE" at byte 8, or "FORM".
bool detectedAsWave(Source& file);

// Null when SDL_mixer's WAVE loader may be given the file (it may still refuse it
// cleanly); otherwise what is wrong with it.
const char* checkWave(Source& file);

// Whether SDL_mixer, telling a file's kind by its first bytes, hands it to its MP3
// decoder: "ID3", or an MPEG frame's sync bits, after none of the other kinds matched.
bool detectedAsMp3(Source& file);

// Null when SDL_mixer's MP3 decoder may be given the file; otherwise what is wrong with
// it. Its tag reader (which WAVE and AIFF files reach through their ID3 chunks too)
// copies a title, artist, album or copyright frame of an ID3v2.3 or 2.4 tag by the
// size the frame declares out of a buffer of 1024 bytes: a larger one is read past it.
const char* checkMp3(Source& file);

} // namespace musicFile
