#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with Clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, then runs each for a bounded
# time over its seed corpus (fuzz/corpus/<target>/) and prints how many
# inputs each ran.
#
#   scripts/fuzz.sh [seconds per target]     default 25; FUZZ_TARGETS="utf8 utf16" for some
#
# New inputs the fuzzers find are kept aside for the run only. A crash, a
# sanitizer report or a time-out stops the run with the input in
# build-fuzz/crashes/: mend the fault, then add the input to the target's
# corpus so that every later run tries it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-25}
build=${FUZZ_BUILD:-$root/build-fuzz}
targets=(${FUZZ_TARGETS:-registry_file utf8 utf16 resource_script wide_printf validity http_headers shortcut})

"$root/scripts/install-deps.sh" --fuzz
"$root/scripts/build.sh" --quiet --target skylode_fuzzers "$build" -DSKYLODE_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/crashes"
# Whatever touches the handheld gets a folder of its own.
export SKYLODE_DEVICE="$scratch/device"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
report=""
for t in "${targets[@]}"; do
  mkdir -p "$scratch/$t"
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for ${seconds}s"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/crashes/$t-" \
    "$scratch/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $t failed (log $log, input in $build/crashes/)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  report+=$(printf '%-16s %12s' "$t" "$runs")$'\n'
done
printf '%-16s %12s\n%s' target executions "$report"
