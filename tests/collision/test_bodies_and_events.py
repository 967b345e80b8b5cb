"""CollisionBodySystem's ray queries, CollisionEvent, and the pickled state of the three
collision classes."""
import pickle

import pytest

import quorvelin
from quorvelin import (CollisionBodySystem, CollisionComponent, CollisionEvent, Ecs, Engine,
                       Entity, MovementSystem, PositionComponent, Vector2)

from .conftest import body, reference_trace


def replace(entity, component):
    entity.removeComponentType(type(component))
    entity.addComponent(component)


def system_of(*circles):
    system = CollisionBodySystem()
    entities = [body(x, y, radius) for x, y, radius in circles]
    system._entities.extend(entities)
    return system, entities


CIRCLES = [(5.0, 1.0, 0.7), (3.0, 2.2, 0.3), (8.25, 3.5, 1.1), (-2.0, 0.5, 0.5), (4.1, 1.3, 0.25)]


@pytest.mark.parametrize("pos, direction, max_dist", [
    ((0.5, 1.1), (1.0, 0.05), 20.0),
    ((0.1, 0.7), (3.0, 1.0), 9.0),
    ((5.0, 1.0), (0.3, -1.0), 4.0),      # from inside a body
    ((10.0, 4.0), (-1.0, -0.4), 30.0),
    ((3.0, 0.0), (0.0, 1.0), 2.3),
], ids=["east", "north-east", "from inside", "west", "south"])
def test_trace_matches_single_precision_arithmetic(pos, direction, max_dist):
    system, entities = system_of(*CIRCLES)
    result = system.traceEntities(Vector2(*pos), Vector2(*direction), max_dist)
    expected = reference_trace(CIRCLES, pos, direction, max_dist)
    assert [(entities.index(e), d) for e, d in result] == expected
    assert expected  # every ray meets something


class TestTrace:
    def test_from_the_centre_the_distance_is_the_radius(self):
        system, (a,) = system_of((2.0, 2.0, 0.75))
        [(entity, dist)] = system.traceEntities(Vector2(2, 2), Vector2(0, 3), 5)
        assert entity is a and dist == pytest.approx(0.75, rel=1e-6)

    @pytest.mark.parametrize("pos, direction, max_dist", [
        ((0, 0), (0, 0), 10.0),       # no direction
        ((0, 0), (1, 0), 0.0003),     # a maxDist whose square is below 1e-07
        ((0, 0), (1, 0), -5.0),
        ((4, 0), (1, 0), 10.0),       # on the boundary heading in: the entry root is 0
        ((0, 0), (-1, 0), 10.0),      # the body lies behind
        ((0, 0), (1, 0), 4.0),        # the entry point lies exactly at maxDist
        ((0, 1.5), (1, 0), 10.0),     # passes beside
    ], ids=["zero dir", "tiny maxDist", "negative maxDist", "boundary", "behind",
            "at maxDist", "beside"])
    def test_nothing_reported(self, pos, direction, max_dist):
        system, _ = system_of((5.0, 0.0, 1.0))
        assert system.traceEntities(Vector2(*pos), Vector2(*direction), max_dist) == []

    def test_just_inside_max_dist_and_a_tangent_are_reported(self):
        system, (a,) = system_of((5.0, 0.0, 1.0))
        assert [e for e, _ in system.traceEntities(Vector2(0, 0), Vector2(1, 0), 4.01)] == [a]
        [(entity, dist)] = system.traceEntities(Vector2(0, 1), Vector2(1, 0), 10)
        assert entity is a and dist == pytest.approx(5.0)

    def test_order_triggers_and_equal_distances(self):
        system, (far, near, twin, trigger) = system_of(
            (6.0, 0.0, 0.5), (3.0, 0.0, 0.5), (3.0, 0.0, 0.5), (1.0, 0.0, 0.25))
        trigger.getComponent(CollisionComponent).isOnlyTrigger = True
        result = system.traceEntities(Vector2(0, 0), Vector2(2, 0), 10)
        assert [e for e, _ in result] == [trigger, near, twin, far]
        assert result[1][1] == result[2][1] == pytest.approx(2.5)

    def test_the_direction_is_normalised_in_place(self):
        system, _ = system_of((5.0, 0.0, 1.0))
        direction = Vector2(3, 4)
        system.traceEntities(Vector2(0, 0), direction, 1.0)
        assert direction.length == pytest.approx(1.0) and direction.x == pytest.approx(0.6)

    @pytest.mark.parametrize("args, error", [
        ((5, Vector2(3, 4), 1.0), "Argument 'pos' has incorrect type"),
        ((Vector2(0, 0), Vector2(3, 4), "far"), "must be real number"),
        ((Vector2(0, 0), Vector2(3, 4)), "takes exactly 3 positional arguments"),
    ], ids=["pos", "maxDist", "count"])
    def test_argument_errors_come_before_the_direction_changes(self, args, error):
        system, _ = system_of((5.0, 0.0, 1.0))
        with pytest.raises(TypeError, match=error):
            system.traceEntities(*args)
        if len(args) > 1:
            assert (args[1].x, args[1].y) == (3, 4)

    @pytest.mark.parametrize("spoil, error", [
        (lambda s: s._entities.append(Entity()), AttributeError),
        (lambda s: setattr(s, "_entities", None), TypeError),
        (lambda s: setattr(s._entities[0].getComponent(PositionComponent), "_pos", None),
         AttributeError),
    ], ids=["body without components", "no list", "position None"])
    def test_errors_while_walking_the_bodies(self, spoil, error):
        system, _ = system_of((5.0, 0.0, 1.0))
        spoil(system)
        direction = Vector2(0, 2)
        with pytest.raises(error):
            system.traceEntities(Vector2(0, 0), direction, 10)
        assert (direction.x, direction.y) == (0, 1)

    @pytest.mark.parametrize("change", [
        lambda e: replace(e, CollisionComponent(2.0)),
        lambda e: replace(e, PositionComponent(Vector2(5.0, 0.0))),
        lambda e: setattr(e.getComponent(CollisionComponent), "radius", 2.0),
        lambda e: setattr(e.getComponent(PositionComponent).pos, "y", 0.0),
        lambda e: setattr(e.getComponent(PositionComponent), "pos", Vector2(5.0, 0.0)),
    ], ids=["new body", "new position", "radius", "vector moved", "new vector"])
    def test_a_later_query_sees_what_changed_since_the_last(self, change):
        system, (a,) = system_of((5.0, 1.5, 1.0))
        assert system.traceEntities(Vector2(0, 0), Vector2(1, 0), 10) == []
        change(a)
        [(entity, dist)] = system.traceEntities(Vector2(0, 0), Vector2(1, 0), 10)
        assert entity is a and 2.9 < dist < 4.1

    def test_a_later_query_sees_bodies_replaced_and_components_taken_away(self):
        system, (a, b) = system_of((5.0, 0.0, 1.0), (9.0, 0.0, 1.0))
        assert [e for e, _ in system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)] == [a, b]
        del a
        system._entities[0] = body(7.0, 0.0, 1.0)  # a new entity in the first body's place
        new = system._entities[0]
        assert [e for e, _ in system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)] == [new, b]
        b.removeComponentType(CollisionComponent)
        with pytest.raises(AttributeError, match="_radius"):
            system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)

    def test_update_does_nothing(self):
        system, entities = system_of((5.0, 0.0, 1.0))
        assert system.update("anything") is None
        assert system.entities == entities

    def test_documentation(self):
        assert CollisionBodySystem.__doc__.splitlines()[1].strip().startswith(
            "This system is a helper for the MovementSystem.")
        lines = CollisionBodySystem.traceEntities.__doc__.split("\n")
        assert lines[0] == "" and lines[-1].strip() == ""
        assert lines[1].strip() == \
            "Casts a ray from <code>pos</code> in the direction <code>dir</code>."
        assert [line.strip() for line in lines[-5:-1]] == [
            "@param(pos, Vector2)", "@param(dir, Vector2)", "@param(maxDist, float)",
            "@returns(list)"]


class TestCollisionEvent:
    def test_fields(self):
        a, b = Entity(), type("Own", (Entity,), {})()
        event = CollisionEvent(entity2=b, entity1=a)
        assert event.entity1 is a and event.entity2 is b and event.isAlreadyHandled is False
        assert CollisionEvent(a, None).entity2 is None

    @pytest.mark.parametrize("args, message", [
        ((Entity(),), r"__init__\(\) takes exactly 2 positional arguments \(1 given\)"),
        ((Entity(), 5), r"Argument 'entity2' has incorrect type \(expected quorvelin.Entity, "
                        r"got int\)"),
    ])
    def test_wrong_arguments(self, args, message):
        with pytest.raises(TypeError, match=message):
            CollisionEvent(*args)

    def test_read_only_and_undeletable(self):
        event = CollisionEvent(None, None)
        with pytest.raises(AttributeError):
            event.entity1 = Entity()
        with pytest.raises(NotImplementedError, match="__del__"):
            del event.isAlreadyHandled
        event.isAlreadyHandled = [1]
        assert event.isAlreadyHandled is True

    def test_delivered_only_to_its_own_subscribers(self):
        engine, seen = Engine(), []
        engine.subscribeEvent(quorvelin.Event, seen.append)
        engine.fireEvent(CollisionEvent(None, None))
        assert seen == []


# --- pickling -------------------------------------------------------------------------------

def test_an_event_without_entities_travels_in_the_reconstructor_arguments():
    event = CollisionEvent(None, None)
    function, arguments = event.__reduce__()
    assert function is quorvelin.__pyx_unpickle_CollisionEvent
    assert arguments == (CollisionEvent, 0xe823e08, (None, None, False))
    assert pickle.loads(pickle.dumps(event)).entity1 is None


def test_an_event_with_entities_restores_the_copies_of_them():
    a, b = Entity(3), Entity(4)
    event = CollisionEvent(a, b)
    event.isAlreadyHandled = True
    a2, b2, copy = pickle.loads(pickle.dumps((a, b, event)))
    assert copy.entity1 is a2 and copy.entity2 is b2 and a2.id == 3
    assert copy.isAlreadyHandled is True


def test_systems_round_trip():
    movement = MovementSystem(None)
    restored = pickle.loads(pickle.dumps(movement))
    state = restored.__reduce__()[2]
    assert state[6] == [0, -1, 1, 0, 0, 1, -1, 0, 0.707107, 0.707107, -0.707107, -0.707107,
                        -0.707107, 0.707107, 0.707107, -0.707107]
    assert type(restored.collisionBodySystem) is CollisionBodySystem
    bodies = pickle.loads(pickle.dumps(CollisionBodySystem()))
    assert bodies._interestedComponentTypes == (PositionComponent, CollisionComponent)
    empty = MovementSystem.__new__(MovementSystem)
    assert empty.__reduce__()[1][2][6] == [0.0] * 16 and empty._cbs is None


def test_a_system_attached_to_an_engine_refuses_pickling():
    engine = Engine()
    movement = MovementSystem(None)
    engine.ecs.addSystem(movement)
    with pytest.raises(TypeError, match="no default __reduce__"):
        pickle.dumps(movement)


PROBES = [0.0] * 16


@pytest.mark.parametrize("restore, error, message", [
    (lambda: quorvelin.__pyx_unpickle_CollisionEvent(CollisionEvent, 1, None), pickle.PickleError,
     r"Incompatible checksums \(1 vs 0xe823e08 = \(_entity1, _entity2, _isAlreadyHandled\)\)"),
    (lambda: quorvelin.__pyx_unpickle_CollisionBodySystem(CollisionBodySystem, 7, None),
     pickle.PickleError, r"Incompatible checksums \(7 vs 0x58db84f = \(_ecs, _engine, "
                         r"_entities, _interestedComponentTypes\)\)"),
    (lambda: quorvelin.__pyx_unpickle_MovementSystem(MovementSystem, 93173839, None),
     pickle.PickleError, r"Incompatible checksums \(93173839 vs 0x43337b0 = \(_cbs, _ecs, "
                         r"_engine, _entities, _interestedComponentTypes, _level, "
                         r"_normalVectorComponents\)\)"),
    (lambda: CollisionEvent(None, None).__setstate__((5, None, False)), TypeError,
     "Cannot convert int to quorvelin.Entity"),
    (lambda: CollisionBodySystem().__setstate__((None, None, (), None)), TypeError,
     "Expected list, got tuple"),
    (lambda: MovementSystem(None).__setstate__([]), TypeError, "Expected tuple, got list"),
    (lambda: MovementSystem(None).__setstate__((Ecs(None), None, None, [], (), None, PROBES)),
     TypeError, "Cannot convert quorvelin.Ecs to quorvelin.CollisionBodySystem"),
    (lambda: MovementSystem(None).__setstate__((None, None, None, [], (), None, PROBES[1:])),
     IndexError, "not enough values found during array assignment, expected 16, got 15"),
    (lambda: MovementSystem(None).__setstate__((None, None, None, [], (), None, PROBES + [1])),
     IndexError, r"too many values found during array assignment, expected 16$"),
    (lambda: MovementSystem(None).__setstate__((None, None, None, [], (), None, ["a"] * 16)),
     TypeError, "must be real number"),
], ids=["event checksum", "bodies checksum", "movement checksum", "event entity",
        "bodies list", "movement state", "movement _cbs", "15 probes", "17 probes",
        "probe not a number"])
def test_restoring_refuses(restore, error, message):
    with pytest.raises(error, match=message):
        restore()


def test_probes_come_from_any_iterable_of_sixteen_numbers():
    movement = MovementSystem(None)
    movement.__setstate__((None, None, None, [], (), None, (float(i) for i in range(16))))
    assert movement.__reduce__()[2][6] == [float(i) for i in range(16)]
