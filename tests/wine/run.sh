#!/usr/bin/env bash
# The tests under Wine: builds Skylode.exe and the driver, makes one
# throw-away Wine session for the run (build/wine-tests/), and lets the
# driver work Skylode's windows case by case against the loopback server.
# Where Wine cannot start at all, the tests are skipped with a line saying so.
#
#   tests/wine/run.sh [--only TEXT]    (cases whose name holds TEXT)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/win32.sh" --build-only

. "$root/scripts/wine-session.sh"
reason=$(wine_unavailable)
if [ -n "$reason" ]; then
  echo "SKIPPED: the Wine tests: $reason"
  exit 0
fi
start=$(date +%s)
trap wine_session_stop EXIT
# The zone with summer time the start-up cases expect, for Wine's clock.
export TZ=Europe/Berlin
work="$root/build/wine-tests"
if ! wine_session_start "$work" 2>"$root/build/wine-tests.why"; then
  echo "SKIPPED: the Wine tests: $(cat "$root/build/wine-tests.why")"
  exit 0
fi
wine_server_start --stall-seconds 5

device="$work/device"
mkdir -p "$device/dev/COM7"
export SKYLODE_DEVICE
SKYLODE_DEVICE=$(wine_path "$device")
program="$WINEPREFIX/drive_c/Program Files/Skylode"
mkdir -p "$program"
cp "$root/build/win32/Skylode.exe" "$root/build/win32/skylode-wine-driver.exe" "$program/"
echo "Wine session ready in $(($(date +%s) - start)) s"

status=0
(cd "$WINEPREFIX/drive_c" &&
  exec timeout 900 wine 'C:\Program Files\Skylode\skylode-wine-driver.exe' \
    $(for w in $WINE_PORTS; do [[ $w == ca=* ]] || echo "--port $w"; done) \
    --ca "$(wine_path "$(wine_ca)")" "$@" \
    2> >(grep -v -E 'wine32|multiarch|dpkg --add-architecture' >&2)) || status=$?
echo "The Wine tests took $(($(date +%s) - start)) s"
exit $status
