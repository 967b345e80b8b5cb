"""UI speed against pygame_gui, as ratios ours / pygame_gui, in one run.

The scene, at 1280 x 720 on both sides: 303 controls. Three columns of fifteen framed
panels, each holding a button with its caption, a horizontal slider and a label; beside
them a list of 37 items that scrolls (the engine: a scroll panel holding a list
container of buttons; pygame_gui: its UISelectionList, the list its users pick). Both
sides fill the background every frame (the engine's UIRenderer does, pygame_gui is made
to with screen.fill), draw framed panels with alpha (the engine a nine-slice skin of a
tileset with transparent corners, pygame_gui its default theme) and text in DejaVu Sans
(pygame_gui its own default font).

- whole frame: Engine.update() with the UI as its system (input, layout, update,
  drawing, the upload of the UI's picture and the present) against pygame_gui's event
  processing, manager.update, the fill, draw_ui and display.flip();
- the UI's own work: UIRenderer.render() against manager.update, the fill and draw_ui;
- the present: Engine.update() with a window-sized target uploaded and nothing drawn
  against pygame's event pump, a blit of a window-sized picture of the display's format
  and display.flip() (on the dummy driver pygame's flip shows nothing and pygame_gui
  draws straight into the window's surface, so its frame has no present to speak of),
  with a memcpy of the frame's bytes (ctypes.memmove) beside it, the limit of a copy;
- linear layout: the engine's UI frame per control with about ten times the controls
  (more rows of panels, a longer list, on a taller target); target: within 1.5x.

Each side runs in a process of its own (pygame brings its own SDL), driven round by round
from here: every round times each case on both sides, in alternating order. Figures are
medians of the rounds; ratios are ours / pygame_gui (below 1: the engine is faster), the
median of the rounds' ratios with the lowest and highest. pygame_gui is a benchmark-only
dependency (pip install pygame_gui); without it only the engine's figures are shown.

    python benchmarks/bench_ui.py [--rounds N]
"""
import argparse
import ctypes
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

from rounds import order, show_ratio

SIZE = (1280, 720)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
COLUMNS, ROWS = 3, 15
CELL_SIZE, CELL_STEP = (290, 28), (300, 34)
SLIDER_SIZE = (120, 14)
LIST_ITEMS, LIST_AT, LIST_SIZE, ITEM_SIZE = 37, (930, 10), (330, 600), (300, 20)
BACKGROUND = (24, 32, 40)
LARGER = 10  # the linear layout's scene: this many times the rows and the items


# --- the engine's side ----------------------------------------------------------------------

def write_theme(folder):
    """A 24 x 12 tileset as an RGBA PNG (so it blends): a 12 x 12 skin of 4-pixel pieces
    (a dark frame with transparent corner pixels around an opaque face) for panels and
    buttons, and an opaque strip of 4-pixel squares for the sliders."""
    import struct
    import zlib

    def pixel(x, y):
        if x >= 12:
            return (60 + 20 * (x // 4 % 3), 70, 90, 255)
        if (x in (0, 11)) and (y in (0, 11)):
            return (0, 0, 0, 0)
        if x < 2 or x > 9 or y < 2 or y > 9:
            return (40, 44, 52, 255)
        return (90, 100, 120, 255)

    rows = b"".join(b"\x00" + bytes(c for x in range(24) for c in pixel(x, y)) for y in range(12))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(os.path.join(folder, "tiles.png"), "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 24, 12, 8, 6, 0, 0, 0))
                   + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    skin = {"x": 0, "y": 0, "leftWidth": 4, "middleWidth": 4, "rightWidth": 4, "topHeight": 4,
            "middleHeight": 4, "bottomHeight": 4}
    square = {"x": 12, "y": 0, "width": 4, "height": 4}
    arrows = {"normal": square, "hover": dict(square, x=16)}
    slider = {"horizontalBackground": {"x": 12, "y": 4, "left": 4, "middle": 4, "right": 4, "height": 4},
              "verticalBackground": {"x": 12, "y": 4, "width": 4, "top": 4, "middle": 4, "bottom": 4},
              "leftButton": arrows, "rightButton": arrows, "topButton": arrows,
              "bottomButton": arrows, "horizontalButton": {"normal": dict(square, x=20)},
              "verticalButton": {"normal": dict(square, x=20)}}
    widgets = {"panel": skin, "button": {state: {"x": 0, "y": 0, "left": 4, "middle": 4, "right": 4,
                                                 "height": 12} for state in ("normal", "hover")},
               "slider": slider,
               "scrollPanel": {"clipPadding": {"top": 2, "right": 2, "bottom": 2, "left": 2},
                               "sliderMargin": {"top": 2, "right": 2, "bottom": 2, "left": 2}}}
    path = os.path.join(folder, "theme.json")
    with open(path, "w", encoding="utf-8") as file:
        json.dump({"widgets": widgets, "tileset": "tiles.png",
                   "fonts": {"aileron": {"file": FONT, "size": 11}},
                   "colors": {"background": "FF182028", "fontColor": "FFE0E0E0"}}, file)
    return path


def build_scene(quorvelin, ui, rows, items):
    """The panels of `rows` rows and the list of `items` items: the number of widgets."""
    def fixed(widget, size):
        widget.sizePolicyX = widget.sizePolicyY = quorvelin.SIZE_FIXED
        widget.width, widget.height = size
        return widget

    count = 1  # the root
    for r in range(rows):
        for column in range(COLUMNS):
            cell = fixed(quorvelin.UIPanel(), CELL_SIZE)
            cell.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
            cell.setPadding(3)
            button = quorvelin.UIButton(f"Go {r}")
            button.marginRight = 6
            slider = fixed(quorvelin.UISlider(r * 7 % 100), SLIDER_SIZE)
            slider.marginRight = 6
            for widget in (button, slider, quorvelin.UIText(f"#{r} of {column}")):
                cell.addChild(widget)
            ui.widget.addChild(cell, 10 + CELL_STEP[0] * column, 10 + CELL_STEP[1] * r)
            count += 5  # the cell, the button, its caption, the slider, the label
    rows_list = quorvelin.UIListContainer()
    for r in range(items):  # as tall as pygame_gui's items: the list scrolls on both sides
        rows_list.addChild(fixed(quorvelin.UIButton(f"Item {r} of the list"), ITEM_SIZE))
    scrolling = quorvelin.UIScrollPanel(rows_list)
    scrolling.width, scrolling.height = LIST_SIZE
    ui.widget.addChild(scrolling, *LIST_AT)
    return count + 3 + 2 * items  # the scroll panel, its slider, the list; item buttons


def engine_side(folder):
    import quorvelin

    theme = quorvelin.UITheme(write_theme(folder))
    engine = quorvelin.Engine()
    engine.init("bench", SIZE)
    ui = quorvelin.UIRenderer(quorvelin.Texture(*SIZE), True, theme)
    engine.ecs.addSystem(ui)
    controls = build_scene(quorvelin, ui, ROWS, LIST_ITEMS)
    presenting = quorvelin.Engine()
    presenting.init("bench present", SIZE)
    presenting.ecs.addSystem(quorvelin.Renderer(quorvelin.Texture(*SIZE)))
    larger = quorvelin.UIRenderer(
        quorvelin.Texture(SIZE[0], 20 + CELL_STEP[1] * ROWS * LARGER), True, theme)
    quorvelin.AbstractSystem._setEngine(larger, engine)
    many = build_scene(quorvelin, larger, ROWS * LARGER, LIST_ITEMS * LARGER)
    size = SIZE[0] * SIZE[1] * 4
    source, target = (ctypes.c_char * size)(), (ctypes.c_char * size)()
    engine.update()
    presenting.update()
    cases = {"whole frame": engine.update, "ui work": ui.render, "present": presenting.update,
             "memcpy": lambda: ctypes.memmove(target, source, size),
             "per control": lambda: ui.render(), "per control larger": larger.render}
    return cases, {"controls": controls, "larger": many}


# --- pygame_gui's side ----------------------------------------------------------------------

def pygame_side(folder):
    import warnings

    import pygame
    import pygame_gui

    warnings.simplefilter("ignore")  # its labels' notes on text that fits tightly
    pygame.init()
    screen = pygame.display.set_mode(SIZE)
    manager = pygame_gui.UIManager(SIZE)
    for r in range(ROWS):
        for column in range(COLUMNS):
            cell = pygame_gui.elements.UIPanel(
                pygame.Rect(10 + CELL_STEP[0] * column, 10 + CELL_STEP[1] * r, *CELL_SIZE),
                manager=manager)
            pygame_gui.elements.UIButton(pygame.Rect(3, 2, 70, 20), f"Go {r}", manager=manager,
                                         container=cell)
            pygame_gui.elements.UIHorizontalSlider(pygame.Rect(80, 5, *SLIDER_SIZE), r * 7 % 100,
                                                   (0, 100), manager=manager, container=cell)
            pygame_gui.elements.UILabel(pygame.Rect(206, 2, 78, 20), f"#{r} of {column}",
                                        manager=manager, container=cell)
    pygame_gui.elements.UISelectionList(pygame.Rect(*LIST_AT, *LIST_SIZE),
                                        [f"Item {r} of the list" for r in range(LIST_ITEMS)],
                                        manager=manager)
    step = 1 / 60

    def work():
        manager.update(step)
        screen.fill(BACKGROUND)
        manager.draw_ui(screen)

    picture = pygame.Surface(SIZE).convert()  # the display's own format
    picture.fill(BACKGROUND)

    def present():
        pygame.event.pump()
        screen.blit(picture, (0, 0))
        pygame.display.flip()

    def whole():
        for event in pygame.event.get():
            manager.process_events(event)
        work()
        pygame.display.flip()

    whole()
    return {"whole frame": whole, "ui work": work, "present": present}, {}


# --- rounds -----------------------------------------------------------------------------------

def worker(side):
    folder = tempfile.mkdtemp(prefix="bench-ui-")
    cases, info = engine_side(folder) if side == "engine" else pygame_side(folder)
    print(json.dumps(info), flush=True)
    for line in sys.stdin:
        name, number = line.rsplit(maxsplit=1)
        call = cases[name]
        start = time.perf_counter()
        for _ in range(int(number)):
            call()
        print((time.perf_counter() - start) / int(number), flush=True)


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
    parser.add_argument("--rounds", type=int, default=21)
    rounds = parser.parse_args().rounds
    sides = {"ours": Side("engine")}
    if has_pygame_gui():
        sides["theirs"] = Side("pygame")
    compared = {"whole frame": 10, "ui work": 10, "present": 20}
    own = {"memcpy": 50, "per control": 10, "per control larger": 2}
    times = {}
    for index in range(rounds):
        for case, number in compared.items():
            for name in order(list(sides), index):
                times.setdefault((name, case), []).append(sides[name].run(case, number))
        for case, number in own.items():
            times.setdefault(("ours", case), []).append(sides["ours"].run(case, number))
    for side in sides.values():
        side.close()

    def us(name, case):
        return "%.0f" % (statistics.median(times[(name, case)]) * 1e6)

    info = sides["ours"].info
    print(f"{info['controls']} controls at {SIZE[0]}x{SIZE[1]}, {rounds} rounds, video "
          f"{os.environ.get('SDL_VIDEODRIVER', 'dummy')}, load {os.getloadavg()[0]:.1f}")
    print("ratios ours / pygame_gui: median [lowest-highest] of the rounds\n")
    print("| case | engine us | pygame_gui us | memcpy us | ours / pygame_gui |")
    print("|---|---|---|---|---|")
    labels = {"whole frame": "whole frame: Engine.update against events, update, fill, "
                             "draw_ui, flip",
              "ui work": "the UI's own work: render() against update, fill, draw_ui",
              "present": "the present: a window-sized target uploaded, against pump, blit, "
                         "flip"}
    for case, label in labels.items():
        theirs = us("theirs", case) if "theirs" in sides else "-"
        ratio = show_ratio(times[("ours", case)], times[("theirs", case)]) \
            if "theirs" in sides else "-"
        limit = us("ours", "memcpy") if case == "present" else ""
        print(f"| {label} | {us('ours', case)} | {theirs} | {limit} | {ratio} |")
    small = [t / info["controls"] for t in times[("ours", "per control")]]
    large = [t / info["larger"] for t in times[("ours", "per control larger")]]
    print(f"\nlinear layout: {statistics.median(large) * 1e6:.3f} us per control at "
          f"{info['larger']} controls against {statistics.median(small) * 1e6:.3f} us at "
          f"{info['controls']}: {show_ratio(large, small)} (target: at most 1.5)")
    if "theirs" not in sides:
        print("pygame_gui is not installed: its side was skipped (pip install pygame_gui)")


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--worker":
        worker(sys.argv[2])
    else:
        main()
