"""UITheme: the theme file, its paths, colours and fonts, and the failures in the order
the file is read."""
import json
import os
import pickle

import pytest

import quorvelin
from quorvelin import UITheme

from .themes import FONTS, OMIT, widget_skins, write_theme, write_tileset


def test_a_theme_loads_its_parts(theme_path):
    theme = UITheme(theme_path)
    assert theme.widgets == widget_skins()
    assert theme.widgets is theme.widgets  # the table itself, so changes are seen everywhere
    assert isinstance(theme.getFont("aileron"), quorvelin.Font)
    assert theme.getFont("aileron").size == 12
    assert theme.getColor("fontColor") == (0xEE, 0xDD, 0xCC, 0xFF)
    assert theme.getIntColor("background") == 0xFF102030
    with pytest.raises(AttributeError):
        theme.widgets = {}
    for hidden in ("tileset", "fonts", "colors", "intColors"):
        assert not hasattr(theme, hidden)


@pytest.mark.parametrize("text, packed, unpacked", [
    ("FF336699", 0xFF336699, (0x33, 0x66, 0x99, 0xFF)),
    ("336699", 0x00336699, (0x33, 0x66, 0x99, 0)),  # six digits: alpha 0, by the file format
    ("0xFF336699", 0xFF336699, (0x33, 0x66, 0x99, 0xFF)),
    ("0XFF336699", 0xFF336699, (0x33, 0x66, 0x99, 0xFF)),
    ("ff", 0xFF, (0, 0, 0xFF, 0)),
    (255, 0x255, (0, 0x2, 0x55, 0)),  # a JSON number: its decimal digits read as hexadecimal
    ("1FF336699", 0x1FF336699, (0x33, 0x66, 0x99, 0xFF)),  # wider than 32 bits: kept
])
def test_colours(tmp_path, text, packed, unpacked):
    theme = UITheme(write_theme(tmp_path, colors={"c": text}))
    assert theme.getIntColor("c") == packed
    assert theme.getColor("c") == unpacked


@pytest.mark.parametrize("text", ["#336699", "green", ""])
def test_a_bad_colour_fails_after_the_fonts_loaded(tmp_path, text):
    with pytest.raises(ValueError, match="invalid literal for int"):
        UITheme(write_theme(tmp_path, colors={"c": text}))


@pytest.mark.parametrize("members, error, message", [
    ({"widgets": OMIT}, KeyError, "widgets"),
    ({"widgets": [1]}, TypeError, "Expected dict, got list"),
    ({"tileset": OMIT}, KeyError, "tileset"),
    ({"tileset": "missing.png"}, OSError, "Unable to load image file"),
    ({"fonts": OMIT}, KeyError, "fonts"),
    ({"fonts": None}, AttributeError, "'NoneType' object has no attribute 'keys'"),
    ({"fonts": {"f": {"size": 3}}}, KeyError, "file"),
    ({"fonts": {"f": {"file": "missing.ttf", "size": 3}}}, OSError, "Unable to load font file"),
    ({"colors": OMIT}, KeyError, "colors"),
    ({"colors": None}, AttributeError, "'NoneType' object has no attribute 'keys'"),
    # Read in order: a bad skin table fails before the tileset is opened.
    ({"widgets": 5, "tileset": "missing.png"}, TypeError, "Expected dict, got int"),
])
def test_failures(tmp_path, members, error, message):
    with pytest.raises(error, match=message):
        UITheme(write_theme(tmp_path, **members))


def test_files_that_are_not_themes(tmp_path):
    with pytest.raises(FileNotFoundError):
        UITheme(str(tmp_path / "missing.json"))
    broken = tmp_path / "broken.json"
    broken.write_text("{", encoding="utf-8")
    with pytest.raises(json.JSONDecodeError):
        UITheme(str(broken))
    with pytest.raises(TypeError, match=r"__init__\(\) takes exactly 1 positional argument \(0 given\)"):
        UITheme()


def test_a_theme_without_fonts_colours_or_skins_loads(tmp_path):
    theme = UITheme(write_theme(tmp_path, widgets=None, fonts={}, colors={}))
    assert theme.widgets is None
    with pytest.raises(KeyError, match="aileron"):
        theme.getFont("aileron")
    with pytest.raises(KeyError, match="background"):
        theme.getIntColor("background")


def test_paths_are_relative_to_the_theme_files_folder(tmp_path, monkeypatch):
    folder = tmp_path / "ui"
    folder.mkdir()
    write_tileset(folder / "tiles.png")
    fonts = {"aileron": {"file": "font.ttf", "size": 10}}
    os.symlink(FONTS["aileron"]["file"], folder / "font.ttf")
    content = json.dumps({"widgets": {}, "tileset": "tiles.png", "fonts": fonts, "colors": {}})
    (folder / "theme.json").write_text(content, encoding="utf-8")
    assert UITheme(str(folder / "theme.json")).getFont("aileron").size == 10
    monkeypatch.chdir(folder)  # a bare file name: relative to the working directory
    assert UITheme("theme.json").widgets == {}
    absolute = write_theme(tmp_path, tileset=str(folder / "tiles.png"))
    (tmp_path / "tiles.png").unlink()
    assert UITheme(absolute).widgets == widget_skins()


def test_the_file_is_read_as_utf8_whatever_the_locale(tmp_path, child):
    path = write_theme(tmp_path, colors={"gr\u00fcn": "FF102030"})
    result = child(f"""
        import locale, quorvelin
        assert locale.getpreferredencoding(False) != "UTF-8"
        print(hex(quorvelin.UITheme({path!r}).getIntColor("gr\\u00fcn")))
    """, env={"LC_ALL": "C", "PYTHONUTF8": "0", "PYTHONCOERCECLOCALE": "0"})
    assert result.stdout.strip() == "0xff102030", result.stderr


def test_each_theme_opens_its_own_tileset_and_fonts(theme_path):
    first, second = UITheme(theme_path), UITheme(theme_path)
    assert first.getFont("aileron") is not second.getFont("aileron")


def test_get_font_takes_exactly_a_str_or_none(theme):
    with pytest.raises(TypeError, match=r"Argument 'name' has incorrect type \(expected str, got int\)"):
        theme.getFont(5)
    with pytest.raises(TypeError, match="got Name"):
        theme.getFont(type("Name", (str,), {})("aileron"))
    with pytest.raises(KeyError):
        theme.getFont(None)
    with pytest.raises(KeyError):
        theme.getColor(3)


@pytest.mark.parametrize("color, packed", [
    ((1, 2, 3), 0xFF010203), ([1, 2, 3, 4], 0x04010203), ((0, 0, 256), 0xFF000100),
    (range(5, 9), 0x08050607),
])
def test_convert_rgba_to_int_color(theme, color, packed):
    assert theme._convertRgbaToIntColor(color) == packed


@pytest.mark.parametrize("color, error, message", [
    ((1, 2, 3, 4, 5), ValueError, r"too many values to unpack \(expected 4\)"),
    ((1, 2), ValueError, "need more than 2 values to unpack"),
    ((1,), ValueError, "need more than 1 value to unpack"),
    (5, TypeError, "has no len"),
    ((1.5, 2, 3), TypeError, "unsupported operand"),
])
def test_convert_rgba_to_int_color_failures(theme, color, error, message):
    with pytest.raises(error, match=message):
        theme._convertRgbaToIntColor(color)


def test_the_colour_conversions_by_their_names(theme):
    assert getattr(theme, "__convertHex")("0x10") == 16
    assert getattr(theme, "__convertColor")(0x1FF336699) == (0x33, 0x66, 0x99, 0xFF)


def test_documentation_and_pickling(theme):
    assert UITheme.__init__.__doc__ == "\n        "
    assert UITheme.getIntColor.__doc__ == ("\n        Returns the RGB color as an int with one byte "
                                          "per color\n        @param(name, str)\n        ")
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(theme)
