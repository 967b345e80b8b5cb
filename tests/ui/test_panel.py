"""UIPanel: the nine-slice frame read from the theme, the clipping of the panel and
its children, and the clicks a panel takes. Pixels are read back from the target:
every piece of the tileset has its own colour."""
import pytest

import quorvelin
from quorvelin import UIPanel, UIWidget

from . import themes
from .conftest import fixed
from .themes import (BOTTOM, BOTTOM_EDGE, BOTTOM_LEFT, BOTTOM_RIGHT, CENTRE, CENTRE_PIECE, LEFT,
                     LEFT_EDGE, MIDDLE, RIGHT, RIGHT_EDGE, TOP, TOP_EDGE, TOP_LEFT, TOP_RIGHT)

GRID_W, GRID_H = LEFT + MIDDLE + RIGHT, TOP + CENTRE + BOTTOM


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def panel_at(ui, x, y, width, height, parent=None):
    panel = fixed(UIPanel(), width, height)
    if parent is None:
        ui.widget.addChild(panel, x, y)
    else:
        parent.addChild(panel)
    return panel


def drawn_area(pixel, width=320, height=200):
    return {(x, y) for x in range(width) for y in range(height) if pixel(x, y) != 0}


def box(x, y, w, h):
    return {(px, py) for px in range(x, x + w) for py in range(y, y + h)}


def test_at_the_size_of_the_tile_the_grid_is_copied_one_to_one(ui, pixels_of):
    panel_at(ui, 30, 20, GRID_W, GRID_H)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    for dy in range(GRID_H):
        for dx in range(GRID_W):
            assert pixel(30 + dx, 20 + dy) == themes.tile_pixel(themes.GRID_X + dx, themes.GRID_Y + dy)
    assert drawn_area(pixel) == box(30, 20, GRID_W, GRID_H)


def test_corners_keep_their_size_and_edges_stretch(ui, pixels_of):
    x, y, w, h = 10, 15, 40, 30
    panel_at(ui, x, y, w, h)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    right, bottom = x + w - RIGHT, y + h - BOTTOM
    expected = {}
    for px in range(x, x + w):
        for py in range(y, y + h):
            column = 0 if px < x + LEFT else 2 if px >= right else 1
            row = 0 if py < y + TOP else 2 if py >= bottom else 1
            expected[(px, py)] = themes.PIECES[row * 3 + column]
    assert {key: pixel(*key) for key in expected} == expected
    assert drawn_area(pixel) == box(x, y, w, h)


def test_narrower_than_its_corners_the_right_corner_covers_the_left(ui, pixels_of):
    panel_at(ui, 10, 10, 5, 20)  # less than LEFT + RIGHT: no middle column
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert [pixel(x, 10) for x in range(10, 15)] == [TOP_RIGHT] * 5
    assert [pixel(x, 10 + TOP) for x in range(10, 15)] == [RIGHT_EDGE] * 5
    assert drawn_area(pixel) == box(10, 10, 5, 20)  # the corners reach out; the clip cuts them


def test_a_clip_removes_pixels_and_moves_nothing(ui, pixels_of):
    panel = panel_at(ui, 10, 10, 40, 30)
    ui.render()
    target = ui.getTarget()
    target.fill((0, 0, 0, 0))
    panel.render(12, 11, 100, 100)  # the top-left corner is cut away entirely
    pixel = pixels_of(target)
    assert drawn_area(pixel) == box(12, 11, 38, 29)
    assert pixel(12, 11) == TOP_LEFT or pixel(12, 11) == TOP_EDGE
    assert pixel(10 + LEFT, 11) == TOP_EDGE and pixel(10 + LEFT - 1, 12) == LEFT_EDGE
    assert pixel(49, 39) == BOTTOM_RIGHT and pixel(30, 39) == BOTTOM_EDGE


@pytest.mark.parametrize("change", ["hidden", "zero width", "outside the clip"])
def test_a_panel_that_draws_nothing_draws_no_children(ui, pixels_of, change):
    panel = panel_at(ui, 10, 10, 40, 30)
    inner = panel_at(ui, 0, 0, 10, 10, parent=panel)
    if change == "hidden":
        panel.isVisible = False
    elif change == "zero width":
        panel.width = 0
    ui.render()
    if change == "outside the clip":
        ui.getTarget().fill((0, 0, 0, 0))
        panel.render(100, 100, 50, 50)
        assert inner.getRenderer() is ui
    assert drawn_area(pixels_of(ui.getTarget())) == set()


def test_children_stay_inside_their_panel_nested_panels_too(ui, pixels_of):
    """A child is cut to its panel; a panel inside it keeps the outer panel's cut, and the
    children drawn after it are still cut to the outer panel."""
    outer = panel_at(ui, 10, 10, 30, 30)
    outer.setPadding(0)
    inner = fixed(UIPanel(), 60, 20)  # reaches out of the outer panel
    outer.addChild(inner)
    later = fixed(UIPanel(), 60, 60)
    outer.addChild(later)
    ui.render()
    assert (later._x, later._y) == (10, 30)
    assert drawn_area(pixels_of(ui.getTarget())) == box(10, 10, 30, 30)
    ui.widget.removeChild(outer)
    ui.getTarget().fill((0, 0, 0, 0))
    ui.render()
    assert drawn_area(pixels_of(ui.getTarget())) == set()


@pytest.mark.parametrize("skin, error, message", [
    (None, KeyError, "panel"),
    ({key: 1 for key in themes.PANEL_SKIN if key != "bottomHeight"}, KeyError, "bottomHeight"),
    (dict(themes.PANEL_SKIN, middleWidth="wide"), TypeError, "an integer is required"),
])
def test_a_bad_skin_fails_and_leaves_the_clip_as_it_was(ui, theme, pixels_of, skin, error, message):
    outer = panel_at(ui, 10, 10, 60, 60)
    panel_at(ui, 0, 0, 20, 20, parent=outer)
    ui.render()
    # Only nested panels read the broken skin: the outer one has drawn and set its clip.
    theme.widgets["panel"] = dict(themes.PANEL_SKIN)
    bad = skin

    class Breaking(UIWidget):
        def render(self, *clip):
            if bad is None:
                del theme.widgets["panel"]
            else:
                theme.widgets["panel"] = bad

    outer.getChildren().insert(0, Breaking())
    with pytest.raises(error, match=message):
        ui.render()
    target = ui.getTarget()
    target.fill((1, 2, 3))  # fills are cut to the clip: the whole target means none is left
    assert drawn_area(pixels_of(target)) == box(0, 0, 320, 200)


def test_a_skin_read_at_every_draw_and_values_that_are_numbers(ui, theme, pixels_of):
    panel_at(ui, 0, 0, GRID_W, GRID_H)
    # The grid now starts at the middle column, without a left column: x + 0.9 truncates.
    theme.widgets["panel"] = dict(themes.PANEL_SKIN, x=themes.GRID_X + LEFT + 0.9, leftWidth=0)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert pixel(0, 0) == TOP_EDGE and pixel(0, TOP) == CENTRE_PIECE


def test_every_piece_has_its_destination_whatever_an_earlier_blit_cut(ui, pixels_of):
    """The pieces of one panel are cut independently: a clip that removes the left
    column leaves the middle and right columns in their places."""
    panel = panel_at(ui, 10, 10, 30, 20)
    ui.render()
    ui.getTarget().fill((0, 0, 0, 0))
    panel.render(10 + LEFT, 0, 100, 100)
    pixel = pixels_of(ui.getTarget())
    assert pixel(10 + LEFT, 10) == TOP_EDGE and pixel(39, 10) == TOP_RIGHT
    assert pixel(39, 29) == BOTTOM_RIGHT and pixel(20, 20) == CENTRE_PIECE
    assert pixel(10 + LEFT - 1, 20) == 0 and pixel(10, 29) == 0


def test_a_target_that_grew_during_a_draw_is_fully_drawn_next_frame(make_ui, scripted, pixels_of):
    """A child that re-initialises the target to a bigger size leaves the old clip on the
    new surface; the next frame starts from the whole target."""
    ui = make_ui(scripted, fill=True, target=quorvelin.Texture(100, 100))
    panel = panel_at(ui, 0, 0, 50, 50)

    class Growing(UIWidget):
        def render(self, *clip):
            if ui.getTarget().width == 100:
                ui.getTarget().__init__(320, 200)

    panel.addChild(Growing())
    ui.render()
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert pixel(319, 199) == themes.BACKGROUND


# --- clicks ---------------------------------------------------------------------------------

@pytest.mark.parametrize("enabled, child_takes, answer, panel_called", [
    (True, False, True, True), (True, True, True, False),
    (False, False, False, False), (False, True, True, False),
])
def test_panel_clicks(enabled, child_takes, answer, panel_called):
    calls = []
    panel = UIPanel()
    panel.onClick = calls.append
    panel.isEnabled = enabled
    panel.addChild(type("Child", (UIWidget,), {"_onClick": lambda self, event: child_takes})())
    fixed(panel, 20, 20)
    panel.update(5, 5, False)
    assert panel._onClick("event") is answer
    assert calls == (["event"] if panel_called else [])


def test_a_panel_takes_no_wheel_events():
    panel = fixed(UIPanel(), 20, 20)
    panel.update(5, 5, False)
    assert panel._onScroll(None) is False


def test_render_needs_a_renderer_only_when_visible():
    panel = UIPanel()
    with pytest.raises(quorvelin.EngineException):
        panel.render()
    panel.isVisible = False
    assert panel.render() is None
