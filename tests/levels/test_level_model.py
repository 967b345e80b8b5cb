"""The Level object: its constants, creation defaults, properties with their type
rules, the cell accessors (which refuse cells outside the grid), getSize, pickling."""
import json
import os
import pickle
import re
import traceback

import pytest

import quorvelin
from quorvelin import Entity, Level, Resource, Texture

from .conftest import cells


@pytest.fixture
def level(files):
    """A 4 x 3 level whose cell (x, y) holds the bytes x, y, 10 + x, 20 + y, 30, 40, 50."""
    path = files.write({"width": 4, "height": 3},
                       cells(4, 3, lambda x, y: (x, y, 10 + x, 20 + y, 30, 40, 50)))
    return Level(path)


def test_module_constants():
    assert [quorvelin.TEXTURE_FLOOR, quorvelin.TEXTURE_CEILING, quorvelin.TEXTURE_NORTH,
            quorvelin.TEXTURE_EAST, quorvelin.TEXTURE_SOUTH, quorvelin.TEXTURE_WEST] == [1, 2, 3, 4, 5, 6]
    assert [quorvelin.BLOCK_EMPTY, quorvelin.BLOCK_SQUARE, quorvelin.BLOCK_TRIANGLE_NORTH_WEST,
            quorvelin.BLOCK_TRIANGLE_NORTH_EAST, quorvelin.BLOCK_TRIANGLE_SOUTH_EAST,
            quorvelin.BLOCK_TRIANGLE_SOUTH_WEST] == [0, 1, 2, 3, 4, 5]
    assert quorvelin.ASCII_CELLS == ["\u25a1", "\u25a0", "\u25e4", "\u25e5", "\u25e3", "\u25e2"]
    assert (quorvelin._json, quorvelin.traceback, quorvelin.os) == (json, traceback, os)


def test_class_and_creation_defaults():
    assert Level.__mro__ == (Level, Resource, object)
    assert Level.__doc__ == "\n    A level resource.\n    "
    assert Level.__init__.__doc__ == "\n        @param(filename, str)\n        "
    blank = Level.__new__(Level, "ignored", any="thing")
    assert (blank.filename, blank.metadata, blank.width, blank.height) == (None, {}, 0, 0)
    assert (blank.textures, blank.sprites, blank._entities, blank._collisionBodies) == ([], [], [], [])
    assert blank._assetsPath is None
    assert (blank.fogDensity, blank.groundFogDensity) == (0, 0)
    lists = [blank._textures, blank._sprites, blank._entities, blank._collisionBodies, blank.metadata]
    assert len({id(obj) for obj in lists}) == 5
    with pytest.raises(TypeError, match="unsupported operand"):
        blank.fogColor  # unset until a header's fog settings load
    assert blank.textures is blank._textures and blank.sprites is blank._sprites
    assert Level.__new__(Level).metadata is not blank.metadata


def test_pickling_is_refused(level):
    for call in (lambda: pickle.dumps(level), level.__reduce__, lambda: level.__setstate__(())):
        with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
            call()


@pytest.mark.parametrize("name, value, error, message", [
    ("_textures", (), TypeError, "Expected list, got tuple"),
    ("_sprites", type("Sub", (list,), {})(), TypeError, "Expected list, got Sub"),
    ("_entities", {}, TypeError, "Expected list, got dict"),
    ("_collisionBodies", "x", TypeError, "Expected list, got str"),
    ("_assetsPath", b"dir", TypeError, "Expected unicode, got bytes"),
    ("fogDensity", "5", TypeError, "an integer is required"),
    ("groundFogDensity", 2 ** 31, OverflowError, None),
    ("width", 5, AttributeError, None),
    ("textures", [], AttributeError, None),
    ("metadata", {}, AttributeError, None),
])
def test_property_type_rules(level, name, value, error, message):
    before = getattr(level, name)
    with pytest.raises(error, match=message and message.replace("(", r"\(")):
        setattr(level, name, value)
    assert getattr(level, name) == before


def test_property_writes_and_deletes(level):
    level.fogDensity = 7.9
    level.groundFogDensity = -3
    assert (level.fogDensity, level.groundFogDensity) == (7, -3)
    for name in ("fogDensity", "groundFogDensity", "fogColor", "groundFogColor"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(level, name)
    for name in ("_textures", "_sprites", "_entities", "_collisionBodies", "_assetsPath"):
        delattr(level, name)
        assert getattr(level, name) is None
    with pytest.raises(TypeError):  # a length of None is asked for
        level.getTexture(0, 0, 0)
    replaced = [Texture(2, 2)]
    level._textures = replaced
    assert level.textures is replaced


class TestCells:
    def test_bytes_are_read_where_the_layout_puts_them(self, level):
        assert level.getBlock(3, 2) == 3
        assert level.getBlock(x=1.9, y=2.2) == 1  # converted toward zero
        assert [level.getTextureIndex(d, 2, 1) for d in range(7)] == [2, 1, 12, 21, 30, 40, 50]
        assert level.getTextureIndex(cardinalDirection=0, x=3, y=0) == level.getBlock(3, 0)

    def test_setters_store_the_low_eight_bits(self, level):
        level.setBlock(256, 1, 1)
        level.setTextureIndex(-1, quorvelin.TEXTURE_CEILING, 1, 1)
        level.setTextureIndex(textureIndex=0x1FF, cardinalDirection=6, x=1, y=1)
        level.setBlock(blockType=2**31 - 1, x=0, y=0)
        assert level.getBlock(1, 1) == 0
        assert level.getTextureIndex(quorvelin.TEXTURE_CEILING, 1, 1) == 255
        assert level.getTextureIndex(6, 1, 1) == 255
        assert level.getBlock(0, 0) == 255
        assert level.getBlock(2, 1) == 2  # the neighbours are untouched
        assert level.getTextureIndex(1, 0, 1) == 1

    @pytest.mark.parametrize("call, message", [
        (lambda l: l.getBlock(4, 0), "cell (4, 0) is outside"),
        (lambda l: l.getBlock(0, 3), "cell (0, 3) is outside"),
        (lambda l: l.getBlock(-1, 0), "cell (-1, 0) is outside"),
        (lambda l: l.getBlock(0, -2**31), "is outside the level's 4 x 3 grid"),
        (lambda l: l.setBlock(1, 2**31 - 1, 0), "is outside the level's 4 x 3 grid"),
        (lambda l: l.getTextureIndex(7, 0, 0), "cardinalDirection 7 is not one of 0 to 6"),
        (lambda l: l.getTextureIndex(-1, 0, 0), "cardinalDirection -1 is not one of 0 to 6"),
        (lambda l: l.setTextureIndex(1, 7, 0, 0), "cardinalDirection 7 is not one of 0 to 6"),
        (lambda l: l.setTextureIndex(1, 1, 0, 3), "cell (0, 3) is outside"),
        (lambda l: l.getTexture(9, 0, 0), "cardinalDirection 9 is not one of 0 to 6"),
        (lambda l: l.getTexture(0, 5, 5), "cell (5, 5) is outside"),
    ])
    def test_outside_the_grid_or_the_cell_raises_index_error(self, level, call, message):
        """The error names what was wrong: the cell, or the cardinalDirection argument."""
        before = [level.getTextureIndex(k, x, y) for k in range(7) for x in range(4) for y in range(3)]
        with pytest.raises(IndexError, match=re.escape(message)):
            call(level)
        assert [level.getTextureIndex(k, x, y) for k in range(7) for x in range(4) for y in range(3)] == before

    def test_a_level_without_cells_has_no_cell(self):
        blank = Level.__new__(Level)
        for call in (lambda: blank.getBlock(0, 0), lambda: blank.setBlock(1, 0, 0),
                     lambda: blank.getTexture(1, 0, 0)):
            with pytest.raises(IndexError):
                call()

    @pytest.mark.parametrize("args, error, message", [
        (("x", 0), TypeError, "an integer is required"),
        ((0,), TypeError, r"getBlock\(\) takes exactly 2 positional arguments \(1 given\)"),
        ((2**31, 0), OverflowError, None),
        ((0, None), TypeError, "an integer is required"),
    ])
    def test_argument_conversions(self, level, args, error, message):
        with pytest.raises(error, match=message):
            level.getBlock(*args)

    def test_every_argument_converts_before_a_cell_changes(self, level):
        with pytest.raises(TypeError):
            level.setBlock(3, 1, "y")
        with pytest.raises(OverflowError):
            level.setTextureIndex(2**40, 1, 1, 1)
        assert level.getBlock(1, 1) == 1 and level.getTextureIndex(1, 1, 1) == 1

    def test_a_conversion_that_reloads_the_level_is_checked_against_the_new_grid(self, files, level):
        smaller = files.write({"width": 1, "height": 1}, bytes(7), name="small.lvl")

        class Reloading:
            def __index__(self):
                level._loadFromFile(smaller)
                return 2

            __int__ = __index__

        with pytest.raises(IndexError):
            level.setBlock(5, Reloading(), 0)  # (2, 0) is outside the new 1 x 1 grid
        assert level.getBlock(0, 0) == 0

    def test_get_texture(self, files):
        textures = [files.image(f"t{i}.png") for i in range(3)]
        path = files.write({"width": 1, "height": 1, "textures": textures},
                           bytes((1, 255, 2, 3, 0, 1, 2)))
        level = Level(path)
        assert level.getTexture(quorvelin.TEXTURE_FLOOR, 0, 0) is None  # 255: no texture
        assert level.getTexture(quorvelin.TEXTURE_CEILING, 0, 0) is level.textures[2]
        assert level.getTexture(quorvelin.TEXTURE_NORTH, 0, 0) is None  # one past the last
        assert level.getTexture(quorvelin.TEXTURE_EAST, 0, 0) is level.textures[0]
        level._textures = [Texture(1, 1) for _ in range(256)]
        assert level.getTexture(quorvelin.TEXTURE_FLOOR, 0, 0) is level.textures[255]


def test_get_size_reads_the_header(level):
    assert level.getSize() == (4, 3)
    level.metadata["width"] = 99
    assert (level.getSize(), level.width) == ((99, 3), 4)
    assert level.getBlock(3, 2) == 3  # the grid stays as it was
    del level.metadata["height"]
    with pytest.raises(KeyError, match="height"):
        level.getSize()
    assert Level.getSize.__doc__ == ("\n        @returns((int, int))\n        Returns the size of "
                                     "the level in blocks.\n        ")


def test_entities_are_typed_for_add_and_remove(level):
    with pytest.raises(TypeError, match=r"Argument 'entity' has incorrect type \(expected "
                                        r"quorvelin.Entity, got int\)"):
        level.addEntity(5)
    level.addEntity(None)  # passes the type test
    assert level._entities == [None]
    with pytest.raises(TypeError, match="addEntity"):
        level.addEntity(Entity(), Entity())
