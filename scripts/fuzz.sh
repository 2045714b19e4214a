#!/usr/bin/env bash
# Builds the fuzz targets and runs each for the given number of seconds
# (default 60), starting from its seed corpus in fuzz/corpus/<name>; fails on
# any finding (the crashing input is left in build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake --preset fuzz
cmake --build --preset fuzz
for target in build-fuzz/fuzz/fuzz_*; do
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/${name#fuzz_}"
  mkdir -p "$corpus"
  cp -n fuzz/corpus/"${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
  log="build-fuzz/$name.log"
  echo "-- $name for $seconds s"
  status=0
  (cd build-fuzz && "../$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
     "../$corpus" >"$name.log" 2>&1) || status=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    exit 1
  fi
done
