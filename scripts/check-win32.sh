#!/usr/bin/env bash
# Compiles the program's own code against the real Win32 headers (mingw-w64),
# compile only: a call whose signature differs from the platform's fails here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || { echo "missing $cxx (scripts/install-deps.sh --win32)"; exit 1; }
status=0
for f in "$root"/app/*.cpp "$root"/gps/*.cpp "$root"/net/*.cpp; do
  [ -e "$f" ] || continue
  "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN \
    -include "$root/platform/win32/handheld_routing.h" \
    -I"$root/platform/win32" -I"$root/framework" -I"$root/res" -I"$root/app" -I"$root/gps" \
    -I"$root/net" "$f" || status=1
done
[ $status = 0 ] && echo "program code compiles against the Win32 headers"
exit $status
