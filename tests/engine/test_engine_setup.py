"""Engine construction, init, the initialisation check and quit."""
import os
import pickle
import sys

import pytest

import quorvelin
from quorvelin import Engine, EngineException, EngineSdlException
from . import sdlinput

HERE = os.path.dirname(__file__)
NOT_INITIALISED = "The engine is not initialized, yet.Call init method first."

HIDDEN, RESIZABLE, INPUT_GRABBED, FULLSCREEN_ANY = 0x8, 0x20, 0x100, 0x1001


def run_engine_child(child, code):
    result = child(code, env={"PYTHONPATH": HERE})
    assert result.returncode == 0, result.stderr
    return result.stdout


class TestConstruction:
    def test_engine_owns_an_ecs_bound_to_it(self):
        engine = Engine()
        system = quorvelin.AbstractSystem()
        engine.ecs.addSystem(system)
        assert isinstance(engine.ecs, quorvelin.Ecs)
        assert system.getEngine() is engine
        with pytest.raises(AttributeError):
            engine.ecs = quorvelin.Ecs(None)

    def test_takes_no_arguments(self):
        with pytest.raises(TypeError):
            Engine(1)

    @pytest.mark.parametrize("name", ["_tasks", "_timers", "_eventSubscribers", "_joysticks", "_eventQueue"])
    def test_class_level_state_is_shared(self, name):
        first, second = Engine(), Engine()
        assert getattr(first, name) is getattr(Engine, name) is getattr(second, name)

    def test_class_attributes(self):
        assert Engine.version == 0.1
        assert Engine._eventSubscribers == {} and type(Engine._eventSubscribers) is dict

    def test_pickling_is_refused(self):
        with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
            pickle.dumps(Engine())

    def test_engine_and_ecs_cycle_is_collected(self):
        import gc
        import weakref

        class Probe:
            pass

        engine = Engine()
        probe = Probe()
        marker = weakref.ref(probe)
        system = quorvelin.AbstractSystem(probe)
        engine.ecs.addSystem(system)
        del engine, system, probe
        gc.collect()
        assert marker() is None


class TestEnsureInit:
    def test_raises_until_init(self, engine):
        with pytest.raises(EngineException) as error:
            Engine()._ensureInit()
        assert error.value.msg == NOT_INITIALISED
        assert engine._ensureInit() is None

    def test_update_checks_through_attribute_lookup(self):
        class Permissive(Engine):
            def _ensureInit(self):
                self.checked = True

        engine = Permissive()
        assert engine.update() is None  # without a window it neither uploads nor presents
        assert engine.checked


class TestInit:
    def test_defaults(self, engine):
        assert engine.isRunning()
        assert engine.getWindowSize() == (320, 200)
        assert engine.getTimeStep() == 1 / 60
        assert engine.getFps() == 0.0
        assert sdlinput.window_flags() & (HIDDEN | RESIZABLE | INPUT_GRABBED | FULLSCREEN_ANY) == 0

    def test_window_flags(self):
        Engine().init("flags", (64, 48), show=False, resizeable=True, captureMouse=True)
        assert sdlinput.window_flags() & (HIDDEN | RESIZABLE | INPUT_GRABBED) == HIDDEN | RESIZABLE | INPUT_GRABBED
        Engine().captureMouse(False)

    @pytest.mark.parametrize("size", [[80, 60], (v for v in (80, 60)), (80.9, 60)])
    def test_size_forms(self, size):
        engine = Engine()
        engine.init("sizes", size)
        assert engine.getWindowSize() == (80, 60)

    @pytest.mark.parametrize("size, message", [
        ((80, 60, 32), "too many values to unpack (expected 2)"),
        ((80,), "need more than 1 value to unpack"),
        ((), "need more than 0 values to unpack"),
    ])
    def test_size_of_other_length(self, size, message):
        engine = Engine()
        with pytest.raises(ValueError, match=f"^{message}$".replace("(", r"\(").replace(")", r"\)")):
            engine.init("sizes", size)
        assert not engine.isRunning()

    def test_argument_errors(self):
        engine = Engine()
        with pytest.raises(TypeError):
            engine.init("t")
        with pytest.raises(TypeError):
            engine.init("t", (8, 8), bogus=1)
        with pytest.raises(AttributeError):
            engine.init(b"bytes", (8, 8))
        with pytest.raises(TypeError):
            engine.init("t", ("a", 8))
        assert not engine.isRunning()

    def test_other_window_id_needs_an_existing_window(self):
        engine = Engine()
        with pytest.raises(EngineSdlException) as error:
            engine.init("t", (8, 8), windowid=5)
        assert error.value.msg == "Could not initialize the rendering subsystem"
        assert error.value.error == b"Invalid window"
        assert not engine.isRunning()

    def test_window_id_compared_by_equality(self):
        engine = Engine()
        engine.init("t", (8, 8), windowid=-1.0)
        assert engine.isRunning()

    def test_screen_texture_failure_is_reported(self):
        engine = Engine()
        with pytest.raises(EngineSdlException) as error:
            engine.init("t", (0, 0))
        assert error.value.msg == "Could not initialize the screen texture."
        assert error.value.error  # SDL's own text
        assert not engine.isRunning()

    def test_fullscreen_waits_for_the_first_frame_and_fires_nothing(self):
        engine = Engine()
        fired = []
        engine.subscribeEvent(quorvelin.FullscreenEvent, fired.append)
        engine.init("t", (64, 48), fullscreen=True)
        assert not engine.isFullscreen()
        assert len(Engine._tasks) == 1
        engine.update()
        assert engine.isFullscreen()
        assert Engine._tasks == [] and fired == []

    def test_fullscreen_task_takes_two_arguments(self):
        engine = Engine()
        engine.init("t", (64, 48), fullscreen=True)
        task, on_done = Engine._tasks[0]
        assert on_done is None
        assert task(timeStep=0.5, onDone=None) is True
        with pytest.raises(TypeError):
            task(0.5)

    def test_escape_stop_can_be_turned_off(self):
        engine = Engine()
        engine.init("t", (64, 48), killWithEscapeKey=0)
        sdlinput.key_down(quorvelin.KEY_ESCAPE)
        engine.update()
        assert engine.isRunning()

    def test_icon_goes_through_set_window_icon(self, tmp_path):
        calls = []

        class Recording(Engine):
            def setWindowIcon(self, filename):
                calls.append(filename)

        Recording().init("t", (8, 8), icon="icon.png")
        Recording().init("t", (8, 8), icon=None)
        assert calls == ["icon.png"]

    def test_icon_that_cannot_load_changes_nothing(self, tmp_path):
        engine = Engine()
        engine.init("t", (8, 8), icon=str(tmp_path / "missing.png"))
        assert engine.isRunning()

    def test_dropping_the_engine_leaves_its_window_open(self):
        engine = Engine()
        engine.init("t", (8, 8))
        window = sdlinput.newest_window()
        del engine
        assert sdlinput.newest_window() == window


class TestQuit:
    def test_quit_stops_and_shuts_sdl_down(self, child):
        out = run_engine_child(child, """
            import quorvelin
            from sdlinput import sdl
            engine = quorvelin.Engine()
            engine.init("t", (64, 48))
            engine.quit()
            print(engine.isRunning(), sdl.SDL_WasInit(0))
            try:
                engine.update()
            except quorvelin.EngineException as error:
                print(error.msg)
            engine.quit()  # a second quit uses no stale handle
            print("done")
        """)
        assert out.splitlines() == ["False 0", "The engine is not initialized, yet.Call init method first.", "done"]

    def test_quit_before_init(self, child):
        out = run_engine_child(child, """
            import quorvelin
            from sdlinput import sdl
            quorvelin.Engine().quit()
            print(sdl.SDL_WasInit(0))
        """)
        assert out.strip() == "0"

    def test_no_window_operation_after_quit(self, child):
        # Every window operation refuses instead of touching the destroyed window;
        # queries that need no window still answer. Another engine's handles went
        # stale with SDL too.
        out = run_engine_child(child, """
            import quorvelin
            first, second = quorvelin.Engine(), quorvelin.Engine()
            first.init("a", (64, 48))
            second.init("b", (64, 48))
            first.quit()
            for engine in (first, second):
                for name, args in [("getWindowSize", ()), ("setWindowSize", ((10, 10),)),
                                   ("getWindowPos", ()), ("setWindowPos", ((1, 1),)),
                                   ("setWindowTitle", ("x",)), ("setWindowIcon", ("x.png",)),
                                   ("saveScreenshot", ("x.png",)), ("toggleFullscreen", ()),
                                   ("setFullscreen", (True,))]:
                    try:
                        getattr(engine, name)(*args)
                        print(name, "did not raise")
                    except quorvelin.EngineException as error:
                        assert error.msg == "The engine has no open window.", error.msg
                print(engine.isFullscreen(), engine.getMousePos(), engine.getMouseDist())
            second.update()  # still marked running: the frame skips upload and present
            # Creating a window starts SDL's video again; the old handles stay dead.
            first.init("again", (64, 48))
            print(first.getWindowSize())
            try:
                second.getWindowSize()
            except quorvelin.EngineException as error:
                print(error.msg)
        """)
        assert out.splitlines() == ["False (0, 0) (0, 0)", "False (0, 0) (0, 0)", "(64, 48)",
                                    "The engine has no open window."]

    def test_reinit_after_another_quit_never_uses_the_old_renderer(self, child):
        # The new window is made, then the icon fails: the renderer and screen texture
        # of the window that quit destroyed must not be used by the next frames.
        out = run_engine_child(child, """
            import quorvelin
            a = quorvelin.Engine()
            a.init("a", (64, 48))
            a.ecs.addSystem(quorvelin.Renderer(quorvelin.Texture(64, 48)))
            a.update()
            quorvelin.Engine().quit()
            try:
                a.init("a2", (64, 48), icon=5)
            except AttributeError:
                pass
            a.update()
            print(a.getMousePos(), a.getTimeStep() < 1)
        """)
        assert out.split() == ["(0,", "0)", "True"]

    def test_mouse_capture_after_quit_changes_nothing(self, child):
        out = run_engine_child(child, """
            import quorvelin
            engine = quorvelin.Engine()
            engine.init("a", (64, 48))
            engine.quit()
            engine.captureMouse(True)
            print(engine.isMouseCaptured())
            engine.init("b", (64, 48), captureMouse=True)
            print(engine.isMouseCaptured())
        """)
        assert out.split() == ["False", "True"]

    def test_window_operations_before_init(self):
        engine = Engine()
        with pytest.raises(EngineException, match="no open window"):
            engine.getWindowSize()
        with pytest.raises(EngineException, match="no open window"):
            engine.saveScreenshot("never.png")
        assert not engine.isFullscreen()
