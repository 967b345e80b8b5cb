"""A seeded fuzz of level file pairs, run in a child process by test_level_fuzz: a
valid pair (textures, a sprite sheet, entities, fogs) is mutated (header values,
types and keys; the header text cut or not an object; the cell file cut, lengthened,
bit-flipped, with texture indices beyond the texture count), then loaded, read,
printed, saved, reloaded and synced, each step on its own. Only Python exceptions may
come out; SystemError is the host reporting a C function that broke its error
protocol, and a crash or a sanitizer report ends the process. Whatever loads must keep
its grid whole: the saved cell file holds exactly width x height x 7 bytes.

Prints "BAD <case>: <error>" for each fault and "DONE <count>" at the end."""
import contextlib
import io
import json
import os
import random
import resource
import sys

from quorvelin import Ecs, Entity, Level, PositionComponent, SpriteComponent, Texture

SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")
IMAGES = ["wall.png", "floor.png", "sheet.png"]
# Sizes whose grid either fits easily or cannot be had at all: 2**31 - 1 times
# anything but 0 is more than the process may allocate.
NUMBERS = [0, 1, 2, 3, 5, -1, -2**31, 2**31 - 1, 2**31, 2**63, 1.5, -0.5, True, False, 1e308]
ODD_VALUES = [None, "3", "", [], {}, [1, 2], [1, 2, 3, 4], {"x": 1}, "wall.png", [[]], -1]
HEADER_KEYS = ["width", "height", "fogColor", "groundFogColor", "fogDensity", "groundFogDensity",
               "skytex", "textures", "sprites", "entities"]
COMPONENT_NAMES = ["position", "velocity", "rotation", "collision", "sprite", "fuzzed", "id"]


def limit_memory():
    """As the hostile run: huge grids fail as allocations do on an ordinary machine.
    Under the sanitizer its own allocation limit serves (set by the parent)."""
    if not SANITIZED:
        limit = 4 << 30
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


class Maker:
    def __init__(self, rng, folder):
        self.rng, self.folder = rng, folder

    def value(self, depth=0):
        rng = self.rng
        kinds = [lambda: rng.choice(NUMBERS), lambda: rng.choice(ODD_VALUES),
                 lambda: rng.randrange(-3, 300)]
        if depth < 2:
            kinds += [lambda: [self.value(depth + 1) for _ in range(rng.randrange(4))],
                      lambda: {rng.choice(["x", "y", "sprite", "frames", "texture", "_z"]):
                               self.value(depth + 1) for _ in range(rng.randrange(4))}]
        return rng.choice(kinds)()

    def valid_header(self):
        rng = self.rng
        width, height = rng.randrange(0, 7), rng.randrange(0, 7)
        header = {"width": width, "height": height,
                  "textures": [rng.choice(IMAGES[:2]) for _ in range(rng.randrange(0, 4))],
                  "fogColor": [rng.randrange(256) for _ in range(3)],
                  "fogDensity": rng.randrange(-5, 20)}
        if rng.random() < 0.5:
            header["skytex"] = "wall.png"
        if rng.random() < 0.7:
            header["sprites"] = [{"texture": "sheet.png", "xFrames": 2, "yFrames": 2,
                                  "animations": {"walk": {"frames": 2, "speed": 0.5},
                                                 "idle": {"frames": 1, "startFrame": 3}}}]
        entities = []
        for _ in range(rng.randrange(0, 4)):
            entry = {"id": rng.randrange(-1, 50)}
            for name in rng.sample(COMPONENT_NAMES, rng.randrange(0, 4)):
                entry[name] = {
                    "position": {"x": 1.5, "y": 2}, "velocity": {"x": 0, "y": 1},
                    "rotation": {"x": 1, "y": 0}, "collision": {"radius": 0.5},
                    "sprite": {"sprite": 0, "currentAnimation": "walk"},
                    "fuzzed": {"a": [1, {"_b": 2}]}, "id": 3}[name]
            entities.append(entry)
        header["entities"] = entities
        return header

    def mutate_header(self, header):
        rng = self.rng
        for _ in range(rng.randrange(0, 4)):
            action = rng.choice(["value", "delete", "add", "nested"])
            key = rng.choice(HEADER_KEYS)
            if action == "value":
                header[key] = self.value()
            elif action == "delete":
                header.pop(key, None)
            elif action == "add":
                header[rng.choice(["extra", "width ", "Width", key])] = self.value()
            elif isinstance(header.get(key), list) and header[key]:
                entry = rng.choice(header[key])
                if isinstance(entry, dict) and entry:
                    entry[rng.choice(list(entry))] = self.value()
        return header

    def header_text(self, header):
        rng = self.rng
        text = json.dumps(header)
        choice = rng.random()
        if choice < 0.05:
            return text[:rng.randrange(len(text) + 1)].encode()
        if choice < 0.08:
            return rng.choice([b"null", b"[1, 2]", b'"width"', b"7", b"\xff\xfe{}", b""])
        if choice < 0.1:
            return "\ufeff".encode() + text.encode()
        return text.encode()

    def cell_bytes(self, header):
        rng = self.rng
        try:
            size = max(0, int(header["width"]) * int(header["height"]) * 7)
        except Exception:
            size = rng.randrange(0, 64)
        size = min(size, 4096)
        data = bytearray(rng.choice([0, 1, 2, 3, 255]) for _ in range(size))
        choice = rng.random()
        if choice < 0.2:
            del data[rng.randrange(len(data) + 1):]
        elif choice < 0.35:
            data += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 40)))
        elif choice < 0.6 and data:
            for _ in range(rng.randrange(1, 8)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
        elif choice < 0.7:
            data = bytearray(rng.randrange(256) for _ in range(len(data)))
        return bytes(data)

    def write_pair(self, name):
        header = self.mutate_header(self.valid_header())
        path = os.path.join(self.folder, name)
        with open(path + ".json", "wb") as file:
            file.write(self.header_text(header))
        with open(path, "wb") as file:
            file.write(self.cell_bytes(header))
        return path


def steps(level, maker, scratch):
    rng = maker.rng

    def saved_grid_is_whole():
        level.saveFile(scratch)
        size = os.path.getsize(scratch)
        if size != level.width * level.height * 7:
            raise AssertionError(f"saved {size} bytes of a {level.width} x {level.height} grid")
        Level(scratch)

    coordinates = lambda: (rng.randrange(-1, 8), rng.randrange(-1, 8))  # noqa: E731
    yield lambda: level.getBlock(*coordinates())
    yield lambda: level.setBlock(rng.randrange(-300, 300), *coordinates())
    yield lambda: level.getTextureIndex(rng.randrange(-1, 8), *coordinates())
    yield lambda: level.setTextureIndex(rng.randrange(256), rng.randrange(8), *coordinates())
    yield lambda: level.getTexture(rng.randrange(8), *coordinates())
    yield lambda: (level.getSize(), level.fogColor, level.groundFogColor, level.fogDensity)
    yield lambda: setattr(level, "fogColor", maker.value())
    yield level.printLevel
    yield saved_grid_is_whole
    yield lambda: level.getEntities(PositionComponent, SpriteComponent)
    yield lambda: level.addEntityFromJson(maker.value() if rng.random() < 0.5 else
                                          {"id": 1, "position": {"x": 0, "y": 0}})
    yield lambda: level.removeEntityFromJson(rng.choice(level._entities or [Entity()]))
    yield lambda: level.syncEntitiesToEcs(Ecs(None))
    yield lambda: level.syncEntitiesFromEcs(Ecs(None))
    yield lambda: level._dumpToDict(level.metadata)
    yield lambda: level._loadFromFile(maker.write_pair("again.lvl"))
    yield saved_grid_is_whole


def main(seed, rounds, folder):
    limit_memory()
    os.chdir(folder)
    sys.unraisablehook = lambda unraisable: None  # fog and entity errors are printed
    for name, size in zip(IMAGES, [(4, 4), (2, 2), (8, 8)]):
        texture = Texture(*size)
        texture.fillChecker()
        texture.saveFile(os.path.join(folder, name))
    rng = random.Random(seed)
    maker = Maker(rng, folder)
    count = 0
    scratch = os.path.join(folder, "scratch.lvl")
    for number in range(rounds):
        path = maker.write_pair("case.lvl")
        label = f"{seed}/{number}"
        with contextlib.redirect_stdout(io.StringIO()):
            try:
                level = Level(path) if rng.random() < 0.8 else Level(None)
            except SystemError as error:
                print(f"BAD {label} load: {error}", file=sys.__stdout__, flush=True)
                continue
            except Exception:
                continue
            for index, step in enumerate(steps(level, maker, scratch)):
                count += 1
                try:
                    step()
                except (SystemError, AssertionError) as error:
                    print(f"BAD {label} step {index}: {type(error).__name__}: {error}",
                          file=sys.__stdout__, flush=True)
                except Exception:
                    pass
    print("DONE", count, flush=True)


if __name__ == "__main__":
    main(int(sys.argv[1]), int(sys.argv[2]), sys.argv[3])
