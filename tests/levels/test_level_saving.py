"""Writing the level file pair: the header exactly as the host's json writes it, the
live cells, the entities rebuilt from the live list, the plain-data conversion, what
is refused before any file is touched, and a round trip that is byte-exact."""
import copy
import json
import os

import pytest

import quorvelin
from quorvelin import (DummyComponent, Entity, Level, PositionComponent, Sprite,
                       SpriteAnimation, SpriteComponent, VelocityComponent)

from .conftest import cells, quiet

EMPTY_HEADER = """{
    "entities": [],
    "fogColor": [
        0,
        0,
        0
    ],
    "fogDensity": 5,
    "height": 30,
    "width": 30
}"""


def test_saving_the_empty_level(files, console):
    level = quiet(Level, None)
    path = files.path("empty.lvl")
    _, lines = console(level.saveFile, path)
    assert lines == [f"wrote file {path}.json", f"wrote file {path}"]
    header, cell_bytes = files.read("empty.lvl")
    assert header == EMPTY_HEADER  # sorted keys, four spaces, no final line break
    assert len(cell_bytes) == 6300 and cell_bytes[:7] == bytes([1, 0, 0, 0, 0, 0, 0])
    assert cell_bytes[(31 * 7):(32 * 7)] == bytes(7)  # cell (1, 1) is empty
    reread = Level(path)  # walls of texture 0 and no texture: it loads all the same
    assert reread.textures == [] and reread.getTextureIndex(3, 0, 0) == 0
    assert reread.getTexture(3, 0, 0) is None


def test_the_cells_are_the_live_array_and_the_rest_the_stored_header(files):
    level = Level(files.write({"width": 2, "height": 1, "name": "\u00e9t\u00e9", "fogDensity": 2},
                              bytes(range(14))))
    level.setBlock(5, 1, 0)
    level.fogDensity = 9
    quiet(level.saveFile, files.path("out.lvl"))
    header, cell_bytes = files.read("out.lvl")
    assert cell_bytes == bytes(range(7)) + bytes([5]) + bytes(range(8, 14))
    assert header == json.dumps({"width": 2, "height": 1, "name": "\u00e9t\u00e9", "fogDensity": 2,
                                 "entities": []}, sort_keys=True, indent=4)
    assert "\\u00e9t\\u00e9" in header


def test_entity_forms(files):
    level = Level(files.write({"width": 0, "height": 0}))
    level.addEntity(Entity(7, PositionComponent(quorvelin.Vector2(1.5, 2.5))))
    level.addEntity(Entity(8))
    level.addEntity(Entity())
    level._updateEntityMetadata()
    assert level.metadata["entities"] == [{"id": 7, "position": {"x": 1.5, "y": 2.5}},
                                          {"id": 8}, {"id": -1}]
    first = level.metadata["entities"]
    level._updateEntityMetadata()
    assert level.metadata["entities"] == first and level.metadata["entities"] is not first


def test_components_without_a_level_form(files, console):
    name = "level-save-test-unknown"
    level, _ = console(Level, files.write({"width": 0, "height": 0, "entities": [
        {"id": 1, name: {"a": 1, "_b": 2, "c": {"d": 3, "_e": [4]}}}]}))
    dummy = DummyComponent()
    dummy.typeName = "handmade"
    dummy.value = (1, 2)
    level._entities[0].addComponent(dummy)
    level._updateEntityMetadata()
    assert level.metadata["entities"] == [{"id": 1, name: {"a": 1, "c": {"d": 3}},
                                           "handmade": {"typeName": "handmade", "value": [1, 2]}}]


class Unregistered:
    pass


@pytest.mark.parametrize("component, error", [
    (Unregistered(), KeyError),  # not in the registry
    (DummyComponent(), AttributeError),  # no typeName
    (type("Failing", (PositionComponent,), {"dumpToDict": lambda self, level: 1 / 0})(), KeyError),
])
def test_failures_before_any_file_is_touched(files, component, error):
    level = Level(files.write({"width": 1, "height": 1}, bytes(7)))
    level.addEntity(Entity(1, component))
    with pytest.raises(error):
        quiet(level.saveFile, files.path("never.lvl"))
    assert not os.path.exists(files.path("never.lvl.json"))
    assert not os.path.exists(files.path("never.lvl"))


def level_with_a_sprite(files):
    files.image("sheet.png", (8, 4))
    return quiet(Level, files.write({"width": 1, "height": 1, "sprites": [
        {"texture": "sheet.png", "xFrames": 2, "yFrames": 1,
         "animations": {"walk": {"frames": 2, "speed": 0.5}}}]}, bytes(7)))


UNLISTED_SPRITE = ("entity 1 of the level has a SpriteComponent whose sprite is not in "
                   "level.sprites: add the sprite to level.sprites before saving")


@pytest.mark.parametrize("sprite_of", [
    lambda listed: Sprite(listed.texture, 2, 1, [SpriteAnimation("walk", 2, True, 0.5, 0, 1)]),
    copy.copy,  # the same fields in another object, as unpickling gives
], ids=["made in code", "copied"])
def test_a_sprite_outside_the_level_names_its_entity_and_writes_nothing(files, sprite_of):
    level = level_with_a_sprite(files)
    outside = sprite_of(level.sprites[0])
    level.addEntity(Entity(1, SpriteComponent(level.sprites[0])))
    level.addEntity(Entity(2, PositionComponent(quorvelin.Vector2(0.5, 0.5)),
                           SpriteComponent(outside)))
    with pytest.raises(ValueError) as raised:
        quiet(level.saveFile, files.path("never.lvl"))
    assert str(raised.value) == UNLISTED_SPRITE
    assert not os.path.exists(files.path("never.lvl.json"))
    assert not os.path.exists(files.path("never.lvl"))
    level.sprites.append(outside)  # the remedy the message names
    quiet(level.saveFile, files.path("saved.lvl"))
    assert json.loads(files.read("saved.lvl")[0])["entities"][1]["sprite"]["sprite"] == 1


def test_a_sprite_search_that_fails_otherwise_passes_its_error_on(files):
    class Unequal:
        def __eq__(self, other):
            raise ValueError("no comparing this")

    level = level_with_a_sprite(files)
    level.addEntity(Entity(1, SpriteComponent(level.sprites[0])))
    level.sprites.insert(0, Unequal())
    with pytest.raises(ValueError, match="^no comparing this$"):
        quiet(level.saveFile, files.path("never.lvl"))


def test_a_header_that_cannot_be_encoded_leaves_the_files_as_they_were(files):
    level = Level(files.write({"width": 1, "height": 1}, bytes(7)))
    path = files.write({"width": 1, "height": 1, "kept": True}, b"old cells", name="out.lvl")
    level.metadata["bad"] = object()
    with pytest.raises(TypeError, match="is not JSON serializable"):
        quiet(level.saveFile, path)
    assert files.read("out.lvl") == ('{"width": 1, "height": 1, "kept": true}', b"old cells")
    del level.metadata["bad"]
    with pytest.raises(TypeError):  # the name must take ".json"
        level.saveFile(5)
    with pytest.raises(FileNotFoundError):
        level.saveFile(files.path("no/such/dir.lvl"))


def test_dump_to_dict(files):
    level = Level(files.write({"width": 0, "height": 0}))

    class Thing:
        def __init__(self):
            self.a, self._b, self.c = 1, 2, [1, (2, 3)]

    assert level._dumpToDict(Thing()) == {"a": 1, "c": [1, [2, 3]]}
    assert level._dumpToDict("text") == "text"
    assert level._dumpToDict((1, 2)) == [1, 2]
    assert level._dumpToDict({"x": 1, "_y": 2}) == {"x": 1}
    assert level._dumpToDict(b"ab") == [97, 98]
    assert level._dumpToDict({1.5}) == [1.5]
    for unchanged in (None, True, 2.5, 7):
        assert level._dumpToDict(unchanged) is unchanged
    with pytest.raises(AttributeError):
        level._dumpToDict({1: 2})  # a key without startswith
    cyclic = Thing()
    cyclic.c = cyclic
    with pytest.raises(RecursionError):
        level._dumpToDict(cyclic)
    looped = []
    looped.append(looped)
    with pytest.raises(RecursionError):
        level._dumpToDict(looped)


def test_subclasses_override_the_conversion(files):
    class Counting(Level):
        def _dumpToDict(self, obj):
            return "seen" if isinstance(obj, int) else super()._dumpToDict(obj)

    level = Counting(files.write({"width": 0, "height": 0}))
    assert level._dumpToDict({"a": 1, "b": [2, "x"]}) == {"a": "seen", "b": ["seen", "x"]}


def test_round_trip_is_byte_exact(files):
    for name, size in (("wall.png", (4, 4)), ("floor.png", (2, 2)), ("sheet.png", (8, 4)),
                       ("sky.png", (16, 4))):
        files.image(name, size)
    header = {
        "width": 3, "height": 2, "skytex": "sky.png", "textures": ["wall.png", "floor.png"],
        "fogColor": [10, 20, 30], "groundFogDensity": 2, "custom": {"z": 1, "a": [True, None]},
        "sprites": [{"texture": "sheet.png", "xFrames": 2, "yFrames": 1,
                     "animations": {"walk": {"frames": 2, "speed": 0.5}}}],
        "entities": [
            {"id": 4, "position": {"x": 1.5, "y": 0.5}, "velocity": {"x": 0, "y": 1},
             "sprite": {"sprite": 0, "blendMode": "add", "currentAnimation": "walk"}},
            {"rotation": {"x": 0, "y": 1}, "collision": {"radius": 0.5, "hasFlags": ["wall"]}},
            {"level-round-trip": {"nested": {"keep": [1, 2]}}},
        ],
    }
    path = files.write(header, cells(3, 2, lambda x, y: (x + y, 1, 255, 0, 1, 0, 1)))
    first = quiet(Level, path)
    quiet(first.saveFile, files.path("a.lvl"))
    second = quiet(Level, files.path("a.lvl"))
    quiet(second.saveFile, files.path("b.lvl"))
    assert files.read("a.lvl") == files.read("b.lvl")
    header_a, cells_a = files.read("a.lvl")
    with open(path, "rb") as original:
        assert cells_a == original.read()
    saved = json.loads(header_a)
    assert saved["entities"][0]["sprite"]["blendMode"] == "add"
    assert saved["entities"][2] == {"id": -1, "level-round-trip": {"nested": {"keep": [1, 2]}}}
    assert [type(c) for c in second._entities[0].getComponents()] == [
        PositionComponent, SpriteComponent, VelocityComponent]  # in the saved (sorted) order


def test_subclasses_override_the_copy_and_the_entity_update(files, console):
    name = "level-save-test-copied"

    class Recording(Level):
        def _loadFromDict(self, component, input):
            component.copied = sorted(input)

        def _updateEntityMetadata(self):
            self.metadata["entities"] = ["written by the subclass"]

    level, _ = console(Recording, files.write({"width": 0, "height": 0, "entities": [
        {name: {"b": 1, "a": 2}}]}))
    (component,) = level._entities[0].getComponents()
    assert vars(component) == {"copied": ["a", "b"]}
    console(level.saveFile, files.path("sub.lvl"))
    assert json.loads(files.read("sub.lvl")[0])["entities"] == ["written by the subclass"]
