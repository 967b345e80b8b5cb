"""Whole frames of tiny levels, pixel by pixel against the plain-Python model of the
drawing rules (model.py): sky, walls of square and triangular blocks, floor and
ceiling, distance and ground fog, the flashlight; and pixels worked out by hand."""
import pytest

from media.files import read_pixels
from quorvelin import RaycastingRenderer, Texture

from .conftest import camera, model, noise, plain, room, textures

BLOCKS = {(2, 2): 1, (4, 2): 2, (4, 3): 3, (2, 4): 4, (5, 4): 5, (3, 1): 200}


def first_difference(actual, expected, width):
    for i, (a, e) in enumerate(zip(actual, expected)):
        if a != e:
            return f"pixel ({i % width}, {i // width}) is {a:08x}, expected {e:08x}"
    return None


def level(fog=(0xFF102030, 3), ground=(0xFFC0C8D0, 0), sky=True, **cells):
    width, height, data = room(blocks=BLOCKS, open_ceiling={(3, 3), (4, 4)}, no_floor={(1, 4)},
                               **cells)
    return model.Level(width, height, data, textures(), sky=noise(90, 20, 3) if sky else None,
                       fog_colour=fog[0], fog_density=fog[1], ground_colour=ground[0],
                       ground_density=ground[1])


POSES = [
    camera((1.5, 1.5), (1, 1)),
    camera((3.3, 3.6), (-0.3, -1), fov=75, pitch=6),
    camera((5.4, 1.3), (-1, 0.2), fov=61, pitch=-5, ratio=1.1),
    camera((1.2, 3.5), (1, 0), fov=90, ratio=2.0),  # straight along a grid row
    camera((3.5, 2.5), (0, 1), pitch=12),  # a zero component: 1e-14 in the cast
]


@pytest.mark.parametrize("pose", POSES, ids=range(len(POSES)))
@pytest.mark.parametrize("settings", [
    dict(),
    dict(fog=(0xFF000000, 0), sky=False),
    dict(ground=(0xFFC0C8D0, 60)),
    dict(fog=(0xFF204060, 40), ground=(0xFFFFEEDD, 200)),
], ids=["fog", "no fog, no sky", "ground fog", "thick fogs"])
def test_frames_match_the_model(scene, pose, settings):
    made = scene(level(**settings))
    made.pose(pose)
    made.renderer.render()
    expected, _, _ = made.expected(pose)
    assert first_difference(made.pixels(), expected, 40) is None


@pytest.mark.parametrize("pose", POSES[:3], ids=range(3))
def test_flashlight_matches_the_model(scene, pose):
    made = scene(level(ground=(0xFFC0C8D0, 30)))
    lamp = noise(12, 9, 4)
    made.renderer._setFlashlight(made.texture("lamp.png", lamp))
    made.pose(pose)
    made.renderer.render()
    expected, _, _ = made.expected(pose, flashlight=lamp)
    assert first_difference(made.pixels(), expected, 40) is None


def seams(hits, w, h, camera):
    """(x, y) of each first floor row under a wall whose own row distance passes the
    wall's: the half height rounded down (or clamped to the target)."""
    horizon, hr = model.horizon_of(h, camera.pitch), h / camera.ratio
    found = set()
    for x, hit in enumerate(hits):
        if hit["outOfMap"]:
            continue
        bottom = min(horizon + int(hr / hit["dist"] + 0.5), h - 1)
        if bottom >= 0 and (bottom == horizon or hr / (bottom - horizon) > hit["dist"]):
            found.add((x, bottom))
    return found


def test_the_floor_under_a_wall_stops_at_the_wall(scene):
    """The frame (as test_frames_match_the_model shows) differs from one whose floor
    rows all keep their own distances exactly where such a row would reach beyond the
    wall, and nowhere else."""
    made = scene(level(fog=(0xFF000000, 0), sky=False), size=(160, 120))
    changed_anywhere = set()
    for pose in POSES:
        made.pose(pose)
        made.renderer.render()
        expected, hits, _ = made.expected(pose)
        assert first_difference(made.pixels(), expected, 160) is None
        beyond, _, _ = model.frame(160, 120, made.model, pose, seams=False)
        changed = {(i % 160, i // 160) for i, (a, b) in enumerate(zip(expected, beyond)) if a != b}
        assert changed <= seams(hits, 160, 120, pose)
        changed_anywhere |= changed
    assert len(changed_anywhere) > 10


# --- pixels worked out by hand ---------------------------------------------------------------

WHITE = 0xFFFFFFFF
BACKGROUND = 0xFF00B464


def white_room(fog_density=0, ceiling=6, sky=None):
    width, height, data = room(faces=lambda x, y, side: 0)
    if ceiling != 6:
        data = bytes(ceiling if i % 7 == 2 else b for i, b in enumerate(data))
    return model.Level(width, height, data, [plain(4, 4, WHITE)] * 7, sky=sky,
                       fog_colour=0xFF123456, fog_density=fog_density)


def test_unfogged_colours_are_scaled_by_255_over_256(scene):
    made = scene(white_room())
    made.pose(camera((3.5, 3.0), (1, 0)))  # the east wall 2.5 away: rows 7 to 22
    made.renderer.render()
    pixels = made.pixels()
    assert pixels[15 * 40 + 20] == 0xFFFEFEFE  # wall: one blend of weight 0
    assert pixels[0 * 40 + 20] == 0xFFFEFEFE  # ceiling: the same
    assert pixels[29 * 40 + 20] == 0xFFFDFDFD  # floor: through both fogs, 255 -> 254 -> 253


def test_total_fog_draws_the_fog_colour_except_where_there_is_no_texture(scene):
    made = scene(white_room(fog_density=1000, ceiling=255))
    made.pose(camera((3.5, 3.0), (1, 0)))
    made.renderer.render()
    pixels = made.pixels()
    assert set(pixels) == {0xFF123456, BACKGROUND}
    assert set(pixels[:40]) == {BACKGROUND}  # the ceiling has no texture: nothing drawn
    assert set(pixels[-40:]) == {0xFF123456}


def sky_only(scene, sky, fov, direction=(1, 0), pitch=0):
    """A level of empty cells without floor or ceiling textures: every ray leaves the
    map, so the sky is all there is."""
    data = bytes([0, 255, 255, 0, 0, 0, 0] * 9)
    made = scene(model.Level(3, 3, data, [plain(2, 2, WHITE)], sky=sky), size=(10, 6))
    made.pose(camera((1.5, 1.5), direction, fov=fov, pitch=pitch))
    made.renderer.render()
    return made.pixels()


def test_sky_columns_follow_the_view_angle_and_rows_the_horizon(scene):
    sky = model.Image(360, 4, [0xFF000000 | i for i in range(360 * 4)])
    pixels = sky_only(scene, sky, fov=61)
    # Horizon row 3 shows sky row int(4 / 2) = 2. Column 0 looks at 0 / 10 * 61 + 0 - 61 // 2
    # = -30 degrees (half a degree off the walls' first ray), wrapped to 330.
    assert pixels[3 * 10 + 0] == 0xFF000000 | (2 * 360 + 330)
    assert pixels[0 * 10 + 0] == 0xFF000000 | (1 * 360 + 330)  # int(3 / 12 * 4) = 1
    assert pixels[3 * 10 + 5] == 0xFF000000 | (2 * 360 + 0)  # 5 / 10 * 61 - 30 = 0.5 degrees
    assert {(p & 0xFFFFFF) // 360 for p in pixels[30:40]} == {2}  # the whole horizon row
    # A pitch slides the sky with the horizon: row 5 is now the horizon.
    assert sky_only(scene, sky, fov=61, pitch=2)[5 * 10] == 0xFF000000 | (2 * 360 + 330)


def test_a_tiny_negative_angle_wraps_to_the_first_sky_column(scene):
    # fov 0 and an angle of -1e-20 degrees: -1e-20 + 360 rounds to 360.0, the sky's width.
    sky = model.Image(360, 4, [0xFF000000 | i for i in range(360 * 4)])
    pixels = sky_only(scene, sky, fov=0, direction=(1, -1e-20 / 57.29577951308232))
    assert pixels[3 * 10] == 0xFF000000 | (2 * 360 + 0)


def test_the_frame_normalises_the_camera_direction_in_place(scene):
    made = scene(white_room())
    view = made.renderer.getCamera()
    direction = view.dir
    direction.x, direction.y = 3, 4
    made.renderer.render()
    assert view.dir is direction and (direction.x, direction.y) == (0.6, 0.8)


def test_a_renderer_without_a_level_draws_the_background(tmp_path):
    target = Texture(8, 6)
    renderer = RaycastingRenderer(target, None)
    target.fill((1, 2, 3))
    assert renderer.render() is None
    assert set(read_pixels(target, tmp_path)) == {BACKGROUND}
