"""Position, velocity, rotation and collision components: constructors, shared vectors,
properties and their deletion rules, and the level-file form read from and written to
real JSON text."""
import json

import pytest

from quorvelin import (CollisionComponent, PositionComponent, RotationComponent, Vector2,
                       VelocityComponent)


def through_json(component, form):
    """Loads `form` as a level file would hand it over, then dumps it back as text."""
    component.loadFromDict(None, json.loads(json.dumps(form)))
    return json.loads(json.dumps(component.dumpToDict(None)))


def vector(v):
    return (v.x, v.y)


class TestConstruction:
    def test_defaults_make_a_vector_for_each_component(self):
        a, b = PositionComponent(), PositionComponent()
        assert vector(a.pos) == (0, 0) and a.pos is not b.pos
        assert vector(RotationComponent().dir) == (1, 0)
        speed = VelocityComponent(friction=0.5)
        assert (vector(speed.velocity), vector(speed.impulse), speed.friction) == ((0, 0), (0, 0), 0.5)
        collision = CollisionComponent()
        assert (collision.radius, collision.isOnlyTrigger, collision.hasFlags,
                collision.ignoreFlags) == (0.25, False, [], [])

    def test_vectors_are_shared_never_copied(self):
        v = Vector2(1, 2)
        a, b = PositionComponent(v), PositionComponent(pos=v)
        v.x = 5
        a.y = 7
        assert a.pos is v and (b.x, b.y) == (5, 7)
        speed = VelocityComponent(v, v)
        speed.x = -1
        assert speed.impulse.x == -1  # one vector: velocity and impulse move together
        turn = RotationComponent()
        turn.dir = v
        assert turn._dir is v

    def test_collision_components_without_flags_get_lists_of_their_own(self):
        a, b = CollisionComponent(), CollisionComponent(0.5)
        a.hasFlags.append("wall")
        assert b.hasFlags == [] and a.ignoreFlags is not b.ignoreFlags
        flags = ["x"]
        assert CollisionComponent(hasFlags=flags).hasFlags is flags

    @pytest.mark.parametrize("make, message", [
        (lambda: PositionComponent(5), "Argument 'pos' has incorrect type (expected quorvelin.Vector2, got int)"),
        (lambda: VelocityComponent(impulse="x"), "Argument 'impulse' has incorrect type"),
        (lambda: RotationComponent(dir=(1, 0)), "Argument 'dir' has incorrect type"),
        (lambda: VelocityComponent(friction="x"), "must be real number, not str"),
        (lambda: PositionComponent(None, None), "takes at most 1 positional argument (2 given)"),
        (lambda: CollisionComponent(hasFlags=(1,)), "Expected list, got tuple"),
    ])
    def test_refused_arguments(self, make, message):
        with pytest.raises(TypeError) as raised:
            make()
        assert message in str(raised.value)

    def test_a_refused_flag_list_comes_after_the_radius_and_trigger(self):
        collision = CollisionComponent()
        with pytest.raises(TypeError, match="Expected list, got tuple"):
            collision.__init__(0.75, True, [], ())
        assert (collision.radius, collision.isOnlyTrigger) == (0.75, True)


class TestProperties:
    @pytest.mark.parametrize("component, shared, other", [
        (PositionComponent, "pos", None),
        (VelocityComponent, "velocity", "impulse"),
        (RotationComponent, "dir", None),
    ])
    def test_vector_properties(self, component, shared, other):
        c, v = component(), Vector2(3, 4)
        for name in filter(None, (shared, other)):
            setattr(c, name, v)
            assert getattr(c, name) is v and getattr(c, "_" + name) is v
            with pytest.raises(TypeError, match="Cannot convert tuple to quorvelin.Vector2"):
                setattr(c, name, (1, 2))
            with pytest.raises(NotImplementedError, match="__del__"):
                delattr(c, name)
            delattr(c, "_" + name)
            assert getattr(c, name) is None

    @pytest.mark.parametrize("component", [PositionComponent, VelocityComponent])
    def test_shortcuts_through_a_missing_vector(self, component):
        c = component()
        c.__setstate__((None,) if component is PositionComponent else (1.0, None, None))
        for read in (lambda: c.x, lambda: setattr(c, "y", 1.0)):
            with pytest.raises(AttributeError, match="'NoneType' object has no attribute"):
                read()
        with pytest.raises(AttributeError):
            c.dumpToDict(None)
        with pytest.raises(NotImplementedError, match="__del__"):
            del c.x

    def test_number_and_flag_properties(self):
        collision = CollisionComponent()
        collision.radius = 2
        collision.isOnlyTrigger = "yes"
        collision._ignoreFlags = None
        assert (collision._radius, collision._isOnlyTrigger, collision.ignoreFlags) == (2.0, True, None)
        speed = VelocityComponent()
        speed._friction = 1
        assert speed.friction == 1.0
        for target, name in ((collision, "radius"), (collision, "_isOnlyTrigger"),
                             (collision, "hasFlags"), (speed, "friction")):
            with pytest.raises(NotImplementedError, match="__del__"):
                delattr(target, name)
        with pytest.raises(TypeError, match="Expected list, got tuple"):
            collision.hasFlags = ()


class TestLevelForm:
    @pytest.mark.parametrize("component, form, dumped", [
        (PositionComponent, {"x": 1.5, "y": -2, "extra": 1}, {"x": 1.5, "y": -2.0}),
        (RotationComponent, {"x": 0, "y": 3}, {"x": 0.0, "y": 3.0}),
        (VelocityComponent, {"x": 1, "y": 2}, {"x": 1.0, "y": 2.0, "friction": 2.0}),
        (VelocityComponent, {"x": 1, "y": 2, "impulse": {"x": 3, "y": -1}, "friction": 0.5},
         {"x": 1.0, "y": 2.0, "friction": 0.5, "impulse": {"x": 3.0, "y": -1.0}}),
        # an impulse along one axis is written too
        (VelocityComponent, {"x": 0, "y": 0, "impulse": {"x": 3, "y": 0}},
         {"x": 0.0, "y": 0.0, "friction": 2.0, "impulse": {"x": 3.0, "y": 0.0}}),
        (CollisionComponent, {}, {"radius": 0.25, "isOnlyTrigger": False, "hasFlags": [],
                                  "ignoreFlags": []}),
        (CollisionComponent, {"radius": 1, "isOnlyTrigger": 1, "hasFlags": ["a"], "ignoreFlags": None},
         {"radius": 1.0, "isOnlyTrigger": True, "hasFlags": ["a"], "ignoreFlags": []}),
    ])
    def test_round_trip_through_json_text(self, component, form, dumped):
        result = through_json(component(), form)
        assert result == dumped and list(result) == list(dumped)
        assert through_json(component(), result) == dumped

    def test_the_held_vectors_change_in_place(self):
        v, impulse = Vector2(0, 0), Vector2(5, 5)
        speed = VelocityComponent(v, impulse, 3.0)
        speed.loadFromDict(level=None, input={"x": 1, "y": 2})
        assert speed.velocity is v and vector(v) == (1, 2)
        assert vector(impulse) == (5, 5) and speed.friction == 3.0  # missing: unchanged

    def test_collision_lists_from_the_input_are_kept_and_missing_ones_are_new(self):
        flags = ["wall"]
        collision = CollisionComponent(0.5, True, [1], [2])
        collision.loadFromDict(None, {"hasFlags": flags, "ignoreFlags": 0})
        assert collision.hasFlags is flags and collision.ignoreFlags == []
        assert (collision.radius, collision.isOnlyTrigger) == (0.25, False)
        assert collision.dumpToDict(None)["hasFlags"] is flags

    @pytest.mark.parametrize("component, form, error, done", [
        (PositionComponent, {"y": 1}, KeyError, {"x": 0.0}),
        (PositionComponent, {"x": 4, "z": 1}, KeyError, {"x": 4.0}),
        (VelocityComponent, {"x": 1, "y": 2, "impulse": {"x": 3}}, KeyError,
         {"x": 1.0, "y": 2.0, "impulse.x": 3.0}),
        (VelocityComponent, {"x": 1, "y": 2, "friction": "fast"}, TypeError, {"y": 2.0}),
        (CollisionComponent, {"radius": 2, "isOnlyTrigger": 1, "hasFlags": (1,)}, TypeError,
         {"radius": 2.0, "isOnlyTrigger": True}),
    ])
    def test_load_stops_at_the_first_error_and_keeps_what_it_stored(self, component, form, error,
                                                                     done):
        c = component()
        with pytest.raises(error):
            c.loadFromDict(None, form)
        for path, value in done.items():
            target = c
            for name in path.split("."):
                target = getattr(target, name)
            assert target == value

    def test_argument_counts(self):
        with pytest.raises(TypeError, match=r"loadFromDict\(\) takes exactly 2 positional arguments \(1 given\)"):
            PositionComponent().loadFromDict({"x": 1, "y": 1})
        with pytest.raises(TypeError, match=r"dumpToDict\(\) takes exactly one argument \(0 given\)"):
            PositionComponent().dumpToDict()
