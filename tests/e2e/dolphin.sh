#!/usr/bin/env bash
# End-to-end test in a real Dolphin (KDE, 22.12), run by .ci/run as root: installs the host
# and the plugins under /usr (with --installed it uses the Debian packages' copy instead),
# chooses "New Text File" from a folder's menu and then from a file's menu on a private
# desktop, checks the files, the context of each choice and that Dolphin selected each file,
# that the Trash asks the plugin for nothing, what the bridge answers (the active view's
# folder, also in a split view) and that its Rename starts Dolphin's inline rename. Prints
# the times from the choice to the file (the first click starts the host). Logs, timings and
# screenshots go to build/e2e-dolphin (or $TESSARY_E2E_OUT).
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=dolphin.sh
source tests/e2e/common.sh

# ---- inside the private session (dbus-run-session runs this script again) ----

# Globals, as the exit trap reads them after session() has returned.
session() {
  work=$1 out=$2
  folder=$work/root/Folder
  pids=() dolphin_pid=""
  mkdir -p "$folder" "$work/root/Other"

  trap 'status=$?; import -window root "$out/shots/99-last.png" 2>/dev/null || true
    [ $status = 0 ] || grep -F "com.orvane.tessary" "$out/dolphin.log" | tail -n 20 | sed "s/^/dolphin.log: /" >&2
    [ -z "$dolphin_pid" ] || { kill "$dolphin_pid" 2>/dev/null; wait "$dolphin_pid" 2>/dev/null; } || true
    stop_session' EXIT
  start_x11 "$work" "$out"

  dbus-monitor --session "type='method_call',interface='org.freedesktop.FileManager1',member='ShowItems'" \
    >"$out/dbus.log" 2>&1 &
  pids+=($!)
  wait_for "the bus monitor" 10 grep -q NameLost "$out/dbus.log"

  tessary grant "$work/root" >/dev/null 2>"$out/grant.log" || fail "tessary grant failed: $(cat "$out/grant.log")"

  local start_ms=$(now_ms)
  dolphin "$folder" >"$out/dolphin.log" 2>&1 &
  dolphin_pid=$!
  bus=org.kde.dolphin-$dolphin_pid
  bridge() {
    gdbus call --session --dest "$bus" --object-path /com/orvane/tessary/Bridge \
      --method "com.orvane.tessary.Bridge.$1" "${@:2}"
  }
  location_is() { [[ "$(bridge ActiveWindow 2>/dev/null)" == "(true, '/dolphin/Dolphin_1', '"*"', 'file://$1')" ]]; }
  wait_for "the bridge in Dolphin" 30 location_is "$folder"
  echo "Dolphin answered over the bridge $(($(now_ms) - start_ms)) ms after its start" >"$out/start.txt"
  window=$(timeout 30 xdotool search --sync --onlyvisible --class '^dolphin$' | head -n1)
  [ -n "$window" ] || fail "Dolphin did not show the folder"
  xdotool windowsize --sync "$window" 1200 760
  import -window root "$out/shots/01-folder.png"

  # A menu is a window of Dolphin's own besides the main window.
  menu_shown() { (($(xdotool search --onlyvisible --class '^dolphin$' | wc -l) > 1)); }
  clicks() { grep -c "Asking the app to create" "$out/dolphin.log" || true; }
  # "New Text File" is the entry two above the last (Properties; below it the Tessary submenu).
  menu_of() { "$@"; wait_for "the menu" 5 menu_shown; }

  # check_shown FILE: Dolphin was asked (on its own name) to show FILE, and FILE is its
  # selection (Ctrl+C copies the selection's URIs).
  check_shown() {
    local uri=file://$1
    wait_for "ShowItems for $uri" 10 grep -qF "string \"$uri\"" "$out/dbus.log"
    grep -B3 -F "string \"$uri\"" "$out/dbus.log" | grep -qF "destination=$bus" ||
      fail "ShowItems for $uri did not go to $bus"
    selection_is() {
      xdotool windowactivate --sync "$window" key ctrl+c
      [ "$(timeout 5 xclip -o -selection clipboard -t text/uri-list 2>/dev/null | tr -d '\r')" = "$uri" ]
    }
    wait_for "Dolphin to select $1" 10 selection_is
  }

  # At x = $1 (default: the middle of the right half).
  open_background_menu() {
    xdotool windowactivate --sync "$window"
    xdotool mousemove --window "$window" "${1:-900}" 600 click 3
  }
  # The menu key opens the menu of the current (selected) item.
  open_file_menu() { xdotool windowactivate --sync "$window" key Menu; }

  # 1. The folder's background menu.
  local cold warm
  cold=$(choose_item 02-background "$folder/untitled.txt" "Up Up Up" "menu_of open_background_menu")
  grep -qF "target: $folder, selected: 0, menu kind: 1" "$out/dolphin.log" ||
    fail "the background item did not run with the folder's context"
  check_shown "$folder/untitled.txt"
  import -window root "$out/shots/03-created.png"

  # 2. The file's menu.
  warm=$(choose_item 04-file "$folder/untitled-2.txt" "Up Up Up" "menu_of open_file_menu")
  grep -qF "target: $folder/untitled.txt, selected: 1, menu kind: 0" "$out/dolphin.log" ||
    fail "the file's item did not run with the file's context"
  check_shown "$folder/untitled-2.txt"
  [ "$(files_in "$folder")" = "untitled-2.txt untitled.txt " ] || fail "unexpected files: $(files_in "$folder")"

  # 3. Rename: Dolphin's inline editor on exactly the selected new file; the typed name
  # replaces the base name.
  started() { [ "$(bridge Rename "file://$folder/untitled-2.txt")" = "(true,)" ]; }
  [ "$(bridge Rename "file://$folder/untitled.txt")" = "(false,)" ] || fail "Rename took a file that is not the selection"
  wait_for "the bridge to start the rename" 10 started
  # The editor opens once the view has scrolled to the file; Ctrl+C there copies the
  # selected base name instead of the file.
  editing() {
    xdotool key ctrl+c
    [ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null)" = untitled-2 ]
  }
  wait_for "the inline editor" 10 editing
  import -window root "$out/shots/05-renaming.png"
  xdotool type --delay 20 renamed && xdotool key Return
  wait_for "the inline rename" 10 test -e "$folder/renamed.txt"

  # 4. Split view: the bridge names the active side's folder.
  xdotool windowactivate --sync "$window" key F3
  xdotool key ctrl+l && sleep 0.2 && xdotool type --delay 10 "$work/root/Other" && xdotool key Return
  wait_for "the split view's other folder" 10 location_is "$work/root/Other"
  import -window root "$out/shots/06-split.png"
  xdotool mousemove --window "$window" 500 600 click 1
  wait_for "the left side to be active" 10 location_is "$folder"

  # 5. The Trash (on the left side) asks the plugin for nothing.
  local menus
  menus=$(grep -c "Menu asked for" "$out/dolphin.log" || true)
  xdotool key ctrl+l && sleep 0.2 && xdotool type --delay 10 "trash:/" && xdotool key Return
  wait_for "the Trash" 10 eval '[[ "$(bridge ActiveWindow)" == *"'"'trash:/'"'"* ]]'
  open_background_menu 500
  wait_for "the Trash's menu" 5 menu_shown
  import -window root "$out/shots/07-trash-menu.png"
  xdotool key Escape
  (($(grep -c "Menu asked for" "$out/dolphin.log" || true) == menus)) || fail "the Trash asked the plugin for a menu"

  # 6. Five more clicks with the host running, in the right side's folder.
  local times=("$warm") i
  for i in 1 2 3 4 5; do
    times+=("$(choose_item "08-again-$i" "$work/root/Other/untitled$([ "$i" = 1 ] || echo "-$i").txt" "Up Up Up" "menu_of open_background_menu")")
  done
  warm=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
  printf 'host started by the click: %s ms\nhost already running: %s ms (median of 6: %s)\n' \
    "$cold" "$warm" "${times[*]}" | tee "$out/timings.txt"
}

if [ "${1:-}" = --in-session ]; then
  session "$2" "$3"
  exit 0
fi

# ---- outside: build, install, run the session, put everything back ----

out=${TESSARY_E2E_OUT:-$PWD/build/e2e-dolphin}
rm -rf "$out"
mkdir -p "$out/shots"
if [ "${1:-}" = --installed ]; then
  private_work "$(mktemp -d /tmp/tessary-e2e-XXXXXX)"
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target tessary_installable >/dev/null
  install_for_run "$(mktemp -d /tmp/tessary-e2e-XXXXXX)"
fi

status=0
in_private_session "$work" "$out" || status=$?
[ $status = 0 ] && echo "dolphin.sh: passed; screenshots in $out/shots" ||
  echo "dolphin.sh: FAILED; logs and screenshots in $out" >&2
exit $status
