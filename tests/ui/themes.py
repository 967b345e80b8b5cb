"""Theme files the UI tests write for themselves: a tileset PNG whose nine panel
pieces have distinct colours, so that one pixel of a drawn target tells which piece
was drawn there, and the JSON theme that names it.

The widgets' skins (button, slider) are further pieces of the same tileset, each
pixel of which tells its piece and its place in it: 0xFF, the piece's number, its
column and its row (`identify`)."""
import json

from media.files import FONT_PATH, write_png

# The panel grid: column widths and row heights of unequal sizes, so that a piece
# taken from the wrong column or row shows.
LEFT, MIDDLE, RIGHT = 3, 4, 5
TOP, CENTRE, BOTTOM = 2, 4, 3
GRID_X, GRID_Y = 2, 1  # where the grid starts in the tileset
TILESET_SIZE = (48, 26)
BORDER = 0xFF404040  # tileset pixels around the grid

# Opaque and distinct, row by row: top-left, top, top-right, left, centre, right,
# bottom-left, bottom, bottom-right.
PIECES = [0xFFC00000, 0xFF00C000, 0xFF0000C0, 0xFFC0C000, 0xFFC000C0, 0xFF00C0C0,
          0xFF800000, 0xFF008000, 0xFF000080]
TOP_LEFT, TOP_EDGE, TOP_RIGHT, LEFT_EDGE, CENTRE_PIECE, RIGHT_EDGE, BOTTOM_LEFT, BOTTOM_EDGE, \
    BOTTOM_RIGHT = PIECES

PANEL_SKIN = {"x": GRID_X, "y": GRID_Y, "leftWidth": LEFT, "middleWidth": MIDDLE,
              "rightWidth": RIGHT, "topHeight": TOP, "middleHeight": CENTRE,
              "bottomHeight": BOTTOM}
BACKGROUND = 0xFF102030
COLORS = {"background": "FF102030", "fontColor": "FFEEDDCC"}
FONTS = {"aileron": {"file": FONT_PATH, "size": 12}}


# The widgets' pieces: name -> (x, y, width, height) in the tileset. Lengths of caps
# and middle pieces differ, so that a piece taken from the wrong place shows.
WIDGET_PIECES = {
    "button left": (0, 12, 3, 6), "button middle": (3, 12, 4, 6), "button right": (7, 12, 2, 6),
    "hover left": (10, 12, 3, 6), "hover middle": (13, 12, 4, 6), "hover right": (17, 12, 2, 6),
    "track left": (0, 20, 2, 5), "track middle": (2, 20, 5, 5), "track right": (7, 20, 3, 5),
    "track top": (42, 0, 5, 2), "track vmiddle": (42, 2, 5, 5), "track bottom": (42, 7, 5, 3),
    "left arrow": (20, 0, 4, 5), "left arrow hover": (24, 0, 4, 5),
    "right arrow": (28, 0, 4, 5), "right arrow hover": (32, 0, 4, 5),
    "top arrow": (20, 6, 5, 4), "top arrow hover": (25, 6, 5, 4),
    "bottom arrow": (30, 6, 5, 4), "bottom arrow hover": (35, 6, 5, 4),
    "thumb": (20, 12, 6, 5), "vthumb": (28, 12, 5, 6),
}
PIECE_NUMBERS = {name: 0x20 + number for number, name in enumerate(WIDGET_PIECES)}


def piece_pixel(name, column, row):
    return 0xFF000000 | PIECE_NUMBERS[name] << 16 | column << 8 | row


def identify(pixel):
    """(piece name, column, row) of a pixel copied from a widget piece, else None."""
    names = {number: name for name, number in PIECE_NUMBERS.items()}
    name = names.get((pixel >> 16) & 0xFF) if pixel >> 24 == 0xFF else None
    return (name, (pixel >> 8) & 0xFF, pixel & 0xFF) if name else None


def rect(name):
    x, y, w, h = WIDGET_PIECES[name]
    return {"x": x, "y": y, "width": w, "height": h}


def button_state(prefix):
    x, y, left, height = WIDGET_PIECES[prefix + " left"]
    return {"x": x, "y": y, "left": left, "middle": WIDGET_PIECES[prefix + " middle"][2],
            "right": WIDGET_PIECES[prefix + " right"][2], "height": height}


BUTTON_SKIN = {"normal": button_state("button"), "hover": button_state("hover")}
SLIDER_SKIN = {
    "horizontalBackground": {"x": 0, "y": 20, "left": 2, "middle": 5, "right": 3, "height": 5},
    "verticalBackground": {"x": 42, "y": 0, "width": 5, "top": 2, "middle": 5, "bottom": 3},
    "leftButton": {"normal": rect("left arrow"), "hover": rect("left arrow hover")},
    "rightButton": {"normal": rect("right arrow"), "hover": rect("right arrow hover")},
    "topButton": {"normal": rect("top arrow"), "hover": rect("top arrow hover")},
    "bottomButton": {"normal": rect("bottom arrow"), "hover": rect("bottom arrow hover")},
    "horizontalButton": {"normal": rect("thumb")},
    "verticalButton": {"normal": rect("vthumb")},
}
SCROLL_PANEL_SKIN = {"clipPadding": {"top": 2, "right": 3, "bottom": 4, "left": 5},
                     "sliderMargin": {"top": 1, "right": 2, "bottom": 3, "left": 99}}


def widget_skins():
    return {"panel": dict(PANEL_SKIN), "button": BUTTON_SKIN, "slider": SLIDER_SKIN,
            "scrollPanel": SCROLL_PANEL_SKIN}


def tile_pixel(x, y):
    for name, (px, py, pw, ph) in WIDGET_PIECES.items():
        if px <= x < px + pw and py <= y < py + ph:
            return piece_pixel(name, x - px, y - py)
    columns = [GRID_X, GRID_X + LEFT, GRID_X + LEFT + MIDDLE, GRID_X + LEFT + MIDDLE + RIGHT]
    rows = [GRID_Y, GRID_Y + TOP, GRID_Y + TOP + CENTRE, GRID_Y + TOP + CENTRE + BOTTOM]
    if not (columns[0] <= x < columns[3] and rows[0] <= y < rows[3]):
        return BORDER
    column = sum(x >= edge for edge in columns[1:3])
    row = sum(y >= edge for edge in rows[1:3])
    return PIECES[row * 3 + column]


def write_tileset(path):
    width, height = TILESET_SIZE
    return write_png(path, width, height, [tile_pixel(x, y) for y in range(height) for x in range(width)])


OMIT = object()


def write_theme(folder, name="theme.json", tileset="tiles.png", **members):
    """A theme file in `folder` with its tileset beside it; `members` replace or add
    top-level members (OMIT leaves one out)."""
    write_tileset(folder / "tiles.png")
    content = {"widgets": widget_skins(), "tileset": tileset, "fonts": FONTS,
               "colors": COLORS}
    content.update(members)
    content = {key: value for key, value in content.items() if value is not OMIT}
    path = folder / name
    path.write_text(json.dumps(content, ensure_ascii=False), encoding="utf-8")
    return str(path)
