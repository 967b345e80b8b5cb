"""ButtonClickEvent and SliderValueChangedEvent: their construction and conversions,
delivery to the subscribers of exactly their type, and their pickled state."""
import pickle

import pytest

import quorvelin
from quorvelin import (ButtonClickEvent, Event, MouseClickEvent, SliderValueChangedEvent,
                       UIButton, UISlider)


@pytest.fixture
def button():
    return UIButton("b")


@pytest.fixture
def slider():
    return UISlider(5)


def test_a_button_click_event(button):
    event = ButtonClickEvent(button, 10.9, -2.5, 3)
    assert (event.target, event.x, event.y, event.button, event.isAlreadyHandled) == \
        (button, 10, -2, 3, False)
    assert ButtonClickEvent(target=None, x=1, y=2, mouseButton=1).target is None
    assert ButtonClickEvent.__mro__ == (ButtonClickEvent, MouseClickEvent, Event, object)


def test_a_slider_value_changed_event(slider):
    event = SliderValueChangedEvent(slider, 5, 7.9)
    assert (event.target, event.oldValue, event.newValue, event.isAlreadyHandled) == \
        (slider, 5, 7, False)
    assert SliderValueChangedEvent.__mro__ == (SliderValueChangedEvent, Event, object)


@pytest.mark.parametrize("make, error, message", [
    (lambda b, s: ButtonClickEvent("b", 0, 0, 1), TypeError, r"Argument 'target' has incorrect type"),
    (lambda b, s: ButtonClickEvent(b, "x", 0, 1), TypeError, "an integer is required"),
    (lambda b, s: ButtonClickEvent(b, 2 ** 31, 0, 1), OverflowError, None),
    (lambda b, s: ButtonClickEvent(b, 0, 0), TypeError,
     r"__init__\(\) takes exactly 4 positional arguments \(3 given\)"),
    (lambda b, s: ButtonClickEvent(b, 0, 0, 1, z=2), TypeError, "unexpected keyword argument 'z'"),
    (lambda b, s: SliderValueChangedEvent(b, 0, 0), TypeError, r"Argument 'target' has incorrect type"),
    (lambda b, s: SliderValueChangedEvent(s, 0, None), TypeError, "an integer is required"),
    (lambda b, s: SliderValueChangedEvent(s, 0), TypeError, r"exactly 3 positional arguments"),
])
def test_constructors_refuse_before_storing(button, slider, make, error, message):
    with pytest.raises(error, match=message):
        make(button, slider)


def test_the_numbers_are_converted_before_the_target_is_tested():
    with pytest.raises(TypeError, match="an integer is required"):
        ButtonClickEvent("not a button", 0, "y", 1)


@pytest.mark.parametrize("make, name", [
    (lambda: ButtonClickEvent(None, 1, 2, 1), "target"), (lambda: ButtonClickEvent(None, 1, 2, 1), "x"),
    (lambda: SliderValueChangedEvent(None, 1, 2), "oldValue"),
    (lambda: SliderValueChangedEvent(None, 1, 2), "newValue"),
])
def test_the_fields_are_read_only(make, name):
    with pytest.raises(AttributeError):
        setattr(make(), name, 1)


def test_delivery_matches_the_exact_type(engine, button):
    seen = {cls: [] for cls in (ButtonClickEvent, MouseClickEvent, Event, SliderValueChangedEvent)}
    for cls, got in seen.items():
        engine.subscribeEvent(cls, got.append)
    click = ButtonClickEvent(button, 1, 2, 1)
    engine.fireEvent(click)
    engine.fireEvent(SliderValueChangedEvent(None, 1, 2))
    assert seen[ButtonClickEvent] == [click]
    assert seen[MouseClickEvent] == [] and seen[Event] == []
    assert len(seen[SliderValueChangedEvent]) == 1


@pytest.mark.parametrize("event, state", [
    (ButtonClickEvent(None, 10, 20, 3), (3, False, None, 10, 20)),
    (SliderValueChangedEvent(None, 5, 7), (False, 7, 5, None)),
])
def test_pickling_without_a_target(event, state):
    reconstructor, args = event.__reduce__()
    assert args[2] == state
    copy = pickle.loads(pickle.dumps(event))
    assert type(copy) is type(event) and copy.__reduce__() == (reconstructor, args)


@pytest.mark.parametrize("make", [lambda: ButtonClickEvent(UIButton("b"), 1, 2, 1),
                                  lambda: SliderValueChangedEvent(UISlider(1), 1, 2)])
def test_with_a_target_the_set_state_form_carries_the_widget(make):
    event = make()
    reconstructor, (cls, checksum, nothing), state = event.__reduce__()
    assert nothing is None and state[-1 if cls is SliderValueChangedEvent else 2] is event.target
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(event)


@pytest.mark.parametrize("cls, checksum, message", [
    (ButtonClickEvent, 0x36d8547,
     r"Incompatible checksums \(1 vs 0x36d8547 = \(_button, _isAlreadyHandled, _target, _x, _y\)\)"),
    (SliderValueChangedEvent, 0x00719e0,
     r"Incompatible checksums \(1 vs 0x00719e0 = \(_isAlreadyHandled, _newValue, _oldValue, _target\)\)"),
])
def test_restoring_checks_the_layout(cls, checksum, message):
    restore = getattr(quorvelin, "__pyx_unpickle_" + cls.__name__)
    with pytest.raises(pickle.PickleError, match=message):
        restore(cls, 1, None)
    restored = restore(cls, checksum, None)
    assert type(restored) is cls and restored.isAlreadyHandled is False
    with pytest.raises(IndexError):
        restored.__setstate__((1,))  # a state too short for the fields
    with pytest.raises(TypeError, match="Cannot convert"):
        restored.__setstate__((1, False, "not a widget", 0, 0) if cls is ButtonClickEvent
                              else (False, 1, 2, "not a widget"))


class Tagged(SliderValueChangedEvent):
    pass


def test_a_subclass_pickles_its_dictionary():
    event = Tagged(None, 1, 2)
    event.tag = "kept"
    copy = pickle.loads(pickle.dumps(event))
    assert (type(copy), copy.tag, copy.oldValue, copy.newValue) == (Tagged, "kept", 1, 2)
