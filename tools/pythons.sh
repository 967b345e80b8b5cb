#!/usr/bin/env bash
# Lists the supported CPython versions that this machine has, one a line:
#   <version> <interpreter> <virtual environment>
# python3 first (a user's machine has just that one), into .venv; then, where pyenv is
# installed, its newest build of every other supported version, into .venv-<version>.
# The supported versions are the classifiers of pyproject.toml.
set -euo pipefail
cd "$(dirname "$0")/.."

default=$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
echo "$default python3 .venv"
command -v pyenv >/dev/null || exit 0
for version in $(grep -oE '"Programming Language :: Python :: 3\.[0-9]+"' pyproject.toml |
                 grep -oE '3\.[0-9]+'); do
    [ "$version" != "$default" ] || continue
    # Plain releases only: no free-threaded (3.13.0t) or development builds.
    build=$(pyenv versions --bare --skip-aliases | grep -E "^${version//./\\.}\.[0-9]+$" |
            sort -V | tail -n 1) || true
    [ -n "$build" ] || continue
    echo "$version $(pyenv prefix "$build")/bin/python .venv-$version"
done
