#!/usr/bin/env bash
# Eight processes each create 200 files with `tessary new` in one folder while a ninth keeps
# creating and deleting numbered names there (untitled-2.txt ... untitled-400.txt). Prints the
# failed requests, the files made, how many distinct paths the requests reported (a path
# reported twice would be an overwrite) and the wall time.
# Usage: bench/creation_race.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
tessary=$(realpath "${1:-build/release}/stage/bin/tessary")
work=$(mktemp -d)
trap 'touch "$work/stop"; wait; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run TESSARY_LOG=stderr
export DBUS_SESSION_BUS_ADDRESS=disabled:
unset DISPLAY WAYLAND_DISPLAY
mkdir -m 700 "$XDG_RUNTIME_DIR"
folder=$work/folder
mkdir "$folder"
"$tessary" grant "$work" >/dev/null

# The intruder: exclusive creates (noclobber) of its own files, each deleted again.
(
  set -C
  while [ ! -e "$work/stop" ]; do
    name=$folder/untitled-$((RANDOM % 399 + 2)).txt
    if { echo intruder >"$name"; } 2>/dev/null; then rm -f "$name"; fi
  done
) &
intruder=$!

start=$(date +%s.%N)
for worker in 1 2 3 4 5 6 7 8; do
  (
    for _ in $(seq 200); do
      "$tessary" new "$folder" >>"$work/created.$worker" 2>>"$work/log.$worker" ||
        echo failed >>"$work/failed.$worker"
    done
  ) &
done
wait $(jobs -p | grep -v "^$intruder$")
end=$(date +%s.%N)
touch "$work/stop"
wait "$intruder"

failed=$(find "$work" -name 'failed.*' -exec cat {} + | wc -l)
reported=$(cat "$work"/created.* | wc -l)
distinct=$(cat "$work"/created.* | sort -u | wc -l)
files=$(find "$folder" -type f | wc -l)
ours=$(find "$folder" -type f -empty | wc -l)
printf 'requests 1600, failed %d, reported %d, distinct %d, files %d (ours %d), %.1f s\n' \
  "$failed" "$reported" "$distinct" "$files" "$ours" "$(echo "$end - $start" | bc)"
printf 'names found taken by the exclusive create: %d\n' \
  "$(cat "$work"/log.* | grep -c 'exists; trying the next name' || true)"
