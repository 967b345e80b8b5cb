"""A seeded mutation fuzz of every file the engine loads, run in a child process by
test_loader_fuzz: small valid files of one kind (images, a font, sounds, music, a level
pair, a theme) are mutated byte by byte (bits flipped, bytes set to extremes, 16- and
32-bit fields set to extremes, runs cut out, repeated or zeroed, the file cut short)
or, for JSON, value by value (values at any depth replaced by odd ones or removed),
then loaded and used the way the engine uses them. Only Python exceptions may come out;
a crash, a hang or a sanitizer report ends the process, and the last "CASE" line on
standard error names the file that did it.

Prints "DONE <kind> <loaded> <refused>" at the end: how many mutated files loaded and
how many were refused."""
import contextlib
import io
import json
import os
import random
import resource
import struct
import sys
import time

import quorvelin

EXTREMES = [0, 1, 0x7F, 0x80, 0xFF]
LARGEST_MEMORY = 2 << 30
WIDE_EXTREMES = [0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF]


def mutate(rng, data):
    """`data` changed in one to four places."""
    data = bytearray(data)
    for _ in range(rng.randrange(1, 5)):
        if not data:
            break
        at = rng.randrange(len(data))
        kind = rng.randrange(7)
        if kind == 0:
            data[at] ^= 1 << rng.randrange(8)
        elif kind == 1:
            data[at] = rng.choice(EXTREMES)
        elif kind == 2:
            size, form = rng.choice([(2, "<H"), (2, ">H"), (4, "<I"), (4, ">I")])
            value = rng.choice(WIDE_EXTREMES) & (0xFFFF if size == 2 else 0xFFFFFFFF)
            data[at:at + size] = struct.pack(form, value)[:len(data) - at]
        elif kind == 3:
            del data[at:at + rng.randrange(1, 64)]
        elif kind == 4:
            run = data[at:at + rng.randrange(1, 64)]
            data[at:at] = run * rng.randrange(1, 4)
        elif kind == 5:
            data[at:at + rng.randrange(1, 16)] = bytes(min(16, len(data) - at))
        else:
            del data[at:]
    return bytes(data)


ODD_VALUES = [0, -1, 1, 2**31 - 1, 2**31, -2**31, 2**63, 1e308, -1e308, 0.5, "", "x", None, True,
              [], {}, [0, 0], "FFFFFFFF", "tiles.png"]


def mutate_json(rng, data):
    """A JSON text with one to three of its values (at any depth) replaced by odd ones;
    the bytes mutated instead when the text is no JSON."""
    try:
        document = json.loads(data)
    except ValueError:
        return mutate(rng, data)
    for _ in range(rng.randrange(1, 4)):
        holder, key = None, None
        node = document
        while isinstance(node, (dict, list)) and node and rng.randrange(4):
            holder = node
            key = rng.choice(list(node)) if isinstance(node, dict) else rng.randrange(len(node))
            node = node[key]
        if holder is not None:
            if isinstance(holder, dict) and rng.randrange(4) == 0:
                del holder[key]
            else:
                holder[key] = rng.choice(ODD_VALUES)
    return json.dumps(document).encode()


def changed(rng, name, data):
    """A mutation of `data`: a JSON file's values half of the time, else its bytes."""
    if name.endswith(".json") and rng.randrange(2):
        return mutate_json(rng, data)
    return mutate(rng, data)


def write(path, data):
    with open(path, "wb") as file:
        file.write(data)


def read(path):
    with open(path, "rb") as file:
        return file.read()


# --- how each kind is loaded and used ------------------------------------------------------

def use_image(path):
    texture = quorvelin.Texture(path)
    target = quorvelin.Texture(8, 8)
    target.copyFrom(texture)
    texture.getSize()


def use_font(path):
    font = quorvelin.Font(path, 12)
    font.getRenderedTextSize("Hi, fuzz!")
    font.render("Hi, fuzz!", (255, 255, 255))
    font.renderLines(["Hi", "", "fuzz"], (1, 2, 3, 4))


def use_sound(path):
    handle = quorvelin.Sound(path).play()
    time.sleep(0.005)  # the mixer's thread mixes some of it
    handle.stop()


def use_music(path):
    music = quorvelin.Music(path)
    music.play(0.01)  # started and sought
    time.sleep(0.01)  # the mixer's thread decodes some of it
    music.stop()


def use_level(path):
    level = quorvelin.Level(path)
    level.getBlock(0, 0) if level.width and level.height else None
    level.saveFile(path + ".saved")


class Mouse(quorvelin.Engine):
    """What a UI frame asks its engine: a mouse over the widgets, its button down."""

    def getMousePos(self):
        return (5, 5)

    def isMouseButtonPressed(self, button):
        return True


def use_theme(path):
    theme = quorvelin.UITheme(path)
    ui = quorvelin.UIRenderer(quorvelin.Texture(64, 48), True, theme)
    ui._engine = Mouse()
    for widget in (quorvelin.UIPanel(), quorvelin.UIButton("go"), quorvelin.UIText("text"),
                   quorvelin.UISlider(quorvelin.SLIDER_ORIENTATION_HORIZONTAL),
                   quorvelin.UIScrollPanel(quorvelin.UIText("scrolled"))):
        ui.widget.addChild(widget, 2, 3)
    ui.render()


USES = {"image": use_image, "font": use_font, "sound": use_sound, "music": use_music,
        "level": use_level, "theme": use_theme}


def run(kind, seeds, rounds, seed, folder):
    """`seeds`: (file name, bytes, and for a level its header's suffix and bytes)."""
    rng = random.Random(seed)
    use = USES[kind]
    loaded = refused = 0
    for number in range(rounds):
        name, data, header = rng.choice(seeds)
        path = os.path.join(folder, f"{number}-{name}")
        write(path, changed(rng, name, data) if header is None or rng.randrange(2) else data)
        if header is not None:
            suffix, text = header
            write(path + suffix, changed(rng, suffix, text) if rng.randrange(2) else text)
        print(f"CASE {kind} {seed} {number} {path}", file=sys.stderr, flush=True)
        try:
            with contextlib.redirect_stdout(io.StringIO()):
                use(path)
            loaded += 1
        except Exception:
            refused += 1
        for leftover in (path, path + ".json", path + ".saved", path + ".saved.json"):
            if os.path.exists(leftover):
                os.remove(leftover)
    print(f"DONE {kind} {loaded} {refused}")


def main(kind, folder, rounds, seed):
    """Mutates the seeds that `folder`/seeds.json lists for `kind` ([name, header suffix
    or null]), writing the mutated files into `folder` beside them."""
    if "libasan" not in os.environ.get("LD_PRELOAD", ""):
        # A few bytes can ask for gigabytes (an image of 20000 x 40000 pixels): such a
        # file fails as an allocation does on a smaller machine, and soon. Under the
        # sanitizer its own allocation limit serves (set by the parent).
        resource.setrlimit(resource.RLIMIT_AS, (LARGEST_MEMORY, LARGEST_MEMORY))
    with open(os.path.join(folder, "seeds.json")) as listing:
        listed = json.load(listing)
    seeds = [(name, read(os.path.join(folder, name)),
              (suffix, read(os.path.join(folder, name + suffix))) if suffix else None)
             for name, suffix in listed[kind]]
    run(kind, seeds, rounds, seed, folder)
