#!/usr/bin/env bash
# Builds Skylode and runs one whole unattended update on an emulated handheld:
# a loopback server serves a sample ephemeris file, the handheld remembers its
# address, and "Skylode /u" downloads it, loads it into the receiver, shows
# until when the data is valid and closes three seconds later.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Only what the demo runs, and its output only if the build fails.
"$root/scripts/build.sh" --quiet --target Skylode --target skylode-device "$root/build"

work="$root/build/demo"
device="$work/device"
rm -rf "$work"
mkdir -p "$work"
export SKYLODE_DEVICE="$device" SKYLODE_DISPLAY=script

# A sample file of 40 KiB, the size of a week's predicted orbits.
head -c 40960 /dev/urandom >"$work/packedEphemeris.ee"

# The server prints its ports on its first line and ends with this script.
exec 3< <(python3 "$root/tests/support/loopback_server.py" --quiet --max-seconds 120 \
  --serve "/packedEphemeris.ee=$work/packedEphemeris.ee" </dev/null)
server_pid=$!
trap 'kill $server_pid 2>/dev/null || true' EXIT
read -r ports <&3
port=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' <<<"$ports")
address="http://127.0.0.1:$port/packedEphemeris.ee"

# A new handheld with the download client's key; it remembers the address.
"$root/build/skylode-device" init >/dev/null
python3 - "$device/registry.reg" "$address" <<'PY'
import sys
path, address = sys.argv[1:]
text = open(path, encoding="utf-8").read()
key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n"
open(path, "w", encoding="utf-8").write(text.replace(key, key + '"url"="%s"\n' % address))
PY

echo "Handheld: $device"
echo "Server:   $address"
echo "Running:  Skylode /u"
"$root/build/Skylode" /u </dev/null
echo "The receiver holds $(stat -c %s "$device/dev/COM7/ephemeris") bytes of new data."
