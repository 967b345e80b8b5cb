"""Widgets whose rectangle reaches the ends of the 32-bit range: a position at the edge
(the far edge passes 2**31 - 1, or the widget starts at -2**31) or a size of 2**31 - 1.
Each widget's frame must show exactly what the same widget shows with moderate numbers
(off the target, or a thousand pixels long), so nothing is drawn where a wrapped sum
would put it and nothing outside the target is touched. A frame that the engine
refuses raises its error instead. Each widget runs in a child process of its own, so a
crash or a sanitizer report fails its row."""
import json

import pytest

from .themes import write_theme

EDGE = 2 ** 31 - 1
LOW = -2 ** 31
# (what is set, the value at the edge, its moderate twin)
EDGES = [
    ("x", EDGE - 19, 1000), ("y", EDGE - 19, 1000),
    ("x", LOW, -1000), ("y", LOW, -1000),
    ("width", EDGE, 1000), ("height", EDGE, 1000),
]

# How each widget is made in the child (with the theme's names in scope).
WIDGETS = {
    "UIWidget": "UIWidget()",
    "UIListContainer": "listed(UIListContainer())",
    "UIAnchoredContainer": "anchored()",
    "UIPanel": "listed(UIPanel())",
    "UIText": "UIText('edge\\nof the range')",
    "UIButton": "UIButton('edge')",
    "UIImage": "UIImage(Texture(8, 8), 30, 20)",
    "UIImage with alpha": "faded(UIImage(Texture(8, 8), 30, 20))",
    "UISlider": "UISlider(50)",
    "UISlider vertical": "UISlider(50, orientation=SLIDER_ORIENTATION_VERTICAL)",
    "UIScrollPanel": "UIScrollPanel(listed(UIListContainer()))",
}

# Frames the engine refuses at the edge: the scroll bar's place is stored in 32-bit
# fields, and the panel's right edge beyond the range cannot be one.
REFUSED = {("UIScrollPanel", "x", EDGE - 19): "OverflowError"}

CHILD = """
import json, sys
from quorvelin import *

class Mouse(Engine):
    def getMousePos(self):
        return (5, 5)
    def isMouseButtonPressed(self, button):
        return True

theme = UITheme({theme!r})
engine = Mouse()

def listed(container):
    container.addChild(UIText("a"))
    container.addChild(UIButton("b"))
    return container

def anchored():
    container = UIAnchoredContainer()
    container.addChild(listed(UIPanel()), 1, 1)
    return container

def faded(image):
    image.texture.fill((200, 40, 10, 255))
    image.alpha = 128
    return image

def frame(field, value):
    ui = UIRenderer(Texture(64, 48), True, theme)
    AbstractSystem._setEngine(ui, engine)
    widget = {make}
    widget.sizePolicyX = widget.sizePolicyY = SIZE_FIXED
    widget.width, widget.height = 30, 20
    place = {{"x": 2, "y": 2}}
    if field in place:
        place[field] = value
    else:
        setattr(widget, field, value)
    ui.widget.addChild(widget, place["x"], place["y"])
    try:
        for _ in range(2):
            ui.render()
    except Exception as error:
        return type(error).__name__
    path = {folder!r} + "/frame.png"
    ui.getTarget().saveFile(path)
    with open(path, "rb") as file:
        return file.read().hex()

results = {{}}
for field, edge, twin in {edges!r}:
    print(field, edge, file=sys.stderr, flush=True)  # the case a crash happened in
    at_edge, moderate = frame(field, edge), frame(field, twin)
    results[f"{{field}} {{edge}}"] = at_edge if len(at_edge) < 40 else at_edge == moderate
print(json.dumps(results))
"""


@pytest.mark.parametrize("name", WIDGETS)
def test_a_widget_at_the_ends_of_the_int_range(name, child, tmp_path):
    code = CHILD.format(theme=write_theme(tmp_path), make=WIDGETS[name], folder=str(tmp_path),
                        edges=EDGES)
    result = child(code, timeout=300)
    assert result.returncode == 0, result.stderr[-3000:]
    outcomes = json.loads(result.stdout)
    for field, edge, _ in EDGES:
        expected = REFUSED.get((name, field, edge), True)
        assert outcomes[f"{field} {edge}"] == expected, (field, edge)
