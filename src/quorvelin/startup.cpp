// The import of the module: the classes are registered first, then the module-level
// statements of the source files run in their fixed order; the main module file's
// body defines the exception classes, starts SDL and completes the Engine class.
#include "colorprint.hpp"
#include "geometryMath.hpp"
#include "gui.hpp"
#include "keys.hpp"
#include "py/changes.hpp"
#include "py/errors.hpp"
#include "py/import.hpp"
#include "py/module.hpp"
#include "quorvelin.hpp"
#include "quorvelin/registry.hpp"
#include "resources/components.hpp"
#include "resources/entity.hpp"
#include "resources/level.hpp"
#include "resources/sound.hpp"
#include "ui/anchoredcontainer.hpp"
#include "ui/listcontainer.hpp"
#include "ui/slider.hpp"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

namespace {

const char moduleDescription[] =
    "\nQuorvelin is a game engine with a raycasting renderer and some simple UI\ncapabilities.\n";

bool startSdl() {
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0)
        return py::engineSdlException("Could not initialize the engine.");
    // IMG_Init answers with every format running in the process; formats that someone
    // else started before the import are no reason to fail, a missing PNG is.
    constexpr int imageFlags = IMG_INIT_PNG; // the SDL_image formats the engine starts
    if ((IMG_Init(imageFlags) & imageFlags) != imageFlags)
        return py::engineSdlException("Could not initialize the image loading subsystem.");
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0)
        return py::engineSdlException("Could not initialize sound subsystem.");
    if (TTF_Init() == -1)
        return py::engineSdlException("Could not initialize font rendering subsystem.");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0)
        return py::engineSdlException("Could not initialize joystick subsystem.");
    return true;
}

bool bodySegment() {
    if (!py::bind("__doc__", py::Ref(PyUnicode_FromString(moduleDescription))) ||
        !defineExceptions() || !startSdl() || !setEngineClassAttributes())
        return false;
    return py::bindUnpickleFunctions() && py::bind("__test__", py::Ref(PyDict_New()));
}

// The module-level statements of the source files, in import order.
constexpr py::Segment segments[] = {
    {"src/py/changes.cpp", py::changes::changesSegment},
    {"src/quorvelin.cpp", quorvelinSegment},
    {"src/keys.cpp", keysSegment},
    {"src/geometryMath.cpp", geometryMathSegment},
    {"src/resources/components.cpp", componentsSegment},
    {"src/resources/entity.cpp", entitySegment},
    {"src/resources/level.cpp", levelSegment},
    {"src/resources/sound.cpp", soundSegment},
    {"src/gui.cpp", guiSegment},
    {"src/ui/listcontainer.cpp", listContainerSegment},
    {"src/ui/anchoredcontainer.cpp", anchoredContainerSegment},
    {"src/ui/slider.cpp", sliderSegment},
    {"src/colorprint.cpp", colorprintSegment},
    {"src/quorvelin.cpp", bodySegment},
};

} // namespace

PyMODINIT_FUNC PyInit_quorvelin() {
    static const py::ModuleSpec quorvelinModule = {"quorvelin", registeredClasses(), segments};
    return PyModuleDef_Init(py::moduleDefinition(quorvelinModule));
}
