// Event records handed to subscribed handlers, and Joystick.
#include "events.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"

// --- Event ------------------------------------------------------------------------------

static int Event_init(PyObject* self, py::Arguments<0>&) {
    py::cast<Event>(self)->isAlreadyHandled = false;
    return 0;
}

static py::Name nInit("__init__");

bool initEventBase(PyObject* self) {
    py::Ref init = py::getAttr(py::asObject(Event::type), nInit);
    py::Ref result(init ? PyObject_CallOneArg(init.get(), self) : nullptr);
    return bool(result);
}

static const py::Member eventMembers[] = {
    py::member<&Event::isAlreadyHandled>("_isAlreadyHandled").readwrite("isAlreadyHandled"),
};

py::ClassDef& eventClass() {
    return py::define<Event>(
        "Event", {.members = eventMembers, .init = py::init<Event_init>, .checksum = 0xa6be06b});
}

// --- the input events: records of their constructor's arguments ------------------------

static const py::Member keyEventMembers[] = {
    py::member<&KeyEvent::key>("_key").readonly("key"),
    py::member<&KeyEvent::isCtrlPressed>("_isCtrlPressed").readonly("isCtrlPressed"),
    py::member<&KeyEvent::isAltPressed>("_isAltPressed").readonly("isAltPressed"),
    py::member<&KeyEvent::isShiftPressed>("_isShiftPressed").readonly("isShiftPressed"),
};

py::ClassDef& keyEventClass() {
    return eventRecord<KeyEvent>("KeyEvent", keyEventMembers, 0x5d9a963);
}

static const py::Member mouseClickEventMembers[] = {
    py::member<&MouseClickEvent::x>("_x").readonly("x"),
    py::member<&MouseClickEvent::y>("_y").readonly("y"),
    py::member<&MouseClickEvent::button>("_button").readonly("button"),
};

py::ClassDef& mouseClickEventClass() {
    return eventRecord<MouseClickEvent>("MouseClickEvent", mouseClickEventMembers, 0xd1c856a);
}

static const py::Member mouseWheelEventMembers[] = {
    py::member<&MouseWheelEvent::x>("_x").readonly("x"),
    py::member<&MouseWheelEvent::y>("_y").readonly("y"),
};

py::ClassDef& mouseWheelEventClass() {
    return eventRecord<MouseWheelEvent>("MouseWheelEvent", mouseWheelEventMembers, 0x74a5e37);
}

static const py::Member fullscreenEventMembers[] = {
    py::member<&FullscreenEvent::oldValue>("_oldValue").readonly("oldValue"),
    py::member<&FullscreenEvent::newValue>("_newValue").readonly("newValue"),
};

py::ClassDef& fullscreenEventClass() {
    return eventRecord<FullscreenEvent>("FullscreenEvent", fullscreenEventMembers, 0xc311458);
}

// --- Joystick ---------------------------------------------------------------------------

static PyObject* Joystick_create(SDL_Joystick* handle, PyObject* name, int32_t axes,
                                 int32_t buttons) {
    py::Ref joystick(
        PyObject_CallFunction(py::asObject(Joystick::type), "Oii", name, axes, buttons));
    if (joystick) py::cast<Joystick>(joystick.get())->ptr = handle;
    return joystick.release();
}

const JoystickOps Joystick::table = {Joystick_create};

// The device handle, or null when the joystick has none or SDL has closed it since
// (after Engine.quit every handle is gone).
static SDL_Joystick* openHandle(Joystick* joystick) {
    if (!joystick->ptr || !SDL_WasInit(SDL_INIT_JOYSTICK)) return nullptr;
    int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index)
        if (SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index)) == joystick->ptr)
            return joystick->ptr;
    return nullptr;
}

// An axis position of SDL (-32768 to 32767) as a fraction of full deflection.
constexpr double axisScale = 1.0 / 32768;

static PyObject* Joystick_getAxis(PyObject* self, PyObject* argument) {
    int32_t index;
    if (!py::toInt32(argument, index)) return nullptr;
    auto* joystick = py::cast<Joystick>(self);
    SDL_Joystick* handle = openHandle(joystick);
    if (!handle || index < 0 || index >= joystick->axes) return PyFloat_FromDouble(0.0);
    return PyFloat_FromDouble(SDL_JoystickGetAxis(handle, index) * axisScale);
}

static PyObject* Joystick_isButtonPressed(PyObject* self, PyObject* argument) {
    int32_t index;
    if (!py::toInt32(argument, index)) return nullptr;
    auto* joystick = py::cast<Joystick>(self);
    SDL_Joystick* handle = openHandle(joystick);
    if (!handle || index < 0 || index >= joystick->buttons) Py_RETURN_FALSE;
    return PyBool_FromLong(SDL_JoystickGetButton(handle, index) != 0);
}

static PyObject* Joystick_str(PyObject* self) {
    auto* joystick = py::cast<Joystick>(self);
    return PyUnicode_FromFormat("Joystick\n    name:    %S\n    axes:    %d\n    buttons: %d\n",
                                joystick->name, joystick->axes, joystick->buttons);
}

static const PyMethodDef joystickMethods[] = {
    py::oneArg<"getAxis", Joystick_getAxis, "axis">(
        py::doc<"@param(axis, int)", "@returns(float) the axis position from -1.0 to 1.0">),
    py::oneArg<"isButtonPressed", Joystick_isButtonPressed, "button">(
        py::doc<"@param(button, int)", "@returns(bool)">),
};

// The name cannot take part in a reference cycle: a str or None.
static const py::Member joystickMembers[] = {
    py::member<&Joystick::name>().readonly("name").exactly<py::Str>(),
    py::member<&Joystick::axes>().readonly("axes"),
    py::member<&Joystick::buttons>().readonly("buttons"),
};

static const PyType_Slot joystickSlots[] = {py::slot<Py_tp_str, Joystick_str>()};

py::ClassDef& joystickClass() {
    return py::define<Joystick>("Joystick", {.members = joystickMembers,
                                             .init = py::memberInit<Joystick>,
                                             .methods = joystickMethods,
                                             .slots = joystickSlots,
                                             .refusal = py::Refusal::handle,
                                             .collect = py::Definition::Collect::never});
}

// --- JoystickAddedEvent -----------------------------------------------------------------

static const py::Member joystickAddedEventMembers[] = {
    py::member<&JoystickAddedEvent::joystick>("_joystick")
        .readonly("joystick")
        .typed<&Joystick::type>(),
};

py::ClassDef& joystickAddedEventClass() {
    return eventRecord<JoystickAddedEvent>("JoystickAddedEvent", joystickAddedEventMembers,
                                           0x618934a);
}
