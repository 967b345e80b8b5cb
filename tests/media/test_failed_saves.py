"""Saves that fail half-way: a texture, a screenshot and a level pair written under a
real file-size limit (set in a child process, with SIGXFSZ ignored so that the write
fails instead of killing it) or over a directory. The previous files must stay as they
were, byte for byte, no temporary file may be left beside them, the failure must be
the save's own error, and nothing is announced as written."""
import json
import os
import random

import pytest

from .files import write_png

NOISE = 64  # a noisy picture of NOISE x NOISE pixels: its PNG cannot be small

TEXTURE = "import quorvelin; subject = quorvelin.Texture(NOISE_PATH)"
SAVE_TEXTURE = "subject.saveFile(os.path.join(FOLDER, 'out.png'))"
LEVEL = "import quorvelin; subject = quorvelin.Level(os.path.join(FOLDER, 'source.lvl'))"
SAVE_LEVEL = "subject.saveFile(os.path.join(FOLDER, 'map.lvl'))"
OLD_PAIR = {"map.lvl": b"old cells", "map.lvl.json": b'{"old": "header"}'}
TOO_LARGE = "[Errno 27] File too large: '{folder}/"

# name: (the files there before, as name -> bytes; the child's set-up; the save;
#        the file-size limit or None; the error the save raises)
CASES = {
    "texture past the limit": ({"out.png": b"old picture"}, TEXTURE, SAVE_TEXTURE, 4096,
                               ["OSError", "Unable to save image file '{folder}/out.png'"]),
    "texture over a directory": ({"out.png/kept": b"inside"}, TEXTURE, SAVE_TEXTURE, None,
                                 ["OSError", "Unable to save image file '{folder}/out.png'"]),
    "screenshot past the limit": (
        {"shot.png": b"old shot"},
        "import quorvelin; subject = quorvelin.Engine();"
        " subject.init('shot', (320, 240), show=False); subject.update()",
        "subject.saveScreenshot(os.path.join(FOLDER, 'shot.png'))",
        64, ["EngineSdlException", "Could not save the screenshot."]),
    "level cells past the limit": (OLD_PAIR, LEVEL, SAVE_LEVEL, 8192,
                                   ["OSError", TOO_LARGE + "map.lvl'"]),
    "level header past the limit": (OLD_PAIR, LEVEL + "; subject.metadata['notes'] = 'n' * 20000",
                                    SAVE_LEVEL, 8192, ["OSError", TOO_LARGE + "map.lvl.json'"]),
    "level header over a directory": (
        {"map.lvl": b"old cells", "map.lvl.json/kept": b"inside"}, LEVEL, SAVE_LEVEL, None,
        ["IsADirectoryError", "[Errno 21] Is a directory: '{folder}/map.lvl.json'"]),
}

CHILD = """
import contextlib, io, json, os, resource, signal
FOLDER, NOISE_PATH = {folder!r}, {noise!r}
{setup}
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
if {limit!r} is not None:
    resource.setrlimit(resource.RLIMIT_FSIZE, ({limit!r}, resource.RLIM_INFINITY))
printed = io.StringIO()
try:
    with contextlib.redirect_stdout(printed):
        {save}
    outcome = None
except Exception as error:
    outcome = [type(error).__name__, getattr(error, "msg", None) or str(error)]
print(json.dumps([outcome, printed.getvalue()]))
"""


def snapshot(folder):
    """Every file under `folder` with its bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                found[os.path.relpath(path, folder)] = file.read()
    return found


@pytest.mark.parametrize("case", CASES)
def test_a_failed_save_leaves_the_previous_files(child, tmp_path, case):
    before, setup, save, limit, error = CASES[case]
    sources = tmp_path / "sources"
    sources.mkdir()
    rng = random.Random(7)
    noise = str(sources / "noise.png")
    write_png(noise, NOISE, NOISE, [rng.getrandbits(32) for _ in range(NOISE * NOISE)])
    with open(sources / "source.lvl.json", "w") as header:
        json.dump({"width": 64, "height": 64}, header)
    (sources / "source.lvl").write_bytes(rng.randbytes(64 * 64 * 7))
    folder = tmp_path / "saves"
    for name, content in before.items():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(content)
    script = CHILD.format(folder=str(folder), noise=noise,
                          setup=setup.replace("'source.lvl'", repr(str(sources / "source.lvl"))),
                          save=save, limit=limit)
    result = child(script)
    assert result.returncode == 0, result.stderr[-3000:]
    outcome, printed = json.loads(result.stdout.splitlines()[-1])
    assert outcome == [error[0], error[1].format(folder=folder)]
    assert printed == ""
    assert snapshot(folder) == before  # nothing changed, nothing left behind


@pytest.mark.parametrize("limit", [None, 1 << 20])
def test_saves_within_the_limit_replace_the_files(child, tmp_path, limit):
    """The same saves with room enough: each file is replaced whole, and nothing else
    is left in the folder."""
    before = {"out.png": b"old picture", "map.lvl": b"old cells", "map.lvl.json": b"{}"}
    for name, content in before.items():
        (tmp_path / name).write_bytes(content)
    script = CHILD.format(folder=str(tmp_path), noise="", limit=limit, setup="""
import quorvelin
texture = quorvelin.Texture(3, 2)
texture.fill((1, 2, 3))
level = quorvelin.Level(None)
""", save="texture.saveFile(os.path.join(FOLDER, 'out.png')); "
          "level.saveFile(os.path.join(FOLDER, 'map.lvl'))")
    result = child(script)
    assert result.returncode == 0, result.stderr[-3000:]
    outcome, printed = json.loads(result.stdout.splitlines()[-1])
    assert outcome is None
    assert printed.splitlines() == [f"wrote file {tmp_path}/map.lvl.json", f"wrote file {tmp_path}/map.lvl"]
    after = snapshot(tmp_path)
    assert sorted(after) == sorted(before)
    assert after["out.png"].startswith(b"\x89PNG") and len(after["map.lvl"]) == 30 * 30 * 7
    assert json.loads(after["map.lvl.json"])["width"] == 30
