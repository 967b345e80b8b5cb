"""UISlider: the clamped value and the event it fires, the percent in single precision
(expectations worked out here with floats packed to 32 bits), the arrows, the thumb
drag, the minimum size and the drawing from the theme's "slider" skin."""
import struct

import pytest

import quorvelin
from quorvelin import SliderValueChangedEvent, UISlider
from engine import sdlinput

from .conftest import fixed, place_mouse
from .themes import SLIDER_SKIN, identify

ARROW = SLIDER_SKIN["leftButton"]["normal"]["width"]  # 4, both arrows
THUMB = SLIDER_SKIN["horizontalButton"]["normal"]["width"]  # 6
TRAVEL = 100
WIDTH = TRAVEL + 2 * ARROW + THUMB  # 114
VERTICAL = quorvelin.SLIDER_ORIENTATION_VERTICAL


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def f32_percent(value, low, high):
    return f32(f32(value - low) / f32(high - low))


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def placed(ui, slider, x=10, y=20, width=WIDTH, height=None):
    slider.sizePolicyX = quorvelin.SIZE_FIXED
    slider.width = width
    if height is not None:
        slider.sizePolicyY = quorvelin.SIZE_FIXED
        slider.height = height
    ui.widget.addChild(slider, x, y)
    ui.render()
    return slider


def test_a_new_slider():
    slider = UISlider(150)
    assert (slider.value, slider.percent) == (150, 1.5)  # not clamped until assigned
    slider.value = 150
    assert slider.value == 100
    assert (quorvelin.SLIDER_ORIENTATION_HORIZONTAL, VERTICAL) == (0, 1)
    assert [name for name in vars(UISlider) if not name.startswith("_") and
            type(vars(UISlider)[name]).__name__ == "getset_descriptor"] == ["value", "percent"]
    for name in ("value", "percent"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(slider, name)
    with pytest.raises(TypeError, match="no default __reduce__"):
        slider.__reduce__()
    assert UISlider.__doc__.strip() == \
        "Represents a horizontally or vertically oriented slider for choosing a value inside a range"
    assert "SLIDER_ORIENTATION_HORIZONTAL or SLIDER_ORIENTATION_VERTICAL" in UISlider.__init__.__doc__


def test_construction_converts_each_argument_as_it_stores_it():
    slider = UISlider(2.9, minValue=True, maxValue=10.5)
    assert (slider.value, slider.percent) == (2, f32_percent(2, 1, 10))
    with pytest.raises(TypeError, match="an integer is required"):
        slider.__init__(7, "low")
    assert slider.value == 7  # stored before minValue failed
    with pytest.raises(TypeError, match="an integer is required"):
        UISlider(1, "low")
    with pytest.raises(OverflowError):
        UISlider(2 ** 31)
    with pytest.raises(TypeError, match=r"takes at (least|most)"):
        UISlider()


@pytest.mark.parametrize("low, high, given, stored", [
    (0, 100, 50, 50), (0, 100, 250, 100), (0, 100, -3, 0),
    (20, 10, 5, 20), (20, 10, 10, 20), (20, 10, 11, 10),  # the upper bound is tested first
])
def test_the_value_is_clamped(low, high, given, stored):
    slider = UISlider(0, low, high)
    slider.value = given
    assert slider.value == stored


# --- the change event ----------------------------------------------------------------------------

@pytest.fixture
def changes(engine, make_ui):
    ui = make_ui(engine)
    slider = UISlider(95)
    ui.widget.addChild(slider, 0, 0)
    seen = []
    engine.subscribeEvent(SliderValueChangedEvent,
                          lambda event: seen.append((event.target, event.oldValue, event.newValue,
                                                     event.target.value)))
    return slider, seen, ui


def test_a_change_fires_one_event_after_it_is_stored(changes):
    slider, seen, _ = changes
    slider.value = 100
    slider.value = 100
    slider.value = 250
    assert seen == [(slider, 95, 100, 100)]  # the handler saw the stored value


def test_no_event_without_a_renderer_with_an_engine(changes):
    slider, seen, ui = changes
    quorvelin.AbstractSystem._setEngine(ui, None)
    slider.value = 10
    ui.widget.removeChild(slider)
    lone = UISlider(0)
    lone.value = 20
    assert seen == [] and slider.value == 10 and lone.value == 20


def test_a_handler_that_raises_leaves_the_value_stored(changes, engine):
    slider, seen, _ = changes
    engine.subscribeEvent(SliderValueChangedEvent, lambda event: 1 / 0)
    with pytest.raises(ZeroDivisionError):
        slider.value = 50
    assert slider.value == 50 and len(seen) == 1


# --- the percent -----------------------------------------------------------------------------------

@pytest.mark.parametrize("low, high, value, percent", [
    (50, 100, 75, 0.5), (0, 3, 1, f32(1) / f32(3)), (0, 100, 150, 1.5),
    (-2 ** 31, 2 ** 31 - 1, 2 ** 31 - 1, 1.0),  # the range worked out in 64 bits
])
def test_reading_the_percent_in_single_precision(low, high, value, percent):
    assert UISlider(value, low, high).percent == f32_percent(value, low, high) == pytest.approx(percent)
    assert UISlider(1, 0, 3).percent != 1 / 3


@pytest.mark.parametrize("low, high, percent, stored", [
    (50, 100, 0.5, 75), (50, 100, -1.0, 50), (50, 100, 2.0, 100), (0, 100, 0.333, 33),
    (0, 100, 0.7, 70),  # 0.7 as a float times 100 rounds up to 70 in single precision
    (0, 100, float("inf"), 100), (0, 100, float("-inf"), 0), (0, 100, 1e300, 100),
    (-2 ** 31, 2 ** 31 - 1, 1.0, 2 ** 31 - 1),
])
def test_writing_the_percent(low, high, percent, stored):
    slider = UISlider(low, low, high)
    slider.percent = percent
    assert slider.value == stored
    assert int(f32(0.7) * 100) == 69  # what a product in double precision would store


def test_a_percent_that_is_not_a_number(changes):
    slider, seen, _ = changes
    with pytest.raises(ValueError, match="^percent must not be NaN$"):
        slider.percent = float("nan")
    with pytest.raises(TypeError):
        slider.percent = "half"
    assert slider.value == 95 and seen == []


NAN = float("nan")


@pytest.mark.parametrize("name, change", [
    ("value", lambda slider: setattr(slider, "value", NAN)),
    ("value", lambda slider: slider.__init__(NAN)),
    ("minValue", lambda slider: slider.__init__(3, NAN)),
    ("maxValue", lambda slider: slider.__init__(3, 0, maxValue=NAN)),
    ("orientation", lambda slider: slider.__init__(3, orientation=NAN)),
    # infinity times an empty range: the percent is a number, the value it gives is not
    ("value", lambda slider: (slider.__init__(5, 5, 5), setattr(slider, "percent", float("inf")))),
])
def test_a_nan_names_what_it_was_given_for(name, change, changes):
    slider, seen, _ = changes
    with pytest.raises(ValueError, match=f"^{name} must not be NaN$"):
        change(slider)
    assert seen == []


@pytest.mark.parametrize("value, low, high", [
    (10, 10, 10), (-2**31, -2**31, -2**31), (2**31 - 1, 2**31 - 1, 2**31 - 1),
])
def test_an_empty_range_is_at_zero_percent_without_a_report(unraisable, value, low, high):
    slider = UISlider(value, low, high)
    assert [slider.percent for _ in range(3)] == [0.0] * 3
    slider.percent = 0.75
    assert (slider.value, slider.percent) == (low, 0.0)
    assert unraisable == []


# --- arrows and clicks --------------------------------------------------------------------------------

@pytest.mark.parametrize("orientation, at, change", [
    (0, (12, 22), -10), (0, (10 + WIDTH - 2, 22), +10), (0, (60, 22), 0),
    (VERTICAL, (12, 22), -10), (VERTICAL, (12, 20 + WIDTH - 2), +10),
])
def test_the_arrows_step_by_ten(ui, orientation, at, change):
    slider = UISlider(50, orientation=orientation)
    if orientation == VERTICAL:
        slider.sizePolicyY = quorvelin.SIZE_FIXED
        slider.height = WIDTH
        ui.widget.addChild(slider, 10, 20)
        ui.render()
    else:
        placed(ui, slider)
    slider.update(*at, False)
    assert slider._onClick(quorvelin.MouseClickEvent(*at, 1)) is True
    assert slider.value == 50 + change


def test_a_disabled_or_unhovered_slider_takes_no_click(ui):
    slider = placed(ui, UISlider(50))
    slider.update(12, 22, False)
    slider.isEnabled = False
    assert slider._onClick(None) is False
    slider.isEnabled = True
    slider.update(0, 0, False)
    assert slider._onClick(None) is False and slider.value == 50


def test_steps_stay_at_the_ends_of_the_int_range(ui):
    slider = placed(ui, UISlider(2 ** 31 - 5, -2 ** 31, 2 ** 31 - 1))
    slider.update(10 + WIDTH - 2, 22, False)
    slider._onClick(None)
    assert slider.value == 2 ** 31 - 1


def test_an_arrow_clicked_through_the_engine(engine, make_ui):
    ui = make_ui(engine)
    slider = placed(ui, UISlider(95))
    seen = []
    engine.subscribeEvent(SliderValueChangedEvent, seen.append)
    place_mouse(engine, 10 + WIDTH - 2, 22)
    sdlinput.click(10 + WIDTH - 2, 22)
    engine.update()
    assert slider.value == 100 and [(e.oldValue, e.newValue) for e in seen] == [(95, 100)]


def test_the_value_and_the_hover_test_go_by_name(ui):
    assigned = []

    class Watched(UISlider):
        @property
        def value(self):
            return UISlider.value.__get__(self)

        @value.setter
        def value(self, v):
            assigned.append(v)
            UISlider.value.__set__(self, v)

        def _pointInRect(self, *args):
            return True  # every arrow is hovered

    slider = placed(ui, Watched(50))
    slider.update(60, 22, False)
    slider._onClick(None)
    assert assigned == [60, 50] and slider.value == 50


# --- the thumb drag ----------------------------------------------------------------------------------

def drag(scripted, slider, positions):
    for x in positions:
        scripted.position, scripted.pressed = (x, 22), True
        scripted.update()
    scripted.pressed = False
    scripted.update()
    return slider.value


@pytest.mark.parametrize("positions, value", [
    ([17, 67], 50),  # the thumb's centre follows the mouse: (67 - 4 - 10 - 3) / 100
    ([17, 17], 0), ([17, 5], 0), ([17, 117], 100), ([17, 300], 100),
    ([14, 67], 0),  # the thumb's edge is outside it
    ([60, 67], 0),  # a press on the track starts no thumb drag
])
def test_dragging_the_thumb(scripted, make_ui, positions, value):
    ui = make_ui(scripted)
    slider = placed(ui, UISlider(0))
    assert drag(scripted, slider, positions) == value


def test_the_press_tests_the_thumb_in_double_and_drawing_places_it_in_float(scripted, make_ui,
                                                                          pixels_of):
    """At 70 of 0..100 the thumb is drawn 70 pixels along (the float product of 0.7 and
    100 rounds up), while the press that starts a drag finds it 69 pixels along."""
    ui = make_ui(scripted)
    slider = placed(ui, UISlider(70))
    pixel = pixels_of(ui.getTarget())
    start = 10 + ARROW + 70
    assert [identify(pixel(x, 22))[:2] for x in (start, start + THUMB - 1)] == \
        [("thumb", 0), ("thumb", THUMB - 1)]
    assert drag(scripted, slider, [start + THUMB - 1, 40]) == 70  # outside the double thumb
    assert drag(scripted, slider, [start + THUMB - 2, 40]) != 70


def test_drag_hooks_of_a_slider_without_a_renderer_do_nothing():
    slider = UISlider(50)
    slider.onDragStart(5, 5)
    slider.onDrag(7, 5, 2, 0)
    slider.onDragEnd(7, 5)
    assert slider.value == 50


def test_a_track_without_play_fails_the_drag(ui):
    slider = placed(ui, UISlider(0), width=2 * ARROW + THUMB)
    slider.onDragStart(10 + ARROW + 2, 22)
    with pytest.raises(ZeroDivisionError):
        slider.onDrag(30, 22, 0, 0)


# --- size and drawing ----------------------------------------------------------------------------------

def test_the_minimum_size(ui):
    horizontal, vertical = UISlider(0), UISlider(0, orientation=VERTICAL)
    ui.widget.addChild(horizontal, 0, 0)
    ui.widget.addChild(vertical, 0, 0)
    ui.render()
    track = SLIDER_SKIN["horizontalBackground"]
    assert (horizontal.width, horizontal.height) == \
        (track["left"] + track["right"] + 2 * THUMB + 2 * ARROW, track["height"])
    column = SLIDER_SKIN["verticalBackground"]
    thumb_height = SLIDER_SKIN["verticalButton"]["normal"]["height"]
    arrow_height = SLIDER_SKIN["topButton"]["normal"]["height"]
    assert (vertical.width, vertical.height) == \
        (column["width"], column["top"] + column["bottom"] + 2 * thumb_height + 2 * arrow_height)
    horizontal.sizePolicyX = quorvelin.SIZE_FIXED
    horizontal.width = 7
    ui.render()
    assert horizontal.width == 7


def names_along(pixel, cells):
    return [(identify(pixel(x, y)) or (None,))[0] for x, y in cells]


def test_drawing_a_horizontal_slider(ui, scripted, pixels_of):
    slider = UISlider(50)
    scripted.position = (12, 22)  # over the decrease arrow
    placed(ui, slider)
    pixel = pixels_of(ui.getTarget())
    row = names_along(pixel, [(x, 22) for x in range(10, 10 + WIDTH)])
    thumb_at = ARROW + int(f32(f32(0.5) * f32(TRAVEL)))
    expected = ["track left"] * 2 + ["track middle"] * (WIDTH - 5) + ["track right"] * 3
    expected[:ARROW] = ["left arrow hover"] * ARROW  # the arrows over the caps
    expected[-ARROW:] = ["right arrow"] * ARROW
    expected[thumb_at:thumb_at + THUMB] = ["thumb"] * THUMB
    assert row == expected


def test_drawing_a_vertical_slider(ui, pixels_of):
    slider = UISlider(0, orientation=VERTICAL)
    slider.sizePolicyY = quorvelin.SIZE_FIXED
    slider.height = 40
    ui.widget.addChild(slider, 10, 20)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    column = names_along(pixel, [(11, y) for y in range(20, 60)])
    expected = ["top arrow"] * 4 + ["vthumb"] * 6 + ["track vmiddle"] * 27 + ["track bottom"] * 3
    expected[-4:] = ["bottom arrow"] * 4
    assert column == expected


def test_the_thumb_is_drawn_whole_beyond_the_sliders_rectangle(ui, pixels_of):
    slider = placed(ui, UISlider(0), height=3)  # the thumb is 5 high
    pixel = pixels_of(ui.getTarget())
    assert names_along(pixel, [(10 + ARROW, y) for y in range(20, 26)]) == ["thumb"] * 5 + [None]
    assert names_along(pixel, [(10, y) for y in range(20, 25)]) == ["left arrow"] * 3 + [None] * 2
    assert slider.height == 3


@pytest.mark.parametrize("change", ["hidden", "outside the clip"])
def test_a_slider_that_draws_nothing(ui, pixels_of, change):
    slider = placed(ui, UISlider(0))
    target = ui.getTarget()
    target.fill((0, 0, 0, 0))
    if change == "hidden":
        slider.isVisible = False
        slider.render()
    else:
        slider.render(200, 150, 10, 10)
    pixel = pixels_of(target)
    assert {pixel(x, y) for x in range(0, 320, 3) for y in range(0, 200, 3)} == {0}
    detached = UISlider(0)
    detached.isVisible = False
    assert detached.render() is None


def test_a_track_middle_of_zero_fails(ui, theme):
    theme.widgets["slider"]["horizontalBackground"]["middle"] = 0
    ui.widget.addChild(UISlider(0), 0, 0)
    with pytest.raises(ZeroDivisionError):
        ui.render()


def test_the_default_orientation_is_the_constant_the_import_found(ui, monkeypatch):
    monkeypatch.setattr(quorvelin, "SLIDER_ORIENTATION_HORIZONTAL", VERTICAL)
    slider = UISlider(0)
    ui.widget.addChild(slider, 0, 0)
    ui.render()
    assert slider.height == SLIDER_SKIN["horizontalBackground"]["height"]  # lies along x
