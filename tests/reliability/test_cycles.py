"""Cyclic garbage: cycles through the engine's own fields and through objects that
Python subclasses hold are freed by the collector, and long chains of engine objects
are freed without exhausting the C stack."""
import gc
import weakref

import pytest

import quorvelin
from quorvelin import (AbstractSystem, AbstractUIContainer, ButtonClickEvent, Camera,
                       CollisionBodySystem, CollisionComponent, CollisionEvent, DummyComponent, Ecs,
                       Engine, Entity, Event, Font, FullscreenEvent, Joystick, JoystickAddedEvent,
                       KeyEvent, Level, MouseClickEvent, MouseWheelEvent, MovementSystem, Music,
                       MusicStoppedEvent, PositionComponent, RaycastingRenderer, Renderer, Resource,
                       RotationComponent, SliderValueChangedEvent, Sound, SoundHandle, Sprite,
                       SpriteAnimation, SpriteComponent, Texture, UIAnchoredContainer, UIButton,
                       UIImage, UIListContainer, UIPanel, UIRenderer, UIScrollPanel, UISlider,
                       UIText, UITheme, UIWidget, Vector2, VelocityComponent, _UIAnchorWrapper)
from registered import engine_classes, row, stale_rows


def collected(build):
    """Whether the objects that `build()` returns (each referenced weakly) are all gone
    once the collector ran."""
    refs = [weakref.ref(obj) for obj in build()]
    gc.collect()
    return [ref() for ref in refs] == [None] * len(refs)


def subclass(cls):
    return type("Own" + cls.__name__, (cls,), {})


def constructions(media):
    joystick = Joystick("Pad", 1, 1)
    return {
        Event: (), KeyEvent: (97, 0, 0, 0), MouseClickEvent: (1, 2, 1), MouseWheelEvent: (0, 1),
        FullscreenEvent: (0, 1), MusicStoppedEvent: (), Joystick: ("Pad", 1, 1),
        JoystickAddedEvent: (joystick,), Vector2: (1, 2), Resource: ("name",), Texture: (4, 4),
        SpriteAnimation: ("walk", 1, 0, 1.0, 0, 1),
        Sprite: (Texture(4, 4), 2, 2, [SpriteAnimation("walk", 1, 0, 1.0, 0, 1)]),
        SpriteComponent: (), Entity: (-1, PositionComponent()), PositionComponent: (),
        VelocityComponent: (), RotationComponent: (), CollisionComponent: (),
        Ecs: (None,), AbstractSystem: (int,), Renderer: (None,), Font: (media.font, 12),
        Level: (media.level,), CollisionEvent: (Entity(), None), CollisionBodySystem: (),
        MovementSystem: (Level(media.level),),
        Camera: (Vector2(1, 2), Vector2(1, 0), 60, 0),
        RaycastingRenderer: (Texture(4, 4), Level(media.level)),
        SoundHandle: (0,), Sound: (media.wav,), Music: (media.wav,), Engine: (),
        UITheme: (media.theme,), UIRenderer: (Texture(4, 4), 0, UITheme(media.theme)),
        UIWidget: (), AbstractUIContainer: (), UIListContainer: (),
        _UIAnchorWrapper: (UIWidget(), 0, 0, 0, 0), UIAnchoredContainer: (), UIPanel: (),
        UIText: ("text", (1, 2, 3)), ButtonClickEvent: (UIButton("b"), 1, 2, 1), UIButton: ("b",),
        UIImage: (Texture(4, 4),), SliderValueChangedEvent: (UISlider(5), 5, 7), UISlider: (5,),
        UIScrollPanel: (UIText("content"),),
    }


CLASSES = [getattr(quorvelin, name) for name in engine_classes()]


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
def test_every_class_is_in_the_table(media, cls):
    row({c.__name__: args for c, args in constructions(media).items()}, cls.__name__,
        "constructions")


def test_every_construction_names_a_class(media):
    assert stale_rows(cls.__name__ for cls in constructions(media)) == []


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
def test_subclass_instance_that_holds_itself(media, cls):
    def build():
        # Arguments made here: a widget given to a container refers back to it.
        obj = subclass(cls)(*row(constructions(media), cls, "constructions"))
        obj.me = obj
        return [obj]

    assert collected(build)


def test_engine_and_its_ecs():
    """Engine -> ecs -> _engine is a cycle of engine fields only."""
    def engines():
        return sum(type(obj) is Engine for obj in gc.get_objects())

    gc.collect()
    before = engines()
    for _ in range(10):
        Engine()
    gc.collect()
    assert engines() == before


def test_engine_subclass_whose_ecs_refers_back():
    def build():
        engine = subclass(Engine)()
        system = subclass(AbstractSystem)(int)
        engine.ecs.addSystem(system)  # the system's _engine is the engine
        system.keep = engine
        engine.keep = engine.ecs
        return [engine]

    assert collected(build)


def test_system_in_an_ecs_that_it_holds():
    class Holding(AbstractSystem):
        pass

    def build():
        ecs, system = Ecs(None), Holding(int)
        ecs.addSystem(system)  # the system's _ecs is the Ecs that lists it
        system.owner = ecs
        return [system]

    assert collected(build)


def test_entity_in_an_ecs():
    class Entity:
        def __init__(self):
            self._id, self._ecs, self._components = -1, None, {}

        @property
        def id(self):
            return self._id

    def build():
        ecs, entity = Ecs(None), Entity()
        ecs.addEntity(entity)  # the entity's _ecs holds the Ecs
        return [entity]

    assert collected(build)


def test_engine_entities_components_and_sprites():
    """Cycles through engine fields alone: an entity and the Ecs that holds it, a system
    and its Ecs, a component list or an animation table that holds its owner."""
    def engine_objects():
        return sum(type(obj) in (Entity, Ecs, AbstractSystem, CollisionComponent, Sprite,
                                 SpriteComponent) for obj in gc.get_objects())

    gc.collect()
    before = engine_objects()
    for _ in range(10):
        ecs, system = Ecs(None), AbstractSystem(CollisionComponent)
        ecs.addSystem(system)
        collision = CollisionComponent()
        collision.hasFlags.append(collision)
        ecs.addEntity(Entity(-1, collision))
        sprite = Sprite(Texture(4, 4), 1, 1, [])
        component = SpriteComponent(sprite)
        sprite.animations["owner"] = component
    del ecs, system, collision, sprite, component
    gc.collect()
    assert engine_objects() == before


def test_movement_system_its_bodies_and_their_events():
    """The movement system and its body system both refer to the Ecs that lists them; an
    event kept by a component of the entity it names closes another cycle."""
    def collision_objects():
        return sum(type(obj) in (MovementSystem, CollisionBodySystem, CollisionEvent)
                   for obj in gc.get_objects())

    gc.collect()
    before = collision_objects()
    for _ in range(10):
        engine = Engine()
        movement = MovementSystem(None)
        engine.ecs.addSystem(movement)
        entity = Entity(-1, PositionComponent(), CollisionComponent())
        engine.ecs.addEntity(entity)
        entity.getComponent(CollisionComponent).hasFlags.append(CollisionEvent(entity, entity))
    del engine, movement, entity
    gc.collect()
    assert collision_objects() == before


def test_levels_in_cycles_through_their_own_fields(media):
    """Through the header, the entity list and a component that refers back, and
    through a texture that only the surface array holds (its file name is the level)."""
    def levels():
        return sum(type(obj) is Level for obj in gc.get_objects())

    gc.collect()
    before = levels()
    for _ in range(5):
        level = Level(media.level)
        level.metadata["self"] = level
        holding = Level(media.level)
        component = DummyComponent()
        component.level = holding
        holding._entities[0].addComponent(component)
        surface = Level(media.level)
        surface.textures[0]._filename = surface
        surface._textures = None
    del level, holding, component, surface
    gc.collect()
    assert levels() == before


def test_renderer_holding_its_target_and_itself():
    class Canvas(Texture):
        pass

    class Painting(Renderer):
        pass

    def build():
        target = Canvas(4, 4)
        renderer = Painting(target, int)
        renderer.keep = (renderer, target)
        target.painter = renderer
        renderer._entities.append(renderer)
        return [renderer, target]

    assert collected(build)


def test_raycasters_in_cycles_through_their_own_fields(media):
    """Through the level (its header holds the renderer), the flashlight (its file name
    is the renderer), the camera (its vector refers back) and the Ecs that draws it; a
    frame drawn first, so that its sprites were read."""
    class Pointing(Vector2):
        pass

    def renderers():
        return sum(type(obj) is RaycastingRenderer for obj in gc.get_objects())

    gc.collect()
    before = renderers()
    for _ in range(5):
        level = Level(media.level)
        renderer = RaycastingRenderer(Texture(8, 8), level)
        renderer._setEngine(Engine())
        renderer._entities.extend(level.getEntities(PositionComponent, SpriteComponent))
        renderer.render()
        level.metadata["renderer"] = renderer
        lamp = Texture(2, 2)
        lamp._filename = renderer
        renderer._setFlashlight(lamp)
        direction = Pointing(1, 0)
        direction.renderer = renderer
        renderer.getCamera().__init__(Vector2(1, 1), direction, 60, 0)
        Ecs(None).addSystem(renderer)
    del level, renderer, lamp, direction
    gc.collect()
    assert renderers() == before


def test_joystick_event_in_a_cycle():
    class Pad(Joystick):
        pass

    class Added(JoystickAddedEvent):
        pass

    def build():
        pad = Pad("Pad", 1, 1)
        event = Added(pad)
        pad.announced = event
        return [pad, event]

    assert collected(build)


def test_resource_whose_file_name_is_itself(media):
    """The file name is an object field of the engine's own: a cycle through it is
    visible to the collector without any Python subclass."""
    def resources():
        return sum(isinstance(obj, Resource) for obj in gc.get_objects())

    gc.collect()
    before = resources()
    for cls, args in ((Resource, ("x",)), (Texture, (2, 2)), (Font, (media.font, 10)),
                      (Sound, (media.wav,)), (Music, (media.wav,)), (Level, (media.level,))):
        obj = cls(*args)
        obj._filename = obj
    del obj
    gc.collect()
    assert resources() == before


@pytest.mark.parametrize("link", ["Resource(previous)", "Texture(2, 2) holding previous",
                                  "Renderer of a Texture holding previous",
                                  "Python subclass of Resource(previous)"])
@pytest.mark.parametrize("closed", [False, True], ids=["dropped", "collected"])
def test_long_chain_is_freed(child, link, closed):
    """Each link is the only holder of the one before; dropping the last frees them all.
    Closed into a cycle, the collector frees it."""
    result = child(f"""
        import gc
        from quorvelin import Renderer, Resource, Texture

        class Own(Resource):
            pass

        def texture(previous):
            made = Texture(2, 2)
            made._filename = previous
            return made

        links = {{"Resource(previous)": Resource,
                  "Texture(2, 2) holding previous": texture,
                  "Renderer of a Texture holding previous": lambda previous: Renderer(texture(previous)),
                  "Python subclass of Resource(previous)": Own}}
        make = links[{link!r}]
        first = chain = make(None)
        for _ in range(200000):
            chain = make(chain)
        if {closed!r}:
            target = first.getTarget() if isinstance(first, Renderer) else first
            target._filename = chain
            del first, target
        del chain
        gc.collect()
        print("freed")
    """, timeout=300)
    assert result.returncode == 0 and result.stdout.strip() == "freed", result.stderr[-3000:]


def test_widget_trees_of_engine_objects_are_freed(media):
    """Children point back to their containers, every widget to its renderer, and an
    anchored container's records to its children: cycles of engine fields alone."""
    def widgets():
        return sum(isinstance(obj, (UIWidget, UIRenderer)) for obj in gc.get_objects())

    theme = UITheme(media.theme)
    gc.collect()
    before = widgets()
    for _ in range(5):
        renderer = UIRenderer(Texture(4, 4), 0, theme)
        panel = UIPanel()
        panel.addChild(UIWidget())
        renderer.widget.addChild(panel, 1, 2)
        anchored = UIAnchoredContainer()
        anchored.addChild(UIWidget(), 0, 0)
        panel.addChild(anchored)
        listed = UIListContainer()
        for widget in (UIButton("b"), UIText("t"), UIImage(Texture(2, 2)), UISlider(3)):
            listed.addChild(widget)
        scrolling = UIScrollPanel(listed)  # its scroll bar has the renderer too
        renderer.widget.addChild(scrolling, 0, 0)
    del renderer, panel, anchored, listed, scrolling, widget
    gc.collect()
    assert widgets() == before


def test_events_that_hold_their_widgets():
    """An event keeps its widget alive; a widget's callable may keep the event."""
    def build():
        button, slider = subclass(UIButton)("b"), subclass(UISlider)(1)
        click = subclass(ButtonClickEvent)(button, 1, 2, 1)
        change = subclass(SliderValueChangedEvent)(slider, 1, 2)
        button.onClick = lambda event: click
        slider.userData = change
        return [button, slider, click, change]

    assert collected(build)


def test_click_callable_that_holds_its_widget():
    class Own(UIPanel):
        pass

    def build():
        panel, child = Own(), subclass(UIWidget)()
        panel.addChild(child)
        child.onClick = lambda event: panel
        child.userData = child
        return [panel, child]

    assert collected(build)
