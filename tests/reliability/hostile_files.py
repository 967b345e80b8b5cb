"""Every loader and saver of the engine given file-system objects that are not plain
files, run in a child process (see test_hostile_files.py).

`main(operation, folder)` makes each source of the operation's table in `folder` and
calls the operation on it, with the address space limited to what the process holds
then and 1 GiB more (a form that leaves the sanitizer's reserved ranges alone), so a
read without end fails on memory. It prints "START <source>" before each call, so
that a hang or a crash names its case, and then one JSON line per call: the source,
the outcome ("returned" or the exception's type name and message) and the seconds the
call took; "DONE" at the end.

A FIFO's other end is a thread of the same process, so an operation that waits for it
while holding the interpreter lock never returns: a writer for the loaders (a short one
that writes 100 bytes, an endless one that writes until the pipe breaks), a reader for
the savers (a short one that reads 10 bytes, an endless one that reads to the end).
"""
import json
import os
import random
import resource
import signal
import threading
import time

import quorvelin
from quorvelin import Engine, Font, Level, Music, Sound, Texture, UITheme

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOT = os.geteuid() == 0
HEADER = '{"width": 3, "height": 2}'


def thread(work):
    threading.Thread(target=work, daemon=True).start()


def writer(path, endless):
    def write():
        try:
            with open(path, "wb") as pipe:
                pipe.write(b"\0" * 100)
                while endless:
                    pipe.write(b"\1" * 65536)
        except OSError:
            pass  # the reader has gone
    thread(write)


def reader(path, endless):
    def read():
        with open(path, "rb") as pipe:
            while pipe.read(10 if not endless else 65536) and endless:
                pass
    thread(read)


def fifo(path, other_end, endless):
    os.mkfifo(path)
    other_end(path, endless)
    return path


def link(path, target):
    os.symlink(target, path)
    return path


def unreadable(path):
    with open(path, "wb") as file:
        file.write(b"\0" * 100)
    os.chmod(path, 0)
    return path


def read_only_folder(path):
    os.mkdir(path)
    os.chmod(path, 0o500)
    return os.path.join(path, "file.lvl")


def long_name(path):
    """The path with a folder name far beyond the system's limit before its last part."""
    return os.path.join(os.path.dirname(path), "x" * 5000, os.path.basename(path))


def loop(path):
    os.symlink(path + ".other", path)
    os.symlink(path, path + ".other")
    return path


# Each source: what it is made of, given a fresh path; the path to hand the operation.
SOURCES = {
    "load": {
        "a directory": lambda p: (os.mkdir(p), p)[1],
        "/dev/zero": lambda p: link(p, "/dev/zero"),
        "/dev/urandom": lambda p: link(p, "/dev/urandom"),
        "a file whose reads fail (/proc/self/mem)": lambda p: link(p, "/proc/self/mem"),
        "a FIFO with a short writer": lambda p: fifo(p, writer, False),
        "a FIFO with an endless writer": lambda p: fifo(p, writer, True),
        "a symlink loop": loop,
        "a very long name": long_name,
    },
    "save": {
        "a directory": lambda p: (os.mkdir(p), p)[1],
        "/dev/zero": lambda p: link(p, "/dev/zero"),
        "/dev/full": lambda p: link(p, "/dev/full"),
        "a FIFO with a short reader": lambda p: fifo(p, reader, False),
        "a FIFO with an endless reader": lambda p: fifo(p, reader, True),
        "a symlink loop": loop,
        "a very long name": long_name,
    },
}

# Sources that only permissions make, which do not hold for root.
PERMISSION_SOURCES = {
    "load": {"an unreadable file": unreadable},
    "save": {"a read-only folder": read_only_folder},
}


def level_cells(path):
    """A level whose cell file is the hostile source and whose header is plain."""
    with open(path + ".json", "w") as file:
        file.write(HEADER)
    return Level(path)


class Context:
    """What the operations need besides the path, made before the address space is
    limited."""

    def __init__(self, folder, operation):
        self.engine = self.level = None
        if "Engine" in operation:
            self.engine = Engine()
            self.engine.init("files", (32, 24))
            self.engine.update()
        if operation == "Level.saveFile":
            path = os.path.join(folder, "plain.lvl")
            with open(path, "wb") as file:
                file.write(bytes(42))
            self.level = level_cells(path)


# Each operation: (the kind of its sources, the suffix of the source's path, its call
# on the path of the source, the exceptions it documents).
LOAD_ERRORS = (OSError,)
LEVEL_ERRORS = (OSError, UnicodeDecodeError, quorvelin.LevelFormatException)
OPERATIONS = {
    "Texture": ("load", "", lambda c, p: Texture(p), LOAD_ERRORS),
    "Sound": ("load", "", lambda c, p: Sound(p), LOAD_ERRORS),
    "Music": ("load", "", lambda c, p: Music(p), LOAD_ERRORS),
    "Font": ("load", "", lambda c, p: Font(p, 12), LOAD_ERRORS),
    "Level, its header": ("load", ".json", lambda c, p: Level(p[:-len(".json")]), LEVEL_ERRORS),
    "Level, its cells": ("load", "", lambda c, p: level_cells(p), LEVEL_ERRORS),
    "UITheme": ("load", "", lambda c, p: UITheme(p), (OSError, ValueError)),
    # A picture that cannot be loaded leaves the icon as it is.
    "Engine.setWindowIcon": ("load", "", lambda c, p: c.engine.setWindowIcon(p), ()),
    "Texture.saveFile": ("save", "", lambda c, p: Texture(4, 4).saveFile(p), LOAD_ERRORS),
    "Level.saveFile": ("save", "", lambda c, p: c.level.saveFile(p), LOAD_ERRORS),
    "Engine.saveScreenshot": ("save", "", lambda c, p: c.engine.saveScreenshot(p),
                              (quorvelin.EngineSdlException,)),
}


def sources(operation, permissions):
    kind = OPERATIONS[operation][0]
    return (PERMISSION_SOURCES if permissions else SOURCES)[kind]


def address_space():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmSize:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmSize")


def main(operation, folder, permissions=False):
    """Runs the operation on each of its sources, or on those that permissions make."""
    kind, suffix, call, documented = OPERATIONS[operation]
    context = Context(folder, operation)
    limit = address_space() + (1 << 30)
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    for number, (source, make) in enumerate(sources(operation, permissions).items()):
        print("START", source, flush=True)
        path = make(os.path.join(folder, f"case{number}.lvl{suffix}"))
        start = time.monotonic()
        try:
            call(context, path)
            outcome = "returned"
        except documented as error:
            outcome = f"{type(error).__name__}: {error}"
        except BaseException as error:  # noqa: B902 (reported as a fault)
            outcome = f"UNDOCUMENTED {type(error).__name__}: {error}"
        seconds = time.monotonic() - start
        print(json.dumps({"source": source, "outcome": outcome, "seconds": seconds}), flush=True)
    print("DONE", flush=True)


# --- Waits that only a signal ends ------------------------------------------------------
# A FIFO whose other end opens it and then stalls: a writer that writes 10 bytes and
# holds it open, a reader that never reads. The engine waits for the system, as the
# host's open() does, and Ctrl-C ends the wait as it ends open()'s.

def stalled_writer(path):
    os.mkfifo(path)

    def write():
        with open(path, "wb") as pipe:
            pipe.write(bytes(10))
            pipe.flush()
            time.sleep(3600)
    thread(write)
    return path


def stalled_reader(path):
    os.mkfifo(path)

    def read():
        with open(path, "rb"):
            time.sleep(3600)
    thread(read)
    return path


def large_level(folder):
    """A level whose cells (280 KB) are more than a pipe holds."""
    path = os.path.join(folder, "large.lvl")
    with open(path + ".json", "w") as file:
        file.write('{"width": 200, "height": 200}')
    with open(path, "wb") as file:
        file.write(bytes(200 * 200 * 7))
    return Level(path)


def noisy_texture(folder):
    """A texture whose PNG (some 260 KB) is more than a pipe holds."""
    from media.files import write_png
    path = os.path.join(folder, "noise.png")
    noise = random.Random(1)
    write_png(path, 256, 256, [noise.getrandbits(32) for _ in range(256 * 256)])
    return Texture(path)


# Each: the source's maker; what is made before the wait, given the folder; the call.
STALLED = {
    "Level, its cells": (stalled_writer, lambda folder: None, lambda made, p: level_cells(p)),
    "Level.saveFile": (stalled_reader, large_level, lambda level, p: level.saveFile(p)),
    "Texture.saveFile": (stalled_reader, noisy_texture, lambda texture, p: texture.saveFile(p)),
}


class Interrupted(Exception):
    """What the child's Ctrl-C raises."""


def interrupt(operation, folder):
    """Calls the operation on its stalled FIFO while SIGINT comes to the main thread
    every 0.2 s, and prints what ended the call: "interrupted" when the handler's
    exception did."""
    make_source, prepare, call = STALLED[operation]
    made = prepare(folder)
    path = make_source(os.path.join(folder, "stalled.lvl"))
    raised = []

    def handler(number, frame):
        if not raised:  # once: the signals still on their way find the call over
            raised.append(number)
            raise Interrupted

    signal.signal(signal.SIGINT, handler)
    over = threading.Event()
    main = threading.main_thread().ident

    def send():
        while not over.wait(0.2):
            signal.pthread_kill(main, signal.SIGINT)
    thread(send)
    try:
        call(made, path)
        outcome = "returned"
    except Interrupted:
        outcome = "interrupted"
    finally:
        over.set()
    print(outcome, flush=True)
