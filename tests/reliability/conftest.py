"""Fixtures of the reliability tests: the engine tests' own (shared state cleared around
each test, an initialised engine) and the media files."""
import json
from types import SimpleNamespace

import pytest

from engine.conftest import engine, shared_state  # noqa: F401 (fixtures)
from media.files import FONT_PATH, write_png, write_wav
from ui.themes import write_theme


@pytest.fixture(scope="session")
def media(tmp_path_factory):
    folder = tmp_path_factory.mktemp("media")
    png = write_png(folder / "image.png", 16, 16, [0xFF204060] * 256)
    return SimpleNamespace(folder=folder, font=FONT_PATH, png=png,
                           wav=write_wav(folder / "tone.wav", 0.05),
                           theme=write_theme(folder),
                           level=write_level(folder / "level.lvl", png))


def write_level(path, image):
    """A small level pair: a texture, a sprite with an animation, two entities."""
    header = {"width": 4, "height": 3, "textures": [image, image], "skytex": image,
              "sprites": [{"texture": image, "xFrames": 2, "animations": {"walk": {"frames": 2}}}],
              "entities": [{"id": 1, "position": {"x": 1, "y": 1}, "sprite": {"sprite": 0}},
                           {"velocity": {"x": 0, "y": 1}}]}
    with open(f"{path}.json", "w") as file:
        json.dump(header, file)
    with open(path, "wb") as file:
        file.write(bytes([1, 0, 0, 1, 1, 1, 1]) * 12)
    return str(path)
