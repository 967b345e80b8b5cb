#!/usr/bin/env bash
# Builds quorvelin and runs the demo game. Without a display or a sound device the
# demo falls back to SDL's dummy drivers, walks a route by itself and saves pictures
# of the walk in examples/out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec .venv/bin/python examples/demo.py "$@"
