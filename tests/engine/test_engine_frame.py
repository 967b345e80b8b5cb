"""The frame, its timing, the tasks and delayed tasks, and the main loop."""
import math
import threading
import time
from decimal import Decimal
from fractions import Fraction

import pytest

import quorvelin
from quorvelin import AbstractSystem, Engine
from . import sdlinput


def after(frames, engine, action):
    """A task that runs `action` in the given frame (1 = the next one) and ends."""
    count = [0]

    def task(step, on_done):
        count[0] += 1
        if count[0] == frames:
            action()
            return True

    engine.addTask(task)


class TestFrameOrder:
    def test_input_tasks_systems_in_order(self, engine):
        log = []

        class Recorder(AbstractSystem):
            def update(self, step):
                log.append("system")

        class Shown(quorvelin.Renderer):
            def getTarget(self):
                log.append("upload")

        engine.subscribeEvent(quorvelin.KeyEvent, lambda e: log.append("input"))
        engine.addTask(lambda step, done: log.append("task"))
        engine.ecs.addSystem(Shown(None))
        engine.ecs.addSystem(Recorder())
        sdlinput.key_down(quorvelin.KEY_A)
        engine.update()
        assert log == ["input", "task", "system", "upload"]

    def test_methods_are_looked_up_on_the_instance(self, engine):
        log = []

        class Subclass(Engine):
            def fireEvent(self, evt, evtType=None):
                log.append(type(evt).__name__)

        sub = Subclass()
        sub.init("sub", (64, 48))
        sdlinput.key_down(quorvelin.KEY_B)
        sub.update()
        assert log == ["KeyEvent"]


class TestTiming:
    def test_first_frame_measures_from_init(self, engine):
        time.sleep(0.031)  # SDL's clock and the sleep's may differ by a hair
        engine.update()
        # 1 / (1000 / 30) is a hair below 0.03: compare whole milliseconds.
        assert round(engine.getTimeStep() * 1000) >= 30
        assert engine.getFps() == pytest.approx(1 / engine.getTimeStep())

    def test_frame_of_whole_milliseconds(self, engine):
        engine.update()
        time.sleep(0.021)  # SDL's clock and the sleep's may differ by a hair
        engine.update()
        milliseconds = engine.getTimeStep() * 1000
        assert milliseconds >= 20 and milliseconds == pytest.approx(round(milliseconds))
        assert engine.getFps() == 1000.0 / round(milliseconds)

    def test_same_millisecond_keeps_the_timing(self, engine):
        # Two frames take a few microseconds, and a process that is given the processor
        # runs for whole milliseconds at a time, so however loaded the machine, two of
        # these tries fall within one tick of SDL's clock long before the last.
        for _ in range(100_000):
            start = sdlinput.sdl.SDL_GetTicks()
            engine.update()
            measured = (engine.getFps(), engine.getTimeStep())
            engine.update()
            if sdlinput.sdl.SDL_GetTicks() == start:
                break
        else:
            pytest.fail("no two frames within one millisecond in 100,000 tries")
        assert (engine.getFps(), engine.getTimeStep()) == measured


class TestTasks:
    @pytest.mark.parametrize("result, runs", [(True, 1), ([1], 1), (None, 3), (False, 3), (0, 3)])
    def test_true_result_ends_a_task(self, engine, result, runs):
        calls = []
        engine.addTask(lambda step, done: calls.append(step) or result)
        for _ in range(3):
            engine.update()
        assert len(calls) == runs
        assert all(type(step) is float for step in calls)

    def test_arguments_and_on_done(self, engine):
        seen = []
        on_done = object()
        engine.addTask(task=lambda step, done: seen.append(done) or True, onDone=on_done)
        engine.addTask(lambda step, done: seen.append(done) or True)
        engine.update()
        assert seen[0] is on_done and seen[1] is None

    def test_on_done_is_never_called(self, engine):
        called = []
        engine.addTask(lambda step, done: True, lambda: called.append(1))
        engine.update()
        assert called == []

    def test_task_added_by_a_task_runs_in_the_same_frame(self, engine):
        log = []

        def first(step, done):
            log.append("first")
            engine.addTask(lambda s, d: log.append("second") or True)
            return True

        engine.addTask(first)
        engine.update()
        assert log == ["first", "second"]
        assert Engine._tasks == []

    def test_same_task_queued_twice(self, engine):
        calls = []

        def task(step, done):
            calls.append(step)
            return len(calls) == 1

        engine.addTask(task)
        engine.addTask(task)
        engine.update()
        assert len(calls) == 2 and len(Engine._tasks) == 1

    def test_task_of_the_wrong_shape_fails_the_frame(self, engine):
        engine.addTask(lambda step: True)
        with pytest.raises(TypeError):
            engine.update()

    def test_finished_tasks_leave_even_when_a_later_task_raises(self, engine):
        done_task = lambda step, done: True
        engine.addTask(done_task)

        def failing(step, done):
            raise RuntimeError("task failed")

        engine.addTask(failing)
        with pytest.raises(RuntimeError, match="task failed"):
            engine.update()
        assert [task for task, _ in Engine._tasks] == [failing]

    def test_task_queued_before_init(self):
        calls = []
        engine = Engine()
        engine.addTask(lambda step, done: calls.append(step) or True)
        engine.init("t", (32, 32))
        engine.update()
        assert len(calls) == 1

    def test_add_task_arguments(self, engine):
        with pytest.raises(TypeError):
            engine.addTask()
        with pytest.raises(TypeError):
            engine.addTask(1, 2, 3)
        assert Engine._tasks == []


class TestDelayedTasks:
    @pytest.mark.parametrize("delay", [0, -2.5])
    def test_no_delay_queues_at_once(self, engine, delay):
        threads = threading.active_count()
        task = lambda step, done: True
        engine.addTaskAfter(delay, task, "done")
        assert Engine._tasks == [(task, "done")]
        assert Engine._timers == [] and threading.active_count() == threads

    def test_timer_queues_after_the_delay(self, engine):
        calls = []
        engine.addTaskAfter(0.05, lambda step, done: calls.append(done) or True, "x")
        assert len(Engine._timers) == 1 and Engine._tasks == []
        engine.update()
        assert calls == []
        Engine._timers[0].join(1)
        assert Engine._timers == [] and len(Engine._tasks) == 1
        engine.update()
        assert calls == ["x"]

    def test_uncomparable_delay(self, engine):
        with pytest.raises(TypeError):
            engine.addTaskAfter("soon", lambda s, d: True)
        assert Engine._timers == [] and Engine._tasks == []

    @pytest.mark.parametrize("delay, error, message", [
        (math.inf, ValueError, "delaySeconds must be a finite number of seconds"),
        (-math.inf, ValueError, "delaySeconds must be a finite number of seconds"),
        (math.nan, ValueError, "delaySeconds must be a finite number of seconds"),
        (Decimal("Infinity"), ValueError, "delaySeconds must be a finite number of seconds"),
        (1e300, OverflowError, "delaySeconds is too large for a timer"),
        (threading.TIMEOUT_MAX * 1.001, OverflowError, "delaySeconds is too large for a timer"),
        (10 ** 400, OverflowError, "int too large to convert to float"),
    ])
    def test_a_delay_no_timer_can_wait_is_refused(self, engine, delay, error, message, monkeypatch):
        # Refused before any timer is made: a timer thread that cannot wait its delay
        # dies at its start and its timer stays in the list; nan would run at once.
        died = []
        monkeypatch.setattr(threading, "excepthook", died.append)
        threads = threading.active_count()
        with pytest.raises(error, match=message):
            engine.addTaskAfter(delay, lambda s, d: True)
        time.sleep(0.05)
        assert Engine._timers == [] and Engine._tasks == []
        assert threading.active_count() == threads and died == []

    @pytest.mark.parametrize("delay", [Decimal("0.01"), Fraction(1, 100), threading.TIMEOUT_MAX])
    def test_any_delay_a_timer_can_wait_is_waited(self, engine, delay, monkeypatch):
        died = []
        monkeypatch.setattr(threading, "excepthook", died.append)
        engine.addTaskAfter(delay, lambda s, d: True)
        waiting = list(Engine._timers)  # a short delay on a slow machine may be over already
        for timer in waiting:
            timer.join(0.5)
        assert died == []
        if delay < 1:  # fired: its task queued, its timer gone
            assert Engine._timers == [] and len(Engine._tasks) == 1
        else:  # still waiting
            assert waiting[0].is_alive() and Engine._tasks == []

    def test_timer_whose_entry_is_gone_fires_quietly(self, engine, monkeypatch):
        errors = []
        monkeypatch.setattr(threading, "excepthook", errors.append)
        engine.addTaskAfter(0.02, lambda s, d: True)
        timer = Engine._timers[0]
        Engine._timers.clear()
        timer.join(1)
        assert errors == [] and len(Engine._tasks) == 1

    def test_add_task_override_takes_part(self, engine):
        queued = []

        class Subclass(Engine):
            def addTask(self, task, onDone=None):
                queued.append(task)

        sub = Subclass()
        sub.addTaskAfter(0, "now")
        sub.addTaskAfter(0.01, "later")
        Engine._timers[0].join(1)
        assert queued == ["now", "later"]


class TestRun:
    def test_close_request_ends_the_loop_and_cancels_timers(self, engine):
        presented = []
        engine.addTaskAfter(10, lambda s, d: presented.append("late"))
        timer = Engine._timers[0]
        engine.addTask(lambda s, d: None)
        sdlinput.quit_request()
        assert engine.run() is None
        assert not engine.isRunning()
        assert Engine._timers == [] and timer.finished.is_set()
        assert len(Engine._tasks) == 1  # queued tasks stay
        assert engine.getWindowSize() == (320, 200)  # the window stays open

    def test_run_cancels_timers_when_a_frame_raises(self, engine):
        engine.addTaskAfter(10, lambda s, d: None)
        timer = Engine._timers[0]

        def failing(step, done):
            raise KeyError("boom")

        engine.addTask(failing)
        with pytest.raises(KeyError):
            engine.run()
        assert Engine._timers == [] and timer.finished.is_set()

    @pytest.mark.parametrize("max_fps, error", [(0, ZeroDivisionError), ("x", TypeError)])
    def test_run_cancels_timers_when_the_frame_time_is_bad(self, engine, max_fps, error):
        engine.addTaskAfter(10, lambda s, d: None)
        timer = Engine._timers[0]
        with pytest.raises(error):
            engine.run(max_fps)
        assert Engine._timers == [] and timer.finished.is_set()

    def test_run_on_a_stopped_engine(self):
        engine = Engine()
        engine.addTaskAfter(10, lambda s, d: None)
        assert engine.run(maxFps=30) is None
        assert Engine._timers == []

    def test_zero_fps(self, engine):
        with pytest.raises(ZeroDivisionError, match="float division by zero"):
            engine.run(0)

    @pytest.mark.parametrize("work", [0.0, 0.012])
    def test_pacing(self, engine, monkeypatch, work):
        # The pause after each frame is what is left of the frame time after the frame's
        # own work, so the loop keeps its rate whatever the frame costs. The loop sleeps
        # through the module's `time`: a stand-in notes each pause, and when it was asked
        # for and returned, on the engine's own monotonic clock. The frame the engine
        # times lies between the last return and the next call, and contains the task's
        # work, so those bound each pause however slowly a loaded machine runs.
        frames, frame_time, tick = 15, 1 / 30, 1e-6  # tick: the clocks' rounding
        pauses, worked = [], []

        def task(step, done):
            begun = time.monotonic()
            time.sleep(work)
            worked.append(time.monotonic() - begun)

        class Clock:
            @staticmethod
            def sleep(seconds):
                pauses.append((asked[-1], time.monotonic(), seconds))
                asked.append(time.monotonic())

        after(frames, engine, lambda: sdlinput.quit_request())
        engine.addTask(task)
        monkeypatch.setattr(quorvelin, "time", Clock)
        asked = [time.monotonic()]
        engine.run(maxFps=30)
        assert len(pauses) == frames + 1 == len(worked)
        for (returned, called, pause), took in zip(pauses, worked):
            longest = called - returned  # the frame took at most this, at least `took`
            assert max(frame_time - longest, 1e-9) - tick <= pause
            assert pause <= max(frame_time - took, 1e-9) + tick

    def test_update_override_drives_the_loop(self, engine):
        class Counting(Engine):
            frames = 0

            def update(self):
                Counting.frames += 1
                if Counting.frames == 3:
                    sdlinput.quit_request()
                Engine.update(self)

        sub = Counting()
        sub.init("count", (32, 32))
        sub.run(maxFps=1000)
        assert Counting.frames == 3


class TestQuitInsideAFrame:
    def test_quit_from_a_key_handler(self, child):
        result = child("""
            import quorvelin, sdlinput
            engine = quorvelin.Engine()
            engine.init("t", (64, 48))
            log = []
            class Late(quorvelin.AbstractSystem):
                def update(self, step):
                    log.append("system")
            class Target(quorvelin.Renderer):
                def getTarget(self):
                    log.append("getTarget")
            engine.ecs.addSystem(Late())
            engine.ecs.addSystem(Target(None))
            engine.subscribeEvent(quorvelin.KeyEvent, lambda e: engine.quit())
            engine.addTask(lambda s, d: log.append("task") or True)
            sdlinput.key_down(quorvelin.KEY_Q)
            engine.run()
            print(log, engine.isRunning(), quorvelin.Engine._tasks)
            try:
                engine.update()
            except quorvelin.EngineException as error:
                print(error.msg)
        """, env={"PYTHONPATH": __import__("os").path.dirname(__file__)})
        assert result.returncode == 0, result.stderr
        assert result.stdout.splitlines() == [
            "['task', 'system'] False []",
            "The engine is not initialized, yet.Call init method first."]
