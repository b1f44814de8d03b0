#!/usr/bin/env bash
# End-to-end test of the global shortcut and the bridge inside a real GNOME Files (Nautilus
# 43). Installs the release build under /usr like nautilus.sh, then
#   on X11 (Xvfb, openbox): Ctrl+Alt+N in Files creates untitled.txt and untitled-2.txt in
#   the folder it shows, and in the active tab's folder when two tabs' folders share a name;
#   another window in front or a Trash window creates nothing; the
#   bridge's ActiveWindow follows the focus between two windows; Rename starts renaming the
#   file just created and refuses any other; the benchmarks of a press to the file and of
#   the bridge's round trips; with no window left, a press creates on the Desktop.
# GNOME on Wayland: gnome_shell.sh.
# Needs root; puts back what the install replaced. Run by .ci/run as root.
#
#   tests/e2e/shortcut.sh        logs and timings in build/e2e-shortcut (or $TESSARY_E2E_OUT)
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=shortcut.sh
source tests/e2e/common.sh

# start_common LOG: the grant, the host and Nautilus with the test folder; sets globals.
start_common() {
  tessary grant "$work/root" >/dev/null 2>"$out/$1-grant.log" || fail "tessary grant failed"
  # Started as at login: in the background, without the settings window.
  tessary --login >"$out/$1-host.log" 2>&1 &
  pids+=($!)
  wait_for "the host to register the shortcut" 20 grep -q "Shortcut Ctrl+Alt+N registered" "$out/$1-host.log"
  nautilus --new-window "$folder" >"$out/$1-nautilus.log" 2>&1 &
  nautilus_pid=$!
  wait_for "the module to load" 30 grep -q "Finder Sync extension launched" "$out/$1-nautilus.log"
  wait_for "the bridge to name the folder's window" 30 front_title_is Folder
}

# press_creates FILE: Ctrl+Alt+N, then FILE appears.
press_creates() {
  xdotool key ctrl+alt+n
  wait_for "$1 after the press" 20 test -e "$1"
}

x11_session() {
  pids=() nautilus_pid=""
  trap stop_session EXIT
  start_x11 "$work" "$out"
  start_common x11
  local window
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Folder$' | head -n1)
  xdotool windowactivate --sync "$window"

  # Two presses in Files: two files with distinct names in the folder it shows.
  press_creates "$folder/untitled.txt"
  press_creates "$folder/untitled-2.txt"

  # Another application in front: nothing but the log line naming it.
  xmessage -title Elsewhere "another application" &
  local elsewhere=$!
  pids+=($elsewhere)
  xdotool windowactivate --sync "$(timeout 10 xdotool search --sync --onlyvisible --name '^Elsewhere$' | head -n1)"
  xdotool key ctrl+alt+n
  wait_for "the ignored press" 10 grep -q "Shortcut pressed while Xmessage is in front; ignored (Finder only)" "$out/x11-host.log"

  # A Trash window shows no folder: the press only beeps.
  nautilus --new-window trash:/// >/dev/null 2>&1
  wait_for "the Trash window in front" 20 front_title_is Trash
  xdotool key ctrl+alt+n
  wait_for "the refused press" 10 grep -q "Could not get Finder's folder: The front Files window does not show a folder." "$out/x11-host.log"
  xdotool key ctrl+w
  [ "$(files_in "$folder")" = "untitled-2.txt untitled.txt " ] || fail "unexpected files: $(files_in "$folder")"

  # ActiveWindow follows the focus between two Files windows.
  mkdir -p "$work/root/Second"
  nautilus --new-window "$work/root/Second" >/dev/null 2>&1
  wait_for "the second window in front" 20 front_title_is Second
  xdotool windowactivate --sync "$window"
  wait_for "the first window in front again" 10 front_title_is Folder

  # Rename: the file just created goes into rename mode (typing names it); Rename of any
  # other file is refused.
  sed -i 's/"renameImmediately":false/"renameImmediately":true/' "$XDG_CONFIG_HOME/tessary/group.com.orvane.tessary/settings"
  press_creates "$folder/untitled-3.txt"
  wait_for "the rename to start" 10 grep -q "Files started renaming $folder/untitled-3.txt" "$out/x11-host.log"
  xdotool type --delay 20 renamed
  xdotool key Return
  wait_for "the file renamed by typing" 10 test -e "$folder/renamed.txt"
  [ "$(bridge Rename "file://$folder/untitled.txt")" = "(false,)" ] || fail "Rename accepted a file that is not the selection"
  sed -i 's/"renameImmediately":true/"renameImmediately":false/' "$XDG_CONFIG_HOME/tessary/group.com.orvane.tessary/settings"

  # Timings: press to file, and the bridge's round trip.
  mkdir -p "$work/root/Timing"
  nautilus --new-window "$work/root/Timing" >/dev/null 2>&1
  wait_for "the timing window in front" 20 front_title_is Timing
  TESSARY_BENCH_FOLDER=$work/root/Timing build/release/bench/shortcut_press_bench \
    --benchmark_repetitions=20 --benchmark_report_aggregates_only=true | tee "$out/timings.txt"
  build/release/bench/file_manager_bench --benchmark_repetitions=10 \
    --benchmark_report_aggregates_only=true | tee -a "$out/timings.txt"

  # Two tabs on folders of the same name: the file goes to the active tab's folder, which
  # the bridge reads from inside Files (the title names both).
  mkdir -p "$work/root/Other/Folder"
  xdotool windowactivate --sync "$window"
  wait_for "the folder's window in front" 10 front_title_is Folder
  xdotool key ctrl+t
  xdotool key ctrl+l
  xdotool type --delay 20 "$work/root/Other/Folder"
  xdotool key Return
  wait_for "the second tab" 20 eval '[[ "$(bridge ActiveWindow)" == *"/Other/Folder'"'"')" ]]'
  press_creates "$work/root/Other/Folder/untitled.txt"
  # Quick reveals once broke Nautilus's memory (criticals about freed objects, then a crash).
  ! grep -E "G_IS_OBJECT|NAUTILUS_IS_FILE" "$out/x11-nautilus.log" || fail "Nautilus used freed objects"

  # No window left: the desktop is in front and the press creates on the Desktop.
  kill "$elsewhere" || fail "the other window closed early"
  nautilus -q 2>/dev/null || true # answers 255 as it quits
  wait_for "Files to quit" 20 eval '! kill -0 "$nautilus_pid" 2>/dev/null'
  press_creates "$work/root/Desktop/untitled.txt"
}

if [ "${1:-}" = --in-session ]; then
  work=$2 out=$3 folder=$2/root/Folder
  rm -rf "$work/root" "$XDG_CONFIG_HOME"/* && mkdir -p "$folder" "$work/root/Desktop"
  echo "XDG_DESKTOP_DIR=\"$work/root/Desktop\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"
  "$4_session"
  exit 0
fi

# ---- outside: build, install, run the session, put everything back ----

out=${TESSARY_E2E_OUT:-$PWD/build/e2e-shortcut}
rm -rf "$out"
mkdir -p "$out"
cmake --preset release >/dev/null
cmake --build --preset release --target tessary_installable file_manager_bench \
  shortcut_press_bench >/dev/null
install_for_run "$(mktemp -d /tmp/tessary-shortcut-XXXXXX)"

in_private_session "$work" "$out" x11 || { echo "shortcut.sh: FAILED; logs in $out" >&2; exit 1; }
echo "shortcut.sh: passed; logs and timings in $out"
