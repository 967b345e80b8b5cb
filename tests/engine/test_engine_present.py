"""The present: what the window shows, read back with saveScreenshot, is the screen
texture's colours with their alpha dropped. At the texture's own size the engine copies
the pixels into the window itself; at any other size SDL's renderer stretches them. Both
must show the same picture, whatever the alpha of its pixels."""
import pytest
from PIL import Image

from quorvelin import Engine, Renderer, Texture

from media.files import write_png


def scrambled(i):
    x = (i * 2654435761 + 0x9E3779B9) & 0xFFFFFFFF
    x ^= x >> 15
    return (x * 2246822519) & 0xFFFFFFFF


@pytest.fixture
def picture(tmp_path):
    """A texture of every alpha (opaque and transparent runs among them) under colours
    that differ from pixel to pixel, with the words it holds."""
    def make(width, height):
        words = []
        for i in range(width * height):
            alpha = (0, 255, i % 256)[(i // 7) % 3]
            words.append(alpha << 24 | scrambled(i) & 0xFFFFFF)
        texture = Texture(write_png(tmp_path / f"picture{width}x{height}.png", width, height, words))
        return texture, words
    return make



def rgb_image(words, width, height):
    data = b"".join(bytes(((w >> 16) & 255, (w >> 8) & 255, w & 255)) for w in words)
    return Image.frombytes("RGB", (width, height), data)


# Rows of a width that is no multiple of the vector loops' steps, and the size of the
# shared engine fixture's window.
@pytest.mark.parametrize("size", [(320, 200), (37, 11)])
def test_window_shows_the_colours_of_every_pixel(picture, shot, size):
    engine = Engine()
    engine.init("present", size)
    texture, words = picture(*size)
    engine.ecs.addSystem(Renderer(texture))
    engine.update()
    assert shot(engine).tobytes() == rgb_image(words, *size).tobytes()


def test_the_engines_copy_shows_what_sdls_stretch_shows(engine, picture, shot):
    texture, words = picture(320, 200)
    engine.ecs.addSystem(Renderer(texture))
    engine.update()
    own = shot(engine)
    assert own.tobytes() == rgb_image(words, 320, 200).tobytes()
    # Twice the size: SDL's renderer stretches the texture, every pixel into four.
    engine.setWindowSize((640, 400))
    engine.update()
    stretched = shot(engine)
    assert stretched.size == (640, 400)
    assert stretched.resize((320, 200), Image.NEAREST).tobytes() == own.tobytes()


def test_picture_stays_without_uploads_when_the_window_surface_is_made_anew(engine, picture, shot):
    texture, words = picture(320, 200)
    renderer = Renderer(texture)
    engine.ecs.addSystem(renderer)
    engine.update()
    engine.ecs.removeSystem(renderer)
    engine.setWindowSize((200, 100))
    engine.update()
    engine.setWindowSize((320, 200))  # a new window surface of the texture's size
    engine.update()
    assert shot(engine).tobytes() == rgb_image(words, 320, 200).tobytes()


def test_frames_before_any_upload_show_black(engine, shot):
    engine.update()
    assert shot(engine).getcolors() == [(320 * 200, (0, 0, 0))]
