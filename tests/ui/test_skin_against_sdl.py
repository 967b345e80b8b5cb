"""Skins are drawn pixel for pixel where SDL's own blits (SDL_UpperBlit for copies,
SDL_UpperBlitScaled for stretched pieces, in the skin's order) put them: a panel's
nine-slice, a button's strip and a slider's track along either axis, with random
skins, sizes and clip values, against SDL called on the same pixels. Opaque tilesets
are copied exactly; translucent ones are blended within SDL's own rounding."""
import json
import random

import pytest

import quorvelin
from media.files import channels, read_pixels, write_png

from .sdlreference import BLEND, BLEND_NONE, Canvas, draw_pieces, nine_slice, strip

TARGET = 64
BACKGROUND = 0x80203040


def clip_rule(rect, clip):
    x, y, w, h = rect
    if clip is None or min(clip) < 0:
        return rect
    cx, cy, cw, ch = clip
    x1, y1 = max(x, cx), max(y, cy)
    return x1, y1, min(x + w, cx + cw) - x1, min(y + h, cy + ch) - y1


def random_case(rng):
    width, height = rng.randint(4, 20), rng.randint(4, 16)
    alphas = [0, 255, 255, rng.randrange(256)]
    tiles = [rng.choice(alphas) << 24 | rng.randrange(1 << 24) for _ in range(width * height)]
    names = ["leftWidth", "middleWidth", "rightWidth", "topHeight", "middleHeight", "bottomHeight"]
    skin = {"x": rng.randint(-2, width - 2), "y": rng.randint(-2, height - 2)}
    skin.update({name: rng.randint(0, 7) for name in names})
    rect = (rng.randint(-8, 50), rng.randint(-8, 50), rng.randint(0, 60), rng.randint(0, 60))
    clip = None if rng.random() < 0.4 else \
        (rng.randint(-3, 60), rng.randint(-3, 60), rng.randint(0, 60), rng.randint(0, 60))
    return (width, height, tiles), skin, rect, clip


NOTHING = {"x": 0, "y": 0, "width": 0, "height": 0}


def strip_skins(strip_skin):
    """The theme's button and slider skins for one strip (x, y, first, middle, last,
    thickness); the slider's arrows and thumbs draw nothing."""
    x, y, first, middle, last, thick = strip_skin
    arrows = {"normal": NOTHING, "hover": NOTHING}
    return {
        "button": {"normal": dict(x=x, y=y, left=first, middle=middle, right=last, height=thick)},
        "slider": {"horizontalBackground": dict(x=x, y=y, left=first, middle=middle, right=last,
                                                height=thick),
                   "verticalBackground": dict(x=x, y=y, width=thick, top=first, middle=middle,
                                              bottom=last),
                   "leftButton": arrows, "rightButton": arrows, "topButton": arrows,
                   "bottomButton": arrows, "horizontalButton": {"normal": NOTHING},
                   "verticalButton": {"normal": NOTHING}}}


def widget_of(kind):
    if kind == "panel":
        return quorvelin.UIPanel()
    if kind == "button":
        return quorvelin.UIButton("")
    orientation = quorvelin.SLIDER_ORIENTATION_VERTICAL if kind == "vertical track" else 0
    return quorvelin.UISlider(0, orientation=orientation)


def engine_drawing(folder, tileset, skin, rect, clip, opaque, kind="panel"):
    width, height, tiles = tileset
    write_png(folder / "tiles.png", width, height, tiles, alpha=not opaque)
    widgets = {"panel": skin} if kind == "panel" else strip_skins(skin)
    (folder / "theme.json").write_text(json.dumps(
        {"widgets": widgets, "tileset": "tiles.png", "fonts": {},
         "colors": {"fontColor": "FFFFFFFF"}}))
    target = quorvelin.Texture(TARGET, TARGET)
    target.fill(((BACKGROUND >> 16) & 255, (BACKGROUND >> 8) & 255, BACKGROUND & 255, BACKGROUND >> 24))
    ui = quorvelin.UIRenderer(target, False, quorvelin.UITheme(str(folder / "theme.json")))
    widget = widget_of(kind)
    ui.widget.addChild(widget, 0, 0)
    widget._x, widget._y, widget.width, widget.height = rect
    widget.render(*(clip or ()))
    return read_pixels(target, folder)


def sdl_drawing(tileset, skin, rect, clip, opaque, kind="panel"):
    width, height, tiles = tileset
    if opaque:  # the PNG has no alpha channel: the tileset is opaque and does not blend
        tiles = [0xFF000000 | pixel for pixel in tiles]
    area = clip_rule(rect, clip)
    with Canvas(TARGET, TARGET, [BACKGROUND] * TARGET * TARGET) as target, \
            Canvas(width, height, tiles) as source:
        if area[2] >= 1 and area[3] >= 1:
            target.clip(*area)
            if kind == "panel":
                pieces = nine_slice(skin, rect)
            elif kind == "vertical track":
                pieces = strip(skin, True, (rect[0], rect[1], rect[3]))
            else:
                pieces = strip(skin, False, rect[:3])
            draw_pieces(target, source, BLEND_NONE if opaque else BLEND, pieces)
        return target.pixels()


@pytest.mark.parametrize("opaque", [True, False], ids=["opaque tileset", "translucent tileset"])
@pytest.mark.parametrize("seed", range(8))
def test_skins_land_where_sdl_puts_them(tmp_path, seed, opaque):
    rng = random.Random(seed)
    for case in range(12):
        tileset, skin, rect, clip = random_case(rng)
        ours = engine_drawing(tmp_path, tileset, skin, rect, clip, opaque)
        theirs = sdl_drawing(tileset, skin, rect, clip, opaque)
        for index, (got, want) in enumerate(zip(ours, theirs)):
            close = all(abs(g - w) <= 3 for g, w in zip(channels(got), channels(want)))
            assert got == want or (not opaque and close), \
                f"case {case} {skin} {rect} {clip}: pixel {index % TARGET, index // TARGET} " \
                f"{got:#010x} != {want:#010x}"


def random_strip_case(rng):
    (width, height, tiles), _, rect, clip = random_case(rng)
    skin = (rng.randint(-2, width - 2), rng.randint(-2, height - 2), rng.randint(0, 7),
            rng.randint(1, 7), rng.randint(0, 7), rng.randint(0, 7))
    return (width, height, tiles), skin, rect, clip


@pytest.mark.parametrize("kind", ["button", "horizontal track", "vertical track"])
@pytest.mark.parametrize("opaque", [True, False], ids=["opaque tileset", "translucent tileset"])
@pytest.mark.parametrize("seed", range(4))
def test_strips_land_where_sdl_puts_them(tmp_path, seed, opaque, kind):
    rng = random.Random(seed)
    for case in range(12):
        tileset, skin, rect, clip = random_strip_case(rng)
        ours = engine_drawing(tmp_path, tileset, skin, rect, clip, opaque, kind)
        theirs = sdl_drawing(tileset, skin, rect, clip, opaque, kind)
        for index, (got, want) in enumerate(zip(ours, theirs)):
            close = all(abs(g - w) <= 3 for g, w in zip(channels(got), channels(want)))
            assert got == want or (not opaque and close), \
                f"case {case} {skin} {rect} {clip}: pixel {index % TARGET, index // TARGET} " \
                f"{got:#010x} != {want:#010x}"
