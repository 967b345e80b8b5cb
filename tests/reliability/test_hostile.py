"""Hostile input for every public constructor, method, property and module function,
each group in a child process: a crash or a sanitizer report fails that group's test
and names the case it died in (see hostile for how the cases are made)."""
import os

import pytest

from registered import engine_classes, row

from . import hostile

GROUPS = engine_classes() + ["module"]


def test_every_public_method_is_in_the_table():
    assert hostile.uncovered() == []


@pytest.mark.parametrize("group", GROUPS)
def test_hostile_input(child, group, tmp_path):
    if group != "module":
        row(hostile.API, group, "the hostile-input table (hostile.API)")
    env = {}
    if hostile.SANITIZED:
        # Huge sizes fail to allocate instead of exhausting the machine; freed blocks are
        # overwritten, so that the uninstrumented interpreter crashes on an object that
        # the engine let go while it was still in use.
        env["ASAN_OPTIONS"] = (os.environ.get("ASAN_OPTIONS", "") +
                               ":allocator_may_return_null=1:max_allocation_size_mb=4096"
                               ":max_free_fill_size=4096")
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile.TESTS!r})
        from reliability import hostile
        hostile.main({group!r}, {str(tmp_path)!r})
    """, env=env, timeout=600)
    lines = result.stdout.splitlines()
    started = [line[len("START "):] for line in lines if line.startswith("START ")]
    last = started[-1] if started else "the set-up"
    assert result.returncode == 0 and lines and lines[-1].startswith("DONE"), \
        f"died in {last!r} (exit {result.returncode}):\n{result.stderr[-4000:]}"
    assert [line for line in lines if line.startswith("BAD ")] == []
