#include "resources/sound/soundLoad.hpp"

#include "resources/mediaFile.hpp"
#include "resources/sound/musicLoad.hpp"

#include <SDL.h>

#include <cstring>

namespace {

SDL_malloc_func baseMalloc;
SDL_calloc_func baseCalloc;
SDL_realloc_func baseRealloc;
SDL_free_func baseFree;

// What a load on this thread may still allocate; none outside a bounded load.
struct Bound {
    size_t left;
    bool exceeded = false;
};
thread_local Bound* bound = nullptr;
// Whether this thread is inside Mix_LoadWAV_RW, see boundedRealloc.
thread_local bool loading = false;

bool take(size_t size) {
    Bound* current = bound;
    if (!current) return true;
    if (size > current->left) {
        current->exceeded = true;
        return false;
    }
    current->left -= size;
    return true;
}

void* SDLCALL boundedMalloc(size_t size) {
    return take(size) ? baseMalloc(size) : nullptr;
}

void* SDLCALL boundedCalloc(size_t count, size_t size) {
    if (size && count > SIZE_MAX / size) return nullptr;
    return take(count * size) ? baseCalloc(count, size) : nullptr;
}

void* SDLCALL boundedRealloc(void* memory, size_t size) {
    // The C library's realloc frees a block resized to nothing and returns null, which
    // SDL_mixer 2.8's sound loader takes for a failure: it shrinks a converted sound to
    // its length and keeps the old block when the call fails, so a sound converted to
    // nothing would keep, and later free again, a block already freed. One byte keeps
    // the block allocated (and the sound is then refused, as holding no frame).
    if (loading && memory && size == 0) size = 1;
    return take(size) ? baseRealloc(memory, size) : nullptr;
}

void SDLCALL boundedFree(void* memory) {
    baseFree(memory);
}

// Whether SDL_mixer loads the file with its own loaders (WAVE, AIFF, VOC), which read
// what the file holds, rather than with its music decoders.
bool loadedWhole(SDL_RWops* stream) {
    char magic[4];
    Sint64 start = SDL_RWtell(stream);
    bool read = SDL_RWread(stream, magic, 1, 4) == 4;
    SDL_RWseek(stream, start, RW_SEEK_SET);
    return !read || std::memcmp(magic, "RIFF", 4) == 0 || std::memcmp(magic, "WAVE", 4) == 0 ||
           std::memcmp(magic, "FORM", 4) == 0 || std::memcmp(magic, "Crea", 4) == 0;
}

// A loaded chunk without one whole frame of the mixer's output: the mixer refuses to
// play it, and on SDL_mixer 2.8 such a sound came out of a conversion to nothing.
bool holdsNoFrame(const Mix_Chunk* chunk) {
    int rate, channels;
    Uint16 format;
    if (!Mix_QuerySpec(&rate, &format, &channels)) return false;
    return chunk->alen < Uint32(SDL_AUDIO_BITSIZE(format) / 8 * channels);
}

// Mix_LoadWAV_RW's chunk, or null with the reason set.
Mix_Chunk* load(SDL_RWops* stream, const Bound& limit) {
    loading = true;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);
    loading = false;
    const char* refusal = limit.exceeded ? "The sound decodes to more than the engine holds."
                          : chunk && holdsNoFrame(chunk)
                              ? "The sound holds no whole frame of audio."
                              : nullptr;
    if (!refusal) return chunk;
    Mix_FreeChunk(chunk);
    SDL_SetError("%s", refusal);
    return nullptr;
}

} // namespace

void installSoundDecodeBound() {
    if (baseMalloc) return;
    SDL_GetMemoryFunctions(&baseMalloc, &baseCalloc, &baseRealloc, &baseFree);
    SDL_SetMemoryFunctions(boundedMalloc, boundedCalloc, boundedRealloc, boundedFree);
}

// The sound on `stream`, which is closed on every path.
static Mix_Chunk* decodeSound(SDL_RWops* stream) {
    Bound limit{decodeBound};
    if (loadedWhole(stream)) return load(stream, limit);
    if (!readyForMixer(stream, mp3Problem(stream))) return nullptr;
    bound = baseMalloc ? &limit : nullptr;
    Mix_Chunk* chunk = load(stream, limit);
    bound = nullptr;
    return chunk;
}

Mix_Chunk* loadSoundFile(const char* path) {
    return decodeMediaFile(path, decodeSound);
}
