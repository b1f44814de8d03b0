#!/usr/bin/env bash
# End-to-end test in a real GNOME Files (Nautilus 43), run by .ci/run as root (it needs
# root): installs the host and the module under /usr (with --installed it uses the copy the
# Debian packages installed instead), chooses "New Text File" from a folder's
# menu and then from a file's menu on a private desktop, checks the files, the context of
# each choice and that Nautilus showed and selected each file, and prints the time from the
# choice to the file. Puts back what the install replaced. Logs, timings and screenshots go
# to build/e2e (or $TESSARY_E2E_OUT). With TESSARY_E2E_CATALOGUE (and LANGUAGE set), the
# module must have loaded that translation catalogue.
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=nautilus.sh
source tests/e2e/common.sh

# ---- inside the private session (dbus-run-session runs this script again) ----

# Globals, as the exit trap reads them after session() has returned.
session() {
  work=$1 out=$2
  folder=$work/root/Folder
  pids=() nautilus_pid=""
  mkdir -p "$folder"

  # On failure the module's and the host's log lines go to the console: CI keeps nothing else.
  trap 'status=$?; import -window root "$out/shots/99-last.png" 2>/dev/null || true
    [ $status = 0 ] || grep -F "com.orvane.tessary" "$out/nautilus.log" | tail -n 20 | sed "s/^/nautilus.log: /" >&2
    stop_session' EXIT
  start_x11 "$work" "$out"

  # Every call that asks Files to show a file (ShowItems, or the bridge's Reveal), with its URIs.
  dbus-monitor --session "type='method_call',interface='org.freedesktop.FileManager1',member='ShowItems'" \
    "type='method_call',interface='com.orvane.tessary.Bridge',member='Reveal'" >"$out/dbus.log" 2>&1 &
  pids+=($!)
  wait_for "the bus monitor" 10 grep -q NameLost "$out/dbus.log"

  # The grant covers the test folder, so the host creates without asking first.
  tessary grant "$work/root" >/dev/null 2>"$out/grant.log" || fail "tessary grant failed: $(cat "$out/grant.log")"

  # This bus is new, so no Nautilus runs that loaded an older module (else: nautilus -q).
  nautilus --new-window "$folder" >"$out/nautilus.log" 2>&1 &
  nautilus_pid=$!
  timeout 30 xdotool search --sync --class Nautilus >/dev/null || fail "no Nautilus window"
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Folder$' | head -n1)
  [ -n "$window" ] || fail "Nautilus did not show the folder"
  wait_for "the module to load" 10 grep -q "Finder Sync extension launched" "$out/nautilus.log"
  import -window root "$out/shots/01-folder.png"

  # "New Text File" sits two above the menu's last entry (Properties), below it the Tessary
  # submenu; Up from an opened menu wraps to the last entry.
  clicks() { grep -c "Asking the app to create" "$out/nautilus.log" || true; }
  menu_shown() { [ -n "$(xdotool search --onlyvisible --name '^org.gnome.Nautilus$')" ]; }

  # check_shown FILE: Nautilus was asked to show FILE, and FILE is its selection (Ctrl+C
  # copies the selection's URIs to the clipboard).
  check_shown() {
    local uri=file://$1
    wait_for "the host to show $uri" 10 grep -qF "string \"$uri\"" "$out/dbus.log"
    selection_is() {
      xdotool windowactivate --sync "$window" key ctrl+c
      [ "$(timeout 5 xclip -o -selection clipboard -t text/uri-list 2>/dev/null | tr -d '\r')" = "$uri" ]
    }
    wait_for "Nautilus to select $1" 10 selection_is
  }

  # 1. The folder's background menu.
  open_background_menu() {
    xdotool windowactivate --sync "$window"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $((WIDTH * 3 / 4)) $((HEIGHT * 3 / 4)) click 3
    wait_for "the folder's menu" 10 menu_shown
  }
  local cold
  cold=$(choose_item 02-background "$folder/untitled.txt" "Up Up Up" open_background_menu)
  grep -qF "Created $folder/untitled.txt" "$out/nautilus.log" || fail "the host did not log the creation"
  grep -qF "target: $folder, selected: 0, menu kind: 1" "$out/nautilus.log" ||
    fail "the background item did not run with the folder's context"
  # Run in another language, the module's menu came from this catalogue (gettext maps it).
  [ -z "${TESSARY_E2E_CATALOGUE:-}" ] || grep -qF " $TESSARY_E2E_CATALOGUE" "/proc/$nautilus_pid/maps" ||
    fail "Nautilus did not load the module's translations $TESSARY_E2E_CATALOGUE"
  check_shown "$folder/untitled.txt"
  import -window root "$out/shots/03-created.png"

  # 2. The file's menu: the menu key on the selected file (checked above to be untitled.txt)
  # opens the same menu as a right-click on it, anchored at the file.
  open_file_menu() {
    xdotool windowactivate --sync "$window" key shift+F10
    wait_for "the file's menu" 10 menu_shown
  }
  local warm
  warm=$(choose_item 04-file "$folder/untitled-2.txt" "Up Up Up" open_file_menu)
  grep -qF "target: $folder/untitled.txt, selected: 1, menu kind: 0" "$out/nautilus.log" ||
    fail "the file's item did not run with the file's context"
  check_shown "$folder/untitled-2.txt"
  import -window root "$out/shots/05-created-beside.png"
  [ "$(ls "$folder" | tr '\n' ' ')" = "untitled-2.txt untitled.txt " ] || fail "unexpected files: $(ls "$folder")"

  printf 'host started by the click: %s ms\nhost already running: %s ms\n' "$cold" "$warm" |
    tee "$out/timings.txt"
}

if [ "${1:-}" = --in-session ]; then
  session "$2" "$3"
  exit 0
fi

# ---- outside: build, install, run the session, put everything back ----

out=${TESSARY_E2E_OUT:-$PWD/build/e2e}
rm -rf "$out"
mkdir -p "$out/shots"
if [ "${1:-}" = --installed ]; then # the packages' copy: nothing is built or put back
  private_work "$(mktemp -d /tmp/tessary-e2e-XXXXXX)"
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target tessary_installable >/dev/null
  install_for_run "$(mktemp -d /tmp/tessary-e2e-XXXXXX)"
fi

status=0
in_private_session "$work" "$out" || status=$?
[ $status = 0 ] && echo "nautilus.sh: passed; screenshots in $out/shots" ||
  echo "nautilus.sh: FAILED; logs and screenshots in $out" >&2
exit $status
