"""UI speed, as ratios against pygame_gui, in one run, for two scenes.

Panels: a tree of about 300 framed panels (rows of list containers in the renderer's
anchored root, each row ten framed panels, each with two framed panels inside).
Widgets: about 300 widgets of every kind: two columns of framed panels, each holding a
button with its caption, a slider and a label, beside a scroll panel that holds a long
list of labels. For each scene:

- UI frame: laid out, updated and drawn: UIRenderer.render() against pygame_gui's
  manager.update plus draw_ui of the same elements (target: at least 3x faster);
- frame with a click: a click pushed into SDL's queue and one Engine.update() (input
  translation routes it down the tree, then the frame runs with the UI as its system
  and shows the picture) against pygame_gui's event processing of the click, update,
  draw and display flip;
- linear layout: the engine's UI frame per widget with about 1,000 widgets against
  about 100 (target: within 1.5x).

Both sides draw framed panels with alpha: the engine a nine-slice skin of a tileset
with transparent corners, pygame_gui its default panels; buttons, sliders and text in
the engine's theme skins and DejaVu Sans, in pygame_gui's default theme and font. Each side runs in a process of
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
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
# The widgets scene: two columns of cells, each a panel with a button, a slider and a
# label; a scroll panel with a list of labels beside them.
CELLS, CELL_SIZE, CELL_ROW = 15, (180, 24), 26
LIST_ROWS, LIST_AT, LIST_SIZE = 140, (400, 10), (220, 380)
WIDGET_CLICK = (10 + 20, 10 + CELL_ROW * 4 + 12)  # on a button's caption
WIDGETS_LINEAR = {"100": (5, 48), "1000": (50, 480)}  # (rows of two cells, list rows)


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


def build_widgets(quorvelin, ui, rows, list_rows):
    """Two columns of `rows` cells (a framed panel holding a button with its caption, a
    slider and a label) and a scroll panel holding `list_rows` labels."""
    def fixed(widget, size):
        widget.sizePolicyX = widget.sizePolicyY = quorvelin.SIZE_FIXED
        widget.width, widget.height = size
        return widget

    count = 1
    for r in range(rows):
        for column in range(2):
            cell = fixed(quorvelin.UIPanel(), CELL_SIZE)
            cell.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
            cell.setPadding(3)
            button = quorvelin.UIButton(f"Go {r}")
            button.marginRight = 4
            slider = fixed(quorvelin.UISlider(r * 7 % 100), (70, 12))
            slider.marginRight = 4
            for widget in (button, slider, quorvelin.UIText(f"#{r}")):
                cell.addChild(widget)
            ui.widget.addChild(cell, 10 + 190 * column, 10 + CELL_ROW * r)
            count += 5  # the cell, the button, its caption, the slider, the label
    rows_list = quorvelin.UIListContainer()
    for r in range(list_rows):
        rows_list.addChild(quorvelin.UIText(f"Row {r} of the list"))
    scrolling = quorvelin.UIScrollPanel(rows_list)
    scrolling.width, scrolling.height = LIST_SIZE
    ui.widget.addChild(scrolling, *LIST_AT)
    return count + list_rows + 3  # the list, the scroll panel, its slider


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

    def click(at=CLICK):
        for kind in (0x401, 0x402):  # button down, button up
            event = ButtonEvent(type=kind, button=1, state=int(kind == 0x401), clicks=1,
                                x=at[0], y=at[1])
            sdl.SDL_PushEvent(ctypes.byref(event))
        engine.update()

    sdl.SDL_WarpMouseInWindow.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    sdl.SDL_GetWindowFromID.restype = ctypes.c_void_p
    sdl.SDL_WarpMouseInWindow(sdl.SDL_GetWindowFromID(1), *CLICK)  # the engine's window
    engine.update()
    click()
    assert clicks, "the click did not reach the panel"

    scene = quorvelin.UIRenderer(quorvelin.Texture(*SIZE), True, theme)
    controls = build_widgets(quorvelin, scene, CELLS, LIST_ROWS)
    pressed = []
    engine.subscribeEvent(quorvelin.ButtonClickEvent, pressed.append)

    def widget_click():
        engine.ecs.removeSystem(ui)
        engine.ecs.addSystem(scene)
        sdl.SDL_WarpMouseInWindow(sdl.SDL_GetWindowFromID(1), *WIDGET_CLICK)
        click(WIDGET_CLICK)
        engine.ecs.removeSystem(scene)
        engine.ecs.addSystem(ui)
        quorvelin.AbstractSystem._setEngine(scene, engine)  # for its frames on their own

    quorvelin.AbstractSystem._setEngine(scene, engine)
    scene.render()  # laid out: the button tests the click against its last layout
    widget_click()
    assert pressed, "the click did not reach the button"

    linear = {}
    for name, (rows, list_rows) in WIDGETS_LINEAR.items():
        made = quorvelin.UIRenderer(quorvelin.Texture(SIZE[0], 20 + CELL_ROW * rows), True, theme)
        quorvelin.AbstractSystem._setEngine(made, engine)
        linear["widgets " + name] = (made, build_widgets(quorvelin, made, rows, list_rows))
    for name, rows in LINEAR.items():
        made = quorvelin.UIRenderer(quorvelin.Texture(SIZE[0], 20 + ROW_HEIGHT * rows), True, theme)
        quorvelin.AbstractSystem._setEngine(made, engine)
        linear[name] = (made, build_tree(quorvelin, made, rows, 11))
    cases = {"frame": ui.render, "click": click, "widgets frame": scene.render,
             "widgets click": widget_click}
    for name, (made, count) in linear.items():
        cases["per widget " + name] = (made.render, count)
    return cases, {"widgets": widgets, "controls": controls,
                   **{name: count for name, (_, count) in linear.items()}}


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
        row = pygame_gui.core.UIContainer(pygame.Rect(10, 10 + ROW_HEIGHT * r, 600, CELL[1]),
                                          manager=manager)
        for c in range(COLUMNS):
            cell = pygame_gui.elements.UIPanel(pygame.Rect(60 * c, 0, *CELL), manager=manager,
                                               container=row)
            for k in range(2):
                pygame_gui.elements.UIPanel(pygame.Rect(4 + 24 * k, 4, *INNER), manager=manager,
                                            container=cell)
    clock_step = 1 / 60

    def frame(manager=manager):
        manager.update(clock_step)
        manager.draw_ui(screen)

    def click(manager=manager, at=CLICK):
        for kind in (pygame.MOUSEBUTTONDOWN, pygame.MOUSEBUTTONUP):
            pygame.event.post(pygame.event.Event(kind, button=1, pos=at))
        for event in pygame.event.get():
            manager.process_events(event)
        frame(manager)
        pygame.display.flip()

    controls = pygame_gui.UIManager(SIZE)
    for r in range(CELLS):
        for column in range(2):
            cell = pygame_gui.elements.UIPanel(
                pygame.Rect(10 + 190 * column, 10 + CELL_ROW * r, *CELL_SIZE), manager=controls)
            pygame_gui.elements.UIButton(pygame.Rect(3, 2, 60, 18), f"Go {r}", manager=controls,
                                         container=cell)
            pygame_gui.elements.UIHorizontalSlider(pygame.Rect(68, 4, 70, 12), r * 7 % 100,
                                                   (0, 100), manager=controls, container=cell)
            pygame_gui.elements.UILabel(pygame.Rect(140, 1, 36, 20), f"#{r}", manager=controls,
                                        container=cell)
    scrolling = pygame_gui.elements.UIScrollingContainer(pygame.Rect(*LIST_AT, *LIST_SIZE),
                                                         manager=controls)
    for r in range(LIST_ROWS):
        pygame_gui.elements.UILabel(pygame.Rect(0, 20 * r, 200, 20), f"Row {r} of the list",
                                    manager=controls, container=scrolling)
    scrolling.set_scrollable_area_dimensions((200, 20 * LIST_ROWS))
    frame(controls)

    return {"frame": frame, "click": click, "widgets frame": lambda: frame(controls),
            "widgets click": lambda: click(controls, WIDGET_CLICK)}, {}


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
    numbers = {"frame": 40, "click": 30, "per widget 100": 200, "per widget 1000": 20,
               "widgets frame": 40, "widgets click": 30, "per widget widgets 100": 200,
               "per widget widgets 1000": 20}
    times = {(side, case): [] for side in ("ours", "theirs") for case in numbers}
    for _ in range(rounds):
        for case, number in numbers.items():
            times[("ours", case)].append(ours.run(case, number))
            if theirs and not case.startswith("per widget"):
                times[("theirs", case)].append(theirs.run(case, number))
    median = {key: statistics.median(values) for key, values in times.items() if values}
    print(f"{rounds} rounds, medians; video: {os.environ.get('SDL_VIDEODRIVER', 'dummy')}")
    for scene, prefix, count in (("panels", "", ours.info["widgets"]),
                                 ("widgets", "widgets ", ours.info["controls"])):
        print(f"\n{scene}: {count} widgets")
        print(f"{'case':44} {'engine us':>10} {'pygame_gui us':>14} {'faster':>7} {'target':>7}")
        for case, label in ((prefix + "frame", "UI frame (render vs update + draw_ui)"),
                            (prefix + "click", "frame with a click (Engine.update)")):
            engine = median[("ours", case)] * 1e6
            if theirs:
                reference = median[("theirs", case)] * 1e6
                ratio = reference / engine
                target = 3.0 if case.endswith("frame") else None
                mark = "" if target is None else ("ok" if ratio >= target else "MISSED")
                target_text = f"{target:.1f}x" if target else "-"
                print(f"{label:44} {engine:10.1f} {reference:14.1f} {ratio:6.2f}x {target_text:>7} {mark}")
            else:
                print(f"{label:44} {engine:10.1f} {'skipped':>14}")
        small = median[("ours", "per widget " + prefix + "100")]
        large = median[("ours", "per widget " + prefix + "1000")]
        growth = large / small
        sizes = ours.info[prefix + "1000"], ours.info[prefix + "100"]
        print(f"{f'linear layout: per widget at {sizes[0]} vs {sizes[1]}':44} "
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
