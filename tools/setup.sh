#!/usr/bin/env bash
# Installs what building and running quorvelin needs, then builds it into .venv.
# Idempotent: packages already present are not installed again.
set -euo pipefail
cd "$(dirname "$0")/.."

apt_packages=(g++ make pkg-config python3-dev python3-venv
              libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libsdl2-ttf-dev
              fonts-dejavu-core xvfb xauth)
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

# With --no-build only the system packages are installed.
[ "${1:-}" = "--no-build" ] && exit 0

[ -x .venv/bin/python ] || python3 -m venv .venv
.venv/bin/python -m pip install -q --upgrade pip
.venv/bin/python -m pip install -q "scikit-build-core>=0.8" cmake ninja pytest Pillow
.venv/bin/python -m pip install -q --no-build-isolation .
