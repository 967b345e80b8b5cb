"""The component registry: `_COMPONENTS` with the built-ins, the `component` decorator
factory and `DummyComponent`. The registry only grows for the life of the process, so
each test registers fresh names and restores any entry it replaces."""
import itertools
import types

import pytest

import quorvelin
from quorvelin import (_COMPONENTS, CollisionComponent, DummyComponent, PositionComponent,
                       RotationComponent, SpriteComponent, VelocityComponent, component)

_numbers = itertools.count()


@pytest.fixture
def fresh():
    """A component name that nothing has registered yet."""
    return lambda: f"test-component-{next(_numbers)}"


@pytest.fixture
def restore_position():
    yield
    _COMPONENTS["position"] = PositionComponent


def test_built_ins_after_import():
    built_ins = [("sprite", SpriteComponent), ("position", PositionComponent),
                 ("rotation", RotationComponent), ("collision", CollisionComponent),
                 ("velocity", VelocityComponent)]
    first_ten = list(_COMPONENTS.items())[:10]
    assert first_ten == built_ins + [(cls, name) for name, cls in built_ins]
    assert quorvelin._COMPONENTS is _COMPONENTS


def test_decorator(fresh):
    name = fresh()
    decorator = component(name)
    assert decorator.__name__ == "innerComponent"
    assert decorator.__qualname__ == "component.<locals>.innerComponent"
    assert decorator.__doc__ == "Registers a class as a component type"
    assert component.__doc__ == ("\n    @param(name, str)\n    Registers a class as a component type. "
                                 "The name is the key string used\n    inside the JSON level files.\n    ")

    @component(name)
    class Thing:
        pass

    assert isinstance(Thing, type) and Thing.__name__ == "Thing"
    assert _COMPONENTS[name] is Thing and _COMPONENTS[Thing] == name
    assert list(_COMPONENTS)[-2:] == [name, Thing]


@pytest.mark.parametrize("name, target, message", [
    (b"bytes", type("Thing", (), {}), "component name must be a string"),
    (5, type("Thing", (), {}), "component name must be a string"),
    (type("Name", (str,), {})("sub"), type("Thing", (), {}), "component name must be a string"),
    ("instance", object(), "component type must be a class"),
    ("metaclass", types.new_class("Meta", (), {"metaclass": type("M", (type,), {})}),
     "component type must be a class"),
])
def test_refusals_come_from_the_decorator_and_change_nothing(name, target, message):
    decorator = component(name)  # accepted here
    before = dict(_COMPONENTS)
    with pytest.raises(TypeError, match=message):
        decorator(target)
    assert _COMPONENTS == before


def test_argument_counts():
    with pytest.raises(TypeError, match=r"component\(\) takes exactly one argument \(0 given\)"):
        component()
    with pytest.raises(TypeError):
        component("x")()


def test_registering_a_name_again(restore_position):
    class OwnPosition:
        pass

    assert component("position")(OwnPosition) is OwnPosition
    assert _COMPONENTS["position"] is OwnPosition
    assert _COMPONENTS[PositionComponent] == "position" == _COMPONENTS[OwnPosition]


def test_registering_a_class_under_a_second_name(fresh):
    first, second = fresh(), fresh()

    @component(first)
    class Thing:
        pass

    component(second)(Thing)
    assert _COMPONENTS[first] is Thing and _COMPONENTS[second] is Thing
    assert _COMPONENTS[Thing] == second


def test_extension_classes_register(fresh):
    name = fresh()
    assert component(name)(VelocityComponent) is VelocityComponent
    assert _COMPONENTS[VelocityComponent] == name
    component("velocity")(VelocityComponent)  # put back
    assert _COMPONENTS[VelocityComponent] == "velocity"


def test_dummy_component():
    assert type(DummyComponent) is type and DummyComponent.__bases__ == (object,)
    assert DummyComponent.__module__ == "quorvelin"
    assert DummyComponent.__doc__ == ("This component type is used for component types\n"
                                      "    in a level that can't be mapped.\n    ")
    made = type("_Component_door", (DummyComponent,), {})()
    made.open, made.typeName = True, "door"
    assert vars(made) == {"open": True, "typeName": "door"}
