#!/usr/bin/env bash
# Builds quorvelin with AddressSanitizer and UndefinedBehaviorSanitizer into
# .venv-asan and runs the test suite against that build. Any sanitizer report
# aborts the process that made it, so it fails the run (or the test whose child
# process it was).
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVELIN_SANITIZE=ON bash tools/setup.sh

# The interpreter is not instrumented: preload the runtimes. Leak detection at exit
# would only report the interpreter's own allocations; the leak tests measure ours.
# PYTHONMALLOC=malloc lets ASan see every object allocation. An allocation that
# cannot be made returns null, as it does in the normal build, so the engine reports
# it as it would there instead of the sanitizer aborting.
export LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:max_free_fill_size=4096:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export PYTHONMALLOC=malloc
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
exec .venv-asan/bin/python -m pytest -q -p no:cacheprovider tests "$@"
