"""The raycasting renderer through its Python API: whole frames as a multiple of a
memset (and of a memcpy) of the same frame's bytes, and the queries in microseconds.

Run headless:  python benchmarks/bench_raycaster.py [--rounds N]

Two levels are drawn at 640x480 and 1280x720 on 1, 2 and 4 worker threads
(QUORVELIN_RENDER_THREADS): a representative one written by this script (32 x 32
cells of square and triangular blocks, six textures of several sizes, an open
courtyard under a sky, a strip without floor, fog and ground fog, a flashlight and 50
animated sprites of every kind) and the engine's empty level (30 x 30, one texture).
A frame is one RaycastingRenderer.render() call (everything a frame does: reading the
camera, the level and the entities, sorting and animating the sprites, drawing).

Rounds interleave everything that is compared. A round moves the camera to the next
pose of a walk; for every thread count, in an order that rotates from round to round,
it times three things in an order that also rotates: one frame followed right away by
a fill of the same target (Texture.fill, the engine's memset of those very pixels), a
memset (ctypes.memset) alone and a memcpy (ctypes.memmove) alone of a buffer of the
frame's size. Before each, the buffer it writes is written once, untimed (the target by
Texture.fill), so that every side starts from the same caches. A ratio is the frame's
time over the limit's in the same round; a figure is the median of the rounds with the
lowest and highest beside it.

The queries are timed on the representative level at 1280x720 after a frame: castRay
from the camera, getWorldPosByScreenCoords, and getEntityAtScreenCoords divided by the
number of tracked entities (50); each the median of many calls. Last, what a frame
costs besides its pixels: render() of the representative level with its 50 sprites
into an 8x8 target (reading the camera, level and entities, sorting and animating,
writing back; the drawing of 64 pixels is nothing beside it).
"""
import argparse
import contextlib
import ctypes
import io
import json
import math
import os
import random
import statistics
import sys
import tempfile
import time

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402
from quorvelin import (Entity, Level, PositionComponent, RaycastingRenderer,  # noqa: E402
                       RotationComponent, Sprite, SpriteAnimation, SpriteComponent, Texture,
                       Vector2)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "examples"))
from make_level import png  # noqa: E402

SIZES = [(640, 480), (1280, 720)]
THREADS = ["1", "2", "4"]


# --- the representative level ---------------------------------------------------------------

def noise_png(path, width, height, seed, translucent=False):
    generator = random.Random(seed)

    def pixel(x, y):
        alpha = 255
        if translucent:
            alpha = generator.choice((0, 255, generator.randrange(256)))
        return (generator.randrange(256), generator.randrange(256), generator.randrange(256),
                alpha)
    with open(path, "wb") as file:
        file.write(png(width, height, pixel))
    return path


def representative_level(folder):
    generator = random.Random(7)
    names = []
    for i, (w, h, translucent) in enumerate([(64, 64, False), (64, 64, False), (64, 64, False),
                                             (32, 48, False), (128, 128, False),
                                             (64, 64, True)]):
        names.append(noise_png(os.path.join(folder, f"t{i}.png"), w, h, i + 1, translucent))
    noise_png(os.path.join(folder, "sky.png"), 1024, 256, 9)
    cells = bytearray()
    for y in range(32):
        for x in range(32):
            floor = 1 if (x // 4 + y // 4) % 2 else 4
            ceiling = 255 if 12 <= x < 20 and 12 <= y < 20 else 2
            if y == 25 and 3 < x < 9:
                floor = 255
            faces = [generator.randrange(6) for _ in range(4)]
            block = 0
            if x in (0, 31) or y in (0, 31):
                block = 1
            elif generator.randrange(100) < 12 and not (2 <= x <= 3 and 2 <= y <= 3):
                block = 1 if generator.randrange(3) == 0 else 2 + generator.randrange(4)
            cells += bytes([block, floor, ceiling] + faces)
    header = {"width": 32, "height": 32, "textures": names, "skytex": "sky.png",
              "fogColor": [16, 32, 48], "fogDensity": 3, "groundFogColor": [192, 200, 208],
              "groundFogDensity": 40, "entities": []}
    path = os.path.join(folder, "representative.lvl")
    with open(path + ".json", "w") as file:
        json.dump(header, file)
    with open(path, "wb") as file:
        file.write(cells)
    return Level(path)


def sprites_for(level, folder, count=50):
    """`count` entities with animated sprites in empty cells, every kind mixed: eight
    directions or one, oscillating or not, blended or added, shaded or not, scaled and
    raised."""
    generator = random.Random(11)
    sheets = [Texture(noise_png(os.path.join(folder, f"sheet{i}.png"), 128, 128, 20 + i, True))
              for i in range(4)]
    entities = []
    for i in range(count):
        while True:
            x, y = generator.randrange(1, 31), generator.randrange(1, 31)
            if level.getBlock(x, y) == 0:
                break
        directional = i % 2 == 0
        animation = SpriteAnimation("walk", 2 if directional else 4, i % 3 == 0,
                                    generator.uniform(0.5, 3.0), 0, 8 if directional else 1)
        sprite = Sprite(sheets[i % 4], 4, 4, [animation])
        component = SpriteComponent(sprite, i % 7 == 0, 0.5 if i % 4 == 0 else 0.0,
                                    (0.5, 1.0, 0.8, 0.8)[i % 4], 1 if i % 5 == 0 else 0)
        component.animationPercentage = generator.uniform(0.0, 0.99)
        angle = generator.uniform(-3.2, 3.2)
        entities.append(Entity(-1, PositionComponent(Vector2(x + generator.uniform(0.1, 0.9),
                                                             y + generator.uniform(0.1, 0.9))),
                               RotationComponent(Vector2(math.cos(angle), math.sin(angle))),
                               component))
    return entities


class FixedStep(quorvelin.Engine):
    def getTimeStep(self):
        return 1 / 60


def camera_path(level, count=64):
    """Poses of a walk: a place in an empty cell every 8 poses, turning slowly between."""
    generator = random.Random(3)
    path = []
    for i in range(count):
        if i % 8 == 0:
            while True:
                x, y = generator.uniform(1, level.width - 1), generator.uniform(1, level.height - 1)
                if level.getBlock(int(x), int(y)) == 0:
                    break
            angle = generator.uniform(-3.3, 3.3)
        angle += 0.03
        path.append((x, y, math.cos(angle), math.sin(angle)))
    return path


# --- timing ---------------------------------------------------------------------------------------

def race(renderer, path, rounds, warm_up=10):
    """{threads: [(frame ns, fill after ns, memset ns, memcpy ns), one per round]}."""
    camera = renderer.getCamera()
    camera.fov, camera.pitch, camera.ratio = 60, 20, 1.6
    target = renderer.getTarget()
    width, height = target.getSize()
    size = width * height * 4
    buffer, copy = (ctypes.c_char * size)(), (ctypes.c_char * size)()
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)

    def frame(threads):
        os.environ["QUORVELIN_RENDER_THREADS"] = threads
        target.fill(black)
        start = time.perf_counter_ns()
        renderer.render()
        middle = time.perf_counter_ns()
        target.fill(white)
        return middle - start, time.perf_counter_ns() - middle

    def memset(threads):
        ctypes.memset(buffer, 0, size)
        start = time.perf_counter_ns()
        ctypes.memset(buffer, 1, size)
        return time.perf_counter_ns() - start

    def memcpy(threads):
        ctypes.memset(buffer, 0, size)
        start = time.perf_counter_ns()
        ctypes.memmove(copy, buffer, size)
        return time.perf_counter_ns() - start

    sides = [frame, memset, memcpy]
    results = {threads: [] for threads in THREADS}
    for index in range(warm_up + rounds):
        x, y, dx, dy = path[index % len(path)]
        camera.pos.x, camera.pos.y, camera.dir.x, camera.dir.y = x, y, dx, dy
        shift = index % len(THREADS)
        for threads in THREADS[shift:] + THREADS[:shift]:
            turn = index // len(THREADS) % len(sides)
            times = {side: side(threads) for side in sides[turn:] + sides[:turn]}
            if index >= warm_up:
                results[threads].append(times[frame] + (times[memset], times[memcpy]))
    os.environ.pop("QUORVELIN_RENDER_THREADS")
    return results


def spread(values):
    values = sorted(values)
    return statistics.median(values), values[0], values[-1]


def time_call(call, repeat=200, number=50):
    """Microseconds per call: the median of `repeat` batches of `number` calls."""
    samples = []
    for _ in range(repeat):
        start = time.perf_counter_ns()
        for _ in range(number):
            call()
        samples.append((time.perf_counter_ns() - start) / number / 1000)
    return statistics.median(samples)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=200, help="rounds per level and size")
    rounds = parser.parse_args().rounds

    with tempfile.TemporaryDirectory() as folder:
        representative = representative_level(folder)
        entities = sprites_for(representative, folder)
        flashlight = Texture(noise_png(os.path.join(folder, "lamp.png"), 128, 128, 10))
        with contextlib.redirect_stdout(io.StringIO()):
            empty = Level(None)
        levels = [("representative", representative, True), ("empty", empty, False)]
        engine = FixedStep()

        print("frame time as a multiple of a fill of the same target right after it, of a "
              "memset alone and of a memcpy alone,\ntimed in the same round: median [lowest - "
              f"highest] of {rounds} rounds\n")
        print(f"{'level':<15} {'size':<9} {'threads':>7} {'ns/px':>7} {'x fill after':>21} "
              f"{'x memset':>21} {'x memcpy':>21}")
        query_renderer = None
        for width, height in SIZES:
            for name, level, rich in levels:
                renderer = RaycastingRenderer(Texture(width, height), level)
                renderer._setEngine(engine)
                if rich:
                    renderer._entities.extend(entities)
                    renderer._setFlashlight(flashlight)
                results = race(renderer, camera_path(level), rounds)
                pixels = width * height
                for threads in THREADS:
                    rows = results[threads]
                    ns = statistics.median(r[0] for r in rows) / pixels
                    line = f"{name:<15} {width:>4}x{height:<4} {threads:>7} {ns:7.3f}"
                    for limit in (1, 2, 3):
                        median, low, high = spread(r[0] / r[limit] for r in rows)
                        line += f" {median:6.2f} [{low:5.2f} - {high:5.2f}]"
                    print(line, flush=True)
                limits = [statistics.median(r[limit] for t in THREADS for r in results[t])
                          / pixels for limit in (1, 2, 3)]
                print(f"{'':<15} {width:>4}x{height:<4} ns/px: fill after {limits[0]:.3f}, "
                      f"memset {limits[1]:.3f}, memcpy {limits[2]:.3f}", flush=True)
                if rich and width == 1280:
                    query_renderer = renderer

        renderer = query_renderer
        renderer.render()
        camera = renderer.getCamera()
        origin, direction = Vector2(camera.pos.x, camera.pos.y), Vector2(0.6, 0.8)
        cast = time_call(lambda: renderer.castRay(origin, direction))
        query = time_call(lambda: renderer.getWorldPosByScreenCoords(640, 600))
        pick = time_call(lambda: renderer.getEntityAtScreenCoords(640, 360), repeat=100)
        tracked = len(renderer._entities)
        print(f"castRay {cast:.2f} us; screen query {query:.2f} us; "
              f"picking {pick:.2f} us over {tracked} entities, {pick / tracked:.3f} us each")

        small = RaycastingRenderer(Texture(8, 8), representative)
        small._setEngine(engine)
        small._entities.extend(entities)
        small._setFlashlight(flashlight)
        overhead = time_call(small.render, repeat=100, number=20)
        print(f"a frame besides its pixels (8x8 target, 50 sprites): {overhead:.1f} us")


if __name__ == "__main__":
    main()
