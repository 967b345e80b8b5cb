// The import of the module: the classes are registered first, then the module-level
// statements of the source files run in their fixed order; the module body, last,
// defines the exception classes, starts SDL and completes the Engine class.
#include "colorprint.hpp"
#include "geometryMath.hpp"
#include "gui.hpp"
#include "keys.hpp"
#include "py/errors.hpp"
#include "py/import.hpp"
#include "py/module.hpp"
#include "py/unlocked.hpp"
#include "quorvelin.hpp"
#include "quorvelin/registry.hpp"
#include "resources/components.hpp"
#include "resources/entity.hpp"
#include "resources/level.hpp"
#include "resources/mediaFile.hpp"
#include "resources/sound.hpp"
#include "ui/anchoredcontainer.hpp"
#include "ui/listcontainer.hpp"
#include "ui/slider.hpp"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <mutex>

namespace {

const char moduleDescription[] =
    "\nQuorvelin is a game engine with a raycasting renderer and some simple UI\ncapabilities.\n";

// SDL's start, or the message of the first step that failed. Opening the audio device
// may wait (for a sound server, say): it runs without the interpreter lock.
const char* startSdlLibraries() {
    std::unique_lock libraries(mediaLibraries());
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) return "Could not initialize the engine.";
    // IMG_Init answers with every format running in the process; formats that someone
    // else started before the import are no reason to fail, a missing PNG is.
    constexpr int imageFlags = IMG_INIT_PNG; // the SDL_image formats the engine starts
    if ((IMG_Init(imageFlags) & imageFlags) != imageFlags)
        return "Could not initialize the image loading subsystem.";
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0)
        return "Could not initialize sound subsystem.";
    if (TTF_Init() == -1) return "Could not initialize font rendering subsystem.";
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return "Could not initialize joystick subsystem.";
    return nullptr;
}

bool startSdl() {
    const char* failure = py::withoutLock(startSdlLibraries);
    return !failure || py::engineSdlException(failure);
}

// The module body: the exception classes, SDL's start, the Engine's class attributes and
// the unpickle functions.
bool bodyStatements() {
    if (!py::bind("__doc__", py::Ref(PyUnicode_FromString(moduleDescription))) ||
        !defineExceptions() || !startSdl() || !setEngineClassAttributes())
        return false;
    return py::bindUnpickleFunctions() && py::bind("__test__", py::Ref(PyDict_New()));
}

const py::Segment bodySegment{bodyStatements};

// The module-level statements of the source files, in import order.
constexpr const py::Segment* segments[] = {
    &py::changesSegment,
    &quorvelinSegment,
    &keysSegment,
    &geometryMathSegment,
    &componentsSegment,
    &entitySegment,
    &levelSegment,
    &soundSegment,
    &guiSegment,
    &listContainerSegment,
    &anchoredContainerSegment,
    &sliderSegment,
    &colorprintSegment,
    &bodySegment,
};

} // namespace

PyMODINIT_FUNC PyInit_quorvelin() {
    static const py::ModuleSpec quorvelinModule = {"quorvelin", registeredClasses(), segments};
    return PyModuleDef_Init(py::moduleDefinition(quorvelinModule));
}
