"""UIImage: its fixed size from the texture or the constructor, the texture and alpha
setters, and the texture drawn stretched over the image's own rectangle, cut to its
clipped rectangle, with the image's opacity."""
import pytest

import quorvelin
from quorvelin import Texture, UIImage

from .conftest import fixed


@pytest.fixture
def ui(make_ui, scripted):
    return make_ui(scripted)


def striped(width, height):
    """A texture whose every column has its own opaque colour: 0xFF00xx00 for column x."""
    texture = Texture(width, height)
    for x in range(width - 1, -1, -1):  # copyFrom draws from the corner: widest first
        column = Texture(x + 1, height)
        column.fill((0, x, 0))
        texture.copyFrom(column)
    return texture


@pytest.mark.parametrize("args, kwargs, size", [
    ((), {}, (32, 16)), ((50,), {}, (50, 16)), ((), {"height": 20}, (32, 20)),
    ((0, -4), {}, (0, -4)),  # stored as given
])
def test_the_size_comes_from_the_texture_or_the_arguments(args, kwargs, size):
    image = UIImage(Texture(32, 16), *args, **kwargs)
    assert (image.width, image.height) == size
    assert (image.sizePolicyX, image.sizePolicyY) == (quorvelin.SIZE_FIXED,) * 2
    assert image.alpha == 255


def test_an_image_without_a_texture():
    image = UIImage(None, 10, 20)
    assert (image.texture, image.width, image.height) == (None, 10, 20)
    with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'width'"):
        UIImage(None)
    with pytest.raises(AttributeError, match="'height'"):
        UIImage(None, 10)
    with pytest.raises(TypeError, match="Argument 'texture' has incorrect type"):
        UIImage("picture.png")


def test_a_texture_resizes_the_image():
    image = UIImage(Texture(8, 8), 50, 50)
    other = Texture(64, 32)
    image.texture = other
    assert (image.texture, image.width, image.height) == (other, 64, 32)


@pytest.mark.parametrize("value, error", [(None, AttributeError), (5, TypeError)])
def test_a_refused_texture_changes_nothing(value, error):
    texture = Texture(8, 4)
    image = UIImage(texture, 50, 60)
    with pytest.raises(error):
        image.texture = value
    assert (image.texture, image.width, image.height) == (texture, 50, 60)


@pytest.mark.parametrize("given, stored", [(300, 255), (-5, 0), (128, 128), (7.9, 7)])
def test_alpha_is_clamped(given, stored):
    image = UIImage(None, 1, 1)
    image.alpha = given
    assert image.alpha == stored


def test_properties_and_pickling():
    image = UIImage(None, 1, 1)
    for name in ("texture", "alpha"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(image, name)
    with pytest.raises(TypeError, match="no default __reduce__"):
        image.__reduce__()
    assert UIImage.__doc__.strip() == "A UIImage can be used to display images."
    assert UIImage.render.__doc__.strip() == "Renders the image."


# --- drawing -----------------------------------------------------------------------------------

def drawn(pixel, x, y, width, height):
    return [[pixel(px, py) for px in range(x, x + width)] for py in range(y, y + height)]


def test_the_texture_is_stretched_and_cut_to_the_clip(ui, pixels_of):
    image = UIImage(striped(32, 32), 64, 16)
    ui.widget.addChild(image, 10, 20)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    whole = drawn(pixel, 10, 20, 64, 16)
    assert whole[0] == [0xFF000000 | (x // 2) << 8 for x in range(64)]  # every column twice
    assert all(row == whole[0] for row in whole)
    target = ui.getTarget()
    target.fill((0, 0, 0, 0))
    image.render(0, 0, 10 + 32, 200)  # the left half: the same scale, cut
    pixel = pixels_of(target)
    assert drawn(pixel, 10, 20, 64, 1)[0] == whole[0][:32] + [0] * 32


def test_alpha_draws_at_that_opacity_and_leaves_the_texture_as_it_was(ui, pixels_of):
    texture = Texture(4, 4)
    texture.fill((200, 100, 40))
    image = UIImage(texture)
    image.alpha = 128
    ui.widget.addChild(image, 0, 0)
    ui.render()
    half = pixels_of(ui.getTarget())(1, 1)
    assert abs(((half >> 16) & 255) - 100) <= 2 and abs((half >> 24) - 128) <= 2
    other = Texture(4, 4)
    other.copyFrom(texture)  # the texture itself still draws opaque
    assert pixels_of(other)(1, 1) == 0xFFC86428


def test_an_image_that_draws_nothing(ui, pixels_of):
    for image in (UIImage(None, 20, 20), fixed(UIImage(Texture(4, 4)), 0, 10)):
        ui.widget.addChild(image, 5, 5)
    hidden = UIImage(Texture(4, 4))
    hidden.isVisible = False
    ui.widget.addChild(hidden, 5, 5)
    ui.render()
    pixel = pixels_of(ui.getTarget())
    assert {pixel(x, y) for x in range(40) for y in range(40)} == {0}
    assert UIImage(Texture(4, 4)).render(100, 100, 5, 5) is None  # outside the clip
    lone = UIImage(Texture(4, 4))
    lone.isVisible = False
    assert lone.render() is None
    with pytest.raises(quorvelin.EngineException):
        UIImage(Texture(4, 4)).render()


def test_after_drawing_the_clip_of_the_target_is_as_before(ui, pixels_of):
    ui.widget.addChild(UIImage(Texture(4, 4), 10, 10), 0, 0)
    ui.render()
    target = ui.getTarget()
    target.fill((1, 2, 3))
    assert pixels_of(target)(300, 190) == 0xFF010203
