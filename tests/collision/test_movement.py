"""The movement step: impulse decay, the move, plain moves without a collision body, and
the body system kept beside the movement system in its Ecs."""
import math

import pytest

from quorvelin import (AbstractSystem, CollisionBodySystem, CollisionComponent, Ecs, Engine,
                       Entity, MovementSystem, PositionComponent, Vector2, VelocityComponent)

from .conftest import World, body, level, position


def mover(velocity=(0, 0), impulse=(0, 0), friction=2.0, at=(5, 5)):
    return Entity(-1, PositionComponent(Vector2(*at)),
                  VelocityComponent(Vector2(*velocity), Vector2(*impulse), friction))


@pytest.mark.parametrize("impulse, friction, step, expected, same_object", [
    ((0.0001, 0), 2.0, 1 / 60, (0, 0), True),       # exactly 0.0001: zeroed in place
    ((0.00011, 0), 2.0, 1 / 60, (0, 0), True),      # the friction step (1/30) is longer
    ((2, 0), 2.0, 0.5, (1, 0), False),              # a new vector, the old one unchanged
    ((2, 0), -2.0, 0.5, (1, 0), False),             # the sign of the friction is ignored
    ((0, 3), 0.0, 0.5, (0, 3), False),              # no friction: same value, new object
    ((0, 3), 2.0, 0.0, (0, 3), False),              # a time step of 0 changes no value
    ((0.00005, 0), 2.0, 0.0, (0, 0), True),         # ... but a tiny impulse still stops
], ids=["exactly 0.0001", "shorter than its step", "decays", "negative friction",
        "no friction", "zero time step", "tiny at zero time step"])
def test_impulse_decay(impulse, friction, step, expected, same_object):
    entity = mover(impulse=impulse, friction=friction)
    velocity = entity.getComponent(VelocityComponent)
    before = velocity.impulse
    MovementSystem(None)._updateEntity(entity, step)
    after = velocity.impulse
    assert (after.x, after.y) == pytest.approx(expected, abs=1e-15)
    assert (after is before) == same_object
    if not same_object:
        assert (before.x, before.y) == impulse  # the old object keeps its value


def test_the_move_is_velocity_plus_decayed_impulse_over_the_step():
    entity = mover(velocity=(1, 0), impulse=(2, 0), friction=2.0, at=(3, 4))
    held = entity.getComponent(PositionComponent).pos
    velocity = entity.getComponent(VelocityComponent).velocity
    MovementSystem(None)._updateEntity(entity, 0.5)
    assert position(entity) == (4.0, 4.0)  # move (1 + 1) * 0.5
    assert entity.getComponent(PositionComponent).pos is held  # changed in place
    assert (velocity.x, velocity.y) == (1, 0)


def test_an_entity_without_a_body_passes_through_walls_and_bodies():
    world = World(level(blocks=[(5, y) for y in range(10)]))
    ghost = world.add(mover(velocity=(2, 0), at=(4.5, 5.5)))
    world.add(body(5.6, 5.5), body(6.5, 5.5))
    world.step(1.0)
    assert position(ghost) == (6.5, 5.5)
    assert world.contacts == []


@pytest.mark.parametrize("call, message", [
    (lambda: MovementSystem(5), "Argument 'level' has incorrect type"),
    (lambda: MovementSystem(None)._setEcs(5), "Argument 'ecs' has incorrect type"),
    (lambda: MovementSystem(None)._setEngine(Ecs(None)), "Argument 'engine' has incorrect type"),
    (lambda: setattr(MovementSystem(None), "_level", 5), "Cannot convert int"),
    (lambda: setattr(MovementSystem(None), "_cbs", Ecs(None)), "Cannot convert quorvelin.Ecs"),
    (lambda: MovementSystem(), "takes exactly 1 positional argument"),
], ids=["level", "ecs", "engine", "_level", "_cbs", "no level"])
def test_wrong_arguments(call, message):
    with pytest.raises(TypeError, match=message):
        call()


def test_properties():
    walls = level()
    movement = MovementSystem(level=walls)
    assert movement._level is walls
    assert type(movement.collisionBodySystem) is CollisionBodySystem
    assert movement._cbs is movement.collisionBodySystem
    assert movement._interestedComponentTypes == (PositionComponent, VelocityComponent)
    assert movement.collisionBodySystem._interestedComponentTypes == (PositionComponent,
                                                                      CollisionComponent)
    with pytest.raises(AttributeError):
        movement.collisionBodySystem = CollisionBodySystem()
    del movement._level, movement._cbs
    assert movement._level is None and movement.collisionBodySystem is None
    assert not hasattr(movement, "_normalVectorComponents")
    assert "PositionComponent" in MovementSystem.__doc__ and "CollisionComponent" in \
        MovementSystem.__doc__


class TestTheBodySystemStaysBesideIt:
    def test_added_right_after_it_and_given_the_engine(self):
        engine = Engine()
        movement = MovementSystem(None)
        engine.ecs.addSystem(movement)
        bodies = movement.collisionBodySystem
        assert engine.ecs.getSystems() == [movement, bodies]
        assert bodies.getEcs() is engine.ecs and bodies.getEngine() is engine

    def test_added_again_it_moves_to_the_end(self):
        ecs, movement, other = Ecs(None), MovementSystem(None), AbstractSystem(int)
        ecs.addSystem(movement)
        ecs.addSystem(movement)
        assert ecs.getSystems() == [movement, movement.collisionBodySystem]
        ecs.addSystem(other)
        ecs.addSystem(movement)
        assert ecs.getSystems() == [movement, other, movement.collisionBodySystem]

    def test_follows_it_to_another_ecs_and_out(self):
        first, second = Ecs(Engine()), Ecs(None)
        movement = MovementSystem(None)
        bodies = movement.collisionBodySystem
        entity = body(1, 1)
        first.addEntity(entity)
        first.addSystem(movement)
        assert bodies.entities == [entity]
        second.addSystem(movement)
        # The body system leaves the old Ecs; the movement system is listed by both.
        assert first.getSystems() == [movement] and second.getSystems() == [movement, bodies]
        assert bodies.entities == [] and bodies.getEcs() is second
        second.removeSystem(movement)
        assert second.getSystems() == []
        assert bodies.getEcs() is None and bodies.getEngine() is None

    def test_without_a_body_system_only_the_movement_system_is_added(self):
        ecs, movement = Ecs(Engine()), MovementSystem(None)
        movement._cbs = None
        ecs.addSystem(movement)
        movement._setEngine(None)
        assert ecs.getSystems() == [movement]
        entity = ecs.addEntity(body(1, 1, velocity=(1, 0))) or ecs.getEntities()[0]
        movement.update(1.0)  # no bodies to test against
        assert position(entity) == (2.0, 1.0)


class TestErrorsOutsideTheCollisionStepPropagate:
    @pytest.mark.parametrize("entity, error", [
        (Entity(), "'NoneType' object has no attribute 'impulse'"),
        (Entity(-1, VelocityComponent()), "'NoneType' object has no attribute 'pos'"),
        (Entity(-1, PositionComponent(), VelocityComponent(None, Vector2(0, 0), 1.0)), None),
    ], ids=["bare entity", "no position", "complete"])
    def test_missing_components(self, entity, error):
        movement = MovementSystem(None)
        if error is None:
            movement._updateEntity(entity, 0.1)
            return
        with pytest.raises(AttributeError, match=error):
            movement._updateEntity(entity, 0.1)

    def test_a_component_of_another_class_under_the_key(self):
        entity = mover()
        entity._components[PositionComponent] = VelocityComponent()
        with pytest.raises(TypeError, match="Cannot convert quorvelin.VelocityComponent to "
                                            "quorvelin.PositionComponent"):
            MovementSystem(None)._updateEntity(entity, 0.1)

    def test_an_impulse_of_none(self):
        entity = mover()
        entity.getComponent(VelocityComponent).impulse = None
        with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'length'"):
            MovementSystem(None)._updateEntity(entity, 0.1)

    def test_a_non_entity_in_the_members(self):
        movement = MovementSystem(None)
        movement._entities.append(object())
        with pytest.raises(AttributeError, match="getComponent"):
            movement.update(0.1)

    def test_a_time_step_that_is_not_a_number(self):
        with pytest.raises(TypeError):
            MovementSystem(None)._updateEntity(mover(), "x")


def test_update_walks_a_copy_of_the_members_in_order():
    movement = MovementSystem(None)
    ecs = Ecs(None)
    ecs.addSystem(movement)
    log = []

    class Logged(Entity):
        def getComponent(self, componentType):
            log.append((self.id, componentType.__name__))
            if componentType is PositionComponent and self.id == 1:
                movement._entities.clear()  # changes to the list do not reach this pass
            return Entity.getComponent(self, componentType)

    for number in (1, 2):
        ecs.addEntity(Logged(number, PositionComponent(), VelocityComponent()))
    movement.update(0.1)
    assert [entry for entry in log if entry[1] == "PositionComponent"] == [
        (1, "PositionComponent"), (2, "PositionComponent")]


def test_a_subclass_overrides_update_entity_by_name():
    seen = []

    class Counting(MovementSystem):
        def _updateEntity(self, entity, timeStep):
            seen.append(entity)
            MovementSystem._updateEntity(self, entity, timeStep)

    ecs = Ecs(None)
    movement = Counting(None)
    ecs.addSystem(movement)
    entity = ecs.addEntity(mover(velocity=(1, 0), at=(0, 0))) or ecs.getEntities()[0]
    movement.update(2.0)
    assert seen == [entity] and position(entity) == (2.0, 0.0)
    assert math.isclose(2.0, position(entity)[0])
