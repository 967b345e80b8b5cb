"""Pickled state of the ten classes of the entity-component system: one table of
instances drives the round trips, the recipes and the checksum messages; the state
checks per field type and the sharing of copy.copy follow."""
import copy
import pickle

import pytest

import quorvelin
from quorvelin import (AbstractSystem, CollisionComponent, Ecs, Engine, Entity, PositionComponent,
                       RotationComponent, Sprite, SpriteAnimation, SpriteComponent, Texture,
                       Vector2, VelocityComponent)

CINIT = "no default __reduce__ due to non-trivial __cinit__"


def restored(cls, state):
    obj = cls.__new__(cls)
    obj.__setstate__(state)
    return obj


def walk():
    return SpriteAnimation("walk", 4, True, 2.5, 1, 2)


# name: (a picklable instance, its state, the fields of the checksum message)
TABLE = {
    "Entity": (lambda: Entity(5, CollisionComponent(0.5)), None, "0x5895e97 = (_components, _ecs, _id)"),
    "Ecs": (lambda: Ecs(None), (None, [], []), "0x7bb3303 = (_engine, _entities, _systems)"),
    "AbstractSystem": (lambda: AbstractSystem(int, str), (None, None, [], (int, str)),
                       "0x58db84f = (_ecs, _engine, _entities, _interestedComponentTypes)"),
    "PositionComponent": (lambda: restored(PositionComponent, (None,)), (None,),
                          "0x9cdffce = (_pos)"),
    "VelocityComponent": (lambda: restored(VelocityComponent, (0.5, None, None)), (0.5, None, None),
                          "0xf57cfdc = (_friction, _impulse, _velocity)"),
    "RotationComponent": (lambda: restored(RotationComponent, (None,)), (None,), "0x584e88a = (_dir)"),
    "CollisionComponent": (lambda: CollisionComponent(0.5, True, ["a"], []), (["a"], [], True, 0.5),
                           "0xf091f59 = (_hasFlags, _ignoreFlags, _isOnlyTrigger, _radius)"),
    "SpriteComponent": (lambda: SpriteComponent(None, True, 0.5, 2.0, 1),
                        (0.0, 0.0, 0.0, 1, None, 0, 0, 0, 0.0, 2.0, True, None, 0.5),
                        "0x81c6caf = (_angleToCam, _animationPercentage, _animationSpeed, "
                        "_blendMode, _currentAnimation, _currentDirections, _currentMaxFrame, "
                        "_currentMinFrame, _dist, _scale, _shadeless, _sprite, _zOffset)"),
    "Sprite": (lambda: restored(Sprite, ({"walk": walk()}, 16, None, 8, 4, 2)), None,
               "0xbcd1b8e = (_animations, _height, _texture, _width, _xFrames, _yFrames)"),
    "SpriteAnimation": (walk, (2, 4, "walk", True, 2.5, 1),
                        "0x7fe8901 = (_directions, _frameCount, _name, _oscillate, _speed, _startFrame)"),
}
NAMES = list(TABLE)


def state_of(obj):
    recipe = obj.__reduce__()
    return recipe[2] if len(recipe) == 3 else recipe[1][2]


def snapshot(value):
    """Engine objects as their class and state, all the way down, for comparing copies."""
    if type(value).__module__ == "quorvelin" and hasattr(value, "__reduce__") and \
            not isinstance(value, type):
        return type(value).__name__, snapshot(state_of(value))
    if isinstance(value, (tuple, list)):
        return type(value)(snapshot(item) for item in value)
    if isinstance(value, dict):
        return {key: snapshot(item) for key, item in value.items()}
    return value


@pytest.mark.parametrize("name", NAMES)
def test_round_trips(name):
    make, state, _ = TABLE[name]
    obj = make()
    if state is not None:
        assert state_of(obj) == state
    for clone in (pickle.loads(pickle.dumps(obj)), pickle.loads(pickle.dumps(obj, 0)),
                  copy.deepcopy(obj), copy.copy(obj)):
        assert type(clone) is type(obj) and clone is not obj
        assert snapshot(clone) == snapshot(obj)


@pytest.mark.parametrize("name", NAMES)
def test_checksum_messages(name):
    unpickle = getattr(quorvelin, "__pyx_unpickle_" + name)
    with pytest.raises(pickle.PickleError) as raised:
        unpickle(getattr(quorvelin, name), 1, None)
    assert str(raised.value) == f"Incompatible checksums (1 vs {TABLE[name][2]})"


@pytest.mark.parametrize("name", NAMES)
def test_python_subclass_keeps_its_attributes(name):
    own = type("Own" + name, (getattr(quorvelin, name),), {})
    globals()[own.__name__] = own  # where pickle looks it up
    obj = restored(own, state_of(TABLE[name][0]()))
    obj.note = [1, "kept"]
    clone = pickle.loads(pickle.dumps(obj))
    assert type(clone) is own and clone.note == [1, "kept"]
    assert len(obj.__reduce__()[2]) == len(state_of(obj))  # the dictionary comes last


def test_recipe_shapes():
    empty = Sprite.__new__(Sprite).__reduce__()
    assert empty == (quorvelin.__pyx_unpickle_Sprite, (Sprite, 197991310, (None, 0, None, 0, 0, 0)))
    assert len(CollisionComponent().__reduce__()) == 3  # its lists are objects
    assert len(SpriteComponent().__reduce__()) == 2  # no sprite, no animation
    entity = quorvelin.__pyx_unpickle_Entity(Entity, 0x5895e97, None)
    assert (entity._components, entity._ecs, entity.id) == (None, None, 0)


def test_collision_lists_come_back_new_and_equal():
    c = CollisionComponent()
    c.hasFlags.append("wall")
    clone = pickle.loads(pickle.dumps(c))
    assert clone.hasFlags == ["wall"] and clone.hasFlags is not c.hasFlags


@pytest.mark.parametrize("make", [
    lambda texture: PositionComponent(),
    lambda texture: VelocityComponent(),
    lambda texture: RotationComponent(Vector2(0, 1)),
    lambda texture: Sprite(texture, 1, 1, []),
    lambda texture: SpriteComponent(Sprite(texture, 1, 1, [walk()])),
    lambda texture: Ecs(Engine()),
    lambda texture: Entity(-1, PositionComponent()),
], ids=["position", "velocity", "rotation", "sprite", "sprite component", "ecs", "entity"])
def test_what_refers_to_vectors_textures_or_engines_does_not_pickle(make):
    obj = make(Texture(4, 4))
    for attempt in (lambda: pickle.dumps(obj), lambda: copy.deepcopy(obj)):
        with pytest.raises(TypeError, match=CINIT):
            attempt()
    clone = copy.copy(obj)  # the same field objects, shared
    assert all(a is b for a, b in zip(state_of(clone), state_of(obj))
               if not isinstance(a, (int, float)))


def test_an_entity_in_an_ecs_pickles_with_its_ecs():
    ecs, system = Ecs(None), AbstractSystem(CollisionComponent)
    ecs.addSystem(system)
    entity = Entity(3, CollisionComponent())
    ecs.addEntity(entity)
    clone = pickle.loads(pickle.dumps(entity))
    assert clone._ecs.getEntities() == [clone] and clone._ecs.getSystems()[0].entities == [clone]


# --- filling an object from a state -----------------------------------------------------------------

@pytest.mark.parametrize("name, position, value, error, message", [
    ("Entity", 0, [], TypeError, "Expected dict, got list"),
    ("Entity", 0, type("D", (dict,), {})(), TypeError, "Expected dict, got D"),
    ("Entity", 1, "ecs", TypeError, "Cannot convert str to quorvelin.Ecs"),
    ("Entity", 2, 2 ** 63, OverflowError, None),
    ("Entity", 2, "1", TypeError, "an integer is required"),
    ("SpriteAnimation", 2, b"walk", TypeError, "Expected unicode, got bytes"),
    ("SpriteAnimation", 1, 2 ** 31, OverflowError, "value too large to convert to int"),
    ("SpriteComponent", 3, -1, OverflowError, "can't convert negative value to __pyx_t_9quorvelin_BlendMode"),
    ("SpriteComponent", 3, 2 ** 32, OverflowError, None),
    ("SpriteComponent", 4, walk, TypeError, "Cannot convert function to quorvelin.SpriteAnimation"),
    ("SpriteComponent", 11, Vector2(1, 1), TypeError, "Cannot convert quorvelin.Vector2 to quorvelin.Sprite"),
    ("SpriteComponent", 0, "far", TypeError, "must be real number"),
    ("Sprite", 0, [], TypeError, "Expected dict, got list"),
    ("Sprite", 2, 5, TypeError, "Cannot convert int to quorvelin.Texture"),
    ("CollisionComponent", 1, (), TypeError, "Expected list, got tuple"),
    ("PositionComponent", 0, (1, 2), TypeError, "Cannot convert tuple to quorvelin.Vector2"),
    ("AbstractSystem", 3, [int], TypeError, "Expected tuple, got list"),
])
def test_state_fields_are_checked_by_type(name, position, value, error, message):
    obj = TABLE[name][0]()
    state = list(state_of(obj))
    before = snapshot(obj)
    state[position] = value
    with pytest.raises(error) as raised:
        obj.__setstate__(tuple(state))
    if message:
        assert message in str(raised.value)
    if position == 0:
        assert snapshot(obj) == before  # the first field failed: nothing changed


def test_a_fill_stops_at_the_failing_field():
    entity = Entity(7)
    components = {}
    with pytest.raises(TypeError, match="Cannot convert int to quorvelin.Ecs"):
        entity.__setstate__((components, 5, 1))
    assert entity._components is components and entity.id == 7


@pytest.mark.parametrize("state, error, message", [
    ((), IndexError, None),
    (None, TypeError, "'NoneType' object is not subscriptable"),
    ([None], TypeError, "Expected tuple, got list"),
])
def test_state_shapes(state, error, message):
    position = PositionComponent()
    with pytest.raises(error) as raised:
        position.__setstate__(state)
    if message:
        assert str(raised.value) == message
    position.__setstate__((None,))
    assert position.pos is None
