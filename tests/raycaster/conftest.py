"""Fixtures of the raycasting renderer's tests: tiny levels written as level file pairs
with PNG textures, loaded by the engine and by the plain-Python model of the frame
(model.py) from the same numbers; the target's pixels read back through a PNG."""
import json
import random

import pytest

from media.files import read_pixels, write_png
from quorvelin import (Engine, Entity, Level, PositionComponent, RaycastingRenderer,
                       RotationComponent, Sprite, SpriteComponent, Texture, Vector2)
from engine.conftest import unraisable  # noqa: F401 (fixture)

from . import model


def noise(width, height, seed, translucent=False):
    """A model image whose texels all differ, with a spread of alpha values."""
    generator = random.Random(seed)
    pixels = []
    for _ in range(width * height):
        alpha = 255
        if translucent:
            alpha = generator.choice((0, 255, generator.randrange(256)))
        pixels.append(alpha << 24 | generator.randrange(1 << 24))
    return model.Image(width, height, pixels)


def plain(width, height, colour):
    return model.Image(width, height, [colour] * (width * height))


def rgb(colour):
    return [(colour >> 16) & 255, (colour >> 8) & 255, colour & 255]


def room(width=7, height=6, blocks=None, open_ceiling=(), no_floor=(), faces=None):
    """Cells of a room walled all round: `blocks` {(x, y): block type}, cells whose
    ceiling or floor byte is 255, `faces(x, y, side)` the face texture index (default:
    one per side, 0 to 3)."""
    cells = bytearray()
    for y in range(height):
        for x in range(width):
            border = x in (0, width - 1) or y in (0, height - 1)
            block = 1 if border else (blocks or {}).get((x, y), 0)
            floor = 255 if (x, y) in no_floor else (x + y) % 2 + 4
            ceiling = 255 if (x, y) in open_ceiling else 6
            sides = [faces(x, y, side) if faces else side - 3 for side in (3, 4, 5, 6)]
            cells += bytes([block, floor, ceiling] + sides)
    return width, height, bytes(cells)


def textures():
    """Seven textures of several sizes: four wall faces, two floors, one ceiling."""
    sizes = [(8, 8), (5, 7), (16, 4), (3, 3), (8, 8), (6, 10), (4, 4)]
    return [noise(w, h, seed=10 + i) for i, (w, h) in enumerate(sizes)]


class Scene:
    """A level pair made from a model level, loaded by the engine, with a renderer of
    `size` over it."""

    def __init__(self, folder, level, size):
        self.folder, self.model, self.size = folder, level, size
        header = {"width": level.width, "height": level.height,
                  "textures": [self.image(f"t{i}.png", t) for i, t in enumerate(level.textures)],
                  "fogColor": rgb(level.fog_colour), "fogDensity": level.fog_density,
                  "groundFogColor": rgb(level.ground_colour),
                  "groundFogDensity": level.ground_density, "entities": []}
        if level.sky is not None:
            header["skytex"] = self.image("sky.png", level.sky)
        path = str(folder / "scene.lvl")
        with open(path + ".json", "w") as file:
            json.dump(header, file)
        with open(path, "wb") as file:
            file.write(level.cells)
        self.level = Level(path)
        self.target = Texture(*size)
        self.renderer = RaycastingRenderer(self.target, self.level)

    def image(self, name, image):
        return write_png(self.folder / name, image.width, image.height, image.pixels)

    def texture(self, name, image):
        return Texture(self.image(name, image))

    def pose(self, camera):
        """Puts the renderer's camera where the model camera stands (its direction as
        given: the frame normalises it)."""
        view = self.renderer.getCamera()
        view.pos.x, view.pos.y = camera.pos
        view.dir.x, view.dir.y = camera.given
        view.fov, view.pitch, view.ratio = camera.fov, camera.pitch, camera.ratio

    def pixels(self):
        return read_pixels(self.target, self.folder)

    def expected(self, camera, flashlight=None, sprites=(), time_step=0.0):
        return model.frame(*self.size, self.model, camera, flashlight, sprites, time_step)


def steady(direction):
    """`direction` normalised until normalising changes it no more. Every frame
    normalises the camera's own vector in place, which may change its last bits again;
    a test that draws one pose twice and compares gives the camera this direction."""
    vector = Vector2(*direction)
    while True:
        before = (vector.x, vector.y)
        vector.normalize()
        if (vector.x, vector.y) == before:
            return before


def camera(pos, direction, fov=60, pitch=0, ratio=1.6):
    view = model.Camera(pos, direction, fov, pitch, ratio)
    view.given = direction
    return view


class FixedStep(Engine):
    """An engine whose time step is what the test says: a renderer reads it through
    getTimeStep, so a subclass's answer counts."""
    step = 0.0

    def getTimeStep(self):
        return self.step


def sprite_entity(position, sheet_texture, frame_size, x_frames, y_frames, animation,
                  facing=None, **fields):
    """An entity with a position, a sprite of one animation and, when `facing` is given,
    a rotation; `fields` set on the sprite component (shadeless, zOffset, scale,
    blendMode, animationPercentage)."""
    sprite = Sprite(sheet_texture, x_frames, y_frames, [animation])
    assert (sprite.width, sprite.height) == frame_size
    component = SpriteComponent(sprite)
    for name, value in fields.items():
        setattr(component, name, value)
    parts = [PositionComponent(Vector2(*position)), component]
    if facing is not None:
        parts.append(RotationComponent(Vector2(*facing)))
    return Entity(-1, *parts)


def x_frames(sprite):
    """A sprite's frames across the sheet, from its field state (_animations, _height,
    _texture, _width, _xFrames, _yFrames)."""
    return sprite.__reduce__()[2][4]


def animation_fields(animation):
    """frame count, oscillation and directions of an animation, from its field state
    (_directions, _frameCount, _name, _oscillate, _speed, _startFrame)."""
    directions, frames, _, oscillate, _, _ = animation.__reduce__()[2]
    return frames, oscillate, directions


def model_sprite(entity, sheet_image):
    """The model's view of an entity made by sprite_entity."""
    component = entity.getComponent(SpriteComponent)
    sprite = component.sprite
    frames, oscillate, directions = animation_fields(component.currentAnimation)
    rotation = entity.getComponent(RotationComponent)
    position = entity.getComponent(PositionComponent).pos
    return model.Sprite(
        (position.x, position.y), sheet_image, sprite.width, sprite.height, x_frames(sprite),
        frame_count=frames, directions=directions, oscillate=oscillate,
        progress=component.animationPercentage,
        speed=component._animationSpeed, min_frame=component._currentMinFrame,
        current_directions=component._currentDirections,
        facing=(rotation.dir.x, rotation.dir.y) if rotation else (1.0, 0.0),
        shadeless=component.shadeless, blend_mode=component._blendMode,
        z_offset=component.zOffset, scale=component.scale)


@pytest.fixture
def scene(tmp_path):
    """scene(level, size) -> Scene."""
    return lambda level, size=(40, 30): Scene(tmp_path, level, size)

