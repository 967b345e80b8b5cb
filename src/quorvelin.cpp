// The main module file: the Engine (set-up and shutdown, tasks, event dispatch, input
// translation, the frame and the main loop, window and input queries) and the
// exception classes. The import itself (class registration, the module-level
// statements of every source file, SDL's start) is in quorvelin/.
//
// The engine's own methods call each other by attribute lookup (self.update,
// self.fireEvent, self.addTask, ...) so that Python subclasses take part; only the
// three operations of its table are out of Python's reach. The task list, the timer
// list, the joystick list and the subscriber table live on the class and are
// reached by attribute lookup too, so every engine shares them.
#include "quorvelin.hpp"

#include "engine.hpp"
#include "events.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/exclusive.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "renderer.hpp"
#include "resources/entity.hpp"
#include "resources/mediaFile.hpp"
#include "resources/sound.hpp"
#include "resources/texture.hpp"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

py::Name nTasks("_tasks");
py::Name nTimers("_timers");
py::Name nJoysticks("_joysticks");
py::Name nEventSubscribers("_eventSubscribers");
py::Name nEnsureInit("_ensureInit");
py::Name nUpdate("update");
py::Name nFireEvent("fireEvent");
py::Name nAddTask("addTask");
py::Name nSetWindowIcon("setWindowIcon");
py::Name nIsFullscreen("isFullscreen");
py::Name nGetTarget("getTarget");
py::Name nRemove("remove");
py::Name nClear("clear");
py::Name nCancel("cancel");
py::Name nStart("start");
py::Name nSleep("sleep");

// Any bit of exclusive or desktop fullscreen.
constexpr Uint32 fullscreenFlags = 0x1001;

// The most mixer channels init allocates.
constexpr int32_t maxAudioChannels = 1 << 16;

// The longest window side SDL creates a window with ("Window is too large." beyond).
constexpr int largestWindowSide = 16384;

// threading.TIMEOUT_MAX: the longest wait of a timer thread, read at import.
double longestTimerWait = 0.0;

// Counts the calls of quit. SDL_Quit destroys every window, so the handles of every
// engine made before it are stale, also once SDL_CreateWindow has started SDL's
// video again for a later init.
uint32_t sdlRun = 0;

// The window while it can be used: not before init, not after quit.
SDL_Window* liveWindow(Engine* self) {
    return self->window && self->sdlRun == sdlRun ? self->window : nullptr;
}

SDL_Window* requireWindow(Engine* self) {
    SDL_Window* window = liveWindow(self);
    if (!window) py::engineException("The engine has no open window.");
    return window;
}

// SDL keeps its mouse driver's functions after quit, when they are no longer valid:
// relative mode only changes while the video subsystem runs.
void setRelativeMouseMode(bool on) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

// Whether the frame can upload and present: quit inside the frame clears the handles.
bool hasScreen(Engine* self) {
    return liveWindow(self) && self->renderer && self->screenTexture;
}

bool fire(PyObject* engine, PyObject* event) {
    return bool(py::callMethod(engine, nFireEvent, event));
}

// Calls every handler subscribed under `key` with makeEvent()'s result, walking the
// live list so that handlers subscribed during the walk are called too.
template <class MakeEvent> bool dispatch(PyObject* engine, PyObject* key, MakeEvent makeEvent) {
    py::Ref table = py::getAttr(engine, nEventSubscribers);
    if (!table) return false;
    py::Ref handlers;
    if (PyDict_CheckExact(table.get())) {
        handlers = py::Ref::borrow(PyDict_GetItemWithError(table.get(), key));
    } else {
        int present = PySequence_Contains(table.get(), key);
        if (present <= 0) return present == 0;
        handlers = py::Ref(PyObject_GetItem(table.get(), key));
    }
    if (!handlers) return !PyErr_Occurred();
    return py::forEachLive(handlers.get(), [&](PyObject* handler) {
        py::Ref event = makeEvent();
        return event && py::Ref(PyObject_CallOneArg(handler, event.get()));
    });
}

} // namespace

// --- set-up and shutdown ----------------------------------------------------------------

static PyObject* Engine_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    py::Ref self(py::Generic<Engine>::tpNew(type, args, kwargs));
    if (!self) return nullptr;
    py::Ref ecs(PyObject_CallOneArg(py::asObject(Ecs::type), self.get()));
    if (!ecs) return nullptr;
    py::assign(py::cast<Engine>(self.get())->ecs, ecs.get());
    return self.release();
}

static int Engine_tpinit(PyObject*, py::Arguments<0>&) {
    return 0;
}

// The one-shot task that init queues for fullscreen: bound to the engine.
static PyObject* activateFullscreen(PyObject* engine, py::Arguments<2>&) {
    if (!py::cast<Engine>(engine)->ops->switchFullscreen(py::cast<Engine>(engine))) return nullptr;
    Py_RETURN_TRUE;
}

static PyMethodDef activateFullscreenDef =
    py::withKeywords<"activateFullscreen", activateFullscreen, "timeStep", "onDone">();

static bool flagArgument(PyObject* given, bool otherwise, bool& out) {
    if (!given) {
        out = otherwise;
        return true;
    }
    return py::toFlag(given, out);
}

// The window's flags from init's show, resizeable and captureMouse, converted in that
// order; capturing the mouse starts at once.
static bool windowFlags(PyObject* show, PyObject* resizeable, PyObject* captureMouse, Uint32& flags,
                        bool& capture) {
    flags = 0;
    bool visible, resizable;
    if (!flagArgument(show, true, visible)) return false;
    if (!visible) flags |= SDL_WINDOW_HIDDEN;
    if (!flagArgument(resizeable, false, resizable)) return false;
    if (resizable) flags |= SDL_WINDOW_RESIZABLE;
    if (!flagArgument(captureMouse, false, capture)) return false;
    if (capture) {
        setRelativeMouseMode(true);
        flags |= SDL_WINDOW_INPUT_GRABBED;
    }
    return true;
}

// init's size, unpacked at once and converted when it is first needed, as the window or
// the texture.
struct WindowSize {
    py::Ref widthItem, heightItem;
    int32_t width = 0, height = 0;
    bool converted = false;

    bool convert() {
        converted = converted ||
                    (py::toInt32(widthItem.get(), width) && py::toInt32(heightItem.get(), height));
        return converted;
    }
};

// A new window unless windowid names one other than -1: 1, 0, or -1 with the error set.
static int wantsNewWindow(PyObject* windowid) {
    if (!windowid) return 1;
    py::Ref minusOne(PyLong_FromLong(-1));
    return minusOne ? PyObject_RichCompareBool(windowid, minusOne.get(), Py_EQ) : -1;
}

static bool openWindow(Engine* self, PyObject* title, WindowSize& size, Uint32 flags, bool capture,
                       PyObject* icon) {
    py::Utf8 text(title);
    if (!text || !size.convert()) return false;
    self->window = SDL_CreateWindow(text.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                    size.width, size.height, flags);
    if (!self->window) return py::engineSdlException("Could not initialize the window.");
    self->sdlRun = sdlRun;
    // The renderer and screen texture of an earlier window are never used again, also
    // when a step below fails.
    self->renderer = nullptr;
    self->screenTexture = nullptr;
    // After quit, SDL's video only runs again from the window on.
    if (capture) setRelativeMouseMode(true);
    int hasIcon = icon ? PyObject_RichCompareBool(icon, Py_None, Py_NE) : 0;
    return hasIcon == 0 ||
           (hasIcon > 0 && py::callMethod(py::asObject(self), nSetWindowIcon, icon));
}

// The software renderer of the window and the streaming screen texture of init's size.
static bool openScreen(Engine* self, WindowSize& size) {
    // After quit the kept window handle is gone; SDL then refuses a renderer anyway.
    SDL_Window* window = liveWindow(self);
    if (!window) SDL_SetError("Invalid window");
    self->renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (!self->renderer)
        return py::engineSdlException("Could not initialize the rendering subsystem");
    if (!size.convert()) return false;
    self->screenTexture = SDL_CreateTexture(self->renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_STREAMING, size.width, size.height);
    return self->screenTexture ||
           py::engineSdlException("Could not initialize the screen texture.");
}

static PyObject* Engine_init(PyObject* op, py::Arguments<10>& a) {
    auto [title, size, fullscreen, show, resizeable, windowid, icon, captureMouse, audioChannels,
          killWithEscapeKey] = a;
    Engine* self = py::cast<Engine>(op);

    int32_t channels = 32;
    if (audioChannels && !py::toInt32(audioChannels, channels)) return nullptr;
    // SDL_mixer does not check the allocation of its channel table and crashes when a
    // huge count cannot be allocated; far fewer channels than this are ever mixed.
    Mix_AllocateChannels(std::min(channels, maxAudioChannels));
    if (!flagArgument(killWithEscapeKey, true, self->killWithEscapeKey)) return nullptr;
    WindowSize windowSize;
    if (!py::unpackPair(size, windowSize.widthItem, windowSize.heightItem)) return nullptr;
    Uint32 flags;
    bool capture;
    if (!windowFlags(show, resizeable, captureMouse, flags, capture)) return nullptr;

    int newWindow = wantsNewWindow(windowid);
    if (newWindow < 0 ||
        (newWindow && !openWindow(self, title, windowSize, flags, capture, icon)) ||
        !openScreen(self, windowSize))
        return nullptr;

    self->lastTicks = SDL_GetTicks();
    self->ticksRun = sdlRun;
    self->fps = 0.0;
    self->timeStep = 1.0 / 60.0;

    bool toFullscreen;
    if (!flagArgument(fullscreen, false, toFullscreen)) return nullptr;
    if (toFullscreen) {
        py::Ref task(PyCFunction_NewEx(&activateFullscreenDef, op, nullptr));
        if (!task || !py::callMethod(op, nAddTask, task.get())) return nullptr;
    }
    self->running = 1;
    Py_RETURN_NONE;
}

static PyObject* Engine_ensureInit(PyObject* self, PyObject*) {
    if (!py::cast<Engine>(self)->running)
        return py::engineException("The engine is not initialized, yet.Call init method first.");
    Py_RETURN_NONE;
}

static PyObject* Engine_quit(PyObject* op, PyObject*) {
    Engine* self = py::cast<Engine>(op);
    self->running = 0;
    if (SDL_Window* window = liveWindow(self)) SDL_DestroyWindow(window);
    // SDL is shut down below: no handle of this engine may be used again.
    self->window = nullptr;
    self->renderer = nullptr;
    self->screenTexture = nullptr;
    {
        // Loads that decode without the interpreter lock on other threads end first.
        std::unique_lock decodes(mediaLibraries());
        IMG_Quit();
        SDL_Quit();
    }
    ++sdlRun;
    Py_RETURN_NONE;
}

// --- tasks ------------------------------------------------------------------------------

static PyObject* Engine_addTask(PyObject* self, py::Arguments<2>& a) {
    py::Ref entry(PyTuple_Pack(2, a[0], a[1] ? a[1] : Py_None));
    py::Ref tasks(entry ? py::getAttr(self, nTasks) : py::Ref());
    return py::noneOrFailed(tasks && py::append(tasks.get(), entry.get()));
}

// Runs on the timer's thread: [engine, task, onDone, timer].
static PyObject* timerTarget(PyObject* state, PyObject*) {
    if (!PyList_CheckExact(state) || PyList_GET_SIZE(state) != 4)
        return py::raise(PyExc_SystemError, "timerTarget lost its state");
    py::Ref engine = py::Ref::borrow(PyList_GET_ITEM(state, 0));
    py::Ref task = py::Ref::borrow(PyList_GET_ITEM(state, 1));
    py::Ref onDone = py::Ref::borrow(PyList_GET_ITEM(state, 2));
    py::Ref timer = py::Ref::borrow(PyList_GET_ITEM(state, 3));
    if (!py::callMethod(engine.get(), nAddTask, task.get(), onDone.get())) return nullptr;
    py::Ref timers = py::getAttr(engine.get(), nTimers);
    if (!timers) return nullptr;
    // The loop may have ended and emptied the list while this timer was firing.
    if (!py::callMethod(timers.get(), nRemove, timer.get())) {
        if (!PyErr_ExceptionMatches(PyExc_ValueError)) return nullptr;
        PyErr_Clear();
    }
    Py_RETURN_NONE;
}

static PyMethodDef timerTargetDef = {"timerTarget", timerTarget, METH_NOARGS, nullptr};

static bool finiteDelay(double seconds) {
    return std::isfinite(seconds) ||
           py::raise(PyExc_ValueError, "delaySeconds must be a finite number of seconds");
}

// A positive delay as the seconds a timer thread can wait, checked here: a timer
// thread that cannot wait them would die at its start and stay in the timer list.
static py::Ref timerSeconds(PyObject* delay) {
    double seconds = PyFloat_AsDouble(delay);
    if (seconds == -1.0 && PyErr_Occurred()) return {};
    if (!finiteDelay(seconds)) return {};
    if (seconds > longestTimerWait) {
        py::raise(PyExc_OverflowError, "delaySeconds is too large for a timer");
        return {};
    }
    return py::Ref(PyFloat_FromDouble(seconds));
}

static PyObject* Engine_addTaskAfter(PyObject* self, py::Arguments<3>& a) {
    auto [delay, task, onDone] = a;
    if (!onDone) onDone = Py_None;
    if (PyFloat_Check(delay) && !finiteDelay(PyFloat_AS_DOUBLE(delay))) return nullptr;
    py::Ref zero(PyLong_FromLong(0));
    int now = zero ? PyObject_RichCompareBool(delay, zero.get(), Py_LE) : -1;
    if (now < 0) return nullptr;
    if (now) return py::noneOrFailed(bool(py::callMethod(self, nAddTask, task, onDone)));

    py::Ref seconds = timerSeconds(delay);
    py::Ref state(seconds ? Py_BuildValue("[OOOO]", self, task, onDone, Py_None) : nullptr);
    py::Ref target(state ? PyCFunction_NewEx(&timerTargetDef, state.get(), nullptr) : nullptr);
    py::Ref timerClass(target ? py::moduleGlobal("Timer") : py::Ref());
    py::Ref timer(timerClass ? PyObject_CallFunctionObjArgs(timerClass.get(), seconds.get(),
                                                            target.get(), nullptr)
                             : nullptr);
    if (!timer || PyList_SetItem(state.get(), 3, py::newRef(timer.get())) < 0) return nullptr;
    py::Ref timers = py::getAttr(self, nTimers);
    return py::noneOrFailed(timers && py::append(timers.get(), timer.get()) &&
                            py::callMethod(timer.get(), nStart));
}

// The task pass of the frame. Tasks that finished leave the list even when a later
// task of the same pass raises; that error is the one reported.
static bool runTasks(Engine* self) {
    PyObject* op = py::asObject(self);
    py::Ref tasks = py::getAttr(op, nTasks);
    py::Ref finished(tasks ? PyList_New(0) : nullptr);
    if (!finished) return false;
    bool ok = py::forEachLive(tasks.get(), [&](PyObject* entry) {
        py::Ref task, onDone;
        if (!py::unpackPair(entry, task, onDone)) return false;
        py::Ref step(PyFloat_FromDouble(self->timeStep));
        py::Ref result(
            step ? PyObject_CallFunctionObjArgs(task.get(), step.get(), onDone.get(), nullptr)
                 : nullptr);
        int done = result ? PyObject_IsTrue(result.get()) : -1;
        return done == 0 || (done > 0 && PyList_Append(finished.get(), entry) == 0);
    });
    // A frame nested in a task or a handler walks the same list and removes what finished
    // in it: an entry that finished in both is removed once.
    auto removeFinished = [&] {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(finished.get()); ++i) {
            PyObject* entry = PyList_GET_ITEM(finished.get(), i);
            int queued = PySequence_Contains(tasks.get(), entry);
            if (queued < 0 || (queued && !py::callMethod(tasks.get(), nRemove, entry)))
                return false;
        }
        return true;
    };
    if (ok) return removeFinished();
    py::PendingError taskError;
    removeFinished();
    return false;
}

// --- event subscription and dispatch ----------------------------------------------------

static PyObject* Engine_subscribeEvent(PyObject* self, py::Arguments<2>& a) {
    auto [eventType, handler] = a;
    py::Ref table = py::getAttr(self, nEventSubscribers);
    int present = table ? PySequence_Contains(table.get(), eventType) : -1;
    if (present < 0) return nullptr;
    if (!present) {
        py::Ref handlers(PyList_New(0));
        if (!handlers || PyObject_SetItem(table.get(), eventType, handlers.get()) < 0)
            return nullptr;
    }
    py::Ref handlers(PyObject_GetItem(table.get(), eventType));
    return py::noneOrFailed(handlers && py::append(handlers.get(), handler));
}

static PyObject* Engine_unsubscribeEvent(PyObject* self, py::Arguments<2>& a) {
    auto [eventType, handler] = a;
    py::Ref table = py::getAttr(self, nEventSubscribers);
    int present = table ? PySequence_Contains(table.get(), eventType) : -1;
    if (present <= 0) return present < 0 ? nullptr : py::newRef(Py_None);
    py::Ref handlers(PyObject_GetItem(table.get(), eventType));
    int subscribed = handlers ? PySequence_Contains(handlers.get(), handler) : -1;
    if (subscribed <= 0) return subscribed < 0 ? nullptr : py::newRef(Py_None);
    return py::noneOrFailed(bool(py::callMethod(handlers.get(), nRemove, handler)));
}

bool nobodyListens(PyObject* engine, PyObject* eventType) {
    if (!Py_IS_TYPE(engine, Engine::type)) return false;
    PyObject* key = nEventSubscribers.get();
    PyObject* table = key ? PyDict_GetItemWithError(Engine::type->tp_dict, key) : nullptr;
    PyObject* handlers =
        table && PyDict_CheckExact(table) ? PyDict_GetItemWithError(table, eventType) : nullptr;
    if (PyErr_Occurred()) { // the ordinary way raises it again, in its place
        PyErr_Clear();
        return false;
    }
    if (!table || !PyDict_CheckExact(table)) return false;
    return !handlers || (PyList_CheckExact(handlers) && PyList_GET_SIZE(handlers) == 0);
}

static PyObject* Engine_fireEvent(PyObject* self, py::Arguments<2>& a) {
    auto [event, eventType] = a;
    // No walk up the class tree: only the subscribers of exactly this type.
    if (!eventType || eventType == Py_None) eventType = py::asObject(Py_TYPE(event));
    return py::noneOrFailed(dispatch(self, eventType, [&] { return py::Ref::borrow(event); }));
}

// --- input translation ------------------------------------------------------------------

static ScaleFactor Engine_getDisplayScaleFactor(Engine* self) {
    int windowWidth = 0, windowHeight = 0, textureWidth = 0, textureHeight = 0;
    if (SDL_Window* window = liveWindow(self))
        SDL_GetWindowSize(window, &windowWidth, &windowHeight);
    if (windowWidth == 0 || windowHeight == 0) return {1.0, 1.0};
    if (self->screenTexture)
        SDL_QueryTexture(self->screenTexture, nullptr, nullptr, &textureWidth, &textureHeight);
    return {double(textureWidth) / windowWidth, double(textureHeight) / windowHeight};
}

// Window coordinates to screen-texture pixels, truncated toward zero. Coordinates
// that scale beyond the int range (only synthetic events reach them) raise.
static bool toScreen(Engine* self, int x, int y, int32_t& screenX, int32_t& screenY) {
    ScaleFactor scale = self->ops->getDisplayScaleFactor(self);
    double scaledX = std::trunc(x * scale.x), scaledY = std::trunc(y * scale.y);
    auto fits = [](double value) { return value >= INT32_MIN && value <= INT32_MAX; };
    if (!fits(scaledX) || !fits(scaledY))
        return py::raise(PyExc_OverflowError, "value too large to convert to int");
    screenX = int32_t(scaledX);
    screenY = int32_t(scaledY);
    return true;
}

// Modifier state comes from the keyboard state array, not from the event, so it
// tells what is held while the event is handled.
static int held(const Uint8* keys, SDL_Keycode left, SDL_Keycode right) {
    Uint8 state = keys[SDL_GetScancodeFromKey(left)];
    return state ? state : keys[SDL_GetScancodeFromKey(right)];
}

static bool keyPressed(Engine* self, SDL_Keycode key) {
    if (self->killWithEscapeKey && key == SDLK_ESCAPE) self->running = 0;
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    py::Ref event(PyObject_CallFunction(
        py::asObject(KeyEvent::type), "iiii", int(key), held(keys, SDLK_LCTRL, SDLK_RCTRL),
        held(keys, SDLK_LALT, SDLK_RALT), held(keys, SDLK_LSHIFT, SDLK_RSHIFT)));
    return event && fire(py::asObject(self), event.get());
}

// Clicks and wheel turns bypass fireEvent: every subscriber gets an event of its own.
static bool mouseReleased(Engine* self, const SDL_MouseButtonEvent& button) {
    int32_t x, y;
    if (!toScreen(self, button.x, button.y, x, y)) return false;
    return dispatch(py::asObject(self), py::asObject(MouseClickEvent::type), [&] {
        return py::Ref(PyObject_CallFunction(py::asObject(MouseClickEvent::type), "iii", x, y,
                                             int(button.button)));
    });
}

static bool wheelTurned(Engine* self, const SDL_MouseWheelEvent& wheel) {
    return dispatch(py::asObject(self), py::asObject(MouseWheelEvent::type), [&] {
        return py::Ref(
            PyObject_CallFunction(py::asObject(MouseWheelEvent::type), "ii", wheel.x, wheel.y));
    });
}

// Opens the device that the event names. A device that is gone again, or that has
// no name, is not announced.
static bool joystickAdded(Engine* self, int deviceIndex) {
    SDL_Joystick* handle = SDL_JoystickOpen(deviceIndex);
    if (!handle) return true;
    const char* name = SDL_JoystickName(handle);
    if (!name) {
        SDL_JoystickClose(handle);
        return true;
    }
    py::Ref text(PyUnicode_DecodeUTF8(name, Py_ssize_t(std::strlen(name)), "strict"));
    py::Ref joystick(text ? Joystick::table.create(handle, text.get(), SDL_JoystickNumAxes(handle),
                                                   SDL_JoystickNumButtons(handle))
                          : nullptr);
    py::Ref joysticks(joystick ? py::getAttr(py::asObject(self), nJoysticks) : py::Ref());
    if (!joysticks || !py::append(joysticks.get(), joystick.get())) return false;
    py::Ref event(PyObject_CallOneArg(py::asObject(JoystickAddedEvent::type), joystick.get()));
    return event && fire(py::asObject(self), event.get());
}

static bool joystickRemoved() {
    py::Ref print = py::builtin("print");
    return print && py::Ref(PyObject_CallFunction(print.get(), "s", "Joystick removed"));
}

static bool translate(Engine* self, const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        self->running = 0;
        return true;
    case SDL_KEYDOWN:
        return keyPressed(self, event.key.keysym.sym);
    case SDL_MOUSEMOTION:
        self->mouseDx = event.motion.xrel;
        self->mouseDy = event.motion.yrel;
        return true;
    case SDL_MOUSEBUTTONUP:
        return mouseReleased(self, event.button);
    case SDL_MOUSEWHEEL:
        return wheelTurned(self, event.wheel);
    case SDL_JOYDEVICEADDED:
        return joystickAdded(self, event.jdevice.which);
    case SDL_JOYDEVICEREMOVED:
        return joystickRemoved();
    default:
        return true;
    }
}

static void Engine_updateInput(Engine* self) {
    self->mouseDx = 0;
    self->mouseDy = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (!translate(self, event)) {
            // The events still queued wait for the next frame.
            py::printUnraisable("quorvelin.Engine._updateInput");
            return;
        }
    }
}

// --- the frame and the main loop --------------------------------------------------------

static void measureFrame(Engine* self) {
    // Another engine's quit restarts SDL's tick counter: start measuring afresh.
    if (self->ticksRun != sdlRun) {
        self->ticksRun = sdlRun;
        self->lastTicks = SDL_GetTicks();
    }
    Uint32 ticks = SDL_GetTicks();
    Uint32 elapsed = ticks - self->lastTicks; // unsigned: right across the counter's wrap
    if (elapsed == 0) return;
    self->lastTicks = ticks;
    self->fps = 1000.0 / elapsed;
    self->timeStep = 1.0 / self->fps;
}

// One stop of the music per frame; further stops wait for the following frames.
static bool fireMusicStopped(PyObject* engine) {
    py::Ref event(PyObject_CallNoArgs(py::asObject(MusicStoppedEvent::type)));
    return event && fire(engine, event.get());
}

// Copies a target into the screen texture. A target of another size than the screen
// contributes its top-left corner, as far as both reach.
static void upload(SDL_Texture* screen, const pixels::ConstArea& source) {
    int width = 0, height = 0;
    if (!source.pixels || SDL_QueryTexture(screen, nullptr, nullptr, &width, &height) != 0) return;
    SDL_Rect area = {0, 0, std::min(width, source.width), std::min(height, source.height)};
    if (area.w > 0 && area.h > 0)
        SDL_UpdateTexture(screen, &area, source.pixels, int(source.stride * sizeof(uint32_t)));
}

// The targets of the renderers, in system order; the last one is what is shown.
static bool uploadTargets(Engine* self) {
    if (!PyObject_TypeCheck(self->ecs, Ecs::type)) return true;
    py::Ref systems = py::Ref::borrow(py::cast<Ecs>(self->ecs)->systems);
    if (!PyList_Check(systems.get())) return true;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(systems.get()); ++i) {
        py::Ref system = py::Ref::borrow(PyList_GET_ITEM(systems.get(), i));
        if (!PyObject_TypeCheck(system.get(), Renderer::type)) continue;
        py::Ref target = py::callMethod(system.get(), nGetTarget);
        if (!target) return false;
        if (target.get() == Py_None) continue; // nothing to show yet
        if (!isTexture(target.get())) return py::cannotConvert(target.get(), Texture::type);
        if (!hasScreen(self)) return true; // getTarget quit the engine
        upload(self->screenTexture, py::cast<Texture>(target.get())->view());
    }
    return true;
}

// The bits of a screen-texture pixel that a plain copy keeps in a window surface of this
// format: all of them in ARGB8888, the colour in RGB888, whose unused byte SDL's copy
// clears; 0 for the formats that SDL converts channel by channel.
static uint32_t keptBits(const SDL_PixelFormat* format) {
    if (format->BytesPerPixel != 4 || format->Rmask != 0x00ff0000u ||
        format->Gmask != 0x0000ff00u || format->Bmask != 0x000000ffu)
        return 0;
    return format->Amask == 0xff000000u ? 0xffffffffu : format->Amask == 0 ? 0x00ffffffu : 0;
}

// Whether SDL_RenderCopy(renderer, screen, NULL, NULL) comes to a plain copy of the
// screen texture's pixels into the window surface, and if so makes that copy with the
// engine's own loop: SDL converts ARGB8888 for an RGB888 window one pixel at a time.
// It does when the software renderer draws into the window surface at the texture's
// size, unscaled and unclipped, and the texture is neither blended nor modulated.
static bool copyToWindow(Engine* self) {
    SDL_RendererInfo info;
    Uint32 format;
    int width, height;
    SDL_BlendMode blendMode;
    Uint8 alpha, red, green, blue;
    if (SDL_GetRendererInfo(self->renderer, &info) != 0 || !(info.flags & SDL_RENDERER_SOFTWARE) ||
        SDL_GetRenderTarget(self->renderer) || SDL_RenderIsClipEnabled(self->renderer) ||
        SDL_QueryTexture(self->screenTexture, &format, nullptr, &width, &height) != 0 ||
        format != SDL_PIXELFORMAT_ARGB8888 ||
        SDL_GetTextureBlendMode(self->screenTexture, &blendMode) != 0 ||
        blendMode != SDL_BLENDMODE_NONE ||
        SDL_GetTextureAlphaMod(self->screenTexture, &alpha) != 0 || alpha != 255 ||
        SDL_GetTextureColorMod(self->screenTexture, &red, &green, &blue) != 0 ||
        (red & green & blue) != 255)
        return false;
    float scaleX, scaleY;
    int logicalWidth, logicalHeight;
    SDL_Rect viewport;
    SDL_RenderGetScale(self->renderer, &scaleX, &scaleY);
    SDL_RenderGetLogicalSize(self->renderer, &logicalWidth, &logicalHeight);
    SDL_RenderGetViewport(self->renderer, &viewport);
    if (scaleX != 1.0f || scaleY != 1.0f || logicalWidth != 0 || logicalHeight != 0 ||
        viewport.x != 0 || viewport.y != 0 || viewport.w != width || viewport.h != height)
        return false;
    SDL_Surface* window = SDL_GetWindowSurface(self->window);
    if (!window || window->w != width || window->h != height || SDL_MUSTLOCK(window)) return false;
    uint32_t keep = keptBits(window->format);
    if (keep == 0) return false;
    // The software renderer's streaming texture is its surface: locking it hands out the
    // pixels it holds, which are what SDL_RenderCopy would read.
    void* pixels;
    int pitch;
    if (SDL_LockTexture(self->screenTexture, nullptr, &pixels, &pitch) != 0) return false;
    pixels::copyMasked(
        {static_cast<uint32_t*>(window->pixels), size_t(window->pitch) / sizeof(uint32_t), width,
         height},
        {static_cast<const uint32_t*>(pixels), size_t(pitch) / sizeof(uint32_t), width, height},
        keep);
    SDL_UnlockTexture(self->screenTexture);
    return true;
}

// The screen texture stretched over the whole window, with no clearing first.
static void present(Engine* self) {
    if (!copyToWindow(self)) SDL_RenderCopy(self->renderer, self->screenTexture, nullptr, nullptr);
    SDL_RenderPresent(self->renderer);
}

// Frames run on one thread at a time in the process: the frame walks the task list that
// every engine shares. A frame started from Python code that the running one calls (a
// task drawing a loading screen, a dialog running its own frames from a handler, a
// system) runs whole inside it; one that another thread starts meanwhile would run
// beside it on the same tasks, and is refused.
static py::ThreadClaim frameThread;

static PyObject* Engine_update(PyObject* op, PyObject*) {
    py::ThreadExclusive running(frameThread,
                                "update() cannot start while another thread runs a frame");
    if (!running) return nullptr;
    Engine* self = py::cast<Engine>(op);
    if (!py::callMethod(op, nEnsureInit)) return nullptr;
    measureFrame(self);
    self->ops->updateInput(self);
    if (takeMusicStop() && !fireMusicStopped(op)) return nullptr;
    if (!runTasks(self)) return nullptr;
    py::Ref ecs = py::Ref::borrow(self->ecs);
    py::Ref timeStep(PyFloat_FromDouble(self->timeStep));
    if (!timeStep || !py::callMethod(ecs.get(), nUpdate, timeStep.get())) return nullptr;
    // A frame in which quit was called neither uploads nor presents.
    if (!hasScreen(self)) Py_RETURN_NONE;
    if (!uploadTargets(self)) return nullptr;
    if (hasScreen(self)) present(self);
    Py_RETURN_NONE;
}

// Runs frames while the engine runs, sleeping after each for what is left of the
// frame time once the frame itself is done.
static bool runFrames(PyObject* op, double frameTime) {
    py::Ref time = py::moduleGlobal("time");
    py::Ref sleep(time ? py::getAttr(time.get(), nSleep) : py::Ref());
    if (!sleep) return false;
    using Clock = std::chrono::steady_clock;
    while (py::cast<Engine>(op)->running) {
        Clock::time_point start = Clock::now();
        if (!py::callMethod(op, nUpdate)) return false;
        double took = std::chrono::duration<double>(Clock::now() - start).count();
        double pause = frameTime - took;
        py::Ref seconds(PyFloat_FromDouble(pause > 0 ? pause : 1e-9));
        if (!seconds || !py::Ref(PyObject_CallOneArg(sleep.get(), seconds.get()))) return false;
    }
    return true;
}

// Pending delayed tasks never fire once the loop is over.
static bool cancelTimers(PyObject* op) {
    py::Ref timers = py::getAttr(op, nTimers);
    return timers &&
           py::forEachOfCopy(
               timers.get(),
               [](PyObject* timer) { return bool(py::callMethod(timer, nCancel)); }) &&
           py::callMethod(timers.get(), nClear);
}

static PyObject* Engine_run(PyObject* op, py::Arguments<1>& a) {
    py::Ref one(PyFloat_FromDouble(1.0));
    py::Ref maxFps(a[0] ? py::Ref::borrow(a[0]) : py::Ref(PyLong_FromLong(60)));
    py::Ref frameTime(one && maxFps ? PyNumber_TrueDivide(one.get(), maxFps.get()) : nullptr);
    double seconds;
    if (frameTime && py::toDouble(frameTime.get(), seconds) && runFrames(op, seconds))
        return py::noneOrFailed(cancelTimers(op));
    py::PendingError loopError; // pending timers would keep the process alive
    cancelTimers(op);
    return nullptr;
}

static PyObject* Engine_getFps(PyObject* self, PyObject*) {
    return PyFloat_FromDouble(py::cast<Engine>(self)->fps);
}

static PyObject* Engine_getTimeStep(PyObject* self, PyObject*) {
    return PyFloat_FromDouble(py::cast<Engine>(self)->timeStep);
}

// --- window, fullscreen, screenshot and input queries -----------------------------------

static bool Engine_switchFullscreen(Engine* self) {
    SDL_Window* window = requireWindow(self);
    if (!window) return false;
    if (SDL_GetWindowFlags(window) & fullscreenFlags) {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, self->savedWindowWidth, self->savedWindowHeight);
        SDL_SetWindowPosition(window, self->savedWindowX, self->savedWindowY);
        return true;
    }
    SDL_GetWindowPosition(window, &self->savedWindowX, &self->savedWindowY);
    SDL_GetWindowSize(window, &self->savedWindowWidth, &self->savedWindowHeight);
    SDL_Rect bounds = {0, 0, 0, 0};
    SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return true;
}

static PyObject* Engine_isRunning(PyObject* self, PyObject*) {
    return PyBool_FromLong(py::cast<Engine>(self)->running == 1);
}

static PyObject* Engine_isFullscreen(PyObject* self, PyObject*) {
    SDL_Window* window = liveWindow(py::cast<Engine>(self));
    return PyBool_FromLong(window && (SDL_GetWindowFlags(window) & fullscreenFlags));
}

static PyObject* Engine_toggleFullscreen(PyObject* op, PyObject*) {
    py::Ref oldValue = py::callMethod(op, nIsFullscreen);
    if (!oldValue || !py::cast<Engine>(op)->ops->switchFullscreen(py::cast<Engine>(op)))
        return nullptr;
    py::Ref newValue = py::callMethod(op, nIsFullscreen);
    py::Ref event(newValue ? PyObject_CallFunctionObjArgs(py::asObject(FullscreenEvent::type),
                                                          oldValue.get(), newValue.get(), nullptr)
                           : nullptr);
    return py::noneOrFailed(event && fire(op, event.get()));
}

static PyObject* Engine_setFullscreen(PyObject* self, PyObject* fullscreen) {
    bool on;
    if (!py::toFlag(fullscreen, on)) return nullptr;
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN : 0);
    Py_RETURN_NONE;
}

// getWindowSize and getWindowPos, setWindowSize and setWindowPos: one SDL call on
// a pair of integers.
template <void (*query)(SDL_Window*, int*, int*)>
PyObject* getWindowPair(PyObject* self, PyObject*) {
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    int first = 0, second = 0;
    query(window, &first, &second);
    return py::intPair(first, second);
}

// Every frame asks SDL for a window surface of the window's size, so a window never
// grows beyond the size init can open it with; a larger size is refused as SDL
// refuses a size below 1: the window stays as it is.
static void resizeWindow(SDL_Window* window, int width, int height) {
    if (width > largestWindowSide || height > largestWindowSide) {
        SDL_SetError("Window is too large.");
        return;
    }
    SDL_SetWindowSize(window, width, height);
}

template <void (*change)(SDL_Window*, int, int)>
PyObject* setWindowPair(PyObject* self, PyObject* pair) {
    int32_t first, second;
    if (!py::toInt32Pair(pair, first, second)) return nullptr;
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    change(window, first, second);
    Py_RETURN_NONE;
}

static PyObject* Engine_setWindowTitle(PyObject* self, PyObject* title) {
    py::Utf8 text(title);
    if (!text) return nullptr;
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    SDL_SetWindowTitle(window, text.c_str());
    Py_RETURN_NONE;
}

static PyObject* Engine_setWindowIcon(PyObject* self, PyObject* filename) {
    py::FileName path(filename);
    const char* name = path.c_str();
    if (!name) return nullptr;
    if (!requireWindow(py::cast<Engine>(self))) return nullptr;
    // An image that cannot be loaded leaves the icon as it is. The image is read without
    // the interpreter lock, while another thread may have closed the window.
    OwnedSurface image = loadImageFile(name);
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    if (image) SDL_SetWindowIcon(window, image.get());
    Py_RETURN_NONE;
}

static PyObject* Engine_saveScreenshot(PyObject* self, PyObject* filename) {
    py::FileName path(filename);
    const char* name = path.c_str();
    if (!name) return nullptr;
    SDL_Window* window = requireWindow(py::cast<Engine>(self));
    if (!window) return nullptr;
    // The surface the software renderer presents into: the last frame at window size.
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface || !savePngFile(surface, name)) {
        if (PyErr_Occurred()) return nullptr; // a signal's handler raised while it waited
        return py::engineSdlException("Could not save the screenshot.");
    }
    Py_RETURN_NONE;
}

static PyObject* Engine_getMouseDist(PyObject* self, PyObject*) {
    return py::intPair(py::cast<Engine>(self)->mouseDx, py::cast<Engine>(self)->mouseDy);
}

static PyObject* Engine_getMousePos(PyObject* self, PyObject*) {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    int32_t screenX, screenY;
    if (!toScreen(py::cast<Engine>(self), x, y, screenX, screenY)) return nullptr;
    return py::intPair(screenX, screenY);
}

static PyObject* Engine_isMouseButtonPressed(PyObject*, PyObject* button) {
    int32_t number;
    if (!py::toInt32(button, number)) return nullptr;
    // SDL knows buttons 1 to 8 in its state; any other number is never pressed.
    if (number < 1 || number > 8) Py_RETURN_FALSE;
    Uint32 state = SDL_GetMouseState(nullptr, nullptr) & 0xFF;
    return PyBool_FromLong((state >> (number - 1)) & 1);
}

static PyObject* Engine_isKeyPressed(PyObject*, PyObject* keycode) {
    int32_t key;
    if (!py::toInt32(keycode, key)) return nullptr;
    return PyLong_FromLong(SDL_GetKeyboardState(nullptr)[SDL_GetScancodeFromKey(key)]);
}

static PyObject* Engine_getKeyName(PyObject*, PyObject* keycode) {
    int32_t key;
    if (!py::toInt32(keycode, key)) return nullptr;
    const char* name = SDL_GetKeyName(key);
    return PyUnicode_DecodeUTF8(name, Py_ssize_t(std::strlen(name)), "strict");
}

static PyObject* Engine_captureMouse(PyObject*, PyObject* capture) {
    bool on;
    if (!py::toFlag(capture, on)) return nullptr;
    setRelativeMouseMode(on);
    Py_RETURN_NONE;
}

static PyObject* Engine_isMouseCaptured(PyObject*, PyObject*) {
    return PyBool_FromLong(SDL_GetRelativeMouseMode());
}

static PyObject* Engine_getJoysticks(PyObject* self, void*) {
    py::Ref joysticks = py::getAttr(self, nJoysticks);
    return joysticks ? PySequence_List(joysticks.get()) : nullptr;
}

// --- the class --------------------------------------------------------------------------

static const PyMethodDef engineMethods[] = {
    py::withKeywords<"init", Engine_init, "title", "size", "fullscreen=False", "show=True",
                     "resizeable=False", "windowid=-1", "icon=None", "captureMouse=False",
                     "audioChannels=32", "killWithEscapeKey=True">(
        py::doc<"@param(title, str)", "@param(size, (int, int))", "@param(fullscreen=False, bool)",
                "@param(show=True, bool)", "@param(resizeable=False, bool)",
                "@param(windowid=-1, int)", "@param(icon=None, str)",
                "@param(captureMouse=False, bool)", "@param(audioChannels=32, int)",
                "@param(killWithEscapeKey=True, bool)",
                "This method initializes the engine and (optionally) opens a window.">),
    py::noArgs<"_ensureInit", Engine_ensureInit>(
        py::doc<"Raises an EngineException when the engine is not initialized.">),
    py::noArgs<"quit", Engine_quit>(
        py::doc<"Closes the window and shuts down all engine subsystems.",
                "No update or render calls are possible after this.">),
    py::noArgs<"update", Engine_update>(
        py::doc<"Updates one engine frame. Call this explicitly only from a custom main",
                "loop: run calls it implicitly.">),
    py::withKeywords<"run", Engine_run, "maxFps=60">(
        py::doc<"Performs a main loop until quit is called.", "@param(maxFps, float)">),
    py::noArgs<"getFps", Engine_getFps>(py::doc<"@returns(float)">),
    py::noArgs<"getTimeStep", Engine_getTimeStep>(
        py::doc<"@returns(float) the duration of the last frame in seconds">),
    py::withKeywords<"addTask", Engine_addTask, "task", "onDone=None">(
        py::doc<"Adds a task that is called once in every iteration of the main loop.",
                "While it returns a false value it runs again in the next iteration;",
                "a true value ends it.", "@param(task, float -> bool)",
                "@param(onDone, () -> None)">),
    py::withKeywords<"addTaskAfter", Engine_addTaskAfter, "delaySeconds", "task", "onDone=None">(
        py::doc<"Works exactly like addTask, with the only difference that the task is",
                "added after the time given by delaySeconds; after that delay it runs like",
                "any other task.", "@param(delaySeconds, float)", "@param(task, float -> bool)",
                "@param(onDone, () -> None)">),
    py::withKeywords<"subscribeEvent", Engine_subscribeEvent, "eventType", "eventHandler">(
        py::doc<"@param(eventType, type)", "@param(eventHandler, Event -> None)">),
    py::withKeywords<"unsubscribeEvent", Engine_unsubscribeEvent, "eventType", "eventHandler">(
        py::doc<"@param(eventType, type)", "@param(eventHandler, Event -> None)">),
    py::withKeywords<"fireEvent", Engine_fireEvent, "evt", "evtType=None">(
        py::doc<"@param(evt, Event)", "@param(evtType=None, type)">),
    py::noArgs<"isRunning", Engine_isRunning>(py::doc<"@returns(bool)">),
    py::noArgs<"isFullscreen", Engine_isFullscreen>(py::doc<"@returns(bool)">),
    py::noArgs<"toggleFullscreen", Engine_toggleFullscreen>(
        py::doc<"Switches between windowed mode and desktop fullscreen and fires a",
                "FullscreenEvent.">),
    py::oneArg<"setFullscreen", Engine_setFullscreen, "fullscreen">(
        py::doc<"@param(fullscreen, bool)">),
    py::noArgs<"getWindowSize", getWindowPair<SDL_GetWindowSize>>(py::doc<"@returns((int, int))">),
    py::oneArg<"setWindowSize", setWindowPair<resizeWindow>, "size">(
        py::doc<"@param(size, (int, int))">),
    py::noArgs<"getWindowPos", getWindowPair<SDL_GetWindowPosition>>(
        py::doc<"@returns((int, int))">),
    py::oneArg<"setWindowPos", setWindowPair<SDL_SetWindowPosition>, "pos">(
        py::doc<"@param(pos, (int, int))">),
    py::oneArg<"setWindowTitle", Engine_setWindowTitle, "title">(py::doc<"@param(title, str)">),
    py::oneArg<"setWindowIcon", Engine_setWindowIcon, "filename">(py::doc<"@param(filename, str)">),
    py::oneArg<"saveScreenshot", Engine_saveScreenshot, "filename">(
        py::doc<"Saves the window's content as a PNG file.", "@param(filename, str)">),
    py::noArgs<"getMouseDist", Engine_getMouseDist>(
        py::doc<"@returns((int, int)) the mouse motion of the last frame">),
    py::noArgs<"getMousePos", Engine_getMousePos>(
        py::doc<"@returns((int, int)) the mouse position in screen pixels">),
    py::oneArg<"isMouseButtonPressed", Engine_isMouseButtonPressed, "button">(
        py::doc<"@param(button, MOUSE_LEFT | MOUSE_MIDDLE | MOUSE_RIGHT)", "@returns(bool)">),
    py::oneArg<"isKeyPressed", Engine_isKeyPressed, "keycode">(
        py::doc<"@param(keycode, int)", "@returns(int)">),
    py::oneArg<"getKeyName", Engine_getKeyName, "keycode">(
        py::doc<"@param(keycode, int)", "@returns(str)">),
    py::oneArg<"captureMouse", Engine_captureMouse, "capture">(py::doc<"@param(capture, bool)">),
    py::noArgs<"isMouseCaptured", Engine_isMouseCaptured>(py::doc<"@returns(bool)">),
};

static const PyGetSetDef engineProperties[] = {
    py::property<Engine_getJoysticks>("joysticks"),
};

static const PyType_Slot engineSlots[] = {py::slot<Py_tp_new, Engine_new>()};

const EngineOps Engine::table = {Engine_switchFullscreen, Engine_updateInput,
                                 Engine_getDisplayScaleFactor};

static const py::Member engineMembers[] = {
    py::member<&Engine::ecs>().readonly("ecs").typed<&Ecs::type>(),
};

py::ClassDef& engineClass() {
    return py::define<Engine>("Engine", {.members = engineMembers,
                                         .init = py::init<Engine_tpinit>,
                                         .methods = engineMethods,
                                         .properties = engineProperties,
                                         .slots = engineSlots});
}

// Stored in the class's own dictionary (the class is immutable from Python), each
// followed by a refresh of the type's attribute cache.
bool setEngineClassAttributes() {
    auto set = [](const char* name, PyObject* value) {
        py::Ref owned(value);
        if (!owned || PyDict_SetItemString(Engine::type->tp_dict, name, owned.get()) < 0)
            return false;
        PyType_Modified(Engine::type);
        return true;
    };
    return set("version", PyFloat_FromDouble(0.1)) && set("_eventQueue", PyList_New(0)) &&
           set("_eventSubscribers", PyDict_New()) && set("_tasks", PyList_New(0)) &&
           set("_timers", PyList_New(0)) && set("_joysticks", PyList_New(0));
}

// --- the exception classes and the module-level statements --------------------------------

namespace {

// The documentation strings are assigned rather than written as docstrings, whose
// indentation the compiler of newer hosts strips: they read the same on every host.
const char exceptionsSource[] = R"PY(
class EngineException(Exception):
    __doc__ = """This is the base class for all quorvelin-specific exceptions.
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
    __doc__ = """Since quorvelin's window and input handling is bsesd on SDL, it is
    possible that SDL errors occur. These errors are indicated by this class.
    """

    __init__ = _sdlExceptionInit(_sdlError)

    def __str__(self):
        return 'EngineException<SDL Error>("' + str(self.msg) + '", "' + str(self.error) + '")'


class LevelFormatException(EngineException):
    __doc__ = """This type of exception is thrown if a level could not be loaded due to
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

} // namespace

bool defineExceptions() {
    return py::bind("_sdlError", py::moduleFunction(&sdlErrorDef)) &&
           py::runSource(exceptionsSource, "exceptions");
}

// threading.Timer and time, which the engine's tasks and main loop use, and the longest
// wait of a timer thread.
static bool quorvelinStatements() {
    py::Ref threading(PyImport_ImportModule("threading"));
    py::Ref longestWait(threading ? PyObject_GetAttrString(threading.get(), "TIMEOUT_MAX")
                                  : nullptr);
    if (!longestWait) return false;
    longestTimerWait = PyFloat_AsDouble(longestWait.get());
    if (longestTimerWait == -1.0 && PyErr_Occurred()) return false;
    return py::bind("Timer", py::Ref(PyObject_GetAttrString(threading.get(), "Timer"))) &&
           py::bind("time", py::Ref(PyImport_ImportModule("time")));
}

const py::Segment quorvelinSegment{quorvelinStatements};
