"""Signatures: every public class, method and function of the module tells
inspect.signature() and help() what it takes, while its documentation text stays
exactly as written. (That each signature takes what the call really takes is checked
over the whole API in reliability/test_signatures.py.)"""
import inspect
import pydoc
import types

import pytest

import quorvelin
from quorvelin import Engine, Texture, UIWidget, Vector2


def public_callables():
    """(label, callable) for every class and function of the module, and every callable
    that an engine-made class defines itself; modules and names imported from elsewhere
    are left out."""
    for name, value in sorted(vars(quorvelin).items()):
        if isinstance(value, types.ModuleType) or getattr(value, "__module__", None) != "quorvelin":
            continue
        if not callable(value):
            continue
        yield name, value
        if isinstance(value, type):
            for attribute, member in sorted(vars(value).items()):
                if callable(member) and attribute != "__new__":
                    yield f"{name}.{attribute}", getattr(value, attribute)


def engine_made(value):
    """Defined in C: the documentation comes from the engine's tables."""
    return isinstance(value, (type, types.BuiltinFunctionType, types.MethodDescriptorType,
                              types.WrapperDescriptorType)) and \
        not (isinstance(value, type) and not value.__flags__ & (1 << 8))  # immutable: engine


def resolve(path):
    value = quorvelin
    for name in path.split("."):
        value = getattr(value, name)
    return value




def test_every_public_callable_has_a_signature():
    missing = []
    for label, value in public_callables():
        try:
            inspect.signature(value)
        except ValueError as error:
            missing.append(f"{label}: {error}")
    assert missing == []


def test_the_signature_is_not_left_in_the_documentation():
    leaked = [label for label, value in public_callables() if engine_made(value) and (
        value.__text_signature__ is None or value.__doc__ is not None and (
            "\n--\n\n" in value.__doc__ or value.__doc__.startswith(label.split(".")[-1] + "(")))]
    assert leaked == []


@pytest.mark.parametrize("target, signature", [
    # as the engine's constructors and methods are documented to be called
    ("Engine.init", "(self, /, title, size, fullscreen=False, show=True, resizeable=False, "
                    "windowid=-1, icon=None, captureMouse=False, audioChannels=32, "
                    "killWithEscapeKey=True)"),
    ("Engine.run", "(self, /, maxFps=60)"),
    ("Engine.addTaskAfter", "(self, /, delaySeconds, task, onDone=None)"),
    ("Engine", "()"),
    ("Texture", "(w, h=None)"),
    ("Level", "(filename, assetsPath=None)"),
    ("Camera", "(pos, dir, fov, pitch, ratio=1.6)"),
    ("Entity", "(id=-1, *components)"),
    ("AbstractSystem", "(*interestedComponentTypes)"),
    ("Renderer", "(target, *componentTypes)"),
    ("SpriteComponent", "(sprite=None, shadeless=False, zOffset=0.0, scale=1.0, blendMode=0)"),
    ("CollisionComponent", "(radius=0.25, isOnlyTrigger=False, hasFlags=[], ignoreFlags=[])"),
    ("UISlider", "(value, minValue=0, maxValue=100, orientation=0)"),
    ("UIPanel", "()"),
    ("KeyEvent", "(key, isCtrlPressed, isAltPressed, isShiftPressed)"),
    ("UIAnchoredContainer.addChild", "(self, /, child, x, y, anchorTypeX=0, anchorTypeY=2)"),
    ("UIText.render", "(self, /, clipX=-1, clipY=-1, clipWidth=-1, clipHeight=-1)"),
    ("UIWidget.setMargin", "(self, /, *values)"),
    ("Music.fadeInLoop", "(self, /, milliseconds, times, pos=0.0)"),
    ("Vector2.rotate", "(self, degrees, /)"),
    ("Ecs.getEntities", "(self, /, *requiredComponentTypes)"),
    ("component", "(name, /)"),
    ("clearTerminal", "()"),
    ("__pyx_unpickle_KeyEvent", "(__pyx_type, __pyx_checksum, __pyx_state)"),
])
def test_documented_signatures(target, signature):
    assert str(inspect.signature(resolve(target))) == signature


@pytest.mark.parametrize("constant, target, parameter", [
    ("BLENDMODE_BLEND", "SpriteComponent", "blendMode"),
    ("SLIDER_ORIENTATION_HORIZONTAL", "UISlider", "orientation"),
    ("ANCHOR_LEFT", "UIAnchoredContainer.addChild", "anchorTypeX"),
    ("ANCHOR_TOP", "UIAnchoredContainer.addChild", "anchorTypeY"),
])
def test_defaults_written_as_numbers_are_the_constants_values(constant, target, parameter):
    default = inspect.signature(resolve(target)).parameters[parameter].default
    assert default == getattr(quorvelin, constant)


def test_help_shows_the_signatures_with_the_documentation():
    text = pydoc.render_doc(Texture, renderer=pydoc.plaintext)
    for line in ["Texture(w, h=None)", "A texture resource.", "__init__(self, /, w, h=None)",
                 "alternative signature: __init__(filename)", "fill(self, color, /)",
                 "Fills the whole texture with a color.", "getSize(self, /)",
                 "saveFile(self, filename, /)", "copyFrom(self, other, /)", "fillChecker(self, /)"]:
        assert line in text


def test_classes_without_documentation_keep_none():
    # The host would keep an empty text after the signature; these classes have none.
    for cls in (Vector2, quorvelin.Camera, quorvelin.Joystick, quorvelin.MusicStoppedEvent):
        assert cls.__doc__ is None and cls.__text_signature__ is not None
    assert quorvelin.SpriteAnimation.__doc__ == ""  # documented as an empty text


def test_init_documentation_keeps_the_hosts_text_after_the_signature():
    assert quorvelin.Event.__init__.__doc__ == object.__init__.__doc__
    assert str(inspect.signature(quorvelin.Event.__init__)) == "(self, /)"
    # An __init__ that hands its arguments on to its base's takes what that one takes.
    assert str(inspect.signature(quorvelin.UIPanel.__init__)) == "(self, /)"


def test_bound_methods_and_python_subclasses():
    assert str(inspect.signature(Vector2(1, 2).rotate)) == "(degrees, /)"
    assert str(inspect.signature(Engine().addTask)) == "(task, onDone=None)"

    class Widget(UIWidget):
        """A widget of the game's own."""

    class Sized(Texture):
        def __init__(self, side):
            super().__init__(side, side)

    assert str(inspect.signature(Widget)) == "()"
    assert Widget.__doc__ == "A widget of the game's own."
    assert str(inspect.signature(Sized)) == "(side)"
