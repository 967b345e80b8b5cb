"""Fixtures of the media tests; the files they build are made by .files."""

import pytest

from .files import read_pixels


@pytest.fixture
def pixels_of(tmp_path):
    return lambda texture: read_pixels(texture, tmp_path)
