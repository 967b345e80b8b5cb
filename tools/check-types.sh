#!/usr/bin/env bash
# The engine's type information against the built engine: mypy's stubtest holds the
# installed stubs against the module, then mypy type-checks the examples, the demo and
# the examples of the README and the manual (one module per page) against those stubs.
#   bash tools/check-types.sh [PYTHON]      (default .venv/bin/python)
set -euo pipefail
cd "$(dirname "$0")/.."
python=${1:-.venv/bin/python}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
"$python" -m mypy.stubtest quorvelin
pages=$(mktemp -d)
trap 'rm -rf "$pages"' EXIT
"$python" tools/manual_examples.py "$pages"
"$python" -m mypy examples "$pages/manual_pages"
