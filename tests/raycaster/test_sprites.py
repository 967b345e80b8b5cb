"""The sprite pass: the tracked entities measured, sorted far to near and animated by
the engine's time step, drawn against the walls' distances with fog and both blend
modes; what it writes back; its errors, printed instead of raised; and sprites that
cannot be drawn, which skip only themselves."""
import math

import pytest

from quorvelin import (BLENDMODE_ADD, Engine, Entity, PositionComponent, SpriteAnimation,
                       SpriteComponent, Vector2)

from .conftest import (FixedStep, camera, model, model_sprite, noise, plain, room, sprite_entity,
                       steady, textures)
from .test_frame import first_difference

SHEET = noise(16, 8, 7, translucent=True)  # 4 x 2 frames of 4 x 4


def hall(fog=3, ground=40):
    width, height, data = room(width=9, height=7, blocks={(5, 3): 1})
    return model.Level(width, height, data, textures(), sky=noise(40, 10, 8), fog_colour=0xFF203040,
                       fog_density=fog, ground_colour=0xFFE0D0C0, ground_density=ground)


@pytest.fixture
def drawn(scene):
    """drawn(entities, pose, step, level=...) renders the entities with a renderer whose
    engine's time step is `step`; returns the scene and the model's expected pixels,
    hits and far-to-near sprites (worked out from the entities as they were)."""
    def run(entities, pose, step=0.0, level=None, size=(40, 30), modelled=True):
        made = scene(level or hall(), size)
        sheet = made.texture("sheet.png", SHEET)
        built = [entity(sheet) for entity in entities]
        engine = FixedStep()
        engine.step = step
        made.renderer._setEngine(engine)
        made.renderer._entities.extend(built)
        sprites = [model_sprite(entity, SHEET) for entity in built] if modelled else []
        for sprite, entity in zip(sprites, built):
            sprite.entity = entity
        made.pose(pose)
        made.renderer.render()
        return made, made.expected(pose, sprites=sprites, time_step=step) if modelled else None
    return run


def walker(position, facing=None, frames=2, directions=2, oscillate=False, speed=1.0, start=0,
           **fields):
    """An entity factory for `drawn`: a sprite of SHEET with one animation."""
    animation = SpriteAnimation("walk", frames, oscillate, speed, start, directions)
    return lambda sheet: sprite_entity(position, sheet, (4, 4), 4, 2, animation, facing, **fields)


CROWD = [
    walker((4.5, 2.5), facing=(-1, 0), animationPercentage=0.3),
    walker((3.2, 4.1), facing=(0, 1), directions=4, frames=1, _blendMode=BLENDMODE_ADD),
    walker((6.5, 1.5), oscillate=True, speed=-2.0, animationPercentage=0.05, zOffset=0.4),
    walker((2.5, 2.9), scale=0.6, shadeless=True),
    walker((7.5, 4.5), frames=4, directions=1, speed=3.0, animationPercentage=0.9, scale=1.7,
           zOffset=-0.3),
    walker((1.5, 5.5)),  # behind the camera in most poses
]


@pytest.mark.parametrize("pose", [
    camera((1.5, 2.5), (1, 0.2)),
    camera((2.2, 1.6), (1, 0.7), fov=75, pitch=5),
    camera((7.6, 5.4), (-1, -0.6), fov=90, pitch=-4, ratio=1.2),
], ids=range(3))
def test_sprites_match_the_model(drawn, pose):
    made, (expected, _, ordered) = drawn(CROWD, pose, step=0.1)
    assert first_difference(made.pixels(), expected, 40) is None
    # What the pass leaves behind: the list far to near, the measures and the animations.
    assert made.renderer._entities == [sprite.entity for sprite in ordered]
    for sprite in ordered:
        component = sprite.entity.getComponent(SpriteComponent)
        assert (component._dist, component._angleToCam) == (sprite.dist, sprite.angle)
        assert (component.animationPercentage, component._animationSpeed) == \
            (sprite.progress, sprite.speed)


def test_an_engine_in_an_ecs_steps_the_animations(scene):
    made = scene(hall())
    engine = Engine()
    engine.init("sprites", (40, 30))
    engine.ecs.addSystem(made.renderer)
    entity = walker((4.5, 2.5), speed=0.5)(made.texture("sheet.png", SHEET))
    engine.ecs.addEntity(entity)
    assert made.renderer._entities == [entity]
    made.renderer.render()  # the step of a frame that has not run yet: 1 / 60
    assert entity.getComponent(SpriteComponent).animationPercentage == 0.5 / 60


def test_equal_distances_keep_their_order_and_sprites_behind_are_animated(drawn):
    pose = camera((3.5, 3.5), (1, 0))
    ahead = walker((5.5, 3.5))
    left, right = walker((3.6, 1.5), speed=0.5), walker((3.6, 5.5), speed=0.25)
    behind = walker((2.5, 3.5), speed=2.0)
    made, (expected, _, _) = drawn([left, behind, right, ahead], pose, step=0.1)
    entities = made.renderer._entities
    progress = [e.getComponent(SpriteComponent).animationPercentage for e in entities]
    # left and right (2 away) keep their order; the one behind is nearest.
    assert [round(p, 12) for p in progress] == [0.05, 0.025, 0.1, 0.2]
    assert first_difference(made.pixels(), expected, 40) is None


@pytest.mark.parametrize("oscillate, frames, progress, speed, expected", [
    (False, 4, 0.9, 2.0, (0.0, 2.0)),  # restarts at 0.0, not 0.1
    (True, 4, 0.95, 1.0, (0.8, -1.0)),  # turns and steps back one frame
    (True, 4, 0.05, -1.0, (0.2, 1.0)),
])
def test_animation_steps(drawn, oscillate, frames, progress, speed, expected):
    entity = walker((4.5, 3.5), frames=frames, oscillate=oscillate, speed=speed,
                    animationPercentage=progress)
    made, _ = drawn([entity], camera((2.5, 3.5), (1, 0)), step=0.1)
    component = made.renderer._entities[0].getComponent(SpriteComponent)
    assert component.animationPercentage == pytest.approx(expected[0], abs=1e-12)
    assert component._animationSpeed == expected[1]


def sheet_of_colours():
    """A 4 x 2 sheet of opaque frames of 4 x 4, frame n all of colour 0xFF000010 * (n + 1)."""
    pixels = [0xFF000000 | (0x10 * (1 + (y // 4) * 4 + x // 4)) for y in range(8)
              for x in range(16)]
    return model.Image(16, 8, pixels)


@pytest.mark.parametrize("facing, frame", [((-1, 0), 0), ((1, 0), 2), ((0, 1), 3), ((0, -1), 1)])
def test_the_viewing_angle_picks_the_direction(scene, facing, frame):
    made = scene(hall(fog=0, ground=0))
    image = sheet_of_colours()
    animation = SpriteAnimation("turn", 1, False, 0.0, 0, 4)
    entity = sprite_entity((4.5, 3.5), made.texture("sheet.png", image), (4, 4), 4, 2, animation,
                           facing, shadeless=True)
    made.renderer._setEngine(FixedStep())
    made.renderer._entities.append(entity)
    made.pose(camera((2.5, 3.5), (1, 0)))
    made.renderer.render()
    # Frame n shows colour 0x10 * (n + 1) in blue; an opaque blend writes (255 * s) >> 8.
    assert made.pixels()[15 * 40 + 20] & 0xFF == (255 * 0x10 * (frame + 1)) >> 8


@pytest.mark.parametrize("alpha, mode, target, expected", [
    (0, 0, 0xFF00FFFF, 0xFF00FEFE),  # blend, alpha 0: the target scaled by 255/256
    (255, 0, 0xFF000000, 0xFFFEFEFE),  # blend, alpha 255: a channel of 255 writes 254
    (128, 1, 0x80F0F0F0, 0x80FFFFFF),  # add: saturates, keeps the target's alpha
    (128, 0, 0x40102030, 0x40878F97),  # blend keeps it too
])
def test_blend_modes(scene, alpha, mode, target, expected):
    # Nothing but a sky of the target colour (alpha included): empty cells without
    # floor or ceiling textures, whose rays leave the map.
    data = bytes([0, 255, 255, 0, 0, 0, 0] * 9)
    level = model.Level(3, 3, data, [plain(2, 2, 0xFF000000)], sky=plain(8, 8, target))
    made = scene(level, size=(8, 8))
    sheet = made.texture("white.png", plain(4, 4, alpha << 24 | 0xFFFFFF))
    animation = SpriteAnimation("still", 1, False, 0.0, 0, 1)
    entity = sprite_entity((1.5, 1.5), sheet, (4, 4), 1, 1, animation, shadeless=True,
                           _blendMode=mode)
    made.renderer._setEngine(FixedStep())
    made.renderer._entities.append(entity)
    made.pose(camera((0.5, 1.5), (1, 0)))
    made.renderer.render()
    assert made.pixels()[4 * 8 + 4] == expected


# --- errors and sprites that cannot be drawn ---------------------------------------------------

def without_vector():
    position = PositionComponent()
    position._pos = None
    return Entity(-1, position, SpriteComponent())


@pytest.mark.parametrize("entities, message", [
    (None, "'NoneType' object is not iterable"),
    (lambda good: [good, 5], "Cannot convert int to quorvelin.Entity"),
    (lambda good: [good, Entity(-1, PositionComponent(Vector2(3, 3)))],
     "Cannot convert NoneType to quorvelin.SpriteComponent"),
    (lambda good: [good, Entity(-1, SpriteComponent())],
     "Cannot convert NoneType to quorvelin.PositionComponent"),
    (lambda good: [good, without_vector()], "'NoneType' object has no attribute 'x'"),
], ids=["no list", "not an entity", "no sprite", "no position", "no vector"])
def test_errors_are_printed_and_end_the_pass(drawn, unraisable, entities, message):
    pose = camera((1.5, 2.5), steady((1, 0.2)))
    made, _ = drawn([], pose)
    without = made.pixels()
    good = walker((4.5, 2.5))(made.texture("sheet.png", SHEET))
    made.renderer._entities = entities(good) if entities else None
    made.renderer.render()
    assert [r.object for r in unraisable] == ["quorvelin.RaycastingRenderer.renderSprites"]
    assert message in str(unraisable[0].exc_value)
    assert made.pixels() == without  # walls, floor, ceiling and sky drawn; no sprite
    assert good.getComponent(SpriteComponent)._dist == 0.0  # nothing written


def test_without_an_engine_the_list_is_sorted_but_nothing_animated(drawn, unraisable):
    made, _ = drawn([walker((6.5, 3.5), speed=1.0), walker((3.5, 3.5), speed=1.0)],
                    camera((1.5, 3.5), (1, 0)))
    entities = list(made.renderer._entities)
    made.renderer._setEngine(None)
    made.renderer._entities.reverse()
    made.renderer.render()
    assert "'NoneType' object has no attribute 'getTimeStep'" in str(unraisable[0].exc_value)
    assert made.renderer._entities == entities  # far to near again
    assert [e.getComponent(SpriteComponent).animationPercentage for e in entities] == [0.0, 0.0]


def no_sheet(entity):
    sprite = entity.getComponent(SpriteComponent).sprite
    state = list(sprite.__reduce__()[2])  # _animations, _height, _texture, ...
    state[2] = None
    sprite.__setstate__(tuple(state))


def component(entity):
    return entity.getComponent(SpriteComponent)


BROKEN = {  # name: (walker arguments, change to the entity)
    "no sprite": ({}, lambda e: setattr(component(e), "sprite", None)),
    "no animation": ({}, lambda e: setattr(component(e), "currentAnimation", None)),
    "no sheet": ({}, no_sheet),
    "no directions": ({"directions": 0}, None),
    "no frames": ({"frames": 0}, None),
    "progress past the end": ({"oscillate": True, "animationPercentage": 5.0}, None),
    "progress below 0": ({"animationPercentage": -0.5}, None),
    "scale 0": ({"scale": 0.0}, None),
    "frame past the sheet": ({"start": 100}, None),
    "not a number": ({}, lambda e: e.getComponent(PositionComponent).pos.set(Vector2(math.nan, 3))),
    "infinitely far": ({}, lambda e: e.getComponent(PositionComponent).pos.set(Vector2(math.inf, 3))),
}


def test_a_sprite_right_beside_the_camera_is_not_drawn(drawn):
    # Looking east, an entity straight to the south is at depth sin(2 pi) * -2, about
    # 5e-16, after the turn by 360 degrees into camera space: a half size past 32 bits.
    pose = camera((1.5, 2.5), (1, 0))
    expected = drawn([walker((4.5, 2.5))], pose, modelled=False)[0].pixels()
    made, _ = drawn([walker((4.5, 2.5)), walker((1.5, 4.5))], pose, modelled=False)
    assert made.pixels() == expected
    assert made.renderer.getEntityAtScreenCoords(20, 15) is made.renderer._entities[0]


@pytest.mark.parametrize("name", BROKEN)
def test_a_sprite_that_cannot_be_drawn_skips_only_itself(drawn, unraisable, name):
    pose = camera((1.5, 2.5), (1, 0.2))
    good = [walker((4.5, 2.5)), walker((3.2, 2.1))]
    expected = drawn(good, pose, modelled=False)[0].pixels()
    arguments, change = BROKEN[name]

    def broken(sheet):
        entity = walker((3.9, 2.6), **arguments)(sheet)
        if change:
            change(entity)
        return entity
    made, _ = drawn([good[0], broken, good[1]], pose, modelled=False)
    assert unraisable == []
    assert made.pixels() == expected
