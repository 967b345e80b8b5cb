"""Registration of the engine's extension classes: the class tree, instance layout,
garbage-collector participation, the pickling pair and the __init__ documentation.

The checks run once for every class that the module registers (tests/registered.py):
a class that the table below leaves out fails each of them by name, and the table must
hold exactly the registered classes, in registration order."""
import copy
import gc
import hashlib
import pickle
import re
import sys
import weakref

import pytest

import quorvelin
from registered import engine_classes, picklable, row

CINIT = "no default __reduce__ due to non-trivial __cinit__"
HANDLE = "self._ptr cannot be converted to a Python object for pickling"

# (class, base, pickling): the layout checksum of a picklable class or its refusal,
# in registration order.
CLASSES = [
    ("Event", None, 0xa6be06b),
    ("KeyEvent", "Event", 0x5d9a963),
    ("MouseClickEvent", "Event", 0xd1c856a),
    ("MouseWheelEvent", "Event", 0x74a5e37),
    ("FullscreenEvent", "Event", 0xc311458),
    ("Joystick", None, HANDLE),
    ("JoystickAddedEvent", "Event", 0x618934a),
    ("Vector2", None, CINIT),
    ("Resource", None, CINIT),
    ("Texture", "Resource", CINIT),
    ("SpriteAnimation", None, 0x7fe8901),
    ("Sprite", None, 0xbcd1b8e),
    ("SpriteComponent", None, 0x81c6caf),
    ("Entity", None, 0x5895e97),
    ("PositionComponent", None, 0x9cdffce),
    ("VelocityComponent", None, 0xf57cfdc),
    ("RotationComponent", None, 0x584e88a),
    ("CollisionComponent", None, 0xf091f59),
    ("Ecs", None, 0x7bb3303),
    ("AbstractSystem", None, 0x58db84f),
    ("Font", "Resource", CINIT),
    ("Level", "Resource", CINIT),
    ("SoundHandle", None, CINIT),
    ("Sound", "Resource", CINIT),
    ("MusicStoppedEvent", "Event", 0xa6be06b),
    ("Music", "Resource", CINIT),
    ("CollisionEvent", "Event", 0xe823e08),
    ("CollisionBodySystem", "AbstractSystem", 0x58db84f),
    ("MovementSystem", "AbstractSystem", 0x43337b0),
    ("Renderer", "AbstractSystem", CINIT),
    ("Camera", None, CINIT),
    ("RaycastingRenderer", "Renderer", CINIT),
    ("UITheme", None, CINIT),
    ("UIRenderer", "Renderer", CINIT),
    ("UIWidget", None, CINIT),
    ("AbstractUIContainer", "UIWidget", CINIT),
    ("UIListContainer", "AbstractUIContainer", CINIT),
    ("_UIAnchorWrapper", None, CINIT),
    ("UIAnchoredContainer", "AbstractUIContainer", CINIT),
    ("UIText", "UIWidget", CINIT),
    ("ButtonClickEvent", "MouseClickEvent", 0x36d8547),
    ("UIButton", "UIListContainer", CINIT),
    ("UIImage", "UIWidget", CINIT),
    ("UIPanel", "UIListContainer", CINIT),
    ("SliderValueChangedEvent", "Event", 0x00719e0),
    ("UISlider", "UIWidget", CINIT),
    ("UIScrollPanel", "AbstractUIContainer", CINIT),
    ("Engine", None, CINIT),
]
CLASS_NAMES = [name for name, _, _ in CLASSES]
BASES = {name: base for name, base, _ in CLASSES}
PICKLING = {name: pickling for name, _, pickling in CLASSES}

# Classes whose fields hold only numbers, flags, strings or raw handles.
NOT_COLLECTED = {"Event", "KeyEvent", "MouseClickEvent", "MouseWheelEvent", "FullscreenEvent",
                 "Joystick", "Vector2", "SpriteAnimation", "SoundHandle", "MusicStoppedEvent"}

# The module's ordinary Python classes (not registered extension classes).
PYTHON_CLASSES = {"EngineException", "EngineSdlException", "LevelFormatException",
                  "TerminalColor", "DummyComponent"}

INIT_DOCS = {
    "Vector2": ["@param(x, float)", "@param(y, float)"],
    "Texture": ["@param(w, int)", "@param(h, int)", "??? documentation syntax",
                "alternative signature: __init__(filename)"],
    "Font": ["@param(filename, str)", "@param(size, int)",
             "Loads a font from the given file with the given font size."],
    "Level": ["@param(filename, str)"],
    "Sound": ["@param(filepath, str)", "Loads a WAV sound file from the given path"],
    "Music": ["@param(filepath, str)", "Loads an OGG music file from the given path"],
    "Camera": ["@param(pos, Vector2)", "@param(dir, Vector2)", "@param(fov, int)",
               "@param(pitch, int)"],
    "RaycastingRenderer": ["@param(target, Texture)", "@param(level, Level)",
                           "The renderer renders the given level onto the target texture."],
    "UITheme": [],
    "UIRenderer": ["@param(target, Texture)", "@param(fillBackground, bool)",
                   "@param(theme, UITheme)"],
    "UIText": ["@param(text, str)"],
    "UIButton": ["@param(label, str)"],
    "UIImage": ["@param(parent, UIContainer)", "@param(texture, Texture)",
                "@param(width, int | None)", "@param(height, int | None)"],
    "UISlider": ["@param(orientation, SLIDER_ORIENTATION_HORIZONTAL or SLIDER_ORIENTATION_VERTICAL)"],
}

HOST_INIT_DOC = "Initialize self.  See help(type(self)) for accurate signature."

REGISTERED = engine_classes()
PICKLABLE = [name for name in REGISTERED if isinstance(PICKLING.get(name), int)]
REFUSING = [name for name in REGISTERED if isinstance(PICKLING.get(name), str)]
ENGINE_CORE = CLASS_NAMES[:8]


def engine_class(name):
    return getattr(quorvelin, name)


def blank(cls):
    """An instance made by the class's allocation alone, without __init__."""
    return cls.__new__(cls)


def subclass_of(name):
    return type("Custom" + name, (engine_class(name),), {})


def test_engine_core_classes_are_registered():
    assert set(ENGINE_CORE) <= set(REGISTERED)


def test_classes_are_published_in_registration_order_before_the_module_body():
    names = list(vars(quorvelin))
    assert REGISTERED == CLASS_NAMES
    assert names.index(REGISTERED[-1]) < names.index("Timer")


def test_no_other_type_of_the_module_is_published():
    types = {name for name, value in vars(quorvelin).items()
             if isinstance(value, type) and value.__module__ == "quorvelin"}
    assert types - PYTHON_CLASSES == set(REGISTERED)


def chain(name):
    while name:
        yield name
        name = row(BASES, name, "CLASSES")


@pytest.mark.parametrize("name", REGISTERED)
def test_class_tree_and_names(name):
    cls = engine_class(name)
    base = row(BASES, name, "CLASSES")
    assert cls.__bases__ == (engine_class(base) if base else object,)
    assert cls.__mro__ == tuple(engine_class(n) for n in chain(name)) + (object,)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("quorvelin", name, name)
    assert repr(cls) == f"<class 'quorvelin.{name}'>"


@pytest.mark.parametrize("name", REGISTERED)
def test_instances_have_no_dict_and_no_weak_references(name):
    cls = engine_class(name)
    assert (cls.__dictoffset__, cls.__weakrefoffset__) == (0, 0)
    obj = blank(cls)
    with pytest.raises(AttributeError):
        obj.undeclaredAttribute = 1
    with pytest.raises(AttributeError):
        obj.__dict__
    with pytest.raises(TypeError):
        weakref.ref(obj)


@pytest.mark.parametrize("name", REGISTERED)
def test_python_subclasses_get_a_dict_and_weak_references(name):
    sub = subclass_of(name)
    obj = blank(sub)
    obj.tag = "extra"
    assert obj.__dict__ == {"tag": "extra"}
    assert isinstance(obj, engine_class(name))
    # A cycle through the instance dictionary is collected, whatever the engine base.
    obj.itself = obj
    alive = weakref.ref(obj)
    del obj
    gc.collect()
    assert alive() is None


@pytest.mark.parametrize("name", REGISTERED)
def test_garbage_collector_participation(name):
    cls = engine_class(name)
    collected = name not in NOT_COLLECTED
    assert bool(cls.__flags__ & (1 << 14)) == collected  # Py_TPFLAGS_HAVE_GC
    assert gc.is_tracked(blank(cls)) == collected


def test_collector_sees_object_fields():
    joystick = quorvelin.Joystick("pad", 2, 4)
    event = quorvelin.JoystickAddedEvent(joystick)
    assert joystick in gc.get_referents(event)


@pytest.mark.parametrize("name", REGISTERED)
def test_no_comparison_or_hashing_of_their_own(name):
    cls = engine_class(name)
    for method in ("__eq__", "__ne__", "__lt__", "__hash__"):
        assert method not in cls.__dict__
    a, b = blank(cls), blank(cls)
    assert a == a and a != b


@pytest.mark.parametrize("name", REGISTERED)
def test_pickling_pair_is_the_class_own_and_has_no_other_name(name):
    # The table's outcome is the module's: a picklable class has its unpickle function.
    assert isinstance(row(PICKLING, name, "CLASSES"), int) == picklable(name)
    cls = engine_class(name)
    own = cls.__dict__
    assert own["__reduce__"].__objclass__ is cls
    assert own["__setstate__"].__objclass__ is cls
    pickle_names = [n for n in dir(cls) if "reduce" in n or "setstate" in n]
    assert sorted(pickle_names) == ["__reduce__", "__reduce_ex__", "__setstate__"]


def checksum_of(names):
    text = " ".join(names)
    return int(hashlib.md5(text.encode()).hexdigest()[:7], 16)


def pickled_field_names(name):
    """The sorted field names that the class's checksum message reports."""
    unpickle = getattr(quorvelin, "__pyx_unpickle_" + name)
    with pytest.raises(pickle.PickleError) as failure:
        unpickle(engine_class(name), 1, None)
    checksum = PICKLING[name]
    match = re.fullmatch(rf"Incompatible checksums \(1 vs 0x{checksum:07x} = \((.*)\)\)",
                         str(failure.value))
    assert match, str(failure.value)
    return match.group(1).split(", ")


@pytest.mark.parametrize("name", PICKLABLE)
def test_checksum_is_the_md5_of_the_sorted_field_names(name):
    names = pickled_field_names(name)
    assert names == sorted(names)
    assert len(set(names)) == len(names)
    assert checksum_of(names) == PICKLING[name]
    # The base's fields are part of the layout.
    assert "_isAlreadyHandled" in names or "Event" not in chain(name)


@pytest.mark.parametrize("name", PICKLABLE)
def test_reduce_tags_the_state_with_the_checksum(name):
    cls = engine_class(name)
    unpickle = getattr(quorvelin, "__pyx_unpickle_" + name)
    obj = unpickle(cls, PICKLING[name], None)
    assert type(obj) is cls
    recipe = obj.__reduce__()
    assert len(recipe) == 2
    function, (kind, checksum, state) = recipe
    assert (function, kind, checksum) == (unpickle, cls, PICKLING[name])
    assert type(state) is tuple and len(state) == len(pickled_field_names(name))
    # The recipe owns what it holds: building it leaks no reference.
    before = sys.getrefcount(cls), sys.getrefcount(unpickle)
    for _ in range(100):
        obj.__reduce__()
    assert (sys.getrefcount(cls), sys.getrefcount(unpickle)) == before
    # A Python subclass adds its dictionary and uses the set-state shape.
    sub = subclass_of(name)
    extended = unpickle(sub, PICKLING[name], None)
    extended.tag = 1
    function, (kind, checksum, none), state = extended.__reduce__()
    assert (function, kind, checksum, none) == (unpickle, sub, PICKLING[name], None)
    assert state[-1] == {"tag": 1}


def test_event_classes_with_the_same_fields_share_a_checksum():
    assert checksum_of(["_isAlreadyHandled"]) == PICKLING["Event"] == PICKLING["MusicStoppedEvent"]
    assert PICKLING["AbstractSystem"] == PICKLING["CollisionBodySystem"]


@pytest.mark.parametrize("name", REFUSING)
def test_refusing_classes_raise_their_message(name):
    message = PICKLING[name]
    assert not hasattr(quorvelin, "__pyx_unpickle_" + name)
    for obj in (blank(engine_class(name)), blank(subclass_of(name))):
        for attempt in (obj.__reduce__, lambda: obj.__setstate__(None),
                        lambda: obj.__setstate__((1, 2)), lambda: obj.__setstate__([]),
                        lambda: pickle.dumps(obj), lambda: copy.copy(obj),
                        lambda: copy.deepcopy(obj)):
            with pytest.raises(TypeError) as failure:
                attempt()
            assert str(failure.value) == message


def doc_text(lines):
    return "\n" + "".join(" " * 8 + line + "\n" for line in lines) + " " * 8


@pytest.mark.parametrize("name", REGISTERED)
def test_init_documentation(name):
    doc = engine_class(name).__init__.__doc__
    if name in INIT_DOCS:
        assert doc == doc_text(INIT_DOCS[name])
    else:
        assert doc == HOST_INIT_DOC
    # Documenting one class leaves the host's own text alone.
    assert object.__init__.__doc__ == HOST_INIT_DOC


def test_subclass_uses_the_operations_of_its_nearest_engine_base():
    # normalize() divides by the native length; a Python attribute of the same name
    # does not replace it.
    class Lying(quorvelin.Vector2):
        length = 100.0

    v = Lying(3, 4)
    v.normalize()
    assert (v.x, v.y) == (0.6, 0.8)
