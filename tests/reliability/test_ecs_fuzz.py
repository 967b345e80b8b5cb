"""Random pickled states and level-file inputs for the entity-component classes, in a
child process per seed (see ecsfuzz): a crash or a sanitizer report fails the seed's
test, and every outcome must be a normal return or an ordinary Python exception."""
import pytest

from . import hostile

ROUNDS = 1500


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_random_states_and_forms(child, seed):
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile.TESTS!r})
        from reliability import ecsfuzz
        ecsfuzz.main({seed}, {ROUNDS})
    """, timeout=600)
    lines = result.stdout.splitlines()
    assert result.returncode == 0 and lines and lines[-1].startswith("DONE"), \
        f"exit {result.returncode}:\n{result.stderr[-4000:]}"
    assert [line for line in lines if line.startswith("BAD ")] == []
