"""The interpreter exiting while a daemon thread is inside the engine. The thread waits in
a Python hook that the engine calls in the middle of an operation; once the interpreter
has begun to exit, the hook lets it go on, and the host ends the thread as it wants the
interpreter lock back (3.11 to 3.13 unwind its stack with pthread_exit, through the
engine's frames). Each case runs in a child process, which must exit cleanly; the exiting
main thread then checks that the thread is gone and runs the same operation once more,
which finds nothing left half-done by the thread's end."""
import json
import os

import pytest

from .leakcheck import SANITIZED

PRELUDE = """
import json, os, sys, threading, time, types
import quorvelin
from quorvelin import *

inside, release = threading.Event(), threading.Event()


def hold(*args, **kwargs):
    inside.set()
    release.wait()


class Watcher:
    # Freed when the exiting interpreter empties sys.modules: after it has stopped serving
    # other threads, before it clears any module.
    def __init__(self, thread, again):
        self.task = f"/proc/self/task/{thread.native_id}"
        self.again = again
        self.stat, self.sleep, self.write, self.dumps = os.stat, time.sleep, os.write, json.dumps

    def ended(self):
        try:
            self.stat(self.task)
        except FileNotFoundError:
            return True
        return False

    def __del__(self):
        release.set()
        for _ in range(3000):  # the thread ends as soon as it wants the lock
            if self.ended():
                break
            self.sleep(0.01)
        try:
            again = repr(self.again())
        except BaseException as error:
            again = f"{type(error).__name__}: {error}"
        self.write(1, (self.dumps({"ended": self.ended(), "again": again}) + "\\n").encode())


def exit_inside(work, again):
    thread = threading.Thread(target=work, daemon=True)
    thread.start()
    if not inside.wait(60):
        raise SystemExit("the operation never called its hook")
    holder = types.ModuleType("exit_watch")
    holder.watcher = Watcher(thread, again)
    sys.modules["exit_watch"] = holder
"""

# What the daemon thread runs, made so that the engine calls `hold` in its midst, and what
# the main thread runs again afterwards.
CASES = {
    "Engine.run, between frames": """
        engine = Engine()
        engine.init("exit", (32, 24))
        quorvelin.time = types.SimpleNamespace(sleep=hold)
        exit_inside(engine.run, engine.update)
    """,
    "Engine.run, in a system of the frame": """
        class Holding(AbstractSystem):
            def update(self, timeStep):
                hold()

        engine = Engine()
        engine.init("exit", (32, 24))
        engine.ecs.addSystem(Holding())
        exit_inside(engine.run, engine.update)
    """,
    "RaycastingRenderer.render, asking the time step": """
        class Holding(Engine):
            def getTimeStep(self):
                hold()
                return 0.0

        level = Level(LEVEL)
        renderer = RaycastingRenderer(Texture(32, 24), level)
        renderer._setEngine(Holding())
        renderer._entities.extend(level.getEntities(PositionComponent, SpriteComponent))
        renderer._setFlashlight(Texture(4, 4))
        camera = renderer.getCamera()
        camera.pos.x, camera.pos.y = 1.5, 1.5
        exit_inside(renderer.render, renderer.render)
    """,
    "UIRenderer.render, drawing a widget": """
        class Holding(UIWidget):
            def render(self, *args, **kwargs):
                hold()

        engine = Engine()
        engine.init("exit", (32, 24))
        ui = UIRenderer(Texture(64, 48), True, UITheme(THEME))
        AbstractSystem._setEngine(ui, engine)
        panel = UIPanel()
        panel.addChild(Holding())
        ui.widget.addChild(panel, 2, 2)
        exit_inside(ui.render, ui.render)
    """,
    "Sound, waiting without the lock for the writer of a pipe": """
        import tempfile
        fifo = os.path.join(tempfile.mkdtemp(), "pipe.wav")
        os.mkfifo(fifo)
        wav = os.path.join(os.path.dirname(LEVEL), "tone.wav")

        class Writer:  # once the interpreter exits: the load's wait ends, the lock is wanted
            def set(self):
                for _ in range(3000):  # until the load waits in its opening
                    try:
                        return os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
                    except OSError:
                        time.sleep(0.01)

        def load():
            inside.set()
            Sound(fifo)

        release = Writer()
        exit_inside(load, lambda: Sound(wav) and None)
    """,
    "MovementSystem.update, telling a contact": """
        def body(x):
            return Entity(-1, PositionComponent(Vector2(x, 1.5)), CollisionComponent(0.5),
                          VelocityComponent(Vector2(1, 0)))

        engine = Engine()
        movement = MovementSystem(Level(LEVEL))
        ecs = Ecs(engine)
        ecs.addSystem(movement)
        ecs.addEntity(body(1.2))
        ecs.addEntity(body(1.5))
        engine.subscribeEvent(CollisionEvent, hold)
        exit_inside(lambda: ecs.update(0.016), lambda: ecs.update(0.016))
    """,
}


@pytest.mark.parametrize("case", CASES)
def test_interpreter_exit_ends_a_thread_inside_the_engine(child, media, case):
    code = PRELUDE + f"LEVEL, THEME = {media.level!r}, {media.theme!r}\n" + \
        "\n".join(line[8:] for line in CASES[case].splitlines())
    env = {}
    if SANITIZED:
        # The unwind starts in the uninstrumented host, so the sanitizer never learns that
        # the engine's frames are gone, and its own calls on the way out land on their
        # stale redzones. Frames kept off the thread's stack leave none there.
        env["ASAN_OPTIONS"] = os.environ.get("ASAN_OPTIONS", "") + ":detect_stack_use_after_return=1"
    result = child(code, env=env, timeout=120)
    assert result.returncode == 0, result.stderr[-4000:]
    assert "Fatal" not in result.stderr and "FATAL" not in result.stderr, result.stderr
    outcome = json.loads(result.stdout.splitlines()[-1])
    assert outcome == {"ended": True, "again": "None"}
