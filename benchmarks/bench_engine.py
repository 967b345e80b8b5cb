"""Engine frame and event dispatch speed, as ratios against reference code.

- empty frame: Engine.update() with no systems, against pygame's event pump plus
  display.flip on a window of the same size (target: within 1.2x of pygame), and
  against the same plus a blit of a window-sized picture, which is the copy that
  every engine frame makes when it presents its screen texture;
- dispatch: Engine.fireEvent to 1, 10 and 100 handlers, against a plain Python
  function that looks the handlers up and calls them in a loop (target: within 2x).

Run with a display:  xvfb-run -a python benchmarks/bench_engine.py
Run headless:        python benchmarks/bench_engine.py  (dummy video driver, where
pygame's flip presents nothing, so the first frame ratio is not meaningful there)
(pygame is a benchmark-only dependency: pip install pygame). Each side runs in a
process of its own, since pygame brings its own copy of SDL. Each figure is the
best of several timeit repeats, per call.
"""

import json
import os
import subprocess
import sys
import timeit

SIZE = (640, 400)
HANDLERS = [1, 10, 100]
REPEAT = 7


def best(statement, number):
    return min(timeit.repeat(statement, number=number, repeat=REPEAT)) / number


def quorvelin_figures():
    import quorvelin

    engine = quorvelin.Engine()
    engine.init("bench", SIZE)
    figures = {"frame": best(engine.update, 2000)}

    class Ping(quorvelin.Event):
        pass

    def handler(event):
        pass

    table = quorvelin.Engine._eventSubscribers

    def plain_fire(evt):
        for h in table.get(type(evt), ()):
            h(evt)

    event = Ping()
    for count in HANDLERS:
        table[Ping] = [handler] * count
        number = 200_000 // count
        figures[f"fire {count}"] = best(lambda: engine.fireEvent(event), number)
        figures[f"plain {count}"] = best(lambda: plain_fire(event), number)
    return figures


def pygame_figures():
    import pygame

    pygame.display.init()
    screen = pygame.display.set_mode(SIZE)
    picture = pygame.Surface(SIZE, 0, 32)

    def frame():
        pygame.event.pump()
        pygame.display.flip()

    def frame_with_picture():
        pygame.event.pump()
        screen.blit(picture, (0, 0))
        pygame.display.flip()

    return {"frame": best(frame, 2000), "picture frame": best(frame_with_picture, 2000)}


def measure(side):
    # With a display (e.g. under xvfb-run) both sides present to a real window. On the
    # dummy video driver pygame's flip presents nothing at all, while the engine still
    # copies its screen texture to the window surface, so that ratio says little.
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", PYGAME_HIDE_SUPPORT_PROMPT="1")
    if not os.environ.get("DISPLAY"):
        env["SDL_VIDEODRIVER"] = "dummy"
    out = subprocess.run([sys.executable, __file__, side], env=env, check=True,
                         capture_output=True, text=True).stdout
    return json.loads(out.splitlines()[-1])


def main():
    ours, theirs = measure("quorvelin"), measure("pygame")
    rows = [("empty frame (update vs pump+flip)", ours["frame"], theirs["frame"], 1.2),
            ("empty frame (update vs pump+blit+flip)", ours["frame"], theirs["picture frame"], 1.2)]
    for count in HANDLERS:
        rows.append((f"fireEvent, {count} handler(s) (vs plain loop)", ours[f"fire {count}"],
                     ours[f"plain {count}"], 2.0))
    video = "X11 display" if os.environ.get("DISPLAY") else "dummy video driver"
    print(f"video: {video}")
    print(f"{'case':48} {'engine us':>10} {'reference us':>13} {'ratio':>6} {'target':>7}")
    for name, engine, reference, target in rows:
        ratio = engine / reference
        mark = "ok" if ratio <= target else "MISSED"
        print(f"{name:48} {engine * 1e6:10.2f} {reference * 1e6:13.2f} {ratio:6.2f} {target:6.1f}x {mark}")


if __name__ == "__main__":
    if len(sys.argv) > 1:
        figures = quorvelin_figures() if sys.argv[1] == "quorvelin" else pygame_figures()
        print(json.dumps(figures))
    else:
        main()
