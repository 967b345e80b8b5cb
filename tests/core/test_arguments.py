"""The engine's argument-count and keyword messages, on the constructors of the event
classes and Joystick, the unpickle functions, and the single-argument methods."""
import pytest

import quorvelin
from event_cases import VALID_ARGS, handled, snapshot
from quorvelin import (Event, FullscreenEvent, Joystick, JoystickAddedEvent, KeyEvent,
                       MouseClickEvent, MouseWheelEvent)

unpickle_key_event = quorvelin.__pyx_unpickle_KeyEvent
KEY_CHECKSUM = 98150755


def takes(function, count, given):
    return (f"{function}() takes exactly {count} positional argument{'' if count == 1 else 's'}"
            f" ({given} given)")


def unexpected(function, keyword):
    return f"{function}() got an unexpected keyword argument '{keyword}'"


def repeated(function, keyword):
    return f"{function}() got multiple values for keyword argument '{keyword}'"


# (callable, positional arguments, keyword arguments, message)
CASES = [
    (Event, (1,), {}, takes("__init__", 0, 1)),
    (Event, (), {"flag": True}, unexpected("__init__", "flag")),
    (Event, (), {1: True}, "__init__() keywords must be strings"),
    (KeyEvent, (), {}, takes("__init__", 4, 0)),
    (KeyEvent, (97, True, False), {}, takes("__init__", 4, 3)),
    (KeyEvent, (97, True, False, False, 0), {}, takes("__init__", 4, 5)),
    # A missing argument counts the arguments before it.
    (KeyEvent, (97,), {"isAltPressed": 0, "isShiftPressed": 0}, takes("__init__", 4, 1)),
    (KeyEvent, (), {"isCtrlPressed": 0, "isAltPressed": 0, "isShiftPressed": 0},
     takes("__init__", 4, 0)),
    (KeyEvent, (97, True, False, False), {"key": 1}, repeated("__init__", "key")),
    (KeyEvent, (97, True, False, False), {"shift": 1}, unexpected("__init__", "shift")),
    (KeyEvent, (97, True, False, False), {1: 2}, "__init__() keywords must be strings"),
    (MouseClickEvent, (10, 20), {}, takes("__init__", 3, 2)),
    (MouseClickEvent, (), {"y": 20, "button": 1}, takes("__init__", 3, 0)),
    (MouseClickEvent, (10,), {"button": 1}, takes("__init__", 3, 1)),
    # A wrong count is reported before any keyword problem.
    (MouseClickEvent, (10, 20, 1, 4), {"z": 1}, takes("__init__", 3, 4)),
    (MouseClickEvent, (10, 20), {"z": 1}, takes("__init__", 3, 2)),
    (MouseClickEvent, (10, 20, 1), {"z": 1}, unexpected("__init__", "z")),
    (MouseClickEvent, (10,), {"y": 1, "button": 1, "x": 1}, repeated("__init__", "x")),
    (MouseClickEvent, (10, 20, 1), {"X": 1}, unexpected("__init__", "X")),  # names are exact
    (MouseWheelEvent, (1,), {}, takes("__init__", 2, 1)),
    (MouseWheelEvent, (1, 2, 3), {}, takes("__init__", 2, 3)),
    (MouseWheelEvent, (1, 2), {"y": 2}, repeated("__init__", "y")),
    (FullscreenEvent, (), {}, takes("__init__", 2, 0)),
    (FullscreenEvent, (True,), {"old": True}, takes("__init__", 2, 1)),
    (FullscreenEvent, (True,), {"newValue": True, "old": True}, unexpected("__init__", "old")),
    (JoystickAddedEvent, (), {}, takes("__init__", 1, 0)),
    (JoystickAddedEvent, (None, None), {}, takes("__init__", 1, 2)),
    (JoystickAddedEvent, (None,), {"joystick": None}, repeated("__init__", "joystick")),
    (JoystickAddedEvent, (), {"joystick": None, "pad": None}, unexpected("__init__", "pad")),
    (Joystick, ("Pad", 1), {}, takes("__init__", 3, 2)),
    (Joystick, (), {"name": "Pad", "axes": 1, "button": 1}, takes("__init__", 3, 2)),
    (Joystick, ("Pad", 1, 1), {"name": "Pad"}, repeated("__init__", "name")),
    (Joystick, ("Pad", 1, 1), {"button": 1}, unexpected("__init__", "button")),
    (Joystick, ("Pad", 1, 1), {1: 1}, "__init__() keywords must be strings"),
    (unpickle_key_event, (KeyEvent, KEY_CHECKSUM), {}, takes("__pyx_unpickle_KeyEvent", 3, 2)),
    (unpickle_key_event, (KeyEvent, KEY_CHECKSUM, None, 4), {},
     takes("__pyx_unpickle_KeyEvent", 3, 4)),
    (unpickle_key_event, (KeyEvent, KEY_CHECKSUM), {"__pyx_type": KeyEvent},
     takes("__pyx_unpickle_KeyEvent", 3, 2)),
    (unpickle_key_event, (KeyEvent, KEY_CHECKSUM, None), {"__pyx_type": KeyEvent},
     repeated("__pyx_unpickle_KeyEvent", "__pyx_type")),
    (unpickle_key_event, (KeyEvent,), {"__pyx_checksum": KEY_CHECKSUM, "__pyx_state": None,
                                       "state": None},
     unexpected("__pyx_unpickle_KeyEvent", "state")),
    # A keyword that is not a string never reaches a vectorcall function: the
    # interpreter refuses it while building the call.
]


@pytest.mark.parametrize("function, args, kwargs, message", CASES)
def test_argument_errors(function, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        function(*args, **kwargs)
    assert str(info.value) == message


@pytest.mark.parametrize("cls, args, kwargs, message",
                         [case for case in CASES if isinstance(case[0], type)])
def test_argument_errors_on_init_again_leave_the_object_unchanged(cls, args, kwargs, message):
    obj = handled(cls)
    before = snapshot(obj)
    with pytest.raises(TypeError) as info:
        obj.__init__(*args, **kwargs)
    assert str(info.value) == message
    assert snapshot(obj) == before


@pytest.mark.parametrize("method, argument", [
    (lambda: Joystick("Pad", 1, 1).getAxis, "axis"),
    (lambda: Joystick("Pad", 1, 1).isButtonPressed, "button"),
    (lambda: KeyEvent(1, 0, 0, 0).__setstate__, "state"),
    (lambda: JoystickAddedEvent(None).__setstate__, "state"),
    (lambda: Joystick("Pad", 1, 1).__setstate__, "state"),
])
def test_single_argument_methods_refuse_keywords(method, argument):
    bound = method()
    name = bound.__name__
    with pytest.raises(TypeError) as info:
        bound(**{argument: 0})
    assert str(info.value).endswith(f"{name}() takes no keyword arguments")
    with pytest.raises(TypeError, match=rf"{name}\(\) takes exactly one argument \(0 given\)"):
        bound()
    with pytest.raises(TypeError, match=rf"{name}\(\) takes exactly one argument \(2 given\)"):
        bound(0, 0)


# The engine's own methods name the bare method in their messages, module functions
# the bare function.
@pytest.mark.parametrize("function, name, arity", [
    (lambda: Joystick("Pad", 1, 1).getAxis, "getAxis", 1),
    (lambda: quorvelin.Vector2(1, 2).add, "add", 1),
    (lambda: quorvelin.Vector2(1, 2).copy, "copy", 0),
    (lambda: quorvelin.Texture(2, 2).copyFrom, "copyFrom", 1),
    (lambda: quorvelin.Texture(2, 2).getSize, "getSize", 0),
    (lambda: quorvelin.setMusicVolume, "setMusicVolume", 1),
    (lambda: quorvelin.clearTerminal, "clearTerminal", 0),
    (lambda: KeyEvent(1, 0, 0, 0).__reduce__, "__reduce__", 0),
    (lambda: KeyEvent(1, 0, 0, 0).__setstate__, "__setstate__", 1),
    (lambda: quorvelin.Texture(2, 2).__reduce__, "__reduce__", 0),
    (lambda: Joystick("Pad", 1, 1).__setstate__, "__setstate__", 1),
])
def test_messages_name_the_bare_method(function, name, arity):
    bound = function()
    with pytest.raises(TypeError) as info:
        bound(*([0] * arity), keyword=0)
    assert str(info.value) == f"{name}() takes no keyword arguments"
    with pytest.raises(TypeError) as info:
        bound(*([0] * (arity + 1)))
    expected = "exactly one argument" if arity else "no arguments"
    assert str(info.value) == f"{name}() takes {expected} ({arity + 1} given)"


@pytest.mark.parametrize("cls", [Event, KeyEvent, JoystickAddedEvent, Joystick])
def test_reduce_takes_no_arguments(cls):
    with pytest.raises(TypeError, match=r"__reduce__\(\) takes no arguments \(1 given\)"):
        cls(*VALID_ARGS[cls]).__reduce__(1)
