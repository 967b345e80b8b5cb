"""Window geometry, fullscreen, title, icon and screenshots."""
import pytest

import quorvelin
from media.files import palette_png
from quorvelin import Engine, EngineSdlException
from . import sdlinput

PNG_MAGIC = b"\x89PNG\r\n\x1a\n"


@pytest.fixture
def window():
    engine = Engine()
    engine.init("window test", (800, 600))
    engine.setWindowPos((100, 50))
    return engine


def test_toggle_restores_the_saved_geometry(window):
    window.toggleFullscreen()
    assert window.isFullscreen()
    assert window.getWindowSize() != (800, 600)
    window.toggleFullscreen()
    assert not window.isFullscreen()
    assert window.getWindowSize() == (800, 600) and window.getWindowPos() == (100, 50)


def test_set_fullscreen_saves_nothing_and_fires_nothing(window):
    events = []
    window.subscribeEvent(quorvelin.FullscreenEvent, events.append)
    window.setFullscreen(True)
    assert window.isFullscreen() and sdlinput.window_flags() & 0x1001 == 0x1
    window.setFullscreen([])
    assert not window.isFullscreen() and events == []


def test_toggle_after_set_fullscreen_uses_the_geometry_of_a_fresh_engine(window):
    window.setFullscreen(True)
    window.toggleFullscreen()  # leaves fullscreen towards the zeros never saved
    assert not window.isFullscreen()


@pytest.mark.parametrize("size", [(640, 480), [640, 480], (640.7, 480), iter((640, 480))])
def test_window_size_forms(window, size):
    window.setWindowSize(size)
    assert window.getWindowSize() == (640, 480)


@pytest.mark.parametrize("size, error, message", [
    ((640,), ValueError, "need more than 1 value to unpack"),
    ((640, 480, 1), ValueError, r"too many values to unpack \(expected 2\)"),
    (("640", 480), TypeError, "an integer is required"),
    (640, TypeError, "not iterable"),
])
def test_window_size_errors_change_nothing(window, size, error, message):
    with pytest.raises(error, match=message):
        window.setWindowSize(size)
    assert window.getWindowSize() == (800, 600)


def test_position(window):
    window.setWindowPos([7.9, 9])
    assert window.getWindowPos() == (7, 9)


def test_title(window):
    window.setWindowTitle("Größe")
    assert sdlinput.sdl.SDL_GetWindowTitle(sdlinput.newest_window()).decode() == "Größe"
    with pytest.raises(AttributeError):
        window.setWindowTitle(b"bytes")


class BytearrayText(str):
    def encode(self, *args):
        return bytearray(str.encode(self, *args))


def test_texts_may_encode_to_a_bytearray(window, tmp_path):
    window.setWindowTitle(BytearrayText("Titel"))
    assert sdlinput.sdl.SDL_GetWindowTitle(sdlinput.newest_window()) == b"Titel"
    window.saveScreenshot(BytearrayText(str(tmp_path / "shot.png")))
    assert (tmp_path / "shot.png").read_bytes().startswith(PNG_MAGIC)


@pytest.mark.parametrize("method", ["saveScreenshot", "setWindowIcon"])
def test_file_names_with_a_nul_are_refused(window, tmp_path, method):
    with pytest.raises(ValueError, match="embedded null character"):
        getattr(window, method)(str(tmp_path / "a.png") + "\0.jpg")
    assert not (tmp_path / "a.png").exists()


def test_one_argument_methods_take_no_keywords(window):
    with pytest.raises(TypeError, match="takes no keyword arguments"):
        window.setWindowTitle(title="x")


def test_icon_file_that_cannot_load(window, tmp_path):
    assert window.setWindowIcon(str(tmp_path / "missing.png")) is None


def test_icon_from_a_png(window, tmp_path):
    from PIL import Image

    path = tmp_path / "icon.png"
    Image.new("RGBA", (16, 16), (255, 0, 0, 255)).save(path)
    assert window.setWindowIcon(str(path)) is None


@pytest.mark.parametrize("cut", ["inside tEXt", "inside IDAT", "before IEND"])
def test_an_icon_cut_short_is_refused_at_once(child, tmp_path, cut):
    # Through init and through setWindowIcon; the child's timeout is the hang.
    data, spans = palette_png()
    ends = {"inside tEXt": sum(spans["tEXt"]) // 2, "inside IDAT": sum(spans["IDAT"]) // 2,
            "before IEND": spans["IEND"][0]}
    path = tmp_path / "icon.png"
    path.write_bytes(data[:ends[cut]])
    result = child(f"""
        import quorvelin
        engine = quorvelin.Engine()
        engine.init("icon", (64, 48), icon={str(path)!r})
        print(engine.setWindowIcon({str(path)!r}), engine.isRunning())
    """, timeout=30)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout.split() == ["None", "True"]
    assert "libpng" not in result.stderr


@pytest.mark.parametrize("size, kept", [
    ((100000, 100000), True), ((16385, 48), True), ((64, 16385), True),
    ((2 ** 31 - 1, 2 ** 31 - 1), True), ((16384, 48), False),
])
def test_the_window_never_grows_beyond_what_init_opens(child, size, kept):
    # Every frame asks SDL for a window surface of the window's size: a size init
    # refuses ("Window is too large.") leaves the window as it is.
    result = child(f"""
        import quorvelin
        engine = quorvelin.Engine()
        engine.init("size", (64, 48))
        engine.setWindowSize({size!r})
        engine.update()
        engine.update()
        print(*engine.getWindowSize())
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    assert tuple(map(int, result.stdout.split())) == ((64, 48) if kept else size)


def test_screenshot_is_png_whatever_the_name(window, tmp_path):
    window.update()
    path = tmp_path / "shot.jpg"
    window.saveScreenshot(str(path))
    assert path.read_bytes().startswith(PNG_MAGIC)
    from PIL import Image

    with Image.open(path) as image:
        assert image.size == (800, 600)


def test_screenshot_that_cannot_be_written(window, tmp_path):
    with pytest.raises(EngineSdlException) as error:
        window.saveScreenshot(str(tmp_path / "missing" / "shot.png"))
    assert error.value.msg == "Could not save the screenshot."
