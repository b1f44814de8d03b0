#!/usr/bin/env bash
# On a private desktop: with the host already running in the background, the desktop entry's
# command opens the settings window, and running it again raises that window instead of
# opening a second one; a host started with its window still runs its launch tasks.
# Usage: settings_window.sh TESSARY DESKTOP_ENTRY
set -euo pipefail
tessary=$1
entry=$2

"$tessary" --login &
host=$!
trap 'kill "$host" 2>/dev/null; wait "$host" 2>/dev/null || true' EXIT
timeout 10 bash -c 'until [[ -S $XDG_RUNTIME_DIR/tessary/host ]]; do sleep 0.05; done' || true
xdotool search --onlyvisible --name '^Tessary Settings$' && { echo "a window at login" >&2; exit 1; }

# The entry's command as the application menu runs it: no URL, so %u expands to nothing.
command=$(sed -n 's/^Exec=//p' "$entry")
read -r -a words <<<"${command//%u/}"
[[ ${words[0]} == tessary ]] || { echo "unexpected Exec line: $command" >&2; exit 1; }
for _ in 1 2; do
  "$tessary" "${words[@]:1}"
  timeout 20 xdotool search --sync --onlyvisible --name '^Tessary Settings$' >/dev/null
done
windows=$(xdotool search --onlyvisible --name '^Tessary Settings$' | wc -l)
[[ $windows -eq 1 ]] || { echo "$windows settings windows" >&2; exit 1; }
kill -0 "$host" || { echo "the background host is gone" >&2; exit 1; }

# A host started with its window runs the launch tasks once the window is painted.
kill "$host" && wait "$host" 2>/dev/null || true
log=$(mktemp)
TESSARY_LOG=stderr "$tessary" 2>"$log" &
host=$!
timeout 20 xdotool search --sync --onlyvisible --name '^Tessary Settings$' >/dev/null
timeout 10 bash -c 'until grep -q "\[hotkey\] Shortcut .* registered" "$0"; do sleep 0.05; done' "$log" ||
  { cat "$log" >&2; echo "no launch tasks" >&2; exit 1; }
rm -f "$log"
echo "one settings window, opened by the running host; launch tasks after the window"
