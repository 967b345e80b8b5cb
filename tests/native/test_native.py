"""The engine's Python-free core (src/core) tested on its own, as C++: the tests in
tests/native/*_test.cpp are built into one binary with the engine's own compiler flags
(and with the sanitizers in the sanitized run), then each runs as a case here."""
import os
import re
import subprocess

import pytest

from cxx_build import ROOT, compiler_flags, sources

HERE = os.path.join(ROOT, "tests", "native")
CORE = os.path.join(ROOT, "src", "core")
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")


def native_test_names():
    names = []
    for path in sources(HERE, "_test.cpp"):
        with open(path, encoding="utf-8") as source:
            names += re.findall(r"^NATIVE_TEST\((\w+)\)", source.read(), re.MULTILINE)
    return names


def plain_environment():
    """The environment without the sanitizer runtimes that the sanitized run preloads
    into the interpreter: the compiler is not built for them, the test binary links
    its own."""
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    return env


@pytest.fixture(scope="session")
def binary(tmp_path_factory):
    output = str(tmp_path_factory.mktemp("native") / "core_tests")
    flags = compiler_flags(SANITIZED) + ["-Werror"]
    command = (["g++"] + flags + ["-I", os.path.join(ROOT, "src"), "-o", output] +
               sources(CORE, ".cpp") + sources(HERE, ".cpp"))
    built = subprocess.run(command, capture_output=True, text=True, env=plain_environment())
    assert built.returncode == 0, built.stderr
    return output


@pytest.mark.parametrize("name", native_test_names())
def test_native(binary, name):
    env = plain_environment()
    env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=1"
    result = subprocess.run([binary, name], capture_output=True, text=True, env=env, timeout=600)
    assert result.returncode == 0, result.stderr


def test_every_test_is_registered(binary):
    listed = subprocess.run([binary], capture_output=True, text=True, env=plain_environment())
    assert sorted(listed.stdout.split()) == sorted(native_test_names())
