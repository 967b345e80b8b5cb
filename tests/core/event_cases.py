"""What the event and Joystick tests share: a valid construction of every class, a
snapshot of an object's visible fields, and argument objects that record when the
engine converts them."""
from quorvelin import (Event, FullscreenEvent, Joystick, JoystickAddedEvent, KeyEvent,
                       MouseClickEvent, MouseWheelEvent)

# The properties of each class beside isAlreadyHandled, in constructor order.
PROPERTIES = {
    Event: (),
    KeyEvent: ("key", "isCtrlPressed", "isAltPressed", "isShiftPressed"),
    MouseClickEvent: ("x", "y", "button"),
    MouseWheelEvent: ("x", "y"),
    FullscreenEvent: ("oldValue", "newValue"),
    JoystickAddedEvent: ("joystick",),
    Joystick: ("name", "axes", "buttons"),
}

EVENT_CLASSES = [Event, KeyEvent, MouseClickEvent, MouseWheelEvent, FullscreenEvent,
                 JoystickAddedEvent]

# Constructor arguments whose fields all differ from a freshly allocated object.
VALID_ARGS = {
    Event: (),
    KeyEvent: (97, True, False, True),
    MouseClickEvent: (10, 20, 3),
    MouseWheelEvent: (-4, 7),
    FullscreenEvent: (False, True),
    JoystickAddedEvent: (Joystick("Pad", 2, 4),),
    Joystick: ("Pad", 2, 4),
}


def engine_base(cls):
    """The engine class that `cls` (or a Python subclass of it) extends."""
    return next(base for base in cls.__mro__ if base in PROPERTIES)


def snapshot(obj):
    """Every visible field of an event or a joystick, by property name."""
    names = PROPERTIES[engine_base(type(obj))]
    if isinstance(obj, Event):
        names = ("isAlreadyHandled",) + names
    return {name: getattr(obj, name) for name in names}


def handled(cls):
    """A valid object of `cls` with every field set, events marked as handled."""
    obj = cls(*VALID_ARGS[cls])
    if isinstance(obj, Event):
        obj.isAlreadyHandled = True
    return obj


class Boom(Exception):
    pass


class Probe:
    """An argument that converts to `value` through __int__ and through its truth test,
    adding itself to `log` at each conversion; raises `value` when it is an exception."""

    def __init__(self, value, log=None):
        self.value, self.log = value, log

    def _convert(self):
        if self.log is not None:
            self.log.append(self)
        if isinstance(self.value, Exception):
            raise self.value
        return self.value

    __int__ = __bool__ = _convert
