"""Widget trees that are no trees, and trees deeper than a C stack: adding a widget to
itself or to one of its descendants is refused before anything changes; a cycle made
behind the API's back (through the list that getChildren returns) stops every walk
over the tree with RecursionError; a tree of 150,000 nested containers is laid out,
updated, drawn and asked about clicks as any other. Each case runs in a child process,
so a crash or a sanitizer report fails its row."""
import textwrap

import pytest

from .themes import write_theme

DEPTH = 150_000

PRELUDE = """
import gc, sys
from quorvelin import *

class Mouse(Engine):
    position = (5, 5)
    def getMousePos(self):
        return self.position
    def isMouseButtonPressed(self, button):
        return False

ui = UIRenderer(Texture(64, 48), True, UITheme({theme!r}))
engine = Mouse()
AbstractSystem._setEngine(ui, engine)

def refused(add):
    try:
        add()
    except ValueError as error:
        assert str(error) == "Can not add a widget to itself or to one of its descendants.", error
    else:
        raise AssertionError("no ValueError")

def stops(walk):
    try:
        walk()
    except RecursionError:
        pass
    else:
        raise AssertionError("no RecursionError")
"""

# Each adds a widget to itself or to one of its descendants through the API, and checks
# that the refusal changed nothing: the lists, the links, the next frame.
REFUSALS = {
    "a list added to itself": """
        a = UIListContainer()
        refused(lambda: a.addChild(a))
        assert a.getChildren() == [] and a.getParent() is None
    """,
    "two lists added to each other": """
        a, b = UIListContainer(), UIListContainer()
        a.addChild(b)
        refused(lambda: b.addChild(a))
        assert a.getChildren() == [b] and b.getChildren() == [] and a.getParent() is None
    """,
    "a panel added to its button's label row": """
        panel, button = UIPanel(), UIButton("b")
        ui.widget.addChild(panel, 0, 0)
        panel.addChild(button)
        refused(lambda: button.addChild(panel))
        assert [type(child) for child in button.getChildren()] == [UIText]
        ui.render()
    """,
    "the root added to itself": """
        root = ui.widget
        refused(lambda: root.addChild(root, 1, 2))
        assert root.getChildren() == [] and root.getParent() is None
        ui.render()
    """,
    "the root added to its grandchild": """
        outer, inner = UIListContainer(), UIPanel()
        ui.widget.addChild(outer, 0, 0)
        outer.addChild(inner)
        refused(lambda: inner.addChild(ui.widget))
        assert inner.getChildren() == [] and ui.widget.getParent() is None
        ui.render()
    """,
    "a scroll panel made its own content": """
        content = UIWidget()
        panel = UIScrollPanel(content)
        refused(lambda: setattr(panel, "content", panel))
        refused(lambda: panel.__init__(panel))
        assert panel.getChildren() == [content] and panel.content is content
    """,
    "a scroll panel added to its content": """
        listed = UIListContainer()
        panel = UIScrollPanel(listed)
        refused(lambda: listed.addChild(panel))
        assert listed.getChildren() == []
    """,
    "a scroll panel's content set to an ancestor": """
        outer = UIListContainer()
        panel = UIScrollPanel(UIWidget())
        outer.addChild(panel)
        refused(lambda: setattr(panel, "content", outer))
        assert type(panel.content) is UIWidget
    """,
    "a descendant that game code appended itself": """
        a, b, c = UIListContainer(), UIPanel(), UIButton("c")
        a.getChildren().append(b)  # no parent link, found all the same
        b.addChild(c)
        refused(lambda: c.addChild(a))
        refused(lambda: ui.widget.addChild(a, 0, 0) or c.addChild(ui.widget))
    """,
}

# A cycle made behind the API's back, then one walk over it.
CYCLE = """
    a, b = UIPanel(), UIListContainer()
    a.sizePolicyX = a.sizePolicyY = SIZE_FIXED
    a.width = a.height = 20
    ui.widget.addChild(a, 1, 1)
    a.addChild(b)
    b.getChildren().append(a)
"""
WALKS = {
    "the layout passes": "stops(ui.render)",
    "the drawing": "stops(a.render)",
    "the update": "stops(lambda: a.update(5, 5, True))",
    "the clicks": "stops(lambda: ui._onClick(MouseClickEvent(5, 5, 1)))",
    "the wheel": "stops(lambda: ui._onScroll(MouseWheelEvent(0, 1)))",
    "the renderer taken away": "stops(lambda: setattr(ui, 'widget', UIWidget()))",
    "the renderer given": "stops(lambda: a._setParent(UIListContainer()))",
    "a new root": "ui.widget.removeChild(a)\nstops(lambda: setattr(ui, 'widget', a))",
    "a container of a scroll panel": "stops(lambda: UIScrollPanel(a).update(5, 5, False))",
}


def run(child, tmp_path, code):
    script = textwrap.dedent(PRELUDE.format(theme=write_theme(tmp_path))) + \
        textwrap.dedent(code) + "\nprint('ok')\n"
    result = child(script, timeout=600)
    assert result.returncode == 0 and result.stdout.strip() == "ok", result.stderr[-3000:]


@pytest.mark.parametrize("case", REFUSALS)
def test_a_widget_cannot_join_its_own_subtree(case, child, tmp_path):
    run(child, tmp_path, REFUSALS[case])


@pytest.mark.parametrize("walk", WALKS)
def test_a_cycle_behind_the_apis_back_stops_every_walk(walk, child, tmp_path):
    # Afterwards nothing is left clipped, and the tree without its cycle works again.
    run(child, tmp_path, textwrap.dedent(CYCLE) + WALKS[walk] + f"""
target = ui.getTarget()
target.fill((1, 2, 3))
target.saveFile({str(tmp_path / "after.png")!r})
from PIL import Image
with Image.open({str(tmp_path / "after.png")!r}) as image:
    assert set(image.convert("RGB").getdata()) == {{(1, 2, 3)}}
b.getChildren().remove(a)
ui.widget = UIAnchoredContainer()
ui.widget.addChild(a, 1, 1)
ui.render()
assert a.getRenderer() is ui and b.getRenderer() is ui
""")


DEEP = f"""
class Sub(UIListContainer):
    pass

def nested(kind, depth):
    top = inner = kind()
    for _ in range(depth):
        inner.setPadding(0, 0, 0, 1)
        child = kind()
        inner.addChild(child)
        inner = child
    return top, inner

top, inner = nested(CLASS, {DEPTH})
button = UIButton("deep")
inner.addChild(button)
clicks = []
button.onClick = clicks.append
ui.widget.addChild(top, 0, 0)
"""

DEEP_WALKS = {
    # every container one pixel right of its parent: the innermost at the depth
    "engine classes": """
        engine.position = ({depth} + 5, 5)
        ui.render()
        ui.render()
        assert (inner._x, button._x, button.getRenderer()) == ({depth}, {depth}, ui)
        assert button.isHovered
        event = MouseClickEvent({depth} + 5, 5, 1)
        ui._onClick(event)
        assert event.isAlreadyHandled and len(clicks) == 1
        wheel = MouseWheelEvent(0, 1)
        ui._onScroll(wheel)
        assert not wheel.isAlreadyHandled
        ui.widget = UIAnchoredContainer()
        assert button.getRenderer() is None
        del top, inner, button
        ui.widget = UIAnchoredContainer()
        gc.collect()
    """,
    # the layout goes through the engine's own tables, the update by name: each level
    # of Python classes nests a walk, and the nesting stops before the C stack ends
    "Python classes": """
        sys.setrecursionlimit(10 ** 6)
        stops(ui.render)
        assert inner._x == {depth}
        stops(lambda: top.render())
        stops(lambda: ui._onClick(MouseClickEvent(5, 5, 1)))
    """,
}


@pytest.mark.parametrize("kind, name", [("UIListContainer", "engine classes"),
                                        ("Sub", "Python classes")])
def test_a_tree_of_150000_nested_containers(kind, name, child, tmp_path):
    code = DEEP.replace("CLASS", kind) + textwrap.dedent(DEEP_WALKS[name]).format(depth=DEPTH)
    run(child, tmp_path, code)


# Game code that changes the tree in the middle of a walk, from a hook the walk calls:
# the steps under way keep what they hold, so nothing is freed under them, and the walk
# goes on over the lists as they are then (or stops with the error the change causes).
MIDWAY = """
outer, middle = UIPanel(), UIListContainer()
ui.widget.addChild(outer, 1, 1)
outer.addChild(middle)
for _ in range(3):
    middle.addChild(UIButton("x"))

class Meddler(UIWidget):
    container = middle

    def meddle(self):
        CHANGE
    def update(self, *args):
        UIWidget.update(self, *args)
        if WHEN == "update":
            self.meddle()
    def render(self, *clip):
        if WHEN == "render":
            self.meddle()
    def _onClick(self, event):
        if WHEN == "click":
            self.meddle()
        return False

middle.getChildren().insert(1, Meddler())
del outer, middle
for step in (ui.render, lambda: ui._onClick(MouseClickEvent(5, 5, 1)), ui.render):
    try:
        step()
    except Exception:  # what the change leads to: a cycle, a number, a detached widget
        pass
gc.collect()
fresh = UIRenderer(Texture(64, 48), True, ui.theme)
AbstractSystem._setEngine(fresh, engine)
fresh.widget.addChild(UIButton("y"), 0, 0)
fresh.render()
"""
CHANGES = {
    "its container leaves the tree": "ui.widget.removeAllChildren(); gc.collect()",
    "the root is replaced": "ui.widget = UIAnchoredContainer(); gc.collect()",
    "its container holds itself": "self.container.getChildren().append(self.container)",
    "its container is emptied": "self.container.removeAllChildren()",
    "a list holds a number": "self.container.getChildren().append(7)",
    "the frame is drawn again": "ui.render() if WHEN != 'render' else None",
}


@pytest.mark.parametrize("when", ["update", "render", "click"])
@pytest.mark.parametrize("change", CHANGES)
def test_the_tree_changed_in_the_middle_of_a_walk(change, when, child, tmp_path):
    run(child, tmp_path, MIDWAY.replace("CHANGE", CHANGES[change]).replace("WHEN", repr(when)))


def test_a_size_policy_constant_that_changes_the_tree_in_the_layout(child, tmp_path):
    """The layout passes compare each widget's policies with the module's constants of
    the moment: a constant whose comparison empties and drops the tree runs in the middle
    of every pass."""
    run(child, tmp_path, """
        import quorvelin
        outer = UIPanel()
        ui.widget.addChild(outer, 1, 1)
        for _ in range(3):
            inner = UIListContainer()
            outer.addChild(inner)
            inner.addChild(UIButton("x"))
        del outer, inner

        class Meddling(int):
            def __eq__(self, other):
                for widget in list(ui.widget.getChildren()):
                    widget.removeAllChildren()
                ui.widget.removeAllChildren()
                gc.collect()
                return int(self) == other
            __hash__ = int.__hash__

        quorvelin.SIZE_FIXED = Meddling(1)
        ui.render()
        ui.render()
        assert ui.widget.getChildren() == []
    """)
