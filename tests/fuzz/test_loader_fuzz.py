"""Mutated files of every kind the engine loads, each kind in a child process per seed
(see loaderfuzz): a crash, a hang or a sanitizer report fails the kind's test and names
the file; every mutated file must load or be refused with a Python exception. The
seeds are small valid files written here (and, for the compressed audio formats that
nothing here can encode, tiny files kept in seeds/: Ogg Vorbis with loop tags, FLAC,
Opus and MP3 tones of a fraction of a second, the MP3s with an ID3v2 tag, or an APE
and an ID3v1 tag at the end): images of five formats, the system's font,
WAVE, AIFF, VOC, MOD and MIDI sounds, the same music but VOC, a level pair and a theme."""
import io
import json
import os
import shutil
import struct

import pytest
from PIL import Image

from media.files import (FONT_PATH, aiff_bytes, id3_frame, id3_tag, mod_bytes, palette_png, riff_chunk, wave_bytes,
                         wave_format)
from ui import themes

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")
COMPRESSED = ["tone.ogg", "tone.flac", "tone.opus", "tone.mp3", "tagged-end.mp3"]

# Mutated files per kind and seed: enough to reach past each format's first checks.
ROUNDS = {"image": 3000, "font": 1000, "sound": 800, "music": 600, "level": 1500, "theme": 3000}


def picture(form):
    """A 6 x 5 picture of varied opaque and transparent pixels in the given format."""
    image = Image.new("RGBA", (6, 5))
    image.putdata([(x * 40, y * 50, (x + y) * 20, 255 if (x + y) % 3 else 0)
                   for y in range(5) for x in range(6)])
    out = io.BytesIO()
    (image if form in ("PNG", "TGA") else image.convert("RGB")).save(out, form)
    return out.getvalue()


def voc_bytes():
    """A VOC file of one 8-bit block at 8 kHz."""
    samples = bytes(128 + (i % 16) for i in range(400))
    header = b"Creative Voice File\x1a" + struct.pack("<HHH", 26, 0x010A, 0x1129)
    block = bytes([1]) + struct.pack("<I", len(samples) + 2)[:3] + bytes([256 - 125, 0]) + samples
    return header + block + b"\0"


def midi_bytes():
    """A MIDI file of one track: two notes."""
    events = bytes([0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0x90, 64, 100, 0x60, 0x80, 64, 0,
                    0x00, 0xFF, 0x2F, 0x00])
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(events)) +
            events)


def level_files():
    header = {"width": 3, "height": 2, "fogColor": [10, 20, 30], "fogDensity": 4,
              "textures": ["tiles.png"], "sprites": [],
              "entities": [{"id": 1, "position": {"x": 1.5, "y": 0.5}}]}
    cells = bytes([1, 0, 0, 0, 0, 0, 0] + [0] * 7 * 4 + [1, 0, 0, 0, 0, 0, 0])
    return cells, json.dumps(header).encode()


@pytest.fixture(scope="module")
def seeds(tmp_path_factory):
    """The seed folder: every seed file, the theme's tileset, and seeds.json."""
    folder = tmp_path_factory.mktemp("seeds")
    files = {"a.png": picture("PNG"), "p.png": palette_png()[0], "a.bmp": picture("BMP"),
             "a.gif": picture("GIF"), "a.jpg": picture("JPEG"), "a.tga": picture("TGA"),
             "a.wav": wave_bytes(frames=500), "a.aiff": aiff_bytes(frames=500), "a.voc": voc_bytes(),
             "tagged.wav": wave_bytes(wave_format(channels=1, bits=8),
                                      riff_chunk(b"LIST", b"INFOINAM\x06\0\0\0title\0IART\x02\0\0\0a\0"),
                                      riff_chunk(b"smpl", bytes(28) + struct.pack("<II", 1, 0) + bytes(24)),
                                      riff_chunk(b"id3 ", id3_tag(id3_frame(b"TIT2", "title"),
                                                                  id3_frame(b"TALB", "album"))),
                                      frames=500),
             "a.mid": midi_bytes(), "a.mod": mod_bytes()}
    cells, header = level_files()
    files["a.lvl"], files["a.lvl.json"] = cells, header
    for name, data in files.items():
        (folder / name).write_bytes(data)
    shutil.copy(FONT_PATH, folder / "font.ttf")
    for name in COMPRESSED:
        shutil.copy(os.path.join(HERE, "seeds", name), folder / name)
    theme = themes.write_theme(folder, name="theme.json")  # with tiles.png beside it
    listed = {
        "image": [[name, None] for name in ("a.png", "p.png", "a.bmp", "a.gif", "a.jpg", "a.tga")],
        "font": [["font.ttf", None]],
        "sound": [[name, None] for name in ("a.wav", "a.aiff", "a.voc", "tagged.wav", "a.mod", "a.mid",
                                            *COMPRESSED)],
        "music": [[name, None] for name in ("a.wav", "a.aiff", "tagged.wav", "a.mid", "a.mod",
                                            *COMPRESSED)],
        "level": [["a.lvl", ".json"]],
        "theme": [[os.path.basename(theme), None]],
    }
    (folder / "seeds.json").write_text(json.dumps(listed))
    return folder


@pytest.mark.parametrize("seed", [1, 2])
@pytest.mark.parametrize("kind", ROUNDS)
def test_mutated_files_load_or_are_refused(child, seeds, kind, seed, tmp_path):
    folder = tmp_path / "run"
    shutil.copytree(seeds, folder)
    env = {}
    if SANITIZED:  # huge sizes in a file fail as allocations do, not as sanitizer reports
        env["ASAN_OPTIONS"] = (os.environ.get("ASAN_OPTIONS", "") +
                               ":allocator_may_return_null=1:max_allocation_size_mb=1024")
    result = child(f"""
        import sys
        sys.path.insert(0, {HERE!r})
        import loaderfuzz
        loaderfuzz.main({kind!r}, {str(folder)!r}, {ROUNDS[kind]}, {seed})
    """, env=env, timeout=600)
    cases = [line for line in result.stderr.splitlines() if line.startswith("CASE ")]
    assert result.returncode == 0, f"exit {result.returncode} at {cases[-1:]}:\n{result.stderr[-3000:]}"
    done = (result.stdout.splitlines() or [''])[-1].split()
    assert done[:2] == ["DONE", kind], result.stdout[-2000:]
    loaded, refused = int(done[2]), int(done[3])
    # The mutations reach both sides: some files still load, some are refused.
    assert loaded > 0 and refused > 0, (loaded, refused)
