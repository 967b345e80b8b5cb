"""Drives the engine's input through the SDL library that the module itself uses:
events pushed into SDL's queue, the keyboard state array, virtual joysticks."""
import ctypes
from ctypes import POINTER, Structure, Union, byref, c_float, c_int, c_int32, c_uint8, c_uint16, c_uint32, c_void_p

# The module links SDL dynamically: this is the same library instance.
sdl = ctypes.CDLL("libSDL2-2.0.so.0")
sdl.SDL_GetWindowFromID.restype = c_void_p
sdl.SDL_GetWindowFlags.argtypes = [c_void_p]
sdl.SDL_GetWindowTitle.argtypes = [c_void_p]
sdl.SDL_GetWindowTitle.restype = ctypes.c_char_p
sdl.SDL_WarpMouseInWindow.argtypes = [c_void_p, c_int, c_int]
sdl.SDL_GetKeyboardState.restype = POINTER(c_uint8)
sdl.SDL_GetScancodeFromKey.argtypes = [c_int32]

QUIT, KEYDOWN, KEYUP = 0x100, 0x300, 0x301
MOUSEMOTION, MOUSEBUTTONDOWN, MOUSEBUTTONUP, MOUSEWHEEL = 0x400, 0x401, 0x402, 0x403
JOYDEVICEADDED, JOYDEVICEREMOVED = 0x605, 0x606


class Keysym(Structure):
    _fields_ = [("scancode", c_int32), ("sym", c_int32), ("mod", c_uint16), ("unused", c_uint32)]


class KeyboardEvent(Structure):
    _fields_ = [("type", c_uint32), ("timestamp", c_uint32), ("windowID", c_uint32),
                ("state", c_uint8), ("repeat", c_uint8), ("padding2", c_uint8),
                ("padding3", c_uint8), ("keysym", Keysym)]


class MouseMotionEvent(Structure):
    _fields_ = [("type", c_uint32), ("timestamp", c_uint32), ("windowID", c_uint32),
                ("which", c_uint32), ("state", c_uint32), ("x", c_int32), ("y", c_int32),
                ("xrel", c_int32), ("yrel", c_int32)]


class MouseButtonEvent(Structure):
    _fields_ = [("type", c_uint32), ("timestamp", c_uint32), ("windowID", c_uint32),
                ("which", c_uint32), ("button", c_uint8), ("state", c_uint8), ("clicks", c_uint8),
                ("padding1", c_uint8), ("x", c_int32), ("y", c_int32)]


class MouseWheelEvent(Structure):
    _fields_ = [("type", c_uint32), ("timestamp", c_uint32), ("windowID", c_uint32),
                ("which", c_uint32), ("x", c_int32), ("y", c_int32), ("direction", c_uint32),
                ("preciseX", c_float), ("preciseY", c_float), ("mouseX", c_int32),
                ("mouseY", c_int32)]


class JoyDeviceEvent(Structure):
    _fields_ = [("type", c_uint32), ("timestamp", c_uint32), ("which", c_int32)]


class Event(Union):
    _fields_ = [("type", c_uint32), ("key", KeyboardEvent), ("motion", MouseMotionEvent),
                ("button", MouseButtonEvent), ("wheel", MouseWheelEvent),
                ("jdevice", JoyDeviceEvent), ("padding", c_uint8 * 56)]


assert ctypes.sizeof(Event) == 56


def push(kind, **fields):
    event = Event()
    event.type = kind
    member = {KEYDOWN: "key", KEYUP: "key", MOUSEMOTION: "motion", MOUSEBUTTONUP: "button",
              MOUSEBUTTONDOWN: "button", MOUSEWHEEL: "wheel", JOYDEVICEADDED: "jdevice",
              JOYDEVICEREMOVED: "jdevice"}.get(kind)
    for name, value in fields.items():
        setattr(getattr(event, member), name, value)
    assert sdl.SDL_PushEvent(byref(event)) == 1


def key_down(keycode):
    event = Event()
    event.key.type = KEYDOWN
    event.key.state = 1
    event.key.keysym.sym = keycode
    event.key.keysym.scancode = sdl.SDL_GetScancodeFromKey(keycode)
    assert sdl.SDL_PushEvent(byref(event)) == 1


def quit_request():
    push(QUIT)


def click(x, y, button=1):
    push(MOUSEBUTTONUP, type=MOUSEBUTTONUP, x=x, y=y, button=button)


def wheel(x, y):
    push(MOUSEWHEEL, type=MOUSEWHEEL, x=x, y=y)


def motion(xrel, yrel):
    push(MOUSEMOTION, type=MOUSEMOTION, xrel=xrel, yrel=yrel)


def flush():
    """Drops whatever SDL has queued, so a test starts from an empty queue."""
    sdl.SDL_PumpEvents()
    sdl.SDL_FlushEvents(0, 0xFFFF)


class held_keys:
    """Marks keys as held in SDL's keyboard state array for the duration of a block."""

    def __init__(self, *keycodes):
        self.scancodes = [sdl.SDL_GetScancodeFromKey(k) for k in keycodes]

    def __enter__(self):
        state = sdl.SDL_GetKeyboardState(None)
        for code in self.scancodes:
            state[code] = 1
        return self

    def __exit__(self, *exc):
        state = sdl.SDL_GetKeyboardState(None)
        for code in self.scancodes:
            state[code] = 0


def newest_window():
    """The most recently created SDL window (the engine's after its init)."""
    window, misses, window_id = None, 0, 1
    while misses < 64:  # window ids are never reused
        handle = sdl.SDL_GetWindowFromID(window_id)
        window, misses = (handle, 0) if handle else (window, misses + 1)
        window_id += 1
    assert window
    return window


def window_flags():
    return sdl.SDL_GetWindowFlags(newest_window())


def attach_joystick(axes, buttons):
    """A virtual game controller; SDL queues its device-added event."""
    index = sdl.SDL_JoystickAttachVirtual(1, axes, buttons, 0)
    assert index >= 0
    return index


def detach_joystick(index):
    assert sdl.SDL_JoystickDetachVirtual(index) == 0
