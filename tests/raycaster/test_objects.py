"""Camera and RaycastingRenderer as objects: construction and its errors, properties,
the default camera, the flashlight, pickling refused; a renderer in an engine's Ecs."""
import pickle

import pytest

from quorvelin import (Camera, Engine, Entity, PositionComponent, RaycastingRenderer, Renderer,
                       SpriteComponent, Texture, Vector2)

from .conftest import model, room, textures

CINIT = "no default __reduce__ due to non-trivial __cinit__"


def values(camera):
    return camera.pos, camera.dir, camera.fov, camera.pitch, camera.ratio


# --- Camera -----------------------------------------------------------------------------------------

def test_camera_keeps_the_given_vectors():
    pos, direction = Vector2(1, 2), Vector2(1, 0)
    camera = Camera(pos, direction, 90, 0)
    assert values(camera) == (pos, direction, 90, 0, 1.6)
    assert camera.pos is pos and camera.dir is direction
    camera.pos.x = 3  # moves the camera
    assert camera.pos.x == 3
    assert values(Camera(dir=None, pos=None, fov=-5, pitch=2 ** 31 - 1, ratio=0)) == \
        (None, None, -5, 2 ** 31 - 1, 0.0)


def test_camera_numbers():
    camera = Camera(Vector2(1, 2), Vector2(1, 0), 90, 0, 2)
    camera.fov = 75.9
    camera.pitch = -30
    camera.ratio = 1
    assert (camera.fov, camera.pitch, camera.ratio) == (75, -30, 1.0)
    assert isinstance(camera.ratio, float)
    for name in ("fov", "pitch", "ratio"):
        with pytest.raises(NotImplementedError, match="__del__"):
            delattr(camera, name)
    for name in ("pos", "dir"):
        with pytest.raises(AttributeError):
            setattr(camera, name, Vector2(3, 3))


@pytest.mark.parametrize("args, error, message", [
    ((Vector2(0, 0), Vector2(1, 0), 60), TypeError,
     r"__init__\(\) takes at least 4 positional arguments \(3 given\)"),
    ((Vector2(0, 0), Vector2(1, 0), 60, 0, 1.6, 7), TypeError,
     r"__init__\(\) takes at most 5 positional arguments \(6 given\)"),
    ((Vector2(0, 0), Vector2(1, 0), "60", 0), TypeError, "an integer is required"),
    ((Vector2(0, 0), Vector2(1, 0), 60, 2 ** 31), OverflowError, "too large to convert to int"),
    ((Vector2(0, 0), Vector2(1, 0), 60, 0, "wide"), TypeError, "must be real number, not str"),
    ((5, Vector2(1, 0), 60, 0), TypeError,
     r"Argument 'pos' has incorrect type \(expected quorvelin.Vector2, got int\)"),
    ((Vector2(0, 0), (1, 0), 60, 0), TypeError,
     r"Argument 'dir' has incorrect type \(expected quorvelin.Vector2, got tuple\)"),
])
def test_camera_errors_keep_the_previous_values(args, error, message):
    camera = Camera(Vector2(1, 2), Vector2(1, 0), 90, 3, 2.0)
    before = values(camera)
    with pytest.raises(error, match=message):
        camera.__init__(*args)
    assert values(camera) == before


@pytest.mark.parametrize("make", [
    lambda: Camera(Vector2(1, 2), Vector2(1, 0), 90, 0),
    lambda: RaycastingRenderer(Texture(4, 4), None),
], ids=["Camera", "RaycastingRenderer"])
def test_pickling_is_refused(make):
    with pytest.raises(TypeError, match=CINIT):
        pickle.dumps(make())
    with pytest.raises(TypeError, match=CINIT):
        make().__setstate__(())


# --- RaycastingRenderer --------------------------------------------------------------------------------

def test_a_new_renderer(scene):
    width, height, data = room()
    level = scene(model.Level(width, height, data, textures())).level
    target = Texture(16, 8)
    renderer = RaycastingRenderer(target, level)
    camera = renderer.getCamera()
    assert (camera.pos.x, camera.pos.y, camera.dir.x, camera.dir.y) == (2.5, 2.5, 0, 1)
    assert (camera.fov, camera.pitch, camera.ratio) == (60, 20, 1.6)
    other = RaycastingRenderer(target=target, level=level)
    assert other.getCamera() is not camera and other.getCamera().pos is not camera.pos
    assert renderer.getTarget() is target and renderer.level is level
    assert renderer._interestedComponentTypes == (PositionComponent, SpriteComponent)
    with pytest.raises(AttributeError):
        renderer.level = None
    assert renderer._setFlashlight(Texture(2, 2)) is None
    assert renderer._setFlashlight(None) is None


def test_documentation():
    assert RaycastingRenderer.__doc__.strip().startswith(
        "Renders 2.5D levels using the raycasting technique")
    assert RaycastingRenderer.getCamera.__doc__.split() == \
        "@returns(Camera) Returns the camera object that is used for rendering the scene".split()
    assert [line.strip() for line in RaycastingRenderer.castRay.__doc__.strip().splitlines()] == [
        "Casts a ray from <code>pos</code> in the direction <code>dir</code>.",
        "If a wall is hit, the position of that hit is returned. If the ray",
        "leaves the level boundaries, None is returned.", "@param(pos, Vector2)",
        "@param(dir, Vector2)", "@returns(Vector2)"]
    assert Camera.__doc__ is None


class Sized(Texture):
    def __init__(self, size):
        Texture.__init__(self, 4, 4)
        self.size = size

    def getSize(self):
        return self.size


@pytest.mark.parametrize("args, error, message", [
    ((Texture(4, 4),), TypeError, r"__init__\(\) takes exactly 2 positional arguments \(1 given\)"),
    ((5, None), TypeError,
     r"Argument 'target' has incorrect type \(expected quorvelin.Texture, got int\)"),
    ((Texture(4, 4), 5), TypeError,
     r"Argument 'level' has incorrect type \(expected quorvelin.Level, got int\)"),
    ((None, None), AttributeError, "'NoneType' object has no attribute 'getSize'"),
    ((Sized((4, 4, 4)), None), ValueError, r"too many values to unpack \(expected 2\)"),
    ((Sized((-1, 4)), None), OverflowError, "can't convert negative value to size_t"),
])
def test_construction_errors(args, error, message):
    with pytest.raises(error, match=message):
        RaycastingRenderer(*args)


def test_set_flashlight_refuses_other_types():
    renderer = RaycastingRenderer(Texture(4, 4), None)
    lamp = Texture(2, 2)
    renderer._setFlashlight(lamp)
    with pytest.raises(TypeError, match=r"Argument 'flashlight' has incorrect type "
                                        r"\(expected quorvelin.Texture, got int\)"):
        renderer._setFlashlight(5)


def test_the_engine_draws_the_renderer_every_frame(scene):
    width, height, data = room()
    made = scene(model.Level(width, height, data, textures()), (32, 24))
    engine = Engine()
    engine.init("raycaster", (32, 24))
    engine.ecs.addSystem(made.renderer)
    entity = Entity(-1, PositionComponent(Vector2(3, 3)), SpriteComponent())
    engine.ecs.addEntity(entity)
    assert made.renderer._entities == [entity]
    made.renderer.getCamera().dir.x = 5
    engine.update()
    assert made.renderer.getCamera().dir.length == pytest.approx(1.0)
    assert isinstance(made.renderer, Renderer)
