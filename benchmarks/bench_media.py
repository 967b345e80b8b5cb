"""Texture and Font speed against pygame-ce on the same work, and the pixel loops against
the machine's limit, as ratios.

    python benchmarks/bench_media.py [--rounds N]

pygame-ce (the faster, maintained fork of pygame) and numpy are benchmark-only
dependencies: pip install pygame-ce numpy. Without pygame-ce the peer's column is left
out; without numpy the limit's. Both sides run in one process, interleaved round by round
(see rounds.py); each figure is the median of the rounds and each ratio the median of
the rounds' ratios, ours / other (below 1 the engine is faster), shown with the lowest
and highest of the rounds' ratios.

The limit is numpy doing the same memory traffic on the same number of bytes: `fill` of
a uint32 array for a fill, `copyto` between two such arrays (a memcpy) for a copy or a
blend.
"""
import argparse
import os
import struct
import sys
import tempfile
import zlib

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import quorvelin  # noqa: E402
from rounds import interleaved, median, median_ratio, show_ratio  # noqa: E402

try:
    import pygame
except ImportError:  # a benchmark-only dependency
    pygame = None
try:
    import numpy
except ImportError:  # a benchmark-only dependency
    numpy = None

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SIZES = [(64, 64), (640, 480), (1920, 1080)]
TEXTS = ["Score: 12345", "The quick brown fox jumps over the lazy dog, twice over."]
COLOUR = (10, 20, 30, 255)
# ours / pygame-ce and ours / limit that the pixel loops aim at.
TARGETS = {"fill": (1.0, 1.3), "blend": (0.8, 3.0)}


def write_png(path, width, height, pixel, alpha):
    """A PNG whose pixel (x, y) is pixel(x, y): RGB, or RGBA with `alpha`."""
    rows = (b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                   chunk(b"IDAT", zlib.compress(b"".join(rows), 1)) + chunk(b"IEND", b""))
    return path


def opaque_pixel(x, y):
    return (x * 7 % 256, y * 3 % 256, 90)


def sprite_pixel(width, height):
    """Discs on a transparent ground, with a soft edge: opaque and transparent runs with
    translucent pixels between them, as in a sprite sheet."""
    cell = min(width, height, 64)

    def pixel(x, y):
        dx, dy = x % cell - cell / 2 + 0.5, y % cell - cell / 2 + 0.5
        distance = (dx * dx + dy * dy) ** 0.5
        alpha = max(0, min(255, int((cell * 0.4 - distance) * 64)))
        return (x % 256, y % 256, 200, alpha)

    return pixel


class Case:
    def __init__(self, name, kind, pixels, ours, peer=None, limit=None):
        self.name, self.kind, self.pixels = name, kind, pixels
        self.sides = {"ours": ours}
        if peer is not None:
            self.sides["peer"] = peer
        if limit is not None:
            self.sides["limit"] = limit


def numpy_limits(width, height):
    if numpy is None:
        return None, None
    target = numpy.zeros(width * height, numpy.uint32)
    source = numpy.full(width * height, 0x80c86432, numpy.uint32)
    value = numpy.uint32(0xff0a141e)
    return (lambda: target.fill(value)), (lambda: numpy.copyto(target, source))


def pixel_cases(folder):
    cases = []
    for width, height in SIZES:
        fill_limit, copy_limit = numpy_limits(width, height)
        ours = quorvelin.Texture(width, height)
        theirs = pygame.Surface((width, height), pygame.SRCALPHA, 32) if pygame else None
        size = f"{width}x{height}"
        cases.append(Case(f"fill {size}", "fill", width * height,
                          lambda t=ours: t.fill(COLOUR),
                          theirs and (lambda t=theirs: t.fill(COLOUR)), fill_limit))

        # The opaque copy: an RGB image, converted once to the target's 32-bit format.
        path = write_png(os.path.join(folder, f"opaque{size}.png"), width, height, opaque_pixel,
                         False)
        opaque = quorvelin.Texture(path)
        opaque_surface = pygame.image.load(path).convert(theirs) if pygame else None
        cases.append(Case(f"copy opaque {size}", "copy", width * height,
                          lambda t=ours, s=opaque: t.copyFrom(s),
                          theirs and (lambda t=theirs, s=opaque_surface: t.blit(s, (0, 0))),
                          copy_limit))

        # Every pixel blended: one translucent colour over the whole source.
        translucent = quorvelin.Texture(width, height)
        translucent.fill((200, 100, 50, 128))
        translucent_surface = None
        if pygame:
            translucent_surface = pygame.Surface((width, height), pygame.SRCALPHA, 32)
            translucent_surface.fill((200, 100, 50, 128))
        cases.append(Case(f"copy blended {size}", "blend", width * height,
                          lambda t=ours, s=translucent: t.copyFrom(s),
                          theirs and (lambda t=theirs, s=translucent_surface: t.blit(s, (0, 0))),
                          copy_limit))

        path = write_png(os.path.join(folder, f"sprite{size}.png"), width, height,
                         sprite_pixel(width, height), True)
        sprite = quorvelin.Texture(path)
        sprite_surface = pygame.image.load(path).convert(theirs) if pygame else None
        cases.append(Case(f"copy sprites {size}", "sprites", width * height,
                          lambda t=ours, s=sprite: t.copyFrom(s),
                          theirs and (lambda t=theirs, s=sprite_surface: t.blit(s, (0, 0))),
                          copy_limit))
    return cases


def font_cases():
    cases = []
    if pygame:
        pygame.font.init()
    for size in (16, 32):
        our_font = quorvelin.Font(FONT, size)
        their_font = pygame.font.Font(FONT, size) if pygame else None
        for text in TEXTS:
            cases.append(Case(f"render {size}pt {len(text)} chars", "font", 0,
                              lambda f=our_font, t=text: f.render(t, (255, 255, 255)),
                              their_font and (lambda f=their_font, t=text:
                                              f.render(t, True, (255, 255, 255)))))
    return cases


def verdict(case, versus_peer, versus_limit):
    if case.kind not in TARGETS:
        return ""
    peer_target, limit_target = TARGETS[case.kind]
    met = (versus_peer is None or versus_peer <= peer_target) and \
          (versus_limit is None or versus_limit <= limit_target)
    return f"{peer_target:.1f} / {limit_target:.1f} {'met' if met else 'MISSED'}"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args(argv)
    if pygame is None:
        print("pygame-ce is not installed: its column is left out (pip install pygame-ce)")
    elif not getattr(pygame, "IS_CE", False):
        print(f"the installed pygame ({pygame.version.ver}) is not pygame-ce, the stronger peer")
    if numpy is None:
        print("numpy is not installed: the limit column is left out (pip install numpy)")
    peer = f"pygame-ce {pygame.version.ver}" if pygame else "no peer"
    print(f"Python {sys.version.split()[0]}, quorvelin vs {peer}; median of {args.rounds} rounds")
    header = (f"{'case':28} {'ours us':>9} {'peer us':>9} {'limit us':>9} {'ours/peer':>18} "
              f"{'ours/limit':>18}  target (peer / limit)")
    print(header)
    print("-" * len(header))
    with tempfile.TemporaryDirectory() as folder:
        cases = pixel_cases(folder) + font_cases()
    for case in cases:
        times = interleaved(case.sides, args.rounds)
        ours = median(times["ours"])
        cells = [f"{case.name:28} {ours * 1e6:9.2f}"]
        ratios, shown = [], []
        for side in ("peer", "limit"):
            cells.append(f"{median(times[side]) * 1e6:9.2f}" if side in times else f"{'-':>9}")
            ratios.append(median_ratio(times["ours"], times[side]) if side in times else None)
            shown.append(show_ratio(times["ours"], times[side]) if side in times else "-")
        cells += [f"{text:>18}" for text in shown]
        print(" ".join(cells) + "  " + verdict(case, *ratios))
    return 0


if __name__ == "__main__":
    sys.exit(main())
