#!/usr/bin/env bash
# Builds quorvelin and runs the demo game. Without a display or a sound device the
# demo falls back to SDL's dummy drivers, plays a fixed number of frames and saves
# a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec .venv/bin/python examples/demo.py "$@"
