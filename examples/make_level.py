"""Writes the example level into examples/assets/level: the level file pair hall.lvl
and hall.lvl.json, its wall, floor and ceiling textures, a sky, two sprite sheets and
the picture of a torch's beam for the renderer's flashlight.

The pictures are computed pixel by pixel and written as PNG with the standard library
(zlib), so every run writes the same bytes. The level itself is written by the
engine: the script loads a header that names the assets, lays out the cells with
setBlock and setTextureIndex, adds the entities from their level-file form and saves
the pair with Level.saveFile.

    python examples/make_level.py [folder]
"""
import json
import math
import os
import struct
import sys
import zlib

if __name__ == "__main__":
    # Building a level needs neither a screen nor a sound device.
    os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402

FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "assets", "level")
NAME = "hall.lvl"
TILE = 64  # texture size in pixels

# Texture indices of the level, in the order of its "textures" list.
BRICKS, STONE, PLANKS, TILES, CEILING = range(5)
TEXTURES = ["bricks.png", "stone.png", "planks.png", "tiles.png", "ceiling.png"]

# The map, row by row (y grows to the south, x to the east):
#   #  brick wall       S  stone pillar      P  plank wall (the store room)
#   /  \  triangles: the corner blocks of the hall, named by the corner they fill
#   .  floor under a ceiling      ,  floor under the open sky (no ceiling texture)
MAP = [
    "################",
    "#../....,,,,,,.#",
    "#./.....,,,,,,.#",
    "#.......,,S,,,.#",
    "#..S....,,,,,,.#",
    "#.......,,,,,,.#",
    "#..............#",
    "#######..#######",
    "#PPP.........\\.#",
    "#P.P..........\\#",
    "#P.............#",
    "################",
]


# --- pictures ------------------------------------------------------------------------

def png(width, height, pixel):
    """A PNG of width x height RGBA pixels; pixel(x, y) gives (r, g, b, a)."""
    rows = b"".join(b"\x00" + bytes(channel for x in range(width) for channel in pixel(x, y))
                    for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def noise(x, y, seed):
    """A repeatable grain from -1 to 1."""
    value = math.sin(x * 12.9898 + y * 78.233 + seed * 37.719) * 43758.5453
    return (value - math.floor(value)) * 2 - 1


def shade(colour, amount):
    return tuple(max(0, min(255, round(c * amount))) for c in colour) + (255,)


def bricks(x, y):
    row = y // 16
    offset = 16 if row % 2 else 0
    mortar = y % 16 in (0, 15) or (x + offset) % 32 in (0, 31)
    if mortar:
        return shade((170, 165, 150), 1 + 0.05 * noise(x, y, 1))
    return shade((150, 62, 40), 1 + 0.12 * noise(x // 2, y // 2, 2) + 0.05 * (row % 3))


def stone(x, y):
    edge = min(x, y, TILE - 1 - x, TILE - 1 - y) < 2
    return shade((120, 122, 128), (0.7 if edge else 1) + 0.15 * noise(x // 3, y // 3, 3))


def planks(x, y):
    board = x // 16
    seam = x % 16 == 0 or (y + board * 23) % TILE == 0
    grain = 0.08 * math.sin(y * 0.45 + board * 2.1 + 3 * noise(board, y // 8, 4))
    return shade((133, 94, 52), (0.55 if seam else 1) + grain)


def tiles(x, y):
    dark = (x // 32 + y // 32) % 2
    joint = x % 32 in (0, 31) or y % 32 in (0, 31)
    base = (95, 90, 80) if dark else (165, 158, 140)
    return shade(base, (0.6 if joint else 1) + 0.06 * noise(x, y, 5))


def ceiling(x, y):
    beam = y % 32 < 5
    return shade((70, 58, 45) if beam else (110, 104, 96), 1 + 0.08 * noise(x // 2, y, 6))


def sky(width, height):
    def pixel(x, y):
        share = y / (height - 1)
        colour = tuple(round(a + (b - a) * share) for a, b in zip((16, 24, 70), (120, 90, 130)))
        star = y < height // 2 and noise(x, y, 7) > 0.985
        return (230, 230, 255, 255) if star else colour + (255,)
    return pixel


def guard(x, y):
    """A sheet of 4 x 2 frames of 32 x 32: frames 0-3 walk (the legs swing), frames
    4-5 stand (the arm rises); the rest of the sheet is empty."""
    frame = (y // 32) * 4 + x // 32
    fx, fy = x % 32, y % 32
    if frame > 5:
        return (0, 0, 0, 0)
    head = (fx - 16) ** 2 + (fy - 7) ** 2 <= 16
    body = 11 <= fx <= 20 and 11 <= fy <= 21
    swing = [-2, 0, 2, 0][frame % 4] if frame < 4 else 0
    legs = 22 <= fy <= 30 and (0 <= fx - 12 - swing <= 2 or 0 <= fx - 18 + swing <= 2)
    arm = frame == 5 and 21 <= fx <= 23 and 3 <= fy <= 12
    if head:
        return (230, 190, 150, 255)
    if body or arm:
        return (40, 70, 140, 255)
    if legs:
        return (35, 35, 40, 255)
    return (0, 0, 0, 0)


def lamp(x, y):
    """One frame: a glowing ball on a short post."""
    glow = math.hypot(x - 8, y - 6)
    if glow <= 4:
        return (255, 230, 140, 255)
    if glow <= 7:
        return (255, 200, 90, round(160 * (7 - glow) / 3))
    if 7 <= x <= 8 and y >= 10:
        return (60, 60, 60, 255)
    return (0, 0, 0, 0)


def flashlight(x, y):
    """The beam of a hand torch: the renderer lays it over the walls, its columns across
    the screen and its rows down each wall from the top; brightest in the middle."""
    across = abs(x - 31.5) / 32
    down = y / 63
    glow = max(0.0, 1 - across ** 2 * 2.2) * (0.55 + 0.45 * math.cos(down * math.pi / 2))
    return (round(255 * glow), round(235 * glow), round(190 * glow), 255)


def write_pictures(folder):
    pictures = {"bricks.png": (TILE, TILE, bricks), "stone.png": (TILE, TILE, stone),
                "planks.png": (TILE, TILE, planks), "tiles.png": (TILE, TILE, tiles),
                "ceiling.png": (TILE, TILE, ceiling), "sky.png": (256, 64, sky(256, 64)),
                "guard.png": (128, 64, guard), "lamp.png": (16, 16, lamp),
                "flashlight.png": (64, 64, flashlight)}
    for name, (width, height, pixel) in pictures.items():
        with open(os.path.join(folder, name), "wb") as file:
            file.write(png(width, height, pixel))


# --- the level -----------------------------------------------------------------------

HEADER = {
    "name": "Example hall",
    "textures": TEXTURES,
    "skytex": "sky.png",
    "fogColor": [20, 16, 30],
    "fogDensity": 6,
    "groundFogColor": [180, 180, 200],
    "groundFogDensity": 2,
    "sprites": [
        {"texture": "guard.png", "xFrames": 4, "yFrames": 2,
         "animations": {"walk": {"frames": 4, "speed": 0.5},
                        "idle": {"frames": 2, "startFrame": 4, "speed": 0.25,
                                 "oscillate": True}}},
        {"texture": "lamp.png"},  # one frame: the implicit animation
    ],
}

ENTITIES = [
    # Where the camera starts: a place, a view direction, a body that collides.
    {"id": 1, "position": {"x": 3.5, "y": 5.5}, "rotation": {"x": 1.0, "y": 0.0},
     "velocity": {"x": 0.0, "y": 0.0, "friction": 0.9},
     "collision": {"radius": 0.25, "hasFlags": ["player"]}},
    {"id": 2, "position": {"x": 11.5, "y": 2.5}, "rotation": {"x": -1.0, "y": 0.0},
     "sprite": {"sprite": 0, "currentAnimation": "walk"},
     "collision": {"radius": 0.3, "hasFlags": ["guard"]}},
    {"id": 3, "position": {"x": 5.5, "y": 9.5}, "rotation": {"x": 0.0, "y": -1.0},
     "sprite": {"sprite": 0, "currentAnimation": "idle", "animationPercentage": 0.5},
     "collision": {"radius": 0.3, "hasFlags": ["guard"]}},
    {"id": 4, "position": {"x": 1.5, "y": 1.5},
     "sprite": {"sprite": 1, "shadeless": True, "blendMode": "add", "zOffset": 0.2,
                "scale": 0.5}},
    {"id": 5, "position": {"x": 14.5, "y": 6.5},
     "sprite": {"sprite": 1, "shadeless": True, "blendMode": "add", "zOffset": 0.2,
                "scale": 0.5}},
]

WALLS = {"#": BRICKS, "S": STONE, "P": PLANKS}
TRIANGLES = {"/": quorvelin.BLOCK_TRIANGLE_SOUTH_EAST, "\\": quorvelin.BLOCK_TRIANGLE_NORTH_EAST}
FACES = (quorvelin.TEXTURE_NORTH, quorvelin.TEXTURE_EAST, quorvelin.TEXTURE_SOUTH,
         quorvelin.TEXTURE_WEST)


def lay_out(level):
    for y, row in enumerate(MAP):
        for x, sign in enumerate(row):
            if sign in WALLS or sign in TRIANGLES:
                level.setBlock(TRIANGLES.get(sign, quorvelin.BLOCK_SQUARE), x, y)
                for face in FACES:
                    level.setTextureIndex(WALLS.get(sign, STONE), face, x, y)
            level.setTextureIndex(TILES, quorvelin.TEXTURE_FLOOR, x, y)
            level.setTextureIndex(255 if sign == "," else CEILING, quorvelin.TEXTURE_CEILING, x, y)


def write_level(folder=FOLDER):
    """Writes the pictures and the level pair into `folder`; returns the level's path."""
    os.makedirs(folder, exist_ok=True)
    write_pictures(folder)
    path = os.path.join(folder, NAME)
    # A header that names the assets and has the map's size, with an empty cell file
    # (missing cells read as zero); the engine loads it, the script fills it in.
    with open(path + ".json", "w", encoding="utf-8") as file:
        json.dump({"width": len(MAP[0]), "height": len(MAP), **HEADER, "entities": []}, file)
    open(path, "wb").close()
    level = quorvelin.Level(path)
    lay_out(level)
    for entity in ENTITIES:
        level.addEntityFromJson(entity)
    level.saveFile(path)
    return path


if __name__ == "__main__":
    write_level(sys.argv[1] if len(sys.argv) > 1 else FOLDER)
