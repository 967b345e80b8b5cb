#!/usr/bin/env bash
# Builds quorvelin and runs its test suite headless (SDL's dummy video and audio),
# then builds it again with the sanitizers and runs the suite against that build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
.venv/bin/python -m pytest -q tests "$@"
exec bash tools/run-sanitized-tests.sh "$@"
