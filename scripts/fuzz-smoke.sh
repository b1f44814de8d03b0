#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20) from the
# checked-in seeds. Skipped, with a note, when clang is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
if ! command -v clang++ >/dev/null; then
  echo "fuzz-smoke: clang++ is not installed; skipping the fuzz smoke run"
  exit 0
fi
bash scripts/deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
for target in request_url settings_decode; do
  work=$(mktemp -d)
  echo "fuzz-smoke: fuzz_$target for ${seconds}s"
  status=0
  build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/" "$work" "fuzz/seeds/$target" >"$work/log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|Done )' "$work/log" || true
  if [[ $status -ne 0 ]]; then
    tail -n 40 "$work/log" >&2
    echo "fuzz-smoke: fuzz_$target failed" >&2
    exit 1
  fi
  rm -rf "$work"
done
