"""Runs the Python examples of a Markdown page the way a reader would: in one fresh
interpreter, in a directory of its own, block after block in one namespace.

Fenced blocks whose info string starts with `python` are executed; `pycon` blocks are
interactive sessions whose printed results are compared (doctest). A second word marks
a block: `fragment` (shown, never run), `assets` (run on its own page, and in a
namespace of its own before every other page, so that pages find the files it writes).
Every other fence (`sh`, `json`, `text` ...) is only read.

A main loop never ends by itself, so the runner plays the game a little: a task queued
on the engine's shared task list counts the frames of each block, holds the arrow and
WASD keys down and moves the mouse for a while, presses Space, clicks the middle of the
screen, and then asks SDL to close the window, which ends `Engine.run` as a user
closing it would.

    python manual_runner.py PAGE WORKDIR [ASSET_PAGE]
"""
import doctest
import importlib.util
import linecache
import os
import re
import sys
import threading
import traceback

FENCE = re.compile(r"^```(.*)$")
RUN = {"python", "pycon"}
MARKS = {"fragment", "assets"}

# Frames of one block at which the runner plays: the window closes at CLOSE.
HOLD_FROM, SPACE_AT, CLICK_AT, CLOSE = 10, 20, 25, 45
HELD = ("KEY_UP", "KEY_LEFT", "KEY_W", "KEY_A")


class Block:
    def __init__(self, language, marks, code, line):
        self.language, self.marks, self.code, self.line = language, marks, code, line

    @property
    def runs(self):
        return self.language in RUN and "fragment" not in self.marks


def blocks(path):
    """The fenced blocks of a Markdown file, with the line of their first code line."""
    found, current = [], None
    with open(path, encoding="utf-8") as file:
        for number, text in enumerate(file, 1):
            fence = FENCE.match(text.rstrip("\n"))
            if current is None and fence:
                words = fence.group(1).split()
                language, marks = (words[0] if words else ""), set(words[1:])
                if language in RUN and not marks <= MARKS:
                    raise ValueError(f"{path}:{number}: unknown marks {sorted(marks - MARKS)}")
                current = Block(language, marks, [], number + 1)
            elif current is not None and fence and not fence.group(1).strip():
                current.code = "".join(current.code)
                found.append(current)
                current = None
            elif current is not None:
                current.code.append(text)
    if current is not None:
        raise ValueError(f"{path}:{current.line - 1}: the block is never closed")
    return found


def _sdlinput():
    """The helpers that push events into the SDL library that the engine itself uses."""
    path = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        "engine", "sdlinput.py")
    spec = importlib.util.spec_from_file_location("sdlinput", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


class Player:
    """The task that plays along with every block (see the module's text)."""

    def __init__(self, quorvelin, sdlinput):
        self.quorvelin, self.sdlinput = quorvelin, sdlinput
        self.frames, self.keys = 0, None

    def reset(self):
        self.release()
        self.frames = 0

    def release(self):
        if self.keys is not None:
            self.keys.__exit__(None, None, None)
            self.keys = None

    def __call__(self, timeStep, onDone):
        q, sdl = self.quorvelin, self.sdlinput
        self.frames += 1
        if HOLD_FROM <= self.frames < CLOSE:
            sdl.motion(3, 0)  # the mouse moves right a little every frame
        if self.frames == HOLD_FROM:
            self.keys = sdl.held_keys(*(getattr(q, name) for name in HELD)).__enter__()
        elif self.frames == SPACE_AT:
            sdl.key_down(q.KEY_SPACE)
        elif self.frames == CLICK_AT:
            for engine in _running_engines(q):
                width, height = engine.getWindowSize()
                sdl.click(width // 2, height // 2)
                break
        elif self.frames == CLOSE:
            self.release()
            sdl.quit_request()
        return False


def _running_engines(quorvelin):
    import gc
    return [o for o in gc.get_objects() if isinstance(o, quorvelin.Engine) and o.isRunning()]


def _register(name, code):
    """Lets tracebacks and the debugger show the lines of a block."""
    lines = code.splitlines(True)
    linecache.cache[name] = (len(code), None, lines, name)


def run_block(block, namespace, name, player):
    player.reset()
    _keep_playing(player.quorvelin, player)
    try:
        if block.language == "python":
            source = "\n" * (block.line - 1) + block.code
            _register(name, source)
            exec(compile(source, name, "exec"), namespace)
            return True
        parser, runner = doctest.DocTestParser(), doctest.DocTestRunner(
            optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
        test = parser.get_doctest(block.code, namespace, name, name, block.line - 1)
        result = runner.run(test, clear_globs=False)
        namespace.update(test.globs)  # the test ran in a copy
        return result.failed == 0
    finally:
        player.release()


def _keep_playing(quorvelin, player):
    """Queues the player once: examples may empty the shared task list."""
    if not any(task is player for task, _ in quorvelin.Engine._tasks):
        quorvelin.Engine._tasks.append((player, None))


class Swallowed:
    """Errors that never reach the block's own code: those the engine prints as
    unraisable (a handler that failed during input, a failed drawing pass) and those of
    threads. They fail the block all the same."""

    def __init__(self):
        self.errors = []
        sys.unraisablehook = self.unraisable
        threading.excepthook = self.thread

    def unraisable(self, report):
        self.errors.append(f"{report.err_msg or 'Exception ignored in'}: {report.object!r}")
        sys.__unraisablehook__(report)

    def thread(self, report):
        self.errors.append(f"in thread {report.thread.name}")
        threading.__excepthook__(report)

    def take(self):
        errors, self.errors = self.errors, []
        return errors


def run_page(page, workdir, asset_page=None):
    """Runs every example of `page` in `workdir`; returns the number of failed blocks."""
    os.chdir(workdir)
    swallowed = Swallowed()
    sdlinput = _sdlinput()
    import quorvelin
    player = Player(quorvelin, sdlinput)
    plan = []
    if asset_page and os.path.abspath(asset_page) != os.path.abspath(page):
        plan += [(asset_page, b, {"__name__": "__assets__"}) for b in blocks(asset_page)
                 if b.runs and "assets" in b.marks]
    namespace = {"__name__": "__main__"}
    plan += [(page, b, namespace) for b in blocks(page) if b.runs]
    failed = 0
    for path, block, globals_ in plan:
        name = f"{os.path.basename(path)}:{block.line}"
        try:
            ok = run_block(block, globals_, name, player)
        except BaseException:
            traceback.print_exc()
            ok = False
        for error in swallowed.take():
            print(f"swallowed error: {error}", file=sys.stderr)
            ok = False
        if not ok:
            print(f"FAILED: the example at {path}:{block.line}", file=sys.stderr)
            failed += 1
            break  # later blocks build on this one
        sys.stdout.flush()
    print(f"{page}: {len(plan)} blocks, {failed} failed")
    return failed


if __name__ == "__main__":
    sys.exit(1 if run_page(*sys.argv[1:]) else 0)
