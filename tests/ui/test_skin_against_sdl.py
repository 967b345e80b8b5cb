"""A panel's skin is drawn pixel for pixel where SDL's own blits (SDL_UpperBlit for the
corners, SDL_UpperBlitScaled for the rest, in the skin's order) put it: random skins,
sizes and clip values, against SDL called on the same pixels. Opaque tilesets are
copied exactly; translucent ones are blended within SDL's own rounding."""
import json
import random

import pytest

import quorvelin
from media.files import channels, read_pixels, write_png

from .sdlreference import BLEND, BLEND_NONE, Canvas, draw_pieces, nine_slice

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


def engine_drawing(folder, tileset, skin, rect, clip, opaque):
    width, height, tiles = tileset
    write_png(folder / "tiles.png", width, height, tiles, alpha=not opaque)
    (folder / "theme.json").write_text(json.dumps(
        {"widgets": {"panel": skin}, "tileset": "tiles.png", "fonts": {}, "colors": {}}))
    target = quorvelin.Texture(TARGET, TARGET)
    target.fill(((BACKGROUND >> 16) & 255, (BACKGROUND >> 8) & 255, BACKGROUND & 255, BACKGROUND >> 24))
    ui = quorvelin.UIRenderer(target, False, quorvelin.UITheme(str(folder / "theme.json")))
    panel = quorvelin.UIPanel()
    ui.widget.addChild(panel, 0, 0)
    panel._x, panel._y, panel.width, panel.height = rect
    panel.render(*(clip or ()))
    return read_pixels(target, folder)


def sdl_drawing(tileset, skin, rect, clip, opaque):
    width, height, tiles = tileset
    if opaque:  # the PNG has no alpha channel: the tileset is opaque and does not blend
        tiles = [0xFF000000 | pixel for pixel in tiles]
    area = clip_rule(rect, clip)
    with Canvas(TARGET, TARGET, [BACKGROUND] * TARGET * TARGET) as target, \
            Canvas(width, height, tiles) as source:
        if area[2] >= 1 and area[3] >= 1:
            target.clip(*area)
            draw_pieces(target, source, BLEND_NONE if opaque else BLEND, nine_slice(skin, rect))
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
