"""Joystick: construction and its checks, the text form, read-only properties, polling
without a device, the pickling refusal, and polling a real (virtual) SDL device."""
import copy
import pickle
import sys

import pytest

import quorvelin
from event_cases import Boom, Probe, snapshot
from quorvelin import Joystick

HANDLE_REFUSAL = "self._ptr cannot be converted to a Python object for pickling"


class NameSubclass(str):
    pass


class PadSubclass(Joystick):
    pass


# --- construction -----------------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, expected", [
    (("Pad", 6, 11), {}, dict(name="Pad", axes=6, buttons=11)),
    ((), dict(buttons=2, axes=1, name=None), dict(name=None, axes=1, buttons=2)),
    (("Pad",), dict(buttons=-3, axes=0), dict(name="Pad", axes=0, buttons=-3)),
    (("Pad", 1.9, True), {}, dict(name="Pad", axes=1, buttons=1)),
    (("", Probe(2**31 - 1), -2**31), {}, dict(name="", axes=2**31 - 1, buttons=-2**31)),
])
def test_init_stores_converted_arguments(args, kwargs, expected):
    joystick = Joystick(*args, **kwargs)
    assert snapshot(joystick) == expected
    assert type(joystick.axes) is int and type(joystick.buttons) is int


@pytest.mark.parametrize("args, error, message", [
    ((b"Pad", 1, 1), TypeError, "Argument 'name' has incorrect type (expected str, got bytes)"),
    ((NameSubclass("Pad"), 1, 1), TypeError,
     "Argument 'name' has incorrect type (expected str, got NameSubclass)"),
    ((5, 1, 1), TypeError, "Argument 'name' has incorrect type (expected str, got int)"),
    (("Pad", "1", 1), TypeError, "an integer is required"),
    (("Pad", 1, None), TypeError, "an integer is required"),
    (("Pad", Probe(1.5), 1), TypeError, "__int__ returned non-int (type float)"),
    (("Pad", 2**40, 1), OverflowError, None),
    (("Pad", 1, -2**31 - 1), OverflowError, None),
    # The numbers are converted before the name is looked at.
    ((b"Pad", "1", 1), TypeError, "an integer is required"),
    ((b"Pad", 1, 2**31), OverflowError, None),
])
def test_init_errors_leave_the_joystick_unchanged(args, error, message):
    joystick = Joystick("Old", 3, 4)
    with pytest.raises(error) as info:
        joystick.__init__(*args)
    assert message is None or str(info.value) == message
    assert snapshot(joystick) == dict(name="Old", axes=3, buttons=4)


def test_init_converts_axes_then_buttons_then_checks_the_name():
    log = []
    axes, buttons = Probe(1, log), Probe(2, log)
    with pytest.raises(TypeError, match="'name'"):
        Joystick(buttons=buttons, name=b"Pad", axes=axes)
    assert log == [axes, buttons]


def test_init_again_replaces_the_name():
    old, new = "".join(["old", "name"]), "".join(["new", "name"])  # objects of their own
    base_old, base_new = sys.getrefcount(old), sys.getrefcount(new)
    joystick = Joystick(old, 1, 1)
    assert sys.getrefcount(old) == base_old + 1
    joystick.__init__(new, 2, 3)
    assert (sys.getrefcount(old), sys.getrefcount(new)) == (base_old, base_new + 1)
    assert snapshot(joystick) == dict(name=new, axes=2, buttons=3)
    joystick.__init__(None, 0, 0)
    assert sys.getrefcount(new) == base_new
    joystick.__init__(new, 0, 0)
    del joystick
    assert sys.getrefcount(new) == base_new


def test_new_ignores_its_arguments():
    joystick = Joystick.__new__(Joystick, "Pad", 1, 2, extra=3)
    assert snapshot(joystick) == dict(name=None, axes=0, buttons=0)


# --- text form and properties -----------------------------------------------------------

@pytest.mark.parametrize("joystick, text", [
    (Joystick("Pad", 6, 11), "Joystick\n    name:    Pad\n    axes:    6\n    buttons: 11\n"),
    (Joystick(None, 0, -1), "Joystick\n    name:    None\n    axes:    0\n    buttons: -1\n"),
    (Joystick("Ünï €", 2, 3),
     "Joystick\n    name:    Ünï €\n    axes:    2\n    buttons: 3\n"),
    (PadSubclass("Sub", 1, 1), "Joystick\n    name:    Sub\n    axes:    1\n    buttons: 1\n"),
])
def test_text_form(joystick, text):
    assert str(joystick) == text
    cls = type(joystick)
    assert repr(joystick).startswith(f"<{cls.__module__}.{cls.__name__} object at 0x")


@pytest.mark.parametrize("name", ["name", "axes", "buttons", "extra", "_ptr"])
def test_attributes_are_read_only(name):
    joystick = Joystick("Pad", 1, 2)
    with pytest.raises(AttributeError):
        setattr(joystick, name, 3)
    with pytest.raises(AttributeError):
        delattr(joystick, name)
    assert snapshot(joystick) == dict(name="Pad", axes=1, buttons=2)


# --- polling without a device -----------------------------------------------------------

@pytest.mark.parametrize("index", [0, 1, -1, 5, 2**31 - 1, -2**31, 0.9, True, Probe(0)])
def test_joystick_without_device_reads_rest(index):
    joystick = Joystick("Pad", 6, 11)
    axis = joystick.getAxis(index)
    assert type(axis) is float and axis == 0.0
    assert joystick.isButtonPressed(index) is False


@pytest.mark.parametrize("method", ["getAxis", "isButtonPressed"])
@pytest.mark.parametrize("index, error, message", [
    ("0", TypeError, "an integer is required"),
    (None, TypeError, "an integer is required"),
    (Probe("0"), TypeError, "__int__ returned non-int (type str)"),
    (Probe(Boom("index")), Boom, "index"),
    (2**31, OverflowError, None),
    (-2**31 - 1, OverflowError, None),
])
def test_index_conversion_errors(method, index, error, message):
    with pytest.raises(error) as info:
        getattr(Joystick("Pad", 6, 11), method)(index)
    assert message is None or str(info.value) == message


# --- pickling refusal -------------------------------------------------------------------

@pytest.mark.parametrize("operation", [
    pickle.dumps, copy.copy, copy.deepcopy,
    lambda joystick: joystick.__reduce__(),
    lambda joystick: joystick.__setstate__(None),
    lambda joystick: joystick.__setstate__(("Pad", 1, 1)),
])
@pytest.mark.parametrize("joystick", [Joystick("Pad", 1, 1), PadSubclass("Sub", 1, 1)])
def test_pickling_is_refused(operation, joystick):
    with pytest.raises(TypeError) as info:
        operation(joystick)
    assert str(info.value) == HANDLE_REFUSAL


def test_no_unpickle_function_for_joystick():
    assert not hasattr(quorvelin, "__pyx_unpickle_Joystick")


# --- a real device ----------------------------------------------------------------------

# Attaches an SDL virtual joystick (2 axes, 3 buttons) in the process that imported the
# engine, through the same SDL library, and gives `set_axis`, `set_button` and `update`.
VIRTUAL_DEVICE = """
import ctypes
import quorvelin

sdl = ctypes.CDLL("libSDL2-2.0.so.0")
sdl.SDL_JoystickOpen.restype = ctypes.c_void_p
sdl.SDL_JoystickSetVirtualAxis.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int16]
sdl.SDL_JoystickSetVirtualButton.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint8]
sdl.SDL_JoystickGetAxis.argtypes = [ctypes.c_void_p, ctypes.c_int]
sdl.SDL_JoystickGetAxis.restype = ctypes.c_int16
sdl.SDL_JoystickNameForIndex.restype = ctypes.c_char_p

SDL_JOYSTICK_TYPE_GAMECONTROLLER = 1
index = sdl.SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 0)
assert index >= 0, index
device_name = sdl.SDL_JoystickNameForIndex(index).decode()
device = sdl.SDL_JoystickOpen(index)
assert device

def set_axis(axis, value):
    assert sdl.SDL_JoystickSetVirtualAxis(device, axis, value) == 0

def set_button(button, pressed):
    assert sdl.SDL_JoystickSetVirtualButton(device, button, pressed) == 0

def update():
    sdl.SDL_JoystickUpdate()
"""


def test_joystick_built_from_python_never_reads_a_device(child):
    result = child(VIRTUAL_DEVICE + """
set_axis(0, -32768)
set_axis(1, 32767)
set_button(0, 1)
update()
assert sdl.SDL_JoystickGetAxis(device, 0) == -32768  # the device is live
joystick = quorvelin.Joystick(device_name, 2, 3)
assert joystick.getAxis(0) == 0.0 and joystick.getAxis(1) == 0.0
assert joystick.isButtonPressed(0) is False
print("ok")
""")
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip().endswith("ok")


def test_joystick_opened_by_the_engine_polls_its_device(child):
    result = child(VIRTUAL_DEVICE + """
engine = quorvelin.Engine()
engine.init("joystick", (32, 24), show=False)
added = []
engine.subscribeEvent(quorvelin.JoystickAddedEvent, added.append)
engine.update()
assert len(added) == 1, added
joystick = added[0].joystick
assert type(joystick) is quorvelin.Joystick and joystick in engine.joysticks
assert (joystick.name, joystick.axes, joystick.buttons) == (device_name, 2, 3)

readings = []
for value in (-32768, 0, 32767, 1):
    set_axis(0, value)
    set_axis(1, -value - 1)
    engine.update()
    readings.append((joystick.getAxis(0), joystick.getAxis(1)))
assert readings == [(-1.0, 0.999969482421875), (0.0, -3.0517578125e-05),
                    (0.999969482421875, -1.0), (3.0517578125e-05, -6.103515625e-05)], readings

set_button(1, 1)
engine.update()
assert [joystick.isButtonPressed(b) for b in range(3)] == [False, True, False]
# Indices outside the device read as at rest.
assert joystick.getAxis(2) == 0.0 and joystick.getAxis(-1) == 0.0
assert joystick.isButtonPressed(3) is False and joystick.isButtonPressed(-1) is False

# SDL closes every device when the engine quits: the joystick then reads as at rest.
engine.quit()
assert joystick.getAxis(0) == 0.0 and joystick.isButtonPressed(1) is False
print("ok")
""", env={"SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS": "1"})  # the hidden window never has focus
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip().endswith("ok")
