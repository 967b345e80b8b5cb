"""Event records: construction and argument conversion, properties, calling __init__
again, and the reference that JoystickAddedEvent holds."""
import gc
import sys
import weakref

import pytest

from event_cases import EVENT_CLASSES, PROPERTIES, VALID_ARGS, Boom, Probe, handled, snapshot
from quorvelin import (Event, FullscreenEvent, Joystick, JoystickAddedEvent, KeyEvent,
                       MouseClickEvent, MouseWheelEvent)

PAD = Joystick("Pad", 2, 4)


class PadSubclass(Joystick):
    pass


SUB_PAD = PadSubclass("Sub", 1, 1)


# --- construction -----------------------------------------------------------------------

@pytest.mark.parametrize("cls, args, kwargs, expected", [
    (Event, (), {}, {}),
    (KeyEvent, (97, 1, 0, None), {},
     dict(key=97, isCtrlPressed=True, isAltPressed=False, isShiftPressed=False)),
    (KeyEvent, (), dict(isShiftPressed="x", key=65, isAltPressed=[1], isCtrlPressed=[]),
     dict(key=65, isCtrlPressed=False, isAltPressed=True, isShiftPressed=True)),
    (MouseClickEvent, (10, 20, 1), {}, dict(x=10, y=20, button=1)),
    (MouseClickEvent, (), dict(button=1, y=20, x=10), dict(x=10, y=20, button=1)),
    (MouseClickEvent, (10,), dict(button=3, y=-20), dict(x=10, y=-20, button=3)),
    (MouseWheelEvent, (0, -1), {}, dict(x=0, y=-1)),
    (MouseWheelEvent, (), dict(y=2, x=-3), dict(x=-3, y=2)),
    (FullscreenEvent, ([], 1), {}, dict(oldValue=False, newValue=True)),
    (FullscreenEvent, (), dict(newValue=None, oldValue="yes"), dict(oldValue=True, newValue=False)),
    (JoystickAddedEvent, (None,), {}, dict(joystick=None)),
    (JoystickAddedEvent, (), dict(joystick=PAD), dict(joystick=PAD)),
    (JoystickAddedEvent, (SUB_PAD,), {}, dict(joystick=SUB_PAD)),
])
def test_constructor_stores_arguments_by_position_or_keyword(cls, args, kwargs, expected):
    event = cls(*args, **kwargs)
    assert snapshot(event) == dict(isAlreadyHandled=False, **expected)
    for name, value in snapshot(event).items():
        if name == "joystick":
            assert value is expected[name]
        else:
            # Flags read back as bools, numbers as plain ints.
            assert type(value) is type(expected.get(name, False))


class NotInt:
    pass


@pytest.mark.parametrize("value, stored", [
    (3.9, 3),
    (-3.9, -3),  # truncated toward zero
    (True, 1),
    (Probe(42), 42),
    (2**31 - 1, 2**31 - 1),
    (-2**31, -2**31),
])
def test_int_argument_conversion(value, stored):
    event = KeyEvent(value, False, False, False)
    assert event.key == stored and type(event.key) is int


def _reinit_with(cls, index, bad, error):
    """Calls __init__ again with argument `index` replaced by `bad`, which must fail and
    leave the event as it was."""
    event = handled(cls)
    before = snapshot(event)
    args = list(VALID_ARGS[cls])
    args[index] = bad
    with pytest.raises(error) as info:
        event.__init__(*args)
    assert snapshot(event) == before
    with pytest.raises(error):
        cls(*args)
    return str(info.value)


@pytest.mark.parametrize("bad, error, message", [
    ("97", TypeError, "an integer is required"),
    (None, TypeError, "an integer is required"),
    (NotInt(), TypeError, "an integer is required"),
    (Probe("7"), TypeError, "__int__ returned non-int (type str)"),
    (Probe(2.5), TypeError, "__int__ returned non-int (type float)"),
    (Probe(NotInt()), TypeError, "__int__ returned non-int (type NotInt)"),
    (Probe(Boom("from __int__")), Boom, "from __int__"),
    (2**31, OverflowError, None),
    (-2**31 - 1, OverflowError, None),
    (Probe(2**40), OverflowError, None),
])
def test_int_argument_errors_leave_the_event_unchanged(bad, error, message):
    # The last argument: the earlier ones are already converted when it fails.
    text = _reinit_with(MouseClickEvent, 2, bad, error)
    assert message is None or text == message


@pytest.mark.parametrize("cls, index", [(KeyEvent, 0), (MouseClickEvent, 0), (MouseClickEvent, 1),
                                        (MouseWheelEvent, 0), (MouseWheelEvent, 1)])
@pytest.mark.parametrize("bad, error", [("1", TypeError), (2**31, OverflowError)])
def test_every_int_argument_is_converted(cls, index, bad, error):
    _reinit_with(cls, index, bad, error)


# (class, index of the flag argument, its property)
FLAG_ARGUMENTS = [(KeyEvent, 1, "isCtrlPressed"), (KeyEvent, 2, "isAltPressed"),
                  (KeyEvent, 3, "isShiftPressed"), (FullscreenEvent, 0, "oldValue"),
                  (FullscreenEvent, 1, "newValue")]


@pytest.mark.parametrize("value, expected", [
    ([], False), ([0], True), (0, False), (7, True), ("", False), ("no", True), (None, False),
    (Probe(False), False), (Probe(True), True),
])
def test_flag_arguments_take_the_truth_value(value, expected):
    assert FullscreenEvent(not expected, value).newValue is expected


@pytest.mark.parametrize("cls, index, name", FLAG_ARGUMENTS)
def test_each_flag_argument_lands_in_its_own_field(cls, index, name):
    args = [0, None, None, None] if cls is KeyEvent else [None, None]
    args[index] = [0]
    event = cls(*args)
    assert {other: getattr(event, other) for other in PROPERTIES[cls] if other != "key"} == {
        other: other == name for other in PROPERTIES[cls] if other != "key"}


@pytest.mark.parametrize("cls, index, name", FLAG_ARGUMENTS)
def test_truth_test_errors_propagate_and_leave_the_event_unchanged(cls, index, name):
    _reinit_with(cls, index, Probe(Boom("truth")), Boom)


@pytest.mark.parametrize("cls, args, converted", [
    (KeyEvent, lambda log: (Probe(1, log), Probe(True, log), Probe(False, log), Probe(True, log)),
     [0, 1, 2, 3]),
    (MouseClickEvent, lambda log: (Probe(1, log), Probe(2, log), Probe(3, log)), [0, 1, 2]),
    (MouseWheelEvent, lambda log: (Probe(1, log), Probe(2, log)), [0, 1]),
    (FullscreenEvent, lambda log: (Probe(True, log), Probe(False, log)), [0, 1]),
    # The first failure stops the conversions.
    (MouseClickEvent, lambda log: (Probe(1, log), "y", Probe(3, log)), [0]),
    (KeyEvent, lambda log: ("key", Probe(True, log), Probe(True, log), Probe(True, log)), []),
])
def test_arguments_are_converted_in_argument_order(cls, args, converted):
    log = []
    args = args(log)
    try:
        cls(*args)
    except TypeError:
        pass
    assert log == [args[i] for i in converted]


def test_keyword_arguments_are_converted_in_argument_order():
    log = []
    x, y, button = Probe(1, log), Probe(2, log), Probe(3, log)
    MouseClickEvent(button=button, y=y, x=x)
    assert log == [x, y, button]


@pytest.mark.parametrize("bad, type_name", [
    (5, "int"), ("Pad", "str"), (Event(), "quorvelin.Event"), (Joystick, "type"),
])
def test_joystick_argument_type(bad, type_name):
    event = handled(JoystickAddedEvent)
    joystick = event.joystick
    with pytest.raises(TypeError) as info:
        event.__init__(bad)
    assert str(info.value) == ("Argument 'joystick' has incorrect type"
                               f" (expected quorvelin.Joystick, got {type_name})")
    assert event.joystick is joystick and event.isAlreadyHandled


@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_allocated_event_has_zeroed_fields(cls):
    fields = snapshot(cls.__new__(cls))
    assert fields == {name: None if name == "joystick" else 0 for name in fields}
    assert len(fields) == 1 + len(PROPERTIES[cls])


# --- calling __init__ again ----------------------------------------------------------

@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_calling_init_again_resets_the_flag_and_stores_the_new_values(cls):
    event = cls.__new__(cls)
    event.isAlreadyHandled = True
    event.__init__(*VALID_ARGS[cls])
    assert snapshot(event) == snapshot(cls(*VALID_ARGS[cls]))
    assert event.isAlreadyHandled is False


# --- properties -------------------------------------------------------------------------

@pytest.mark.parametrize("value, expected", [
    ([1], True), (0, False), ("", False), (Probe(True), True), (None, False), (2.5, True),
])
def test_is_already_handled_stores_the_truth_value(value, expected):
    event = KeyEvent(1, False, False, False)
    event.isAlreadyHandled = not expected
    event.isAlreadyHandled = value
    assert event.isAlreadyHandled is expected


@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_is_already_handled_keeps_its_value_when_the_truth_test_fails(cls):
    event = handled(cls)
    with pytest.raises(Boom):
        event.isAlreadyHandled = Probe(Boom("truth"))
    assert event.isAlreadyHandled is True


@pytest.mark.parametrize("cls", EVENT_CLASSES)
def test_is_already_handled_cannot_be_deleted(cls):
    event = handled(cls)
    with pytest.raises(NotImplementedError) as info:
        del event.isAlreadyHandled
    assert str(info.value) == "__del__"
    assert event.isAlreadyHandled is True


@pytest.mark.parametrize("cls, name", [(cls, name) for cls in EVENT_CLASSES
                                       for name in PROPERTIES[cls] + ("extra",)])
def test_other_attributes_are_read_only(cls, name):
    event = handled(cls)
    before = snapshot(event)
    with pytest.raises(AttributeError):
        setattr(event, name, 5)
    with pytest.raises(AttributeError):
        delattr(event, name)
    assert snapshot(event) == before


def test_events_compare_by_identity():
    first, second = KeyEvent(1, False, False, False), KeyEvent(1, False, False, False)
    assert first != second and first == first
    assert hash(first) != hash(second)


def test_python_subclass_keeps_attributes_and_fields():
    class Tagged(MouseClickEvent):
        pass

    event = Tagged(1, 2, 3)
    event.tag = "x"
    assert (event.x, event.y, event.button, event.tag) == (1, 2, 3, "x")


# --- the joystick reference -------------------------------------------------------------

def test_joystick_event_references_follow_the_stored_object():
    pad, other = Joystick("Pad", 1, 1), Joystick("Other", 1, 1)
    base_pad, base_other = sys.getrefcount(pad), sys.getrefcount(other)
    event = JoystickAddedEvent(pad)
    assert event.joystick is pad
    assert sys.getrefcount(pad) == base_pad + 1
    for _ in range(3):  # reading hands out a new reference each time, kept by nobody
        event.joystick
    assert sys.getrefcount(pad) == base_pad + 1
    event.__init__(other)
    assert (sys.getrefcount(pad), sys.getrefcount(other)) == (base_pad, base_other + 1)
    with pytest.raises(TypeError):
        event.__init__(5)
    assert (sys.getrefcount(pad), sys.getrefcount(other)) == (base_pad, base_other + 1)
    event.__init__(None)
    assert sys.getrefcount(other) == base_other
    event.__init__(pad)
    del event
    assert sys.getrefcount(pad) == base_pad


def test_only_the_joystick_event_takes_part_in_garbage_collection():
    assert gc.is_tracked(JoystickAddedEvent(None))
    for cls in EVENT_CLASSES[:-1] + [Joystick]:
        assert not gc.is_tracked(cls(*VALID_ARGS[cls])), cls


class CyclicEvent(JoystickAddedEvent):
    pass


class CyclicPad(Joystick):
    pass


def _cycle_through_subclass_dict():
    event = CyclicEvent(None)
    event.me = event
    return event


def _cycle_through_joystick():
    pad = CyclicPad("Pad", 1, 1)
    event = JoystickAddedEvent(pad)
    pad.event = event
    return pad


@pytest.mark.parametrize("build", [_cycle_through_subclass_dict, _cycle_through_joystick])
def test_reference_cycles_are_collected(build):
    gc.collect()
    obj = build()
    probe = weakref.ref(obj)
    del obj
    gc.collect()
    assert probe() is None


@pytest.mark.parametrize("base", EVENT_CLASSES + [Joystick])
def test_class_referring_to_its_own_instance_is_collected(base):
    # Each instance refers to its class; the collector must see that link.
    cls = type("Holder", (base,), {})
    cls.instance = cls(*VALID_ARGS[base])
    probe = weakref.ref(cls)
    del cls
    gc.collect()
    assert probe() is None


def test_collecting_a_cycle_releases_the_joystick():
    pad = Joystick("Pad", 1, 1)
    base = sys.getrefcount(pad)
    event = CyclicEvent(pad)
    event.me = event
    del event
    gc.collect()
    assert sys.getrefcount(pad) == base
