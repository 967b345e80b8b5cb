"""Writes the demo's assets into examples/assets.

The sounds are sine tones written with `wave`; the pictures are drawn with
quorvelin's own textures and saved as PNG, except the UI's tileset, whose
translucent corners are written pixel by pixel; the UI theme is a JSON file
beside it. The demo writes the missing ones at start; running this file writes
them all again.
"""
import json
import math
import os
import struct
import wave
import zlib

if __name__ == "__main__":
    # Drawing and saving need neither a screen nor a sound device.
    os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402

ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "assets")
SIZE = (640, 400)  # the backdrop fills the demo's window
RATE = 22050  # samples per second, mono
TOP, BOTTOM = (18, 24, 64), (112, 56, 96)  # the backdrop's colours

# Rising arpeggios of A minor, G, F and E (MIDI note numbers), a fifth of a second a note.
MELODY = [57, 60, 64, 69, 55, 59, 62, 67, 53, 57, 60, 65, 52, 56, 59, 64]


def path(name):
    return os.path.join(ASSETS, name)


def tone(frequency, seconds, volume):
    """A sine tone that dies away to silence, so tones follow each other without clicks."""
    count = int(RATE * seconds)
    return [volume * math.sin(2 * math.pi * frequency * i / RATE) * (1 - i / count) ** 2
            for i in range(count)]


def write_wav(filename, samples):
    with wave.open(filename, "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(RATE)
        file.writeframes(struct.pack(f"<{len(samples)}h", *(round(32767 * s) for s in samples)))


def write_beep(filename):
    write_wav(filename, tone(880, 0.2, 0.5))


def write_music(filename):
    samples = []
    for note in MELODY:
        samples += tone(440 * 2 ** ((note - 69) / 12), 0.2, 0.3)
    write_wav(filename, samples)


def write_backdrop(filename):
    """A gradient from TOP to BOTTOM in horizontal bands. Textures draw from the top-left
    corner, so the bands are drawn tallest first, each covering the top of the last."""
    width, height = SIZE
    backdrop = quorvelin.Texture(width, height)
    for bottom in range(height, 0, -10):
        share = bottom / height
        band = quorvelin.Texture(width, bottom)
        band.fill(tuple(round(a + (b - a) * share) for a, b in zip(TOP, BOTTOM)))
        backdrop.copyFrom(band)
    backdrop.saveFile(filename)


def write_icon(filename):
    icon = quorvelin.Texture(32, 32)
    icon.fillChecker()
    icon.saveFile(filename)


# The UI's skins, cut from one tileset drawn pixel by pixel (its translucent corners
# need an alpha channel): a 12 x 12 panel tile in 4-pixel pieces, a button strip in two
# states, and a slider's track, arrows and thumb.
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
TILES = (44, 40)
RIM, FACE, LIGHT = (230, 200, 120, 255), (20, 24, 48, 190), (250, 230, 170, 255)
BLUE, BRIGHT = (40, 60, 110, 230), (70, 100, 170, 240)  # buttons, normal and hovered
PANEL = {"x": 0, "y": 0, "leftWidth": 4, "middleWidth": 4, "rightWidth": 4,
         "topHeight": 4, "middleHeight": 4, "bottomHeight": 4}
BUTTON = {state: {"x": 12, "y": y, "left": 4, "middle": 4, "right": 4, "height": 20}
          for state, y in (("normal", 0), ("hover", 20))}
SLIDER = {
    "horizontalBackground": {"x": 0, "y": 12, "left": 2, "middle": 4, "right": 2, "height": 10},
    "leftButton": {"normal": {"x": 24, "y": 0, "width": 10, "height": 10},
                   "hover": {"x": 24, "y": 10, "width": 10, "height": 10}},
    "rightButton": {"normal": {"x": 34, "y": 0, "width": 10, "height": 10},
                    "hover": {"x": 34, "y": 10, "width": 10, "height": 10}},
    "horizontalButton": {"normal": {"x": 24, "y": 20, "width": 8, "height": 10}},
}


def framed(x, y, width, height, face, rim=RIM):
    """(r, g, b, a) of a framed box of that size at (x, y) inside it: a rim two pixels
    wide with rounded (transparent) corners around the face."""
    corner = min(x, width - 1 - x) + min(y, height - 1 - y)
    if corner < 2:
        return (0, 0, 0, 0)
    if min(x, y, width - 1 - x, height - 1 - y) < 2:
        return rim
    return face


def arrow(x, y, pointing, colour):
    """A 10 x 10 arrow button: a framed box with a triangle pointing left or right."""
    across = abs(x - (3 if pointing == "left" else 6))  # from the tip
    if 3 <= x <= 6 and abs(y - 4.5) <= across * 0.75 + 0.5:
        return LIGHT
    return framed(x, y, 10, 10, colour)


def tile_pixel(x, y):
    """(r, g, b, a) of the tileset at (x, y)."""
    if x < 12 and y < 12:
        return framed(x, y, 12, 12, FACE)
    if x < 8 and 12 <= y < 22:  # the slider's track: a groove along the middle
        return (10, 12, 24, 220) if 3 <= y - 12 <= 6 else (0, 0, 0, 0)
    if 12 <= x < 24:  # the button strip, normal then hover
        return framed(x - 12, y % 20, 12, 20, BLUE if y < 20 else BRIGHT)
    if 24 <= x < 44 and y < 20:
        return arrow((x - 24) % 10, y % 10, "left" if x < 34 else "right",
                     BLUE if y < 10 else BRIGHT)
    if 24 <= x < 32 and 20 <= y < 30:
        return framed(x - 24, y - 20, 8, 10, RIM, LIGHT)
    return (0, 0, 0, 0)


def write_ui_tiles(filename):
    width, height = TILES
    rows = b"".join(b"\x00" + bytes(c for x in range(width) for c in tile_pixel(x, y))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(filename, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
                   + chunk(b"IEND", b""))


def write_ui_theme(filename):
    theme = {"widgets": {"panel": PANEL, "button": BUTTON, "slider": SLIDER},
             "tileset": "ui-tiles.png",
             "fonts": {"aileron": {"file": FONT, "size": 14}},
             "colors": {"background": "FF000000", "fontColor": "FFFFFFFF"}}
    with open(filename, "w", encoding="utf-8") as file:
        json.dump(theme, file, indent=2)


WRITERS = {"beep.wav": write_beep, "music.wav": write_music,
           "backdrop.png": write_backdrop, "icon.png": write_icon,
           "ui-tiles.png": write_ui_tiles, "ui-theme.json": write_ui_theme}


def write_assets(only_missing=False):
    os.makedirs(ASSETS, exist_ok=True)
    for name, write in WRITERS.items():
        if not (only_missing and os.path.exists(path(name))):
            write(path(name))
            print("wrote", path(name))


if __name__ == "__main__":
    write_assets()
