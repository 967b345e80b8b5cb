"""Pickling of the event classes: the reconstruction recipe, the state tuple and its
checksum, the unpickle functions, set-state errors, Python subclasses, and copies."""
import copy
import hashlib
import pickle
import sys

import pytest

import quorvelin
from event_cases import EVENT_CLASSES, VALID_ARGS, Boom, Probe, handled, snapshot
from quorvelin import (Event, FullscreenEvent, Joystick, JoystickAddedEvent, KeyEvent,
                       MouseClickEvent, MouseWheelEvent)

# class: (its fields, sorted by name; the checksum that names them)
LAYOUTS = {
    Event: ("_isAlreadyHandled", 0xa6be06b),
    KeyEvent: ("_isAlreadyHandled _isAltPressed _isCtrlPressed _isShiftPressed _key", 0x5d9a963),
    MouseClickEvent: ("_button _isAlreadyHandled _x _y", 0xd1c856a),
    MouseWheelEvent: ("_isAlreadyHandled _x _y", 0x74a5e37),
    FullscreenEvent: ("_isAlreadyHandled _newValue _oldValue", 0xc311458),
    JoystickAddedEvent: ("_isAlreadyHandled _joystick", 0x618934a),
}

# The state of each class's handled() object (VALID_ARGS, isAlreadyHandled set), in
# field-name order.
STATES = {
    Event: (True,),
    KeyEvent: (True, False, True, True, 97),
    MouseClickEvent: (3, True, 10, 20),
    MouseWheelEvent: (True, -4, 7),
    FullscreenEvent: (True, True, False),
    JoystickAddedEvent: (True, VALID_ARGS[JoystickAddedEvent][0]),
}

PLAIN_CLASSES = EVENT_CLASSES[:-1]  # no object field: pickled without a device in the way


def unpickler(cls):
    return getattr(quorvelin, "__pyx_unpickle_" + cls.__name__)


def same_values(got, expected):
    """Equal, item by item of the same type (True is not 1 here)."""
    return list(got) == list(expected) and [type(v) for v in got] == [type(v) for v in expected]


class TaggedKeyEvent(KeyEvent):
    pass


class SlottedKeyEvent(KeyEvent):
    __slots__ = ()


class TaggedJoystickEvent(JoystickAddedEvent):
    pass


class TaggedPad(Joystick):
    pass


class BrokenDictKeyEvent(KeyEvent):
    @property
    def __dict__(self):
        raise Boom("dict")


# --- the recipe -------------------------------------------------------------------------

@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_checksum_is_the_digest_of_the_sorted_field_names(cls):
    names, checksum = LAYOUTS[cls]
    assert names.split() == sorted(names.split())
    assert int(hashlib.md5(names.encode()).hexdigest()[:7], 16) == checksum


@pytest.mark.parametrize("cls", PLAIN_CLASSES)
def test_reduce_gives_the_plain_recipe(cls):
    function, arguments = handled(cls).__reduce__()
    assert function is unpickler(cls)
    assert arguments[:2] == (cls, LAYOUTS[cls][1])
    assert same_values(arguments[2], STATES[cls])


def test_joystick_event_recipe_shape_depends_on_the_stored_object():
    pad = VALID_ARGS[JoystickAddedEvent][0]
    empty = JoystickAddedEvent(None).__reduce__()
    assert empty == (quorvelin.__pyx_unpickle_JoystickAddedEvent,
                     (JoystickAddedEvent, 102273866, (False, None)))
    function, arguments, state = handled(JoystickAddedEvent).__reduce__()
    assert (function, arguments) == (quorvelin.__pyx_unpickle_JoystickAddedEvent,
                                     (JoystickAddedEvent, 102273866, None))
    assert state[0] is True and state[1] is pad and len(state) == 2


def test_python_subclass_recipe_carries_the_instance_dict():
    event = TaggedKeyEvent(5, True, False, False)
    event.tag = "hello"
    function, arguments, state = event.__reduce__()
    assert (function, arguments) == (quorvelin.__pyx_unpickle_KeyEvent,
                                     (TaggedKeyEvent, 98150755, None))
    assert state == (False, False, True, False, 5, {"tag": "hello"})
    assert state[-1] is event.__dict__


def test_subclass_without_dict_uses_the_plain_recipe():
    assert SlottedKeyEvent(5, False, False, False).__reduce__() == (
        quorvelin.__pyx_unpickle_KeyEvent,
        (SlottedKeyEvent, 98150755, (False, False, False, False, 5)))


def test_reduce_looks_up_the_unpickle_function_at_each_call(monkeypatch):
    marker = object()
    monkeypatch.setattr(quorvelin, "__pyx_unpickle_KeyEvent", marker)
    assert KeyEvent(1, 0, 0, 0).__reduce__()[0] is marker
    monkeypatch.delattr(quorvelin, "__pyx_unpickle_KeyEvent")
    with pytest.raises(NameError, match="__pyx_unpickle_KeyEvent"):
        KeyEvent(1, 0, 0, 0).__reduce__()


def test_dict_lookup_errors_other_than_attribute_error_propagate_from_reduce():
    with pytest.raises(Boom):
        BrokenDictKeyEvent(1, 0, 0, 0).__reduce__()


# --- round trips ------------------------------------------------------------------------

COPIERS = {
    "pickle-0": lambda obj: pickle.loads(pickle.dumps(obj, 0)),
    "pickle-highest": lambda obj: pickle.loads(pickle.dumps(obj, pickle.HIGHEST_PROTOCOL)),
    "copy": copy.copy,
    "deepcopy": copy.deepcopy,
}


@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
@pytest.mark.parametrize("cls", PLAIN_CLASSES + [TaggedKeyEvent])
def test_round_trip_restores_every_field(cls, copier):
    original = cls(*VALID_ARGS.get(cls, VALID_ARGS[KeyEvent]))
    original.isAlreadyHandled = True
    if cls is TaggedKeyEvent:
        original.tag = ["a", 1]
    clone = copier(original)
    assert type(clone) is cls and clone is not original
    assert snapshot(clone) == snapshot(original)
    if cls is TaggedKeyEvent:
        assert clone.tag == ["a", 1]


@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
def test_round_trip_of_joystick_event_without_joystick(copier):
    event = handled(JoystickAddedEvent)
    event.__init__(None)
    clone = copier(event)
    assert type(clone) is JoystickAddedEvent and snapshot(clone) == snapshot(event)


def refusal(operation, obj):
    """The message of the TypeError that `operation(obj)` raises, keeping no traceback."""
    try:
        operation(obj)
    except TypeError as error:
        return str(error)
    raise AssertionError(f"{operation} accepted {obj!r}")


def test_joystick_event_copy_shares_the_joystick_and_pickling_refuses_it():
    pad = Joystick("Pad", 1, 1)
    event = TaggedJoystickEvent(pad)
    event.isAlreadyHandled = True
    event.note = "n"
    before = sys.getrefcount(pad)
    clone = copy.copy(event)
    assert sys.getrefcount(pad) == before + 1
    assert clone.joystick is pad
    assert clone.isAlreadyHandled and clone.note == "n"
    del clone
    assert sys.getrefcount(pad) == before
    message = "self._ptr cannot be converted to a Python object for pickling"
    assert refusal(pickle.dumps, event) == message
    assert refusal(copy.deepcopy, event) == message
    assert sys.getrefcount(pad) == before


def test_unpickling_many_objects_keeps_reference_counts():
    extra = {"tag": 1}
    state = (True, False, True, False, 5, extra)
    counts = sys.getrefcount(KeyEvent), sys.getrefcount(TaggedKeyEvent), sys.getrefcount(extra)
    for _ in range(50):
        quorvelin.__pyx_unpickle_KeyEvent(KeyEvent, 98150755, state)
        quorvelin.__pyx_unpickle_KeyEvent(TaggedKeyEvent, 98150755, state).__reduce__()
        KeyEvent(1, 0, 0, 0).__setstate__(state)
    assert (sys.getrefcount(KeyEvent), sys.getrefcount(TaggedKeyEvent),
            sys.getrefcount(extra)) == counts


# --- the unpickle function --------------------------------------------------------------

@pytest.mark.parametrize("cls", EVENT_CLASSES)
@pytest.mark.parametrize("given", [1, -5])
def test_checksum_mismatch(cls, given):
    names, checksum = LAYOUTS[cls]
    with pytest.raises(pickle.PickleError) as info:
        unpickler(cls)(cls, given, STATES[cls])
    assert str(info.value) == (f"Incompatible checksums ({given} vs 0x{checksum:07x} = "
                               f"({', '.join(names.split())}))")


@pytest.mark.parametrize("checksum, error, message", [
    (98150755.7, None, None),  # truncated like any int argument
    (Probe(98150755), None, None),
    ("98150755", TypeError, "an integer is required"),
    (2**40, OverflowError, None),
])
def test_checksum_conversion(checksum, error, message):
    if error is None:
        assert quorvelin.__pyx_unpickle_KeyEvent(KeyEvent, checksum, (True,) * 4 + (3,)).key == 3
        return
    with pytest.raises(error) as info:
        quorvelin.__pyx_unpickle_KeyEvent(KeyEvent, checksum, None)
    assert message is None or str(info.value) == message


@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_unpickle_without_state_gives_an_allocated_object(cls):
    event = unpickler(cls)(cls, LAYOUTS[cls][1], None)
    assert type(event) is cls
    assert snapshot(event) == snapshot(cls.__new__(cls))


def test_unpickle_does_not_run_init_and_takes_keywords():
    class Counting(KeyEvent):
        def __init__(self, *args):
            raise AssertionError("__init__ must not run")

    event = quorvelin.__pyx_unpickle_KeyEvent(__pyx_state=(True, True, False, True, 9),
                                              __pyx_checksum=98150755, __pyx_type=Counting)
    assert type(event) is Counting
    assert snapshot(event) == dict(isAlreadyHandled=True, key=9, isCtrlPressed=False,
                                   isAltPressed=True, isShiftPressed=True)


@pytest.mark.parametrize("cls, given", [
    (Event, int),  # unrelated
    (Event, KeyEvent),  # an engine class derived from it
    (Event, TaggedKeyEvent),  # a Python subclass of a derived engine class
    (MouseClickEvent, KeyEvent),
    (KeyEvent, Joystick),
    (KeyEvent, 5),  # not a type
])
def test_unpickle_only_rebuilds_the_class_or_its_python_subclasses(cls, given):
    with pytest.raises(TypeError) as expected:
        cls.__new__(given)
    with pytest.raises(TypeError) as info:
        unpickler(cls)(given, LAYOUTS[cls][1], STATES[cls])
    assert str(info.value) == str(expected.value)


# --- applying state ---------------------------------------------------------------------

class TupleSubclass(tuple):
    pass


@pytest.mark.parametrize("state, error, message", [
    ([False, False, False, False, 1], TypeError, "Expected tuple, got list"),
    (TupleSubclass((False, False, False, False, 1)), TypeError,
     "Expected tuple, got TupleSubclass"),
    (5, TypeError, "Expected tuple, got int"),
])
def test_state_must_be_exactly_a_tuple(state, error, message):
    event = handled(KeyEvent)
    before = snapshot(event)
    with pytest.raises(error) as info:
        event.__setstate__(state)
    assert str(info.value) == message and snapshot(event) == before
    with pytest.raises(error) as info:
        quorvelin.__pyx_unpickle_KeyEvent(KeyEvent, 98150755, state)
    assert str(info.value) == message


def test_set_state_none_is_not_subscriptable():
    event = handled(KeyEvent)
    before = snapshot(event)
    with pytest.raises(TypeError) as info:
        event.__setstate__(None)
    assert str(info.value) == "'NoneType' object is not subscriptable"
    assert snapshot(event) == before


@pytest.mark.parametrize("state, error, applied", [
    # Too short: the items present are applied, the rest stays.
    ((False,), IndexError, dict(isAlreadyHandled=False)),
    ((False, False, [], 0), IndexError,
     dict(isAlreadyHandled=False, isAltPressed=False, isCtrlPressed=False, isShiftPressed=False)),
    # A failing item: the ones before it are applied.
    ((False, True, False, 0, "x"), TypeError,
     dict(isAlreadyHandled=False, isAltPressed=True, isCtrlPressed=False, isShiftPressed=False)),
    ((False, True, False, 0, 2**31), OverflowError,
     dict(isAlreadyHandled=False, isAltPressed=True, isCtrlPressed=False, isShiftPressed=False)),
])
def test_partial_state_applies_the_leading_fields(state, error, applied):
    event = handled(KeyEvent)
    expected = snapshot(event) | applied
    with pytest.raises(error):
        event.__setstate__(state)
    assert snapshot(event) == expected


def test_joystick_item_must_be_a_joystick():
    event = handled(JoystickAddedEvent)
    pad = event.joystick
    with pytest.raises(TypeError) as info:
        event.__setstate__((False, "Pad"))
    assert str(info.value) == "Cannot convert str to quorvelin.Joystick"
    assert event.isAlreadyHandled is False and event.joystick is pad
    with pytest.raises(TypeError) as info:
        quorvelin.__pyx_unpickle_JoystickAddedEvent(JoystickAddedEvent, 102273866, (True, 5))
    assert str(info.value) == "Cannot convert int to quorvelin.Joystick"


def test_joystick_item_references():
    pad, other = Joystick("Pad", 1, 1), TaggedPad("Other", 1, 1)
    base_pad, base_other = sys.getrefcount(pad), sys.getrefcount(other)
    event = quorvelin.__pyx_unpickle_JoystickAddedEvent(JoystickAddedEvent, 102273866, (True, pad))
    assert sys.getrefcount(pad) == base_pad + 1
    assert event.joystick is pad
    event.__setstate__((False, other))
    assert (sys.getrefcount(pad), sys.getrefcount(other)) == (base_pad, base_other + 1)
    event.__setstate__((False, None))
    assert sys.getrefcount(other) == base_other
    assert event.joystick is None


@pytest.mark.parametrize("cls, extra, expected", [
    (KeyEvent, {"tag": 1}, None),  # no instance dict: ignored
    (SlottedKeyEvent, {"tag": 1}, None),
    (TaggedKeyEvent, {"tag": 1}, {"tag": 1}),
    (TaggedKeyEvent, (("a", 1), ("b", 2)), {"a": 1, "b": 2}),  # anything dict.update takes
    (TaggedKeyEvent, (), {}),
])
def test_extra_item_updates_the_instance_dict(cls, extra, expected):
    event = cls(0, 0, 0, 0)
    event.__setstate__((True, False, False, False, 5, extra, "ignored"))
    assert event.key == 5 and event.isAlreadyHandled
    assert getattr(event, "__dict__", None) == expected


def test_extra_item_that_update_refuses_propagates():
    event = TaggedKeyEvent(0, 0, 0, 0)
    with pytest.raises(TypeError):
        event.__setstate__((True, False, False, False, 5, 3))
    assert event.key == 5


def test_dict_lookup_errors_are_ignored_when_applying_state():
    event = BrokenDictKeyEvent(0, 0, 0, 0)
    event.__setstate__((True, False, False, False, 5, {"tag": 1}))
    assert event.key == 5


def test_set_state_failures_name_the_routine_in_the_traceback():
    import traceback
    from quorvelin import KeyEvent, __pyx_unpickle_KeyEvent
    with pytest.raises(IndexError) as info:
        __pyx_unpickle_KeyEvent(KeyEvent, 0x5d9a963, (True,))
    names = [frame.name for frame in traceback.extract_tb(info.value.__traceback__)]
    assert "__pyx_unpickle_KeyEvent__set_state" in names
    with pytest.raises(IndexError) as info:
        KeyEvent(1, 0, 0, 0).__setstate__((True,))
    names = [frame.name for frame in traceback.extract_tb(info.value.__traceback__)]
    assert "__pyx_unpickle_KeyEvent__set_state" in names
