"""The collision step: other bodies, then the level's walls from the position before the
move, each contact fired at once through the engine, the position written back at the
end; errors printed as unraisable."""
import math
import random

import pytest

from quorvelin import (BLOCK_SQUARE, CollisionComponent, CollisionEvent, Ecs, Engine, Entity,
                       MovementSystem, PositionComponent, Vector2, VelocityComponent)

from .conftest import World, body, level, position

STEP_CONTEXT = "quorvelin.MovementSystem._moveWithCollisionDetection"
K = 0.707107


def moved(world, mover, move):
    """Steps the mover alone by `move` (time step 1)."""
    mover.getComponent(VelocityComponent).velocity = Vector2(*move)
    world.movement._updateEntity(mover, 1.0)
    return position(mover)


class TestBodies:
    @pytest.mark.parametrize("trigger, expected", [(False, (2.0, 2.0)), (True, (2.1, 2.0))],
                             ids=["solid", "trigger"])
    def test_a_body_in_the_way(self, world, trigger, expected):
        mover = world.add(body(2, 2, velocity=(0, 0)))
        other = world.add(body(2.5, 2, trigger=trigger))
        assert moved(world, mover, (0.1, 0)) == pytest.approx(expected, abs=1e-12)
        assert world.contacts == [(mover, other)]

    def test_coincident_centres_touch_without_a_push(self, world):
        mover = world.add(body(3, 3, velocity=(0, 0)))
        other = world.add(body(3, 3))
        assert moved(world, mover, (0, 0)) == (3.0, 3.0)
        assert world.contacts == [(mover, other)]

    def test_a_trigger_mover_is_still_pushed(self, world):
        mover = world.add(body(2, 2, velocity=(0, 0), trigger=True))
        world.add(body(2.5, 2))
        assert moved(world, mover, (0.1, 0)) == pytest.approx((2.0, 2.0), abs=1e-12)

    def test_flags_work_in_one_direction(self, world):
        a = world.add(body(2, 2, velocity=(0, 0), has=["a"], ignore=["ghost"]))
        b = world.add(body(2.4, 2, velocity=(0, 0), has=["ghost"], ignore=["nothing"]))
        assert moved(world, a, (0.05, 0)) == (2.05, 2.0)  # a ignores b
        assert world.contacts == []
        moved(world, b, (0, 0))  # b does not ignore a: pushed out
        assert world.contacts == [(b, a)]
        assert position(b)[0] == pytest.approx(2.55)

    def test_entities_sharing_one_body_never_touch(self, world):
        shared = CollisionComponent(0.25)
        mover = world.add(Entity(-1, PositionComponent(Vector2(2, 2)), shared,
                                 VelocityComponent(Vector2(0.1, 0))))
        world.add(Entity(-1, PositionComponent(Vector2(2.2, 2)), shared))
        world.step(1.0)
        assert position(mover) == (2.1, 2.0) and world.contacts == []

    def test_nothing_near_gives_old_position_plus_move(self, world):
        mover = world.add(body(2.25, 3.5, velocity=(0.125, -0.375)))
        world.add(body(6, 6))
        world.step(1.0)
        assert position(mover) == (2.25 + 0.125, 3.5 - 0.375)

    def test_corrections_of_several_contacts_add_up(self, world):
        """Each contact starts from the move as the earlier ones corrected it, so the
        mover ends outside both bodies it met (keeping only the last correction would
        leave it inside the first)."""
        mover = world.add(body(2, 2, velocity=(0, 0)))
        first = world.add(body(2.45, 2.1))
        second = world.add(body(2.3, 2.5))
        x, y = moved(world, mover, (0.2, 0.2))
        assert world.contacts == [(mover, first), (mover, second)]
        assert math.hypot(2.3 - x, 2.5 - y) == pytest.approx(0.5)
        assert math.hypot(2.45 - x, 2.1 - y) >= 0.5 - 1e-9


class TestWalls:
    def test_a_straight_wall_pushes_along_three_probes(self, world):
        world.movement._level = level(blocks=[(5, y) for y in range(10)])
        mover = world.add(body(4.9, 4.5, velocity=(0, 0)))
        x, y = moved(world, mover, (0, 0))
        assert 5.0 - x == pytest.approx(0.1 + 0.15 + 2 * K * (0.25 - 0.1 * math.sqrt(2)),
                                        abs=1e-9)
        assert 5.0 - x == pytest.approx(0.4035534, abs=1e-6)
        assert y == pytest.approx(4.5, abs=1e-12)
        assert world.contacts == [(mover, None)] * 3

    def test_walls_are_tested_from_the_position_before_the_move(self, world):
        """A move that ends nearer a wall than the radius is corrected in the next step,
        and a fast mover crosses a thin wall."""
        world.movement._level = level(blocks=[(5, y) for y in range(10)])
        mover = world.add(body(4.5, 4.5, velocity=(0, 0)))
        assert moved(world, mover, (0.4, 0))[0] == pytest.approx(4.9)
        assert world.contacts == []
        assert moved(world, mover, (0, 0))[0] < 4.75
        fast = world.add(body(3.5, 2.5, velocity=(0, 0)))
        assert moved(world, fast, (2.0, 0)) == (5.5, 2.5)  # inside the wall now
        assert moved(world, fast, (1.0, 0)) == (6.5, 2.5)  # and not pushed out of it

    @pytest.mark.parametrize("walls, at", [
        (level(4, 4), (0.1, 0.1)),                     # an open edge is no wall
        (level(blocks=[(2, 2)]), (2.5, 2.5)),          # the block under the centre is not seen
        (level(4, 4, blocks=[(0, 0)]), (-0.1, 0.5)),   # off the map
        (level(4, 4, blocks=[(0, 0)]), (math.nan, 0.5)),
        (None, (1.1, 1.5)),                            # no level at all
    ], ids=["open edge", "inside a block", "off the map", "nan", "no level"])
    def test_no_wall_contact(self, world, walls, at):
        world.movement._level = walls
        mover = world.add(body(*at, velocity=(0, 0)))
        x, y = moved(world, mover, (0.125, 0))
        assert (x == at[0] + 0.125 or math.isnan(x)) and y == at[1]
        assert world.contacts == []

    def test_off_the_map_the_bodies_still_push(self, world):
        mover = world.add(body(-3, -3, velocity=(0, 0)))
        other = world.add(body(-2.6, -3))
        assert moved(world, mover, (0.1, 0)) == pytest.approx((-3.1, -3.0))
        assert world.contacts == [(mover, other)]

    def test_without_a_body_system_only_walls_count(self, world):
        world.movement._cbs = None
        world.movement._level = level(blocks=[(0, 2)])
        mover = world.add(body(1.1, 2.5, velocity=(0, 0)))
        world.add(body(1.1, 2.5))
        moved(world, mover, (0, 0))
        assert world.contacts == [(mover, None)] * 3


class TestHandlers:
    def test_handlers_see_the_mover_where_it_was(self, world):
        mover = world.add(body(2, 2, velocity=(0, 0)))
        world.add(body(2.5, 2))
        seen = []
        world.engine.subscribeEvent(
            CollisionEvent, lambda event: seen.append(position(event.entity1)))
        moved(world, mover, (0.1, 0))
        assert seen == [(2.0, 2.0)]

    def test_a_failing_handler_leaves_the_mover_where_it_was(self, world, unraisable):
        mover = world.add(body(2, 2, velocity=(0, 0)))
        world.add(body(2.5, 2), body(2, 2.45))

        def failing(event):
            raise KeyError("handler")

        world.engine.subscribeEvent(CollisionEvent, failing)
        assert moved(world, mover, (0.1, 0)) == (2.0, 2.0)
        assert len(world.contacts) == 1  # the second body was not reached
        assert [str(u.object) for u in unraisable] == [STEP_CONTEXT]
        assert isinstance(unraisable[0].exc_value, KeyError)

    def test_no_engine_leaves_the_mover_where_it_was_once_it_touches(self, unraisable):
        ecs = Ecs(None)
        movement = MovementSystem(level())
        ecs.addSystem(movement)
        free, touching = body(1.5, 1.5, velocity=(1, 0)), body(5, 5, velocity=(0.1, 0))
        for entity in (free, touching, body(5.4, 5)):
            ecs.addEntity(entity)
        movement.update(1.0)
        assert position(free) == (2.5, 1.5) and position(touching) == (5.0, 5.0)
        assert [str(u.object) for u in unraisable] == [STEP_CONTEXT]
        assert "fireEvent" in str(unraisable[0].exc_value)

    def test_a_broken_pair_is_skipped_and_the_pass_goes_on(self, world, unraisable):
        mover = world.add(body(2, 2, velocity=(0, 0)))
        broken = world.add(body(2.2, 2))
        broken.getComponent(PositionComponent)._pos = None
        other = world.add(body(2.5, 2))
        moved(world, mover, (0.1, 0))
        assert world.contacts == [(mover, other)]
        assert [str(u.object) for u in unraisable] == ["quorvelin._collisionDist"]

    def test_a_body_without_a_position_ends_the_step(self, world, unraisable):
        mover = world.add(body(2, 2, velocity=(0, 0)))
        lacking = world.add(body(2.2, 2))
        world.movement.collisionBodySystem._entities.append(Entity())
        world.add(body(2.5, 2))
        lacking.removeComponentType(PositionComponent)
        world.movement.collisionBodySystem._entities.append(lacking)
        assert moved(world, mover, (0.1, 0)) == pytest.approx((2.0, 2.0))
        assert [str(u.object) for u in unraisable] == [STEP_CONTEXT]

    @pytest.mark.parametrize("plain", [True, False], ids=["Entity", "subclass"])
    def test_the_pass_walks_the_live_list(self, world, plain):
        """A handler that takes a body out of the Ecs makes the pass skip the one after."""
        cls = Entity if plain else type("Own", (Entity,), {})
        mover = world.add(body(2, 2, velocity=(0, 0), cls=cls))
        a, b, c = (world.add(body(x, 2.0, cls=cls)) for x in (2.4, 2.3, 2.35))

        def take_out(event):
            if event.entity2 is a:
                world.ecs.removeEntity(a)

        world.engine.subscribeEvent(CollisionEvent, take_out)
        moved(world, mover, (0, 0))
        assert [other for _, other in world.contacts] == [a, c]


class Own(Entity):
    """Answers getComponent by name: the movement step visits it the long way."""


def crowd(cls, seed):
    """A crowded walled level with triggers, flags, other radii and a few triangles."""
    rng = random.Random(seed)
    blocks = [(x, y) for x in range(12) for y in range(12) if x in (0, 11) or y in (0, 11)]
    blocks += [(rng.randrange(2, 10), rng.randrange(2, 10), rng.choice([1, 2, 3, 4, 5]))
               for _ in range(8)]
    world = World(level(12, 12, blocks))
    entities = []
    for i in range(60):
        flags = rng.choice([{}, {"has": ["a"]}, {"ignore": ["a"]}, {"has": [1, "b"], "ignore": ["b"]}])
        entity = body(rng.uniform(1, 11), rng.uniform(1, 11), rng.choice([0.25, 0.25, 0.4, 0.1]),
                      velocity=(rng.uniform(-3, 3), rng.uniform(-3, 3)),
                      trigger=rng.random() < 0.1, cls=cls, **flags)
        entity.getComponent(VelocityComponent).impulse = Vector2(rng.uniform(-1, 1), 0)
        entities.append(world.add(entity))
    for i in range(15):  # bodies that do not move
        entities.append(world.add(body(rng.uniform(1, 11), rng.uniform(1, 11), cls=cls)))
    return world, entities


@pytest.mark.parametrize("seed", range(4))
def test_snapshot_gives_the_contacts_and_positions_of_the_plain_walk(seed):
    """Plain entities go through the snapshot of the bodies; entities of a subclass are
    each visited the long way. Both give the same contacts in the same order and the same
    positions, to the bit."""
    fast, fast_entities = crowd(Entity, seed)
    slow, slow_entities = crowd(Own, seed)
    index = {id(entity): i for i, entity in enumerate(fast_entities)}
    index.update({id(entity): i for i, entity in enumerate(slow_entities)})
    for frame in range(30):
        fast.step(1 / 30)
        slow.step(1 / 30)
    assert [position(e) for e in fast_entities] == [position(e) for e in slow_entities]
    named = [[(index[id(a)], None if b is None else index[id(b)]) for a, b in w.contacts]
             for w in (fast, slow)]
    assert named[0] == named[1] and len(named[0]) > 50


def test_frames_driven_by_the_keyboard(engine):
    """Arrow keys pushed into SDL's queue, a game handler that sets the player's velocity,
    whole frames: the player walks east until the wall stops it, bumping into a body on
    the way; a move per frame below the radius keeps it out of the wall."""
    from engine import sdlinput
    import quorvelin

    world = World(level(8, 3, blocks=[(7, y) for y in range(3)]), engine)
    player = world.add(body(1.5, 1.5, velocity=(0, 0)))
    crate = world.add(body(4.0, 1.9))

    def steer(event):
        speed = {quorvelin.KEY_RIGHT: (3.0, 0.0), quorvelin.KEY_LEFT: (-3.0, 0.0)}
        if event.key in speed:
            player.getComponent(VelocityComponent).velocity = Vector2(*speed[event.key])

    engine.subscribeEvent(quorvelin.KeyEvent, steer)
    sdlinput.key_down(quorvelin.KEY_RIGHT)
    x = position(player)[0]
    for _ in range(100000):  # the engine's time step is the time its frames take
        engine.update()
        assert position(player)[0] >= x - 1e-9  # always east or pushed back a little
        x = position(player)[0]
        if (player, None) in world.contacts:
            break
    assert (player, crate) in world.contacts
    assert (player, None) in world.contacts
    assert 6.6 < position(player)[0] < 7.0
