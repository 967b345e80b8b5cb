"""UIWidget: its fields and properties, margins, the rectangle tests, hover and drag,
clicks, the drawing check, and what Python subclasses override by name."""
import pickle

import pytest

import quorvelin
from quorvelin import AbstractUIContainer, UIListContainer, UIWidget

from .conftest import fixed


def placed(widget, x, y, width, height):
    widget._x, widget._y, widget.width, widget.height = x, y, width, height
    return widget


# --- fields and properties -----------------------------------------------------------------

def test_a_new_widget():
    widget = UIWidget()
    assert (widget.sizePolicyX, widget.sizePolicyY, widget.width, widget.height) == (0, 0, 0, 0)
    assert (widget._x, widget._y, widget.horizontalAlign, widget.verticalAlign) == (0, 0, 0, 0)
    assert (widget.marginLeft, widget.marginTop, widget.marginRight, widget.marginBottom) == (0,) * 4
    assert widget.isVisible is True and widget.isEnabled is True and widget.isHovered is False
    assert widget.onClick is None and widget.userData is None
    assert widget.getParent() is None and widget.getRenderer() is None


def test_allocation_reads_the_constants_of_the_moment(monkeypatch):
    monkeypatch.setattr(quorvelin, "SIZE_AUTO", 7)
    monkeypatch.setattr(quorvelin, "ALIGN_LEFT", 5)
    widget = UIWidget()
    assert (widget.sizePolicyX, widget.sizePolicyY, widget.horizontalAlign) == (7, 7, 5)
    monkeypatch.setattr(quorvelin, "VALIGN_TOP", "top")
    with pytest.raises(TypeError, match="an integer is required"):
        UIWidget()


def test_a_subclass_that_skips_the_constructor_stays_disabled():
    class Lazy(UIWidget):
        def __init__(self, anything):
            pass

    widget = Lazy(1)
    assert widget.isEnabled is False and widget.isVisible is True
    widget.update(0, 0, False)
    assert widget._onClick(None) is False


@pytest.mark.parametrize("name", ["width", "height", "_x", "_y", "sizePolicyX", "marginLeft",
                                  "horizontalAlign", "verticalAlign"])
@pytest.mark.parametrize("value, stored, error", [
    (2.9, 2, None), (-7, -7, None), (True, 1, None), ("3", None, TypeError),
    (2 ** 31, None, OverflowError),
])
def test_int_properties(name, value, stored, error):
    widget = UIWidget()
    if error:
        with pytest.raises(error):
            setattr(widget, name, value)
        assert getattr(widget, name) == 0
    else:
        setattr(widget, name, value)
        assert getattr(widget, name) == stored


@pytest.mark.parametrize("name", ["width", "isVisible", "onClick", "userData", "_x"])
def test_deleting_a_property_is_refused(name):
    widget = UIWidget()
    widget.userData = "kept"
    with pytest.raises(NotImplementedError, match="__del__"):
        delattr(widget, name)
    assert widget.userData == "kept"


def test_flags_take_truth_values_and_hover_is_read_only():
    widget = UIWidget()
    widget.isVisible, widget.isEnabled = [], "yes"
    assert widget.isVisible is False and widget.isEnabled is True
    with pytest.raises(AttributeError):
        widget.isHovered = True


def test_internal_state_is_not_exposed_and_instances_are_closed():
    widget = UIWidget()
    for name in ("_parent", "_renderer", "_isDragging", "_dragStartX", "innerWidth"):
        assert not hasattr(widget, name)
    with pytest.raises(AttributeError):
        widget.extra = 1
    with pytest.raises(TypeError):
        __import__("weakref").ref(widget)


@pytest.mark.parametrize("cls", [UIWidget, AbstractUIContainer, UIListContainer,
                                 quorvelin.UIAnchoredContainer, quorvelin.UIPanel])
def test_pickling_is_refused(cls):
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(cls())
    with pytest.raises(TypeError, match="no default __reduce__"):
        cls().__setstate__(())


@pytest.mark.parametrize("args, kwargs, message", [
    ((1,), {}, r"__init__\(\) takes exactly 0 positional arguments \(1 given\)"),
    ((), {"x": 1}, r"__init__\(\) takes no keyword arguments"),
])
@pytest.mark.parametrize("cls", [UIWidget, AbstractUIContainer, UIListContainer, quorvelin.UIPanel])
def test_constructors_take_no_arguments(cls, args, kwargs, message):
    with pytest.raises(TypeError, match=message):
        cls(*args, **kwargs)


def test_documentation():
    assert UIWidget.__doc__ == "\n    UIWidget is the abstract base class for every UI control.\n    "
    assert UIWidget._setParent.__doc__ == "\n        @param(parent, AbstractUIContainer)\n        "
    assert "It can be used to update the widget's state." in UIWidget.update.__doc__
    assert "@param(clipHeight, int)" in UIWidget.render.__doc__


# --- margins --------------------------------------------------------------------------------

@pytest.mark.parametrize("values, expected", [
    ((5,), (5, 5, 5, 5)), ((1, 2), (1, 2, 1, 2)), ((1, 2, 3), (1, 2, 3, 2)),
    ((1, 2, 3, 4), (1, 2, 3, 4)), ((1.9, True), (1, 1, 1, 1)),
])
def test_set_margin(values, expected):
    widget = UIWidget()
    widget.setMargin(*values)
    assert (widget.marginTop, widget.marginRight, widget.marginBottom, widget.marginLeft) == expected


@pytest.mark.parametrize("count", [0, 5])
def test_set_margin_with_a_wrong_count_changes_nothing(count):
    widget = UIWidget()
    with pytest.raises(ValueError, match=f"setMargin takes either 1, 2, 3 or 4 values. {count} were given."):
        widget.setMargin(*range(1, count + 1))
    assert widget.marginTop == 0


def test_set_margin_stops_at_the_first_value_that_is_no_int():
    widget = UIWidget()
    with pytest.raises(TypeError, match="an integer is required"):
        widget.setMargin(1, "x", 3)  # top 1, right "x", bottom 3, left "x"
    assert (widget.marginTop, widget.marginRight, widget.marginBottom) == (1, 0, 0)
    with pytest.raises(TypeError, match="takes no keyword arguments"):
        widget.setMargin(1, top=2)


# --- rectangle tests ------------------------------------------------------------------------

@pytest.mark.parametrize("args, inside", [
    ((10, 25, 10, 20, 30, 40), False),  # the left edge is outside
    ((11, 21, 10, 20, 30, 40), True),
    ((40, 25, 10, 20, 30, 40), False),  # so is the right edge, x = 40
    ((39, 59, 10, 20, 30, 40), True),
    ((15, 60, 10, 20, 30, 40), False),
    ((10.5, 20.5, 10, 20, 30, 40), True),
    ((2 ** 40, 25, 2 ** 40 - 1, 20, 2, 40), True),  # any numbers, by the host's comparisons
])
def test_point_in_rect_is_strict(args, inside):
    assert UIWidget()._pointInRect(*args) is inside


def test_point_in_rect_returns_the_deciding_comparison():
    class Compared:
        def __init__(self, answer):
            self.answer = answer

        def __gt__(self, other):
            return self.answer

        def __lt__(self, other):
            return self.answer

    assert UIWidget()._pointInRect(Compared(0), 1, 0, 0, 5, 5) == 0
    assert UIWidget()._pointInRect(1, Compared("last"), 0, 0, 5, 5) == "last"
    with pytest.raises(TypeError):
        UIWidget()._pointInRect("a", 1, 0, 0, 5, 5)


def test_a_widget_one_pixel_wide_contains_no_integer_point():
    widget = placed(UIWidget(), 10, 10, 1, 5)
    assert not any(widget.isInside(x, y) for x in range(8, 13) for y in range(8, 17))


def test_is_inside_asks_point_in_rect_by_name_with_the_geometry():
    seen = []

    class Own(UIWidget):
        def _pointInRect(self, *args):
            seen.append(args)
            return "answer"

    widget = placed(Own(), 1, 2, 3, 4)
    assert widget.isInside(5, 6) == "answer"
    assert seen == [(5, 6, 1, 2, 3, 4)]


CLIPS = [
    ((-1, -1, -1, -1), (10, 20, 30, 40)),
    ((0, 0, 25, 100), (10, 20, 15, 40)),
    ((50, 0, 10, 10), (50, 20, -10, -10)),
    ((0, 0, -1, 100), (10, 20, 30, 40)),  # one negative value switches clipping off
    ((12.5, 0, 10, 100), (12, 20, 10, 40)),  # host values, each result made an int
]


@pytest.mark.parametrize("clip, expected", CLIPS)
def test_clip_rule(make_ui, pixels_of, clip, expected):
    """The clipped rectangle shows as the area a panel draws in: its frame cut to it."""
    from .themes import CENTRE_PIECE

    ui = make_ui()
    panel = placed(fixed(quorvelin.UIPanel(), 0, 0), 10, 20, 30, 40)
    ui.widget.addChild(panel, 0, 0)  # attached; laid out by nobody, so it stays put
    panel.render(*clip)
    pixel = pixels_of(ui.getTarget())
    x, y, w, h = expected
    drawn = {(px, py) for px in range(60) for py in range(70) if pixel(px, py) != 0}
    assert drawn == {(px, py) for px in range(x, x + w) for py in range(y, y + h)}
    if w > 0 and h > 0:
        assert pixel(20, 40) == CENTRE_PIECE


def test_clip_values_that_cannot_be_compared_draw_nothing_and_raise_nothing(make_ui, unraisable):
    ui = make_ui()
    panel = placed(fixed(quorvelin.UIPanel(), 0, 0), 10, 20, 30, 40)
    ui.widget.addChild(panel, 0, 0)
    assert panel.render("a", 0, 5, 5) is None
    assert panel.render(2 ** 40, 0, 5, 5) is None  # a corner beyond the int range
    assert len(unraisable) == 2
    assert "_getClippedRect" in str(unraisable[0].object)


# --- hover and drag -------------------------------------------------------------------------

class Recorder(UIWidget):
    def __init__(self):
        UIWidget.__init__(self)
        self.calls = []

    def onDragStart(self, x, y):
        self.calls.append(("start", x, y))

    def onDrag(self, x, y, dx, dy):
        self.calls.append(("drag", x, y, dx, dy))

    def onDragEnd(self, x, y):
        self.calls.append(("end", x, y))


def test_drag_is_measured_from_where_it_started():
    widget = placed(Recorder(), 0, 0, 50, 50)
    widget.update(10, 10, True)
    widget.update(13, 10, True)
    widget.update(100, 17, True)  # the drag goes on outside the widget
    assert widget.isHovered is False
    widget.update(200, 200, False)
    widget.update(10, 10, False)
    assert widget.calls == [("start", 10, 10), ("drag", 10, 10, 0, 0), ("drag", 13, 10, 3, 0),
                            ("drag", 100, 17, 90, 7), ("end", 200, 200)]


def test_a_held_button_moved_in_starts_a_drag_and_hidden_disabled_widgets_drag_too():
    widget = placed(Recorder(), 0, 0, 50, 50)
    widget.isVisible = widget.isEnabled = False
    widget.update(60, 60, True)
    assert widget.calls == [] and widget.isHovered is False
    widget.update(20, 20, True)
    assert widget.isHovered is True and widget.calls[0] == ("start", 20, 20)


def test_drag_differences_use_the_host_subtraction():
    widget = placed(Recorder(), 0, 0, 50, 50)
    widget.update(10.75, 10, True)  # the start is kept as an int
    widget.update(12.5, 10, 1)
    assert widget.calls[-1] == ("drag", 12.5, 10, 2.5, 0)


def test_update_asks_is_inside_and_reads_the_hover_through_the_property():
    class Own(Recorder):
        inside = True

        def isInside(self, x, y):
            return self.inside

        @property
        def isHovered(self):
            return False

    widget = Own()
    widget.update(1, 1, True)
    assert widget.calls == []  # its own isHovered says no
    assert UIWidget.isHovered.__get__(widget) is True


def test_a_coordinate_that_is_no_int_fails_once_the_drag_has_started():
    class Always(Recorder):
        def isInside(self, x, y):
            return True

    widget = Always()
    with pytest.raises(TypeError, match="an integer is required"):
        widget.update("x", 1, True)
    widget.update(5, 5, False)
    assert widget.calls == [("end", 5, 5)]  # the drag was already in progress


def test_the_base_hooks_do_nothing():
    widget = UIWidget()
    assert widget.onDragStart(1, 2) is None and widget.onDrag(1, 2, 3, diffY=4) is None
    assert widget.onDragEnd(mouseX=1, mouseY=2) is None
    with pytest.raises(TypeError):
        widget.onDrag(1, 2)


# --- clicks ---------------------------------------------------------------------------------

@pytest.mark.parametrize("enabled, hovered, taken", [(True, True, True), (True, False, False),
                                                     (False, True, False)])
def test_click_follows_the_last_hover(enabled, hovered, taken):
    seen = []
    widget = placed(UIWidget(), 0, 0, 10, 10)
    widget.onClick = seen.append
    widget.isEnabled = enabled
    widget.update(5 if hovered else 50, 5, False)
    assert widget._onClick("event") is taken
    assert seen == (["event"] if taken else [])


def test_an_enabled_hovered_widget_takes_the_click_without_a_callable_even_hidden():
    widget = placed(UIWidget(), 0, 0, 10, 10)
    widget.isVisible = False
    widget.update(5, 5, False)
    assert widget._onClick(None) is True
    assert widget._onScroll(None) is False


def test_an_error_of_the_click_callable_propagates():
    widget = placed(UIWidget(), 0, 0, 10, 10)
    widget.update(5, 5, False)
    widget.onClick = lambda event: 1 / 0
    with pytest.raises(ZeroDivisionError):
        widget._onClick(None)


# --- drawing check and parent ---------------------------------------------------------------

def test_render_of_a_detached_widget():
    widget = UIWidget()
    with pytest.raises(quorvelin.EngineException) as raised:
        widget.render()
    assert raised.value.msg == "Can not render a widget that is not attached to a UIRenderer object!"
    widget.isVisible = False
    assert widget.render(1, 2, clipWidth=3) is None


def test_set_parent_passes_the_parents_renderer_and_none_keeps_it(make_ui):
    ui = make_ui()
    widget, lonely = UIWidget(), UIListContainer()
    widget._setParent(ui.widget)
    assert widget.getParent() is ui.widget and widget.getRenderer() is ui
    widget._setParent(None)
    assert widget.getParent() is None and widget.getRenderer() is ui
    widget._setParent(lonely)
    assert widget.getRenderer() is None
    with pytest.raises(TypeError, match=r"Argument 'parent' has incorrect type \(expected "
                                        r"quorvelin.AbstractUIContainer, got quorvelin.UIWidget\)"):
        widget._setParent(UIWidget())
    assert widget.getParent() is lonely
