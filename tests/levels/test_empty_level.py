"""Construction: the empty walled level with its checkerboard, the map text printed
when it is built and by printLevel, errors of the building printed instead of raised,
and a second __init__ that rebuilds the level as a whole."""
import io
import sys

import pytest

import quorvelin
from quorvelin import Level, PositionComponent
from media.files import read_pixels

from .conftest import quiet
from .test_level_assets import held_textures

WHITE, BLACK = "\u25a1", "\u25a0"


def construction_lines():
    rows = [BLACK * 30] + [BLACK + WHITE * 28 + BLACK] * 28 + [BLACK * 30]
    return (["INIT EMPTY LEVEL", "    " + "".join(f"{x} " for x in range(30))]
            + [f"{y:3d} " + "".join(glyph + " " for glyph in row) for y, row in enumerate(rows)])


def test_the_empty_level(console, tmp_path):
    level, lines = console(Level, None)
    assert lines == construction_lines()
    assert lines[2].startswith("  0 ") and lines[-1].startswith(" 29 ")
    assert (level.getSize(), level.width, level.height, level.filename) == ((30, 30), 30, 30, "???")
    walls = {(x, y) for x in range(30) for y in range(30) if x in (0, 29) or y in (0, 29)}
    assert all(level.getBlock(x, y) == ((x, y) in walls) for x in range(30) for y in range(30))
    assert {level.getTextureIndex(k, x, y) for k in range(1, 7) for x in range(30)
            for y in range(30)} == {0}
    assert list(level.metadata.items()) == [("width", 30), ("height", 30), ("fogColor", [0, 0, 0]),
                                            ("fogDensity", 5)]
    assert (level.fogColor, level.fogDensity, level.groundFogColor, level.groundFogDensity) == \
        ((0, 0, 0), 5, (255, 255, 255), 0)
    assert (level._entities, level.sprites, level._assetsPath) == ([], [], None)
    (checker,) = level.textures
    assert checker.getSize() == (64, 64) and held_textures(level) == [checker]
    pixels = read_pixels(checker, tmp_path)
    assert (pixels[0], pixels[32], pixels[32 * 64 + 32], pixels[32 * 64]) == \
        (0xFF333333, 0xFFAAAAAA, 0xFF333333, 0xFFAAAAAA)


@pytest.mark.parametrize("args, kwargs, message", [
    ((), {}, r"__init__\(\) takes at least 1 positional argument \(0 given\)"),
    ((None, 5), {}, "Expected unicode, got int"),
    ((None,), {"assetsPath": b"x"}, "Expected unicode, got bytes"),
    ((None, None, None), {}, r"takes at most 2 positional arguments \(3 given\)"),
])
def test_construction_argument_errors(args, kwargs, message, console):
    with pytest.raises(TypeError, match=message):
        console(lambda: Level(*args, **kwargs))


def test_assets_path_and_keywords(console):
    level, _ = console(lambda: Level(filename=None, assetsPath="assets"))
    assert level._assetsPath == "assets" and level.filename == "???"


def test_print_level(console):
    level = quiet(Level, None)
    level.setBlock(quorvelin.BLOCK_SQUARE, 5, 5)
    level.setBlock(quorvelin.BLOCK_TRIANGLE_SOUTH_WEST, 6, 5)
    _, lines = console(level.printLevel)
    assert len(lines) == 31
    assert lines[0] == "    " + "0 1 2 3 4 5 6 7 8 9 " * 3
    assert lines[6] == "  5 " + "".join(g + " " for g in BLACK + WHITE * 4 + BLACK + "\u25e2"
                                        + WHITE * 22 + BLACK)
    _, blank = console(Level.__new__(Level).printLevel)
    assert blank == ["    "]


def test_glyphs_are_looked_up_for_every_cell(console, monkeypatch, files):
    level = Level(files.write({"width": 3, "height": 1}, bytes([0] * 7 + [1] * 7 + [0] * 7)))
    monkeypatch.setattr(quorvelin, "ASCII_CELLS", ["o", "#"])
    _, lines = console(level.printLevel)
    assert lines == ["    0 1 2 ", "  0 o # o "]
    level.setBlock(6, 2, 0)
    out = io.StringIO()
    with pytest.raises(IndexError):
        monkeypatch.setattr(sys, "stdout", out)
        level.printLevel()
    assert out.getvalue().splitlines() == ["    0 1 2 "]  # the unfinished row is not printed
    level.setBlock(1, 2, 0)
    monkeypatch.setattr(quorvelin, "ASCII_CELLS", [5, 6])
    with pytest.raises(TypeError):
        console(level.printLevel)


def test_building_errors_are_printed(unraisable, monkeypatch):
    """An output that cannot encode the glyphs: the map's print fails; the level is
    complete all the same and the constructor returns."""
    ascii_out = io.TextIOWrapper(io.BytesIO(), encoding="ascii")
    monkeypatch.setattr(sys, "stdout", ascii_out)
    level = Level(None)
    monkeypatch.undo()
    assert [report.object for report in unraisable] == ["quorvelin.Level._initializeEmpty"]
    assert isinstance(unraisable[0].exc_value, UnicodeEncodeError)
    assert level.getBlock(29, 29) == 1 and level.fogDensity == 5 and len(level.textures) == 1


class TestSecondInit:
    def test_the_empty_level_again(self, console):
        level = quiet(Level, None)
        metadata = level.metadata
        level.setBlock(1, 10, 10)
        level.addEntity(quorvelin.Entity(1))
        console(level.__init__, None)
        assert level.getBlock(10, 10) == 0 and level._entities == []
        assert len(level.textures) == 1 and held_textures(level) == level.textures
        assert level.metadata is metadata and len(metadata) == 4

    def test_from_the_empty_level_to_a_file(self, files):
        texture = files.image("t.png", (3, 3))
        path = files.write({"width": 2, "height": 2, "textures": [texture],
                            "entities": [{"position": {"x": 1, "y": 1}}]}, bytes(28))
        level = quiet(Level, None)
        level.__init__(path)
        assert (level.width, level.height, level.filename) == (2, 2, path)
        assert [t.getSize() for t in level.textures] == [(3, 3)]
        assert held_textures(level) == level.textures
        assert [type(c) for c in level._entities[0].getComponents()] == [PositionComponent]

    def test_a_refused_init_changes_only_the_file_name(self, files):
        level = Level(files.write({"width": 2, "height": 2}, bytes(range(28))))
        with pytest.raises(TypeError):
            level.__init__("other.lvl", 5)
        assert level.filename == "other.lvl"
        assert level.getTextureIndex(6, 1, 1) == 27 and level.width == 2

    def test_a_failed_init_leaves_a_consistent_level(self, files, tmp_path):
        level = quiet(Level, None)
        with pytest.raises(FileNotFoundError):
            level.__init__(str(tmp_path / "missing.lvl"))
        assert (level.width, level.height, level.textures, held_textures(level)) == (0, 0, [], [])
        with pytest.raises(IndexError):
            level.getBlock(0, 0)
