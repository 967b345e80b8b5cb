import sys

import pytest
from PIL import Image

import quorvelin
from . import sdlinput

SHARED = ("_tasks", "_timers", "_eventSubscribers", "_joysticks", "_eventQueue")


def _clear_shared():
    for timer in quorvelin.Engine._timers:
        timer.cancel()
    for name in SHARED:
        getattr(quorvelin.Engine, name).clear()


@pytest.fixture(autouse=True)
def shared_state():
    """Every Engine shares the class-level lists and SDL's event queue: each test starts
    and ends with them empty."""
    _clear_shared()
    sdlinput.flush()
    yield
    _clear_shared()
    sdlinput.flush()


@pytest.fixture
def engine():
    e = quorvelin.Engine()
    e.init("quorvelin test", (320, 200))
    sdlinput.flush()
    return e


@pytest.fixture
def unraisable(monkeypatch):
    """Records what the engine prints as unraisable instead of printing it."""
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    return seen


@pytest.fixture
def shot(tmp_path):
    """The window's picture as RGB, read back from a screenshot."""
    def take(engine):
        path = tmp_path / "shot.png"
        engine.saveScreenshot(str(path))
        with Image.open(path) as image:
            return image.convert("RGB")
    return take
