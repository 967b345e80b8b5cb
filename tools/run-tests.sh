#!/usr/bin/env bash
# Builds quorvelin (warnings are errors) and checks the sources' formatting, runs its
# test suite headless (SDL's dummy video and audio), checks the type stubs and the
# examples' types (tools/check-types.sh), then builds it again with the sanitizers and
# runs the suite against that build.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUORVELIN_WERROR=ON
bash tools/setup.sh --test
find src tests/native tests/toolkit benchmarks/native -name '*.cpp' -o -name '*.hpp' -o -name '*.inc' |
    sort | xargs clang-format --dry-run -Werror
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
.venv/bin/python -m pytest -q tests "$@"
bash tools/check-types.sh
exec bash tools/run-sanitized-tests.sh "$@"
