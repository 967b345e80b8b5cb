"""File names as the system holds them: every loader and saver makes a name into bytes as
Python's open() does (os.fsencode), so a name that os.listdir() gives for bytes that
are not UTF-8 (as surrogates) names the same file everywhere."""
import os
import shutil

import pytest

import quorvelin

from .files import FONT_PATH, write_png, write_wav

STRANGE = b"\xff\xfename"  # not UTF-8: Python shows these bytes as surrogates


def strange(folder, suffix):
    """The file name with bytes that are not UTF-8, as str (bytes for the system)."""
    return os.fsdecode(os.path.join(os.fsencode(folder), STRANGE + suffix.encode()))


@pytest.fixture
def sources(tmp_path):
    png = write_png(tmp_path / "plain.png", 2, 2, [0xFF102030] * 4)
    return {".png": png, ".wav": write_wav(tmp_path / "plain.wav", 0.05), ".ttf": FONT_PATH}


LOADERS = {
    "Texture": (".png", lambda path: quorvelin.Texture(path)),
    "Sound": (".wav", lambda path: quorvelin.Sound(path)),
    "Music": (".wav", lambda path: quorvelin.Music(path)),
    "Font": (".ttf", lambda path: quorvelin.Font(path, 12)),
}


@pytest.mark.parametrize("loader", LOADERS)
def test_loaders_open_the_file_that_listdir_names(tmp_path, sources, loader):
    suffix, load = LOADERS[loader]
    name = strange(tmp_path, suffix)
    shutil.copy(sources[suffix], os.fsencode(name))
    assert os.fsencode(name) in [os.path.join(os.fsencode(tmp_path), entry)
                                 for entry in os.listdir(os.fsencode(tmp_path))]
    assert load(name).filename == name


def test_a_level_and_its_pictures_under_such_names(tmp_path, sources):
    picture = strange(tmp_path, ".png")
    shutil.copy(sources[".png"], os.fsencode(picture))
    level = quorvelin.Level(None)
    level.metadata["textures"] = [picture]
    saved = strange(tmp_path, ".lvl")
    level.saveFile(saved)
    assert os.path.exists(os.fsencode(saved)) and os.path.exists(os.fsencode(saved + ".json"))
    assert quorvelin.Level(saved).getSize() == (30, 30)


def test_a_texture_saves_under_such_a_name(tmp_path):
    name = strange(tmp_path, ".png")
    quorvelin.Texture(3, 2).saveFile(name)
    assert quorvelin.Texture(name).getSize() == (3, 2)


def test_names_the_system_cannot_hold_are_refused_as_open_refuses_them():
    with pytest.raises(UnicodeEncodeError):
        open("\ud800.png")  # a lone surrogate that no bytes stand for
    with pytest.raises(UnicodeEncodeError):
        quorvelin.Texture("\ud800.png")
