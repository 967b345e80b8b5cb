// The module quorvelin: its import (class registration, then the module-level
// segments of the source files in their fixed order), the exception classes, the
// SDL start-up and the class-level state of the Engine (the class itself is in
// src/engine.cpp).
#include "colorprint.hpp"
#include "engine.hpp"
#include "events.hpp"
#include "geometryMath.hpp"
#include "keys.hpp"
#include "py/classdef.hpp"
#include "py/errors.hpp"
#include "py/module.hpp"
#include "renderer.hpp"
#include "resources.hpp"
#include "resources/entity.hpp"
#include "resources/font.hpp"
#include "resources/sound.hpp"
#include "resources/texture.hpp"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <string_view>

namespace {

using ClassDefinition = py::ClassDef& (*)();

// Every base precedes its subclasses.
constexpr ClassDefinition registrationOrder[] = {
    // src/events
    eventClass,
    keyEventClass,
    mouseClickEventClass,
    mouseWheelEventClass,
    fullscreenEventClass,
    joystickClass,
    joystickAddedEventClass,
    // src/geometryMath
    vector2Class,
    // src/resources
    resourceClass,
    // src/resources/texture
    textureClass,
    // src/resources/entity
    ecsClass,
    abstractSystemClass,
    // src/resources/font
    fontClass,
    // src/resources/sound
    soundHandleClass,
    soundClass,
    musicStoppedEventClass,
    musicClass,
    // src/renderer
    rendererClass,
    // src/quorvelin
    engineClass,
};

// The module functions that rebuild pickled objects, bound in this order.
constexpr ClassDefinition unpickleOrder[] = {
    eventClass,
    keyEventClass,
    mouseClickEventClass,
    mouseWheelEventClass,
    fullscreenEventClass,
    joystickAddedEventClass,
    ecsClass,
    abstractSystemClass,
    musicStoppedEventClass,
};

int imageFlags = 0; // the SDL_image formats the engine starts

const char moduleDescription[] =
    "\nQuorvelin is a game engine with a raycasting renderer and some simple UI\ncapabilities.\n";

const char exceptionsSource[] = R"PY(
class EngineException(Exception):
    """This is the base class for all quorvelin-specific exceptions.
    """

    def __init__(self, msg):
        self.msg = msg

    def __str__(self):
        return 'EngineException("%s")' % self.msg


def _sdlExceptionInit(sdlError):
    def __init__(self, msg):
        EngineException.__init__(self, msg)
        self.error = sdlError()

    __init__.__qualname__ = "EngineSdlException.__init__"
    return __init__


class EngineSdlException(EngineException):
    """Since quorvelin's window and input handling is bsesd on SDL, it is
    possible that SDL errors occur. These errors are indicated by this class.
    """

    __init__ = _sdlExceptionInit(_sdlError)

    def __str__(self):
        return 'EngineException<SDL Error>("' + str(self.msg) + '", "' + str(self.error) + '")'


class LevelFormatException(EngineException):
    """This type of exception is thrown if a level could not be loaded due to
    invalid file content / an invalid level format.
    """

    def __init__(self, filename, msg):
        EngineException.__init__(self, msg)
        self.filename = filename

    def __str__(self):
        return "EngineException(Error while loading file '" + str(self.filename) + "': \"" + str(self.msg) + '")'


del _sdlExceptionInit, _sdlError
)PY";

// SDL's error text of this moment, as bytes.
PyObject* sdlError(PyObject*, PyObject*) {
    return PyBytes_FromString(SDL_GetError());
}
PyMethodDef sdlErrorDef = {"_sdlError", sdlError, METH_NOARGS, nullptr};

bool defineExceptions() {
    return py::bind("_sdlError", py::moduleFunction(&sdlErrorDef)) &&
           py::runSource(exceptionsSource, "exceptions");
}

bool startSdl() {
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0)
        return py::engineSdlException("Could not initialize the engine.");
    // IMG_Init answers with every format running in the process; formats that someone
    // else started before the import are no reason to fail, a missing PNG is.
    imageFlags = IMG_INIT_PNG;
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

bool headSegment() {
    py::Ref threading(PyImport_ImportModule("threading"));
    return threading &&
           py::bind("Timer", py::Ref(PyObject_GetAttrString(threading.get(), "Timer"))) &&
           py::bind("time", py::Ref(PyImport_ImportModule("time")));
}

bool bodySegment() {
    if (!py::bind("__doc__", py::Ref(PyUnicode_FromString(moduleDescription))) ||
        !defineExceptions() || !startSdl() || !setEngineClassAttributes())
        return false;
    for (ClassDefinition definition : unpickleOrder)
        if (!py::bindUnpickleFunction(definition())) return false;
    return py::bind("__test__", py::Ref(PyDict_New()));
}

struct Segment {
    const char* source;
    bool (*run)(); // null: the subsystem binds nothing yet
};

// The module-level statements of the source files, in import order.
constexpr Segment segments[] = {
    {"src/quorvelin.cpp", headSegment},
    {"src/keys.cpp", keysSegment},
    {"src/geometryMath.cpp", geometryMathSegment},
    {"src/resources/components.cpp", nullptr},
    {"src/resources/entity.cpp", nullptr},
    {"src/resources/level.cpp", nullptr},
    {"src/resources/sound.cpp", soundSegment},
    {"src/gui.cpp", nullptr},
    {"src/ui/listcontainer.cpp", nullptr},
    {"src/ui/anchoredcontainer.cpp", nullptr},
    {"src/ui/slider.cpp", nullptr},
    {"src/colorprint.cpp", colorprintSegment},
    {"src/quorvelin.cpp", bodySegment},
};

// A traceback entry "init quorvelin" at the source that failed.
void traceImportFailure(const char* file, int line) {
    std::string_view path(file);
    size_t source = path.rfind("src/");
    _PyTraceback_Add("init quorvelin", source == std::string_view::npos ? file : file + source,
                     line);
}

bool initialise(PyObject* module) {
    for (ClassDefinition definition : registrationOrder) {
        py::ClassDef& def = definition();
        if (!py::registerClass(module, def)) {
            traceImportFailure(def.declared.file_name(), int(def.declared.line()));
            return false;
        }
    }
    for (const Segment& segment : segments) {
        if (segment.run && !segment.run()) {
            traceImportFailure(segment.source, 1);
            return false;
        }
    }
    return true;
}

PyObject* theModule = nullptr; // the one module of this process, once imported
int64_t theInterpreter = -1;

// Copies an attribute of the import spec into the module namespace.
bool copySpecAttribute(PyObject* spec, PyObject* dict, const char* from, const char* to,
                       bool allowNone) {
    py::Ref value(PyObject_GetAttrString(spec, from));
    if (!value) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        return true;
    }
    return (!allowNone && value.get() == Py_None) ||
           PyDict_SetItemString(dict, to, value.get()) == 0;
}

PyObject* createModule(PyObject* spec, PyModuleDef*) {
    int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (theInterpreter == -1) theInterpreter = interpreter;
    if (interpreter != theInterpreter)
        return py::raise(PyExc_ImportError, "Interpreter change detected - this module can only be "
                                            "loaded into one interpreter per process.");
    if (theModule) return py::newRef(theModule);
    py::Ref name(PyObject_GetAttrString(spec, "name"));
    py::Ref module(name ? PyModule_NewObject(name.get()) : nullptr);
    if (!module) return nullptr;
    PyObject* dict = PyModule_GetDict(module.get());
    if (!copySpecAttribute(spec, dict, "loader", "__loader__", true) ||
        !copySpecAttribute(spec, dict, "origin", "__file__", true) ||
        !copySpecAttribute(spec, dict, "parent", "__package__", true) ||
        !copySpecAttribute(spec, dict, "submodule_search_locations", "__path__", false))
        return nullptr;
    return module.release();
}

int execModule(PyObject* module) {
    if (theModule) {
        if (theModule == module) return 0;
        return py::raise(
            PyExc_RuntimeError,
            "Module 'quorvelin' has already been imported. Re-initialisation is not supported.");
    }
    py::setModule(module);
    if (!initialise(module)) {
        py::setModule(nullptr);
        return -1;
    }
    theModule = py::newRef(module); // kept for the life of the process
    return 0;
}

PyMethodDef noMethods[] = {{}};

PyModuleDef_Slot moduleSlots[] = {
    {Py_mod_create, reinterpret_cast<void*>(createModule)},
    {Py_mod_exec, reinterpret_cast<void*>(execModule)},
    {0, nullptr},
};

PyModuleDef moduleDefinition = {
    PyModuleDef_HEAD_INIT, "quorvelin", nullptr, 0,       noMethods,
    moduleSlots,           nullptr,     nullptr, nullptr,
};

} // namespace

PyMODINIT_FUNC PyInit_quorvelin() {
    return PyModuleDef_Init(&moduleDefinition);
}
