#!/usr/bin/env bash
# Builds quorvelin and runs its test suite headless (SDL's dummy video and audio).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
exec .venv/bin/python -m pytest -q tests "$@"
