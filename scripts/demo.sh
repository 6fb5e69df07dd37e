#!/usr/bin/env bash
# Builds Skylode and starts it on an emulated handheld whose receiver holds
# data valid for a week: the dialog's state is printed, then it closes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
device="$root/build/demo-device"
rm -rf "$device"
export SKYLODE_DEVICE="$device" SKYLODE_DISPLAY=script
# A new handheld: the maker's download client key, the host's time zone, a
# receiver at COM7. Give the receiver data valid until a week from now (UTC).
"$root/build/Skylode" </dev/null >/dev/null
python3 - "$device/dev/COM7/validity" <<'PY'
import datetime, struct, sys
t = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=7)
open(sys.argv[1], "wb").write(struct.pack("<5i", t.year, t.month, t.day, t.hour, t.minute))
PY
echo "Skylode on the emulated handheld in $device:"
printf 'dump\nok\n' | "$root/build/Skylode"
