#include "resources/sound/soundLoad.hpp"

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

} // namespace

void installSoundDecodeBound() {
    if (baseMalloc) return;
    SDL_GetMemoryFunctions(&baseMalloc, &baseCalloc, &baseRealloc, &baseFree);
    SDL_SetMemoryFunctions(boundedMalloc, boundedCalloc, boundedRealloc, boundedFree);
}

Mix_Chunk* loadSoundFile(const char* path) {
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    if (!stream || loadedWhole(stream)) return Mix_LoadWAV_RW(stream, 1);
    if (!readyForMixer(stream, mp3Problem(stream))) return nullptr;
    Bound limit{decodeBound};
    bound = baseMalloc ? &limit : nullptr;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);
    bound = nullptr;
    if (chunk && limit.exceeded) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    if (limit.exceeded) SDL_SetError("The sound decodes to more than the engine holds.");
    return chunk;
}
