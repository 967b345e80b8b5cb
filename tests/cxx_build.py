"""How the suite and the benchmarks build C++ beside CMake (the native tests and the
core's benchmark from the Python-free core, the toolkit's probe module): with the
engine's own compiler flags, read from their one home, compiler-flags.txt, which
CMakeLists.txt reads too."""
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def compiler_flags(sanitized=False):
    """Every build's flags, and the sanitizers' where asked for."""
    with open(os.path.join(ROOT, "compiler-flags.txt"), encoding="utf-8") as text:
        lines = [line.split() for line in text if line.strip() and not line.startswith("#")]
    return [words[-1] for words in lines if len(words) == 1 or sanitized]


def sources(folder, suffix):
    return sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(suffix))
