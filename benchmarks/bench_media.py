"""Texture and Font speed against pygame on the same work, as ratios ours / pygame.

Run headless:  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy python benchmarks/bench_media.py
(pygame is a benchmark-only dependency: pip install pygame). A ratio below 1.0 means
the engine is faster. Each figure is the best of several timeit repeats.
"""

import os
import struct
import sys
import tempfile
import timeit
import zlib

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import pygame  # noqa: E402

import quorvelin  # noqa: E402

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SIZES = [(64, 64), (320, 200), (640, 480), (1280, 720)]
TEXTS = ["Score: 12345", "The quick brown fox jumps over the lazy dog, twice over."]


def write_rgb_png(path, width, height):
    """An opaque PNG without an alpha channel: it loads as a copying (non-blending) texture."""
    row = b"".join(bytes((x * 7 % 256, x * 3 % 256, 90)) for x in range(width))
    raw = b"".join(b"\x00" + row for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
                   + chunk(b"IEND", b""))


def best(statement, number):
    return min(timeit.repeat(statement, number=number, repeat=7)) / number


def calls_for(width, height):
    return max(20, 4_000_000 // (width * height))


def main():
    pygame.font.init()
    rows = []
    with tempfile.TemporaryDirectory() as folder:
        for width, height in SIZES:
            number = calls_for(width, height)
            ours = quorvelin.Texture(width, height)
            theirs = pygame.Surface((width, height), pygame.SRCALPHA, 32)
            rows.append((f"fill {width}x{height}",
                         best(lambda: ours.fill((10, 20, 30, 255)), number),
                         best(lambda: theirs.fill((10, 20, 30, 255)), number)))

            path = os.path.join(folder, f"opaque{width}x{height}.png")
            write_rgb_png(path, width, height)
            opaque = quorvelin.Texture(path)
            opaque_surface = pygame.image.load(path)
            rows.append((f"copy opaque {width}x{height}",
                         best(lambda: ours.copyFrom(opaque), number),
                         best(lambda: theirs.blit(opaque_surface, (0, 0)), number)))

            translucent = quorvelin.Texture(width, height)
            translucent.fill((200, 100, 50, 128))
            translucent_surface = pygame.Surface((width, height), pygame.SRCALPHA, 32)
            translucent_surface.fill((200, 100, 50, 128))
            rows.append((f"copy blended {width}x{height}",
                         best(lambda: ours.copyFrom(translucent), number),
                         best(lambda: theirs.blit(translucent_surface, (0, 0)), number)))

        for size in (16, 32):
            our_font = quorvelin.Font(FONT, size)
            their_font = pygame.font.Font(FONT, size)
            for text in TEXTS:
                rows.append((f"render {size}pt {len(text)} chars",
                             best(lambda: our_font.render(text, (255, 255, 255)), 200),
                             best(lambda: their_font.render(text, True, (255, 255, 255)), 200)))

    print(f"{'case':32} {'ours (us)':>10} {'pygame (us)':>12} {'ratio':>7}")
    for name, ours, theirs in rows:
        print(f"{name:32} {ours * 1e6:10.2f} {theirs * 1e6:12.2f} {ours / theirs:7.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
