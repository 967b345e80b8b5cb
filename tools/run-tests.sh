#!/usr/bin/env bash
# Builds quorvelin (warnings are errors) and checks the sources' formatting, then runs its
# test suite headless (SDL's dummy video and audio) on every supported CPython that the
# machine has (tools/pythons.sh: python3 first, then pyenv's builds of the others), each
# in its own virtual environment; checks the type stubs and the examples' types on
# python3's build (tools/check-types.sh); last it builds the engine with the sanitizers
# on python3 and runs the suite against that build. Every run takes place; the command
# fails when any of them failed, and its last line says how each went.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUORVELIN_WERROR=ON
bash tools/setup.sh --test
find src tests/native tests/toolkit benchmarks/native -name '*.cpp' -o -name '*.hpp' -o -name '*.inc' |
    sort | xargs .venv/bin/clang-format --dry-run -Werror
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

runs=()
failed=0
record() { # <what> <command...>: runs the command, notes how it went
    local what=$1
    shift
    if "$@"; then runs+=("$what passed"); else runs+=("$what FAILED"); failed=1; fi
}
test_on() { # <interpreter> <virtual environment> [pytest arguments...]
    local python=$1 venv=$2
    shift 2
    QUORVELIN_PYTHON=$python QUORVELIN_VENV=$venv bash tools/setup.sh &&
        "$venv/bin/python" -m pytest -q tests "$@"
}

mapfile -t pythons < <(bash tools/pythons.sh)
for line in "${pythons[@]}"; do
    read -r version python venv <<<"$line"
    echo "=== CPython $version: $python"
    record "CPython $version" test_on "$python" "$venv" "$@"
done
echo "=== Types"
record "types" bash tools/check-types.sh
echo "=== CPython ${pythons[0]%% *} with the sanitizers"
record "CPython ${pythons[0]%% *} sanitized" bash tools/run-sanitized-tests.sh "$@"

summary=$(printf '%s; ' "${runs[@]}")
echo "Test runs: ${summary%; }"
exit $failed
