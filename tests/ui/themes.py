"""Theme files the UI tests write for themselves: a tileset PNG whose nine panel
pieces have distinct colours, so that one pixel of a drawn target tells which piece
was drawn there, and the JSON theme that names it."""
import json

from media.files import FONT_PATH, write_png

# The panel grid: column widths and row heights of unequal sizes, so that a piece
# taken from the wrong column or row shows.
LEFT, MIDDLE, RIGHT = 3, 4, 5
TOP, CENTRE, BOTTOM = 2, 4, 3
GRID_X, GRID_Y = 2, 1  # where the grid starts in the tileset
TILESET_SIZE = (20, 12)
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


def tile_pixel(x, y):
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
    content = {"widgets": {"panel": dict(PANEL_SKIN)}, "tileset": tileset, "fonts": FONTS,
               "colors": COLORS}
    content.update(members)
    content = {key: value for key, value in content.items() if value is not OMIT}
    path = folder / name
    path.write_text(json.dumps(content, ensure_ascii=False), encoding="utf-8")
    return str(path)
