#!/usr/bin/env bash
# Builds Skylode.exe for desktop Win32 (mingw-w64) into build/win32/, then
# runs one whole unattended update under Wine, as scripts/demo.sh does on the
# emulated handheld: a loopback server serves a sample file, Wine's registry
# remembers its address, and "Skylode.exe /u" downloads it, loads it into the
# receiver and closes three seconds later. A screenshot of the dialog after
# the update goes to build/win32/skylode.png (or the path given).
#
#   scripts/win32.sh [--build-only] [screenshot.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_only=false
shot="$root/build/win32/skylode.png"
for arg in "$@"; do
  case $arg in
    --build-only) build_only=true ;;
    *) shot=$(realpath -m "$arg") ;;
  esac
done

"$root/scripts/install-deps.sh" --wine
# Quiet unless the build fails.
if ! log=$(cmake -S "$root/platform/win32" -B "$root/build/win32" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" 2>&1 &&
  cmake --build "$root/build/win32" -j2 2>&1); then
  echo "$log"
  exit 1
fi
$build_only && exit 0

. "$root/scripts/wine-session.sh"
reason=$(wine_unavailable)
[ -z "$reason" ] || { echo "Wine cannot run here: $reason"; exit 1; }
trap wine_session_stop EXIT
work="$root/build/win32-demo"
wine_session_start "$work"

# A sample file of 40 KiB, the size of a week's predicted orbits.
head -c 40960 /dev/urandom >"$work/packedEphemeris.ee"
wine_server_start --serve "/packedEphemeris.ee=$work/packedEphemeris.ee"
address="http://127.0.0.1:$(wine_port http)/packedEphemeris.ee"

# The receiver's folder, and the address remembered in Wine's registry.
device="$work/device"
mkdir -p "$device/dev/COM7"
export SKYLODE_DEVICE
SKYLODE_DEVICE=$(wine_path "$device")
timeout 60 wine reg add 'HKLM\SOFTWARE\ETEN\AGPRSDownloadClient' /v url /t REG_SZ \
  /d "$address" /f >/dev/null 2>&1
program="$WINEPREFIX/drive_c/Program Files/Skylode"
mkdir -p "$program"
cp "$root/build/win32/Skylode.exe" "$program/"

echo "Prefix:   $WINEPREFIX"
echo "Server:   $address"
echo "Running:  wine 'C:\\Program Files\\Skylode\\Skylode.exe' /u"
# Started in C:\, so that the handheld's "\windows\..." lies on drive C:.
(cd "$WINEPREFIX/drive_c" && exec timeout 120 wine 'C:\Program Files\Skylode\Skylode.exe' /u \
  >"$work/skylode.log" 2>&1) &
skylode=$!

# The receiver's validity appears as the status line does; the program
# then shows it for three seconds.
validity="$device/dev/COM7/validity"
for _ in $(seq 600); do
  [ -s "$validity" ] && break
  kill -0 $skylode 2>/dev/null || break
  sleep 0.1
done
[ -s "$validity" ] || { echo "the update did not load the receiver"; exit 1; }
loaded=$(date +%s.%N)
sleep 1
mkdir -p "$(dirname "$shot")"
import -display "$DISPLAY" -window root "$shot"
wait $skylode || { echo "Skylode.exe did not end by itself"; exit 1; }
closed=$(date +%s.%N)

cmp -s "$work/packedEphemeris.ee" "$WINEPREFIX/drive_c/windows/ZUZIdarudaZozo.ee" ||
  { echo "C:\\windows\\ZUZIdarudaZozo.ee does not hold the file"; exit 1; }
cmp -s "$work/packedEphemeris.ee" "$device/dev/COM7/ephemeris" ||
  { echo "the receiver does not hold the file"; exit 1; }
echo "C:\\windows\\ZUZIdarudaZozo.ee and the receiver hold the $(stat -c %s "$device/dev/COM7/ephemeris") bytes."
python3 - "$validity" <<'PY'
import struct, sys
y, mo, d, h, mi = struct.unpack("<5i", open(sys.argv[1], "rb").read(20))
print(f"The receiver's data is valid until {y:04}-{mo:02}-{d:02} {h:02}:{mi:02} UTC.")
PY
awk -v a="$loaded" -v b="$closed" 'BEGIN { printf "Skylode.exe closed %.1f s after the update.\n", b - a }'
echo "Screenshot: $shot"
