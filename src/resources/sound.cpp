// Sound effects on mixer channels, the one music stream, their volumes, and the
// count of music stops that the frame turns into MusicStoppedEvents.
#include "resources/sound.hpp"

#include "py/cast.hpp"
#include "resources/sound/musicLoad.hpp"
#include "resources/sound/soundLoad.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>

namespace {
std::atomic<int32_t> pendingMusicStops{0};
int32_t soundVolume = 128; // as game code set it; SDL_mixer clamps what it applies
py::Name nFadeInLoop("fadeInLoop");
// The handle the engine last started on the music stream (the mixer does not tell
// which music it plays). Only compared, never used; cleared when that handle is freed.
Mix_Music* startedMusic = nullptr;
// SDL_mixer counts a fade in steps of one audio buffer (a millisecond or more) and
// scales the music volume (at most MIX_MAX_VOLUME) by the step count in int
// arithmetic: a fade of more steps overflows, and the music plays on at a wrong
// volume or stops at once.
constexpr int32_t longestFade = INT32_MAX / MIX_MAX_VOLUME;
} // namespace

static void addMusicStop() {
    pendingMusicStops.fetch_add(1);
}

bool takeMusicStop() {
    int32_t pending = pendingMusicStops.load();
    while (pending > 0)
        if (pendingMusicStops.compare_exchange_weak(pending, pending - 1)) return true;
    return false;
}

// SDL_mixer calls this on its audio thread, without the interpreter lock and under
// its own audio lock: count the stop and touch nothing else.
static void musicFinishedCallback() {
    addMusicStop();
}

// `times - 1` by the host's subtraction, as a 32-bit loop count for the mixer.
static bool toLoopCount(PyObject* times, int32_t& loops) {
    py::Ref one(PyLong_FromLong(1));
    py::Ref difference(one ? PyNumber_Subtract(times, one.get()) : nullptr);
    return difference && py::toInt32(difference.get(), loops);
}

// How a load that failed is reported: the message alone, or with the mixer's reason,
// where it gives one, as a note of the exception (its message stays the engine's own).
enum class Reason { left, noted };

// Opens the file named by the first argument (without the interpreter lock: `load`
// releases it); a failed (re)load leaves no handle.
template <class Object, class Handle>
static int loadResource(PyObject* self, py::Arguments<1>& a, Handle* Object::*handle,
                        Handle* (*load)(const char*), void (*free)(Handle*), const char* failure,
                        Reason reason) {
    py::FileName path(a[0]);
    const char* name = path.c_str();
    if (!name) return -1;
    auto* object = reinterpret_cast<Object*>(self);
    py::assign(object->filename, a[0]);
    Handle* loaded = load(name);
    std::string error = loaded ? "" : SDL_GetError();
    free(object->*handle);
    object->*handle = loaded;
    if (loaded) return 0;
    py::fileError(failure, a[0]);
    if (reason == Reason::noted && !error.empty()) return py::addNote("Reason: " + error);
    return -1;
}

// --- Sound --------------------------------------------------------------------------------

static int Sound_init(PyObject* self, py::Arguments<1>& a) {
    return loadResource(self, a, &Sound::chunk, loadSoundFile, Mix_FreeChunk,
                        "Unable to load sound file '%s'", Reason::left);
}

static void Sound_release(PyObject* self) {
    Mix_FreeChunk(py::cast<Sound>(self)->chunk);
}

static PyObject* newSoundHandle(int channel) {
    if (channel < 0) return py::engineException("Unable to play the sound!");
    return PyObject_CallFunction(py::asObject(SoundHandle::type), "i", channel);
}

static PyObject* Sound_play(PyObject* self, PyObject*) {
    Mix_Chunk* chunk = py::cast<Sound>(self)->chunk;
    int channel = chunk ? Mix_PlayChannelTimed(-1, chunk, 0, -1) : -1;
    Mix_Volume(-1, soundVolume);
    return newSoundHandle(channel);
}

static PyObject* Sound_loop(PyObject* self, PyObject* times) {
    int32_t loops;
    if (!toLoopCount(times, loops)) return nullptr;
    Mix_Chunk* chunk = py::cast<Sound>(self)->chunk;
    return newSoundHandle(chunk ? Mix_PlayChannelTimed(-1, chunk, loops, -1) : -1);
}

static const PyMethodDef soundMethods[] = {
    py::noArgs<"play", Sound_play>(py::doc<"@returns(SoundHandle)", "Plays the sound once">),
    py::oneArg<"loop", Sound_loop, "times">(
        py::doc<"@returns(SoundHandle)", "@param(times, int)",
                "Loops the sound as often as specified by 'times'.", "1 plays the sound once",
                "2 plays the sound twice", "0 loops the sound infinitely">),
};

py::ClassDef& soundClass() {
    return py::define<Sound>(
        "Sound",
        {.doc = py::classDoc<"Represents a sound resource">,
         .init = py::init<Sound_init, "filepath">,
         .methods = soundMethods,
         .initDoc = py::doc<"@param(filepath, str)", "Loads a WAV sound file from the given path">,
         .release = Sound_release});
}

// --- SoundHandle --------------------------------------------------------------------------

static int32_t channelOf(PyObject* self) {
    return py::cast<SoundHandle>(self)->channel;
}

static int SoundHandle_init(PyObject* self, py::Arguments<1>& a) {
    int32_t channel;
    if (!py::toInt32(a[0], channel)) return -1;
    py::cast<SoundHandle>(self)->channel = channel;
    return 0;
}

// -1 means every channel to the mixer; a handle without a channel touches none.
template <int (*control)(int)> static PyObject* SoundHandle_control(PyObject* self, PyObject*) {
    if (channelOf(self) >= 0) control(channelOf(self));
    Py_RETURN_NONE;
}

static int pauseChannel(int channel) {
    return Mix_Pause(channel), 0;
}
static int resumeChannel(int channel) {
    return Mix_Resume(channel), 0;
}

static PyObject* SoundHandle_isPlaying(PyObject* self, PyObject*) {
    if (channelOf(self) < 0) Py_RETURN_NONE;
    return PyLong_FromLong(Mix_Playing(channelOf(self)));
}

static const PyMethodDef soundHandleMethods[] = {
    py::noArgs<"stop", SoundHandle_control<Mix_HaltChannel>>(
        py::doc<"Stops the current playback of the sound">),
    py::noArgs<"pause", SoundHandle_control<pauseChannel>>(
        py::doc<"Pauses the current playback of the sound">),
    py::noArgs<"resume", SoundHandle_control<resumeChannel>>(
        py::doc<"Resumes the playback of a currently paused sound">),
    py::noArgs<"isPlaying", SoundHandle_isPlaying>(
        py::doc<"Returns True if the SoundHandle is currently being played">),
};

py::ClassDef& soundHandleClass() {
    return py::define<SoundHandle>(
        "SoundHandle",
        {.doc = py::classDoc<"A SoundHandle is returned when a Sound is played or looped.",
                             "It can be used to stop, pause and resume a sound.">,
         .init = py::init<SoundHandle_init, "channel">,
         .methods = soundHandleMethods});
}

// --- MusicStoppedEvent --------------------------------------------------------------------

static int MusicStoppedEvent_init(PyObject* self, py::Arguments<0>&) {
    return initEventBase(self) ? 0 : -1;
}

py::ClassDef& musicStoppedEventClass() {
    return py::define<MusicStoppedEvent>(
        "MusicStoppedEvent", {.init = py::init<MusicStoppedEvent_init>, .checksum = 0xa6be06b});
}

// --- Music --------------------------------------------------------------------------------

static Mix_Music* musicOf(PyObject* self) {
    return py::cast<Music>(self)->music;
}

// SDL_mixer waits, in a delay loop, for a fading-out stream to finish its fade before
// it frees the music playing on it or starts another: for the whole fade, and for
// ever once SDL is shut down (no audio thread advances the fade then), with the
// interpreter lock held. The engine ends such a fade at once instead; the mixer
// counts the stop as it would have at the end of the fade.
static void endFadeOut() {
    if (Mix_FadingMusic() == MIX_FADING_OUT) Mix_HaltMusic();
}

// Frees a music handle without waiting: the stream is halted first when it plays this
// music fading out (any other stream the mixer halts itself).
static void freeMusic(Mix_Music* music) {
    if (music && music == startedMusic) {
        endFadeOut();
        startedMusic = nullptr;
    }
    Mix_FreeMusic(music);
}

// Starts `music` on the stream through `start` (a mixer call that returns 0 or more
// on success), ending another music's fade-out first instead of waiting for it.
template <class Start> static int startMusic(Mix_Music* music, Start start) {
    if (!music) return -1;
    if (music != startedMusic) endFadeOut();
    int result = start();
    if (result >= 0) startedMusic = music;
    return result;
}

static int Music_init(PyObject* self, py::Arguments<1>& a) {
    return loadResource(self, a, &Music::music, loadMusicFile, freeMusic,
                        "Unable to load music file '%s'", Reason::noted);
}

static void Music_release(PyObject* self) {
    freeMusic(musicOf(self));
}

// A fade's length as the mixer handles it: longer fades are cut to the longest one
// whose steps it counts without overflow.
static int fadeLength(int32_t milliseconds) {
    return std::min(milliseconds, longestFade);
}

// The stream is started with `loops` (-1: endlessly); a failure to start, a Music
// without a handle included, raises.
static bool started(int result) {
    return result >= 0 || py::engineException("Unable to play music!");
}

static PyObject* Music_play(PyObject* self, py::Arguments<1>& a) {
    // The position is converted before the music starts, so a bad one starts nothing.
    int seek = 0;
    double position = 0.0;
    if (a[0]) {
        py::Ref differs(PyObject_RichCompare(a[0], Py_None, Py_NE));
        seek = differs ? PyObject_IsTrue(differs.get()) : -1;
        if (seek < 0 || (seek && !py::toDouble(a[0], position))) return nullptr;
    }
    Mix_Music* music = musicOf(self);
    if (!started(startMusic(music, [&] { return Mix_PlayMusic(music, 0); }))) return nullptr;
    if (seek) Mix_SetMusicPosition(position);
    Py_RETURN_NONE;
}

static PyObject* Music_loop(PyObject* self, PyObject* times) {
    int32_t loops;
    if (!toLoopCount(times, loops)) return nullptr;
    Mix_Music* music = musicOf(self);
    if (!started(startMusic(music, [&] { return Mix_PlayMusic(music, loops); }))) return nullptr;
    Py_RETURN_NONE;
}

static PyObject* Music_fadeIn(PyObject* self, py::Arguments<2>& a) {
    int32_t milliseconds;
    double position = 0.0;
    if (!py::toInt32(a[0], milliseconds) || (a[1] && !py::toDouble(a[1], position))) return nullptr;
    py::Ref fade(PyLong_FromLong(milliseconds));
    py::Ref once(fade ? PyLong_FromLong(1) : nullptr);
    py::Ref from(once ? PyFloat_FromDouble(position) : nullptr);
    return py::noneOrFailed(from &&
                            py::callMethod(self, nFadeInLoop, fade.get(), once.get(), from.get()));
}

static PyObject* Music_fadeInLoop(PyObject* self, py::Arguments<3>& a) {
    int32_t milliseconds, times;
    double position = 0.0;
    if (!py::toInt32(a[0], milliseconds) || !py::toInt32(a[1], times) ||
        (a[2] && !py::toDouble(a[2], position)))
        return nullptr;
    if (times == INT32_MIN)
        return py::raise(PyExc_OverflowError, "value too large to convert to int");
    Mix_Music* music = musicOf(self);
    if (!started(startMusic(music, [&] {
            return Mix_FadeInMusicPos(music, times - 1, fadeLength(milliseconds), position);
        })))
        return nullptr;
    Py_RETURN_NONE;
}

static PyObject* Music_fadeOut(PyObject*, PyObject* argument) {
    int32_t milliseconds;
    if (!py::toInt32(argument, milliseconds)) return nullptr;
    Mix_FadeOutMusic(fadeLength(milliseconds));
    Py_RETURN_NONE;
}

template <void (*control)()> static PyObject* Music_control(PyObject*, PyObject*) {
    control();
    Py_RETURN_NONE;
}

static void haltMusic() {
    Mix_HaltMusic();
}

static const PyMethodDef musicMethods[] = {
    py::withKeywords<"play", Music_play, "pos=None">(py::doc<"Plays the music once">),
    py::oneArg<"loop", Music_loop, "times">(
        py::doc<"Loops the music", "@param(times, int)",
                "Loops the music as often as specified by 'times'.", "1 plays the music once",
                "2 plays the music twice", "0 loops the music infinitely">),
    py::noArgs<"stop", Music_control<haltMusic>>(py::doc<"Stops the playback of the music">),
    py::noArgs<"pause", Music_control<Mix_PauseMusic>>(py::doc<"Pauses the playback of the music">),
    py::noArgs<"resume", Music_control<Mix_ResumeMusic>>(
        py::doc<"Resumes the playback of paused music">),
    py::oneArg<"fadeOut", Music_fadeOut, "milliseconds">(py::doc<"@param(milliseconds, int)">),
    py::withKeywords<"fadeIn", Music_fadeIn, "milliseconds", "pos=0.0">(
        py::doc<"@param(milliseconds, int)">),
    py::withKeywords<"fadeInLoop", Music_fadeInLoop, "milliseconds", "times", "pos=0.0">(
        py::doc<"@param(milliseconds, int)", "@param(times, int)",
                "Loops the music as often as specified by 'times'.", "1 plays the music once",
                "2 plays the music twice", "0 loops the music infinitely">),
};

py::ClassDef& musicClass() {
    return py::define<Music>(
        "Music",
        {.doc = py::classDoc<"Represents a music resource">,
         .init = py::init<Music_init, "filepath">,
         .methods = musicMethods,
         .initDoc = py::doc<"@param(filepath, str)", "Loads an OGG music file from the given path">,
         .release = Music_release});
}

// --- volumes and the import segment -------------------------------------------------------

static PyObject* getSoundVolume(PyObject*, PyObject*) {
    return PyLong_FromLong(soundVolume);
}

static PyObject* setSoundVolume(PyObject*, PyObject* argument) {
    int32_t volume;
    if (!py::toInt32(argument, volume)) return nullptr;
    soundVolume = volume;
    Mix_Volume(-1, volume);
    Py_RETURN_NONE;
}

static PyObject* getMusicVolume(PyObject*, PyObject*) {
    return PyLong_FromLong(Mix_VolumeMusic(-1));
}

static PyObject* setMusicVolume(PyObject*, PyObject* argument) {
    int32_t volume;
    if (!py::toInt32(argument, volume)) return nullptr;
    Mix_VolumeMusic(volume);
    Py_RETURN_NONE;
}

static PyMethodDef volumeFunctions[] = {
    py::noArgs<"getMusicVolume", getMusicVolume>(
        py::functionDoc<"@returns(int, The current music volume (between 0 and 128))">),
    py::oneArg<"setMusicVolume", setMusicVolume, "volume">(py::functionDoc<"@param(volume, int)">),
    py::noArgs<"getSoundVolume", getSoundVolume>(
        py::functionDoc<"@returns(int, The current sound volume (between 0 and 128))">),
    py::oneArg<"setSoundVolume", setSoundVolume, "volume">(py::functionDoc<"@param(volume, int)">),
};

static bool soundStatements() {
    installSoundDecodeBound();
    soundVolume = 128;
    pendingMusicStops.store(0);
    Mix_HookMusicFinished(musicFinishedCallback);
    for (PyMethodDef& function : volumeFunctions)
        if (!py::bind(function.ml_name, py::moduleFunction(&function))) return false;
    return true;
}

const py::Segment soundSegment{soundStatements};
