"""The UI's part of the hostile-input table (see hostile): valid constructions and
arguments of the UI classes, and Python subclasses and partners (widgets, a theme, an
engine) whose methods and properties, which the UI finds by attribute lookup, give it
hostile values in the middle of a frame, a click or a wheel event."""
import json
import os

import quorvelin
from quorvelin import (AbstractSystem, AbstractUIContainer, Engine, MouseClickEvent,
                       MouseWheelEvent, Texture, UIAnchoredContainer, UIButton, UIImage,
                       UIListContainer, UIPanel, UIRenderer, UIScrollPanel, UISlider, UIText,
                       UITheme, UIWidget)

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
NOTHING = lambda c: ()  # noqa: E731

# The picklable UI classes: the number of fields in their state.
STATE_SIZES = {"ButtonClickEvent": 5, "SliderValueChangedEvent": 4}


def box(x, y, w, h):
    return {"x": x, "y": y, "width": w, "height": h}


# Skins cut from the 12 x 12 tileset, pieces of 2 to 4 pixels.
SKINS = {
    "panel": dict(x=0, y=0, leftWidth=4, middleWidth=4, rightWidth=4, topHeight=4,
                  middleHeight=4, bottomHeight=4),
    "button": {state: dict(x=0, y=y, left=3, middle=2, right=3, height=5)
               for state, y in (("normal", 0), ("hover", 6))},
    "slider": {
        "horizontalBackground": dict(x=0, y=0, left=2, middle=3, right=2, height=4),
        "verticalBackground": dict(x=0, y=0, width=4, top=2, middle=3, bottom=2),
        **{name: {"normal": box(4, 4, 3, 3), "hover": box(8, 4, 3, 3)}
           for name in ("leftButton", "rightButton", "topButton", "bottomButton")},
        "horizontalButton": {"normal": box(0, 8, 4, 4)},
        "verticalButton": {"normal": box(4, 8, 4, 4)},
    },
    "scrollPanel": {"clipPadding": dict(top=1, right=1, bottom=1, left=1),
                    "sliderMargin": dict(top=1, right=1, bottom=1, left=1)},
}


def theme_file(context):
    """A theme in the working directory: a 12 x 12 tileset and a panel skin."""
    path = os.path.abspath("hostile-theme.json")
    if not os.path.exists(path):
        from media.files import write_png
        write_png("hostile-tiles.png", 12, 12, [0xFF000000 | i * 0x10101 for i in range(144)])
        with open(path, "w", encoding="utf-8") as file:
            json.dump({"widgets": SKINS, "tileset": "hostile-tiles.png",
                       "fonts": {"aileron": {"file": FONT, "size": 12}},
                       "colors": {"background": "FF102030", "fontColor": "FFFFFF"}}, file)
    return path


def theme(context):
    if getattr(context, "ui_theme", None) is None:
        context.ui_theme = UITheme(theme_file(context))
    return context.ui_theme


def renderer(context, engine=None, theme_object=None):
    """A renderer that can draw a frame: a target, the theme, an engine (stored without
    subscribing, so that cases leave the engine's shared table alone) and a small tree."""
    made = UIRenderer(Texture(64, 48), True, theme_object or theme(context))
    AbstractSystem._setEngine(made, engine or context.engine)
    panel = UIPanel()
    panel.addChild(UIWidget())
    made.widget.addChild(panel, 2, 2)
    return made


def attached(widget, context):
    renderer(context).widget.addChild(widget, 4, 4)
    return widget


def widgets_renderer(context, engine=None, theme_object=None):
    """A renderer whose tree holds one widget of every kind, inside a scroll panel too."""
    made = renderer(context, engine, theme_object)
    listed = UIListContainer()
    for widget in (UIText("a\nb"), UIButton("b"), UIImage(Texture(4, 4), 6, 6), UISlider(50),
                   UISlider(50, orientation=quorvelin.SLIDER_ORIENTATION_VERTICAL)):
        listed.addChild(widget)
    made.widget.addChild(listed, 20, 2)
    scrolling = UIScrollPanel(filled(UIListContainer()))
    scrolling.sizePolicyX = scrolling.sizePolicyY = quorvelin.SIZE_FIXED
    scrolling.width, scrolling.height = 30, 20
    made.widget.addChild(scrolling, 2, 24)
    return made


def filled(container):
    for _ in range(3):
        child = UIWidget()
        container.getChildren().append(child)
        child._setParent(container)
    return container


def emptied(target, context):
    target.removeAllChildren()


def poisoned(target, context):
    target.getChildren().append(5)  # no widget: the walks refuse it


WIDGET_METHODS = {
    "_setParent": lambda c: (UIListContainer(),), "setMargin": lambda c: (1, 2, 3, 4),
    "_onClick": lambda c: (MouseClickEvent(5, 5, 1),), "_onScroll": lambda c: (MouseWheelEvent(0, 1),),
    "getParent": NOTHING, "getRenderer": NOTHING, "render": lambda c: (-1, -1, -1, -1),
    "update": lambda c: (5, 5, True), "onDragStart": lambda c: (1, 2), "onDragEnd": lambda c: (1, 2),
    "onDrag": lambda c: (1, 2, 3, 4), "isInside": lambda c: (5, 6),
    "_pointInRect": lambda c: (5, 6, 0, 0, 10, 10)}
CONTAINER_METHODS = {
    "render": lambda c: (0, 0, 30, 30), "update": lambda c: (5, 5, True), "removeChild": lambda c: (UIWidget(),),
    "removeAllChildren": NOTHING, "getChildren": NOTHING, "_onClick": lambda c: (MouseClickEvent(5, 5, 1),),
    "_onScroll": lambda c: (MouseWheelEvent(0, 1),)}
CONTAINER_REINITS = [(), emptied, poisoned]
CLICK = lambda c: (MouseClickEvent(5, 5, 1),)  # noqa: E731
WHEEL = lambda c: (MouseWheelEvent(0, -1),)  # noqa: E731
CLIP = lambda c: (-1, -1, -1, -1)  # noqa: E731


def scroll_panel(context):
    """An attached scroll panel around a list, laid out once, so that it can scroll."""
    panel = UIScrollPanel(filled(UIListContainer()))
    panel.sizePolicyX = panel.sizePolicyY = quorvelin.SIZE_FIXED
    panel.width, panel.height = 30, 6
    made = renderer(context)
    made.widget.addChild(panel, 4, 4)
    made.render()
    return panel


def api(Api):
    return {
        "UITheme": Api(
            new=lambda c: (theme_file(c),),
            reinit=[lambda target, c: target.__init__(theme_file(c)), ("/nonexistent.json",)],
            methods={"getFont": lambda c: ("aileron",), "getColor": lambda c: ("fontColor",),
                     "getIntColor": lambda c: ("background",),
                     "_convertRgbaToIntColor": lambda c: ((1, 2, 3),),
                     "__convertHex": lambda c: ("FF00FF",), "__convertColor": lambda c: (0xFF336699,)}),
        "UIRenderer": Api(
            new=lambda c: (Texture(64, 48), True, theme(c)), make=renderer,
            reinit=[lambda target, c: target.__init__(Texture(8, 8), False, theme(c)),
                    (None, 0, None), lambda target, c: quorvelin.Renderer.__init__(target, None)],
            methods={"getSize": NOTHING, "render": NOTHING, "_setEngine": lambda c: (None,),
                     "_onClick": lambda c: (MouseClickEvent(5, 5, 1),),
                     "_onScroll": lambda c: (MouseWheelEvent(0, 1),)}),
        "UIWidget": Api(make=lambda c: attached(UIWidget(), c),
                        reinit=[(), lambda target, c: target._setParent(None)], methods=WIDGET_METHODS),
        "AbstractUIContainer": Api(make=lambda c: attached(filled(AbstractUIContainer()), c),
                                   reinit=CONTAINER_REINITS, methods=CONTAINER_METHODS),
        "UIListContainer": Api(make=lambda c: attached(filled(UIListContainer()), c),
                               reinit=CONTAINER_REINITS,
                               methods={"setPadding": lambda c: (1, 2, 3, 4),
                                        "addChild": lambda c: (UIWidget(),)}),
        "_UIAnchorWrapper": Api(new=lambda c: (UIWidget(), 1, 2, 3, 4), reinit=[(None, 0, 0, 0, 0)]),
        "UIAnchoredContainer": Api(
            make=lambda c: attached(filled(UIAnchoredContainer()), c), reinit=CONTAINER_REINITS,
            methods={"addChild": lambda c: (UIWidget(), 1, 2, 1, 3),
                     "removeChild": lambda c: (UIWidget(),), "removeAllChildren": NOTHING}),
        "UIPanel": Api(make=lambda c: attached(filled(UIPanel()), c), reinit=CONTAINER_REINITS,
                       methods={"render": lambda c: (0, 0, 30, 30),
                                "_onClick": lambda c: (MouseClickEvent(5, 5, 1),)}),
        "UIText": Api(new=lambda c: ("text", (1, 2, 3)), make=lambda c: attached(UIText("a\n\nb"), c),
                      reinit=[("other", (4, 5, 6)), (5,)],
                      methods={"getText": NOTHING, "setText": lambda c: ("x\ny",),
                               "getRenderedTextSize": NOTHING, "render": CLIP,
                               "_setParent": lambda c: (UIListContainer(),)}),
        "ButtonClickEvent": Api(new=lambda c: (UIButton("b"), 1, 2, 1), reinit=[(None, 0, 0, 0)]),
        "UIButton": Api(new=lambda c: ("button",), make=lambda c: attached(UIButton("button"), c),
                        reinit=[("other",), (5,), emptied, poisoned],
                        methods={"getText": NOTHING, "setText": lambda c: ("x",), "render": CLIP,
                                 "_onClick": CLICK}),
        "UIImage": Api(new=lambda c: (Texture(8, 8), 6, 4),
                       make=lambda c: attached(UIImage(Texture(8, 8), 6, 4), c),
                       reinit=[(None, 2, 2), (Texture(2, 2),), (5,)], methods={"render": CLIP}),
        "SliderValueChangedEvent": Api(new=lambda c: (UISlider(1), 1, 2), reinit=[(None, 0, 0)]),
        "UISlider": Api(new=lambda c: (50, 0, 100, 0), make=lambda c: attached(UISlider(50), c),
                        reinit=[(50, 10, 10, 1), ("x",)],
                        methods={"_onClick": CLICK, "onDragEnd": lambda c: (5, 5),
                                 "onDragStart": lambda c: (5, 5), "onDrag": lambda c: (5, 5, 0, 0),
                                 "update": lambda c: (5, 5, True), "render": CLIP}),
        "UIScrollPanel": Api(new=lambda c: (UIWidget(),), make=scroll_panel,
                             reinit=[lambda target, c: target.__init__(UIWidget()), emptied,
                                     poisoned],
                             methods={"setPadding": lambda c: (1, 2, 3, 4),
                                      "update": lambda c: (5, 5, True), "render": CLIP,
                                      "_onClick": CLICK, "_onScroll": WHEEL}),
    }


# --- what the UI gets back from the methods it looks up ----------------------------------------

class Scripted(Engine):
    """An engine whose mouse is at (6, 6) with the left button held: every frame hovers
    and drags the widgets there."""

    def getMousePos(self):
        return (6, 6)

    def isMouseButtonPressed(self, button):
        return True


# overridable name -> (where it is overridden, whether it is a property)
WIDGET_LOOKUPS = ["render", "update", "_onClick", "_onScroll", "isInside", "_pointInRect",
                  "onDragStart", "onDrag", "onDragEnd", "_setParent", "setPadding"]
WIDGET_PROPERTIES = ["isHovered", "onClick"]
# The widgets' own lookups: (class, name, whether it is a property).
OWN_LOOKUPS = [(UIText, "getText", False), (UIText, "setText", False),
               (UIButton, "getText", False), (UIButton, "setText", False),
               (UIButton, "isInside", False), (UIButton, "addChild", False),
               (UISlider, "value", True), (UISlider, "_pointInRect", False),
               (UIScrollPanel, "scrollPosX", True), (UIScrollPanel, "_onScroll", False)]
THEME_LOOKUPS = ["getIntColor", "getFont", "getColor"]
THEME_PROPERTIES = ["widgets"]
ENGINE_LOOKUPS = ["getMousePos", "isMouseButtonPressed"]


def frame_and_events(made):
    """A frame, a click and a wheel event, each failing on its own."""
    for step in (made.render, lambda: made._onClick(MouseClickEvent(6, 6, 1)),
                 lambda: made._onScroll(MouseWheelEvent(0, 1)), made.render):
        try:
            step()
        except Exception:
            pass


def lookup_cases(group, context, values):
    if group != "UIRenderer":
        return
    engine = Scripted()
    engine.init("ui overrides", (64, 48), show=False)

    def overriding(base, name, value, is_property):
        member = property(lambda self: value()) if is_property else \
            (lambda self, *args, **kwargs: value())
        return type("Overriding", (base,), {name: member})

    for name in WIDGET_LOOKUPS + WIDGET_PROPERTIES:
        for value_label, value in values:
            def widget_case(name=name, value=value):
                made = renderer(context, engine)
                cls = overriding(UIPanel, name, value, name in WIDGET_PROPERTIES)
                outer = UIPanel()
                made.widget.addChild(outer, 0, 0)
                try:
                    inner = cls()  # setPadding, when overridden, fails here
                except Exception:
                    inner = UIPanel()
                outer.addChild(inner)
                inner.addChild(UIWidget())
                frame_and_events(made)
            yield f"UI widget {name} giving {value_label}", widget_case
    for base, name, is_property in OWN_LOOKUPS:
        for value_label, value in values:
            def own_case(base=base, name=name, value=value, is_property=is_property):
                made = widgets_renderer(context, engine)
                cls = overriding(base, name, value, is_property)
                try:
                    widget = cls("x") if base in (UIText, UIButton) else \
                        cls(5) if base is UISlider else cls(UIWidget())
                except Exception:
                    return
                made.widget.addChild(widget, 3, 3)
                if isinstance(widget, UISlider):
                    widget.sizePolicyX = quorvelin.SIZE_FIXED
                    widget.width = 60
                frame_and_events(made)
                for step in (lambda: widget.onDragStart(6, 6), lambda: widget.onDrag(9, 6, 3, 0),
                             lambda: widget._onScroll(MouseWheelEvent(0, 1))):
                    try:
                        step()
                    except Exception:
                        pass
            yield f"UI {base.__name__}.{name} giving {value_label}", own_case
    for name in THEME_LOOKUPS + THEME_PROPERTIES:
        for value_label, value in values:
            def theme_case(name=name, value=value):
                cls = overriding(UITheme, name, value, name in THEME_PROPERTIES)
                made = widgets_renderer(context, engine, cls(theme_file(context)))
                frame_and_events(made)
            yield f"UI theme {name} giving {value_label}", theme_case
    for name in ENGINE_LOOKUPS:
        for value_label, value in values:
            def engine_case(name=name, value=value):
                setattr(engine, name, lambda *args, **kwargs: value())
                try:
                    frame_and_events(renderer(context, engine))
                finally:
                    delattr(engine, name)
            yield f"UI engine {name} giving {value_label}", engine_case
