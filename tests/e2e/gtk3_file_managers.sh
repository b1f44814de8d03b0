#!/usr/bin/env bash
# End-to-end test in the real Nemo, Caja and Thunar, run by .ci/run as root (it installs
# the host and the modules under /usr): in each, on a private desktop, chooses "New Text
# File" from the folder's menu and from a file's menu and checks the files, that Trash has
# no Tessary items, and the bridge at the file manager's own bus name: the front window's
# folder, the rename it starts and the selection it makes in the open window. Prints the
# time from the choice to the file. Puts back what the install replaced. Logs and
# screenshots go to build/e2e-gtk3 (or $TESSARY_E2E_OUT). Arguments: the file managers to
# run (default: all three).
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=gtk3_file_managers.sh
source tests/e2e/common.sh

# name | start command | window class | bus name | keys from the opened menu to "New Text File"
# on the folder, then on a file | quit command | whether the bridge's Reveal selects the file
# (Nemo lets no module select: its window showing the folder only comes forward)
file_managers=(
  "nemo|nemo|Nemo|org.Nemo|Down Down Down|Up Up Up|nemo -q|false"
  "caja|caja --no-desktop|Caja|org.mate.Caja|Down Down Down|Up Up Up|caja -q|true"
  "thunar|thunar|Thunar|org.xfce.Thunar|Down Down Down Down|Up Up Up|thunar -q|true"
)

# ---- inside the private session (dbus-run-session runs this script again) ----

# run_file_manager ROW: the whole check in one file manager.
run_file_manager() {
  IFS='|' read -r name start class bus folder_keys file_keys quit selects <<<"$1"
  local folder=$work/root/$name log=$out/$name.log
  mkdir -p "$folder"
  fm_bridge() {
    gdbus call --session --dest "$bus" --object-path /com/orvane/tessary/Bridge \
      --method "com.orvane.tessary.Bridge.$1" "${@:2}"
  }
  fm_windows() { xdotool search --onlyvisible --class "$class" 2>/dev/null | sort; }

  $start "$folder" >"$log" 2>&1 &
  fm_pid=$! fm_quit=$quit
  local window
  window=$(timeout 30 xdotool search --sync --onlyvisible --class "$class" | head -n1)
  [ -n "$window" ] || fail "no $name window"
  wait_for "$name's bridge to show the folder" 20 eval \
    '[[ "$(fm_bridge ActiveWindow 2>/dev/null)" == *"'"'file://$folder'"'"* ]]'
  import -window root "$out/shots/$name-01-folder.png"

  clicks() { grep -c "Asking the app to create" "$log" || true; }
  open_background_menu() {
    xdotool windowactivate --sync "$window"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $((WIDTH * 3 / 4)) $((HEIGHT * 3 / 4)) click 3
    sleep 0.3 # the menu shows
  }
  open_file_menu() {
    xdotool windowactivate --sync "$window" key ctrl+a
    sleep 0.3
    xdotool key shift+F10
    sleep 0.3
  }

  # 1. The folder's menu, then a file's menu: the files land in the folder shown.
  choose_item "$name-02-background" "$folder/untitled.txt" "$folder_keys" open_background_menu >>"$out/$name.ms"
  grep -qF "target: $folder, selected: 0, menu kind: 1" "$log" ||
    fail "$name: the background item did not run with the folder's context"
  choose_item "$name-03-file" "$folder/untitled-2.txt" "$file_keys" open_file_menu >>"$out/$name.ms"
  grep -qF "target: $folder/untitled.txt, selected: 1, menu kind: 0" "$log" ||
    fail "$name: the file's item did not run with the file's context"
  [ "$(files_in "$folder")" = "untitled-2.txt untitled.txt " ] || fail "$name: unexpected files: $(files_in "$folder")"

  # 2. The bridge: Reveal selects in the window that shows the folder and opens none
  # (Nemo cannot select: the file is selected by hand);
  # Rename then starts for that file (Thunar: its rename dialog opens), which it does only
  # when the file is exactly the window's selection: both files are selected before.
  xdotool windowactivate --sync "$window" key ctrl+a
  local windows
  windows=$(fm_windows)
  [ "$(fm_bridge Reveal "file://$folder/untitled.txt")" = "(true,)" ] || fail "$name: Reveal did not show the file"
  [ "$(fm_windows)" = "$windows" ] || fail "$name: Reveal opened a window"
  [ "$selects" = true ] || rm "$folder/untitled-2.txt"
  # Where Reveal cannot select, the only file is selected by hand (a click on the background
  # clears the selection first), and its menu opened and closed: the module learns a window's
  # selection from the menus built for it.
  rename_started() {
    if [ "$selects" = false ]; then
      eval "$(xdotool getwindowgeometry --shell "$window")"
      xdotool mousemove --window "$window" $((WIDTH * 3 / 4)) $((HEIGHT * 3 / 4)) click 1 key ctrl+a
      sleep 0.2
      xdotool key shift+F10
      sleep 0.3
      xdotool key Escape
    fi
    [ "$(fm_bridge Rename "file://$folder/untitled.txt")" = "(true,)" ]
  }
  wait_for "$name's bridge to rename" 10 rename_started
  sleep 0.5
  import -window root "$out/shots/$name-04-rename.png"
  xdotool type --delay 20 renamed
  xdotool key Return
  wait_for "$name to rename the file" 10 test -e "$folder/renamed.txt"
  [ -e "$folder/untitled-2.txt" ] || [ "$selects" = false ] || fail "$name: renamed another file"

  # 3. Trash, in a window of its own: the module is asked for its menu (the bridge's
  # location comes from there in Nemo and Caja) and offers nothing, so the keys that chose
  # "New Text File" in a folder hand nothing to the host.
  $start trash:/// >>"$log" 2>&1
  wait_for "$name's bridge to show Trash" 20 eval '[[ "$(fm_bridge ActiveWindow 2>/dev/null)" == *"'"'trash:///'"'"* ]]'
  window=$(xdotool getactivewindow)
  local asked
  asked=$(grep -c "Asking the app to create" "$log" || true)
  open_background_menu
  import -window root "$out/shots/$name-05-trash-menu.png"
  xdotool key $folder_keys Return
  sleep 1
  (($(grep -c "Asking the app to create" "$log" || true) == asked)) || fail "$name: Trash's menu had Tessary's item"

  $quit >/dev/null 2>&1 || true
  wait_for "$name to quit" 10 eval '! kill -0 '"$fm_pid"' 2>/dev/null'
  fm_pid=""
}

session() {
  work=$1 out=$2
  shift 2
  pids=() fm_pid="" fm_quit=""
  trap 'status=$?; import -window root "$out/shots/99-last.png" 2>/dev/null || true
    [ $status = 0 ] || tail -n 20 "$out"/*.log | sed "s/^/log: /" >&2
    [ -z "$fm_pid" ] || { $fm_quit >/dev/null 2>&1; kill "$fm_pid" 2>/dev/null; } || true
    stop_session' EXIT
  set -E # a command that fails names itself
  trap 'echo "$e2e_name: line $LINENO: $BASH_COMMAND failed" >&2' ERR
  start_x11 "$work" "$out"
  mkdir -p "$work/root"
  tessary grant "$work/root" >/dev/null 2>"$out/grant.log" || fail "tessary grant failed: $(cat "$out/grant.log")"
  local row
  for row in "${file_managers[@]}"; do
    [ $# = 0 ] || [[ " $* " == *" ${row%%|*} "* ]] || continue
    run_file_manager "$row"
    printf '%s: click to file: %s ms with the host started by the click, %s ms with it running\n' \
      "${row%%|*}" $(cat "$out/${row%%|*}.ms") | tee -a "$out/timings.txt"
  done
}

if [ "${1:-}" = --in-session ]; then
  session "${@:2}"
  exit 0
fi

# ---- outside: build, install, run the session, put everything back ----

out=${TESSARY_E2E_OUT:-$PWD/build/e2e-gtk3}
rm -rf "$out"
mkdir -p "$out/shots"
cmake --preset release >/dev/null
cmake --build --preset release --target tessary_installable >/dev/null
install_for_run "$(mktemp -d /tmp/tessary-e2e-XXXXXX)"

status=0
in_private_session "$work" "$out" "$@" || status=$?
[ $status = 0 ] && echo "$e2e_name: passed; screenshots in $out/shots" ||
  echo "$e2e_name: FAILED; logs and screenshots in $out" >&2
exit $status
