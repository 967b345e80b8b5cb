import ast
import pickle
import sys

import pytest

from quorvelin import Font, Resource, Texture

from .files import FONT_PATH, channels, outcomes_in_child

COLOR_MESSAGE = "color must be a tuple of 3 (rgb) or 4 (rgba) integers between 0 and 255"
WHITE = (255, 255, 255)


@pytest.fixture(scope="module")
def font():
    return Font(FONT_PATH, 16)


def alpha_rows(pixels, width, height):
    return [[pixels[y * width + x] >> 24 for x in range(width)] for y in range(height)]


def test_font_is_a_resource_with_its_size():
    font = Font(FONT_PATH, 16)
    assert Font.__mro__ == (Font, Resource, object)
    assert font.size == 16 and font.getFontSize() == 16 and font.filename == FONT_PATH
    assert Font(filename=FONT_PATH, size=7.9).size == 7
    assert Font.__init__.__doc__ == ("\n        @param(filename, str)\n        @param(size, int)\n"
                                     "        Loads a font from the given file with the given font size.\n        ")


def test_missing_font_raises_with_the_sdl_error():
    font = Font.__new__(Font)
    with pytest.raises(OSError) as error:
        font.__init__("fonts/x.ttf", 12)
    prefix = "Unable to load font file 'fonts/x.ttf': "
    message = error.value.args[0]
    assert message.startswith(prefix)
    sdl_error = ast.literal_eval(message[len(prefix):])  # SDL's text in its bytes form
    assert isinstance(sdl_error, bytes) and sdl_error
    assert font.filename == "fonts/x.ttf" and font.size == 12


@pytest.mark.parametrize("args, error", [
    ((b"font.ttf", 12), AttributeError),
    ((FONT_PATH + "\0x", 12), ValueError),
    ((FONT_PATH, "12"), TypeError),
    ((FONT_PATH, 1 << 40), OverflowError),
])
def test_font_argument_errors(args, error):
    with pytest.raises(error):
        Font(*args)


def test_render_matches_the_measured_size(font, pixels_of):
    texture = font.render("Hello, world", WHITE)
    assert type(texture) is Texture and texture.filename == ""
    assert texture.getSize() == font.getRenderedTextSize("Hello, world")
    assert sys.getrefcount(texture) == 2
    alphas = {pixel >> 24 for pixel in pixels_of(texture)}
    assert 0 in alphas and 255 in alphas


def test_render_keeps_the_renderers_pixels(font, pixels_of):
    # Blended text keeps its colour in every pixel and puts the coverage in alpha.
    pixels = pixels_of(font.render("Wavy text", (10, 200, 30)))
    assert {pixel & 0xFFFFFF for pixel in pixels} == {0x0AC81E}


def test_rendered_rows_are_packed(pixels_of):
    # A vertical bar is one straight column: rows read with the wrong pitch would
    # shear it sideways from row to row.
    font = Font(FONT_PATH, 40)
    texture = font.render("|", WHITE)
    width, height = texture.getSize()
    rows = [tuple(x for x, a in enumerate(row) if a == 255)
            for row in alpha_rows(pixels_of(texture), width, height)]
    solid = [row for row in rows if row]
    assert len(solid) > height // 2 and len(set(solid)) == 1


@pytest.mark.parametrize("size", [9, 13, 16, 31])
def test_render_and_render_lines_agree_on_coverage(size, pixels_of):
    # render hands over the renderer's surface; renderLines blends it onto
    # transparent black. The coverage (alpha) is the same either way.
    font = Font(FONT_PATH, size)
    text = "Quorvelin 0123"
    single = font.render(text, (200, 100, 50))
    stacked = font.renderLines([text], (200, 100, 50))
    assert single.getSize() == stacked.getSize()
    single_pixels, stacked_pixels = pixels_of(single), pixels_of(stacked)
    assert [p >> 24 for p in single_pixels] == [p >> 24 for p in stacked_pixels]
    for pixel in stacked_pixels:
        a, r, g, b = channels(pixel)
        assert all(abs(c - round(full * a / 255)) <= 1 for c, full in zip((r, g, b), (200, 100, 50)))


def test_render_of_empty_text_is_an_empty_line(font):
    texture = font.render("", WHITE)
    assert texture.getSize() == font.getRenderedTextSize("") == (0, texture.height)
    assert texture.height > 0


def test_render_utf8_text(font):
    assert font.render("héllo €", WHITE).getSize() == font.getRenderedTextSize("héllo €")
    assert font.getRenderedTextSize("héllo €")[0] > font.getRenderedTextSize("hello")[0]


@pytest.mark.parametrize("call, error, message", [
    (lambda f: f.render("a", (1, 2)), TypeError, COLOR_MESSAGE),
    (lambda f: f.renderLines(["a"], (1, 2, 3, 4, 5)), TypeError, COLOR_MESSAGE),
    (lambda f: f.render("a", (0, 0, 256)), OverflowError, "value too large to convert to uint8_t"),
    (lambda f: f.render("a", (-1, 0, 0)), OverflowError, "can't convert negative value to uint8_t"),
    (lambda f: f.renderLines(["a"], (0, 0, 0, 300)), OverflowError, "value too large to convert to uint8_t"),
    (lambda f: f.render("a", ("x", 0, 0)), TypeError, "an integer is required"),
    (lambda f: f.render(b"a", WHITE), AttributeError, None),
    (lambda f: f.getRenderedTextSize(5), AttributeError, None),
    (lambda f: f.renderLines(iter(["a"]), WHITE), TypeError, "object of type 'list_iterator' has no len()"),
    (lambda f: f.renderLines(["a", 5], WHITE), AttributeError, None),
    (lambda f: f.render("a"), TypeError, "render() takes exactly 2 positional arguments (1 given)"),
    (lambda f: f.getRenderedTextSize(text="a"), TypeError, None),
])
def test_render_argument_errors(font, call, error, message):
    with pytest.raises(error) as raised:
        call(font)
    if message:
        assert str(raised.value) == message


def test_render_colour_is_checked_before_the_lines(font):
    # The colour is converted completely before any line is looked at.
    with pytest.raises(OverflowError):
        font.renderLines(["a", 5], (0, 0, 999))


@pytest.mark.parametrize("lines, size", [([], (0, 0)), (["", ""], (0, 32)), (("",), (0, 16))])
def test_render_lines_of_nothing(font, lines, size):
    assert font.renderLines(lines, WHITE).getSize() == size


def test_render_lines_stack_at_the_left_edge(font, pixels_of):
    a, b = "Hi", "A longer line"
    (wa, ha), (wb, hb) = font.getRenderedTextSize(a), font.getRenderedTextSize(b)
    texture = font.renderLines([a, "", b], WHITE)
    assert texture.getSize() == (wb, ha + 16 + hb)
    rows = alpha_rows(pixels_of(texture), wb, ha + 16 + hb)
    assert all(alpha == 0 for row in rows[:ha] for alpha in row[wa:])  # right of A
    assert all(alpha == 0 for row in rows[ha:ha + 16] for alpha in row)  # the empty line
    alone = font.renderLines([b], WHITE)
    assert rows[ha + 16:] == alpha_rows(pixels_of(alone), wb, hb)
    assert font.renderLines((a, "", b), WHITE).getSize() == texture.getSize()


def test_render_lines_reads_its_lines_once(font):
    # A line that empties the list while it is compared must not make the drawing
    # pass run over entries that are no longer there.
    lines = []

    class Shrinking(str):
        def __eq__(self, other):
            lines.clear()
            return str.__eq__(self, other)

        __hash__ = str.__hash__

    lines.extend([Shrinking("Top"), "Bottom"])
    texture = font.renderLines(lines, WHITE)
    assert texture.height == font.getRenderedTextSize("Top")[1] + font.getRenderedTextSize("Bottom")[1]


def test_render_results_hold_no_extra_references(font):
    lines = ["a", "b"]
    refs = [sys.getrefcount(line) for line in lines]
    texture = font.renderLines(lines, WHITE)
    assert sys.getrefcount(texture) == 2
    assert [sys.getrefcount(line) for line in lines] == refs


def test_reopening_changes_the_size():
    font = Font(FONT_PATH, 10)
    small = font.getRenderedTextSize("Size")
    font.__init__(FONT_PATH, 30)
    assert font.size == 30 and font.getRenderedTextSize("Size")[1] > small[1]


FONT_USES = ["f.getRenderedTextSize('a')", "f.render('a', (1, 2, 3))", "f.renderLines(['a'], (1, 2, 3))"]


@pytest.mark.parametrize("make", ["Font.__new__(Font)", "failed()"])
def test_font_without_a_file_raises_on_use(child, make):
    outcomes = outcomes_in_child(child, f"""
        from quorvelin import Font
        def failed():
            f = Font({FONT_PATH!r}, 12)
            try:
                f.__init__("missing.ttf", 12)
            except OSError:
                return f
        f = {make}
    """, FONT_USES + ["globals().pop('f') and None"])
    assert outcomes == [["EngineException", "Font is not initialised."]] * len(FONT_USES) + [None]


def test_font_refuses_pickling(font):
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(font)

