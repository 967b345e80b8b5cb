"""The Renderer base."""
import pickle
from types import SimpleNamespace

import pytest

from quorvelin import AbstractSystem, Ecs, Renderer


def test_none_target():
    renderer = Renderer(None)
    assert renderer.getTarget() is None
    assert Renderer(target=None).getTarget() is None
    assert renderer._interestedComponentTypes == ()


def test_component_types_after_the_target():
    assert Renderer(None, int, str)._interestedComponentTypes == (int, str)
    assert Renderer(None, None)._interestedIn(SimpleNamespace(_components={int: 1})) is False


@pytest.mark.parametrize("args, kwargs, message", [
    ((5,), {}, r"Argument 'target' has incorrect type \(expected quorvelin.Texture, got int\)"),
    ((), {}, r"__init__\(\) takes at least 1 positional argument \(0 given\)"),
    # A missing target is reported before an unknown keyword, as by every constructor.
    ((), {"kind": 1}, r"__init__\(\) takes at least 1 positional argument \(0 given\)"),
    ((None,), {"kind": 1}, "__init__\\(\\) got an unexpected keyword argument 'kind'"),
    ((None,), {"target": None}, "multiple values for keyword argument 'target'"),
])
def test_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError, match=message):
        Renderer(*args, **kwargs)


def test_update_runs_the_base_update_then_render():
    log = []

    class Drawing(Renderer):
        def _updateEntity(self, entity, step):
            log.append("entity")

        def render(self):
            log.append("render")

    renderer = Drawing(None)
    renderer._entities.append(object())
    assert renderer.update(0.1) is None
    assert log == ["entity", "render"]
    assert Renderer(None).render() is None


def test_update_override_without_render():
    log = []

    class Own(Renderer):
        def update(self, step):
            log.append("update")

        def render(self):
            log.append("render")

    ecs = Ecs(None)
    ecs.addSystem(Own(None))
    ecs.update(1)
    assert log == ["update"]


def test_base_constructor_of_the_class_itself():
    class Refusing(AbstractSystem):
        def __init__(self, *types):
            raise AssertionError("the base is not looked up through the instance")

    class Mixed(Renderer, Refusing):
        pass

    assert [c.__name__ for c in Mixed.__mro__[:3]] == ["Mixed", "Renderer", "Refusing"]
    assert Mixed(None, int)._interestedComponentTypes == (int,)


def test_refuses_pickling():
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(Renderer(None))


def test_doc():
    assert Renderer.__doc__ == "This is the abstract base class for all quorvelin renderers."
    assert Renderer.render.__doc__ == "Should be overwritten by deriving classes."
