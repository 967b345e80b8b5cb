"""Level loading and saving against the machine's own limit, in one run.

Run headless:  python benchmarks/bench_level.py [--rounds N]

The cell array of a 1024 x 1024 level (7 MiB) is loaded and saved through the engine
and, on the same file, read and written plainly (one readinto of a buffer made
beforehand, one write of a bytes object): that plain transfer is the limit the engine
can approach, since it moves the cells straight between the file and the array. The
figures are MB/s (10^6 bytes per second, median of the rounds; the file is in the page
cache after the first round, for both sides alike) and the ratio limit / engine, whose
target is at most 2.

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

SIDE = 1024
CELL_BYTES = SIDE * SIDE * 7


def timed(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def median_of(rounds, call):
    return statistics.median(timed(call) for _ in range(rounds))


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
    figures = [
        ("read: Level(path) (header, cells, no assets)", median_of(rounds, lambda: quorvelin.Level(path))),
        ("read: level._loadFromFile(path)", median_of(rounds, lambda: level._loadFromFile(path))),
        ("read: plain readinto of the cell file", median_of(rounds, plain_read)),
        ("write: level.saveFile(path) (header and cells)", median_of(rounds, engine_save)),
        ("write: plain write of the cell bytes", median_of(rounds, plain_write)),
    ]
    return [(name, CELL_BYTES / seconds / 1e6) for name, seconds in figures]


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
    ours = median_of(rounds, lambda: level._loadMetadata("big.lvl", header))
    theirs = median_of(rounds, lambda: json.loads(header))
    return len(header), ours, theirs


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=31)
    rounds = parser.parse_args().rounds
    with tempfile.TemporaryDirectory() as folder:
        cells = cell_figures(folder, rounds)
        size, ours, theirs = header_figures(folder, rounds)
    speeds = dict(cells)
    print(f"cell array of {SIDE} x {SIDE} cells ({CELL_BYTES} bytes), median of {rounds} rounds")
    for name, speed in cells:
        print(f"  {name:50s} {speed:9.0f} MB/s")
    read_ratio = speeds["read: plain readinto of the cell file"] / speeds["read: level._loadFromFile(path)"]
    load_ratio = speeds["read: plain readinto of the cell file"] / speeds[
        "read: Level(path) (header, cells, no assets)"]
    write_ratio = speeds["write: plain write of the cell bytes"] / speeds[
        "write: level.saveFile(path) (header and cells)"]
    print(f"  limit / engine: load {read_ratio:.2f} (a new Level {load_ratio:.2f}), "
          f"save {write_ratio:.2f}   (target: at most 2)")
    print(f"header of {size} bytes: Level._loadMetadata {ours * 1e3:.2f} ms, json.loads "
          f"{theirs * 1e3:.2f} ms, ratio {ours / theirs:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
