"""Containers: adding and removing children, the renderer passed down the tree, and the
walks over the live child list (drawing and updates first to last, clicks and wheel
events last to first)."""
import pytest

import quorvelin
from quorvelin import (AbstractUIContainer, ANCHOR_BOTTOM, ANCHOR_RIGHT, UIAnchoredContainer,
                       UIListContainer, UIPanel, UIWidget)

from .conftest import fixed


class Logged(UIWidget):
    """Records the calls that the containers make to it, in one shared log."""

    def __init__(self, name, log, answer=False):
        UIWidget.__init__(self)
        self.name, self.log, self.answer = name, log, answer

    def render(self, *clip):
        self.log.append(("render", self.name, clip))

    def update(self, *args):
        self.log.append(("update", self.name))

    def _onClick(self, event):
        self.log.append(("click", self.name))
        return self.answer

    def _onScroll(self, event):
        self.log.append(("scroll", self.name))
        return self.answer


def family(container, names, log, answers=None):
    answers = answers or {}
    children = [Logged(name, log, answers.get(name, False)) for name in names]
    for child in children:
        container.getChildren().append(child)
        child._setParent(container)
    return children


@pytest.fixture
def attached(make_ui):
    """A container of the given class attached to a renderer."""
    def make(cls=AbstractUIContainer):
        container = cls()
        make_ui().widget.addChild(container, 0, 0)
        return container
    return make


# --- adding and removing --------------------------------------------------------------------

def test_list_add_child_appends_and_links():
    box, child = UIListContainer(), UIWidget()
    box.addChild(child)
    box.addChild(child)  # a second place for the same child
    assert box.getChildren() == [child, child] and child.getParent() is box


@pytest.mark.parametrize("cls, add", [
    (UIListContainer, lambda box, value: box.addChild(value)),
    (UIAnchoredContainer, lambda box, value: box.addChild(value, 0, 0)),
], ids=["list", "anchored"])
@pytest.mark.parametrize("value, got", [(None, "NoneType"), (5, "int"), (UIWidget, "type")])
def test_add_child_refuses_what_is_no_widget(cls, add, value, got):
    box = cls()
    with pytest.raises(TypeError, match=rf"Argument 'child' has incorrect type \(expected "
                                        rf"quorvelin.UIWidget, got {got}\)"):
        add(box, value)
    assert box.getChildren() == []


def test_anchored_add_child_converts_the_numbers_before_testing_the_child():
    with pytest.raises(TypeError, match="an integer is required"):
        UIAnchoredContainer().addChild(None, "x", 0)


def test_base_remove_child_takes_anything_and_keeps_the_links():
    box, child = UIListContainer(), UIWidget()
    box.addChild(child)
    box.removeChild(None)
    box.removeChild("stranger")
    assert box.getChildren() == [child]
    box.removeChild(child)
    assert box.getChildren() == [] and child.getParent() is box


def test_anchored_records_follow_the_children(make_ui, scripted):
    ui = make_ui(scripted)
    root, child = ui.widget, fixed(UIWidget(), 10, 10)
    root.addChild(child, 5, 6)
    root.addChild(child, 50, 60, ANCHOR_RIGHT, ANCHOR_BOTTOM)  # already there: nothing changes
    ui.render()
    assert (child._x, child._y) == (5, 6) and root.getChildren() == [child]
    root.removeChild(UIWidget())  # not a child: nothing happens
    root.removeChild(child)
    child._x = child._y = 999
    ui.render()
    assert (child._x, child._y) == (999, 999)  # its record went with it
    root.addChild(child, 1, 2)
    root.removeAllChildren()
    assert root.getChildren() == []
    root.addChild(child, 7, 8)
    ui.render()
    assert (child._x, child._y) == (7, 8) and root.getChildren() == [child]


def test_anchored_remove_child_refuses_none():
    box = UIAnchoredContainer()
    with pytest.raises(TypeError, match="Argument 'child' has incorrect type"):
        box.removeChild(None)


def test_anchored_remove_child_compares_by_equality():
    class Twin(UIWidget):
        def __eq__(self, other):
            return isinstance(other, Twin)

        __hash__ = object.__hash__

    box, first, second = UIAnchoredContainer(), Twin(), Twin()
    box.addChild(first, 0, 0)
    box.addChild(second, 0, 0)  # equal to a child already there: not added
    assert box.getChildren() == [first]
    box.removeChild(second)
    assert box.getChildren() == []


def test_anchor_wrapper_record():
    wrapper = quorvelin._UIAnchorWrapper(UIWidget(), 1, 2.5, anchorTypeX=3, anchorTypeY=4)
    assert [name for name in dir(wrapper) if not name.startswith("__")] == []
    with pytest.raises(TypeError, match="Cannot convert int to quorvelin.UIWidget"):
        quorvelin._UIAnchorWrapper(5, 1, 2, 3, 4)
    with pytest.raises(TypeError, match="an integer is required"):
        quorvelin._UIAnchorWrapper(None, 1, "y", 3, 4)


def test_get_children_is_the_list_itself():
    box = UIListContainer()
    assert box.getChildren() is box.getChildren()
    children = box.getChildren()
    box.removeAllChildren()
    assert box.getChildren() is children


# --- the renderer down the tree --------------------------------------------------------------

def test_built_bottom_up_or_top_down_every_widget_gets_the_renderer(make_ui):
    ui = make_ui()
    leaf, panel = UIWidget(), UIPanel()
    panel.addChild(leaf)
    ui.widget.addChild(panel, 0, 0)
    late = UIWidget()
    panel.addChild(late)
    assert {leaf.getRenderer(), late.getRenderer(), panel.getRenderer()} == {ui}


def test_a_new_root_detaches_the_old_tree(make_ui):
    ui = make_ui()
    old_root, leaf = ui.widget, UIWidget()
    old_root.addChild(leaf, 0, 0)
    new_root = UIPanel()
    ui.widget = new_root
    assert ui.widget is new_root and new_root.getRenderer() is ui
    assert old_root.getRenderer() is None and leaf.getRenderer() is None


# --- the walks ------------------------------------------------------------------------------

def test_drawing_and_updates_go_first_to_last_with_the_clip_as_given(attached):
    log = []
    box = attached()
    family(box, "ab", log)
    box.render(1, 2.5, clipHeight="h")
    box.update(1, 2, False)
    assert log == [("render", "a", (1, 2.5, -1, "h")), ("render", "b", (1, 2.5, -1, "h")),
                   ("update", "a"), ("update", "b")]


def test_engine_containers_inside_engine_containers_keep_the_order_of_the_calls(attached):
    """The engine's own containers are walked inside one walk; a container that holds a
    place twice is visited at both, in the order and with the values the calls give."""
    log = []
    box = attached(UIListContainer)
    inner, other = UIListContainer(), UIAnchoredContainer()
    family(inner, "ab", log)
    family(other, "c", log)
    for child in (inner, other, inner):
        box.addChild(child)
    box.render(1, 2, 3, 4)
    box.update(5, 6, True)
    assert box._onClick(None) is False and box._onScroll(None) is False
    order = ["a", "b", "c", "a", "b"]
    assert log == [("render", name, (1, 2, 3, 4)) for name in order] + \
        [("update", name) for name in order] + \
        [(event, name) for event in ("click", "scroll") for name in reversed(order)]
    log.clear()
    inner.getChildren()[1].answer = True
    assert box._onClick(None) is True and log == [("click", "b")]


@pytest.mark.parametrize("hook, event", [("_onClick", "click"), ("_onScroll", "scroll")])
def test_events_go_last_to_first_until_one_takes_them(hook, event):
    log = []
    box = AbstractUIContainer()
    family(box, "abc", log, answers={"b": 1})
    assert getattr(box, hook)(None) is True
    assert log == [(event, "c"), (event, "b")]
    log.clear()
    assert getattr(AbstractUIContainer(), hook)(None) is False


def test_an_invisible_container_draws_nothing_but_its_children_take_part(attached):
    log = []
    box = attached()
    family(box, "a", log, answers={"a": True})
    box.isVisible = False
    box.isEnabled = False
    assert box.render() is None
    box.update(0, 0, False)
    assert box._onClick(None) is True
    assert log == [("update", "a"), ("click", "a")]
    detached = AbstractUIContainer()
    detached.isVisible = False
    assert detached.render() is None  # not even the attachment check


def test_a_child_removed_during_its_own_update_skips_the_next(attached):
    log = []
    box = attached()

    class Leaving(Logged):
        def update(self, *args):
            Logged.update(self, *args)
            box.removeChild(self)

    leaving = Leaving("leaving", log)
    box.getChildren().append(leaving)
    family(box, "ab", log)
    box.update(0, 0, False)
    assert log == [("update", "leaving"), ("update", "b")]


def test_a_child_appended_during_the_walk_is_visited(attached):
    log = []
    box = attached()
    late = Logged("late", log)

    class Adding(Logged):
        def render(self, *clip):
            Logged.render(self, *clip)
            box.getChildren().append(late)

    box.getChildren().append(Adding("adding", log))
    box.render()
    assert [entry[1] for entry in log] == ["adding", "late"]


def test_the_click_walk_ends_when_a_handler_shortens_the_list():
    log = []
    box = AbstractUIContainer()

    class Clearing(Logged):
        def _onClick(self, event):
            Logged._onClick(self, event)
            box.removeAllChildren()
            return False

    family(box, "ab", log)
    box.getChildren().append(Clearing("clearing", log))
    assert box._onClick(None) is False
    assert log == [("click", "clearing")]


def test_a_non_widget_child_stops_every_walk(attached):
    box = attached()
    box.getChildren().append(3)
    for walk in (box.render, lambda: box.update(0, 0, False), lambda: box._onClick(None),
                 lambda: box._onScroll(None)):
        with pytest.raises(TypeError, match="Cannot convert int to quorvelin.UIWidget"):
            walk()


def test_an_error_in_a_child_stops_the_walk(attached):
    log = []
    box = attached()

    class Failing(Logged):
        def render(self, *clip):
            raise KeyError("child")

    family(box, "a", log)
    box.getChildren().append(Failing("failing", log))
    family(box, "b", log)
    with pytest.raises(KeyError):
        box.render()
    assert [entry[1] for entry in log] == ["a"]
