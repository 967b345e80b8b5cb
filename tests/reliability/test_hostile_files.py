"""Every loader and saver against file-system objects that are not plain files: a
directory, endless devices, a file whose reads fail, FIFOs whose other end is a thread
of the same process, an unreadable file or folder, a symlink loop and a very long name.
Each operation runs its cases in a child process with a timeout and a limited address
space (see hostile_files); each call returns or raises its documented error within
seconds."""
import json
import os

import pytest

from . import hostile_files

SECONDS = 10  # far beyond any case: none waits for anything but its pipe's other end


def run_table(child, folder, operation, permissions=False):
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile_files.TESTS!r})
        from reliability import hostile_files
        hostile_files.main({operation!r}, {str(folder)!r}, {permissions!r})
    """, timeout=120)
    lines = result.stdout.splitlines()
    started = [line[len("START "):] for line in lines if line.startswith("START ")]
    assert result.returncode == 0 and lines and lines[-1] == "DONE", \
        f"died in {started[-1] if started else 'the set-up'!r} (exit {result.returncode}):\n" \
        f"{result.stderr[-4000:]}"
    cases = [json.loads(line) for line in lines if line.startswith("{")]
    assert [case["source"] for case in cases] == list(hostile_files.sources(operation, permissions))
    faults = [case for case in cases
              if case["outcome"].startswith("UNDOCUMENTED") or case["seconds"] > SECONDS]
    assert faults == []
    return {case["source"]: case["outcome"] for case in cases}


@pytest.mark.parametrize("operation", hostile_files.OPERATIONS)
def test_unusual_files(child, tmp_path, operation):
    outcomes = run_table(child, tmp_path, operation)
    if operation.endswith("saveFile") or operation.endswith("saveScreenshot"):
        assert outcomes["/dev/full"] != "returned"  # a failed write is reported
    elif operation != "Engine.setWindowIcon" and operation != "Level, its cells":
        assert set(outcomes.values()) & {"returned"} == set()  # none of them is a file of its kind


@pytest.mark.skipif(os.geteuid() == 0, reason="root reads and writes whatever the permissions say")
@pytest.mark.parametrize("operation", hostile_files.OPERATIONS)
def test_files_that_permissions_refuse(child, tmp_path, operation):
    outcomes = run_table(child, tmp_path, operation, permissions=True)
    assert "returned" not in outcomes.values() or operation == "Engine.setWindowIcon"


@pytest.mark.parametrize("operation", hostile_files.STALLED)
def test_ctrl_c_ends_a_wait_for_a_pipe(child, tmp_path, operation):
    """A FIFO whose other end never reads or writes again: Ctrl-C ends the wait, as it
    ends the host's open() and read(); without it the process would wait for good."""
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile_files.TESTS!r})
        from reliability import hostile_files
        hostile_files.interrupt({operation!r}, {str(tmp_path)!r})
    """, timeout=60)
    assert result.stdout.split() == ["interrupted"], result.stderr[-4000:]
