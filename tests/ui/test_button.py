"""UIButton: its caption, its size from the "normal" skin and the last layout, the
three-piece skin drawn along its width (every pixel tells the piece and the place in
it it came from), and clicks through the engine with the ButtonClickEvent they make."""
import pytest

import quorvelin
from quorvelin import (ButtonClickEvent, Font, MouseClickEvent, UIButton, UIListContainer,
                       UIText)
from engine import sdlinput
from media.files import FONT_PATH

from .conftest import fixed, place_mouse
from .themes import BUTTON_SKIN, FONTS, identify

NORMAL = BUTTON_SKIN["normal"]
L, M, R, H = NORMAL["left"], NORMAL["middle"], NORMAL["right"], NORMAL["height"]


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def row_of(pixel, x, y, width, prefix="button"):
    """The pieces along a row: (piece, column) for each pixel, the piece name without
    its state's prefix."""
    found = []
    for px in range(x, x + width):
        piece = identify(pixel(px, y))
        found.append((piece[0].split()[1], piece[1]) if piece and piece[0].startswith(prefix)
                     else None)
    return found


def strip(width, rest=()):
    """The expected pieces of a button `width` wide: left cap, whole middle pieces, the
    squeezed remainder `rest` (its source columns), the right cap."""
    count = (width - L - R) // M if width >= L + R else 0
    row = [("left", c) for c in range(L)] + [("middle", c) for _ in range(count) for c in range(M)]
    row += [("middle", c) for c in rest] + [("right", c) for c in range(R)]
    return row


def test_a_new_button():
    button = UIButton(label="Press")
    (label,) = button.getChildren()
    assert type(label) is UIText and label.getParent() is button
    assert (button.text, button.getText(), label.text) == ("Press", "Press", "Press")
    assert (label.horizontalAlign, label.verticalAlign) == (quorvelin.ALIGN_CENTER,
                                                            quorvelin.VALIGN_MIDDLE)
    assert (button.sizePolicyX, button.sizePolicyY) == (quorvelin.SIZE_AUTO,) * 2
    assert (button.paddingTop, button.layout) == (0, quorvelin.LIST_LAYOUT_VERTICAL)
    button.setText("Again")
    assert label.text == "Again"
    with pytest.raises(TypeError, match="Expected unicode, got int"):
        UIButton(5)
    with pytest.raises(TypeError, match="Expected unicode, got NoneType"):
        button.text = None
    with pytest.raises(NotImplementedError, match="__del__"):
        del button.text
    with pytest.raises(TypeError, match="no default __reduce__"):
        button.__reduce__()
    assert UIButton.__mro__[1:] == (UIListContainer, quorvelin.AbstractUIContainer,
                                    quorvelin.UIWidget, object)


def test_text_goes_through_the_methods_by_name():
    class Upper(UIButton):
        def getText(self):
            return UIButton.getText(self).upper()

    assert Upper("ok").text == "OK"


def test_the_automatic_size_settles_a_layout_later(ui):
    """Width: the label, the paddings and both caps; height: the taller of the skin and
    the label. The label moves down by half the difference of the heights of the last
    layout."""
    button = UIButton("Go")
    ui.widget.addChild(button, 0, 0)
    font = Font(FONT_PATH, FONTS["aileron"]["size"])
    text_w, text_h = font.getRenderedTextSize("Go")
    assert text_h > H  # the label is the taller here
    ui.render()
    assert (button.width, button.height) == (text_w + L + R, H)  # the label had no size yet
    ui.render()
    assert (button.width, button.height) == (text_w + L + R, text_h)
    button.paddingLeft = 5
    button.sizePolicyY = quorvelin.SIZE_FIXED
    button.height = 30
    ui.render()
    assert button.paddingTop == (30 - text_h) // 2 and button.width == text_w + 5 + L + R
    label = button.getChildren()[0]
    assert label._y == button.paddingTop  # from the padded origin


def test_a_skin_taller_than_the_label_sets_the_height(ui, theme):
    theme.widgets["button"]["normal"] = dict(NORMAL, height=40)
    button = UIButton("Go")
    ui.widget.addChild(button, 0, 0)
    ui.render()
    assert button.height == 40
    ui.render()
    assert button.paddingTop == (40 - button.getChildren()[0].height) // 2


@pytest.mark.parametrize("width, rest", [
    (30, [2]),  # 25 = 6 whole pieces of 4 and 1 squeezed pixel (SDL samples the middle)
    (3 + 2 + 8, []),  # a multiple of the middle: no squeezed piece
    (3 + 2 + 6, [1, 3]),  # 2 left: the piece squeezed to half its width
])
def test_the_skin_along_the_width(ui, pixels_of, width, rest):
    button = fixed(UIButton(""), width, H + 4)  # taller than the skin
    ui.widget.addChild(button, 10, 20)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert row_of(pixel, 10, 20, width) == strip(width, rest)
    assert row_of(pixel, 10, 20 + H - 1, width) == strip(width, rest)
    assert row_of(pixel, 10, 20 + H, width) == [None] * width  # never stretched down
    assert pixel(9, 20) == 0 and pixel(10 + width, 20) == 0


def test_narrower_than_both_caps_the_right_cap_covers_the_left(ui, pixels_of):
    button = fixed(UIButton(""), 4, H)
    ui.widget.addChild(button, 10, 20)
    ui.render()
    assert row_of(pixels_of(ui.getTarget()), 10, 20, 4) == \
        [("left", 0), ("left", 1), ("right", 0), ("right", 1)]


def test_hovering_draws_the_hover_state(ui, scripted, pixels_of):
    button = fixed(UIButton(""), 20, H)
    ui.widget.addChild(button, 10, 20)
    scripted.position = (15, 22)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert row_of(pixel, 10, 20, 20, prefix="hover") == strip(20, [0, 1, 3])


def test_a_clip_cuts_pieces_without_moving_them(ui, pixels_of):
    button = fixed(UIButton(""), 30, H)
    ui.widget.addChild(button, 10, 20)
    ui.render()
    target = ui.getTarget()
    target.fill((0, 0, 0, 0))
    button.render(10 + L + 2, 0, 11, 100)  # from the middle of the first middle piece
    row = row_of(pixels_of(target), 10, 20, 30)
    expected = strip(30, [2])
    assert row == [piece if L + 2 <= i < L + 13 else None for i, piece in enumerate(expected)]


def test_a_very_long_button_draws_only_what_can_be_seen(child, tmp_path):
    """A middle piece of 1 pixel over two billion pixels: the pieces off the target are
    not walked, and the drawing is the same."""
    from .themes import write_theme
    path = write_theme(tmp_path)
    result = child(f"""
        import quorvelin
        theme = quorvelin.UITheme({path!r})
        theme.widgets["button"]["normal"]["middle"] = 1
        ui = quorvelin.UIRenderer(quorvelin.Texture(64, 16), False, theme)
        button = quorvelin.UIButton("")
        button.sizePolicyX = button.sizePolicyY = quorvelin.SIZE_FIXED
        button.width, button.height = 2 ** 31 - 1, 6
        ui.widget.addChild(button, 0, 0)
        button._x = -1000
        button.render()
        print("drawn")
    """, timeout=60)
    assert result.stdout.strip() == "drawn", result.stderr


def test_a_middle_of_zero_fails_and_leaves_the_clip(ui, theme, pixels_of):
    theme.widgets["button"]["normal"] = dict(NORMAL, middle=0)
    ui.widget.addChild(fixed(UIButton(""), 20, H), 10, 20)
    with pytest.raises(ZeroDivisionError):
        ui.render()
    target = ui.getTarget()
    assert identify(pixels_of(target)(10, 20))[0] == "button left"  # drawn before the division
    target.fill((1, 2, 3))
    assert pixels_of(target)(0, 0) == 0xFF010203  # no clip left behind


@pytest.mark.parametrize("state, error, message", [
    ([1, 2], TypeError, "Expected dict, got list"),
    ({key: 1 for key in NORMAL if key != "height"}, KeyError, "height"),
    (dict(NORMAL, height="tall"), TypeError, "an integer is required"),
])
def test_a_bad_skin_state(ui, theme, state, error, message):
    theme.widgets["button"]["normal"] = state
    ui.widget.addChild(UIButton("x"), 0, 0)
    with pytest.raises(error, match=message):
        ui.render()


# --- clicks ------------------------------------------------------------------------------------

def click_at(engine, x, y):
    place_mouse(engine, x, y)
    sdlinput.click(x, y, 3)
    engine.update()


@pytest.fixture
def clickable(make_ui, engine):
    ui = make_ui(engine)
    button = fixed(UIButton("b"), 40, 20)
    ui.widget.addChild(button, 100, 50)
    engine.update()
    return button


def test_a_click_goes_to_on_click_then_to_the_engine(engine, clickable):
    order = []
    clickable.onClick = lambda event: order.append(("onClick", event))
    engine.subscribeEvent(ButtonClickEvent, lambda event: order.append(("engine", event)))
    raw = []
    engine.subscribeEvent(MouseClickEvent, raw.append)
    click_at(engine, 110, 55)
    (first, event), (second, same) = order
    assert (first, second) == ("onClick", "engine") and same is event
    assert type(event) is ButtonClickEvent and event.target is clickable
    assert (event.x, event.y, event.button) == (110, 55, 3)
    assert [type(e) for e in raw] == [MouseClickEvent]  # the raw click only


@pytest.mark.parametrize("x, y, enabled, taken", [
    (110, 55, True, True), (140, 55, True, False),  # the right edge is outside
    (100, 55, True, False), (110, 55, False, False),
])
def test_the_button_tests_the_click_position_itself(clickable, x, y, enabled, taken):
    label_saw = []
    label = clickable.getChildren()[0]
    label.onClick = label_saw.append
    clickable.isEnabled = enabled
    label.update(x, y, False)  # the label is hovered where the click is
    seen = []
    clickable.onClick = seen.append
    assert clickable._onClick(MouseClickEvent(x, y, 1)) is taken
    assert len(seen) == taken
    assert len(label_saw) == label.isInside(x, y)  # the label sees it first, whatever


def test_without_an_engine_the_click_is_taken_and_fires_nothing():
    button = fixed(UIButton("b"), 40, 20)
    seen = []
    button.onClick = seen.append
    assert button._onClick(MouseClickEvent(5, 5, 1)) is True
    assert seen[0].target is button


def test_an_error_of_on_click_fires_nothing(engine, clickable, unraisable):
    fired = []
    engine.subscribeEvent(ButtonClickEvent, fired.append)
    clickable.onClick = lambda event: 1 / 0
    click_at(engine, 110, 55)
    assert fired == [] and [type(e.exc_value) for e in unraisable] == [ZeroDivisionError]


def test_is_inside_goes_by_name():
    class Everywhere(UIButton):
        def isInside(self, x, y):
            return True

    assert Everywhere("b")._onClick(MouseClickEvent(-50, -50, 1)) is True


def test_documentation():
    assert UIButton.__init__.__doc__ == "\n        @param(label, str)\n        "
    assert UIButton.render.__doc__.strip() == "Renders the button and its label."
