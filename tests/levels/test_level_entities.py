"""The level's entities: built from the header through the component registry
(unknown names get a class of their own, announced once), the first failing entry
printed and the rest skipped, the header-entry operations, and the sync with an Ecs
that shares the same Entity objects."""
import itertools

import pytest

import quorvelin
from quorvelin import (_COMPONENTS, DummyComponent, Ecs, Entity, Level, PositionComponent,
                       RotationComponent, SpriteComponent, VelocityComponent)

from .conftest import quiet

_names = itertools.count()


def fresh_name():
    return f"level-test-{next(_names)}"


def load(files, entities, **header):
    return Level(files.write({"width": 0, "height": 0, "entities": entities, **header}))


def component_types(entity):
    return [type(c) for c in entity.getComponents()]


def test_entities_from_the_header(files):
    level = load(files, [{"id": 3}, {"position": {"x": 1, "y": 2}, "rotation": {"x": 0, "y": 1}},
                         {"id": "12"}, {"id": 4.7, "velocity": {"x": 1, "y": 0}}])
    first, second, third, fourth = level._entities
    assert all(type(e) is Entity for e in level._entities)
    assert (first.id, component_types(first)) == (3, [])
    assert (second.id, component_types(second)) == (-1, [PositionComponent, RotationComponent])
    position = second.getComponent(PositionComponent)
    assert (position.x, position.y) == (1.0, 2.0)
    assert (third.id, fourth.id) == (12, 4)
    assert level.getEntities() is level._entities


def test_the_first_failing_entry_is_printed_and_the_rest_skipped(files, unraisable):
    level = load(files, [{"id": 1}, {"id": 2, "position": {"x": 1}}, {"id": 3}])
    assert [e.id for e in level._entities] == [1]
    assert [report.object for report in unraisable] == ["quorvelin.Level._loadEntities"]
    assert isinstance(unraisable[0].exc_value, KeyError)


@pytest.mark.parametrize("entities", [5, [5], [{"id": "x"}], [{"id": None}], [{"id": 2**64}]])
def test_malformed_entity_lists_never_stop_the_loading(files, unraisable, entities):
    level = load(files, entities)
    assert level._entities == [] and len(unraisable) == 1


def test_unknown_component_names_get_a_class_of_their_own(files, console):
    name = fresh_name()
    entries = [{"id": 1, name: {"speed": 3, "_hidden": 1}}, {"id": 2, name: {"speed": 4}}]
    level, lines = console(load, files, entries)
    assert lines == [f"unknown component type '{name}'"]  # announced once
    made = _COMPONENTS[name]
    assert (made.__name__, made.__bases__, made.__module__) == (f"_Component_{name}",
                                                                (DummyComponent,), "quorvelin")
    assert _COMPONENTS[made] == name
    a, b = (e.getComponents() for e in level._entities)
    (a,), (b,) = a, b
    assert type(a) is made and type(b) is made
    assert vars(a) == {"speed": 3, "_hidden": 1} and vars(b) == {"speed": 4}
    _, again = console(load, files, entries)
    assert again == []  # a later level reuses the class silently


def test_create_component(files):
    level = load(files, [])
    component = level.createComponent(component={"x": 5, "y": 6}, componentName="position")
    assert type(component) is PositionComponent and (component.x, component.y) == (5, 6)
    assert level._entities == []
    name = fresh_name()

    @quorvelin.component(name)
    class Plain:
        @property
        def guarded(self):
            raise AssertionError("set past the property")

    plain = level.createComponent(name, {"guarded": 1, "other": [2]})
    assert vars(plain) == {"guarded": 1, "other": [2]}

    class Broken:
        @property
        def loadFromDict(self):
            raise RuntimeError("a failing lookup counts as absent")

    _COMPONENTS[name] = Broken
    assert vars(level.createComponent(name, {"a": 1})) == {"a": 1}


@pytest.mark.parametrize("component, value, error", [
    (object(), {"a": 1}, AttributeError),  # no instance dictionary
    (DummyComponent(), 5, AttributeError),  # no items()
    (DummyComponent(), {1: 2}, None),  # any key goes into the dictionary
])
def test_load_from_dict(files, component, value, error):
    level = load(files, [])
    if error:
        with pytest.raises(error):
            level._loadFromDict(component, value)
    else:
        level._loadFromDict(input=value, component=component)
        assert vars(component) == value


def test_subclass_create_component_and_none_results(files):
    class Filtering(Level):
        def createComponent(self, componentName, component):
            if componentName == "skip":
                return None
            return super().createComponent(componentName, component)

    level = Filtering(files.write({"width": 0, "height": 0, "entities": [
        {"skip": 1, "rotation": {"x": 1, "y": 0}}]}))
    assert component_types(level._entities[0]) == [RotationComponent]


def test_get_entities_filters_by_exact_classes(files):
    level = load(files, [{"id": 1, "position": {"x": 0, "y": 0}},
                         {"id": 2, "position": {"x": 0, "y": 0}, "velocity": {"x": 0, "y": 0}},
                         {"id": 3, "position": {"x": 0, "y": 0}, "rotation": {"x": 1, "y": 0}}])
    assert [e.id for e in level.getEntities(PositionComponent)] == [1, 2, 3]
    assert [e.id for e in level.getEntities(PositionComponent, RotationComponent)] == [3]
    assert level.getEntities(SpriteComponent) == []
    assert [e.id for e in level.getEntities(VelocityComponent)] == [2]
    with pytest.raises(TypeError, match="getEntities"):
        level.getEntities(types=PositionComponent)
    found = level.getEntities(PositionComponent)
    assert found is not level._entities
    level.removeAllEntities()
    assert level.getEntities() == [] and found != []


def test_add_and_remove(files):
    level = load(files, [{"id": 1}, {"id": 2}])
    extra = Entity(9)
    level.addEntity(extra)
    level.addEntity(extra)  # no check for an entity already present
    level.removeEntity(extra)
    assert [e.id for e in level._entities] == [1, 2, 9]
    with pytest.raises(ValueError, match=r"list.remove\(x\): x not in list"):
        level.removeEntity(Entity(1))


class TestHeaderEntries:
    def test_add_entity_from_json(self, files):
        level = load(files, [{"id": 1}])
        entry = {"id": 5, "position": {"x": 1, "y": 1}}
        entity = level.addEntityFromJson(entry)
        assert level.metadata["entities"][-1] is entry and level._entities[-1] is entity
        assert entity.id == 5

    @pytest.mark.parametrize("entry, error", [
        ({"position": {"x": 1}}, KeyError), ({"id": "x"}, ValueError), (5, TypeError),
    ])
    def test_a_failing_entry_changes_neither_list(self, files, entry, error):
        level = load(files, [{"id": 1}])
        with pytest.raises(error):
            level.addEntityFromJson(entry)
        assert len(level.metadata["entities"]) == len(level._entities) == 1

    def test_a_header_without_entities(self, files):
        level = Level(files.write({"width": 0, "height": 0}))
        with pytest.raises(KeyError, match="entities"):
            level.addEntityFromJson({"id": 1})
        assert level._entities == [] and "entities" not in level.metadata
        level._entities = None
        level.metadata["entities"] = []
        with pytest.raises(AttributeError):
            level.addEntityFromJson({"id": 1})
        assert level.metadata["entities"] == []

    def test_remove_entity_from_json_removes_the_entry_at_its_position(self, files):
        level = load(files, [{"id": 1}, {"id": 2}, {"id": 3}])
        first, second, third = level._entities
        level.removeEntity(first)
        level.removeEntityFromJson(third)  # at position 1: the header entry of the second
        assert level._entities == [second]
        assert level.metadata["entities"] == [{"id": 1}, {"id": 3}]

    def test_removal_is_refused_before_either_list_changes(self, files):
        level = load(files, [{"id": 1}])
        added = Entity(2)
        level.addEntity(added)  # no header entry at its position
        with pytest.raises(IndexError):
            level.removeEntityFromJson(added)
        assert level._entities[-1] is added and len(level.metadata["entities"]) == 1
        with pytest.raises(ValueError, match="not in list"):
            level.removeEntityFromJson(Entity(1))
        del level.metadata["entities"]
        with pytest.raises(KeyError):
            level.removeEntityFromJson(level._entities[0])
        assert len(level._entities) == 2


class TestSync:
    def test_the_ecs_and_the_level_share_the_entities(self, files):
        level = load(files, [{"id": 7}, {}])
        ecs = Ecs(None)
        ecs.addEntity(Entity(99))
        level.syncEntitiesToEcs(ecs)
        assert ecs.getEntities() == level._entities  # the same objects, in order
        assert ecs.getEntities() is not level._entities
        assert level._entities[0].id == 7 and level._entities[1].id not in (-1, 7)
        ecs.addEntity(Entity(8))
        entities = list(ecs.getEntities())
        level.syncEntitiesFromEcs(ecs)
        assert level._entities == entities and level.metadata["entities"] == [{"id": 7}, {}]
        level.syncEntitiesToEcs(ecs)
        assert list(ecs.getEntities()) == entities

    def test_a_shared_list_survives_the_sync(self, files):
        level = load(files, [{"id": 1}, {"id": 2}])
        ecs = Ecs(None)
        shared = ecs.getEntities()  # the Ecs's own list
        shared.extend(level._entities)
        level._entities = shared  # one list for both: emptying the Ecs empties the level
        level.syncEntitiesToEcs(ecs)
        assert [e.id for e in ecs.getEntities()] == [1, 2]
        level.syncEntitiesFromEcs(ecs)
        assert [e.id for e in level._entities] == [1, 2]

    def test_steps_go_through_attribute_lookup(self, files):
        calls = []

        class Watching(Ecs):
            def removeAllEntities(self):
                calls.append("clear")

            def addEntity(self, entity):
                calls.append(entity.id)

            def getEntities(self):
                return [Entity(4), Entity(5)]

        class Counting(Level):
            def removeAllEntities(self):
                calls.append("level clear")

            def addEntity(self, entity):
                calls.append(("level", entity.id))

        level = Counting(files.write({"width": 0, "height": 0, "entities": [{"id": 3}]}))
        ecs = Watching(None)
        level.syncEntitiesToEcs(ecs)
        level.syncEntitiesFromEcs(ecs)
        assert calls == ["clear", 3, "level clear", ("level", 4), ("level", 5)]

    @pytest.mark.parametrize("entities", [[None], None])
    def test_none_raises(self, files, entities):
        level = load(files, [])
        level._entities = entities
        with pytest.raises((AttributeError, TypeError)):
            level.syncEntitiesToEcs(Ecs(None))
        with pytest.raises((AttributeError, TypeError)):
            quiet_save(level, files)


def quiet_save(level, files):
    quiet(level.saveFile, files.path("none.lvl"))
