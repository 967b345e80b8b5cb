// Event records handed to subscribed handlers, and Joystick.
#include "events.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/methods.hpp"

// --- Event ------------------------------------------------------------------------------

static int Event_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    if (!py::parse({"__init__", nullptr, 0, 0}, args, kwargs, nullptr)) return -1;
    reinterpret_cast<Event*>(self)->isAlreadyHandled = false;
    return 0;
}

static py::Name nInit("__init__");

bool initEventBase(PyObject* self) {
    py::Ref init = py::getAttr(reinterpret_cast<PyObject*>(Event::type), nInit);
    py::Ref result(init ? PyObject_CallOneArg(init.get(), self) : nullptr);
    return bool(result);
}

static PyGetSetDef eventProperties[] = {
    py::readwrite<&Event::isAlreadyHandled>("isAlreadyHandled"),
    {},
};

static PyType_Slot eventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(Event_init)},
    {Py_tp_getset, eventProperties},
    {0, nullptr},
};

static const py::Field eventFields[] = {py::field<&Event::isAlreadyHandled>("_isAlreadyHandled")};

py::ClassDef& eventClass() {
    return py::define<Event>("Event",
                             {.slots = eventSlots, .fields = eventFields, .checksum = 0xa6be06b});
}

// --- KeyEvent ---------------------------------------------------------------------------

static int KeyEvent_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[4];
    if (!py::parseArgs("__init__", {"key", "isCtrlPressed", "isAltPressed", "isShiftPressed"}, args,
                       kwargs, a))
        return -1;
    int32_t key;
    bool ctrl, alt, shift;
    if (!py::toInt32(a[0], key) || !py::toFlag(a[1], ctrl) || !py::toFlag(a[2], alt) ||
        !py::toFlag(a[3], shift) || !initEventBase(self))
        return -1;
    auto* event = reinterpret_cast<KeyEvent*>(self);
    event->key = key;
    event->isCtrlPressed = ctrl;
    event->isAltPressed = alt;
    event->isShiftPressed = shift;
    return 0;
}

static PyGetSetDef keyEventProperties[] = {
    py::readonly<&KeyEvent::key>("key"),
    py::readonly<&KeyEvent::isCtrlPressed>("isCtrlPressed"),
    py::readonly<&KeyEvent::isAltPressed>("isAltPressed"),
    py::readonly<&KeyEvent::isShiftPressed>("isShiftPressed"),
    {},
};

static PyType_Slot keyEventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(KeyEvent_init)},
    {Py_tp_getset, keyEventProperties},
    {0, nullptr},
};

static const py::Field keyEventFields[] = {
    py::field<&KeyEvent::key>("_key"),
    py::field<&KeyEvent::isCtrlPressed>("_isCtrlPressed"),
    py::field<&KeyEvent::isAltPressed>("_isAltPressed"),
    py::field<&KeyEvent::isShiftPressed>("_isShiftPressed"),
};

py::ClassDef& keyEventClass() {
    return py::define<KeyEvent>(
        "KeyEvent", {.slots = keyEventSlots, .fields = keyEventFields, .checksum = 0x5d9a963});
}

// --- MouseClickEvent --------------------------------------------------------------------

static int MouseClickEvent_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[3];
    if (!py::parseArgs("__init__", {"x", "y", "button"}, args, kwargs, a)) return -1;
    int32_t x, y, button;
    if (!py::toInt32(a[0], x) || !py::toInt32(a[1], y) || !py::toInt32(a[2], button) ||
        !initEventBase(self))
        return -1;
    auto* event = reinterpret_cast<MouseClickEvent*>(self);
    event->button = button;
    event->x = x;
    event->y = y;
    return 0;
}

static PyGetSetDef mouseClickEventProperties[] = {
    py::readonly<&MouseClickEvent::button>("button"),
    py::readonly<&MouseClickEvent::x>("x"),
    py::readonly<&MouseClickEvent::y>("y"),
    {},
};

static PyType_Slot mouseClickEventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(MouseClickEvent_init)},
    {Py_tp_getset, mouseClickEventProperties},
    {0, nullptr},
};

static const py::Field mouseClickEventFields[] = {
    py::field<&MouseClickEvent::button>("_button"),
    py::field<&MouseClickEvent::x>("_x"),
    py::field<&MouseClickEvent::y>("_y"),
};

py::ClassDef& mouseClickEventClass() {
    return py::define<MouseClickEvent>(
        "MouseClickEvent",
        {.slots = mouseClickEventSlots, .fields = mouseClickEventFields, .checksum = 0xd1c856a});
}

// --- MouseWheelEvent --------------------------------------------------------------------

static int MouseWheelEvent_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[2];
    if (!py::parseArgs("__init__", {"x", "y"}, args, kwargs, a)) return -1;
    int32_t x, y;
    if (!py::toInt32(a[0], x) || !py::toInt32(a[1], y) || !initEventBase(self)) return -1;
    auto* event = reinterpret_cast<MouseWheelEvent*>(self);
    event->x = x;
    event->y = y;
    return 0;
}

static PyGetSetDef mouseWheelEventProperties[] = {
    py::readonly<&MouseWheelEvent::x>("x"),
    py::readonly<&MouseWheelEvent::y>("y"),
    {},
};

static PyType_Slot mouseWheelEventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(MouseWheelEvent_init)},
    {Py_tp_getset, mouseWheelEventProperties},
    {0, nullptr},
};

static const py::Field mouseWheelEventFields[] = {
    py::field<&MouseWheelEvent::x>("_x"),
    py::field<&MouseWheelEvent::y>("_y"),
};

py::ClassDef& mouseWheelEventClass() {
    return py::define<MouseWheelEvent>(
        "MouseWheelEvent",
        {.slots = mouseWheelEventSlots, .fields = mouseWheelEventFields, .checksum = 0x74a5e37});
}

// --- FullscreenEvent --------------------------------------------------------------------

static int FullscreenEvent_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[2];
    if (!py::parseArgs("__init__", {"oldValue", "newValue"}, args, kwargs, a)) return -1;
    bool oldValue, newValue;
    if (!py::toFlag(a[0], oldValue) || !py::toFlag(a[1], newValue) || !initEventBase(self))
        return -1;
    auto* event = reinterpret_cast<FullscreenEvent*>(self);
    event->oldValue = oldValue;
    event->newValue = newValue;
    return 0;
}

static PyGetSetDef fullscreenEventProperties[] = {
    py::readonly<&FullscreenEvent::oldValue>("oldValue"),
    py::readonly<&FullscreenEvent::newValue>("newValue"),
    {},
};

static PyType_Slot fullscreenEventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(FullscreenEvent_init)},
    {Py_tp_getset, fullscreenEventProperties},
    {0, nullptr},
};

static const py::Field fullscreenEventFields[] = {
    py::field<&FullscreenEvent::oldValue>("_oldValue"),
    py::field<&FullscreenEvent::newValue>("_newValue"),
};

py::ClassDef& fullscreenEventClass() {
    return py::define<FullscreenEvent>(
        "FullscreenEvent",
        {.slots = fullscreenEventSlots, .fields = fullscreenEventFields, .checksum = 0xc311458});
}

// --- Joystick ---------------------------------------------------------------------------

static int Joystick_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[3];
    if (!py::parseArgs("__init__", {"name", "axes", "buttons"}, args, kwargs, a)) return -1;
    int32_t axes, buttons;
    if (!py::toInt32(a[1], axes) || !py::toInt32(a[2], buttons)) return -1;
    if (a[0] != Py_None && !PyUnicode_CheckExact(a[0]))
        return py::argumentTypeError("name", &PyUnicode_Type, a[0]);
    auto* joystick = reinterpret_cast<Joystick*>(self);
    py::assign(joystick->name, a[0]);
    joystick->axes = axes;
    joystick->buttons = buttons;
    return 0;
}

static PyObject* Joystick_create(SDL_Joystick* handle, PyObject* name, int32_t axes,
                                 int32_t buttons) {
    py::Ref joystick(PyObject_CallFunction(reinterpret_cast<PyObject*>(Joystick::type), "Oii", name,
                                           axes, buttons));
    if (joystick) reinterpret_cast<Joystick*>(joystick.get())->ptr = handle;
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
    auto* joystick = reinterpret_cast<Joystick*>(self);
    SDL_Joystick* handle = openHandle(joystick);
    if (!handle || index < 0 || index >= joystick->axes) return PyFloat_FromDouble(0.0);
    return PyFloat_FromDouble(SDL_JoystickGetAxis(handle, index) * axisScale);
}

static PyObject* Joystick_isButtonPressed(PyObject* self, PyObject* argument) {
    int32_t index;
    if (!py::toInt32(argument, index)) return nullptr;
    auto* joystick = reinterpret_cast<Joystick*>(self);
    SDL_Joystick* handle = openHandle(joystick);
    if (!handle || index < 0 || index >= joystick->buttons) Py_RETURN_FALSE;
    return PyBool_FromLong(SDL_JoystickGetButton(handle, index) != 0);
}

static PyObject* Joystick_str(PyObject* self) {
    auto* joystick = reinterpret_cast<Joystick*>(self);
    return PyUnicode_FromFormat("Joystick\n    name:    %S\n    axes:    %d\n    buttons: %d\n",
                                joystick->name, joystick->axes, joystick->buttons);
}

static PyMethodDef joystickMethods[] = {
    py::oneArg<"getAxis", Joystick_getAxis>("\n        @param(axis, int)\n        @returns(float) "
                                            "the axis position from -1.0 to 1.0\n    "
                                            "    "),
    py::oneArg<"isButtonPressed", Joystick_isButtonPressed>(
        "\n        @param(button, int)\n        @returns(bool)\n        "),
    {},
};

static PyGetSetDef joystickProperties[] = {
    py::readonly<&Joystick::name>("name"),
    py::readonly<&Joystick::axes>("axes"),
    py::readonly<&Joystick::buttons>("buttons"),
    {},
};

static PyType_Slot joystickSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(Joystick_init)},
    {Py_tp_str, reinterpret_cast<void*>(Joystick_str)},
    {Py_tp_methods, joystickMethods},
    {Py_tp_getset, joystickProperties},
    {0, nullptr},
};

// The name cannot take part in a reference cycle: a str or None.
static const py::Field joystickFields[] = {py::field<&Joystick::name>("name")};

py::ClassDef& joystickClass() {
    return py::define<Joystick>("Joystick", {.slots = joystickSlots,
                                             .fields = joystickFields,
                                             .refusal = py::Refusal::handle,
                                             .collect = py::Definition::Collect::never});
}

// --- JoystickAddedEvent -----------------------------------------------------------------

static int JoystickAddedEvent_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[1];
    if (!py::parseArgs("__init__", {"joystick"}, args, kwargs, a)) return -1;
    if (!py::checkArgument(a[0], Joystick::type, "joystick", true) || !initEventBase(self))
        return -1;
    py::assign(reinterpret_cast<JoystickAddedEvent*>(self)->joystick, a[0]);
    return 0;
}

static PyGetSetDef joystickAddedEventProperties[] = {
    py::readonly<&JoystickAddedEvent::joystick>("joystick"),
    {},
};

static PyType_Slot joystickAddedEventSlots[] = {
    {Py_tp_init, reinterpret_cast<void*>(JoystickAddedEvent_init)},
    {Py_tp_getset, joystickAddedEventProperties},
    {0, nullptr},
};

static const py::Field joystickAddedEventFields[] = {
    py::field<&JoystickAddedEvent::joystick, &Joystick::type>("_joystick"),
};

py::ClassDef& joystickAddedEventClass() {
    return py::define<JoystickAddedEvent>("JoystickAddedEvent", {.slots = joystickAddedEventSlots,
                                                                 .fields = joystickAddedEventFields,
                                                                 .checksum = 0x618934a});
}
