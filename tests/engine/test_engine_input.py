"""Input translation: SDL events pushed into the module's own SDL become engine
state and events."""
import builtins
import ctypes
from ctypes import Structure, c_char_p, c_uint16, c_uint32, c_void_p

import pytest

import quorvelin
from quorvelin import Engine, KeyEvent, MouseClickEvent, MouseWheelEvent
from . import sdlinput


class VirtualJoystickDesc(Structure):
    """SDL_VirtualJoystickDesc as SDL 2.26 lays it out (version 1)."""
    _fields_ = [("version", c_uint16), ("type", c_uint16), ("naxes", c_uint16), ("nbuttons", c_uint16),
                ("nhats", c_uint16), ("vendor_id", c_uint16), ("product_id", c_uint16), ("padding", c_uint16),
                ("button_mask", c_uint32), ("axis_mask", c_uint32), ("name", c_char_p), ("userdata", c_void_p),
                ("Update", c_void_p), ("SetPlayerIndex", c_void_p), ("Rumble", c_void_p),
                ("RumbleTriggers", c_void_p), ("SetLED", c_void_p), ("SendEffect", c_void_p)]


sdlinput.sdl.SDL_JoystickAttachVirtualEx.argtypes = [ctypes.POINTER(VirtualJoystickDesc)]


def collect(engine, event_type):
    events = []
    engine.subscribeEvent(event_type, events.append)
    return events


def single_input_error(unraisable):
    """The one exception that input translation reported, checked to come from there."""
    (report,) = unraisable
    assert "quorvelin.Engine._updateInput" in str(report.object)
    return report.exc_value


class TestStop:
    def test_close_request_still_translates_later_events(self, engine):
        keys = collect(engine, KeyEvent)
        sdlinput.quit_request()
        sdlinput.key_down(quorvelin.KEY_A)
        engine.update()
        assert not engine.isRunning()
        assert [e.key for e in keys] == [quorvelin.KEY_A]

    @pytest.mark.parametrize("kill, running", [(True, False), (False, True)])
    def test_escape(self, kill, running):
        engine = Engine()
        engine.init("esc", (32, 32), killWithEscapeKey=kill)
        keys = collect(engine, KeyEvent)
        sdlinput.key_down(quorvelin.KEY_ESCAPE)
        engine.update()
        assert engine.isRunning() is running
        assert [e.key for e in keys] == [27]


class TestKeys:
    @pytest.mark.parametrize("held, pressed, flags", [
        ((quorvelin.KEY_LSHIFT,), quorvelin.KEY_A, (False, False, True)),
        ((quorvelin.KEY_RSHIFT, quorvelin.KEY_RALT), quorvelin.KEY_Z, (False, True, True)),
        ((quorvelin.KEY_LCTRL,), quorvelin.KEY_LCTRL, (True, False, False)),
        ((quorvelin.KEY_RCTRL,), quorvelin.KEY_C, (True, False, False)),
        ((), quorvelin.KEY_A, (False, False, False)),
    ])
    def test_modifiers_come_from_the_keyboard_state(self, engine, held, pressed, flags):
        keys = collect(engine, KeyEvent)
        with sdlinput.held_keys(*held):
            sdlinput.key_down(pressed)
            engine.update()
        (event,) = keys
        assert event.key == pressed
        assert (event.isCtrlPressed, event.isAltPressed, event.isShiftPressed) == flags

    def test_key_releases_are_ignored(self, engine):
        keys = collect(engine, KeyEvent)
        sdlinput.push(sdlinput.KEYUP, type=sdlinput.KEYUP)
        engine.update()
        assert keys == []

    def test_key_queries(self, engine):
        assert engine.isKeyPressed(quorvelin.KEY_A) == 0
        with sdlinput.held_keys(quorvelin.KEY_A):
            pressed = engine.isKeyPressed(quorvelin.KEY_A)
        assert pressed == 1 and type(pressed) is int
        assert engine.getKeyName(quorvelin.KEY_A) == "A"
        assert engine.getKeyName(quorvelin.KEY_ESCAPE) == "Escape"
        with pytest.raises(TypeError):
            engine.isKeyPressed("a")


class TestMouse:
    def test_motion_of_the_last_event(self, engine):
        sdlinput.motion(3, 0)
        sdlinput.motion(2, 5)
        engine.update()
        assert engine.getMouseDist() == (2, 5)
        engine.update()
        assert engine.getMouseDist() == (0, 0)

    def test_click_in_screen_pixels(self):
        engine = Engine()
        engine.init("scaled", (640, 360))
        engine.setWindowSize((1280, 720))
        clicks = collect(engine, MouseClickEvent)
        sdlinput.click(101, 51, quorvelin.MOUSE_RIGHT)
        engine.update()
        assert [(c.x, c.y, c.button) for c in clicks] == [(50, 25, 3)]

    def test_every_subscriber_gets_its_own_click(self, engine):
        seen = []

        def first(event):
            event.isAlreadyHandled = True
            seen.append(event)

        engine.subscribeEvent(MouseClickEvent, first)
        engine.subscribeEvent(MouseClickEvent, seen.append)
        sdlinput.click(10, 20)
        engine.update()
        assert seen[0] is not seen[1]
        assert seen[0].isAlreadyHandled and not seen[1].isAlreadyHandled
        assert (seen[1].x, seen[1].y, seen[1].button) == (10, 20, 1)

    def test_clicks_bypass_fire_event(self, engine):
        fired = []

        class Subclass(Engine):
            def fireEvent(self, evt, evtType=None):
                fired.append(evt)

        sub = Subclass()
        sub.init("sub", (320, 200))
        clicks = collect(sub, MouseClickEvent)
        sdlinput.click(1, 2)
        sdlinput.wheel(0, -1)
        sub.update()
        assert fired == [] and len(clicks) == 1

    def test_click_without_subscribers_is_dropped(self, engine):
        sdlinput.click(1, 2)
        engine.update()
        assert MouseClickEvent not in Engine._eventSubscribers

    def test_click_scaled_beyond_32_bits(self, unraisable):
        engine = Engine()
        engine.init("huge", (4000, 4000))
        engine.setWindowSize((1, 1))
        clicks = collect(engine, MouseClickEvent)
        sdlinput.click(2**30, 2**30)
        engine.update()
        assert type(single_input_error(unraisable)) is OverflowError
        assert clicks == []

    def test_wheel(self, engine):
        first = collect(engine, MouseWheelEvent)
        second = collect(engine, MouseWheelEvent)
        sdlinput.wheel(2, -3)
        engine.update()
        assert [(w.x, w.y) for w in first] == [(2, -3)]
        assert first[0] is not second[0]

    def test_mouse_position_in_screen_pixels(self):
        engine = Engine()
        engine.init("scaled", (400, 300))
        engine.setWindowSize((800, 600))
        sdlinput.sdl.SDL_WarpMouseInWindow(sdlinput.newest_window(), 301, 99)
        assert engine.getMousePos() == (150, 49)

    @pytest.mark.parametrize("button", [0, 9, 32, -1, 1000])
    def test_buttons_outside_sdls_range(self, engine, button):
        assert engine.isMouseButtonPressed(button) is False

    def test_button_query(self, engine):
        assert engine.isMouseButtonPressed(quorvelin.MOUSE_LEFT) is False

    def test_capture(self, engine):
        engine.captureMouse(True)
        captured = engine.isMouseCaptured()
        engine.captureMouse(0)
        assert engine.isMouseCaptured() is False
        assert type(captured) is bool


class TestJoysticks:
    @pytest.fixture
    def attached(self):
        indices = []
        yield lambda axes, buttons: indices.append(sdlinput.attach_joystick(axes, buttons))
        for index in reversed(sorted(indices)):
            sdlinput.sdl.SDL_JoystickDetachVirtual(index)

    def test_each_added_device_is_opened_by_its_own_index(self, engine, attached):
        announced = collect(engine, quorvelin.JoystickAddedEvent)
        attached(3, 5)
        attached(2, 7)
        engine.update()
        joysticks = engine.joysticks
        assert [(j.axes, j.buttons) for j in joysticks] == [(3, 5), (2, 7)]
        assert [e.joystick for e in announced] == joysticks
        assert all(j.name for j in joysticks)

    def test_joysticks_property_is_a_copy(self, engine, attached):
        attached(1, 1)
        engine.update()
        copy = engine.joysticks
        copy.append("x")
        assert engine.joysticks == Engine._joysticks and len(Engine._joysticks) == 1

    def test_removed_device(self, engine, attached, capsys):
        attached(1, 1)
        engine.update()
        sdlinput.detach_joystick(0)
        engine.update()
        assert capsys.readouterr().out == "Joystick removed\n"
        assert len(engine.joysticks) == 1

    def test_device_gone_before_the_frame_is_not_announced(self, engine):
        announced = collect(engine, quorvelin.JoystickAddedEvent)
        sdlinput.detach_joystick(sdlinput.attach_joystick(2, 2))
        engine.update()
        assert announced == [] and engine.joysticks == []

    def test_device_name_that_is_not_utf8(self, engine, unraisable):
        added = collect(engine, quorvelin.JoystickAddedEvent)
        keys = collect(engine, KeyEvent)
        desc = VirtualJoystickDesc(version=1, type=1, naxes=2, nbuttons=2, name=b"\xff\xfe")
        index = sdlinput.sdl.SDL_JoystickAttachVirtualEx(ctypes.byref(desc))
        assert index >= 0
        try:
            sdlinput.key_down(quorvelin.KEY_J)
            engine.update()
            assert type(single_input_error(unraisable)) is UnicodeDecodeError
            assert engine.joysticks == [] and added == [] and keys == []
            engine.update()  # the key press waited for this frame
            assert [k.key for k in keys] == [quorvelin.KEY_J] and len(unraisable) == 1
        finally:
            sdlinput.detach_joystick(index)

    def test_removed_device_without_print(self, engine, attached, unraisable, monkeypatch):
        attached(1, 1)
        engine.update()
        monkeypatch.delattr(builtins, "print")
        sdlinput.detach_joystick(0)
        engine.update()
        error = single_input_error(unraisable)
        assert type(error) is NameError and str(error) == "name 'print' is not defined"
        assert len(engine.joysticks) == 1


class TestErrors:
    def test_handler_error_is_printed_and_the_queue_waits(self, engine, unraisable):
        calls = []

        def failing(event):
            calls.append("failing")
            raise ValueError("handler failed")

        engine.subscribeEvent(MouseClickEvent, failing)
        engine.subscribeEvent(MouseClickEvent, lambda e: calls.append("second"))
        keys = collect(engine, KeyEvent)
        sdlinput.click(1, 1)
        sdlinput.key_down(quorvelin.KEY_K)
        engine.update()
        assert calls == ["failing"] and keys == []
        (report,) = unraisable
        assert isinstance(report.exc_value, ValueError)
        assert "quorvelin.Engine._updateInput" in str(report.object)
        engine.update()  # the key press waited for this frame
        assert [k.key for k in keys] == [quorvelin.KEY_K]

    def test_frame_goes_on_after_an_input_error(self, engine, unraisable):
        engine.subscribeEvent(KeyEvent, lambda e: 1 / 0)
        ran = []
        engine.addTask(lambda s, d: ran.append(1) or True)
        sdlinput.key_down(quorvelin.KEY_A)
        assert engine.update() is None
        assert ran == [1] and len(unraisable) == 1
