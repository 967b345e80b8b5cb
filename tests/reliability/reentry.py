"""Operations started again by Python code that they call themselves (a hook of the
renderer's frame, a task of the engine's frame, a component's level-file hook, a
handler of a contact), or by another thread while the first call waits in such code.
Run in a child process by test_reentry, with the tests folder on the path:
`main(scenario, *arguments)` prints one JSON line with what the scenario saw, or the
process dies (a crash, a sanitizer report).

Each hook fires once: it records what the second call did (its error type and
message, or "returned") and lets the first call go on."""
import contextlib
import io
import gc
import json
import os
import pathlib
import sys
import tempfile
import threading

import quorvelin
from quorvelin import (CollisionComponent, CollisionEvent, Ecs, Engine, Entity, Level,
                       MovementSystem, PositionComponent, RaycastingRenderer, SpriteComponent,
                       Texture, UIListContainer, UIPanel, UIRenderer, UIText, UITheme, Vector2,
                       VelocityComponent)
from engine import sdlinput
from ui.themes import write_theme

WAIT = 60  # seconds a hook waits for the other thread before the scenario gives up


def outcome(call):
    try:
        call()
    except Exception as error:
        return [type(error).__name__, str(error)]
    return "returned"


class Once:
    """A hook that makes `action` the first time it is called while armed: from inside
    the hook, or on another thread while the hook waits for it."""

    def __init__(self, where="inside"):
        self.where = where
        self.armed = False
        self.seen = None
        self.action = None

    def __call__(self):
        if not self.armed:
            return
        self.armed = False
        if self.where == "inside":
            self.seen = outcome(self.action)
            return
        answers = []
        thread = threading.Thread(target=lambda: answers.append(outcome(self.action)))
        thread.start()
        thread.join(WAIT)  # lets the other thread have the interpreter meanwhile
        self.seen = answers[0] if answers else "no answer"


def quiet(call, *args):
    with contextlib.redirect_stdout(io.StringIO()):
        return call(*args)


def picture(texture, folder, name):
    path = os.path.join(folder, name)
    texture.saveFile(path)
    with open(path, "rb") as file:
        return file.read()


# --- renderers ---------------------------------------------------------------------------------


class HookedEngine(Engine):
    """An engine that is never initialised: its answers come from Python."""
    hook = None

    def getTimeStep(self):
        self.hook("getTimeStep")
        return 0.0

    def getMousePos(self):
        self.hook("getMousePos")
        return (5, 5)

    def isMouseButtonPressed(self, button):
        return False


def hooked_classes(hook):
    """Engine classes whose methods and properties call hook(name) before their own."""

    class Direction(Vector2):
        def normalize(self):
            hook("normalize")
            return super().normalize()

    class Position(Vector2):
        @property
        def x(self):
            hook("x")
            return Vector2.x.__get__(self)

    class Target(Texture):
        def getSize(self):
            hook("getSize")
            return super().getSize()

    class Theme(UITheme):
        def getFont(self, name):
            hook("getFont")
            return super().getFont(name)

    class Panel(UIPanel):
        def update(self, *args):
            hook("update")
            return super().update(*args)

        def render(self, *args):
            hook("render")
            return super().render(*args)

    return Direction, Position, Target, Theme, Panel


def raycaster_scene(folder, hook):
    Direction, Position, Target, _, _ = hooked_classes(hook)
    level = quiet(Level, None)
    renderer = RaycastingRenderer(Target(48, 32), level)
    renderer.getCamera().__init__(Position(2.5, 2.5), Direction(0.3, 1.0), 60, 0)
    engine = HookedEngine()
    engine.hook = hook
    ecs = Ecs(engine)
    ecs.addSystem(renderer)
    # A tracked entity makes the sprite pass ask the engine for its time step.
    ecs.addEntity(Entity(-1, PositionComponent(Vector2(3.5, 6.5)), SpriteComponent()))
    return renderer


def ui_scene(folder, hook):
    _, _, Target, Theme, Panel = hooked_classes(hook)
    renderer = UIRenderer(Target(64, 48), True, Theme(write_theme(pathlib.Path(folder))))
    engine = HookedEngine()
    engine.hook = hook
    Ecs(engine).addSystem(renderer)
    outer, inner = UIPanel(), Panel()
    for widget, size in ((outer, (50, 40)), (inner, (24, 16))):
        widget.sizePolicyX = widget.sizePolicyY = quorvelin.SIZE_FIXED
        widget.width, widget.height = size
    root = UIListContainer()
    root.addChild(outer)
    outer.addChild(inner)
    outer.addChild(UIText("ab"))
    renderer.widget = root
    return renderer


SCENES = {"raycaster": raycaster_scene, "ui": ui_scene}


def render_again(kind, hook_name, where):
    """render() called from the hook `hook_name` of the renderer's own frame, or on
    another thread while that hook waits."""
    folder = tempfile.mkdtemp()
    once = Once(where)
    renderer = SCENES[kind](folder, lambda name: name == hook_name and once())
    once.action = renderer.render
    renderer.render()
    undisturbed = picture(renderer.getTarget(), folder, "undisturbed.png")
    once.armed = True
    first = outcome(renderer.render)
    return {"first": first, "second": once.seen,
            "same picture": picture(renderer.getTarget(), folder, "outer.png") == undisturbed}


# --- the engine's frame --------------------------------------------------------------------------


def update_again(place, where, call):
    """Engine.update() or run() called from a task, a system or a key handler of a frame,
    or on another thread while that code waits; a task queued after the hooked one shows
    whether the frame's task pass stayed whole. A nested run() ends after one frame, on
    the close request pushed before it."""
    engine = Engine()
    engine.init("reentry", (32, 24))
    log = []
    frames = []
    once = Once(where)
    once.action = engine.update if call == "update" else lambda: (sdlinput.quit_request(),
                                                                  engine.run())

    def hooked_task(step, on_done):
        log.append("hooked")
        if place == "task":
            once()
        return True

    def later(step, on_done):
        log.append("later")
        return True

    class System(quorvelin.AbstractSystem):
        def update(self, step):
            frames.append(step)
            if place == "system":
                once()

    def on_key(event):
        if place == "handler":
            once()

    engine.addTask(hooked_task)
    engine.addTask(later)
    engine.ecs.addSystem(System())
    engine.subscribeEvent(quorvelin.KeyEvent, on_key)
    sdlinput.flush()
    sdlinput.key_down(quorvelin.KEY_A)
    once.armed = True
    first = outcome(engine.update)
    frames_run = len(frames)
    return {"first": first, "second": once.seen, "tasks run": log,
            "tasks left": len(Engine._tasks), "frames": frames_run,
            "next frame": outcome(engine.update), "running": engine.isRunning()}


# --- level loading -------------------------------------------------------------------------------


def write_level(folder, name, width, height, textures, entities):
    path = os.path.join(folder, name)
    with open(path + ".json", "w") as file:
        json.dump({"width": width, "height": height, "textures": textures,
                   "entities": entities}, file)
    with open(path, "wb") as file:
        file.write(bytes((x * 3 + y) % 6 for y in range(height) for x in range(width * 7)))
    return path


def level_state(level):
    blocks = [level.getBlock(x, y) for y in range(level.height) for x in range(level.width)]
    return {"size": [level.width, level.height], "blocks": blocks,
            "metadata": json.dumps(level.metadata, sort_keys=True),
            "textures": len(level.textures),
            "entities": [sorted(type(c).__name__ for c in e.getComponents())
                         for e in level.getEntities()]}


def load_inside(hook, action):
    """A level loaded while its own loading runs `action` from `hook`: a component's
    level-file hook, or the level's _convertPath."""
    folder = tempfile.mkdtemp()
    Texture(4, 4).saveFile(os.path.join(folder, "wall.png"))
    entry = {"position": {"x": 1, "y": 2}, "reentry": {"k": 1}}
    first = write_level(folder, "first.lvl", 3, 2, ["wall.png"], [entry, entry])
    other = write_level(folder, "other.lvl", 5, 4, ["wall.png"] * 3,
                        [{"velocity": {"x": 1, "y": 1}}])
    once = Once()

    class Hooked:
        def loadFromDict(self, level, value):
            if hook == "component":
                once()

    quorvelin._COMPONENTS["reentry"] = Hooked
    quorvelin._COMPONENTS[Hooked] = "reentry"

    class HookedLevel(Level):
        def _convertPath(self, path):
            if hook == "_convertPath":
                once()
            return super()._convertPath(path)

    undisturbed = level_state(HookedLevel(first))
    level = HookedLevel.__new__(HookedLevel)
    once.action = {
        "reload": lambda: level._loadFromFile(other),
        "reinitialise": lambda: quiet(level.__init__, other),
        "empty": lambda: quiet(level.__init__, None),
        "another level": lambda: Level(other),
    }[action]
    once.armed = True
    first_call = outcome(lambda: level.__init__(first))
    return {"first": first_call, "second": once.seen, "same level": level_state(level) == undisturbed}


# --- contacts ------------------------------------------------------------------------------------


def contact_handler(action):
    """A mover pushed by a body and by a wall, whose contact handler starts the movement
    or changes what the step walks; the step must finish and write its position."""
    level = quiet(Level, None)
    quiet(level._loadMetadata, "walls", '{"width": 10, "height": 10}')
    for y in range(10):
        level.setBlock(quorvelin.BLOCK_SQUARE, 3, y)
    engine = Engine()
    movement = MovementSystem(level)
    engine.ecs.addSystem(movement)
    mover = Entity(-1, PositionComponent(Vector2(2.6, 2.5)), CollisionComponent(0.5),
                   VelocityComponent(Vector2(0.1, 0)))
    other = Entity(-1, PositionComponent(Vector2(2.2, 2.5)), CollisionComponent(0.25))
    for entity in (mover, other):
        engine.ecs.addEntity(entity)
    bodies = movement.collisionBodySystem
    actions = {
        "update": lambda: movement.update(1.0),
        "_updateEntity": lambda: movement._updateEntity(mover, 1.0),
        "traceEntities": lambda: bodies.traceEntities(Vector2(2, 2.5), Vector2(1, 0), 5.0),
        "shrink the level": lambda: level._loadMetadata("small", '{"width": 1, "height": 1}'),
        "empty level": lambda: quiet(level.__init__, None),
        "drop the bodies": lambda: setattr(bodies, "_entities", None),
        "remove the system": lambda: engine.ecs.removeSystem(movement),
        # Containers that the step trusts, reached behind the engine's back.
        "empty the list through the collector": lambda: next(
            found for found in gc.get_referents(bodies) if isinstance(found, list)).clear(),
        "empty the other's components, kept": lambda: kept.append(other._components) or
        kept[0].clear(),
    }
    kept = []
    contacts = []

    def handler(event):
        contacts.append(event.entity2 is None)
        if len(contacts) <= 3:  # again from the contacts of the nested calls
            actions[action]()

    engine.subscribeEvent(CollisionEvent, handler)
    first = outcome(lambda: movement.update(1.0))
    pos = mover.getComponent(PositionComponent).pos
    return {"first": first, "contacts": len(contacts), "position": [pos.x, pos.y]}


SCENARIOS = {"render_again": render_again, "update_again": update_again,
             "load_inside": load_inside, "contact_handler": contact_handler}


def main(scenario, *arguments):
    sys.unraisablehook = lambda unraisable: print("UNRAISABLE", unraisable.exc_value,
                                                  file=sys.stderr)
    print(json.dumps(SCENARIOS[scenario](*arguments)), flush=True)
