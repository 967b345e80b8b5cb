"""Every signature the engine shows against what the call really takes, over the
whole API table, in a child process (see signatures.py)."""
from . import hostile


def test_signatures_agree_with_the_calls(child, tmp_path):
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile.TESTS!r})
        from reliability import signatures
        signatures.main({str(tmp_path)!r})
    """, timeout=600)
    lines = result.stdout.splitlines()
    assert result.returncode == 0 and lines and lines[-1].startswith("DONE"), result.stderr[-4000:]
    assert [line for line in lines if line.startswith("BAD ")] == []
