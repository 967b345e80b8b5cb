"""The three layout passes, run by a UIRenderer frame: size policies, list stacking
and alignment, anchored placement, and what a pass does with odd values."""
import pytest

import quorvelin
from quorvelin import (ALIGN_CENTER, ALIGN_RIGHT, ANCHOR_BOTTOM, ANCHOR_CENTER, ANCHOR_RIGHT,
                       ANCHOR_TOP, LIST_LAYOUT_HORIZONTAL, SIZE_GROW, UIAnchoredContainer,
                       UIListContainer, UIPanel, UIWidget, VALIGN_BOTTOM, VALIGN_MIDDLE)

from .conftest import SIZE, fixed


@pytest.fixture
def ui(make_ui, scripted):
    """A renderer whose frames ask the scripted engine for the mouse."""
    made = make_ui(scripted)
    return made


def frame(ui):
    ui.render()


def geometry(widget):
    return widget._x, widget._y, widget.width, widget.height


def listed(*children, layout=None, padding=None):
    container = UIListContainer()
    if layout is not None:
        container.layout = layout
    if padding is not None:
        container.setPadding(padding)
    for child in children:
        container.addChild(child)
    return container


# --- size policies ---------------------------------------------------------------------------

def test_the_root_fills_the_target_less_its_margins(ui):
    ui.widget.setMargin(10)
    frame(ui)
    assert geometry(ui.widget) == (0, 0, SIZE[0] - 20, SIZE[1] - 20)


def test_policies_of_a_plain_widget(ui):
    auto, grow, kept = UIWidget(), UIWidget(), fixed(UIWidget(), 50, 7)
    auto.width = auto.height = 99
    grow.sizePolicyX = SIZE_GROW
    grow.setMargin(0, 60, 0, 60)
    box = fixed(UIListContainer(), 100, 100)
    for widget in (auto, grow, kept):
        box.addChild(widget)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert (auto.width, auto.height) == (0, 0)
    assert (grow.width, grow.height) == (-20, 0)  # margins wider than the space: negative
    assert (kept.width, kept.height) == (50, 7)


def test_a_growing_child_sees_the_inner_size_of_this_frame(ui):
    child = UIWidget()
    child.sizePolicyX = child.sizePolicyY = SIZE_GROW
    box = listed(child, padding=5)
    box.sizePolicyX = box.sizePolicyY = SIZE_GROW
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert (child.width, child.height) == (SIZE[0] - 10, SIZE[1] - 10)
    ui.widget.setMargin(20)  # the whole chain follows within one frame
    frame(ui)
    assert (child.width, child.height) == (SIZE[0] - 50, SIZE[1] - 50)


def test_policies_compare_with_the_constants_of_the_moment(ui, monkeypatch):
    widget = UIWidget()
    widget.sizePolicyX = 5
    box = fixed(UIListContainer(), 40, 40)
    box.addChild(widget)
    ui.widget.addChild(box, 0, 0)
    monkeypatch.setattr(quorvelin, "SIZE_GROW", 5)
    frame(ui)
    assert widget.width == 40

    class Incomparable:
        def __eq__(self, other):
            raise ArithmeticError("no comparison")

    monkeypatch.setattr(quorvelin, "SIZE_FIXED", Incomparable())
    with pytest.raises(ArithmeticError, match="no comparison"):
        frame(ui)
    monkeypatch.delattr(quorvelin, "SIZE_FIXED")
    with pytest.raises(NameError, match="SIZE_FIXED"):
        frame(ui)


def test_a_python_subclass_lays_out_with_the_engine_operations(ui):
    class Own(UIPanel):
        def _calculateMinSize(self):
            raise AssertionError("the table is not reached by name")

    own = Own()
    own.addChild(fixed(UIWidget(), 30, 10))
    ui.widget.addChild(own, 0, 0)
    frame(ui)
    assert (own.width, own.height) == (30 + 16, 10 + 16)


# --- list container --------------------------------------------------------------------------

@pytest.mark.parametrize("layout, size, offsets", [
    (quorvelin.LIST_LAYOUT_VERTICAL, (30, 50), [(0, 0), (0, 10)]),
    (LIST_LAYOUT_HORIZONTAL, (50, 40), [(0, 0), (30, 0)]),
    (7, (30, 50), [(0, 0), (0, 10)]),  # anything but horizontal stacks vertically
])
def test_stacking(ui, layout, size, offsets):
    a, b = fixed(UIWidget(), 30, 10), fixed(UIWidget(), 20, 40)
    b.isVisible = False  # still takes its place
    box = listed(a, b, layout=layout)
    ui.widget.addChild(box, 7, 9)
    frame(ui)
    assert (box.width, box.height) == size
    assert [(w._x - 7, w._y - 9) for w in (a, b)] == offsets


def test_margins_and_paddings(ui):
    child = fixed(UIWidget(), 10, 10)
    child.setMargin(2, 3, 4, 5)
    box = listed(child)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert (box.width, box.height) == (18, 16)
    assert (child._x, child._y) == (5, 2)
    empty = listed()
    empty.setPadding(1, 2, 3, 4)
    ui.widget.addChild(empty, 0, 0)
    frame(ui)
    assert (empty.width, empty.height) == (6, 4)


# Across the stacking axis a child is aligned within the paddings: right-aligned children
# end at the inner edge, centred ones sit on the centre line.
@pytest.mark.parametrize("padding, align, expected_x", [
    (8, 0, 8), (8, ALIGN_RIGHT, 72), (8, ALIGN_CENTER, 40),
    (0, 0, 0), (0, ALIGN_RIGHT, 80), (0, ALIGN_CENTER, 40),
])
def test_horizontal_alignment_in_a_vertical_list(ui, padding, align, expected_x):
    child = fixed(UIWidget(), 20, 10)
    child.horizontalAlign = align
    child.verticalAlign = VALIGN_BOTTOM  # along the stacking axis: not read
    box = fixed(listed(child, padding=padding), 100, 60)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert (child._x, child._y) == (expected_x, padding)


@pytest.mark.parametrize("align, margins, expected_y", [
    (VALIGN_BOTTOM, (0, 0, 3, 0), 6 + 44 - 10 - 3), (VALIGN_MIDDLE, (4, 0, 0, 0), 6 + 17),
    (0, (4, 0, 0, 0), 6 + 4),
])
def test_vertical_alignment_in_a_horizontal_list(ui, align, margins, expected_y):
    child = fixed(UIWidget(), 10, 10)
    child.verticalAlign = align
    child.setMargin(*margins)
    box = fixed(listed(child, layout=LIST_LAYOUT_HORIZONTAL, padding=6), 60, 56)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert child._y == expected_y


def test_centring_truncates_toward_zero(ui):
    child = fixed(UIWidget(), 21, 5)
    child.horizontalAlign = ALIGN_CENTER
    box = fixed(listed(child), 10, 10)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert child._x == -5


def test_a_fixed_list_keeps_its_size_and_stacks_from_its_padded_origin(ui):
    children = [fixed(UIWidget(), 40, 40) for _ in range(3)]
    box = fixed(listed(*children, padding=4), 30, 30)
    ui.widget.addChild(box, 100, 50)
    frame(ui)
    assert (box.width, box.height) == (30, 30)
    assert [(c._x, c._y) for c in children] == [(104, 54), (104, 94), (104, 134)]


def test_sums_beyond_the_int_range_wrap_without_failing(ui):
    huge = fixed(UIWidget(), 2 ** 31 - 1, 2 ** 31 - 1)
    box = listed(huge, fixed(UIWidget(), 2, 2), layout=LIST_LAYOUT_HORIZONTAL)
    ui.widget.addChild(box, 0, 0)
    frame(ui)
    assert box.width == -(2 ** 31) + 1


@pytest.mark.parametrize("values, expected", [((1,), (1, 1, 1, 1)), ((1, 2), (1, 2, 1, 2)),
                                              ((1, 2, 3), (1, 2, 3, 2)), ((1, 2, 3, 4), (1, 2, 3, 4))])
def test_set_padding(values, expected):
    box = UIListContainer()
    box.setPadding(*values)
    assert (box.paddingTop, box.paddingRight, box.paddingBottom, box.paddingLeft) == expected


@pytest.mark.parametrize("count", [0, 5])
def test_set_padding_with_a_wrong_count(count):
    with pytest.raises(ValueError, match=f"setPadding takes either 1, 2, 3 or 4 values. {count} were given."):
        UIListContainer().setPadding(*range(count))


def test_list_properties():
    box = UIListContainer()
    assert (box.layout, box.paddingLeft) == (quorvelin.LIST_LAYOUT_VERTICAL, 0)
    box.layout, box.paddingTop = -3, 2.7
    assert (box.layout, box.paddingTop) == (-3, 2)
    with pytest.raises(NotImplementedError, match="__del__"):
        del box.layout
    assert UIPanel().paddingBottom == 8 and UIPanel().layout == quorvelin.LIST_LAYOUT_VERTICAL


def test_panel_construction_sets_its_padding_by_name():
    class Own(UIPanel):
        def setPadding(self, *values):
            UIPanel.setPadding(self, values[0] * 2)

    assert Own().paddingLeft == 16


# --- anchored container ----------------------------------------------------------------------

@pytest.mark.parametrize("args, expected", [
    ((10, 20), (10 + 5, 20 + 2)),  # margins top 2, left 5 keep it from the edges
    ((10, 20, ANCHOR_RIGHT, ANCHOR_BOTTOM), (SIZE[0] - 10 - 3 - 100, SIZE[1] - 20 - 4 - 50)),
    ((5, 5, ANCHOR_TOP, ANCHOR_RIGHT), (5 + 5, 5 + 2)),  # anchors of the other axis: near edge
    ((0, 0, ANCHOR_CENTER, ANCHOR_CENTER), (int(160 + 5 - 3 - 50), int(100 + 2 - 4 - 25))),
])
def test_anchors(ui, args, expected):
    child = fixed(UIWidget(), 100, 50)
    child.setMargin(2, 3, 4, 5)
    ui.widget.addChild(child, *args)
    frame(ui)
    assert (child._x, child._y) == expected


@pytest.mark.parametrize("width, size, expected", [(101, 30, 35), (10, 21, -5)])
def test_centring_works_in_doubles_and_truncates(ui, width, size, expected):
    inner = fixed(UIAnchoredContainer(), width, width)
    child = fixed(UIWidget(), size, size)
    inner.addChild(child, 0, 0, ANCHOR_CENTER, ANCHOR_CENTER)
    ui.widget.addChild(inner, 40, 30)
    frame(ui)
    assert (child._x, child._y) == (40 + expected, 30 + expected)


def test_anchored_container_grows_and_measures_nothing(ui):
    inner = UIAnchoredContainer()
    inner.setMargin(10)
    inner.addChild(fixed(UIWidget(), 500, 500), 0, 0)
    ui.widget.addChild(inner, 0, 0)
    frame(ui)
    assert (inner.width, inner.height) == (SIZE[0] - 20, SIZE[1] - 20)
    assert (inner.sizePolicyX, inner.sizePolicyY) == (SIZE_GROW, SIZE_GROW)


def test_children_are_placed_after_their_container(ui):
    """Nested containers take their position first, then place their children from it."""
    leaf = fixed(UIWidget(), 4, 4)
    row = listed(leaf, padding=3)
    panel = listed(row, padding=8)
    ui.widget.addChild(panel, 20, 30, ANCHOR_RIGHT, ANCHOR_BOTTOM)
    frame(ui)
    assert (panel.width, panel.height) == (26, 26)
    assert (leaf._x, leaf._y) == (SIZE[0] - 20 - 26 + 11, SIZE[1] - 30 - 26 + 11)


# --- odd children ---------------------------------------------------------------------------

def test_a_non_widget_in_the_children_stops_the_pass(ui):
    ui.widget.getChildren().append("stowaway")
    with pytest.raises(TypeError, match="Cannot convert str to quorvelin.UIWidget"):
        frame(ui)


def test_a_widget_appended_to_the_list_directly_is_laid_out(ui):
    box = listed()
    ui.widget.addChild(box, 0, 0)
    stray = fixed(UIWidget(), 12, 3)
    box.getChildren().append(stray)
    with pytest.raises(quorvelin.EngineException):  # no renderer: it cannot be drawn
        frame(ui)
    assert (box.width, box.height) == (12, 3)
    stray.isVisible = False
    frame(ui)
