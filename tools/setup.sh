#!/usr/bin/env bash
# Installs what building and running quorvelin needs, then builds it into .venv.
# Idempotent: packages already present are not installed again.
#   --test       also what the test command needs (the formatter that checks the sources,
#                mypy for the type stubs, and clang-format 14 from PyPI, as the
#                distributions' versions differ and so does their formatting)
#   --no-build   only the system packages
# QUORVELIN_PYTHON names another interpreter to build with (default python3), and
# QUORVELIN_VENV its virtual environment (default .venv, .venv-asan for the sanitized build).
set -euo pipefail
cd "$(dirname "$0")/.."

apt_packages=(g++ make pkg-config python3-dev python3-venv
              libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libsdl2-ttf-dev
              fonts-dejavu-core xvfb xauth)
build=yes
test_tools=()
for option in "$@"; do
    case "$option" in
        --test) test_tools+=("mypy>=2.4" "clang-format==14.0.6") ;;
        --no-build) build=no ;;
    esac
done
missing=()
for package in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

[ "$build" = yes ] || exit 0

# A virtual environment with a current pip (the distribution's may predate the options
# used here), the build tools and the test tools; then the engine itself.
# Usage: build_into <venv> [pip install options...]
build_into() {
    local venv=$1
    shift
    [ -x "$venv/bin/python" ] || "${QUORVELIN_PYTHON:-python3}" -m venv "$venv"
    "$venv/bin/python" -m pip install -q --upgrade pip
    "$venv/bin/python" -m pip install -q "scikit-build-core>=0.8" cmake ninja pytest Pillow \
        "${test_tools[@]}"
    "$venv/bin/python" -m pip install -q --no-build-isolation "$@" .
}

if [ "${QUORVELIN_SANITIZE:-OFF}" = ON ]; then
    build_into "${QUORVELIN_VENV:-.venv-asan}" --config-settings=build-dir=build/asan
else
    build_into "${QUORVELIN_VENV:-.venv}"
fi
