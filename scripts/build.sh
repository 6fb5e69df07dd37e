#!/usr/bin/env bash
# Configures and builds into the given folder (default: build/), installing
# what is missing first, with compiler warnings as errors. Extra arguments go
# to CMake's configure step.
#   --quiet       show the configure and build output only when they fail
#   --target T    build only T (repeatable; default: everything)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quiet=0
targets=()
while (($#)); do
  case $1 in
    --quiet) quiet=1 ;;
    --target) targets+=(--target "$2"); shift ;;
    *) break ;;
  esac
  shift
done
dir=${1:-$root/build}
shift || true
"$root/scripts/install-deps.sh"

configure=(cmake -S "$root" -B "$dir" -G Ninja -DSKYLODE_WERROR=ON "$@")
build=(cmake --build "$dir" "${targets[@]}")
if ((quiet)); then
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  { "${configure[@]}" && "${build[@]}"; } >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
else
  "${configure[@]}" >/dev/null
  "${build[@]}"
fi
