"""Level loading and saving against the machine's own limit, in one run.

Run headless:  python benchmarks/bench_level.py [--rounds N]

The cell array of a 1024 x 1024 level (7 MiB) is loaded and saved through the engine
and, on the same file, read and written plainly (one readinto of a buffer made
beforehand, one write of a bytes object): that plain transfer is the limit the engine
can approach, since it moves the cells straight between the file and the array. Every
round times each side once, in an order that rotates from round to round. The figures
are MB/s (10^6 bytes per second, median of the rounds; the file is in the page cache
after the first round, for both sides alike) and the ratio of times engine / limit, the
median of the rounds' ratios with the lowest and highest, whose target is at most 2.

The header's load time is compared with the host's json module on the same header: a
header with 2000 entities, parsed by Level._loadMetadata (which parses with the host's
json, checks the size and fills the level's metadata) and by json.loads alone.
"""

import argparse
import contextlib
import io
import json
import os
import statistics
import sys
import tempfile
import time

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402

from rounds import order, show_ratio  # noqa: E402

SIDE = 1024
CELL_BYTES = SIDE * SIDE * 7


def timed(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def race(rounds, sides):
    """{name: [seconds, one per round]}, the sides in rotating order."""
    times = {name: [] for name in sides}
    for index in range(rounds):
        for name in order(list(sides), index):
            times[name].append(timed(sides[name]))
    return times


def write_pair(path, header, cells):
    with open(path + ".json", "w") as file:
        json.dump(header, file)
    with open(path, "wb") as file:
        file.write(cells)


def cell_figures(folder, rounds):
    cells = bytes(range(256)) * (CELL_BYTES // 256)
    path = os.path.join(folder, "big.lvl")
    write_pair(path, {"width": SIDE, "height": SIDE}, cells)
    plain = os.path.join(folder, "plain.cells")
    with open(plain, "wb") as file:
        file.write(cells)
    buffer = bytearray(CELL_BYTES)

    def plain_read():
        with open(plain, "rb", buffering=0) as file:
            file.readinto(buffer)

    def plain_write():
        with open(plain, "wb", buffering=0) as file:
            file.write(cells)

    level = quorvelin.Level(path)
    saved = os.path.join(folder, "saved.lvl")
    console = io.StringIO()

    def engine_save():
        with contextlib.redirect_stdout(console):
            level.saveFile(saved)

    engine_save()
    with open(saved, "rb") as file:
        assert file.read() == cells, "the saved cell file differs from the one loaded"
    return race(rounds, {
        "read: Level(path) (header, cells, no assets)": lambda: quorvelin.Level(path),
        "read: level._loadFromFile(path)": lambda: level._loadFromFile(path),
        "read: plain readinto of the cell file": plain_read,
        "write: level.saveFile(path) (header and cells)": engine_save,
        "write: plain write of the cell bytes": plain_write,
    })


def header_figures(folder, rounds):
    entities = [{"id": i, "position": {"x": i % 97 + 0.5, "y": i % 89 + 0.5},
                 "rotation": {"x": 1.0, "y": 0.0},
                 "collision": {"radius": 0.25, "hasFlags": ["enemy"], "ignoreFlags": []},
                 "sprite": {"sprite": i % 3, "currentAnimation": "walk", "scale": 1.0}}
                for i in range(2000)]
    header = json.dumps({"width": SIDE, "height": SIDE, "textures": [f"t{i}.png" for i in range(40)],
                         "fogColor": [10, 20, 30], "fogDensity": 5, "entities": entities},
                        indent=4)
    level = quorvelin.Level.__new__(quorvelin.Level)
    level._loadMetadata("big.lvl", header)  # the grid takes the header's size once
    times = race(rounds, {"ours": lambda: level._loadMetadata("big.lvl", header),
                          "json": lambda: json.loads(header)})
    return len(header), times["ours"], times["json"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=31)
    rounds = parser.parse_args().rounds
    with tempfile.TemporaryDirectory() as folder:
        cells = cell_figures(folder, rounds)
        size, ours, theirs = header_figures(folder, rounds)
    print(f"cell array of {SIDE} x {SIDE} cells ({CELL_BYTES} bytes), {rounds} rounds, "
          f"load {os.getloadavg()[0]:.1f}")
    for name, times in cells.items():
        print(f"  {name:50s} {CELL_BYTES / statistics.median(times) / 1e6:9.0f} MB/s")
    limit_read = cells["read: plain readinto of the cell file"]
    limit_write = cells["write: plain write of the cell bytes"]
    print("  engine / limit (target: at most 2): "
          f"load {show_ratio(cells['read: level._loadFromFile(path)'], limit_read)}, "
          f"a new Level {show_ratio(cells['read: Level(path) (header, cells, no assets)'], limit_read)}, "
          f"save {show_ratio(cells['write: level.saveFile(path) (header and cells)'], limit_write)}")
    print(f"header of {size} bytes: Level._loadMetadata {statistics.median(ours) * 1e3:.2f} ms, "
          f"json.loads {statistics.median(theirs) * 1e3:.2f} ms, "
          f"ours / json.loads {show_ratio(ours, theirs)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
