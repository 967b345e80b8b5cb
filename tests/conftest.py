import os
import subprocess
import sys
import textwrap

# The suite runs the real SDL headless; the drivers are chosen before the first import.
os.environ["SDL_VIDEODRIVER"] = "dummy"
os.environ["SDL_AUDIODRIVER"] = "dummy"

import pytest  # noqa: E402


def run_child(code, env=None, timeout=60):
    """Runs `code` in a fresh interpreter, so a crash or an SDL shutdown fails one test
    instead of the runner. Returns the completed process."""
    child_env = dict(os.environ)
    child_env.update(env or {})
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], env=child_env,
                          capture_output=True, text=True, timeout=timeout)


@pytest.fixture
def child():
    return run_child
