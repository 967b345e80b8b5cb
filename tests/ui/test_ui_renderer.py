"""UIRenderer: construction, the root, a frame inside the engine's own frame, the
background fill, and the mouse events that the engine hands to the widget tree."""
import pickle

import pytest

import quorvelin
from engine import sdlinput
from quorvelin import (MouseClickEvent, MouseWheelEvent, Renderer, Texture, UIAnchoredContainer,
                       UIPanel, UIRenderer, UITheme, UIWidget)

from . import themes
from .conftest import SIZE, Scripted, fixed, place_mouse


# --- construction and the root --------------------------------------------------------------

def test_a_new_renderer(theme):
    target = Texture(*SIZE)
    ui = UIRenderer(target, 2.7, theme)
    assert ui.getTarget() is target and ui.theme is theme and ui.getSize() == SIZE
    assert ui._interestedComponentTypes == (None,) and ui.entities == []
    root = ui.widget
    assert type(root) is UIAnchoredContainer and root.getRenderer() is ui
    assert (root.sizePolicyX, root.sizePolicyY) == (quorvelin.SIZE_GROW, quorvelin.SIZE_GROW)
    assert UIRenderer(target=target, fillBackground=False, theme=theme).theme is theme
    for hidden in ("fillBackground", "target"):
        assert not hasattr(ui, hidden)


@pytest.mark.parametrize("args, error, message", [
    ((None, 0, "theme"), TypeError, r"Argument 'target' has incorrect type \(expected "
                                    r"quorvelin.Texture, got NoneType\)"),
    (("target", 0, None), TypeError, r"Argument 'theme' has incorrect type \(expected "
                                     r"quorvelin.UITheme, got NoneType\)"),
    (("target", "no", "theme"), TypeError, "an integer is required"),
    (("target", 2 ** 31, "theme"), OverflowError, "too large"),
    (("target", 0), TypeError, r"takes exactly 3 positional arguments \(2 given\)"),
])
def test_construction_refuses_what_cannot_draw(theme, args, error, message):
    values = {"target": Texture(4, 4), "theme": theme}
    with pytest.raises(error, match=message):
        UIRenderer(*[values.get(arg, arg) if isinstance(arg, str) else arg for arg in args])


@pytest.mark.parametrize("value", [None, 5, Texture])
def test_a_root_that_is_no_widget_changes_nothing(make_ui, scripted, value):
    ui = make_ui(scripted)
    root = ui.widget
    with pytest.raises(TypeError, match="Cannot convert .* to quorvelin.UIWidget"):
        ui.widget = value
    assert ui.widget is root and root.getRenderer() is ui
    ui.render()
    with pytest.raises(NotImplementedError, match="__del__"):
        del ui.widget


def test_a_new_root_keeps_its_parent(make_ui):
    ui, box = make_ui(), quorvelin.UIListContainer()
    panel = UIPanel()
    box.addChild(panel)
    ui.widget = panel
    assert panel.getParent() is box and panel.getRenderer() is ui


def test_documentation_and_pickling(theme):
    assert UIRenderer.__doc__ == "\n    A UI render renders UI elements like text and buttons.\n    "
    assert UIRenderer.__init__.__doc__ == ("\n        @param(target, Texture)\n        "
                                          "@param(fillBackground, bool)\n        @param(theme, UITheme)\n        ")
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(UIRenderer(Texture(2, 2), 0, theme))


# --- the frame ------------------------------------------------------------------------------

def test_a_frame_lays_out_then_updates_then_draws(make_ui, scripted):
    log = []

    class Watching(UIWidget):
        def update(self, x, y, pressed):
            log.append(("update", self._x, self._y, x, y, pressed))

        def render(self, *clip):
            log.append(("render",) + clip)

    ui = make_ui(scripted)
    ui.widget.addChild(Watching(), 30, 40)
    scripted.position, scripted.pressed = (7, 8), False
    scripted.update()  # the engine's frame runs the renderer as one of its systems
    assert log == [("update", 30, 40, 7, 8, False), ("render", -1, -1, -1, -1)]


def test_without_an_engine_a_frame_fails_after_the_fill(make_ui, pixels_of):
    ui = make_ui(fill=True)
    with pytest.raises(AttributeError, match="getMousePos"):
        ui.render()
    assert pixels_of(ui.getTarget())(5, 5) == themes.BACKGROUND


@pytest.mark.parametrize("text, pixel", [("FF102030", 0xFF102030), ("80102030", 0x80102030),
                                         ("336699", 0x00336699)])
def test_the_background_is_written_not_blended(tmp_path, scripted, pixels_of, text, pixel):
    theme = UITheme(themes.write_theme(tmp_path, colors={"background": text}))
    target = Texture(*SIZE)
    target.fill((255, 255, 255))
    ui = UIRenderer(target, True, theme)
    scripted.ecs.addSystem(ui)
    scripted.update()
    assert pixels_of(target)(100, 100) == pixel


@pytest.mark.parametrize("colour, message", [(-1, "can't convert negative value to uint32_t"),
                                             (2 ** 32, "too large")])
def test_a_background_beyond_32_bits_fails(scripted, theme_path, colour, message):
    own = type("Own", (UITheme,), {"getIntColor": lambda self, name: colour})(theme_path)
    ui = UIRenderer(Texture(*SIZE), True, own)
    quorvelin.AbstractSystem._setEngine(ui, scripted)
    with pytest.raises(OverflowError, match=message):
        ui.render()


def test_the_ui_draws_over_an_earlier_renderers_picture(make_ui, scripted, pixels_of):
    target = Texture(*SIZE)

    class Scene(Renderer):
        def render(self):
            self.getTarget().fill((0, 0, 255))

    scripted.ecs.addSystem(Scene(target))
    ui = make_ui(scripted, target=target)
    ui.widget.addChild(fixed(UIPanel(), 40, 30), 10, 10)
    scripted.update()
    pixel = pixels_of(target)
    assert pixel(0, 0) == 0xFF0000FF and pixel(10, 10) == themes.TOP_LEFT


# --- the engine and its mouse events --------------------------------------------------------

def subscriptions(engine, event_type):
    return [h for h in quorvelin.Engine._eventSubscribers.get(event_type, [])]


def test_subscribed_once_while_in_an_ecs_with_an_engine(engine, make_ui):
    ui = make_ui()
    engine.ecs.addSystem(ui)
    engine.ecs.addSystem(ui)
    assert subscriptions(engine, MouseClickEvent) == [ui._onClick]
    assert subscriptions(engine, MouseWheelEvent) == [ui._onScroll]
    engine.ecs.removeSystem(ui)
    assert subscriptions(engine, MouseClickEvent) == [] == subscriptions(engine, MouseWheelEvent)
    with pytest.raises(TypeError, match=r"Argument 'engine' has incorrect type"):
        ui._setEngine(5)
    assert ui.getEngine() is None


def test_a_click_reaches_the_widget_under_the_mouse(engine, make_ui):
    ui = make_ui(engine)
    clicked, seen = [], []
    panel = fixed(UIPanel(), 50, 40)
    panel.onClick = clicked.append
    ui.widget.addChild(panel, 100, 60)
    engine.subscribeEvent(MouseClickEvent, seen.append)  # gets an event of its own

    def click_at(x, y):
        place_mouse(engine, x, y)
        sdlinput.click(x, y)
        engine.update()

    click_at(120, 80)
    assert len(clicked) == 1 and (clicked[0].x, clicked[0].y, clicked[0].button) == (120, 80, 1)
    assert clicked[0].isAlreadyHandled is True  # the renderer's own copy
    assert seen[-1].isAlreadyHandled is False
    click_at(10, 10)
    assert len(clicked) == 1
    routed = MouseClickEvent(10, 10, 1)
    routed.isAlreadyHandled = True
    ui._onClick(routed)
    assert routed.isAlreadyHandled is False  # every event goes down, whatever it says


def test_the_click_uses_the_hover_of_the_last_frame(engine, make_ui):
    ui = make_ui(engine)
    clicked = []
    panel = fixed(UIPanel(), 50, 40)
    panel.onClick = clicked.append
    ui.widget.addChild(panel, 0, 0)
    place_mouse(engine, 200, 150)
    sdlinput.click(10, 10)  # at the panel, but the last frame had the mouse elsewhere
    engine.update()
    assert clicked == []


def test_a_wheel_event_goes_down_the_tree(engine, make_ui):
    ui = make_ui(engine)
    seen = []

    class Wheel(UIWidget):
        def _onScroll(self, event):
            seen.append(event.y)
            return True

    ui.widget.addChild(fixed(UIPanel(), 50, 40), 0, 0)
    ui.widget.addChild(Wheel(), 0, 0)
    sdlinput.wheel(0, -2)
    engine.update()
    assert seen == [-2]


def test_errors_of_a_click_handler_are_reported_by_the_engine(engine, make_ui, unraisable):
    ui = make_ui(engine)
    panel = fixed(UIPanel(), 50, 40)
    panel.onClick = lambda event: 1 / 0
    ui.widget.addChild(panel, 0, 0)
    place_mouse(engine, 10, 10)
    sdlinput.click(10, 10)
    engine.update()
    assert [type(error.exc_value) for error in unraisable] == [ZeroDivisionError]


def test_a_drag_through_the_engine(make_ui, scripted):
    calls = []

    class Handle(UIWidget):
        def onDragStart(self, x, y):
            calls.append(("start", x, y))

        def onDrag(self, x, y, dx, dy):
            calls.append(("drag", dx, dy))

        def onDragEnd(self, x, y):
            calls.append(("end", x, y))

    ui = make_ui(scripted)
    ui.widget.addChild(fixed(Handle(), 20, 20), 50, 50)
    for position, pressed in [((60, 60), False), ((60, 60), True), ((90, 65), True),
                              ((95, 70), False)]:
        scripted.position, scripted.pressed = position, pressed
        scripted.update()
    assert calls == [("start", 60, 60), ("drag", 0, 0), ("drag", 30, 5), ("end", 95, 70)]
