"""Fixtures of the level tests: level file pairs written with json and bytes, images
saved as PNG by the engine, and the console and unraisable reports captured."""
import contextlib
import io
import json

import pytest

from quorvelin import Texture
from engine.conftest import unraisable  # noqa: F401 (fixture)

CELL = 7


def cells(width, height, fill=None):
    """A cell array of width x height cells: `fill(x, y)` gives a cell's seven bytes
    (default: all zero)."""
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data += bytes(fill(x, y) if fill else (0,) * CELL)
    return bytes(data)


class LevelFiles:
    """Writes level file pairs into one folder."""

    def __init__(self, folder):
        self.folder = folder

    def path(self, name):
        return str(self.folder / name)

    def write(self, header, cell_bytes=b"", name="level.lvl"):
        """`header`: a dict (written with json) or the header text itself."""
        path = self.path(name)
        text = header if isinstance(header, str) else json.dumps(header)
        with open(path + ".json", "w", encoding="utf-8") as file:
            file.write(text)
        with open(path, "wb") as file:
            file.write(cell_bytes)
        return path

    def image(self, name, size=(4, 4), color=(10, 20, 30)):
        """A PNG saved by the engine, filled with one colour."""
        texture = Texture(*size)
        texture.fill(color)
        path = self.path(name)
        texture.saveFile(path)
        return path

    def read(self, name):
        path = self.path(name)
        with open(path + ".json", encoding="utf-8") as header, open(path, "rb") as cell_file:
            return header.read(), cell_file.read()


@pytest.fixture
def files(tmp_path):
    return LevelFiles(tmp_path)


@pytest.fixture
def console():
    """console(call) -> (result, the lines it printed)."""
    def run(call, *args):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            result = call(*args)
        return result, out.getvalue().splitlines()
    return run


def quiet(call, *args):
    """Runs `call` with its console output discarded (the empty level prints its map)."""
    with contextlib.redirect_stdout(io.StringIO()):
        return call(*args)
