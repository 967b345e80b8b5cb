"""The two fogs: taken from the header with their defaults, packed as 0xAARRGGBB with
alpha 255, changed through properties that write nothing back into the header, and
errors that are printed instead of raised."""
import pytest

from quorvelin import Level

from .conftest import quiet


def fogs(level):
    return level.fogColor, level.fogDensity, level.groundFogColor, level.groundFogDensity


def load(files, **header):
    return Level(files.write({"width": 0, "height": 0, **header}))


@pytest.mark.parametrize("header, expected", [
    ({}, ((0, 0, 0), 5, (255, 255, 255), 0)),
    ({"fogColor": [255, 128, 0], "fogDensity": 2.9, "groundFogColor": (1, 2, 3),
      "groundFogDensity": -3}, ((255, 128, 0), 2, (1, 2, 3), -3)),
    ({"fogColor": [True, 0, 255]}, ((1, 0, 255), 5, (255, 255, 255), 0)),
])
def test_fog_from_the_header(files, header, expected):
    assert fogs(load(files, **header)) == expected


# (header, message of the printed error, the fields afterwards on a new level)
FAILURES = [
    ({"fogColor": [1, 2]}, "need more than 2 values to unpack", (None, 0, None, 0)),
    ({"fogColor": [1]}, "need more than 1 value to unpack", (None, 0, None, 0)),
    ({"groundFogColor": [1, 2, 3, 4]}, "too many values to unpack (expected 3)",
     ((0, 0, 0), 0, None, 0)),
    ({"fogColor": [1.5, 0, 0]}, "unsupported operand type(s) for <<: 'float' and 'int'",
     (None, 0, None, 0)),
    ({"fogColor": [0, 0, "x"]}, "unsupported operand type(s) for |: 'int' and 'str'",
     (None, 0, None, 0)),
    ({"fogColor": [256, 0, 0]}, "color components must be integers between 0 and 255",
     (None, 0, None, 0)),
    ({"fogColor": [0, -1, 0]}, "color components must be integers between 0 and 255",
     (None, 0, None, 0)),
    ({"fogDensity": "thick"}, "an integer is required", ((0, 0, 0), 0, (255, 255, 255), 0)),
    ({"fogDensity": 2**31, "groundFogDensity": 3}, "value too large",
     ((0, 0, 0), 0, (255, 255, 255), 0)),
    ({"fogColor": 5}, "'int' object is not iterable", (None, 0, None, 0)),
]


@pytest.mark.parametrize("header, message, fields", FAILURES)
def test_unusable_fog_is_printed_and_the_rest_skipped(files, unraisable, header, message, fields):
    level = load(files, **header)
    assert [report.object for report in unraisable] == ["quorvelin.Level._loadFogSettings"]
    assert message in str(unraisable[0].exc_value)
    got = []
    for name in ("fogColor", "fogDensity", "groundFogColor", "groundFogDensity"):
        try:
            got.append(getattr(level, name))
        except TypeError:
            got.append(None)  # still unset
    assert tuple(got) == fields
    assert level.metadata["width"] == 0  # the level loaded all the same


def test_failed_reload_keeps_the_earlier_colour(files, unraisable):
    level = load(files, fogColor=[9, 8, 7])
    level._loadFromFile(files.write({"width": 0, "height": 0, "fogColor": [300, 0, 0]},
                                    name="b.lvl"))
    assert level.fogColor == (9, 8, 7) and len(unraisable) == 1


def test_properties_change_only_the_fields(files):
    level = load(files, fogDensity=3)
    level.fogColor = [10, 20, 30]
    level.groundFogColor = iter((40, 50, 60))
    level.fogDensity = 8
    assert fogs(level) == ((10, 20, 30), 8, (40, 50, 60), 0)
    assert "fogColor" not in level.metadata and level.metadata["fogDensity"] == 3
    quiet(level.saveFile, files.path("saved.lvl"))
    header, _ = files.read("saved.lvl")
    assert '"fogDensity": 3' in header and "fogColor" not in header


@pytest.mark.parametrize("value, error, message", [
    ((10, 20, 30, 255), ValueError, r"too many values to unpack \(expected 3\)"),
    ((1, 2), ValueError, "need more than 2 values to unpack"),
    ((1, 2, 3.0), TypeError, "unsupported operand"),
    ((1, 2, 256), ValueError, "between 0 and 255"),
    ((-1, 0, 0), ValueError, "between 0 and 255"),
    (5, TypeError, "not iterable"),
])
def test_colour_setter_refusals_keep_the_old_colour(files, value, error, message):
    level = load(files, fogColor=[1, 2, 3])
    with pytest.raises(error, match=message):
        level.fogColor = value
    with pytest.raises(error, match=message):
        level.groundFogColor = value
    assert (level.fogColor, level.groundFogColor) == ((1, 2, 3), (255, 255, 255))
