"""What the last frame shows at a screen position: the screen queries (floor, ceiling and
wall, from the column's record and the camera as it is now) and entity picking."""
import math
from types import SimpleNamespace

import pytest

from quorvelin import (Entity, PositionComponent, RaycastingRenderer, SpriteAnimation,
                       SpriteComponent, Texture, Vector2)

from .conftest import FixedStep, model, noise, room, sprite_entity, textures


@pytest.fixture
def column_scene(scene):
    """A 4 x 480 target whose every column looks straight south (a field of view of 0)
    from (2.5, 2.0) at the north face of the block at (2, 4), 2.0 away: with pitch 20 and
    ratio 1.6 the horizon is row 260, the base 300 and the wall's half height 150."""
    width, height, data = room(width=5, height=7, blocks={(2, 4): 1})
    made = scene(model.Level(width, height, data, textures()), size=(4, 480))
    view = made.renderer.getCamera()
    view.pos.x, view.pos.y = 2.5, 2.0
    view.fov = 0
    made.renderer.render()
    view.pos.y = 2.5  # the answers take the camera as it is now
    return made.renderer


@pytest.mark.parametrize("y, kind", [(411, 1), (109, 2), (410, 3), (110, 3), (260, 3)])
def test_rows_show_floor_ceiling_or_the_wall(column_scene, y, kind):
    cell = column_scene.getWorldCellByScreenCoords(1, y)
    assert cell[0] == kind
    if kind == 3:  # the wall's north face and its cell, from both queries
        assert cell == (3, 2, 4) == column_scene.getWorldPosByScreenCoords(x=1, y=y)


@pytest.mark.parametrize("y, kind", [(420, 1), (100, 2), (420.0, 1)])
def test_floor_and_ceiling_points(column_scene, y, kind):
    # The row is 1.875 away (300 / 160) along the column's ray (1e-14, 1): the cast put
    # 1e-14 in place of the zero component, and the record keeps it.
    x = 2.5 + 1e-14 * 1.875
    assert column_scene.getWorldPosByScreenCoords(3, y) == (kind, x, 4.375)
    assert column_scene.getWorldCellByScreenCoords(3, y) == (kind, 2, 4)


def test_a_moved_camera_moves_the_answers(column_scene):
    column_scene.getCamera().pos.x = -0.5
    assert column_scene.getWorldCellByScreenCoords(0, 420) == (1, 0, 4)  # int() toward zero
    column_scene.getCamera().pos.x = -1.5
    assert column_scene.getWorldCellByScreenCoords(0, 420) == (1, -1, 4)


@pytest.mark.parametrize("x, error, message", [
    (10.0, TypeError, "'float' object cannot be interpreted as an integer"),
    ("1", TypeError, "'str' object cannot be interpreted as an integer"),
    (-1, IndexError, "screen column -1 is outside the target"),
    (4, IndexError, "screen column 4 is outside the target"),
    (10 ** 30, IndexError, "is outside the target"),
])
def test_columns_outside_the_target(column_scene, x, error, message):
    for query in (column_scene.getWorldCellByScreenCoords, column_scene.getWorldPosByScreenCoords):
        with pytest.raises(error, match=message):
            query(x, 100)


def test_a_ratio_of_zero_divides_by_zero(column_scene):
    column_scene.getCamera().ratio = 0.0
    with pytest.raises(ZeroDivisionError, match="float division"):
        column_scene.getWorldCellByScreenCoords(0, 0)


def test_before_the_first_frame_the_records_are_zeroed(scene):
    width, height, data = room()
    renderer = scene(model.Level(width, height, data, textures())).renderer
    renderer.getCamera().pitch = 0
    # No wall (distance 0), no ray: the floor below the horizon is where the camera is.
    assert renderer.getWorldPosByScreenCoords(0, 29) == (1, 2.5, 2.5)
    assert renderer.getWorldCellByScreenCoords(39, 15) == (0, 0, 0)  # the horizon: the "wall"


def test_a_target_resized_after_the_frame(column_scene):
    target = column_scene.getTarget()
    target.__init__(2, 480)
    with pytest.raises(IndexError):
        column_scene.getWorldCellByScreenCoords(3, 420)  # no longer a column of the target
    target.__init__(8, 480)
    with pytest.raises(IndexError):
        column_scene.getWorldCellByScreenCoords(6, 420)  # not a column of the last frame
    column_scene.render()  # from (2.5, 2.5), the wall 1.5 away
    assert column_scene.getWorldCellByScreenCoords(6, 420) == (3, 2, 4)


# --- picking -------------------------------------------------------------------------------------

SHEET = noise(8, 8, 2, translucent=True)


@pytest.fixture
def picking(scene):
    """A 7 x 6 room seen from (1.5, 3.0) looking east at the east wall 4.5 away, with a
    field of view of 0 (every column casts the same ray); make(*positions, **fields)
    adds entities with a sprite."""
    width, height, data = room()
    made = scene(model.Level(width, height, data, textures()), size=(40, 30))
    renderer = made.renderer
    renderer._setEngine(FixedStep())
    view = renderer.getCamera()
    view.pos.x, view.pos.y, view.dir.x, view.dir.y = 1.5, 3.0, 1.0, 0.0
    view.fov, view.pitch = 0, 0
    sheet = made.texture("sheet.png", SHEET)

    def make(*positions, **fields):
        animation = SpriteAnimation("still", 1, False, 0.0, 0, 1)
        entities = [sprite_entity(p, sheet, (8, 8), 1, 1, animation, **fields) for p in positions]
        renderer._entities.extend(entities)
        renderer.render()
        return entities
    return SimpleNamespace(renderer=renderer, make=make)


def square(entity):
    """(left, top, side) of the pixels where picking finds the entity: a square of half
    size int(30 / 1.6 / depth) centred on (int(20 + 40 * sideways / depth), 15), where the
    offset from the camera is turned by 360 degrees (which leaves a sideways trace of
    sin(2 pi) for an entity straight ahead)."""
    position = entity.getComponent(PositionComponent).pos
    turn = model.rotation((360 - 0.0) * model.DEG2RAD)
    depth, sideways = model.apply(turn, (position.x - 1.5, position.y - 3.0))
    size = int(30 / 1.6 / depth)
    left = int(40 // 2 + 40 * (sideways / depth)) - size
    return left, int(15.0 - size), 2 * size


def test_the_nearest_covering_entity_is_picked(picking):
    far, near = picking.make((4.5, 3.0), (3.5, 3.5))
    renderer = picking.renderer
    (far_left, _, far_size), (near_left, near_top, near_size) = square(far), square(near)
    assert far_left < near_left < far_left + far_size  # they overlap
    overlap = near_left + 1
    assert renderer.getEntityAtScreenCoords(overlap, 15) is near
    renderer._entities.reverse()
    assert renderer.getEntityAtScreenCoords(x=overlap, y=15) is near
    # The list is left far to near, each distance written.
    assert renderer._entities == [far, near]
    assert far.getComponent(SpriteComponent)._dist == 3.0
    assert renderer.getEntityAtScreenCoords(near_left - 1, 15) is far
    assert renderer.getEntityAtScreenCoords(overlap, near_top) is near  # above the far one
    assert renderer.getEntityAtScreenCoords(near_left + near_size, 15) is None


def test_the_square_is_unscaled_and_centred_on_the_horizon(picking):
    entity, = picking.make((3.5, 3.0), scale=2.0, zOffset=1.0)
    left, top, size = square(entity)  # 9 either way of (20, 15)
    inside = [(left, top), (left + size - 1, top + size - 1), (20, 15)]
    outside = [(left - 1, 15), (left + size, 15), (20, top - 1), (20, top + size)]
    pick = picking.renderer.getEntityAtScreenCoords
    assert [pick(*p) for p in inside] == [entity] * 3
    assert [pick(*p) for p in outside] == [None] * 4


def test_behind_the_camera_or_the_wall(picking):
    # The wall is 4.5 away in every column: an entity exactly there is in front of it.
    behind, at_wall, beyond = picking.make((0.5, 3.0), (6.0, 3.0), (6.0000001, 3.0))
    assert picking.renderer.getEntityAtScreenCoords(20, 15) is at_wall
    at_wall.getComponent(PositionComponent).pos.x = 7.0
    assert picking.renderer.getEntityAtScreenCoords(20, 15) is None


def test_nothing_to_pick(picking):
    assert picking.renderer.getEntityAtScreenCoords(20, 15) is None
    picking.make((3.5, 3.0))
    for x in (-1, 40, 10 ** 30):  # outside the target: nothing there
        assert picking.renderer.getEntityAtScreenCoords(x, 15) is None


@pytest.mark.parametrize("change, error, message", [
    (lambda r: setattr(r, "_entities", None), TypeError, "'NoneType' object is not iterable"),
    (lambda r: r._entities.append(3), TypeError, "Cannot convert int to quorvelin.Entity"),
    (lambda r: r._entities.append(Entity(-1, PositionComponent())), TypeError,
     "Cannot convert NoneType to quorvelin.SpriteComponent"),
    (lambda r: setattr(r.getCamera(), "ratio", 0.0), ZeroDivisionError, "float division"),
])
def test_picking_errors(picking, change, error, message):
    picking.make((3.5, 3.0))
    change(picking.renderer)
    with pytest.raises(error, match=message):
        picking.renderer.getEntityAtScreenCoords(20, 15)


def test_picking_arguments(picking):
    with pytest.raises(TypeError, match=r"takes exactly 2 positional arguments \(1 given\)"):
        picking.renderer.getEntityAtScreenCoords(20)
    with pytest.raises(TypeError, match="cannot be interpreted as an integer"):
        picking.renderer.getEntityAtScreenCoords(20.0, 15)


# --- castRay --------------------------------------------------------------------------------------

@pytest.fixture
def caster(scene):
    width, height, data = room(width=6, height=6, blocks={(4, 3): 1})
    return scene(model.Level(width, height, data, textures())).renderer


def test_a_ray_meets_a_wall(caster):
    hit = caster.castRay(Vector2(2.5, 2.5), Vector2(1, 0.5))
    assert isinstance(hit, Vector2) and (hit.x, hit.y) == (4.0, 3.25)
    direction = Vector2(0, 1)
    hit = caster.castRay(pos=Vector2(2.5, 2.5), dir=direction)
    assert (hit.x, hit.y) == (2.5 + 2.5e-14, 5.0) and (direction.x, direction.y) == (0, 1)


@pytest.mark.parametrize("origin", [(-1, 2), (6.0, 2), (2, 6.0), (math.nan, 2), (math.inf, 2)])
def test_a_ray_from_outside_the_map_meets_nothing(caster, origin):
    assert caster.castRay(Vector2(*origin), Vector2(1, 0)) is None


def test_a_ray_that_leaves_the_map(tmp_path, scene):
    data = bytes([0, 0, 0, 0, 0, 0, 0] * 9)
    renderer = scene(model.Level(3, 3, data, textures())).renderer
    assert renderer.castRay(Vector2(1.5, 1.5), Vector2(1, 0.3)) is None
    assert RaycastingRenderer(Texture(4, 4), None).castRay(Vector2(1, 1), Vector2(1, 0)) is None


@pytest.mark.parametrize("args, error, message", [
    ((None, Vector2(1, 0)), AttributeError, "'NoneType' object has no attribute 'x'"),
    ((Vector2(1, 1), 5), TypeError,
     r"Argument 'dir' has incorrect type \(expected quorvelin.Vector2, got int\)"),
    ((Vector2(1, 1),), TypeError, r"takes exactly 2 positional arguments \(1 given\)"),
])
def test_cast_ray_arguments(caster, args, error, message):
    with pytest.raises(error, match=message):
        caster.castRay(*args)
