"""A frame under hostile conditions: errors of render that propagate and those of its
passes that are printed; targets, levels and cameras changed under it, by Python code
that runs inside the frame too; hostile poses in child processes; the same bytes on
one thread and on several."""
import math
import os

import pytest

from quorvelin import EngineException, RaycastingRenderer, Renderer, Texture, Vector2

from .conftest import camera, model, noise, room, textures

BACKGROUND = 0xFF00B464


@pytest.fixture
def made(scene):
    open_sky = {(x, y) for x in range(1, 6) for y in range(1, 3)}
    width, height, data = room(blocks={(3, 2): 1, (4, 3): 4}, open_ceiling=open_sky)
    level = model.Level(width, height, data, textures(), sky=noise(30, 10, 1), fog_density=2,
                        ground_density=30)
    result = scene(level)
    result.pose(camera((1.5, 1.5), (1, 0.6)))
    return result


class Turning(Vector2):
    """A direction whose answers come from Python: its angle, or a failure."""
    fail = False

    def getDegrees(self):
        if self.fail:
            raise RuntimeError("no angle")
        return 90.0


def test_the_direction_answers_for_the_sky(made):
    made.renderer.getCamera().__init__(Vector2(1.5, 1.5), Turning(1, 0.6), 60, 0)
    made.renderer.render()
    expected, _, _ = made.expected(camera((1.5, 1.5), (1, 0.6), pitch=0))
    turned = model.Camera((1.5, 1.5), (1, 0.6), pitch=0, sky_degrees=90.0)
    assert made.pixels() == made.expected(turned)[0] != expected


def test_a_failing_sky_is_printed_and_the_rest_drawn(made, unraisable):
    direction = Turning(1, 0.6)
    direction.fail = True
    made.renderer.getCamera().__init__(Vector2(1.5, 1.5), direction, 60, 0)
    made.renderer.render()
    assert [r.object for r in unraisable] == ["quorvelin.RaycastingRenderer.renderSky"]
    assert "no angle" in str(unraisable[0].exc_value)
    made.model.sky = None
    expected, _, _ = made.expected(camera((1.5, 1.5), (1, 0.6), pitch=0))
    assert made.pixels() == expected


def test_a_failing_wall_pass_leaves_the_background_and_sky(made, unraisable):
    made.renderer.getCamera().__init__(None, Vector2(1, 0), 60, 0)
    made.renderer.render()
    assert [r.object for r in unraisable] == ["quorvelin.RaycastingRenderer.renderWalls"]
    assert "'NoneType' object has no attribute 'x'" in str(unraisable[0].exc_value)
    pixels = made.pixels()
    sky = [0] * (40 * 30)
    model.draw_sky(sky, 40, 30, made.model, camera((0, 0), (1, 0)))
    assert pixels == sky


@pytest.mark.parametrize("change, error, message", [
    (lambda r: r.getCamera().__init__(Vector2(1, 1), None, 60, 0), AttributeError,
     "'NoneType' object has no attribute 'normalize'"),
    (lambda r: Renderer.__init__(r, Texture.__new__(Texture)), EngineException,
     "Texture is not initialised."),
])
def test_render_errors_propagate(made, change, error, message):
    change(made.renderer)
    with pytest.raises(error, match=message):
        made.renderer.render()


def test_a_target_of_none():
    renderer = RaycastingRenderer(Texture(4, 4), None)
    Renderer.__init__(renderer, None)
    with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'fill'"):
        renderer.render()
    with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'getSize'"):
        renderer.getWorldCellByScreenCoords(0, 0)


def test_a_target_resized_is_drawn_at_its_new_size(made):
    made.target.__init__(60, 20)
    made.renderer.render()
    made.size = (60, 20)
    expected, _, _ = made.expected(camera((1.5, 1.5), (1, 0.6)))
    assert made.pixels() == expected
    made.target.__init__(12, 50)
    made.renderer.render()
    made.size = (12, 50)
    assert made.pixels() == made.expected(camera((1.5, 1.5), (1, 0.6)))[0]


class Shrinking(Texture):
    """A target that re-initialises itself, smaller, when asked for its size."""

    def getSize(self):
        size = (self.width, self.height)
        Texture.__init__(self, 3, 2)
        return size


def test_python_code_inside_the_frame_cannot_pull_memory_away(made):
    target = Shrinking(40, 30)
    renderer = RaycastingRenderer(target, made.level)
    renderer.render()  # 40 x 30 asked for, 3 x 2 there when the frame draws
    assert target.getSize() == (3, 2)
    with pytest.raises(IndexError):
        renderer.getWorldCellByScreenCoords(5, 0)

    class Reloading(Vector2):
        def getDegrees(self):
            made.level._loadFromFile(made.level.filename)  # the level's arrays replaced
            made.renderer._setFlashlight(Texture(1, 1))
            return 0.0
    made.renderer.getCamera().__init__(Vector2(1.5, 1.5), Reloading(1, 0), 60, 0)
    made.renderer.render()  # drawn from the reloaded level (the sanitized run watches)
    assert made.pixels() == made.expected(camera((1.5, 1.5), (1, 0), pitch=0),
                                          flashlight=model.Image(1, 1, [0]))[0]


# --- hostile poses, in child processes ---------------------------------------------------------------

EXAMPLE = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                       "examples", "assets", "level")

# The example level (fog, ground fog, sky, open ceilings, triangles), a flashlight and
# sprites of every kind, drawn and queried from each pose at each target size.
HOSTILE = """
import math
import quorvelin as q
from quorvelin import Vector2
level = q.Level(LEVEL)
target = q.Texture(48, 30)
renderer = q.RaycastingRenderer(target, level)
renderer._setFlashlight(q.Texture(8, 8))
engine = q.Engine()
sheet = q.Texture(8, 8)
sheet.fill((200, 10, 10, 128))
sprite = q.Sprite(sheet, 2, 2, [q.SpriteAnimation("a", 2, True, 1.0, 0, 2)])
renderer._setEngine(engine)
for i in range(4):
    renderer._entities.append(q.Entity(-1, q.PositionComponent(Vector2(3 + i, 4)),
                                       q.SpriteComponent(sprite, bool(i % 2), 0.5 * i, 1 + i, i % 2)))
camera = renderer.getCamera()
cases = CASES
for pos, direction, fov, pitch, ratio, size in cases:
    camera.__init__(Vector2(*pos), Vector2(*direction), fov, pitch, ratio)
    target.__init__(*size)
    renderer.render()
    for x, y in ((0, 0), (size[0] - 1, size[1] // 2), (size[0] // 2, -5)):
        for query in (renderer.getWorldCellByScreenCoords, renderer.getWorldPosByScreenCoords,
                      renderer.getEntityAtScreenCoords):
            try:
                query(x, y)
            except (IndexError, ZeroDivisionError, OverflowError, ValueError):
                pass
    renderer.castRay(Vector2(*pos), Vector2(*direction))
print("drawn", len(cases))
"""

NAN, INF = math.nan, math.inf
POSES = [
    ((-1, 2), (1, 0), 60, 0, 1.6),  # off the map, looking in
    ((16.0, 5), (-1, 0), 60, 0, 1.6),  # on the far border
    ((5, 12.0), (0, -1), 60, 0, 1.6),
    ((NAN, 3), (1, 0), 60, 0, 1.6),  # not a number
    ((INF, -INF), (1, 0), 60, 0, 1.6),
    ((3.5, 3.5), (NAN, NAN), 60, 0, 1.6),
    ((3.5, 3.5), (0, 0), 60, 0, 1.6),  # a zero direction
    ((3.5, 3.5), (1, 0), 60, 2 ** 31 - 1, 1.6),  # horizons far off the target
    ((3.5, 3.5), (1, 0), 60, -2 ** 31, 1.6),
    ((3.5, 3.5), (1, 0), 60, 100, 1.6),
    ((3.5, 3.5), (1, 0), 60, 0, 0.0),  # ratios that give no picture
    ((3.5, 3.5), (1, 0), 60, 0, -1.6),
    ((3.5, 3.5), (1, 0), 60, 0, NAN),
    ((3.5, 3.5), (1, 0), 60, 0, 1e-300),
    ((3.5, 3.5), (1, 0), 0, 0, 1.6),  # fields of view
    ((3.5, 3.5), (1, 0), -90, 0, 1.6),
    ((3.5, 3.5), (1, 0), 2 ** 31 - 1, 0, 1.6),
    ((3.5, 3.5), (1, 0), -2 ** 31, 0, 1.6),
    ((1.0, 2.5), (-1, 0), 60, 0, 1.6),  # a wall in the eye
    ((1.000000001, 2.5), (-1, 0), 60, 0, 1.6),
    ((3.0, 4.0), (1, 0), 60, 0, 1.6),  # right on a sprite
    ((2.2, 1.5), (-1, 0.1), 60, 0, 1.6),  # inside a triangle
]
SIZES = [(48, 30), (1, 1), (48, 0), (0, 30), (2, 1), (300, 200)]


@pytest.mark.parametrize("sizes", [SIZES[:1], SIZES[1:]], ids=["poses", "target sizes"])
def test_hostile_poses_draw_inside_their_buffers(child, sizes):
    cases = [pose + (size,) for pose in POSES for size in sizes]
    code = HOSTILE.replace("CASES", repr(cases).replace("nan", "math.nan").replace(
        "inf", "math.inf")).replace("LEVEL", repr(os.path.join(EXAMPLE, "hall.lvl")))
    result = child(code, timeout=300)
    assert result.returncode == 0, result.stderr[-3000:]
    assert f"drawn {len(cases)}" in result.stdout


# --- threads ---------------------------------------------------------------------------------------------

THREADS = """
import hashlib, os, random
import quorvelin as q
from quorvelin import Vector2
level = q.Level(LEVEL)
target = q.Texture(320, 240)
renderer = q.RaycastingRenderer(target, level)
renderer._setFlashlight(q.Texture(LAMP))
engine = q.Engine()
renderer._setEngine(engine)
for entity in level.getEntities(q.PositionComponent, q.SpriteComponent):
    renderer._entities.append(entity)
camera = renderer.getCamera()
generator = random.Random(5)
digests = []
for pose in range(POSES):
    while True:
        x, y = generator.uniform(1, level.width - 1), generator.uniform(1, level.height - 1)
        if level.getBlock(int(x), int(y)) == 0:
            break
    camera.pos.x, camera.pos.y = x, y
    camera.dir.x, camera.dir.y = generator.uniform(-1, 1), generator.uniform(-1, 1)
    # A frame normalises the direction in place, which may change its last bits again:
    # one that normalising keeps as it is gives every frame of the pose the same rays.
    while True:
        before = (camera.dir.x, camera.dir.y)
        camera.dir.normalize()
        if (camera.dir.x, camera.dir.y) == before:
            break
    camera.fov, camera.pitch = generator.choice((60, 61, 90)), generator.randrange(-40, 41)
    camera.ratio = generator.choice((1.6, 1.1, 2.0))
    for threads in ("1", "2", "3", "8"):
        os.environ["QUORVELIN_RENDER_THREADS"] = threads
        renderer.render()
        path = PATH + threads + ".png"
        target.saveFile(path)
        with open(path, "rb") as file:
            digests.append((pose, threads, hashlib.sha256(file.read()).hexdigest()))
print(digests)
"""


def test_threads_draw_the_same_bytes(child, tmp_path):
    code = (THREADS.replace("LEVEL", repr(os.path.join(EXAMPLE, "hall.lvl")))
            .replace("LAMP", repr(os.path.join(EXAMPLE, "lamp.png")))
            .replace("PATH", repr(str(tmp_path / "frame"))).replace("POSES", "24"))
    result = child(code, timeout=300)
    assert result.returncode == 0, result.stderr[-3000:]
    digests = eval(result.stdout.strip().splitlines()[-1])
    by_pose = {}
    for pose, threads, digest in digests:
        by_pose.setdefault(pose, set()).add(digest)
    assert len(by_pose) == 24 and all(len(found) == 1 for found in by_pose.values())
    assert len({next(iter(found)) for found in by_pose.values()}) > 20  # the poses differ


NO_THREADS = """
import hashlib, os, resource
import quorvelin as q
level = q.Level(LEVEL)
target = q.Texture(320, 240)
renderer = q.RaycastingRenderer(target, level)


def frame(threads):
    os.environ["QUORVELIN_RENDER_THREADS"] = threads
    renderer.render()
    target.saveFile(PATH)
    with open(PATH, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


alone = frame("1")
with open("/proc/self/status") as status:
    size = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize"))
# Room for the frame, none for a thread's stack (8 MiB).
resource.setrlimit(resource.RLIMIT_AS, (size + (4 << 20), size + (4 << 20)))
outcomes = []
for attempt in range(3):
    try:
        outcomes.append(frame("8") == alone)
    except MemoryError:
        outcomes.append("MemoryError")
print(outcomes)
"""


def test_a_frame_whose_workers_cannot_start_is_drawn_on_the_calling_thread(child, tmp_path):
    # Under a limit on the address space the system refuses a worker its stack; the frame
    # is the same on any number of threads, so it is drawn on the calling thread instead.
    code = (NO_THREADS.replace("LEVEL", repr(os.path.join(EXAMPLE, "hall.lvl")))
            .replace("PATH", repr(str(tmp_path / "frame.png"))))
    result = child(code, timeout=120)
    assert result.returncode == 0, result.stderr[-3000:]
    outcomes = eval(result.stdout.strip().splitlines()[-1])
    assert all(outcome in (True, "MemoryError") for outcome in outcomes) and True in outcomes


FORK = """
import os, sys
import quorvelin as q
os.environ["QUORVELIN_RENDER_THREADS"] = "4"
renderer = q.RaycastingRenderer(q.Texture(320, 240), q.Level(LEVEL))
renderer.render()  # the workers start
pid = os.fork()
if pid == 0:
    renderer.render()  # without the parent's workers
    sys.exit(0)  # and the child ends as any process does
_, status = os.waitpid(pid, 0)
renderer.render()
print("child", status)
"""


def test_a_forked_child_draws_and_ends(child):
    result = child(FORK.replace("LEVEL", repr(os.path.join(EXAMPLE, "hall.lvl"))), timeout=60)
    assert result.returncode == 0, result.stderr[-3000:]
    assert result.stdout.strip().splitlines()[-1] == "child 0"
