"""The quorvelin demo: a window whose colour drifts while the main loop runs.

Keys print their names (Escape quits), clicks print where they landed. Without a
display it runs on SDL's dummy drivers for a fixed number of frames and saves the
last picture to examples/out/demo.png; `--frames N` sets that limit anywhere.
"""
import argparse
import math
import os
import sys

HEADLESS = not os.environ.get("DISPLAY") and not os.environ.get("WAYLAND_DISPLAY")
if HEADLESS:
    os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

try:
    import quorvelin
except Exception:
    # No usable sound device: start again with SDL's dummy audio driver.
    if os.environ.get("SDL_AUDIODRIVER") == "dummy":
        raise
    os.environ["SDL_AUDIODRIVER"] = "dummy"
    os.execv(sys.executable, [sys.executable] + sys.argv)

SIZE = (640, 400)
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")


class Backdrop(quorvelin.Renderer):
    """Fills its target with a colour that drifts with the time it is given."""

    def __init__(self, target):
        quorvelin.Renderer.__init__(self, target)
        self.seconds = 0.0

    def update(self, timeStep):
        self.seconds += timeStep
        quorvelin.Renderer.update(self, timeStep)

    def render(self):
        t = self.seconds
        colour = tuple(int(128 + 100 * math.sin(t * speed + phase))
                       for speed, phase in ((0.9, 0.0), (0.6, 2.0), (0.4, 4.0)))
        self.getTarget().fill(colour)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=120 if HEADLESS else 0,
                        help="stop after this many frames and save a screenshot (0: run until Escape)")
    frames = parser.parse_args().frames

    engine = quorvelin.Engine()
    engine.init("quorvelin demo", SIZE)
    engine.ecs.addSystem(Backdrop(quorvelin.Texture(*SIZE)))

    def on_key(event):
        print("key", engine.getKeyName(event.key))

    def on_click(event):
        print(f"click at ({event.x}, {event.y}) with button {event.button}")

    engine.subscribeEvent(quorvelin.KeyEvent, on_key)
    engine.subscribeEvent(quorvelin.MouseClickEvent, on_click)

    counted = [0]

    def count_frames(timeStep, onDone):
        counted[0] += 1
        if frames and counted[0] >= frames:
            os.makedirs(OUT, exist_ok=True)
            path = os.path.join(OUT, "demo.png")
            engine.saveScreenshot(path)
            print(f"{counted[0]} frames, last picture in {path}")
            engine.quit()
            return True

    engine.addTask(count_frames)
    engine.run(maxFps=60)
    engine.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
