"""Fixtures of the reliability tests: the engine tests' own (shared state cleared around
each test, an initialised engine) and the media files."""
from types import SimpleNamespace

import pytest

from engine.conftest import engine, shared_state  # noqa: F401 (fixtures)
from media.files import FONT_PATH, write_png, write_wav
from ui.themes import write_theme


@pytest.fixture(scope="session")
def media(tmp_path_factory):
    folder = tmp_path_factory.mktemp("media")
    return SimpleNamespace(folder=folder, font=FONT_PATH,
                           png=write_png(folder / "image.png", 16, 16, [0xFF204060] * 256),
                           wav=write_wav(folder / "tone.wav", 0.05),
                           theme=write_theme(folder))
