"""Mutated level file pairs, in a child process per seed (see levelfuzz): a crash or a
sanitizer report fails the seed's test, and every outcome must be a normal return or
an ordinary Python exception, with the grid always whole."""
import os

import pytest

from . import hostile

ROUNDS = 400


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_mutated_level_pairs(child, seed, tmp_path):
    env = {}
    if hostile.SANITIZED:
        env["ASAN_OPTIONS"] = (os.environ.get("ASAN_OPTIONS", "") +
                               ":allocator_may_return_null=1:max_allocation_size_mb=4096")
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile.TESTS!r})
        from reliability import levelfuzz
        levelfuzz.main({seed}, {ROUNDS}, {str(tmp_path)!r})
    """, env=env, timeout=600)
    lines = result.stdout.splitlines()
    assert result.returncode == 0 and lines and lines[-1].startswith("DONE"), \
        f"exit {result.returncode}:\n{result.stderr[-4000:]}"
    assert [line for line in lines if line.startswith("BAD ")] == []
