"""The asset step: the sky, the textures with the surface array that the cells index
(which holds its textures itself, and is replaced only once every texture has
loaded), the sprites with their animations and defaults."""
import gc

import pytest

from quorvelin import Level, Sprite, Texture

from .conftest import cells


def held_textures(level):
    """The Texture objects the level holds itself, apart from its lists: the sky (first,
    when there is one), then the surface array in texture-index order. The collector
    sees every reference the level owns."""
    return [obj for obj in gc.get_referents(level) if type(obj) is Texture]


def sizes(textures):
    return [texture.getSize() for texture in textures]


def load(files, **header):
    return Level(files.write({"width": 1, "height": 1, **header}, bytes(7)))


def test_no_asset_keys_change_nothing(files):
    level = load(files)
    assert (level.textures, level.sprites, held_textures(level)) == ([], [], [])


def test_sky_and_textures(files):
    files.image("sky.png", (8, 2))
    paths = [files.image(f"t{i}.png", (i + 1, 1)) for i in range(3)]
    level = load(files, skytex="sky.png", textures=[paths[0], "t1.png", "t2.png"])
    assert sizes(level.textures) == [(1, 1), (2, 1), (3, 1)]
    assert [t.filename for t in level.textures] == [paths[0]] + [paths[1], paths[2]]
    held = held_textures(level)
    assert sizes(held) == [(8, 2), (1, 1), (2, 1), (3, 1)]
    assert held[1:] == level.textures  # entry i of the array is _textures[i]


def test_the_same_path_twice_gives_two_textures(files):
    path = files.image("t.png")
    level = load(files, textures=[path, path])
    assert level.textures[0] is not level.textures[1]
    assert load(files, textures=[]).textures == []


def test_the_array_holds_its_textures_when_the_list_lets_go(files):
    level = load(files, textures=[files.image("t.png", (3, 3))])
    texture = level.textures[0]
    level._textures = None
    assert held_textures(level) == [texture]


def test_a_failed_texture_keeps_the_old_array(files):
    level = load(files, textures=[files.image("a.png", (5, 5))])
    old = held_textures(level)
    level.metadata["textures"] = [files.image("b.png", (6, 6)), "missing.png"]
    with pytest.raises(OSError, match=r"Unable to load image file '.*missing.png'"):
        level._loadAssets()
    assert sizes(level.textures) == [(5, 5), (6, 6)]  # what loaded stays in the list
    assert held_textures(level) == old  # the array the renderer draws from is whole
    level.metadata["textures"] = [files.image("c.png", (7, 7))]
    level._loadAssets()
    assert sizes(held_textures(level)) == [(7, 7)]


@pytest.mark.parametrize("textures, error", [
    (5, TypeError), ("t.png", OSError), ([5], TypeError), ({"a": 1}, OSError),
])
def test_malformed_texture_lists(files, textures, error):
    with pytest.raises(error):
        load(files, textures=textures)


def animations(sprite):
    """(name, frames, oscillate, speed, start frame, directions) of each animation, read
    from its pickled state (an animation has no properties)."""
    found = []
    for animation in sprite.animations.values():
        recipe = animation.__reduce__()
        directions, frames, name, oscillate, speed, start = recipe[2] if len(recipe) > 2 else recipe[1][2]
        found.append((name, frames, oscillate, speed, start, directions))
    return found


def test_sprites_with_their_defaults(files):
    sheet = files.image("sheet.png", (64, 32))
    level = load(files, sprites=[
        {"texture": sheet},
        {"texture": sheet, "xFrames": 4, "yFrames": 2, "animations": {
            "walk": {"frames": 4},
            "turn": {"frames": 2, "oscillate": True, "speed": 2.5, "startFrame": 4,
                     "directions": 2}}},
        {"texture": sheet, "animations": {}},
    ])
    first, second, third = level.sprites
    assert all(type(s) is Sprite for s in level.sprites)
    assert (first.width, first.height, animations(first)) == (64, 32, [("_", 1, False, 1.0, 0, 1)])
    assert (second.width, second.height) == (16, 16)
    assert animations(second) == [("walk", 4, False, 0.1, 0, 1), ("turn", 2, True, 2.5, 4, 2)]
    assert animations(third) == []  # only a missing key gives the implicit one
    assert first.texture is not second.texture and first.texture not in held_textures(level)


@pytest.mark.parametrize("sprites, error, message", [
    ([{}], KeyError, "texture"),
    ([{"texture": "sheet.png", "animations": {"run": {}}}], KeyError, "frames"),
    ([{"texture": "sheet.png", "animations": {"run": {"frames": None}}}], TypeError, None),
    ([{"texture": "sheet.png", "xFrames": 0}], ValueError, "xFrames must be at least 1"),
    ([{"texture": "nothing.png"}], OSError, "Unable to load image file"),
    (7, TypeError, None),
])
def test_sprite_errors_propagate(files, sprites, error, message):
    files.image("sheet.png")
    with pytest.raises(error, match=message):
        load(files, sprites=sprites)


def test_assets_load_before_entities(files):
    """A sprite component names its sprite by index, so the sprites are there first."""
    sheet = files.image("sheet.png", (8, 8))
    level = load(files, sprites=[{"texture": sheet}], entities=[{"sprite": {"sprite": 0}}])
    component = level._entities[0].getComponents()
    assert [c.sprite for c in component] == [level.sprites[0]]


def test_subclass_paths_go_through_its_convert_path(files, tmp_path):
    files.image("real.png", (2, 3))
    seen = []

    class Mapping(Level):
        def _convertPath(self, path):
            seen.append(path)
            return str(tmp_path / "real.png")

    level = Mapping(files.write({"width": 0, "height": 0, "skytex": "s", "textures": ["a"],
                                 "sprites": [{"texture": "b"}]}))
    assert seen == ["s", "a", "b"] and sizes(level.textures) == [(2, 3)]


def test_cells_index_the_array(files):
    """The cells name textures by position; a cell whose index is past the array loads
    all the same (a saved empty level has walls of texture 0 and no textures)."""
    path = files.write({"width": 2, "height": 1}, cells(2, 1, lambda x, y: (1,) + (x * 9,) * 6))
    level = Level(path)
    assert held_textures(level) == [] and level.getTexture(3, 1, 0) is None
