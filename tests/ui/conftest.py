"""Fixtures of the UI tests: a real engine on the dummy drivers (with the engine tests'
clean shared state), theme files written per test, and pixels read back from PNG."""
import pytest

import quorvelin
from engine import sdlinput
from engine.conftest import engine, shared_state, unraisable  # noqa: F401 (fixtures)
from media.files import read_pixels

from .themes import write_theme

SIZE = (320, 200)  # the engine's window and screen texture, and every UI target


@pytest.fixture
def theme_path(tmp_path):
    return write_theme(tmp_path)


@pytest.fixture
def theme(theme_path):
    return quorvelin.UITheme(theme_path)


@pytest.fixture
def pixels_of(tmp_path):
    """The target's pixels as a function of (x, y)."""
    def read(texture):
        pixels = read_pixels(texture, tmp_path)
        return lambda x, y: pixels[y * texture.width + x]
    return read


@pytest.fixture
def make_ui(theme):
    """A UIRenderer on a fresh target of the engine's size, added to the engine's Ecs
    when one is given."""
    def make(engine=None, fill=False, target=None):
        ui = quorvelin.UIRenderer(target or quorvelin.Texture(*SIZE), fill, theme)
        if engine is not None:
            engine.ecs.addSystem(ui)
        return ui
    return make


class Scripted(quorvelin.Engine):
    """An engine whose mouse game code moves: pushed events never change SDL's button
    state, so drags are driven through the engine's own queries."""

    position = (0, 0)
    pressed = False

    def getMousePos(self):
        return self.position

    def isMouseButtonPressed(self, button):
        return self.pressed and button == quorvelin.MOUSE_LEFT


@pytest.fixture
def scripted():
    made = Scripted()
    made.init("scripted mouse", SIZE)
    sdlinput.flush()
    return made


def place_mouse(engine, x, y):
    """Moves SDL's mouse over the engine's window; the next frame's update sees it."""
    sdlinput.sdl.SDL_WarpMouseInWindow(sdlinput.newest_window(), x, y)
    engine.update()


def fixed(widget, width, height):
    widget.sizePolicyX = widget.sizePolicyY = quorvelin.SIZE_FIXED
    widget.width, widget.height = width, height
    return widget
