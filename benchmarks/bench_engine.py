"""Engine frame and event dispatch speed, as ratios against pygame-ce and plain code.

    python benchmarks/bench_engine.py [--rounds N] [--video dummy|x11|both]

- empty frame: `Engine.update()` with no systems, against pygame-ce's event pump, a blit
  of a window-sized picture of the display's own format and `display.flip()` (the copy
  that every engine frame makes when it presents its screen texture); target: within
  1.2x. Also against pump and flip alone.
- frame with an upload: the same with one `Renderer` system whose target is a texture
  of the window's size, so that every frame uploads it before the present (two copies
  of the picture: into the screen texture, then into the window).
- limit: numpy's `copyto` of the window's bytes, the memcpy that a present comes to.
- dispatch: `Engine.fireEvent` to 1, 10 and 100 handlers, against a plain Python
  function that looks the handlers up and calls them in a loop (target: within 2x).

Frames run at 640x480 and 1280x720, on SDL's dummy video driver and on an X server
(Xvfb, started with xvfb-run when there is no DISPLAY) with
SDL_FRAMEBUFFER_ACCELERATION=0, so that both sides present through the window's
framebuffer. Each side runs in a process of its own (pygame-ce brings its own copy of
SDL), driven round by round from here: every round times each case of each side once,
in an order that rotates from round to round; figures are medians of the rounds and
ratios ours / other, medians of the rounds' ratios shown with the lowest and highest
(see rounds.py). pygame-ce and numpy are
benchmark-only dependencies (pip install pygame-ce numpy); without them their columns
are left out.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time

from rounds import median, median_ratio, order, show_ratio

SIZES = [(640, 480), (1280, 720)]
HANDLERS = [1, 10, 100]
SAMPLE_SECONDS = 0.02


# --- the sides, each in a process of its own ---------------------------------------------

def quorvelin_cases(size):
    import quorvelin

    # Two engines, each with its window: one without systems, one whose only system is a
    # renderer with a window-sized target, uploaded every frame.
    engine = quorvelin.Engine()
    engine.init("bench", size)
    uploading = quorvelin.Engine()
    uploading.init("bench upload", size)
    picture = quorvelin.Texture(*size)
    picture.fillChecker()
    uploading.ecs.addSystem(quorvelin.Renderer(picture))

    class Ping(quorvelin.Event):
        pass

    def handler(event):
        pass

    table = quorvelin.Engine._eventSubscribers
    event = Ping()

    def dispatch(count, plain):
        def fire():
            table[Ping] = handlers
            engine.fireEvent(event)

        def plain_fire():
            table[Ping] = handlers
            for h in table.get(type(event), ()):
                h(event)

        handlers = [handler] * count
        return plain_fire if plain else fire

    cases = {"empty frame": engine.update, "upload frame": uploading.update}
    for count in HANDLERS:
        cases[f"fire {count}"] = dispatch(count, False)
        cases[f"plain {count}"] = dispatch(count, True)
    return cases


def pygame_cases(size):
    import pygame

    pygame.display.init()
    screen = pygame.display.set_mode(size)
    picture = pygame.Surface(size).convert()  # the display's own format
    picture.fill((51, 51, 51))

    def flip():
        pygame.event.pump()
        pygame.display.flip()

    def blit_flip():
        pygame.event.pump()
        screen.blit(picture, (0, 0))
        pygame.display.flip()

    return {"flip": flip, "blit flip": blit_flip}


def numpy_cases(size):
    import numpy

    source = numpy.full(size[0] * size[1], 0x333333, numpy.uint32)
    target = numpy.zeros_like(source)
    return {"memcpy": lambda: numpy.copyto(target, source)}


SIDES = {"quorvelin": quorvelin_cases, "pygame": pygame_cases, "numpy": numpy_cases}


def serve(side, size):
    """Answers 'name number' lines with the seconds per call of that many calls."""
    cases = SIDES[side](size)
    print(json.dumps(sorted(cases)), flush=True)
    for line in sys.stdin:
        name, number = line.rsplit(" ", 1)
        call = cases[name]
        start = time.perf_counter()
        for _ in range(int(number)):
            call()
        print((time.perf_counter() - start) / int(number), flush=True)


class Side:
    def __init__(self, side, size, env):
        self.process = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "--serve", side, "%dx%d" % size],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
        first = self.process.stdout.readline()
        if not first:
            raise RuntimeError(f"the {side} side did not start")
        self.cases = json.loads(first)

    def time(self, name, number):
        self.process.stdin.write(f"{name} {number}\n")
        self.process.stdin.flush()
        return float(self.process.stdout.readline())

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def start_sides(size, video):
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", PYGAME_HIDE_SUPPORT_PROMPT="1",
               SDL_FRAMEBUFFER_ACCELERATION="0")
    env["SDL_VIDEODRIVER"] = video
    sides = {}
    for side in SIDES:
        try:
            sides[side] = Side(side, size, env)
        except (RuntimeError, OSError):
            print(f"  ({side} is not available: its column is left out)")
    return sides


def measure(sides, names, rounds):
    """{(side, case): [seconds per call, one per round]}, interleaved round by round."""
    numbers = {}
    for key in names:
        side, name = key
        sides[side].time(name, 3)  # warm-up
        once = sides[side].time(name, 10)
        numbers[key] = max(1, int(SAMPLE_SECONDS / max(once, 1e-9)))
    times = {key: [] for key in names}
    for index in range(rounds):
        for key in order(names, index):
            times[key].append(sides[key[0]].time(key[1], numbers[key]))
    return times


def report_size(size, video, rounds):
    sides = start_sides(size, video)
    names = [(side, name) for side, one in sides.items() for name in one.cases
             if video == "dummy" or side != "quorvelin" or "frame" in name]
    times = measure(sides, names, rounds)
    for side in sides.values():
        side.close()

    def row(label, ours, reference, target=None):
        if reference not in times or ours not in times:
            return
        a, b = median(times[ours]), median(times[reference])
        ratio = median_ratio(times[ours], times[reference])
        mark = "" if target is None else f"{target:.1f}x {'met' if ratio <= target else 'MISSED'}"
        shown = show_ratio(times[ours], times[reference])
        print(f"  {label:52} {a * 1e6:9.2f} {b * 1e6:11.2f} {shown:>18}  {mark}")

    print(f"{'%dx%d' % size}, {video} video driver")
    print(f"  {'case':52} {'ours us':>9} {'other us':>11} {'ours / other':>18}  target")
    row("empty frame vs pygame-ce pump+blit+flip", ("quorvelin", "empty frame"),
        ("pygame", "blit flip"), 1.2)
    row("empty frame vs pygame-ce pump+flip", ("quorvelin", "empty frame"), ("pygame", "flip"))
    row("empty frame vs memcpy of the window", ("quorvelin", "empty frame"), ("numpy", "memcpy"))
    row("upload frame vs pygame-ce pump+blit+flip", ("quorvelin", "upload frame"),
        ("pygame", "blit flip"))
    row("upload frame vs memcpy of the window", ("quorvelin", "upload frame"), ("numpy", "memcpy"))
    row("pygame-ce pump+blit+flip vs memcpy of the window", ("pygame", "blit flip"),
        ("numpy", "memcpy"))
    if video == "dummy":
        for count in HANDLERS:
            row(f"fireEvent, {count} handler(s) vs plain loop", ("quorvelin", f"fire {count}"),
                ("quorvelin", f"plain {count}"), 2.0)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--video", choices=["dummy", "x11", "both"], default="both")
    parser.add_argument("--serve", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.serve:
        serve(args.serve[0], tuple(int(n) for n in args.serve[1].split("x")))
        return 0
    print(f"Python {sys.version.split()[0]}; median of {args.rounds} rounds")
    if args.video in ("dummy", "both"):
        for size in SIZES:
            report_size(size, "dummy", args.rounds)
    if args.video in ("x11", "both"):
        if os.environ.get("DISPLAY"):
            for size in SIZES:
                report_size(size, "x11", args.rounds)
        elif shutil.which("xvfb-run"):
            sys.stdout.flush()
            subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", sys.executable,
                            os.path.abspath(__file__), "--video", "x11", "--rounds",
                            str(args.rounds)], check=True)
        else:
            print("no DISPLAY and no xvfb-run: the X11 figures are left out")
    return 0


if __name__ == "__main__":
    sys.exit(main())
