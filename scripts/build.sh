#!/usr/bin/env bash
# Configures and builds into the given folder (default: build/), installing
# what is missing first, with compiler warnings as errors. Extra arguments go
# to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$dir" -G Ninja -DSKYLODE_WERROR=ON "$@" >/dev/null
cmake --build "$dir"
