"""Reading the level file pair: the header's checks (one table of cases), the cell
file cut short, lengthened or empty, the header kept key by key, asset paths, and the
grid that always fits width x height."""
import json
import os

import pytest

from quorvelin import EngineException, Level, LevelFormatException

from .conftest import quiet


def error_of(call):
    with pytest.raises(Exception) as caught:
        call()
    return caught.value


@pytest.mark.parametrize("header, error, message", [
    ("", LevelFormatException, "Invalid JSON header: Expecting value: line 1 column 1 (char 0)"),
    ('{"width": 1,', LevelFormatException,
     "Invalid JSON header: Expecting property name enclosed in double quotes: line 1 column 13 (char 12)"),
    ("null", LevelFormatException, "Invalid JSON header: None"),
    ("{}", LevelFormatException, "The 'width' property is required"),
    ('{"width": "a"}', LevelFormatException, "The 'height' property is required"),
    ('{"width": 30.0, "height": 2}', LevelFormatException, "The 'width' property requires an int value"),
    ('{"width": true, "height": 2}', LevelFormatException, "The 'width' property requires an int value"),
    ('{"width": 1e1, "height": 2}', LevelFormatException, "The 'width' property requires an int value"),
    ('{"width": 2, "height": "2"}', LevelFormatException, "The 'height' property requires an int value"),
    ('{"width": 4294967296, "height": "2"}', LevelFormatException,
     "The 'height' property requires an int value"),
    ('{"width": 2147483648, "height": 2}', OverflowError, None),
    ('{"width": -1, "height": 2}', LevelFormatException, "The 'width' property must not be negative"),
    ('{"width": -2, "height": -3}', LevelFormatException, "The 'width' property must not be negative"),
    ('{"width": 2, "height": -3}', LevelFormatException, "The 'height' property must not be negative"),
    ("[1, 2]", LevelFormatException, "Invalid JSON header: expected an object, got list"),
    ('"width height"', LevelFormatException, "Invalid JSON header: expected an object, got str"),
    ("5", LevelFormatException, "Invalid JSON header: expected an object, got int"),
])
def test_header_errors(files, header, error, message):
    path = files.write(header, bytes(14))
    raised = error_of(lambda: Level(path))
    assert type(raised) is error
    if error is LevelFormatException:
        assert isinstance(raised, EngineException)
        assert (raised.filename, raised.msg) == (path, message)  # the cell file, not the .json
        assert str(raised) == f"EngineException(Error while loading file '{path}': \"{message}\")"


def test_header_errors_leave_the_level_as_it_was(files):
    path = files.write({"width": 2, "height": 1, "fogDensity": 9}, bytes(range(14)))
    level = Level(path)
    bad = files.write('{"width": 5}', b"", name="bad.lvl")
    with pytest.raises(LevelFormatException):
        level._loadFromFile(bad)
    assert level.metadata == {}  # cleared in place, as the header is read anew
    assert (level.width, level.height, level.fogDensity) == (2, 1, 9)
    assert level.getTextureIndex(6, 1, 0) == 13


def test_header_is_read_as_utf8(files):
    path = files.write(json.dumps({"width": 0, "height": 0, "name": "H\u00f6hle \u2603"},
                                  ensure_ascii=False))
    assert Level(path).metadata["name"] == "H\u00f6hle \u2603"


def test_header_keys_stay_in_order(files):
    header = {"height": 1, "zeta": [1, {"b": 2, "a": 1}], "width": 2, "alpha": None}
    level = Level(files.write(header, bytes(14)))
    assert list(level.metadata.items()) == list(header.items())
    assert (level.width, level.height) == (2, 1)


@pytest.mark.parametrize("given, expected", [
    (bytes(range(1, 15)), bytes(range(1, 15))),
    (bytes(range(1, 10)), bytes(range(1, 10)) + bytes(5)),  # cut short: zero-filled
    (b"", bytes(14)),  # empty: every cell empty with texture 0
    (bytes(range(1, 15)) + b"\xff" * 100, bytes(range(1, 15))),  # longer: read up to the size
])
def test_cell_file_is_read_up_to_the_grid_size(files, given, expected):
    level = Level(files.write({"width": 2, "height": 1}, given))
    got = bytes(level.getTextureIndex(k, x, 0) for x in range(2) for k in range(7))
    assert got == expected


def test_zero_size_level(files, console):
    level = Level(files.write({"width": 0, "height": 7}, b"abc"))
    assert (level.width, level.height) == (0, 7)
    with pytest.raises(IndexError):
        level.getBlock(0, 0)
    _, lines = console(level.printLevel)
    assert lines == ["    "] + [f"{y:3d} " for y in range(7)]


def test_files_missing(files, tmp_path):
    with pytest.raises(FileNotFoundError) as missing_header:
        Level(str(tmp_path / "none.lvl"))
    assert missing_header.value.filename == str(tmp_path / "none.lvl.json")
    path = files.write({"width": 3, "height": 2, "fogDensity": 4})
    os.remove(path)
    level = Level.__new__(Level)
    with pytest.raises(FileNotFoundError) as missing_cells:
        level.__init__(path)
    assert missing_cells.value.filename == path
    # The header and the fog are in; the grid has the header's size, all zero.
    assert (level.metadata["width"], level.width, level.height, level.fogDensity) == (3, 3, 2, 4)
    assert [level.getBlock(x, y) for x in range(3) for y in range(2)] == [0] * 6
    folder = files.write({"width": 1, "height": 1}, name="folder.lvl")
    os.remove(folder)
    os.mkdir(folder)
    with pytest.raises(IsADirectoryError):
        level._loadFromFile(folder)


def test_a_reload_that_fails_after_the_header_keeps_the_grid_whole(files):
    level = Level(files.write({"width": 2, "height": 2}, bytes([1] * 28)))
    broken = files.write({"width": 5, "height": 4, "textures": ["missing.png"]}, b"", name="b.lvl")
    with pytest.raises(OSError, match="Unable to load image file"):
        level._loadFromFile(broken)
    assert (level.width, level.height) == (5, 4)
    assert level.getBlock(4, 3) == 0
    saved = files.path("saved.lvl")
    quiet(level.saveFile, saved)
    assert os.path.getsize(saved) == 5 * 4 * 7


def test_load_metadata_alone_resizes_the_grid(files):
    level = Level(files.write({"width": 2, "height": 1}, bytes([3] * 14)))
    level._loadMetadata(header='{"width": 2, "height": 1, "x": 1}', filename="f")
    assert level.getBlock(1, 0) == 3  # the same size keeps the cells
    level._loadMetadata("f", '{"width": 6, "height": 5}')
    assert (level.width, level.height, level.metadata) == (6, 5, {"width": 6, "height": 5})
    assert level.getBlock(5, 4) == 0
    with pytest.raises(MemoryError):  # 7 * (2^31 - 1)^2 bytes: no array holds them
        level._loadMetadata("f", json.dumps({"width": 2**31 - 1, "height": 2**31 - 1}))
    assert (level.width, level.height) == (6, 5)
    with pytest.raises(TypeError):  # not a text: the parser's own error
        level._loadMetadata("f", 5)


def test_convert_path(files, tmp_path):
    level = Level(files.write({"width": 0, "height": 0}))
    assert level._assetsPath == str(tmp_path)
    assert level._convertPath("tex/wall.png") == os.path.join(str(tmp_path), "tex/wall.png")
    assert level._convertPath("/abs/wall.png") == "/abs/wall.png"
    level._assetsPath = None
    assert level._convertPath("tex/wall.png") == "tex/wall.png"
    given = Level(files.write({"width": 0, "height": 0}), "/elsewhere")
    assert given._assetsPath == "/elsewhere"
    assert given._convertPath("a.png") == "/elsewhere/a.png"


def test_a_bare_file_name_has_an_empty_assets_path(files, tmp_path, monkeypatch):
    files.write({"width": 0, "height": 0}, name="bare.lvl")
    monkeypatch.chdir(tmp_path)
    assert Level("bare.lvl")._assetsPath == ""
    with pytest.raises(TypeError, match="Expected unicode, got bytes"):
        Level(b"bare.lvl")


def test_python_subclasses_override_the_steps(files):
    calls = []

    class Traced(Level):
        def _loadMetadata(self, filename, header):
            calls.append("metadata")
            super()._loadMetadata(filename, header.replace('"width": 1', '"width": 2'))

        def _loadAssets(self):
            calls.append("assets")

        def _convertPath(self, path):
            return "never used"

    level = Traced(files.write({"width": 1, "height": 1, "textures": ["x.png"]}, bytes(14)))
    assert calls == ["metadata", "assets"] and level.width == 2 and level.textures == []

    class OwnFile(Level):
        def _loadFromFile(self, filename):
            calls.append(filename)

    assert OwnFile("anything.lvl").filename == "anything.lvl" and calls[-1] == "anything.lvl"


def test_internal_steps_cannot_be_overridden(files, console):
    class Trying(Level):
        def _loadFogSettings(self):
            raise AssertionError("internal")

        def _initializeEmpty(self, width, height):
            raise AssertionError("internal")

        def _loadEntity(self, entityData):
            raise AssertionError("internal")

        def _loadEntities(self):
            raise AssertionError("internal")

    level = Trying(files.write({"width": 0, "height": 0, "fogDensity": 3, "entities": [{"id": 2}]}))
    assert level.fogDensity == 3 and [e.id for e in level._entities] == [2]
    assert level.addEntityFromJson({"id": 4}).id == 4
    empty, lines = console(Trying, None)
    assert lines[0] == "INIT EMPTY LEVEL" and empty.getBlock(0, 0) == 1
    assert not {"_loadFogSettings", "_initializeEmpty", "_loadEntity", "_loadEntities"} & set(dir(Level))
