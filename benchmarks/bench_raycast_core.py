"""Builds and runs the native benchmark of the raycasting renderer's core
(benchmarks/native/raycast_bench.cpp): the frame of the representative and the empty
level at 640x480 and 1280x720 on 1, 2 and 4 threads as a multiple of a memset and of a
memcpy of the same frame, timed in the same round, and the plain pass-by-pass frame.

    python3 benchmarks/bench_raycast_core.py [rounds] [baseline|avx2|avx512]

The second argument limits the frame to an instruction set (the widest the processor
has, up to AVX-512, by default), so that a processor without AVX-512 or AVX2 can be
measured on this one.

The core is compiled with the engine's own compiler flags. Every round times the
frame and its limits one right after the other, so the ratios hold on a busy machine
too; the absolute figures do not."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests"))
from cxx_build import ROOT, compiler_flags, sources  # noqa: E402


def build(output):
    core = sources(os.path.join(ROOT, "src", "core"), ".cpp")
    helpers = [os.path.join(ROOT, "tests", "native", name)
               for name in ("raycast_scenes.cpp", "raycast_reference.cpp")]
    command = (["g++"] + compiler_flags() +
               ["-I", os.path.join(ROOT, "src"), "-I", os.path.join(ROOT, "tests", "native"),
                "-o", output, os.path.join(ROOT, "benchmarks", "native", "raycast_bench.cpp")]
               + core + helpers)
    subprocess.run(command, check=True)


def main():
    rounds = sys.argv[1] if len(sys.argv) > 1 else "200"
    widest = sys.argv[2] if len(sys.argv) > 2 else "avx512"
    with tempfile.TemporaryDirectory() as folder:
        binary = os.path.join(folder, "raycast_bench")
        build(binary)
        subprocess.run([binary, rounds, widest], check=True)


if __name__ == "__main__":
    main()
