"""The demo walks its route by itself without a display: it runs to the end and saves
the pictures of the walk; on the way it clicks the UI and bumps into a guard and a wall."""
import os
import subprocess
import sys

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def test_the_demo_walks_by_itself(tmp_path):
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    result = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "demo.py"),
                             "--frames", "95", "--out", str(tmp_path)],
                            env=env, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr[-3000:]
    assert "95 frames" in result.stdout and "click at (320, 200)" in result.stdout
    assert sorted(os.listdir(tmp_path)) == ["demo.png", "walk-1.png", "walk-2.png", "walk-3.png"]
    assert "button clicked" in result.stdout and "sound volume 108" in result.stdout
    with Image.open(tmp_path / "demo.png") as picture:
        assert picture.size == (640, 400)
        assert len(picture.convert("RGB").getcolors(1 << 20)) > 100  # a picture, not a fill


def test_the_whole_walk_bumps_into_a_guard_and_a_wall(tmp_path):
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    result = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "demo.py"),
                             "--out", str(tmp_path)],
                            env=env, capture_output=True, text=True, timeout=600)
    assert result.returncode == 0, result.stderr[-3000:]
    bumps = [line for line in result.stdout.splitlines() if line.startswith("bump:")]
    assert bumps == ["bump: entity 3", "bump: a wall"]
