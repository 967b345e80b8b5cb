import copy
import ctypes
import gc
import pickle
import random
import sys
from ctypes import POINTER, Structure, c_int, c_uint32, c_void_p

import pytest
from PIL import Image

import quorvelin
from quorvelin import Resource, Texture

from .files import PALETTE_PNG_PIXELS, channels, outcomes_in_child, palette_png, read_pixels, write_png

COLOR_MESSAGE = "color must be a tuple of 3 (rgb) or 4 (rgba) integers between 0 and 255"

OPAQUE_PIXELS = [0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF000000]


@pytest.fixture
def rgba_png(tmp_path):
    """3 x 2 with an alpha channel: opaque, half, transparent in each row."""
    pixels = [0xFF112233, 0x80FF0000, 0x00000000, 0xFF445566, 0x800000FF, 0x00ABCDEF]
    return write_png(tmp_path / "rgba.png", 3, 2, pixels), pixels


@pytest.fixture
def rgb_png(tmp_path):
    return write_png(tmp_path / "rgb.png", 3, 2, OPAQUE_PIXELS, alpha=False)


def filled(width, height, color):
    texture = Texture(width, height)
    texture.fill(color)
    return texture


# --- Resource ---------------------------------------------------------------------------


def test_resource_keeps_the_file_name_as_given():
    name = object()
    resource = Resource(name)
    assert resource.filename is name and resource._filename is name
    resource._filename = 5
    assert resource.filename == 5
    del resource._filename
    assert resource.filename is None
    assert Resource(filename="a").filename == "a"
    assert Resource.__new__(Resource).filename is None
    with pytest.raises(AttributeError):
        resource.filename = "b"


@pytest.mark.parametrize("args, kwargs, message", [
    ((), {}, "__init__() takes exactly 1 positional argument (0 given)"),
    (("a", "b"), {}, "__init__() takes exactly 1 positional argument (2 given)"),
    (("a",), {"name": "b"}, "__init__() got an unexpected keyword argument 'name'"),
])
def test_resource_arguments(args, kwargs, message):
    with pytest.raises(TypeError) as error:
        Resource(*args, **kwargs)
    assert str(error.value) == message


def test_texture_is_a_resource_with_its_documentation():
    assert Texture.__mro__ == (Texture, Resource, object)
    assert Texture.__module__ == "quorvelin" and Texture.__name__ == "Texture"
    assert Texture.__init__.__doc__ == ("\n        @param(w, int)\n        @param(h, int)\n"
                                        "        ??? documentation syntax\n"
                                        "        alternative signature: __init__(filename)\n        ")
    assert "Fills the whole texture with a color." in Texture.fill.__doc__


# --- construction -----------------------------------------------------------------------


def test_blank_texture_is_transparent_black(pixels_of):
    texture = Texture(4, 3)
    assert texture.getSize() == (4, 3) and (texture.width, texture.height) == (4, 3)
    assert texture.filename == ""
    assert pixels_of(texture) == [0] * 12
    assert Texture(w=2, h=1).getSize() == (2, 1)


def test_empty_texture_takes_fill_and_checker():
    texture = Texture(0, 0)
    assert texture.getSize() == (0, 0)
    texture.fill((1, 2, 3))
    texture.fillChecker()
    texture.copyFrom(filled(2, 2, (9, 9, 9)))
    Texture(2, 2).copyFrom(texture)
    assert texture.getSize() == (0, 0)


@pytest.mark.parametrize("args", [(True, 2), (2.0, 2), (5,), (2, True), (2, 2.0), (b"file.png",), (None,)])
def test_anything_but_two_exact_ints_is_a_file_name(args):
    with pytest.raises(AttributeError):
        Texture(*args)


@pytest.mark.parametrize("size", [(-1, 5), (5, -1), (1 << 30, 1 << 30)])
def test_a_surface_that_cannot_be_made_is_refused(size):
    with pytest.raises(quorvelin.EngineSdlException) as error:
        Texture(*size)
    assert error.value.msg == "Unable to create texture surface."


def test_size_beyond_int32_overflows():
    with pytest.raises(OverflowError):
        Texture(1 << 31, 1)


def test_loaded_image_keeps_its_pixels_and_name(rgba_png, pixels_of):
    path, pixels = rgba_png
    texture = Texture(path)
    assert texture.filename == path and texture.getSize() == (3, 2)
    assert pixels_of(texture) == pixels


def test_image_without_alpha_loads_opaque_and_copies(rgb_png, pixels_of):
    texture = Texture(rgb_png)
    assert pixels_of(texture) == OPAQUE_PIXELS
    # A non-blending source replaces the target's pixels, alpha included.
    target = filled(3, 2, (0, 0, 0, 0))
    target.copyFrom(texture)
    assert pixels_of(target) == OPAQUE_PIXELS


def test_image_with_alpha_blends_when_drawn(rgba_png, pixels_of):
    path, _ = rgba_png
    target = filled(3, 2, (0, 0, 0, 255))
    target.copyFrom(Texture(path))
    result = pixels_of(target)
    assert result[0] == 0xFF112233 and result[2] == 0xFF000000  # opaque and transparent: exact
    assert all(abs(c - e) <= 3 for c, e in zip(channels(result[1]), (255, 128, 0, 0)))


@pytest.mark.parametrize("name, message", [
    ("missing.png", "Unable to load image file 'missing.png'"),
    ("gfx/wall.png", "Unable to load image file 'gfx/wall.png'"),
])
def test_unreadable_image_raises_oserror(name, message):
    with pytest.raises(OSError) as error:
        Texture(name)
    assert error.value.args == (message,)


def test_a_file_that_is_no_image_raises_oserror(tmp_path):
    path = tmp_path / "text.png"
    path.write_text("not an image")
    with pytest.raises(IOError, match="Unable to load image file"):
        Texture(str(path))


def test_every_kind_of_chunk_loads_and_bytes_after_iend_are_ignored(tmp_path, pixels_of):
    data, _ = palette_png()
    for name, content in (("whole.png", data), ("trailing.png", data + b"\0garbage after IEND")):
        path = tmp_path / name
        path.write_bytes(content)
        assert pixels_of(Texture(str(path))) == PALETTE_PNG_PIXELS


def test_a_magicless_format_is_told_by_its_extension(tmp_path, pixels_of):
    path = tmp_path / "pixels.tga"
    Image.new("RGBA", (2, 1), (10, 20, 30, 255)).save(path)
    assert pixels_of(Texture(str(path))) == [0xFF0A141E] * 2


def png_cuts():
    """Where a partly written PNG can end: {case: the length it is cut to}."""
    _, spans = palette_png()
    cuts = {f"inside {kind}": (start + end) // 2 for kind, (start, end) in spans.items() if kind != "IEND"}
    iend = spans["IEND"][0]
    cuts.update({"inside the signature": 6, "before IEND": iend, "inside IEND's length": iend + 2,
                 "before IEND's CRC": iend + 8, "inside IEND's CRC": iend + 10})
    return cuts


PNG_CUTS = png_cuts()


@pytest.mark.parametrize("cut", PNG_CUTS)
def test_a_png_cut_short_is_refused_at_once(child, tmp_path, cut):
    # The decoder would read on past the end and spin; the child's timeout is the hang.
    path = tmp_path / "cut.png"
    path.write_bytes(palette_png()[0][:PNG_CUTS[cut]])
    result = child(f"""
        from quorvelin import Texture
        try:
            Texture({str(path)!r})
        except OSError as error:
            print(error.args)
    """, timeout=30)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout.strip() == repr((f"Unable to load image file '{path}'",))
    assert "libpng" not in result.stderr


def test_file_name_with_nul_is_refused_not_cut_short(rgb_png):
    # Without the check SDL would open the file before the NUL.
    with pytest.raises(ValueError, match="embedded null character"):
        Texture(rgb_png + "\0.ignored")


def test_copy_form_copies_opaque_pixels_exactly(rgb_png, pixels_of):
    source = Texture(rgb_png)
    refs = sys.getrefcount(source)
    duplicate = Texture(source)
    assert sys.getrefcount(source) == refs
    assert duplicate.filename == "" and duplicate.getSize() == (3, 2)
    assert pixels_of(duplicate) == OPAQUE_PIXELS


def test_copy_form_of_a_blending_texture_blends_onto_black(pixels_of):
    source = Texture(2, 1)
    source.fill((200, 100, 50, 0x80))
    duplicate = Texture(source)
    a, r, g, b = channels(pixels_of(duplicate)[0])
    assert a == 0x80
    assert all(abs(got - want) <= 3 for got, want in zip((r, g, b), (100, 50, 25)))
    assert pixels_of(Texture(Texture(2, 1))) == [0, 0]


def test_copy_form_goes_through_copyFrom_by_lookup():
    calls = []

    class Logged(Texture):
        def copyFrom(self, other):
            calls.append(other)
            Texture.copyFrom(self, other)

    source = filled(2, 2, (1, 2, 3))
    copied = Logged(source)
    assert calls == [source] and copied.getSize() == (2, 2)
    # Only an exact Texture takes the copy form; a subclass instance is a file name.
    with pytest.raises(AttributeError):
        Texture(copied)


def test_reinitialising_replaces_the_surface(pixels_of):
    texture = filled(2, 2, (1, 2, 3))
    texture.__init__(3, 1)
    assert texture.getSize() == (3, 1) and pixels_of(texture) == [0, 0, 0]
    texture.__init__(filled(1, 1, (4, 5, 6)))
    assert pixels_of(texture) == [0xFF040506]


# A Texture re-initialised by Python code that a method runs (converting its
# argument) is used afresh: the method works on the new surface, or finds none.
REINITIALISED_DURING_A_CALL = {
    "fill": ("t.fill(ReinitColor((1, 2, 3), 3)); t.saveFile(path)", [0xFF010203] * 6),
    "saveFile": ("t.saveFile(ReinitName(path, 3))", [0] * 6),
    "fill, failing": ("t.fill(ReinitColor((1, 2, 3), -1))", None),
    "saveFile, failing": ("t.saveFile(ReinitName(path, -1))", None),
}


@pytest.mark.parametrize("case", REINITIALISED_DURING_A_CALL)
def test_a_texture_reinitialised_during_a_call_is_read_afresh(child, tmp_path, case):
    call, expected = REINITIALISED_DURING_A_CALL[case]
    path = tmp_path / "after.png"
    result = child(f"""
        import quorvelin
        from quorvelin import Texture
        t = Texture(1, 1)
        t.fill((9, 9, 9))
        path = {str(path)!r}

        def reinit(width):
            try:
                t.__init__(width, 2)
            except quorvelin.EngineSdlException:
                pass  # a width of -1 leaves the texture without a surface

        class ReinitColor(tuple):
            def __new__(cls, value, width):
                made = tuple.__new__(cls, value)
                made.width = width
                return made

            def __len__(self):
                reinit(self.width)
                return tuple.__len__(self)

        class ReinitName(str):
            def __new__(cls, value, width):
                made = str.__new__(cls, value)
                made.width = width
                return made

            def encode(self, *args):
                reinit(self.width)
                return str.encode(self, *args)

        try:
            {call}
        except quorvelin.EngineException as error:
            print(error.msg)
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    if expected is None:
        assert result.stdout.strip() == "Texture is not initialised."
        assert not path.exists()
        return
    with Image.open(path) as image:
        assert image.size == (3, 2)
        rgba = image.convert("RGBA").tobytes()
    assert [rgba[i + 3] << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]
            for i in range(0, len(rgba), 4)] == expected


# --- textures without a surface -----------------------------------------------------------

UNINITIALISED_USES = [
    "t.width", "t.height", "t.getSize()", "t.fill((1, 2, 3))", "t.fillChecker()",
    "t.copyFrom(Texture(1, 1))", "Texture(1, 1).copyFrom(t)", "t.saveFile(path)", "Texture(t)",
]


@pytest.mark.parametrize("make", ["Texture.__new__(Texture)", "failed(-1, 5)", "failed('missing.png')"])
def test_texture_without_surface_raises_on_every_use(child, tmp_path, make):
    outcomes = outcomes_in_child(child, f"""
        from quorvelin import Texture
        def failed(*args):
            t = Texture(1, 1)
            try:
                t.__init__(*args)
            except Exception:
                return t
        path = {str(tmp_path / "out.png")!r}
        t = {make}
    """, UNINITIALISED_USES + ["globals().pop('t') and None"])
    # The last use destroys the Texture without a surface.
    assert outcomes == [["EngineException", "Texture is not initialised."]] * len(UNINITIALISED_USES) + [None]


# --- fill and fillChecker ---------------------------------------------------------------


@pytest.mark.parametrize("color, pixel", [
    ((255, 0, 0), 0xFFFF0000),
    ((1, 2, 3, 4), 0x04010203),
    ([10, 20, 30], 0xFF0A141E),
    ((1.9, 2, 3), 0xFF010203),
    ((True, 0, 255, 0), 0x000100FF),
])
def test_fill_sets_every_pixel(color, pixel, pixels_of):
    texture = Texture(3, 2)
    texture.fill(color)
    assert pixels_of(texture) == [pixel] * 6


@pytest.mark.parametrize("color, error, message", [
    ((1, 2), TypeError, COLOR_MESSAGE),
    ((1, 2, 3, 4, 5), TypeError, COLOR_MESSAGE),
    (5, TypeError, "object of type 'int' has no len()"),
    ((-1, 0, 0), OverflowError, "can't convert negative value to uint32_t"),
    ((0, 0, 0, -1), OverflowError, "can't convert negative value to uint32_t"),
    ((256, 0, 0), OverflowError, "color components must be integers between 0 and 255"),
    ((0, 0, 0, 0x1FF), OverflowError, "color components must be integers between 0 and 255"),
    ((1 << 32, 0, 0), OverflowError, "value too large to convert to uint32_t"),
    (("a", 0, 0), TypeError, "an integer is required"),
])
def test_bad_fill_colors_raise_and_change_nothing(color, error, message, pixels_of):
    texture = filled(2, 1, (7, 8, 9))
    with pytest.raises(error) as raised:
        texture.fill(color)
    assert str(raised.value) == message
    assert pixels_of(texture) == [0xFF070809] * 2


def test_fill_stores_alpha_without_blending(pixels_of):
    texture = filled(2, 2, (255, 0, 0, 255))
    texture.fill((0, 0, 255, 0x80))
    assert pixels_of(texture) == [0x800000FF] * 4


def test_large_fill_reaches_every_pixel(tmp_path):
    # Big enough for the cache-bypassing path, with an odd width.
    texture = Texture(1283, 777)
    texture.fill((1, 2, 3, 4))
    path = tmp_path / "big.png"
    texture.saveFile(str(path))
    with Image.open(path) as image:
        assert image.getextrema() == ((1, 1), (2, 2), (3, 3), (4, 4))


CHECKER_DARK = 0xFF333333
CHECKER_LIGHT = 0xFFAAAAAA


@pytest.mark.parametrize("width, height, dark", [
    (4, 4, {(x, y) for x in range(4) for y in range(4) if (x < 2) == (y < 2)}),
    (5, 3, {(0, 0), (1, 0), (2, 1), (3, 1)}),
    (1, 1, set()),
])
def test_fill_checker(width, height, dark, pixels_of):
    texture = filled(width, height, (1, 2, 3, 4))
    texture.fillChecker()
    expected = [CHECKER_DARK if (x, y) in dark else CHECKER_LIGHT for y in range(height) for x in range(width)]
    assert pixels_of(texture) == expected


# --- copyFrom -----------------------------------------------------------------------------


def test_copy_from_a_larger_texture_fills_with_its_top_left(rgb_png, pixels_of):
    target = filled(2, 1, (0, 0, 0))
    target.copyFrom(Texture(rgb_png))
    assert pixels_of(target) == OPAQUE_PIXELS[:2]


def test_copy_from_a_smaller_texture_changes_only_its_area(pixels_of):
    target = filled(3, 2, (9, 9, 9))
    target.copyFrom(filled(2, 1, (1, 2, 3)))
    assert pixels_of(target) == [0xFF010203, 0xFF010203, 0xFF090909, 0xFF090909, 0xFF090909, 0xFF090909]


@pytest.mark.parametrize("source, target", [
    ((200, 100, 50, 128), (0, 0, 0, 0)),
    ((200, 100, 50, 128), (10, 20, 250, 255)),
    ((255, 255, 255, 1), (0, 0, 0, 255)),
    ((0, 128, 255, 254), (255, 0, 0, 100)),
    ((40, 80, 120, 77), (90, 60, 30, 200)),
])
def test_blending_follows_the_alpha_rule(source, target, pixels_of):
    # SDL's own blitter approximates this rule within 3 per channel; the engine's
    # must stay within that too. Width 7 covers the four-pixel path and its tail.
    texture = filled(7, 2, target)
    texture.copyFrom(filled(7, 2, source))
    alpha = source[3] / 255
    want = [round(s * alpha + d * (1 - alpha)) for s, d in zip(source[:3], target[:3])]
    want_alpha = round(source[3] + target[3] * (1 - alpha))
    for pixel in pixels_of(texture):
        a, r, g, b = channels(pixel)
        assert abs(a - want_alpha) <= 3 and all(abs(got - w) <= 3 for got, w in zip((r, g, b), want))


@pytest.mark.parametrize("alpha", [0, 255])
def test_transparent_and_opaque_sources_are_exact(alpha, pixels_of):
    texture = filled(5, 3, (10, 20, 30, 40))
    texture.copyFrom(filled(5, 3, (200, 100, 50, alpha)))
    assert pixels_of(texture) == [0x280A141E if alpha == 0 else 0xFFC86432] * 15


def test_copy_onto_itself(pixels_of):
    texture = filled(6, 2, (1, 2, 3))
    texture.copyFrom(texture)
    assert pixels_of(texture) == [0xFF010203] * 12


@pytest.mark.parametrize("other, type_name", [(None, "NoneType"), (5, "int"), (Resource(""), "quorvelin.Resource")])
def test_copy_from_needs_a_texture(other, type_name):
    with pytest.raises(TypeError) as error:
        Texture(1, 1).copyFrom(other)
    assert str(error.value) == (f"Argument 'other' has incorrect type (expected quorvelin.Texture, got {type_name})")


def test_copy_from_keeps_no_reference():
    source = Texture(2, 2)
    refs = sys.getrefcount(source)
    target = Texture(2, 2)
    for _ in range(10):
        target.copyFrom(source)
    assert sys.getrefcount(source) == refs


# --- copyFrom against SDL's blitter ---------------------------------------------------------

# The module links SDL dynamically: this is the library instance it uses.
_sdl = ctypes.CDLL("libSDL2-2.0.so.0")


class _Surface(Structure):
    _fields_ = [("flags", c_uint32), ("format", c_void_p), ("w", c_int), ("h", c_int),
                ("pitch", c_int), ("pixels", c_void_p)]  # the leading, stable part


_sdl.SDL_CreateRGBSurfaceWithFormat.argtypes = [c_uint32, c_int, c_int, c_int, c_uint32]
_sdl.SDL_CreateRGBSurfaceWithFormat.restype = POINTER(_Surface)
_sdl.SDL_SetSurfaceBlendMode.argtypes = [POINTER(_Surface), c_int]
_sdl.SDL_UpperBlit.argtypes = [POINTER(_Surface), c_void_p, POINTER(_Surface), c_void_p]
_sdl.SDL_FreeSurface.argtypes = [POINTER(_Surface)]

ARGB8888 = 0x16362004
BLENDMODE_NONE, BLENDMODE_BLEND = 0, 1


def _sdl_surface(width, height, pixels):
    surface = _sdl.SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, ARGB8888)
    assert surface
    rows = surface.contents
    for y in range(height):
        row = (c_uint32 * width)(*pixels[y * width:(y + 1) * width])
        ctypes.memmove(rows.pixels + y * rows.pitch, row, width * 4)
    return surface


def sdl_blit(source, target, blend):
    """SDL's own result of blitting `source` onto `target` at the top left; each is
    (width, height, 0xAARRGGBB words)."""
    src, dst = _sdl_surface(*source), _sdl_surface(*target)
    try:
        assert _sdl.SDL_SetSurfaceBlendMode(src, blend) == 0
        assert _sdl.SDL_UpperBlit(src, None, dst, None) == 0
        width, height, _ = target
        rows = dst.contents
        result = []
        for y in range(height):
            result += (c_uint32 * width).from_address(rows.pixels + y * rows.pitch)
        return result
    finally:
        _sdl.SDL_FreeSurface(src)
        _sdl.SDL_FreeSurface(dst)


def engine_blit(source, target, folder, alpha=True):
    """The engine's result of `target.copyFrom(source)`, each loaded from a PNG."""
    source_texture = Texture(write_png(folder / "source.png", *source, alpha=alpha))
    target_texture = Texture(write_png(folder / "target.png", *target))
    target_texture.copyFrom(source_texture)
    return read_pixels(target_texture, folder)


def random_pixels(rng, count, alphas=None):
    alphas = alphas if alphas is not None else [rng.randrange(256) for _ in range(count)]
    return [alpha << 24 | rng.randrange(1 << 24) for alpha in alphas]


def assert_close_to_sdl(result, expected, source_alphas):
    for index, (got, want) in enumerate(zip(result, expected, strict=True)):
        if source_alphas.get(index) in (0, 255):  # nothing to blend: SDL copies or skips
            assert got == want, f"pixel {index}: {got:#010x} != {want:#010x}"
        else:
            assert all(abs(g - w) <= 3 for g, w in zip(channels(got), channels(want))), \
                f"pixel {index}: {got:#010x} not within 3 of {want:#010x}"


def source_alphas_by_target_index(source, target):
    """Alpha of the source pixel over each target pixel the blit reaches."""
    (sw, sh, pixels), (tw, th, _) = source, target
    return {y * tw + x: pixels[y * sw + x] >> 24 for y in range(min(sh, th)) for x in range(min(sw, tw))}


@pytest.mark.parametrize("width, height", [(16, 16), (256, 1), (1, 256), (7, 37)])
def test_blending_matches_sdl_for_every_alpha(width, height, tmp_path):
    # The odd widths cover the engine's several-pixel path and its tail.
    rng = random.Random(width * 1000 + height)
    count = width * height
    source = (width, height, random_pixels(rng, count, [i % 256 for i in range(count)]))
    target = (width, height, random_pixels(rng, count))
    result = engine_blit(source, target, tmp_path)
    assert_close_to_sdl(result, sdl_blit(source, target, BLENDMODE_BLEND),
                        source_alphas_by_target_index(source, target))


@pytest.mark.parametrize("source_size, target_size", [
    ((20, 12), (20, 12)),
    ((64, 64), (32, 16)),
    ((16, 8), (64, 32)),
    ((1, 1), (5, 5)),
    ((33, 7), (17, 9)),
])
def test_blending_matches_sdl_for_every_size(source_size, target_size, tmp_path):
    rng = random.Random(5)
    source = (*source_size, random_pixels(rng, source_size[0] * source_size[1]))
    target = (*target_size, random_pixels(rng, target_size[0] * target_size[1]))
    result = engine_blit(source, target, tmp_path)
    reached = source_alphas_by_target_index(source, target)
    assert_close_to_sdl(result, sdl_blit(source, target, BLENDMODE_BLEND), reached)
    outside = [i for i in range(len(result)) if i not in reached]
    assert [result[i] for i in outside] == [target[2][i] for i in outside]


@pytest.mark.parametrize("alpha", [False, True], ids=["no alpha channel", "alpha 255"])
@pytest.mark.parametrize("source_size, target_size", [((33, 7), (17, 9)), ((8, 8), (8, 8))])
def test_opaque_source_matches_sdl_exactly(alpha, source_size, target_size, tmp_path):
    rng = random.Random(7)
    count = source_size[0] * source_size[1]
    source = (*source_size, random_pixels(rng, count, [255] * count))
    target = (*target_size, random_pixels(rng, target_size[0] * target_size[1]))
    blend = BLENDMODE_BLEND if alpha else BLENDMODE_NONE
    assert engine_blit(source, target, tmp_path, alpha=alpha) == sdl_blit(source, target, blend)


# --- saveFile and the rest ----------------------------------------------------------------


def test_save_file_round_trips_through_the_loader(rgba_png, tmp_path, pixels_of):
    path, pixels = rgba_png
    saved = tmp_path / "saved.png"
    assert Texture(path).saveFile(str(saved)) is None
    assert pixels_of(Texture(str(saved))) == pixels


def test_save_failure_raises_oserror(tmp_path):
    name = str(tmp_path / "no such folder" / "x.png")
    with pytest.raises(OSError) as error:
        Texture(1, 1).saveFile(name)
    assert error.value.args == (f"Unable to save image file '{name}'",)


@pytest.mark.parametrize("name, error", [(b"x.png", AttributeError), (5, AttributeError), ("x\0.png", ValueError)])
def test_save_file_name_checks(name, error):
    with pytest.raises(error):
        Texture(1, 1).saveFile(name)


@pytest.mark.parametrize("make", [lambda: Resource("x"), lambda: Texture(1, 1)])
def test_resources_refuse_pickling(make):
    for attempt in (pickle.dumps, copy.copy, copy.deepcopy, lambda o: o.__setstate__(None)):
        with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
            attempt(make())


def test_texture_in_a_cycle_is_collected():
    texture = Texture(8, 8)
    texture._filename = [texture]
    del texture
    assert gc.collect() >= 1
