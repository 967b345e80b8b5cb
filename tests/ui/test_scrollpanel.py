"""UIScrollPanel: one content widget behind a window of fixed size, its scroll bounds,
the vertical slider it owns and places, the wheel, and the drawing of the background,
the content inside the clip padding and the slider."""
import pytest

import quorvelin
from quorvelin import MouseWheelEvent, UIPanel, UIScrollPanel, UISlider, UIWidget
from engine import sdlinput

from .conftest import fixed, place_mouse
from .themes import PIECES, SCROLL_PANEL_SKIN, SLIDER_SKIN, identify

CLIP = SCROLL_PANEL_SKIN["clipPadding"]
MARGIN = SCROLL_PANEL_SKIN["sliderMargin"]
BAR = SLIDER_SKIN["verticalBackground"]["width"]


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def panel_of(ui, content_size=(150, 300), size=(200, 100), at=(100, 50)):
    content = fixed(UIWidget(), *content_size)
    panel = UIScrollPanel(content)
    panel.width, panel.height = size
    ui.widget.addChild(panel, *at)
    return panel, content


def frames(ui, count=1):
    for _ in range(count):
        ui.render()


def test_a_new_panel():
    content = UIWidget()
    panel = UIScrollPanel(content=content)
    assert (panel.scrollPosX, panel.scrollPosY, panel.wheelScrollPixels) == (0, 0, 50)
    assert (panel.paddingLeft, panel.paddingTop, panel.paddingRight, panel.paddingBottom) == (10,) * 4
    assert (panel.width, panel.height) == (0, 0)
    assert (panel.sizePolicyX, panel.sizePolicyY) == (quorvelin.SIZE_FIXED,) * 2
    assert panel.content is content and panel.getChildren() == [content]
    assert content.getParent() is panel
    assert UIScrollPanel.render.__doc__.strip() == "Renders the content widget."
    with pytest.raises(TypeError, match="no default __reduce__"):
        panel.__reduce__()
    for name in ("content", "scrollPosX", "scrollPosY", "paddingTop", "wheelScrollPixels"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(panel, name)


@pytest.mark.parametrize("values, sides", [
    ((5,), (5, 5, 5, 5)), ((1, 2), (1, 2, 1, 2)), ((1, 2, 3), (1, 2, 3, 2)),
    ((1, 2, 3, 4), (1, 2, 3, 4)),
])
def test_set_padding(values, sides):
    panel = UIScrollPanel(UIWidget())
    panel.setPadding(*values)
    assert (panel.paddingTop, panel.paddingRight, panel.paddingBottom, panel.paddingLeft) == sides


@pytest.mark.parametrize("count", [0, 5])
def test_set_padding_takes_one_to_four_values(count):
    panel = UIScrollPanel(UIWidget())
    with pytest.raises(ValueError, match=f"setPadding takes either 1, 2, 3 or 4 values. {count} were given."):
        panel.setPadding(*range(count))
    assert panel.paddingTop == 10


@pytest.mark.parametrize("value", [None, 5, UISlider])
def test_a_content_that_is_no_widget_is_refused(value):
    with pytest.raises(TypeError, match="Argument 'content' has incorrect type"):
        UIScrollPanel(value)
    content = UIWidget()
    panel = UIScrollPanel(content)
    with pytest.raises(TypeError, match="'content'"):
        panel.content = value
    assert panel.getChildren() == [content]


def test_a_new_content_replaces_the_old_one(ui):
    panel, old = panel_of(ui)
    new = fixed(UIWidget(), 10, 10)
    panel.content = new
    assert panel.getChildren() == [new] and new.getRenderer() is ui
    assert old.getParent() is panel  # a child taken out keeps its links


def test_an_emptied_panel_fails_until_it_has_a_content_again(ui):
    panel, content = panel_of(ui)
    panel.removeAllChildren()
    with pytest.raises(IndexError):
        panel.content
    with pytest.raises(IndexError):
        ui.render()
    panel.content = content
    ui.render()


def test_scroll_bounds_and_the_slider_range(ui):
    """A 200 x 100 panel with paddings of 10 around a content 300 high can scroll by
    300 - 100 + 20; the slider takes that range at the next update."""
    panel, content = panel_of(ui)
    panel.scrollPosY = 500  # before any update the slider's range is 0..100
    ui.render()
    assert panel.scrollPosY == 100
    panel.scrollPosY = 500
    assert panel.scrollPosY == 100  # the field follows at the next update
    ui.render()
    assert panel.scrollPosY == 220
    panel.scrollPosY = -5
    ui.render()
    assert panel.scrollPosY == 0


def test_the_content_moves_a_frame_after_the_slider(ui):
    panel, content = panel_of(ui)
    frames(ui, 2)
    assert (content._x, content._y) == (100 + 10, 50 + 10)
    panel.scrollPosY = 40
    ui.render()
    assert content._y == 60  # laid out with the offset of the last update
    ui.render()
    assert content._y == 60 - 40


def test_the_horizontal_offset_is_clamped_to_the_last_layout(ui, unraisable):
    panel, content = panel_of(ui, content_size=(400, 50))
    panel.scrollPosX = 30
    assert panel.scrollPosX == 0  # no layout yet: nothing to scroll
    ui.render()
    panel.scrollPosX = 500
    assert panel.scrollPosX == 400 - 200 + 20
    panel.scrollPosX = -3
    assert panel.scrollPosX == 0


def test_a_growing_content_fills_the_room_beside_the_slider(ui, unraisable):
    panel, content = panel_of(ui)
    grow = UIWidget()
    grow.sizePolicyX = grow.sizePolicyY = quorvelin.SIZE_GROW
    grow.setMargin(1)
    panel.content = grow
    ui.render()
    assert (grow.width, grow.height) == (200 - 10 - 10 - BAR - 2, 100 - 10 - 10 - 2)


def test_the_slider_is_drawn_at_the_right_edge(ui, pixels_of):
    panel, content = panel_of(ui, size=(200, 150))
    frames(ui, 2)
    pixel = pixels_of(ui.getTarget())
    x, y = 100 + 200 - BAR - MARGIN["right"], 50 + MARGIN["top"]
    height = 150 - MARGIN["top"] - MARGIN["bottom"]
    assert identify(pixel(x, y)) == ("top arrow", 0, 0)
    assert identify(pixel(x + BAR - 1, y + height - 1))[0] == "bottom arrow"
    assert identify(pixel(x - 1, y)) is None and identify(pixel(x, y + height)) is None


def test_the_wheel_scrolls_until_the_end(engine, make_ui):
    ui = make_ui(engine)
    panel, content = panel_of(ui)
    place_mouse(engine, 150, 80)
    engine.update()
    answers, positions = [], []
    for _ in range(6):
        answers.append(panel._onScroll(MouseWheelEvent(0, -1)))
        engine.update()
        positions.append(panel.scrollPosY)
    assert positions == [50, 100, 150, 200, 220, 220]
    assert answers == [True] * 5 + [False]
    sdlinput.wheel(0, 2)  # through the engine: up by two steps
    engine.update()
    engine.update()
    assert panel.scrollPosY == 120


@pytest.mark.parametrize("change", ["not hovered", "disabled", "nothing to scroll"])
def test_a_wheel_event_the_panel_does_not_take(ui, scripted, change, unraisable):
    panel, content = panel_of(ui, content_size=(150, 60) if change == "nothing to scroll" else (150, 300))
    scripted.position = (5, 5) if change == "not hovered" else (150, 80)
    panel.isEnabled = change != "disabled"
    frames(ui, 2)
    assert panel._onScroll(MouseWheelEvent(0, -1)) is False
    ui.render()
    assert panel.scrollPosY == 0


def test_a_nested_panel_that_takes_the_wheel_keeps_it(ui, scripted):
    inner = UIScrollPanel(fixed(UIWidget(), 50, 400))
    inner.width, inner.height = 100, 80
    outer = UIScrollPanel(inner)
    outer.width, outer.height = 150, 60
    ui.widget.addChild(outer, 0, 0)
    scripted.position = (30, 30)
    frames(ui, 2)
    assert outer._onScroll(MouseWheelEvent(0, -1)) is True
    frames(ui, 2)
    assert (inner.scrollPosY, outer.scrollPosY) == (50, 0)


def test_the_wheel_amount_in_64_bits(ui, scripted):
    panel, content = panel_of(ui)
    scripted.position = (150, 80)
    frames(ui, 2)
    assert panel._onScroll(MouseWheelEvent(0, -2 ** 31)) is True
    ui.render()
    assert panel.scrollPosY == 220


def test_clicks_reach_the_slider_first_then_the_content(ui, scripted):
    panel, content = panel_of(ui, size=(200, 150))
    taken = []
    content.onClick = taken.append
    scripted.position = (100 + 200 - BAR - MARGIN["right"] + 2, 50 + 150 - MARGIN["bottom"] - 2)
    frames(ui, 2)  # over the slider's bottom arrow
    assert panel._onClick(quorvelin.MouseClickEvent(0, 0, 1)) is True
    ui.render()
    assert panel.scrollPosY == 10 and taken == []
    scripted.position = (120, 70)
    ui.render()
    assert panel._onClick(quorvelin.MouseClickEvent(0, 0, 1)) is True and len(taken) == 1


# --- drawing -----------------------------------------------------------------------------------

def test_background_content_and_slider(ui, pixels_of):
    """The background fills the panel; the content (a picture of one colour) shows only
    inside the clip padding; the slider stands over it at the right edge."""
    picture = quorvelin.Texture(300, 300)
    picture.fill((0x12, 0x34, 0x56))
    panel = UIScrollPanel(quorvelin.UIImage(picture))
    panel.width, panel.height = 60, 40
    ui.widget.addChild(panel, 20, 30)
    frames(ui, 2)
    pixel = pixels_of(ui.getTarget())
    shown = {(x, y) for x in range(320) for y in range(200) if pixel(x, y) == 0xFF123456}
    # The content starts inside the paddings (10), ends at the clip padding, and the
    # slider stands over it.
    bar = 20 + 60 - BAR - MARGIN["right"]
    assert bar < 20 + 60 - CLIP["right"] and 30 + 10 > 30 + CLIP["top"]
    assert shown == {(x, y) for x in range(30, bar) for y in range(40, 30 + 40 - CLIP["bottom"])}
    assert pixel(20, 30) == PIECES[0] and pixel(79, 69) == PIECES[8]  # the background's corners
    assert identify(pixel(bar, 30 + MARGIN["top"]))[0] == "top arrow"


def test_with_nothing_to_scroll_the_slider_draws_its_thumb_at_the_top_silently(
        ui, pixels_of, unraisable):
    panel_of(ui, content_size=(10, 10))
    frames(ui, 2)
    assert unraisable == []
    pixel = pixels_of(ui.getTarget())
    bar = 100 + 200 - BAR - MARGIN["right"]
    below_arrow = 50 + MARGIN["top"] + SLIDER_SKIN["topButton"]["normal"]["height"]
    assert identify(pixel(bar, below_arrow)) == ("vthumb", 0, 0)


@pytest.mark.parametrize("size", [(0, 0), (CLIP["left"] + CLIP["right"], 50)])
def test_a_panel_no_larger_than_its_clip_padding_draws_nothing(ui, pixels_of, size):
    panel, content = panel_of(ui, size=size)
    frames(ui, 2)
    pixel = pixels_of(ui.getTarget())
    assert {pixel(x, y) for x in range(90, 320, 2) for y in range(40, 200, 2)} == {0}


def test_hidden_or_detached_panels_draw_nothing_and_raise_nothing():
    panel = UIScrollPanel(UIWidget())
    panel.width, panel.height = 50, 50
    assert panel.render() is None
    panel.update(5, 5, True)  # no theme to place the slider by: the rest still runs
    assert panel.scrollPosY == 0
    panel.isVisible = False
    assert panel.render() is None


@pytest.mark.parametrize("record", ["scrollPanel", "panel"])
def test_a_theme_without_the_records(ui, theme, record):
    panel_of(ui)
    del theme.widgets[record]
    with pytest.raises(KeyError, match=record):
        frames(ui, 2)
