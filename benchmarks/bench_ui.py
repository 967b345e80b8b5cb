"""UI speed, as ratios against pygame_gui, in one run.

- UI frame: a tree of about 300 widgets (rows of list containers in the renderer's
  anchored root, each row ten framed panels, each with two framed panels inside) laid
  out, updated and drawn: UIRenderer.render() against pygame_gui's manager.update plus
  draw_ui of the same panels (target: at least 3x faster);
- frame with a click: a click pushed into SDL's queue and one Engine.update() (input
  translation routes it down the tree, then the frame runs with the UI as its system
  and shows the picture) against pygame_gui's event processing of the click, update,
  draw and display flip;
- linear layout: the engine's UI frame per widget with about 1,000 widgets against
  about 100 (target: within 1.5x).

Both sides draw framed panels with alpha: the engine a nine-slice skin of a tileset
with transparent corners, pygame_gui its default panels. Each side runs in a process of
its own (pygame brings its own SDL); the rounds alternate between them, and each figure
is the median of its rounds. pygame_gui is a benchmark-only dependency
(pip install pygame_gui); without it only the engine's figures are shown.

    python benchmarks/bench_ui.py [--rounds N]
"""
import argparse
import ctypes
import json
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time

SIZE = (640, 400)
ROWS, COLUMNS = 10, 10  # 1 + 10 + 10 * 10 * 3 = 311 widgets
CELL, INNER, ROW_HEIGHT = (58, 34), (20, 20), 38
CLICK = (10 + 60 * 3 + 52, 10 + ROW_HEIGHT * 2 + 28)  # inside a cell, beside its panels
LINEAR = {"100": 3, "1000": 30}  # rows of eleven cells: 103 and 1,021 widgets


# --- the engine's side ----------------------------------------------------------------------

def write_theme(folder):
    """A 12 x 12 skin of 4-pixel pieces: a dark frame with transparent corner pixels
    around an opaque face, written as an RGBA PNG (so the tileset blends)."""
    import struct
    import zlib

    def pixel(x, y):
        if (x in (0, 11)) and (y in (0, 11)):
            return (0, 0, 0, 0)
        if x < 2 or x > 9 or y < 2 or y > 9:
            return (40, 44, 52, 255)
        return (90, 100, 120, 255)

    rows = b"".join(b"\x00" + bytes(c for x in range(12) for c in pixel(x, y)) for y in range(12))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(os.path.join(folder, "tiles.png"), "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 12, 12, 8, 6, 0, 0, 0))
                   + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    skin = {"x": 0, "y": 0, "leftWidth": 4, "middleWidth": 4, "rightWidth": 4, "topHeight": 4,
            "middleHeight": 4, "bottomHeight": 4}
    path = os.path.join(folder, "theme.json")
    with open(path, "w", encoding="utf-8") as file:
        json.dump({"widgets": {"panel": skin}, "tileset": "tiles.png", "fonts": {},
                   "colors": {"background": "FF182028"}}, file)
    return path


def build_tree(quorvelin, ui, rows, columns):
    def fixed(widget, size):
        widget.sizePolicyX = widget.sizePolicyY = quorvelin.SIZE_FIXED
        widget.width, widget.height = size
        return widget

    count = 1
    for r in range(rows):
        row = quorvelin.UIListContainer()
        row.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
        ui.widget.addChild(row, 10, 10 + ROW_HEIGHT * r)
        count += 1
        for _ in range(columns):
            cell = fixed(quorvelin.UIPanel(), CELL)
            cell.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
            cell.setPadding(4)
            cell.marginRight = 2
            row.addChild(cell)
            count += 1
            for _ in range(2):
                inner = fixed(quorvelin.UIPanel(), INNER)
                inner.marginRight = 4
                cell.addChild(inner)
                count += 1
    return count


class ButtonEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_uint32), ("timestamp", ctypes.c_uint32),
                ("windowID", ctypes.c_uint32), ("which", ctypes.c_uint32),
                ("button", ctypes.c_uint8), ("state", ctypes.c_uint8), ("clicks", ctypes.c_uint8),
                ("padding1", ctypes.c_uint8), ("x", ctypes.c_int32), ("y", ctypes.c_int32),
                ("padding", ctypes.c_uint8 * 28)]


def engine_side(folder):
    import quorvelin

    sdl = ctypes.CDLL("libSDL2-2.0.so.0")  # the library instance the module uses
    theme = quorvelin.UITheme(write_theme(folder))
    engine = quorvelin.Engine()
    engine.init("bench", SIZE)

    ui = quorvelin.UIRenderer(quorvelin.Texture(*SIZE), True, theme)
    engine.ecs.addSystem(ui)
    widgets = build_tree(quorvelin, ui, ROWS, COLUMNS)
    clicks = []
    ui.widget.getChildren()[2].getChildren()[3].onClick = clicks.append

    def click():
        for kind in (0x401, 0x402):  # button down, button up
            event = ButtonEvent(type=kind, button=1, state=int(kind == 0x401), clicks=1,
                                x=CLICK[0], y=CLICK[1])
            sdl.SDL_PushEvent(ctypes.byref(event))
        engine.update()

    sdl.SDL_WarpMouseInWindow.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    sdl.SDL_GetWindowFromID.restype = ctypes.c_void_p
    sdl.SDL_WarpMouseInWindow(sdl.SDL_GetWindowFromID(1), *CLICK)  # the engine's window
    engine.update()
    click()
    assert clicks, "the click did not reach the panel"

    linear = {}
    for name, rows in LINEAR.items():
        made = quorvelin.UIRenderer(quorvelin.Texture(SIZE[0], 20 + ROW_HEIGHT * rows), True, theme)
        quorvelin.AbstractSystem._setEngine(made, engine)
        linear[name] = (made, build_tree(quorvelin, made, rows, 11))
    cases = {"frame": ui.render, "click": click}
    for name, (made, count) in linear.items():
        cases["per widget " + name] = (made.render, count)
    return cases, {"widgets": widgets, **{name: count for name, (_, count) in linear.items()}}


# --- pygame_gui's side ----------------------------------------------------------------------

def pygame_side(folder):
    import pygame
    import pygame_gui

    pygame.init()
    screen = pygame.display.set_mode(SIZE)
    manager = pygame_gui.UIManager(SIZE)
    for r in range(ROWS):
        row = pygame_gui.core.UIContainer(pygame.Rect(10, 10 + ROW_HEIGHT * r, 600, CELL[1]),
                                          manager=manager)
        for c in range(COLUMNS):
            cell = pygame_gui.elements.UIPanel(pygame.Rect(60 * c, 0, *CELL), manager=manager,
                                               container=row)
            for k in range(2):
                pygame_gui.elements.UIPanel(pygame.Rect(4 + 24 * k, 4, *INNER), manager=manager,
                                            container=cell)
    clock_step = 1 / 60

    def frame():
        manager.update(clock_step)
        manager.draw_ui(screen)

    def click():
        for kind in (pygame.MOUSEBUTTONDOWN, pygame.MOUSEBUTTONUP):
            pygame.event.post(pygame.event.Event(kind, button=1, pos=CLICK))
        for event in pygame.event.get():
            manager.process_events(event)
        frame()
        pygame.display.flip()

    return {"frame": frame, "click": click}, {}


# --- rounds -----------------------------------------------------------------------------------

def worker(side):
    folder = tempfile.mkdtemp(prefix="bench-ui-")
    cases, info = engine_side(folder) if side == "engine" else pygame_side(folder)
    print(json.dumps(info), flush=True)
    for line in sys.stdin:
        name, number = line.rsplit(maxsplit=1)
        call, per = cases[name] if isinstance(cases[name], tuple) else (cases[name], 1)
        start = time.perf_counter()
        for _ in range(int(number)):
            call()
        print((time.perf_counter() - start) / int(number) / per, flush=True)


class Side:
    def __init__(self, side):
        env = dict(os.environ, SDL_VIDEODRIVER=os.environ.get("SDL_VIDEODRIVER", "dummy"),
                   SDL_AUDIODRIVER="dummy", PYGAME_HIDE_SUPPORT_PROMPT="1")
        self.process = subprocess.Popen([sys.executable, __file__, "--worker", side], env=env,
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.info = json.loads(self.process.stdout.readline())

    def run(self, case, number):
        self.process.stdin.write(f"{case} {number}\n")
        self.process.stdin.flush()
        return float(self.process.stdout.readline())

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def has_pygame_gui():
    try:
        import pygame_gui  # noqa: F401
        return True
    except ImportError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    rounds = parser.parse_args().rounds
    ours = Side("engine")
    theirs = Side("pygame") if has_pygame_gui() else None
    numbers = {"frame": 40, "click": 30, "per widget 100": 200, "per widget 1000": 20}
    times = {(side, case): [] for side in ("ours", "theirs") for case in numbers}
    for _ in range(rounds):
        for case, number in numbers.items():
            times[("ours", case)].append(ours.run(case, number))
            if theirs and case in ("frame", "click"):
                times[("theirs", case)].append(theirs.run(case, number))
    median = {key: statistics.median(values) for key, values in times.items() if values}
    print(f"{ours.info['widgets']} widgets; {rounds} rounds, medians; "
          f"video: {os.environ.get('SDL_VIDEODRIVER', 'dummy')}")
    print(f"{'case':44} {'engine us':>10} {'pygame_gui us':>14} {'faster':>7} {'target':>7}")
    for case, label in (("frame", "UI frame (render vs update + draw_ui)"),
                        ("click", "frame with a click (Engine.update)")):
        engine = median[("ours", case)] * 1e6
        if theirs:
            reference = median[("theirs", case)] * 1e6
            ratio = reference / engine
            target = 3.0 if case == "frame" else None
            mark = "" if target is None else ("ok" if ratio >= target else "MISSED")
            target_text = f"{target:.1f}x" if target else "-"
            print(f"{label:44} {engine:10.1f} {reference:14.1f} {ratio:6.2f}x {target_text:>7} {mark}")
        else:
            print(f"{label:44} {engine:10.1f} {'skipped':>14}")
    small, large = median[("ours", "per widget 100")], median[("ours", "per widget 1000")]
    growth = large / small
    print(f"{'linear layout: per widget at ' + str(ours.info['1000']) + ' vs ' + str(ours.info['100']):44} "
          f"{large * 1e6:10.3f} {small * 1e6:14.3f} {growth:6.2f}x {'1.5x':>7} "
          f"{'ok' if growth <= 1.5 else 'MISSED'}")
    if not theirs:
        print("pygame_gui is not installed: its side was skipped (pip install pygame_gui)")
    ours.close()
    if theirs:
        theirs.close()


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--worker":
        worker(sys.argv[2])
    else:
        main()
