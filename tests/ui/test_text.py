"""UIText: the text and its lines, the measurements with the theme's font "aileron",
the colour taken from the theme at attachment, and the drawing of the lines at the
label's corner, cut to its clipped rectangle. The drawn pixels are held against the
same lines rendered by the font itself."""
import pytest

import quorvelin
from quorvelin import Font, Texture, UIListContainer, UIText
from media.files import FONT_PATH

from .conftest import fixed
from .themes import FONTS, write_theme

SIZE = FONTS["aileron"]["size"]


@pytest.fixture
def font():
    return Font(FONT_PATH, SIZE)


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def attached(ui, label, x=0, y=0):
    ui.widget.addChild(label, x, y)
    return label


def lines_size(font, lines, empty_height):
    """(widest, sum of heights), an empty line counting `empty_height`."""
    sizes = [font.getRenderedTextSize(line) if line else (0, empty_height) for line in lines]
    return max([w for w, _ in sizes], default=0), sum(h for _, h in sizes)


@pytest.mark.parametrize("text, lines", [
    ("one", ["one"]),
    ("a\nb\r\nc\n", ["a", "b", "c"]),  # a boundary at the very end adds no line
    ("a\n\nb", ["a", "", "b"]),
    ("x\u2028y\x1cz\x85w", ["x", "y", "z", "w"]),  # the host's line boundaries
    ("", []),
])
def test_lines_and_both_measurements(ui, font, text, lines):
    label = attached(ui, UIText(text))
    assert label.text == text == label.getText()
    empty = font.getRenderedTextSize("")[1]
    assert label.getRenderedTextSize() == lines_size(font, lines, font.size)
    ui.render()
    assert (label.width, label.height) == lines_size(font, lines, empty)


def test_an_empty_line_measures_differently_in_the_two_measurements(ui, font):
    label = attached(ui, UIText("a\n\nb"))
    ui.render()
    assert font.getRenderedTextSize("")[1] != SIZE  # else the case shows nothing
    assert label.getRenderedTextSize()[1] - label.height == SIZE - font.getRenderedTextSize("")[1]


def test_a_label_that_is_not_attached_measures_nothing():
    label = UIText("some text")
    label.width, label.height = 7, 9
    assert label.getRenderedTextSize() == (0, 0)
    UIListContainer().addChild(label)  # a container in no renderer
    assert label.getRenderedTextSize() == (0, 0) and label.getRenderer() is None


@pytest.mark.parametrize("fixed_x, fixed_y", [(True, False), (True, True), (False, True)])
def test_a_fixed_axis_keeps_its_size(ui, font, fixed_x, fixed_y):
    label = attached(ui, UIText("wide text\nsecond"))
    label.width, label.height = 3, 4
    if fixed_x:
        label.sizePolicyX = quorvelin.SIZE_FIXED
    if fixed_y:
        label.sizePolicyY = quorvelin.SIZE_FIXED
    ui.render()
    measured = lines_size(font, ["wide text", "second"], 0)
    assert label.width == (3 if fixed_x else measured[0])
    assert label.height == (4 if fixed_y else measured[1])


@pytest.mark.parametrize("value, name", [(5, "int"), (None, "NoneType"), (b"x", "bytes"),
                                         (type("Text", (str,), {})("x"), "Text")])
def test_set_text_takes_exactly_a_str(value, name):
    label = UIText("before")
    with pytest.raises(TypeError, match=f"Expected unicode, got {name}"):
        label.setText(value)
    assert label.text == "before"
    with pytest.raises(TypeError, match=f"Expected unicode, got {name}"):
        UIText(value)


def test_the_text_property_goes_by_name_and_cannot_be_deleted():
    calls = []

    class Shouting(UIText):
        def getText(self):
            return UIText.getText(self).upper()

        def setText(self, text):
            calls.append(text)
            UIText.setText(self, text + "!")

    label = Shouting("hi")  # the constructor calls setText by name too
    label.text = "there"
    assert (label.text, calls) == ("THERE!", ["hi", "there"])
    for name in ("text", "color"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(label, name)


def test_the_colour_is_taken_from_the_theme_only_at_attachment(ui):
    given = attached(ui, UIText("a", (255, 0, 0)))
    assert given.color == (255, 0, 0)
    themed = attached(ui, UIText("b"))
    assert themed.color == (0xEE, 0xDD, 0xCC, 0xFF)
    themed.color = None
    ui.widget.removeChild(given)
    ui.widget.addChild(given, 0, 0)  # another label's attachment
    assert themed.color is None  # until its own next attachment
    ui.widget.removeChild(themed)
    ui.widget.addChild(themed, 0, 0)
    assert themed.color == (0xEE, 0xDD, 0xCC, 0xFF)


def test_a_theme_without_the_names_the_label_asks_for(tmp_path, scripted):
    theme = quorvelin.UITheme(write_theme(tmp_path, fonts={}, colors={}))
    ui = quorvelin.UIRenderer(Texture(32, 32), False, theme)
    with pytest.raises(KeyError, match="fontColor"):
        ui.widget.addChild(UIText("x"), 0, 0)
    quorvelin.AbstractSystem._setEngine(ui, scripted)
    ui.widget.removeAllChildren()
    ui.widget.addChild(UIText("x", (1, 2, 3)), 0, 0)
    with pytest.raises(KeyError, match="aileron"):
        ui.render()


# --- drawing -----------------------------------------------------------------------------------

def pixels_drawn(pixel, width=320, height=200):
    return {(x, y): pixel(x, y) for x in range(width) for y in range(height) if pixel(x, y)}


@pytest.fixture
def reference(pixels_of):
    """The pixels of a text drawn on its own: the font's picture of the lines, copied
    onto a clear target of the same size."""
    def make(font, lines, color):
        text = font.renderLines(lines, color)
        clear = Texture(text.width, text.height)
        clear.copyFrom(text)
        pixel = pixels_of(clear)
        return {(x, y): pixel(x, y) for x in range(text.width) for y in range(text.height)
                if pixel(x, y)}
    return make


def test_the_lines_are_drawn_at_the_labels_corner(ui, font, pixels_of, reference):
    label = attached(ui, UIText("Hello\n\nthere", (10, 200, 30)), 40, 25)
    ui.render()
    expected = {(40 + x, 25 + y): value
                for (x, y), value in reference(font, ["Hello", "", "there"], (10, 200, 30)).items()}
    assert expected and pixels_drawn(pixels_of(ui.getTarget())) == expected
    assert (label._x, label._y) == (40, 25)


def test_a_clip_cuts_the_text_without_moving_it(ui, font, pixels_of, reference):
    label = attached(ui, UIText("Hello there", (255, 255, 255)), 10, 10)
    ui.render()
    target = ui.getTarget()
    target.fill((0, 0, 0, 0))
    label.render(0, 0, 10 + 20, 200)
    whole = reference(font, ["Hello there"], (255, 255, 255))
    expected = {(10 + x, 10 + y): v for (x, y), v in whole.items() if x < 20}
    assert pixels_drawn(pixels_of(target)) == expected


def test_a_label_wider_than_its_text_starts_at_its_left_edge(ui, font, pixels_of, reference):
    container = fixed(UIListContainer(), 200, 40)
    ui.widget.addChild(container, 5, 5)
    label = fixed(UIText("ab", (255, 255, 255)), 150, 30)
    container.addChild(label)
    ui.render()
    expected = {(5 + x, 5 + y): v for (x, y), v in reference(font, ["ab"], (255, 255, 255)).items()}
    assert pixels_drawn(pixels_of(ui.getTarget())) == expected


@pytest.mark.parametrize("text", ["", "\n\n"])
def test_lines_that_are_all_empty_draw_nothing(ui, pixels_of, text):
    label = attached(ui, fixed(UIText(text), 50, 30))
    ui.render()
    label.render()
    assert pixels_drawn(pixels_of(ui.getTarget())) == {}


def test_what_changes_the_picture_shows_in_the_next_frame(ui, theme, font, pixels_of, reference):
    """The label draws its text anew in every frame: a new text, a colour changed in
    place and a font opened again all show at once."""
    color = [200, 0, 0]
    label = attached(ui, UIText("abc", color), 0, 0)

    def frame():
        ui.getTarget().fill((0, 0, 0, 0))
        ui.render()
        return pixels_drawn(pixels_of(ui.getTarget()))

    assert frame() == reference(font, ["abc"], (200, 0, 0))
    color[1] = 150
    assert frame() == reference(font, ["abc"], (200, 150, 0))
    label.setText("xyz")
    assert frame() == reference(font, ["xyz"], (200, 150, 0))
    assert label.width == font.getRenderedTextSize("xyz")[0]
    theme.getFont("aileron").__init__(FONT_PATH, 20)
    assert frame() == reference(Font(FONT_PATH, 20), ["xyz"], (200, 150, 0))
    assert label.width == Font(FONT_PATH, 20).getRenderedTextSize("xyz")[0]  # measured anew


def test_a_colour_the_font_cannot_use_fails_when_drawn(ui):
    attached(ui, UIText("abc", (1, 2)))
    with pytest.raises(TypeError):
        ui.render()


def test_render_of_a_label_in_no_renderer():
    label = fixed(UIText("x"), 10, 10)
    with pytest.raises(quorvelin.EngineException):
        label.render()
    label.isVisible = False
    assert label.render() is None
    assert UIText("").render() is None  # an empty rectangle draws nothing, attached or not


def test_documentation_and_pickling():
    assert UIText.__doc__.strip() == "A UIText can be used to display text."
    assert UIText.__init__.__doc__ == "\n        @param(text, str)\n        "
    assert UIText.render.__doc__.strip() == "Renders the text."
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        UIText("x").__reduce__()
