"""Entity: components keyed by their exact class, the id, and how component changes
reach the Ecs and its systems; membership with engine entities, and the order of the
calls that the Ecs, its systems and entities make on each other when Python subclasses
override them."""
import pytest

from quorvelin import (AbstractSystem, Ecs, Entity, PositionComponent, RotationComponent,
                       SpriteComponent, VelocityComponent)


class SubPosition(PositionComponent):
    pass


class TestConstruction:
    def test_components_are_keyed_by_their_own_class_and_the_later_wins(self):
        first, second, turn = PositionComponent(), PositionComponent(), RotationComponent()
        entity = Entity(-1, first, turn, second)
        assert entity.id == -1 and entity._ecs is None
        assert entity._components == {PositionComponent: second, RotationComponent: turn}
        assert Entity().getComponent(PositionComponent) is None
        assert Entity(id=7).id == 7

    @pytest.mark.parametrize("args, kwargs, error, message", [
        ((PositionComponent(),), {}, ValueError, "Entity ID must be int"),
        ((True,), {}, ValueError, "Entity ID must be int"),
        ((5.0,), {}, ValueError, "Entity ID must be int"),
        ((type("Int", (int,), {})(3),), {}, ValueError, "Entity ID must be int"),
        ((2 ** 63,), {}, OverflowError, None),
        ((-2 ** 63 - 1,), {}, OverflowError, None),
        ((), {"kind": 1}, TypeError, "__init__() got an unexpected keyword argument 'kind'"),
        ((3,), {"id": 4}, TypeError, "got multiple values for keyword argument 'id'"),
    ])
    def test_refused_arguments(self, args, kwargs, error, message):
        with pytest.raises(error) as raised:
            Entity(*args, **kwargs)
        if message:
            assert message in str(raised.value)

    def test_ids_span_64_bits(self):
        assert Entity(2 ** 63 - 1).id == 2 ** 63 - 1 and Entity(-2 ** 63).id == -2 ** 63
        entity = Entity()
        entity._id = 9.7
        assert entity.id == 9
        with pytest.raises(TypeError, match="an integer is required"):
            entity._id = "9"
        with pytest.raises(AttributeError):
            entity.id = 3
        with pytest.raises(NotImplementedError, match="__del__"):
            del entity._id

    def test_identity_equality_and_hash(self):
        a, b = Entity(5), Entity(5)
        assert a != b and a == a and hash(a) == hash(a) and len({a, b}) == 2


class TestComponents:
    def test_exact_class_lookup(self):
        sub = SubPosition()
        entity = Entity(-1, sub)
        assert entity.getComponent(SubPosition) is sub
        assert entity.getComponent(PositionComponent) is None

    def test_adding_a_held_class_changes_nothing(self):
        first = PositionComponent()
        entity = Entity(-1, first)
        entity.addComponent(PositionComponent())
        assert entity.getComponent(PositionComponent) is first

    def test_removing_by_instance_removes_whatever_that_class_holds(self):
        entity = Entity(-1, PositionComponent(), RotationComponent())
        entity.removeComponent(PositionComponent())
        entity.removeComponent(VelocityComponent())  # not held: nothing happens
        assert list(entity._components) == [RotationComponent]
        entity.removeComponentType(RotationComponent)
        assert entity._components == {}

    def test_components_view_is_live_and_in_storing_order(self):
        position, turn, speed = PositionComponent(), RotationComponent(), VelocityComponent()
        entity = Entity(-1, position, turn)
        view = entity.getComponents()
        entity.addComponent(speed)
        entity.removeComponent(position)
        entity.addComponent(position)  # stored again: last
        assert list(view) == [turn, speed, position]

    def test_fields(self):
        entity = Entity()
        with pytest.raises(TypeError, match="Expected dict, got list"):
            entity._components = []
        with pytest.raises(TypeError, match="Cannot convert int to quorvelin.Ecs"):
            entity._ecs = 1
        entity._ecs = type("OwnEcs", (Ecs,), {})(None)
        del entity._ecs
        assert entity._ecs is None

    @pytest.mark.parametrize("operation", [
        lambda e: e.addComponent(PositionComponent()),
        lambda e: e.removeComponent(PositionComponent()),
        lambda e: e.removeComponentType(PositionComponent),
        lambda e: e.getComponent(PositionComponent),
    ])
    def test_component_operations_without_a_dict(self, operation):
        entity = Entity()
        del entity._components
        with pytest.raises(TypeError, match="'NoneType' object is not iterable"):
            operation(entity)

    def test_components_view_without_a_dict(self):
        entity = Entity.__new__(Entity)
        assert (entity._components, entity._ecs, entity.id) == (None, None, 0)
        with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'values'"):
            entity.getComponents()

    def test_unhashable_component_type(self):
        with pytest.raises(TypeError, match="unhashable"):
            Entity().getComponent([])


# --- membership ---------------------------------------------------------------------------

@pytest.fixture
def world():
    ecs = Ecs(None)
    system = AbstractSystem(PositionComponent, SpriteComponent)
    ecs.addSystem(system)
    return ecs, system


class TestMembership:
    def test_members_follow_component_changes_in_the_order_they_qualify(self, world):
        ecs, system = world
        a = Entity(-1, PositionComponent(), SpriteComponent())
        b = Entity(-1, PositionComponent())
        for entity in (a, b):
            ecs.addEntity(entity)
        assert system.entities == [a]
        b.addComponent(SpriteComponent())
        assert system.entities == [a, b]
        a.removeComponentType(SpriteComponent)
        a.addComponent(SpriteComponent())  # qualifies again: at the end
        assert system.entities == [b, a]

    def test_a_subclass_component_never_counts(self, world):
        ecs, system = world
        entity = Entity(-1, SubPosition(), SpriteComponent())
        ecs.addEntity(entity)
        assert system.entities == []
        assert list(ecs.getEntities(PositionComponent)) == []

    def test_adding_a_held_class_tells_nobody(self, world):
        ecs, _ = world
        log = []

        class Watching(AbstractSystem):
            def _updateEntityMembership(self, entity):
                log.append(entity)

        ecs.addSystem(Watching())
        entity = Entity(-1, PositionComponent())
        ecs.addEntity(entity)
        entity.addComponent(PositionComponent())
        entity.removeComponentType(RotationComponent)
        assert log == [entity]

    def test_changes_are_told_to_the_last_ecs_that_added_the_entity(self):
        first, second = Ecs(None), Ecs(None)
        one, two = AbstractSystem(RotationComponent), AbstractSystem(RotationComponent)
        first.addSystem(one)
        second.addSystem(two)
        entity = Entity()
        first.addEntity(entity)
        second.addEntity(entity)
        entity.addComponent(RotationComponent())
        assert (one.entities, two.entities) == ([], [entity])
        assert first.getEntities() == second.getEntities() == [entity]

    def test_ids_and_removal(self, world):
        ecs, system = world
        fresh, numbered = Entity(-1, PositionComponent(), SpriteComponent()), Entity(7)
        ecs.addEntity(fresh)
        ecs.addEntity(numbered)
        assert fresh.id == id(fresh) and numbered.id == 7 and fresh._ecs is ecs
        assert ecs.getEntityById(7.0) is numbered and ecs.getEntityById("7") is None
        ecs.removeEntity(fresh)
        assert fresh._ecs is None and fresh.id == id(fresh) and system.entities == []
        fresh.removeComponentType(SpriteComponent)  # its Ecs is gone: nothing to tell
        ecs.addEntity(fresh)
        assert ecs.getEntities() == [numbered, fresh]

    def test_identity_search_still_meets_a_python_equality(self, world):
        """Members are found by pointer only where no type defines its own equality."""
        ecs, system = world

        class EqualToAll:
            _components = {PositionComponent: 1, SpriteComponent: 2}
            id = 3

            def __eq__(self, other):
                return True

            __hash__ = object.__hash__

        entity = Entity(-1, PositionComponent(), SpriteComponent())
        system.entities.append(EqualToAll())
        ecs.addEntity(entity)  # "already a member": the Python equality says so
        assert len(system.entities) == 1
        entity.removeComponentType(SpriteComponent)  # removes the first equal element
        assert system.entities == []


# --- the protocol: who calls what, in which order ----------------------------------------------

class Recorder:
    def __init__(self):
        self.calls = []

    def __call__(self, *call):
        self.calls.append(call)


@pytest.fixture
def log():
    return Recorder()


def recording_classes(log):
    class LoggedEntity(Entity):
        @property
        def id(self):
            log("entity.id")
            return Entity.id.__get__(self)

        @property
        def _id(self):
            return Entity._id.__get__(self)

        @_id.setter
        def _id(self, value):
            log("entity._id =")
            Entity._id.__set__(self, value)

        @property
        def _ecs(self):
            return Entity._ecs.__get__(self)

        @_ecs.setter
        def _ecs(self, value):
            log("entity._ecs =", None if value is None else "ecs")
            Entity._ecs.__set__(self, value)

        @property
        def _components(self):
            log("entity._components")
            return Entity._components.__get__(self)

    class LoggedEcs(Ecs):
        def _updateEntityMembership(self, entity):
            log("ecs._updateEntityMembership")
            Ecs._updateEntityMembership(self, entity)

        def removeEntity(self, entity):
            log("ecs.removeEntity")
            Ecs.removeEntity(self, entity)

    class LoggedSystem(AbstractSystem):
        def _setEcs(self, ecs):
            log("system._setEcs", None if ecs is None else "ecs")
            AbstractSystem._setEcs(self, ecs)

        def _setEngine(self, engine):
            log("system._setEngine", engine)
            AbstractSystem._setEngine(self, engine)

        def _updateEntityMembership(self, entity):
            log("system._updateEntityMembership")
            AbstractSystem._updateEntityMembership(self, entity)

        def _interestedIn(self, entity):
            log("system._interestedIn")
            return AbstractSystem._interestedIn(self, entity)

        def _removeEntity(self, entity):
            log("system._removeEntity")
            AbstractSystem._removeEntity(self, entity)

        def update(self, timeStep):
            log("system.update", timeStep)
            AbstractSystem.update(self, timeStep)

        def _updateEntity(self, entity, timeStep):
            log("system._updateEntity", timeStep)

        @property
        def _entities(self):
            log("system._entities")
            return AbstractSystem._entities.__get__(self)

    return LoggedEntity, LoggedEcs, LoggedSystem


def test_protocol_calls_in_order(log):
    LoggedEntity, LoggedEcs, LoggedSystem = recording_classes(log)
    ecs, system = LoggedEcs(None), LoggedSystem(PositionComponent)
    ecs.addSystem(system)
    assert log.calls == [("system._setEcs", "ecs"), ("system._setEngine", None)]

    entity = LoggedEntity(-1, PositionComponent())
    log.calls.clear()
    ecs.addEntity(entity)
    assert log.calls == [("entity.id",), ("entity._id =",), ("system._updateEntityMembership",),
                         ("system._interestedIn",), ("entity._components",),
                         ("entity._ecs =", "ecs")]

    log.calls.clear()
    entity.addComponent(RotationComponent())
    entity.removeComponentType(PositionComponent)
    assert log.calls == [("ecs._updateEntityMembership",), ("system._updateEntityMembership",),
                         ("system._interestedIn",), ("entity._components",)] * 2
    entity.addComponent(PositionComponent())

    log.calls.clear()
    ecs.update(0.5)
    assert log.calls == [("system.update", 0.5), ("system._updateEntity", 0.5)]

    log.calls.clear()
    ecs.removeAllEntities()
    assert log.calls == [("ecs.removeEntity",), ("system._removeEntity",), ("entity._ecs =", None)]

    log.calls.clear()
    ecs.removeSystem(system)
    assert log.calls == [("system._entities",), ("system._setEcs", None),
                         ("system._setEngine", None)]


def test_engine_classes_take_their_own_steps(log):
    """Engine objects of exactly the engine's classes answer the same as the lookups
    would: the Python subclasses above and the plain classes give the same members."""
    LoggedEntity, LoggedEcs, LoggedSystem = recording_classes(log)
    results = []
    for ecs_class, system_class, entity_class in ((Ecs, AbstractSystem, Entity),
                                                  (LoggedEcs, LoggedSystem, LoggedEntity)):
        ecs, system = ecs_class(None), system_class(PositionComponent, RotationComponent)
        ecs.addSystem(system)
        entities = [entity_class(-1, PositionComponent()) for _ in range(4)]
        for entity in entities:
            ecs.addEntity(entity)
        for index in (2, 0, 3, 2):
            entities[index].addComponent(RotationComponent())
        entities[2].removeComponentType(RotationComponent)
        entities[2].addComponent(RotationComponent())
        ecs.removeEntity(entities[3])
        results.append([entities.index(member) for member in system.entities])
    assert results[0] == results[1] == [0, 2]


def test_an_entity_is_offered_before_it_is_stored():
    ecs = Ecs(None)
    seen = []

    class Peeking(AbstractSystem):
        def _interestedIn(self, entity):
            seen.append((entity._ecs, entity in ecs.getEntities()))
            return True

    ecs.addSystem(Peeking())
    entity = Entity()
    ecs.addEntity(entity)
    ecs.addEntity(entity)
    assert seen == [(None, False)]


def test_a_failing_system_leaves_the_earlier_steps_done():
    ecs = Ecs(None)
    first = AbstractSystem()

    class Failing(AbstractSystem):
        def _updateEntityMembership(self, entity):
            raise RuntimeError("no")

    ecs.addSystem(first)
    ecs.addSystem(Failing())
    entity = Entity()
    with pytest.raises(RuntimeError):
        ecs.addEntity(entity)
    assert entity.id == id(entity) and first.entities == [entity]
    assert ecs.getEntities() == [] and entity._ecs is None
