#!/usr/bin/env bash
# The main job: builds the release configuration and runs the request road end to end, as
# the file manager would, in a private configuration so your own settings stay untouched:
#   1. grant Tessary a folder (what the Setup page's grant does);
#   2. ask the extension for its menu there, as a right-click on the folder's background;
#   3. choose the default template: the extension signs the request and hands it to the
#      host, starting the host because none runs yet;
#   4. choose the second template: the running host takes it over its channel;
#   5. print the files created and the host's log, then stop the host.
# Usage: scripts/run.sh [FOLDER]   (default: a new temporary folder)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build test bench
cmake --preset release >/dev/null
cmake --build --preset release --target tessary tessary-menu >/dev/null
bin=$PWD/build/release/stage/bin

work=$(mktemp -d /tmp/tessary-run-XXXXXX)
folder=${1:-$work/Documents}
mkdir -p "$folder" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime TESSARY_LOG=stderr
host_pid=""
cleanup() { [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null; rm -rf "$work/runtime"; }
trap cleanup EXIT

wait_for() { # FILE: waits up to 10 s for FILE to appear
  for _ in $(seq 1000); do [[ -e $1 ]] && return 0; sleep 0.01; done
  echo "run: $1 did not appear" >&2; return 1
}

echo "== 1. Grant access to $folder"
"$bin/tessary" grant "$folder" 2>/dev/null
echo "== 2. The menu for a right-click in $folder"
"$bin/tessary-menu" --kind container --target "$folder" 2>/dev/null
echo "== 3. Choose the default template (no host runs: the extension starts one)"
"$bin/tessary-menu" --kind container --target "$folder" --choose 0 2>"$work/extension.log"
wait_for "$folder/untitled.txt"
# The host the extension started, found by its executable (no procps needed).
for proc in /proc/[0-9]*; do
  [[ $(readlink "$proc/exe" 2>/dev/null) == "$bin/tessary" ]] && host_pid=${proc#/proc/}
done
echo "== 4. Choose the second template (the running host takes it)"
"$bin/tessary-menu" --kind container --target "$folder" --choose 1 2>>"$work/extension.log"
wait_for "$folder/untitled.md"
echo "== 5. Created"
ls -l "$folder"
echo "== Extension log"
cat "$work/extension.log"
