"""The Ecs and AbstractSystem: attaching systems, membership and the update pass.
Entities here are plain Python objects with the names the Ecs reaches for."""
import copy
import pickle
import sys

import pytest

from quorvelin import AbstractSystem, Ecs, Engine


class Position:
    pass


class Sprite:
    pass


class Thing:
    """What the Ecs needs of an entity: id, _id, _ecs and _components."""

    def __init__(self, *components, id=-1):
        self._id = id
        self._ecs = None
        self._components = {type(c): c for c in components}

    @property
    def id(self):
        return self._id


class Recording(AbstractSystem):
    def __init__(self, log, name, *types):
        AbstractSystem.__init__(self, *types)
        self.log, self.name = log, name

    def update(self, step):
        self.log.append((self.name, step))


class TestEcs:
    def test_get_entities_takes_no_keywords(self):
        with pytest.raises(TypeError) as info:
            Ecs(None).getEntities(kind=1)
        assert str(info.value) == "getEntities() got an unexpected keyword argument 'kind'"

    def test_constructor(self):
        engine = Engine()
        ecs = Ecs(engine)
        assert ecs.getSystems() == [] and ecs.getEntities() == []
        assert Ecs(engine=None).getEntities() is not ecs.getEntities()
        with pytest.raises(TypeError, match=r"Argument 'engine' has incorrect type \(expected quorvelin.Engine, got int\)"):
            Ecs(5)
        with pytest.raises(TypeError):
            Ecs()

    def test_add_system_twice_keeps_one_entry_and_attaches_again(self):
        engine = Engine()
        ecs = Ecs(engine)
        log = []

        class Watching(AbstractSystem):
            def _setEcs(self, e):
                log.append("ecs")
                AbstractSystem._setEcs(self, e)

            def _setEngine(self, e):
                log.append("engine")
                AbstractSystem._setEngine(self, e)

            def _updateEntityMembership(self, entity):
                log.append("offer")

        ecs.addEntity(Thing())
        system = Watching()
        ecs.addSystem(system)
        ecs.addSystem(system)
        assert ecs.getSystems() == [system]
        assert log == ["ecs", "engine", "offer"] * 2
        assert system.getEcs() is ecs and system.getEngine() is engine

    def test_add_system_offers_existing_entities_in_order(self):
        ecs = Ecs(None)
        things = [Thing(Position()), Thing(), Thing(Position())]
        for thing in things:
            ecs.addEntity(thing)
        system = AbstractSystem(Position)
        ecs.addSystem(system)
        assert system.entities == [things[0], things[2]]
        assert system.getEngine() is None

    def test_remove_system_empties_its_members_in_place(self):
        ecs = Ecs(Engine())
        ecs.addEntity(Thing())
        system = AbstractSystem()
        ecs.addSystem(system)
        members = system.entities
        ecs.removeSystem(system)
        ecs.removeSystem(system)
        assert members == [] and ecs.getSystems() == []
        assert system.getEcs() is None and system.getEngine() is None
        ecs.addSystem(system)
        assert system.entities == ecs.getEntities()

    def test_update_runs_over_a_copy(self):
        ecs = Ecs(None)
        log = []
        late = Recording(log, "late")

        class Adding(Recording):
            def update(self, step):
                Recording.update(self, step)
                ecs.addSystem(late)
                ecs.removeSystem(self)

        ecs.addSystem(Adding(log, "adding"))
        ecs.addSystem(Recording(log, "second"))
        ecs.update(0.5)
        assert log == [("adding", 0.5), ("second", 0.5)]
        ecs.update(0.25)
        assert log[2:] == [("second", 0.25), ("late", 0.25)]

    def test_update_error_stops_later_systems(self):
        ecs = Ecs(None)
        log = []

        class Failing(AbstractSystem):
            def update(self, step):
                raise RuntimeError

        ecs.addSystem(Failing())
        ecs.addSystem(Recording(log, "after"))
        with pytest.raises(RuntimeError):
            ecs.update(1)
        assert log == []

    def test_add_entity_assigns_identity_once(self):
        ecs = Ecs(None)
        fresh, numbered = Thing(), Thing(id=7)
        ecs.addEntity(fresh)
        ecs.addEntity(numbered)
        assert fresh.id == id(fresh) and numbered.id == 7
        assert fresh._ecs is ecs
        ecs.removeEntity(fresh)
        assert fresh._ecs is None and fresh.id == id(fresh)
        ecs.addEntity(fresh)
        assert ecs.getEntities() == [numbered, fresh]

    def test_entity_is_offered_before_it_is_stored(self):
        ecs = Ecs(None)
        seen = []

        class Peeking(AbstractSystem):
            def _interestedIn(self, entity):
                seen.append((entity._ecs, entity in ecs.getEntities()))
                return True

        ecs.addSystem(Peeking())
        thing = Thing()
        ecs.addEntity(thing)
        ecs.addEntity(thing)
        assert seen == [(None, False)]

    def test_remove_entity(self):
        ecs = Ecs(None)
        system = AbstractSystem()
        ecs.addSystem(system)
        things = [Thing(), Thing()]
        for thing in things:
            ecs.addEntity(thing)
        ecs.removeEntity(Thing())
        ecs.removeAllEntities()
        assert ecs.getEntities() == [] and system.entities == []

    def test_get_entities(self):
        ecs = Ecs(None)
        entities = ecs.getEntities()
        assert ecs.getEntities() is entities
        both = ecs.getEntities(Position, Sprite)
        only_position = Thing(Position())
        full = Thing(Position(), Sprite())
        ecs.addEntity(only_position)
        ecs.addEntity(full)
        assert list(both) == [full]  # lazy: sees entities added after the call
        with pytest.raises(TypeError):
            ecs.getEntities(types=Position)

    def test_get_entity_by_id(self):
        ecs = Ecs(None)
        first, second = Thing(id=5), Thing(id=5)
        ecs.addEntity(first)
        ecs.addEntity(second)
        assert ecs.getEntityById(5.0) is first
        assert ecs.getEntityById("5") is None

    def test_membership_follows_component_changes(self):
        ecs = Ecs(None)
        system = AbstractSystem(Position, Sprite)
        ecs.addSystem(system)
        thing, other = Thing(Position()), Thing(Position(), Sprite())
        ecs.addEntity(thing)
        ecs.addEntity(other)
        assert system.entities == [other]
        thing._components[Sprite] = Sprite()
        ecs._updateEntityMembership(thing)
        del other._components[Sprite]
        ecs._updateEntityMembership(other)
        assert system.entities == [thing]
        other._components[Sprite] = Sprite()
        ecs._updateEntityMembership(other)
        ecs._updateEntityMembership(other)
        assert system.entities == [thing, other]


class TestAbstractSystem:
    def test_interest(self):
        class SubPosition(Position):
            pass

        assert AbstractSystem()._interestedIn(Thing()) is True
        assert AbstractSystem(None)._interestedIn(Thing(Position())) is False
        assert AbstractSystem(Position)._interestedIn(Thing(SubPosition())) is False
        with pytest.raises(TypeError):
            AbstractSystem(kind=Position)

    def test_update_calls_update_entity_for_each_member(self):
        log = []

        class Moving(AbstractSystem):
            def _updateEntity(self, entity, timeStep):
                log.append((entity, timeStep))

        ecs = Ecs(None)
        system = Moving()
        ecs.addSystem(system)
        thing = Thing()
        ecs.addEntity(thing)
        system.update(0.1)
        assert log == [(thing, 0.1)]
        assert AbstractSystem()._updateEntity(entity=thing, timeStep=1) is None

    def test_field_types(self):
        system = AbstractSystem(Position)
        assert system._interestedComponentTypes == (Position,)
        with pytest.raises(TypeError, match="Expected list, got tuple"):
            system._entities = ()
        with pytest.raises(TypeError, match="Expected tuple, got list"):
            system._interestedComponentTypes = [Position]
        with pytest.raises(TypeError, match="Cannot convert int to quorvelin.Ecs"):
            system._ecs = 1
        with pytest.raises(TypeError, match="Cannot convert quorvelin.Ecs to quorvelin.Engine"):
            system._engine = Ecs(None)
        with pytest.raises(TypeError, match=r"Argument 'ecs' has incorrect type"):
            system._setEcs(Engine())
        with pytest.raises(AttributeError):
            system.entities = []
        del system._entities
        assert system._entities is None
        with pytest.raises(TypeError, match="'NoneType' object is not subscriptable"):
            system.update(1)

    def test_attached_system_sees_a_none_engine(self):
        system = AbstractSystem()
        Ecs(None).addSystem(system)
        assert system.getEngine() is None and system.getEcs() is not None


class TestPickling:
    def test_ecs_state(self):
        ecs = Ecs(None)
        reduced = ecs.__reduce__()
        assert reduced[1] == (Ecs, 0x7bb3303, None)
        assert reduced[2] == (None, [], [])
        clone = copy.copy(ecs)
        assert clone.getSystems() is ecs.getSystems()

    def test_system_round_trip(self):
        system = AbstractSystem(int, str)
        clone = pickle.loads(pickle.dumps(system))
        assert type(clone) is AbstractSystem and clone._interestedComponentTypes == (int, str)
        assert clone.entities == []

    def test_engine_reference_refuses(self):
        with pytest.raises(TypeError, match="no default __reduce__"):
            pickle.dumps(Ecs(Engine()))

    def test_checksums(self):
        import quorvelin

        unpickle_ecs = getattr(quorvelin, "__pyx_unpickle_Ecs")
        unpickle_system = getattr(quorvelin, "__pyx_unpickle_AbstractSystem")
        with pytest.raises(pickle.PickleError, match=r"Incompatible checksums \(1 vs 0x7bb3303 = \(_engine, _entities, _systems\)\)"):
            unpickle_ecs(Ecs, 1, None)
        with pytest.raises(pickle.PickleError, match=r"0x58db84f = \(_ecs, _engine, _entities, _interestedComponentTypes\)"):
            unpickle_system(AbstractSystem, 2, None)
        empty = unpickle_system(AbstractSystem, 0x58db84f, None)
        assert empty.entities is None and empty.getEcs() is None

    def test_set_state_checks_types(self):
        system = AbstractSystem()
        with pytest.raises(TypeError, match="Cannot convert str to quorvelin.Ecs"):
            system.__setstate__(("x", None, [], ()))
        system.__setstate__((None, None, [1], (int,)))
        assert system.entities == [1] and system._interestedComponentTypes == (int,)
