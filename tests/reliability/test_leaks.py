"""Leak checks: the paths that create and drop objects every frame or every call leave
nothing behind (see leakcheck for how growth is measured)."""
import contextlib
import copy
import ctypes
import io
import pickle
import sys
import threading

import pytest

import quorvelin
from quorvelin import (AbstractSystem, AbstractUIContainer, ButtonClickEvent, Camera,
                       CollisionBodySystem, CollisionComponent, CollisionEvent, Ecs, Engine, Entity,
                       Event, Font, FullscreenEvent, Joystick, JoystickAddedEvent, KeyEvent, Level,
                       LevelFormatException, MouseClickEvent, MouseWheelEvent, MovementSystem,
                       Music, MusicStoppedEvent, PositionComponent, RaycastingRenderer, Renderer,
                       Resource, RotationComponent, SliderValueChangedEvent, Sound, SoundHandle,
                       Sprite, SpriteAnimation, SpriteComponent, Texture, UIAnchoredContainer,
                       UIButton, UIImage, UIListContainer, UIPanel, UIRenderer, UIScrollPanel,
                       UISlider, UIText, UITheme, UIWidget, Vector2, VelocityComponent,
                       _UIAnchorWrapper)
from engine import sdlinput
from registered import engine_classes, stale_rows

from .leakcheck import SANITIZED, assert_no_leak, leaking_counters


class Boom(Exception):
    pass


class RaisesOnFloat:
    def __float__(self):
        raise Boom("float")


class Tagged(KeyEvent):
    """A Python subclass: its instances carry a dictionary and take part in pickling."""


class OwnEngine(Engine):
    pass


class OwnRenderer(Renderer):
    pass


def quietly(call):
    """`call` with its console output discarded (levels print their map and saves)."""
    def run():
        with contextlib.redirect_stdout(io.StringIO()):
            return call()
    return run


def level_at_work(media, folder):
    """A level loaded, read, changed, saved and synced."""
    level = Level(media.level)
    level.setBlock(2, 1, 1)
    level.getTexture(3, 0, 0)
    level.fogColor = (1, 2, 3)
    level.addEntityFromJson({"position": {"x": 1, "y": 2}})
    level.getEntities(PositionComponent)
    ecs = Ecs(None)
    level.syncEntitiesToEcs(ecs)
    level.syncEntitiesFromEcs(ecs)
    level.saveFile(str(folder / "leak.lvl"))
    level.printLevel()
    return level


def raises(expected, call):
    try:
        call()
    except expected:
        return
    raise AssertionError(f"{call} did not raise {expected}")


# --- the helper itself ----------------------------------------------------------------------

_kept = []
_libc = ctypes.CDLL(None)
_libc.malloc.restype = ctypes.c_void_p


def _leak_native_memory():
    address = _libc.malloc(1 << 14)
    ctypes.memset(address, 1, 1 << 14)  # touched: resident, and live to the sanitizer


@pytest.mark.parametrize("operation, counters", [
    (lambda: _kept.append([]), {"live objects", "allocated blocks"}),
    (lambda: _kept.append(str(len(_kept)) * 3), {"allocated blocks"}),
    (_leak_native_memory, {"memory bytes"}),
], ids=["container", "string", "native memory"])
def test_the_check_sees_each_kind_of_leak(operation, counters):
    found = set(leaking_counters(operation, rounds=100, warmup=10))
    if SANITIZED:  # every object comes from malloc: the sanitizer's heap count sees them all
        counters = (counters - {"allocated blocks"}) | {"memory bytes"}
    assert counters <= found
    _kept.clear()


def test_the_check_passes_what_is_released():
    assert_no_leak(lambda: [str(i) for i in range(50)] and Texture(64, 64))


# --- construction and destruction ------------------------------------------------------------

def raycaster_at_work(media, engine):
    """A renderer over a level with a sprite entity and a flashlight: a frame, the
    queries, picking and a ray."""
    level = Level(media.level)
    renderer = RaycastingRenderer(Texture(48, 32), level)
    renderer._setEngine(engine)
    renderer._entities.extend(level.getEntities(PositionComponent, SpriteComponent))
    renderer._setFlashlight(Texture(4, 4))
    camera = renderer.getCamera()
    camera.pos.x, camera.pos.y, camera.pitch = 0.5, 0.5, 0
    renderer.render()
    renderer.getWorldCellByScreenCoords(3, 30)
    renderer.getWorldPosByScreenCoords(3, 2)
    renderer.getEntityAtScreenCoords(24, 16)
    renderer.castRay(Vector2(0.5, 0.5), Vector2(1, 0.2))
    return renderer


def with_children(container, add):
    """A container with two children, each linked back to it."""
    for _ in range(2):
        add(container, UIWidget())
    return container


def constructions(media):
    joystick = Joystick("Pad", 2, 4)
    texture = Texture(64, 64)
    sheet = Sprite(texture, 2, 2, [SpriteAnimation("walk", 4, True, 2.5, 0, 1)])
    theme = UITheme(media.theme) if media else None
    return {
        "Event": Event,
        "KeyEvent": lambda: KeyEvent(97, True, False, True),
        "MouseClickEvent": lambda: MouseClickEvent(10, 20, 1),
        "MouseWheelEvent": lambda: MouseWheelEvent(-1, 2),
        "FullscreenEvent": lambda: FullscreenEvent(False, True),
        "Joystick": lambda: Joystick("Pad", 2, 4),
        "JoystickAddedEvent": lambda: JoystickAddedEvent(joystick),
        "Vector2": lambda: (Vector2(1.5, 2.5) + Vector2(1, 1)) * 2.0,
        "Resource": lambda: Resource("name"),
        "Texture blank": lambda: Texture(64, 64),
        "Texture file": lambda: Texture(media.png),
        "Texture copy": lambda: Texture(texture),
        "SpriteAnimation": lambda: SpriteAnimation("walk", 4, True, 2.5, 0, 1),
        "Sprite": lambda: Sprite(texture, 4, 2, [SpriteAnimation("a", 1, 0, 1, 0, 1)] * 2),
        "SpriteComponent": lambda: SpriteComponent(sheet, True, 0.5, 2.0, 1),
        "Entity": lambda: Entity(-1, PositionComponent(), RotationComponent()),
        "PositionComponent": lambda: PositionComponent(Vector2(1, 2)).dumpToDict(None),
        "VelocityComponent": lambda: VelocityComponent(None, Vector2(3, 0)).dumpToDict(None),
        "RotationComponent": lambda: RotationComponent().dumpToDict(None),
        "CollisionComponent": lambda: CollisionComponent(0.5, True).dumpToDict(None),
        "Ecs": lambda: Ecs(None),
        "AbstractSystem": lambda: AbstractSystem(int, str),
        "CollisionEvent": lambda: CollisionEvent(Entity(), Entity()),
        "CollisionBodySystem": lambda: traced(CollisionBodySystem()),
        "MovementSystem": lambda: MovementSystem(quietly(lambda: Level(None))()),
        "Renderer": lambda: Renderer(texture, int),
        "Camera": lambda: Camera(Vector2(1, 2), Vector2(1, 0), 60, 0),
        "RaycastingRenderer": quietly(lambda: raycaster_at_work(media, Engine())),
        "Level empty": quietly(lambda: Level(None)),
        "Level file": quietly(lambda: level_at_work(media, media.folder)),
        "Font": lambda: Font(media.font, 14),
        "SoundHandle": lambda: SoundHandle(3),
        "Sound": lambda: Sound(media.wav),
        "MusicStoppedEvent": MusicStoppedEvent,
        "Music": lambda: Music(media.wav),
        "Engine": Engine,
        "UITheme": lambda: UITheme(media.theme),
        "UIRenderer": lambda: UIRenderer(texture, True, theme),
        "UIWidget": UIWidget,
        "AbstractUIContainer": AbstractUIContainer,
        "UIListContainer": lambda: with_children(UIListContainer(), lambda c, w: c.addChild(w)),
        "_UIAnchorWrapper": lambda: _UIAnchorWrapper(UIWidget(), 1, 2, 3, 4),
        "UIAnchoredContainer": lambda: with_children(UIAnchoredContainer(),
                                                     lambda c, w: c.addChild(w, 1, 2)),
        "UIPanel": UIPanel,
        "UIText": lambda: UIText("two\nlines", (1, 2, 3)),
        "ButtonClickEvent": lambda: pickle.loads(pickle.dumps(ButtonClickEvent(None, 1, 2, 3))),
        "UIButton": lambda: UIButton("caption"),
        "UIImage": lambda: UIImage(texture, 10, 20),
        "SliderValueChangedEvent": lambda: SliderValueChangedEvent(UISlider(1), 1, 2),
        "UISlider": lambda: UISlider(5, 0, 10, 1),
        "UIScrollPanel": lambda: UIScrollPanel(with_children(UIListContainer(),
                                                             lambda c, w: c.addChild(w))),
        "Python subclasses": lambda: (Tagged(1, 0, 0, 0), OwnEngine(), OwnRenderer(None)),
    }


CONSTRUCTIONS = list(constructions(None))


def traced(bodies):
    """A body system that answers a ray query over two bodies."""
    for x in (2.0, 4.0):
        bodies._entities.append(Entity(-1, PositionComponent(Vector2(x, 1)), CollisionComponent()))
    return bodies.traceEntities(Vector2(0, 1), Vector2(1, 0), 10.0)


@pytest.mark.parametrize("name", engine_classes())
def test_every_class_is_constructed(name):
    assert name in {key.split()[0] for key in CONSTRUCTIONS}, f"{name} has no row in constructions"


def test_every_construction_names_a_class():
    assert stale_rows(key.split()[0] for key in CONSTRUCTIONS
                      if key != "Python subclasses") == []


@pytest.mark.parametrize("name", CONSTRUCTIONS)
def test_construction_and_destruction(media, name):
    assert_no_leak(constructions(media)[name])


def test_a_level_reloaded_in_place(media):
    """A second __init__ and a reload release the grid, the surface array and the
    lists they replace."""
    level = Level(media.level)

    def again():
        level.__init__(media.level)
        level._loadFromFile(media.level)
        level._loadMetadata("f", '{"width": 9, "height": 9}')
        quietly(lambda: level.__init__(None))()

    assert_no_leak(again)


def test_reinitialisation_releases_what_it_replaces(media):
    """A second __init__ closes the font, frees the chunk, the music and the surface it
    replaces."""
    font, sound, music = Font(media.font, 14), Sound(media.wav), Music(media.wav)
    ecs, renderer, joystick = Ecs(None), Renderer(None), Joystick("Pad", 2, 4)
    texture, source = Texture(64, 64), Texture(32, 32)

    def again():
        font.__init__(media.font, 12)
        sound.__init__(media.wav)
        music.__init__(media.wav)
        ecs.__init__(None)
        renderer.__init__(None, int)
        joystick.__init__("Other", 1, 1)
        texture.__init__(64, 64)
        texture.__init__(media.png)
        texture.__init__(source)

    assert_no_leak(again)


def test_a_render_target_reinitialised_every_frame(engine):
    """A renderer that makes its target afresh in each frame: the memory stays bounded."""
    class Remaking(Renderer):
        def render(self):
            self.getTarget().__init__(320, 200)
            self.getTarget().fill((30, 60, 90))

    engine.ecs.addSystem(Remaking(Texture(320, 200)))
    assert_no_leak(engine.update)


def test_raycasting_frames(media, engine):
    """A raycasting renderer drawing a level with a sprite entity and a flashlight in
    every frame, and answering queries between frames."""
    level = Level(media.level)
    renderer = RaycastingRenderer(Texture(320, 200), level)
    engine.ecs.addSystem(renderer)
    level.syncEntitiesToEcs(engine.ecs)
    renderer._setFlashlight(Texture(8, 8))
    assert renderer._entities

    def frame():
        engine.update()
        renderer.getEntityAtScreenCoords(160, 100)
        renderer.getWorldPosByScreenCoords(10, 150)

    assert_no_leak(frame)


# --- exceptions from argument conversions and failed loads --------------------------------

def test_failing_calls(media, engine, tmp_path):
    font, texture = Font(media.font, 12), Texture(8, 8)
    fresh, uninitialised = Engine(), Texture.__new__(Texture)
    cyclic = []
    cyclic.append(cyclic)
    failures = [
        (TypeError, lambda: KeyEvent("x", 0, 0, 0)),
        (OverflowError, lambda: MouseClickEvent(2 ** 40, 0, 0)),
        (Boom, lambda: Vector2(RaisesOnFloat(), 1)),
        (TypeError, lambda: JoystickAddedEvent(5)),
        (TypeError, lambda: Ecs(5)),
        (TypeError, lambda: Renderer(5)),
        (OSError, lambda: Texture(str(tmp_path / "missing.png"))),
        (quorvelin.EngineSdlException, lambda: Texture(-1, 5)),
        (OSError, lambda: Font(str(tmp_path / "missing.ttf"), 12)),
        (TypeError, lambda: Font(media.font, "big")),
        (OSError, lambda: Sound(str(tmp_path / "missing.wav"))),
        (OSError, lambda: Music(str(tmp_path / "missing.ogg"))),
        (TypeError, lambda: texture.fill((1, 2))),
        (OverflowError, lambda: font.render("x", (300, 0, 0))),
        (AttributeError, lambda: font.renderLines(["a", 5], (1, 2, 3))),
        (quorvelin.EngineException, fresh.update),
        (ValueError, lambda: engine.init("again", (1, 2, 3))),
        (quorvelin.EngineException, lambda: uninitialised.fill((1, 2, 3))),
        (FileNotFoundError, lambda: Level(str(tmp_path / "missing.lvl"))),
        (LevelFormatException, lambda: Level(media.level)._loadMetadata("f", "[1]")),
        (IndexError, lambda: Level.__new__(Level).getBlock(0, 0)),
        (ValueError, lambda: setattr(Level.__new__(Level), "fogColor", (1, 2, 300))),
        (RecursionError, lambda: Level.__new__(Level)._dumpToDict(cyclic)),
    ]

    def fail_all():
        for expected, call in failures:
            raises(expected, call)

    assert_no_leak(fail_all, rounds=100, warmup=20)


# --- pickling ---------------------------------------------------------------------------------

def test_pickle_round_trips():
    tagged = Tagged(97, True, False, True)
    tagged.note = ["kept", 1]
    ecs = Ecs(None)
    ecs.addSystem(AbstractSystem(int))
    objects = [Event(), KeyEvent(97, 1, 0, 1), MouseClickEvent(1, 2, 3), MouseWheelEvent(4, 5),
               FullscreenEvent(True, False), JoystickAddedEvent(None), MusicStoppedEvent(),
               AbstractSystem(int, str), ecs, tagged]

    def round_trips():
        for obj in objects:
            for protocol in (0, pickle.HIGHEST_PROTOCOL):
                pickle.loads(pickle.dumps(obj, protocol))
            copy.deepcopy(obj)
        raises(TypeError, lambda: pickle.dumps(Texture(2, 2)))
        raises(TypeError, lambda: pickle.dumps(Joystick("Pad", 1, 1)))
        raises(pickle.PickleError, lambda: quorvelin.__pyx_unpickle_KeyEvent(KeyEvent, 1, None))
        raises(IndexError, lambda: KeyEvent(1, 0, 0, 0).__setstate__((True,)))

    assert_no_leak(round_trips, rounds=100, warmup=20)


def test_ecs_state_round_trips():
    entity = Entity(5, CollisionComponent(0.5, True, ["a"]), SpriteComponent(blendMode=1))
    objects = [entity, SpriteAnimation("walk", 4, True, 2.5, 0, 1), Sprite.__new__(Sprite),
               PositionComponent.__new__(PositionComponent)]

    def round_trips():
        for obj in objects:
            pickle.loads(pickle.dumps(obj))
            copy.copy(obj)
        raises(TypeError, lambda: pickle.dumps(PositionComponent()))
        raises(pickle.PickleError, lambda: quorvelin.__pyx_unpickle_Entity(Entity, 1, None))
        raises(TypeError, lambda: entity.__setstate__(({}, None, "x")))

    assert_no_leak(round_trips, rounds=100, warmup=20)


# --- the entity-component system at work ------------------------------------------------------------

def test_membership_churn_and_updates():
    class Walking(AbstractSystem):
        def _updateEntity(self, entity, timeStep):
            entity.getComponent(PositionComponent).x += timeStep

    ecs = Ecs(None)
    ecs.addSystem(AbstractSystem(PositionComponent, VelocityComponent))
    ecs.addSystem(Walking(PositionComponent))
    entities = [Entity(-1, PositionComponent()) for _ in range(20)]
    for entity in entities:
        ecs.addEntity(entity)

    def churn():
        for entity in entities[::3]:
            entity.addComponent(VelocityComponent())
        ecs.update(0.016)
        for entity in entities[::3]:
            entity.removeComponentType(VelocityComponent)
        extra = Entity(-1, PositionComponent(), VelocityComponent())
        ecs.addEntity(extra)
        list(ecs.getEntities(PositionComponent, VelocityComponent))
        ecs.getEntityById(extra.id)
        ecs.removeEntity(extra)
        raises(TypeError, lambda: Entity(-1).getComponent([]))

    assert_no_leak(churn)


def test_level_forms_and_animations():
    sprite = Sprite(Texture(16, 8), 2, 1, [SpriteAnimation("walk", 2, 1, 1.0, 0, 1),
                                           SpriteAnimation("idle", 1, 0, 0.5, 1, 1)])
    level = type("Level", (), {"_sprites": [sprite]})()
    forms = [(PositionComponent(), {"x": 1, "y": 2}),
             (VelocityComponent(), {"x": 1, "y": 2, "impulse": {"x": 3, "y": 0}, "friction": 1}),
             (RotationComponent(), {"x": 0, "y": 1}),
             (CollisionComponent(), {"radius": 1, "hasFlags": ["a"]}),
             (SpriteComponent(), {"sprite": 0, "blendMode": "add", "currentAnimation": "idle"})]

    def load_and_dump():
        for component, form in forms:
            component.loadFromDict(level, form)
            component.dumpToDict(level)
        component = forms[-1][0]
        component.currentAnimationKey = "walk"
        component.blendMode = "alpha"
        raises(KeyError, lambda: setattr(component, "currentAnimationKey", "run"))
        raises(KeyError, lambda: PositionComponent().loadFromDict(level, {"x": 1}))
        raises(TypeError, lambda: SpriteComponent().loadFromDict(type(level)(), {"sprite": "0"}))

    assert_no_leak(load_and_dump)


# --- events through the engine ------------------------------------------------------------------

def subscribe_readers(engine):
    """Handlers that read what they get and keep nothing."""
    for event_type in (KeyEvent, MouseClickEvent, MouseWheelEvent, FullscreenEvent, Event):
        for _ in range(2):
            engine.subscribeEvent(event_type, lambda event: (event.isAlreadyHandled, repr(event)))


def test_fire_event(engine):
    subscribe_readers(engine)

    def fire():
        engine.fireEvent(KeyEvent(97, 0, 0, 0))
        engine.fireEvent(MouseClickEvent(1, 2, 1), Event)
        engine.fireEvent(Event())
        engine.toggleFullscreen()
        engine.update()  # the frame that takes the window events of the switch

    assert_no_leak(fire)


def test_pushed_input_through_a_frame(engine):
    subscribe_readers(engine)
    engine.subscribeEvent(MusicStoppedEvent, lambda event: None)

    def frame():
        sdlinput.click(10, 20, 3)
        sdlinput.wheel(0, -1)
        sdlinput.key_down(quorvelin.KEY_A)
        sdlinput.motion(2, 3)
        engine.update()

    assert_no_leak(frame)


def test_handler_errors_printed_as_unraisable(engine, monkeypatch):
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: None)

    def failing(event):
        raise Boom("handler")

    engine.subscribeEvent(MouseClickEvent, failing)

    def frame():
        sdlinput.click(10, 20)
        engine.update()

    assert_no_leak(frame)


def test_movement_frames_with_contacts(engine, monkeypatch):
    """Frames in which bodies push each other, a trigger and the walls, with a handler
    that reads every contact, one that fails now and then (printed as unraisable) and an
    impulse that decays into a new vector."""
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: None)
    level = quietly(lambda: Level(None))()
    movement = MovementSystem(level)
    engine.ecs.addSystem(movement)
    for x, trigger in ((1.3, False), (1.6, False), (1.9, True), (2.2, False)):
        engine.ecs.addEntity(Entity(
            -1, PositionComponent(Vector2(x, 1.5)), VelocityComponent(Vector2(-1, 0)),
            CollisionComponent(0.25, trigger)))
    seen = []

    def handler(event):
        seen.append((event.entity1, event.entity2))
        if len(seen) % 7 == 0:
            raise Boom("handler")
        del seen[:]

    engine.subscribeEvent(CollisionEvent, handler)
    mover = engine.ecs.getEntities()[0]

    def frame():
        mover.getComponent(VelocityComponent).impulse = Vector2(3, 0)
        engine.update()
        movement.collisionBodySystem.traceEntities(Vector2(0.5, 1.5), Vector2(1, 0), 5.0)

    assert_no_leak(frame)


# --- media --------------------------------------------------------------------------------------

def test_texture_create_fill_copy_save(media):
    path = str(media.folder / "saved.png")

    def work():
        texture = Texture(64, 64)
        texture.fill((10, 20, 30, 128))
        copied = Texture(texture)
        copied.copyFrom(Texture(media.png))
        copied.fillChecker()
        copied.saveFile(path)
        return texture.getSize(), copied.width

    assert_no_leak(work, rounds=100, warmup=20)


def test_font_rendering(media):
    font = Font(media.font, 18)

    def render():
        font.render("Hello, world", (255, 255, 255))
        font.render("", (1, 2, 3))
        font.renderLines(["first line", "", "a longer third line"], (1, 2, 3, 200))
        font.getRenderedTextSize("measure me")

    assert_no_leak(render, rounds=100, warmup=20)


def test_sound_play(media):
    sound = Sound(media.wav)

    def play():
        handle = sound.play()
        handle.isPlaying()
        handle.stop()
        sound.loop(2).stop()

    assert_no_leak(play)


def test_music_load_play_stop(media, engine):
    engine.subscribeEvent(MusicStoppedEvent, lambda event: None)

    def play():
        music = Music(media.wav)
        music.play()
        music.pause()
        music.resume()
        music.stop()
        music.fadeIn(0, 0.01)
        music.fadeOut(0)
        engine.update()  # a MusicStoppedEvent for the stops counted by the mixer

    assert_no_leak(play, rounds=100, warmup=20)


# --- frames and tasks ---------------------------------------------------------------------------

def test_frames_with_a_renderer(engine):
    class Painter(Renderer):
        def render(self):
            self.getTarget().fill((30, 60, 90))

    engine.ecs.addSystem(Painter(Texture(320, 200)))
    engine.ecs.addSystem(AbstractSystem(int))
    assert_no_leak(engine.update)


def test_tasks(engine):
    def done(step, on_done):
        return True

    def failing(step, on_done):
        raise Boom("task")

    def frame():
        engine.addTask(done)
        engine.addTask(done, print)
        engine.addTaskAfter(0, done)
        engine.update()
        engine.addTask(failing)
        raises(Boom, engine.update)
        Engine._tasks.clear()

    assert_no_leak(frame)


def test_delayed_tasks(engine):
    def frame():
        engine.addTaskAfter(0.0001, lambda step, on_done: True)
        for thread in threading.enumerate():
            if isinstance(thread, threading.Timer):
                thread.join()
        engine.update()

    assert_no_leak(frame, rounds=60, warmup=10)
    assert Engine._tasks == [] and Engine._timers == []


# --- the UI ----------------------------------------------------------------------------------

def ui_in(engine, media):
    """A UI over the engine's frame: panels in list and anchored containers."""
    renderer = UIRenderer(Texture(320, 200), True, UITheme(media.theme))
    for row in range(3):
        panel = UIPanel()
        panel.onClick = lambda event: event.x
        for _ in range(2):
            panel.addChild(UIWidget())
        renderer.widget.addChild(panel, 10 + 60 * row, 10)
    engine.ecs.addSystem(renderer)
    return renderer


def test_ui_frames_clicks_and_wheel_events(engine, media):
    ui_in(engine, media)

    def frame():
        sdlinput.click(20, 20)
        sdlinput.wheel(0, 1)
        engine.update()

    assert_no_leak(frame)


def widgets_in(engine, media):
    """One widget of each kind, and a scroll panel holding a list of labels."""
    renderer = UIRenderer(Texture(320, 200), False, UITheme(media.theme))
    listed = UIListContainer()
    button = UIButton("press")
    button.onClick = lambda event: event.target
    slider = UISlider(50)
    slider.sizePolicyX = quorvelin.SIZE_FIXED
    slider.width = 100
    for widget in (UIText("a\nb"), button, UIImage(Texture(8, 8), 16, 16), slider):
        listed.addChild(widget)
    renderer.widget.addChild(listed, 0, 0)
    rows = UIListContainer()
    for number in range(20):
        rows.addChild(UIText(f"row {number}"))
    scrolling = UIScrollPanel(rows)
    scrolling.width, scrolling.height = 100, 60
    renderer.widget.addChild(scrolling, 150, 10)
    engine.ecs.addSystem(renderer)
    return renderer, button, slider, scrolling


def test_widget_frames_clicks_and_events(engine, media):
    """Frames that draw every widget, clicks on the button and the slider's arrow, wheel
    turns over the scroll panel, and the events they fire to subscribed handlers."""
    renderer, button, slider, scrolling = widgets_in(engine, media)
    seen = []
    engine.subscribeEvent(ButtonClickEvent, lambda event: seen.append(event.target))
    engine.subscribeEvent(SliderValueChangedEvent, lambda event: seen.append(event.newValue))
    engine.update()
    steps = [((button._x + 2, button._y + 2), sdlinput.click),
             ((slider._x + slider.width - 2, slider._y + 2), sdlinput.click),
             ((slider._x + 2, slider._y + 2), sdlinput.click),
             ((scrolling._x + 20, scrolling._y + 20), lambda x, y: sdlinput.wheel(0, -1))]

    def frame():
        for (x, y), act in steps:
            sdlinput.sdl.SDL_WarpMouseInWindow(sdlinput.newest_window(), x, y)
            engine.update()
            act(x, y)
            engine.update()
        scrolling.scrollPosY = 0
        seen.clear()

    assert_no_leak(frame, rounds=40, warmup=10)


def test_labels_whose_text_changes_every_frame(engine, media):
    renderer, button, slider, scrolling = widgets_in(engine, media)
    counter = [0]

    def frame():
        counter[0] += 1
        button.text = f"pressed {counter[0] % 7} times"
        scrolling.content.getChildren()[0].color = (counter[0] % 256, 0, 0)
        engine.update()

    assert_no_leak(frame)


def test_ui_tree_changes(media):
    renderer = UIRenderer(Texture(64, 64), False, UITheme(media.theme))
    anchored, listed = renderer.widget, UIListContainer()

    def change():
        widgets = [UIWidget() for _ in range(3)]
        for widget in widgets:
            anchored.addChild(widget, 1, 2)
            listed.addChild(widget)
        anchored.removeChild(widgets[0])
        listed.removeChild(widgets[1])
        anchored.removeAllChildren()
        listed.removeAllChildren()
        renderer.widget = UIPanel()
        renderer.widget = anchored

    assert_no_leak(change)


def test_ui_failures(media, tmp_path):
    from ui.themes import OMIT, write_theme

    broken = [write_theme(tmp_path, "no-fonts.json", fonts=OMIT),
              write_theme(tmp_path, "bad-colour.json", colors={"background": "#123456"}),
              write_theme(tmp_path, "no-tileset.json", tileset="missing.png")]
    renderer = UIRenderer(Texture(32, 32), False, UITheme(write_theme(tmp_path, widgets={})))
    renderer.widget.addChild(UIPanel(), 0, 0)
    AbstractSystem._setEngine(renderer, Engine())

    def fail_all():
        for path in broken:
            raises((KeyError, ValueError, OSError), lambda: UITheme(path))
        raises(KeyError, renderer.render)  # the theme has no "panel" skin
        raises(TypeError, lambda: UIRenderer(None, 0, None))
        raises(TypeError, lambda: setattr(renderer, "widget", None))
        raises(ValueError, lambda: UIWidget().setMargin())
        raises(TypeError, lambda: UIListContainer().addChild(None))
        raises(TypeError, lambda: UIText(None))
        raises(TypeError, lambda: UIButton(5))
        raises(AttributeError, lambda: UIImage(None))
        raises(TypeError, lambda: UIScrollPanel(None))
        raises(OverflowError, lambda: UISlider(2 ** 40))
        raises(pickle.PickleError, lambda: quorvelin.__pyx_unpickle_ButtonClickEvent(
            ButtonClickEvent, 1, None))
        raises(ValueError, lambda: setattr(UISlider(1), "percent", float("nan")))

    assert_no_leak(fail_all, rounds=100, warmup=20)
