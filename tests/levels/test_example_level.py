"""The example level in examples/assets/level: it loads with its textures, sky,
sprites and entities, every texture byte its cells use names a texture it has, and
the script in examples/ writes exactly the committed files."""
import os
import sys

import pytest

import quorvelin
from quorvelin import Level, PositionComponent, SpriteComponent

from .conftest import quiet

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "examples"))
import make_level  # noqa: E402

PATH = os.path.join(make_level.FOLDER, make_level.NAME)


@pytest.fixture(scope="module")
def level():
    return Level(PATH)


def test_it_loads_with_its_assets(level):
    assert (level.width, level.height) == (16, 12)
    assert [t.getSize() for t in level.textures] == [(64, 64)] * 5
    guard, lamp = level.sprites
    assert list(guard.animations) == ["idle", "walk"] and (guard.width, guard.height) == (32, 32)
    assert list(lamp.animations) == ["_"]
    assert (level.fogColor, level.fogDensity, level.groundFogColor, level.groundFogDensity) == \
        ((20, 16, 30), 6, (180, 180, 200), 2)
    assert [e.id for e in level._entities] == [1, 2, 3, 4, 5]
    walkers = level.getEntities(PositionComponent, SpriteComponent)
    assert [e.getComponent(SpriteComponent).currentAnimationKey for e in walkers] == \
        ["walk", "idle", "_", "_"]


def test_every_cell_names_textures_it_has(level):
    count = len(level.textures)
    for y in range(level.height):
        for x in range(level.width):
            floor, ceiling = (level.getTextureIndex(k, x, y) for k in (1, 2))
            assert floor < count and (ceiling < count or ceiling == 255)
            if level.getBlock(x, y) != quorvelin.BLOCK_EMPTY:
                assert all(level.getTextureIndex(k, x, y) < count for k in range(3, 7))
    assert level.getBlock(0, 0) == quorvelin.BLOCK_SQUARE
    assert level.getBlock(3, 1) == quorvelin.BLOCK_TRIANGLE_SOUTH_EAST
    assert level.getTexture(quorvelin.TEXTURE_CEILING, 9, 2) is None  # open to the sky


def test_the_script_writes_the_committed_files(tmp_path):
    quiet(make_level.write_level, str(tmp_path))
    names = sorted(os.listdir(make_level.FOLDER))
    assert sorted(os.listdir(tmp_path)) == names
    for name in names:
        with open(os.path.join(make_level.FOLDER, name), "rb") as committed, \
                open(tmp_path / name, "rb") as written:
            assert committed.read() == written.read(), name
