"""Hostile input for the whole public surface of the engine, run in a child process.

`main(group, folder)` builds the cases of one group (an engine class, or "module")
and runs them with `folder` as the working directory (files named by hostile values
land there). Before each case it prints "START <case>", so that a crash names its
case; it prints "BAD <case>: <error>" for an outcome only a fault gives, and
"DONE <count>" at the end. Every normal return and every Python exception is
accepted, except SystemError: that is the host reporting a C function that broke
its error protocol (a result with an exception set, or a failure without one).

The cases are generated, not written one by one. Each class of API below names a
valid construction and valid arguments for each method; from them come:
- for every argument position, each hostile value in place of the valid one;
- no arguments, one argument too many, an unknown keyword;
- the valid call on an uninitialised instance (`Cls.__new__(Cls)`);
- every property read on a valid and an uninitialised instance, written with each
  hostile value and deleted; the pickling pair fed hostile states;
- re-entrant arguments: a valid value wrapped so that converting it (its __int__,
  encode, __len__, __eq__ ...) first calls `__init__` on the receiver, with other
  valid arguments or failing ones, and then answers as the valid value would. A
  method that holds an SDL handle or a field across the conversion then uses a
  freed one, which the sanitizer build reports.
Every public method of every class must have an entry or an exclusion with its
reason (`uncovered()`), so a new method cannot slip past the table.
"""
import gc
import math
import os
import pickle
import resource
import sys
import threading

import quorvelin
from quorvelin import (AbstractSystem, CollisionBodySystem, CollisionComponent, CollisionEvent,
                       DummyComponent, Ecs, Engine, Entity, Event, FullscreenEvent, Joystick,
                       JoystickAddedEvent, KeyEvent, Level, MouseClickEvent, MouseWheelEvent,
                       MovementSystem, Music, MusicStoppedEvent, PositionComponent,
                       RaycastingRenderer, Renderer, RotationComponent, Sprite, SpriteAnimation,
                       SpriteComponent, Texture, Vector2, VelocityComponent)

from registered import engine_classes, picklable, stale_rows

from . import hostile_ui

SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")
TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


class Boom(Exception):
    pass


def boom(*args, **kwargs):
    raise Boom("hostile")


class Thing:
    """The part of an entity that the Ecs and the systems use."""

    def __init__(self):
        self._id, self._ecs, self._components = -1, None, {int: 0}

    @property
    def id(self):
        return self._id


def uninitialised(cls):
    return cls.__new__(cls)


# --- hostile values: (label, factory), a fresh object for every case -----------------------

RAISING = ("__int__", "__float__", "__index__", "__len__", "__iter__", "__bool__", "__eq__",
           "__ne__", "__lt__", "__le__", "__hash__", "__getitem__", "__str__", "__repr__",
           "encode", "__sub__", "__mul__", "__rtruediv__")


class EncodeRaises(str):
    encode = boom


class EncodeGivesText:
    def encode(self, *args):
        return "not bytes"


ENGINE_CLASSES = tuple(getattr(quorvelin, name) for name in engine_classes())


def hostile_values():
    values = [
        ("None", lambda: None), ("str", lambda: "text"), ("bytes", lambda: b"bytes"),
        ("object", object), ("list", list), ("dict", dict), ("type", lambda: int),
        ("function", lambda: print), ("generator", lambda: (i for i in range(3))),
        ("2**31", lambda: 2 ** 31), ("-2**31-1", lambda: -2 ** 31 - 1), ("2**64", lambda: 2 ** 64),
        ("-2**64", lambda: -2 ** 64), ("2**31-1", lambda: 2 ** 31 - 1), ("-2**31", lambda: -2 ** 31),
        ("-1", lambda: -1), ("0", lambda: 0), ("nan", lambda: math.nan), ("inf", lambda: math.inf),
        ("-inf", lambda: -math.inf), ("1e308", lambda: 1e308), ("empty str", lambda: ""),
        ("lone surrogate", lambda: "\ud800"), ("NUL in str", lambda: "a\0b"),
        ("str whose encode raises", lambda: EncodeRaises("x")),
        ("encode giving str", EncodeGivesText),
        ("three raising items", lambda: [Raises["__int__"]()] * 3),
        ("pair of huge", lambda: (2 ** 31 - 1, 2 ** 31 - 1)),
        ("pair of nan", lambda: (math.nan, math.nan)),
        ("long tuple", lambda: tuple(range(100))),
    ]
    values += [(f"uninitialised {cls.__name__}", lambda cls=cls: uninitialised(cls))
               for cls in ENGINE_CLASSES]
    values += [(f"raising {name}", Raises[name]) for name in RAISING]
    return values


Raises = {name: type(f"Raises{name}", (), {name: boom}) for name in RAISING}


# --- re-entrant wrappers of valid values ------------------------------------------------------

def reentrant(value, hook):
    """`value` in a form whose conversion first runs `hook`; None when it has none."""
    def then(result):
        def method(self, *args):
            hook()
            return result(*args)
        return method

    if isinstance(value, bool):
        return type("ReentrantFlag", (), {"__bool__": then(lambda: value)})()
    if isinstance(value, (int, float)):
        number = {"__int__": then(lambda: int(value)), "__float__": then(lambda: float(value)),
                  "__hash__": lambda self: hash(value)}
        if isinstance(value, int):
            number["__index__"] = then(lambda: value)
        for name in ("__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__", "__add__",
                     "__radd__", "__sub__", "__rsub__", "__mul__", "__rmul__", "__truediv__",
                     "__rtruediv__"):
            number[name] = then(lambda other, name=name: getattr(value, name)(other))
        return type("ReentrantNumber", (), number)()
    if isinstance(value, str):
        return type("ReentrantText", (str,), {
            "encode": then(lambda *args: str(value).encode(*args)),
            "__eq__": then(lambda other: str(value) == other), "__hash__": str.__hash__})(value)
    if isinstance(value, (tuple, list)):
        return type("ReentrantList", (list,), {
            "__len__": then(lambda: len(value)), "__iter__": then(lambda: iter(value)),
            "__getitem__": then(lambda index: value[index])})(value)
    if type(value).__module__ in ("quorvelin", "builtins"):
        return None  # engine objects and functions convert nothing
    proxy = type("Reentrant" + type(value).__name__, (type(value),), {
        "__eq__": then(lambda other: False), "__hash__": object.__hash__})
    copy = proxy.__new__(proxy)
    copy.__dict__.update(value.__dict__)
    return copy


def drop_free_lists():
    """Fills the host's free lists of lists and dicts, so that the next ones released
    are really freed and a later use of them is seen by the sanitizer."""
    junk = [([], {}) for _ in range(300)]
    del junk


def replace_fields(state):
    """A re-initialisation that releases the object's lists while the free lists are
    full (its own __init__ takes new lists from them first): `state` is the field
    state to apply, made before the free lists are filled."""
    def apply(target, context):
        fields = state()
        drop_free_lists()
        target.__setstate__(fields)
    return apply


# --- the API table ------------------------------------------------------------------------------

class Api:
    """`new`: valid constructor arguments (a function of the context, like every entry);
    `alternatives`: other valid constructor forms; `methods`: name -> valid arguments;
    `make`: a valid receiver (default: the class with `new`); `reinit`: what a
    re-entrant conversion does to the receiver, arguments for its __init__ (valid ones
    and failing ones) or a function of the receiver and the context; `skip`: methods
    left out, with the reason; `own_receiver`: methods that need another receiver."""

    def __init__(self, new=lambda c: (), alternatives=(), methods=None, make=None, reinit=(),
                 skip=None, own_receiver=None):
        self.new, self.alternatives, self.methods = new, alternatives, methods or {}
        self.make, self.reinit, self.skip = make, reinit, skip or {}
        self.own_receiver = own_receiver or {}


def make_ecs(context):
    ecs = Ecs(None)
    ecs.addEntity(Thing())
    ecs.addSystem(AbstractSystem(int))
    return ecs


def make_system(context):
    system = AbstractSystem(int)
    system._entities.append(Thing())
    return system


def fresh_engine(context):
    return Engine()


def make_entity(context):
    """An entity that an Ecs holds, so its component changes reach a system."""
    entity = Entity(-1, PositionComponent(), VelocityComponent())
    ecs = Ecs(None)
    ecs.addSystem(AbstractSystem(PositionComponent, RotationComponent))
    ecs.addEntity(entity)
    return entity


def body(x, y, *components):
    return Entity(-1, PositionComponent(Vector2(x, y)), CollisionComponent(0.5), *components)


def make_bodies(context):
    """A body system with two bodies of its own."""
    system = CollisionBodySystem()
    system._entities.extend([body(1, 1), body(2, 1)])
    return system


def make_movement(context):
    """A movement system over the hostile level in an Ecs with an engine, with bodies that
    touch each other and a wall, and a handler of their contacts."""
    movement = MovementSystem(Level(context.level))
    ecs = Ecs(Engine())
    ecs.addSystem(movement)
    for x in (1.2, 1.5):
        ecs.addEntity(body(x, 1.5, VelocityComponent(Vector2(1, 0), Vector2(0, 1))))
    Engine.subscribeEvent(Engine(), CollisionEvent, lambda event: event.entity2)
    return movement


def moving_body(context):
    return body(1.4, 1.5, VelocityComponent(Vector2(1, 0)))


def animations():
    return [SpriteAnimation("walk", 4, True, 2.5, 0, 1), SpriteAnimation("idle", 2, False, 1.0, 4, 2)]


class SpriteList:
    """The part of a level that the sprite component's level form uses."""

    def __init__(self, sprite):
        self._sprites = [sprite]


def make_sprite_component(context):
    return SpriteComponent(context.sprite, True, 0.5, 2.0, 1)


SPRITE_INPUT = {"sprite": 0, "shadeless": 1, "zOffset": 0.5, "scale": 2, "blendMode": "add",
                "currentAnimation": "idle", "animationPercentage": 0.25}


def reload(target, context):
    target.__init__(context.wav)


def write_level(folder, image):
    """A level pair with a texture, a sprite and entities, made for the hostile cases."""
    import json
    path = os.path.join(folder, "hostile.lvl")
    header = {"width": 3, "height": 2, "textures": [image], "fogColor": [1, 2, 3],
              "sprites": [{"texture": image, "xFrames": 2, "animations": {"walk": {"frames": 2}}}],
              "entities": [{"id": 1, "position": {"x": 1, "y": 1}, "sprite": {"sprite": 0}},
                           {"rotation": {"x": 0, "y": 1}}]}
    with open(path + ".json", "w") as file:
        json.dump(header, file)
    with open(path, "wb") as file:
        file.write(bytes([1, 0, 0, 0, 0, 0, 0]) * 6)
    return path


def reload_level(target, context):
    target.__init__(context.level)


def task(step, on_done):
    return True


def make_raycaster(context):
    """A renderer that has drawn a frame of the hostile level, with its sprite entity, a
    flashlight and the engine's time step."""
    level = Level(context.level)
    renderer = RaycastingRenderer(Texture(32, 24), level)
    renderer._setEngine(context.engine)
    renderer._entities.extend(level.getEntities(PositionComponent, SpriteComponent))
    renderer._setFlashlight(Texture(4, 4))
    camera = renderer.getCamera()
    camera.pos.x, camera.pos.y, camera.pitch = 0.5, 0.5, 0
    renderer.render()
    return renderer


TIMESTEP = lambda c: (0.016,)  # noqa: E731
NOTHING = lambda c: ()  # noqa: E731

API = {
    "Event": Api(reinit=[()]),
    "KeyEvent": Api(new=lambda c: (97, True, False, True), reinit=[(98, 1, 1, 1), ("x", 0, 0, 0)]),
    "MouseClickEvent": Api(new=lambda c: (10, 20, 1), reinit=[(1, 2, 3)]),
    "MouseWheelEvent": Api(new=lambda c: (1, -1), reinit=[(2, 2)]),
    "FullscreenEvent": Api(new=lambda c: (False, True), reinit=[(True, False)]),
    "MusicStoppedEvent": Api(reinit=[()]),
    "Joystick": Api(new=lambda c: ("Pad", 2, 4), reinit=[("Other", 1, 1), (5, 0, 0)],
                    methods={"getAxis": lambda c: (0,), "isButtonPressed": lambda c: (0,)}),
    "JoystickAddedEvent": Api(new=lambda c: (Joystick("Pad", 2, 4),), reinit=[(None,), (5,)]),
    "Vector2": Api(new=lambda c: (1.5, -2.0), reinit=[(0, 0), ("x", 0)], methods={
        "normalize": NOTHING, "copy": NOTHING, "getDegrees": NOTHING, "negate": NOTHING,
        "angleTo": lambda c: (Vector2(0, 1),), "angleToInDegrees": lambda c: (Vector2(0, 1),),
        "set": lambda c: (Vector2(3, 4),), "add": lambda c: (Vector2(3, 4),),
        "sub": lambda c: (Vector2(3, 4),), "scale": lambda c: (2.0,), "rotate": lambda c: (90,)}),
    "Resource": Api(new=lambda c: ("name",), reinit=[("other",)]),
    "Texture": Api(
        new=lambda c: (8, 8), alternatives=[lambda c: (c.png,), lambda c: (Texture(4, 4),)],
        reinit=[(4, 4), ("/nonexistent.png",)],
        methods={"getSize": NOTHING, "fillChecker": NOTHING,
                 "copyFrom": lambda c: (Texture(4, 4),), "fill": lambda c: ((1, 2, 3),),
                 "saveFile": lambda c: ("saved.png",)}),
    "Ecs": Api(new=lambda c: (None,), make=make_ecs,
               reinit=[(None,), (5,), replace_fields(lambda: (None, [], []))], methods={
        "update": TIMESTEP, "addEntity": lambda c: (Thing(),), "removeEntity": lambda c: (Thing(),),
        "removeAllEntities": NOTHING, "addSystem": lambda c: (AbstractSystem(int),),
        "removeSystem": lambda c: (AbstractSystem(int),), "getEntities": lambda c: (int,),
        "getEntityById": lambda c: (5,), "getSystems": NOTHING,
        "_updateEntityMembership": lambda c: (Thing(),)}),
    "AbstractSystem": Api(new=lambda c: (int,), make=make_system,
                          reinit=[(), (str,), replace_fields(lambda: (None, None, [], (int,)))],
                          methods={
        "update": TIMESTEP, "_updateEntity": lambda c: (Thing(), 0.016),
        "_interestedIn": lambda c: (Thing(),), "_updateEntityMembership": lambda c: (Thing(),),
        "_removeEntity": lambda c: (Thing(),), "_setEcs": lambda c: (Ecs(None),),
        "_setEngine": lambda c: (None,), "getEcs": NOTHING, "getEngine": NOTHING}),
    "SpriteAnimation": Api(new=lambda c: ("walk", 4, True, 2.5, 0, 1),
                           reinit=[("run", 1, 0, 1, 0, 1), (5, 1, 0, 1, 0, 1)]),
    "Sprite": Api(new=lambda c: (Texture(8, 4), 2, 2, animations()),
                  reinit=[(Texture(4, 4), 1, 1, []), (None, 1, 1, [])]),
    "SpriteComponent": Api(
        new=lambda c: (c.sprite, True, 0.5, 2.0, 1), make=make_sprite_component,
        reinit=[(None,), (5,), replace_fields(lambda: (0.0,) * 3 + (0, None, 0, 0, 0, 0.0, 1.0,
                                                                   False, None, 0.0))],
        methods={"loadFromDict": lambda c: (SpriteList(c.sprite), dict(SPRITE_INPUT)),
                 "dumpToDict": lambda c: (SpriteList(c.sprite),)}),
    "Entity": Api(new=lambda c: (-1, PositionComponent(), VelocityComponent()), make=make_entity,
                  reinit=[(3,), ("x",), replace_fields(lambda: ({}, None, 5))], methods={
        "addComponent": lambda c: (RotationComponent(),),
        "removeComponent": lambda c: (PositionComponent(),),
        "removeComponentType": lambda c: (VelocityComponent,),
        "getComponent": lambda c: (PositionComponent,), "getComponents": NOTHING}),
    "PositionComponent": Api(new=lambda c: (Vector2(1, 2),), reinit=[(None,), (5,)], methods={
        "loadFromDict": lambda c: (None, {"x": 1, "y": 2.5}), "dumpToDict": lambda c: (None,)}),
    "VelocityComponent": Api(new=lambda c: (Vector2(1, 2), Vector2(3, 4), 0.5),
                             reinit=[(None, None, 1.0), (5,)], methods={
        "loadFromDict": lambda c: (None, {"x": 1, "y": 2, "impulse": {"x": 3, "y": 4},
                                          "friction": 1.5}),
        "dumpToDict": lambda c: (None,)}),
    "RotationComponent": Api(new=lambda c: (Vector2(0, 1),), reinit=[(None,), (5,)], methods={
        "loadFromDict": lambda c: (None, {"x": 0, "y": 3}), "dumpToDict": lambda c: (None,)}),
    "CollisionComponent": Api(new=lambda c: (0.5, True, [1], [2]),
                              reinit=[(), (0.1, False, (), None),
                                      replace_fields(lambda: ([], [], False, 0.25))], methods={
        "loadFromDict": lambda c: (None, {"radius": 1, "isOnlyTrigger": 1, "hasFlags": [1],
                                          "ignoreFlags": [2]}),
        "dumpToDict": lambda c: (None,)}),
    "Level": Api(
        new=lambda c: (c.level,), alternatives=[lambda c: (None, "assets")],
        reinit=[reload_level, (None,), ("/nonexistent.lvl",), (None, 5)],
        methods={
            "getBlock": lambda c: (1, 1), "setBlock": lambda c: (2, 1, 1),
            "getTextureIndex": lambda c: (3, 1, 1), "setTextureIndex": lambda c: (0, 3, 1, 1),
            "getTexture": lambda c: (3, 1, 1), "getSize": NOTHING, "printLevel": NOTHING,
            "saveFile": lambda c: ("saved.lvl",), "_loadFromFile": lambda c: (c.level,),
            "_loadMetadata": lambda c: ("f.lvl", '{"width": 4, "height": 1}'),
            "_convertPath": lambda c: ("a.png",), "_loadAssets": NOTHING,
            "createComponent": lambda c: ("position", {"x": 1, "y": 2}),
            "_loadFromDict": lambda c: (DummyComponent(), {"a": 1}),
            "addEntity": lambda c: (Entity(),), "removeEntity": lambda c: (Entity(),),
            "removeAllEntities": NOTHING, "getEntities": lambda c: (PositionComponent,),
            "addEntityFromJson": lambda c: ({"id": 3, "position": {"x": 1, "y": 1}},),
            "removeEntityFromJson": lambda c: (Entity(),),
            "syncEntitiesToEcs": lambda c: (Ecs(None),), "syncEntitiesFromEcs": lambda c: (make_ecs(c),),
            "_updateEntityMetadata": NOTHING, "_dumpToDict": lambda c: ({"a": [1, (2, 3)]},)}),
    "CollisionEvent": Api(new=lambda c: (Entity(), None), reinit=[(None, Entity()), (5, None)]),
    "CollisionBodySystem": Api(make=make_bodies,
                               reinit=[(), (5,), replace_fields(lambda: (None, None, [], (int,)))],
                               methods={"update": TIMESTEP, "traceEntities": lambda c: (
                                   Vector2(0, 1), Vector2(1, 0), 10.0)}),
    "MovementSystem": Api(
        new=lambda c: (None,), alternatives=[lambda c: (Level(c.level),)], make=make_movement,
        reinit=[(None,), (5,), replace_fields(lambda: (None, None, None, [], (int,), None,
                                                        [0.0] * 16))],
        methods={"_setEcs": lambda c: (Ecs(Engine()),), "_setEngine": lambda c: (None,),
                 "_updateEntity": lambda c: (moving_body(c), 0.016)}),
    "Renderer": Api(new=lambda c: (Texture(8, 8), int), reinit=[(None,), (5,)],
                    methods={"update": TIMESTEP, "render": NOTHING, "getTarget": NOTHING}),
    "Camera": Api(new=lambda c: (Vector2(1, 2), Vector2(1, 0), 60, 10, 1.5),
                  reinit=[(None, None, 0, 0), (Vector2(0, 0), 5, 0, 0)]),
    "RaycastingRenderer": Api(
        new=lambda c: (Texture(32, 24), Level(c.level)), make=make_raycaster,
        alternatives=[lambda c: (Texture(4, 4), None)],
        reinit=[lambda target, c: target.__init__(Texture(2, 1), None), (None, None),
                lambda target, c: target.getTarget().__init__(1, 200),
                lambda target, c: target.level._loadFromFile(c.level),
                lambda target, c: target.getCamera().__init__(None, None, 0, 0),
                lambda target, c: Renderer.__init__(target, None)],
        methods={"getCamera": NOTHING, "render": NOTHING,
                 "castRay": lambda c: (Vector2(0.5, 0.5), Vector2(1, 0.3)),
                 "getWorldCellByScreenCoords": lambda c: (3, 20),
                 "getWorldPosByScreenCoords": lambda c: (30, 2),
                 "getEntityAtScreenCoords": lambda c: (16, 12),
                 "_setFlashlight": lambda c: (Texture(4, 4),)}),
    "Font": Api(new=lambda c: (FONT, 14), reinit=[(FONT, 30), ("/nonexistent.ttf", 12)], methods={
        "getFontSize": NOTHING, "getRenderedTextSize": lambda c: ("text",),
        "render": lambda c: ("text", (1, 2, 3)), "renderLines": lambda c: (["a", "", "b"], (1, 2, 3))}),
    "SoundHandle": Api(new=lambda c: (0,), reinit=[(-1,)], methods={
        "stop": NOTHING, "pause": NOTHING, "resume": NOTHING, "isPlaying": NOTHING}),
    "Sound": Api(new=lambda c: (c.wav,), reinit=[reload, ("/nonexistent.wav",)],
                 methods={"play": NOTHING, "loop": lambda c: (2,)}),
    "Music": Api(new=lambda c: (c.wav,), reinit=[reload, ("/nonexistent.ogg",)],
                 methods={"play": lambda c: (0.0,), "loop": lambda c: (1,), "stop": NOTHING,
                          "pause": NOTHING, "resume": NOTHING, "fadeOut": lambda c: (0,),
                          "fadeIn": lambda c: (0, 0.0), "fadeInLoop": lambda c: (0, 1, 0.0)}),
    "Engine": Api(
        make=lambda c: c.engine,
        own_receiver={"init": fresh_engine},
        skip={"quit": "shuts SDL down: run last, by engine_finale",
              "run": "loops until the engine stops: run last, by engine_finale"},
        methods={
            "init": lambda c: ("title", (64, 48), False, False, False, -1, None, False, 8, True),
            "_ensureInit": NOTHING, "update": NOTHING, "getFps": NOTHING, "getTimeStep": NOTHING,
            "addTask": lambda c: (task, None), "addTaskAfter": lambda c: (0.0, task, None),
            "subscribeEvent": lambda c: (KeyEvent, len), "unsubscribeEvent": lambda c: (KeyEvent, len),
            "fireEvent": lambda c: (KeyEvent(97, 0, 0, 0), None), "isRunning": NOTHING,
            "isFullscreen": NOTHING, "toggleFullscreen": NOTHING, "setFullscreen": lambda c: (False,),
            "getWindowSize": NOTHING, "setWindowSize": lambda c: ((64, 48),),
            "getWindowPos": NOTHING, "setWindowPos": lambda c: ((0, 0),),
            "setWindowTitle": lambda c: ("title",), "setWindowIcon": lambda c: (c.png,),
            "saveScreenshot": lambda c: ("shot.png",), "getMouseDist": NOTHING,
            "getMousePos": NOTHING, "isMouseButtonPressed": lambda c: (1,),
            "isKeyPressed": lambda c: (97,), "getKeyName": lambda c: (97,),
            "captureMouse": lambda c: (False,), "isMouseCaptured": NOTHING}),
}

API.update(hostile_ui.api(Api))

# Picklable classes: their unpickle functions and the number of fields in their state.
STATE_SIZES = {"Event": 1, "KeyEvent": 5, "MouseClickEvent": 4, "MouseWheelEvent": 3,
               "FullscreenEvent": 3, "JoystickAddedEvent": 2, "MusicStoppedEvent": 1,
               "Ecs": 3, "AbstractSystem": 4, "SpriteAnimation": 6, "Sprite": 6,
               "SpriteComponent": 13, "Entity": 3, "PositionComponent": 1,
               "VelocityComponent": 3, "RotationComponent": 1, "CollisionComponent": 4,
               "CollisionEvent": 3, "CollisionBodySystem": 4, "MovementSystem": 7,
               **hostile_ui.STATE_SIZES}


MODULE_FUNCTIONS = {"component": lambda c: ("hostile",), "getMusicVolume": NOTHING, "setMusicVolume": lambda c: (64,),
                    "getSoundVolume": NOTHING, "setSoundVolume": lambda c: (64,),
                    "clearTerminal": NOTHING}


def uncovered():
    """Engine classes that the table leaves out (a picklable one also without its state
    size), rows that name no engine class, and public methods of the engine classes and
    module functions that it neither exercises nor excludes (the unpickle functions go
    with their classes)."""
    missing = [name for name in engine_classes() if name not in API]
    missing += [f"{name} state size" for name in engine_classes()
                if picklable(name) and name not in STATE_SIZES]
    missing += [f"row {name}" for name in stale_rows(list(API) + list(STATE_SIZES))]
    missing += [name for name, value in vars(quorvelin).items()
               if type(value).__name__ == "builtin_function_or_method" and
               name not in MODULE_FUNCTIONS and name[len("__pyx_unpickle_"):] not in STATE_SIZES]
    for name, api in API.items():
        for attribute, value in vars(getattr(quorvelin, name, object)).items():
            if callable(value) and not attribute.startswith("__") and \
                    attribute not in api.methods and attribute not in api.skip:
                missing.append(f"{name}.{attribute}")
    return missing


# --- case generation ------------------------------------------------------------------------

class Context:
    def __init__(self, folder):
        from media.files import write_png, write_wav
        self.png = write_png(os.path.join(folder, "image.png"), 4, 4, [0xFF336699] * 16)
        self.wav = write_wav(os.path.join(folder, "tone.wav"), 0.02)
        self._engine = None
        self.sprite = Sprite(Texture(8, 4), 2, 2, animations())
        self.level = write_level(folder, self.png)

    @property
    def engine(self):
        if self._engine is None:
            self._engine = Engine()
            self._engine.init("hostile", (64, 48), show=False)
        return self._engine


def arguments(entry, context):
    return tuple(entry(context)) if callable(entry) else tuple(entry)


def call_cases(label, call, valid, values):
    """`call(*args, **kwargs)` with each hostile value at each position, and with a
    wrong number of arguments. `valid()` gives fresh valid arguments."""
    count = len(valid())
    for position in range(count):
        for value_label, value in values:
            def case(position=position, value=value):
                args = list(valid())
                args[position] = value()
                call()(*args)
            yield f"{label} #{position}={value_label}", case
    yield f"{label} no arguments", lambda: call()()
    yield f"{label} one too many", lambda: call()(*valid(), None)
    yield f"{label} unknown keyword", lambda: call()(*valid(), unknown=None)


def reentrant_cases(label, receiver, method, valid, reinits, context):
    """The valid call with one argument at a time made re-entrant: converting it runs
    receiver.__init__ with each of `reinits` first."""
    for position in range(len(valid())):
        for number, reinit in enumerate(reinits):
            def case(position=position, reinit=reinit):
                target = receiver()
                args = list(valid())

                def hook():
                    drop_free_lists()
                    try:
                        if isinstance(reinit, tuple):
                            target.__init__(*reinit)
                        else:
                            reinit(target, context)
                    except Exception:
                        pass

                args[position] = reentrant(args[position], hook)
                if args[position] is not None:
                    method(target)(*args)
            yield f"{label} #{position} re-entrant with __init__ #{number}", case


def valid_instance(name, context):
    cls, api = getattr(quorvelin, name), API[name]
    return api.make(context) if api.make else cls(*arguments(api.new, context))


def class_cases(name, context, values):
    cls, api = getattr(quorvelin, name), API[name]

    def fresh():
        return valid_instance(name, context)

    for form in [api.new] + list(api.alternatives):
        yield from call_cases(f"{name}()", lambda: cls, lambda form=form: arguments(form, context),
                              values)
        yield from reentrant_cases(
            f"{name}.__init__", lambda: uninitialised(cls), lambda target: target.__init__,
            lambda form=form: arguments(form, context),
            [lambda target, context: target.__init__(*arguments(api.new, context))], context)
    for method, entry in api.methods.items():
        receiver = lambda method=method: api.own_receiver.get(method, lambda c: fresh())(context)
        valid = lambda entry=entry: arguments(entry, context)
        bound = lambda receiver=receiver, method=method: getattr(receiver(), method)
        yield from call_cases(f"{name}.{method}", bound, valid, values)
        yield (f"{name}.{method} on an uninitialised instance",
               lambda method=method, valid=valid: getattr(uninitialised(cls), method)(*valid()))
        yield from reentrant_cases(f"{name}.{method}", receiver,
                                   lambda target, method=method: getattr(target, method), valid,
                                   api.reinit, context)
    yield from property_cases(name, cls, fresh, values)
    yield from pickling_cases(name, cls, fresh, values)


def property_cases(name, cls, fresh, values):
    for attribute, descriptor in vars(cls).items():
        if type(descriptor).__name__ != "getset_descriptor" or attribute.startswith("__"):
            continue
        for label, make in (("valid", fresh), ("uninitialised", lambda: uninitialised(cls))):
            yield f"{name}.{attribute} read on a {label} instance", \
                lambda make=make, attribute=attribute: getattr(make(), attribute)
        for value_label, value in values:
            yield f"{name}.{attribute} = {value_label}", \
                lambda attribute=attribute, value=value: setattr(fresh(), attribute, value())
        yield f"del {name}.{attribute}", lambda attribute=attribute: delattr(fresh(), attribute)


def pickling_cases(name, cls, fresh, values):
    for label, make in (("valid", fresh), ("uninitialised", lambda: uninitialised(cls))):
        yield f"{name} {label} pickled", lambda make=make: pickle.loads(pickle.dumps(make()))
    for value_label, value in values:
        yield f"{name}.__setstate__({value_label})", lambda value=value: fresh().__setstate__(value())
    size = STATE_SIZES.get(name)
    if size is None:
        return
    unpickle = getattr(quorvelin, "__pyx_unpickle_" + name)

    def state():
        recipe = fresh().__reduce__()
        return recipe[2] if len(recipe) > 2 else recipe[1][2]
    for position in range(size + 1):
        for value_label, value in values:
            def case(position=position, value=value):
                items = list(state() or (None,) * size) + [None] * (position >= size)
                items[position] = value()
                fresh().__setstate__(tuple(items))
            yield f"{name}.__setstate__ field #{position}={value_label}", case
    checksum = lambda: fresh().__reduce__()[1][1]  # noqa: E731
    yield from call_cases(f"__pyx_unpickle_{name}", lambda: unpickle,
                          lambda: (cls, checksum(), state()), values)


def vector_operator_cases(values):
    operators = {"+": lambda a, b: a + b, "-": lambda a, b: a - b, "*": lambda a, b: a * b}
    for symbol, operator in operators.items():
        for value_label, value in values:
            yield f"Vector2 {symbol} {value_label}", \
                lambda operator=operator, value=value: operator(Vector2(1, 2), value())
            yield f"{value_label} {symbol} Vector2", \
                lambda operator=operator, value=value: operator(value(), Vector2(1, 2))


def module_cases(context, values):
    for name, entry in MODULE_FUNCTIONS.items():
        yield from call_cases(name, lambda name=name: getattr(quorvelin, name),
                              lambda entry=entry: arguments(entry, context), values)
    yield from call_cases("TerminalColor", lambda: quorvelin.TerminalColor, lambda: ("\x1b[0m",),
                          values)
    yield from call_cases("component(name)", lambda: quorvelin.component("hostile"),
                          lambda: (type("Registered", (), {}),), values)


# --- the engine: handlers, tasks and systems that misbehave, then run and quit -------------

def clear_engine_state():
    for timer in list(Engine._timers):
        timer.cancel()
    for name in ("_tasks", "_timers", "_eventSubscribers", "_joysticks"):
        getattr(Engine, name).clear()


def engine_frame_cases(context, values):
    from engine import sdlinput

    music = Music(context.wav)

    def pushed_frame():
        sdlinput.click(5, 5)
        sdlinput.wheel(0, 1)
        sdlinput.key_down(quorvelin.KEY_A)
        joystick = sdlinput.attach_joystick(2, 4)
        music.play()
        music.stop()  # a MusicStoppedEvent in the frame
        try:
            context.engine.update()
        finally:
            sdlinput.detach_joystick(joystick)

    for value_label, value in values:
        def handler_case(value=value):
            for event_type in (KeyEvent, MouseClickEvent, MouseWheelEvent, FullscreenEvent,
                               JoystickAddedEvent, MusicStoppedEvent, Event):
                context.engine.subscribeEvent(event_type, value())
            pushed_frame()
            context.engine.fireEvent(Event())
            context.engine.toggleFullscreen()
        yield f"handler {value_label} in a frame", handler_case

        def task_case(value=value):
            Engine._tasks.append(value())
            context.engine.update()
        yield f"task entry {value_label} in a frame", task_case

        def system_case(value=value):
            ecs = context.engine.ecs
            try:
                ecs.addSystem(value())
            finally:
                context.engine.update()
                ecs.__init__(context.engine)
        yield f"system {value_label} in a frame", system_case

        def target_case(value=value):
            renderer = Renderer(None)
            renderer.getTarget = lambda: value()
            context.engine.ecs.addSystem(renderer)
            try:
                context.engine.update()
            finally:
                context.engine.ecs.__init__(context.engine)
        yield f"renderer target {value_label} in a frame", target_case


def engine_finale(context, values):
    """run and quit, then everything again on the engine that quit."""
    from engine import sdlinput

    def run_until_escape(*args):
        sdlinput.key_down(quorvelin.KEY_ESCAPE)  # the first frame stops the loop
        engine = context.engine
        engine.init("run", (64, 48), show=False)
        engine.run(*args)

    yield from call_cases("Engine.run", lambda: run_until_escape, lambda: (60,), values)
    quitting = Engine.__new__(Engine)
    for method, entry in API["Engine"].methods.items():
        for position in range(len(arguments(entry, context))):
            def quit_during_conversion(method=method, entry=entry, position=position):
                engine = Engine()
                engine.init("quit", (64, 48), show=False)
                args = list(arguments(entry, context))
                args[position] = reentrant(args[position], engine.quit)
                if args[position] is not None:
                    getattr(engine, method)(*args)
            yield f"Engine.{method} #{position} quits the engine", quit_during_conversion
    yield from call_cases("Engine.quit", lambda: context.engine.quit, lambda: (), values)
    yield "Engine.quit", lambda: context.engine.quit()
    yield "Engine.quit again", lambda: context.engine.quit()
    yield "uninitialised Engine.quit", lambda: quitting.quit()
    for name, api in API.items():
        for method, entry in api.methods.items():
            if method == "init":
                continue

            def after_quit(name=name, method=method, entry=entry):
                getattr(valid_instance(name, context), method)(*arguments(entry, context))
            yield f"{name}.{method} after quit", after_quit
    yield "Engine.init after quit", lambda: Engine().init("again", (64, 48), show=False)


# --- what the engine gets back from the methods it looks up on objects -------------------

# overridable method -> the call through which the engine reaches it
ENGINE_LOOKUPS = {
    "_ensureInit": lambda engine: engine.update(),
    "fireEvent": lambda engine: engine.toggleFullscreen(),
    "isFullscreen": lambda engine: engine.toggleFullscreen(),
    "addTask": lambda engine: engine.addTaskAfter(0, task),
    "setWindowIcon": lambda engine: engine.init("icon", (64, 48), show=False, icon="x"),
}
SYSTEM_LOOKUPS = {
    "_setEcs": lambda system, ecs: ecs.addSystem(system),
    "_setEngine": lambda system, ecs: ecs.addSystem(system),
    "_interestedIn": lambda system, ecs: ecs.addEntity(Thing()),
    "_updateEntityMembership": lambda system, ecs: ecs.addEntity(Thing()),
    "_removeEntity": lambda system, ecs: ecs.removeEntity(ecs.getEntities()[0]),
    "_updateEntity": lambda system, ecs: ecs.update(0.016),
    "update": lambda system, ecs: ecs.update(0.016),
}
ENTITY_ATTRIBUTES = ("id", "_components")
# Level steps found by attribute lookup -> the call that reaches them.
LEVEL_LOOKUPS = {
    "_loadMetadata": lambda level, c: level._loadFromFile(c.level),
    "_loadAssets": lambda level, c: level._loadFromFile(c.level),
    "_convertPath": lambda level, c: level._loadAssets(),
    "createComponent": lambda level, c: level.addEntityFromJson({"id": 1, "position": {}}),
    "_loadFromDict": lambda level, c: level.createComponent("hostile-plain", {"a": 1}),
    "addEntity": lambda level, c: level.syncEntitiesFromEcs(make_ecs(c)),
    "removeAllEntities": lambda level, c: level.syncEntitiesFromEcs(make_ecs(c)),
    "_updateEntityMetadata": lambda level, c: level.saveFile("lookup.lvl"),
    "_dumpToDict": lambda level, c: level.saveFile("lookup.lvl"),
}
# What a level calls on the objects it holds or is given -> the call that reaches it.
LEVEL_OBJECT_LOOKUPS = {
    "component loadFromDict": lambda level, value: level.createComponent(
        "hostile-loading", {"a": 1}),
    "component dumpToDict": lambda level, value: level.saveFile("lookup.lvl"),
    "entity getComponents": lambda level, value: level.saveFile("lookup.lvl"),
    "entity id": lambda level, value: level.saveFile("lookup.lvl"),
    "Ecs getEntities": lambda level, value: level.syncEntitiesFromEcs(
        type("Giving", (Ecs,), {"getEntities": lambda self: value})(None)),
    "Ecs addEntity": lambda level, value: level.syncEntitiesToEcs(
        type("Giving", (Ecs,), {"addEntity": lambda self, entity: value})(None)),
}


def lookup_cases(group, context, values):
    """Python subclasses and duck-typed entities whose methods and attributes, found by
    the engine through attribute lookup, give it hostile values."""
    if group == "Engine":
        engine = type("Overriding", (Engine,), {})()
        engine.init("overrides", (64, 48), show=False)
        for name, trigger in ENGINE_LOOKUPS.items():
            for value_label, value in values:
                def case(name=name, trigger=trigger, value=value):
                    setattr(engine, name, lambda *args, **kwargs: value())
                    try:
                        trigger(engine)
                    finally:
                        delattr(engine, name)
                yield f"Engine.{name} giving {value_label}", case
    if group == "AbstractSystem":
        for name, trigger in SYSTEM_LOOKUPS.items():
            for value_label, value in values:
                def case(name=name, trigger=trigger, value=value):
                    ecs = make_ecs(context)
                    system = type("Overriding", (AbstractSystem,), {})(int)
                    ecs.addSystem(system)
                    setattr(system, name, lambda *args: value())
                    trigger(system, ecs)
                    ecs.update(0.016)
                yield f"AbstractSystem.{name} giving {value_label}", case
    if group == "Ecs":
        for attribute in ENTITY_ATTRIBUTES:
            for value_label, value in values:
                def case(attribute=attribute, value=value):
                    ecs, entity = make_ecs(context), Thing()
                    vars(entity)["_" + attribute.lstrip("_")] = value()
                    for step in (ecs.addEntity, ecs._updateEntityMembership, ecs.getEntityById,
                                 ecs.removeEntity):
                        try:
                            step(entity)
                        except Exception:
                            pass
                    list(ecs.getEntities(int))
                yield f"entity {attribute} = {value_label}", case
        for value_label, value in values:
            def own_id(value=value):
                ecs = make_ecs(context)
                entity = type("OwnId", (Entity,), {"id": property(lambda self: value())})(-1)
                ecs.addEntity(entity)
                ecs.getEntityById(entity)
                ecs.removeEntity(entity)
            yield f"Entity subclass whose id is {value_label}", own_id
    if group == "Level":
        quorvelin.component("hostile-plain")(type("Plain", (), {}))
        for name, trigger in LEVEL_LOOKUPS.items():
            for value_label, value in values:
                def case(name=name, trigger=trigger, value=value):
                    level = type("Overriding", (Level,), {
                        name: lambda self, *args, **kwargs: value()})(context.level)
                    level.metadata["textures"] = [context.png, context.png]
                    trigger(level, context)
                yield f"Level.{name} giving {value_label}", case
        for name, trigger in LEVEL_OBJECT_LOOKUPS.items():
            for value_label, value in values:
                def object_case(name=name, trigger=trigger, value=value):
                    giving = lambda *args, **kwargs: value()  # noqa: E731
                    loading = type("Loading", (), {"loadFromDict": giving, "dumpToDict": giving})
                    quorvelin.component("hostile-loading")(loading)
                    entity = type("Giving", (Entity,), {"getComponents": giving,
                                                        "id": property(giving)})
                    level = Level(context.level)
                    if name.startswith("entity"):
                        level.addEntity(entity(-1))
                    else:
                        level.addEntity(Entity(-1, loading()))
                    trigger(level, value())
                yield f"Level {name} giving {value_label}", object_case
    if group == "Entity":
        for value_label, value in values:
            def told(value=value):
                ecs = type("Overriding", (Ecs,), {
                    "_updateEntityMembership": lambda self, entity: value()})(None)
                entity = Entity(-1, PositionComponent())
                ecs.addEntity(entity)
                entity.addComponent(RotationComponent())
                entity.removeComponentType(PositionComponent)
            yield f"Ecs._updateEntityMembership giving {value_label}", told


# --- running ---------------------------------------------------------------------------------

def cases(group, context):
    values = hostile_values()
    if group == "module":
        yield from module_cases(context, values)
        return
    yield from class_cases(group, context, values)
    yield from lookup_cases(group, context, values)
    yield from hostile_ui.lookup_cases(group, context, values)
    if group == "Vector2":
        yield from vector_operator_cases(values)
    if group == "Engine":
        yield from engine_frame_cases(context, values)
        yield from engine_finale(context, values)


def limit_memory():
    """Huge sizes must fail as allocations do on an ordinary machine, not exhaust
    this one. The sanitizer reserves terabytes of address space for its shadow, so
    there its own allocation limit serves (set by the parent)."""
    if not SANITIZED:
        limit = 16 << 30
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


def main(group, folder):
    sys.path.insert(0, TESTS)
    os.chdir(folder)
    limit_memory()
    sys.unraisablehook = lambda unraisable: None  # what handlers raise in a frame
    threading.excepthook = lambda args: None  # timers given hostile delays
    context = Context(folder)
    count = 0
    for label, case in cases(group, context):
        print("START", label, flush=True)
        count += 1
        try:
            case()
        except SystemError as error:
            print(f"BAD {label}: {type(error).__name__}: {error}", flush=True)
        except Exception:
            pass
        if group == "Engine":
            clear_engine_state()
        if count % 200 == 0:
            gc.collect()  # cycles made by cases meet the collector during the run
    gc.collect()
    clear_engine_state()
    print("DONE", count, flush=True)
