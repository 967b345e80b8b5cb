#include "resources/sound/musicLoad.hpp"

#include "core/musicFile.hpp"
#include "resources/mediaFile.hpp"

#include <SDL.h>

#include <iterator>

namespace {

// The kind Mix_LoadMUS gives a file by its name's extension (none: told by the bytes).
Mix_MusicType typeByName(const char* path) {
    static const struct {
        const char* extension;
        Mix_MusicType type;
    } kinds[] = {
        {"WAV", MUS_WAV},  {"MID", MUS_MID},   {"MIDI", MUS_MID},  {"KAR", MUS_MID},
        {"OGG", MUS_OGG},  {"OPUS", MUS_OPUS}, {"FLAC", MUS_FLAC}, {"MPG", MUS_MP3},
        {"MPEG", MUS_MP3}, {"MP3", MUS_MP3},   {"MAD", MUS_MP3},   {"669", MUS_MOD},
        {"AMF", MUS_MOD},  {"AMS", MUS_MOD},   {"DBM", MUS_MOD},   {"DSM", MUS_MOD},
        {"FAR", MUS_MOD},  {"GDM", MUS_MOD},   {"IT", MUS_MOD},    {"MED", MUS_MOD},
        {"MDL", MUS_MOD},  {"MOD", MUS_MOD},   {"MOL", MUS_MOD},   {"MTM", MUS_MOD},
        {"NST", MUS_MOD},  {"OKT", MUS_MOD},   {"PTM", MUS_MOD},   {"S3M", MUS_MOD},
        {"STM", MUS_MOD},  {"ULT", MUS_MOD},   {"UMX", MUS_MOD},   {"WOW", MUS_MOD},
        {"XM", MUS_MOD},
    };
    const char* dot = SDL_strrchr(path, '.');
    if (!dot) return MUS_NONE;
    for (const auto& kind : kinds)
        if (SDL_strcasecmp(dot + 1, kind.extension) == 0) return kind.type;
    return MUS_NONE;
}

// An SDL stream read at any offset; the stream's position is the reader's business.
class StreamSource : public musicFile::Source {
  public:
    explicit StreamSource(SDL_RWops* stream) : stream_(stream), size_(SDL_RWsize(stream)) {}
    uint64_t size() override { return size_ < 0 ? 0 : uint64_t(size_); }
    size_t read(uint64_t offset, void* out, size_t count) override {
        if (offset > uint64_t(INT64_MAX) || SDL_RWseek(stream_, Sint64(offset), RW_SEEK_SET) < 0)
            return 0;
        return SDL_RWread(stream_, out, 1, count);
    }

  private:
    SDL_RWops* stream_;
    Sint64 size_;
};

} // namespace

bool readyForMixer(SDL_RWops* stream, const char* problem) {
    if (problem) SDL_SetError("%s", problem);
    if (!problem && SDL_RWseek(stream, 0, RW_SEEK_SET) >= 0) return true;
    SDL_RWclose(stream);
    return false;
}

const char* mp3Problem(SDL_RWops* stream) {
    StreamSource source(stream);
    return musicFile::detectedAsMp3(source) ? musicFile::checkMp3(source) : nullptr;
}

Mix_Music* loadMusicFile(const char* path) {
    Mix_MusicType type = typeByName(path);
    return decodeMediaFile(path, [type](SDL_RWops* stream) -> Mix_Music* {
        StreamSource source(stream);
        const char* problem = nullptr;
        if (type == MUS_WAV || (type == MUS_NONE && musicFile::detectedAsWave(source)))
            problem = musicFile::checkWave(source);
        else if (type == MUS_MP3 || (type == MUS_NONE && musicFile::detectedAsMp3(source)))
            problem = musicFile::checkMp3(source);
        if (!readyForMixer(stream, problem)) return nullptr;
        return Mix_LoadMUSType_RW(stream, type, 1); // closes the stream on every path
    });
}
