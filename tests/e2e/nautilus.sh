#!/usr/bin/env bash
# End-to-end test in a real GNOME Files (Nautilus 43), run by .ci/run when TESSARY_E2E=1 (needs
# root): installs the host and the module under /usr, chooses "New Text File" from a folder's
# menu and then from a file's menu on a private desktop, checks the files, the context of
# each choice and that Nautilus showed and selected each file, and prints the time from the
# choice to the file. Puts back what the install replaced. Logs, timings and screenshots go
# to build/e2e (or $TESSARY_E2E_OUT).
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
  echo "nautilus.sh: $*" >&2
  exit 1
}

# wait_for WHAT SECONDS COMMAND...: runs COMMAND until it succeeds, for at most SECONDS.
wait_for() {
  local what=$1 deadline=$((SECONDS + $2))
  shift 2
  until "$@"; do
    ((SECONDS < deadline)) || fail "timed out waiting for $what"
    sleep 0.02
  done
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The processes whose environment names this run's private runtime folder: everything the
# session started, D-Bus-activated services and the host included.
session_processes() {
  local marker="XDG_RUNTIME_DIR=$1" proc
  for proc in /proc/[0-9]*; do
    [ "${proc#/proc/}" != $$ ] || continue
    if { tr '\0' '\n' <"$proc/environ"; } 2>/dev/null | grep -qxF "$marker"; then
      echo "${proc#/proc/}"
    fi
  done
}

# ---- inside the private session (dbus-run-session runs this script again) ----

# Globals, as the exit trap reads them after session() has returned.
session() {
  work=$1 out=$2
  folder=$work/root/Folder
  pids=() nautilus_pid=""
  mkdir -p "$folder"

  stop_session() {
    import -window root "$out/shots/99-last.png" 2>/dev/null || true
    if [ -n "$nautilus_pid" ]; then
      nautilus -q 2>/dev/null || true
      local deadline=$((SECONDS + 10))
      while kill -0 "$nautilus_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
      kill "$nautilus_pid" 2>/dev/null || true
    fi
    local pid
    for pid in $(session_processes "$XDG_RUNTIME_DIR"); do
      [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = /usr/bin/tessary ] && kill "$pid" 2>/dev/null
    done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
      kill "${pids[i]}" 2>/dev/null || true
      wait "${pids[i]}" 2>/dev/null || true
    done
  }
  trap stop_session EXIT

  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$out/xvfb.log" &
  pids+=($!)
  wait_for "the X server" 20 test -s "$work/display"
  export DISPLAY=:$(head -n1 "$work/display")

  openbox --sm-disable >"$out/openbox.log" 2>&1 &
  pids+=($!)
  wait_for "the window manager" 20 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'

  # Every ShowItems call on the bus, with its URIs.
  dbus-monitor --session "type='method_call',interface='org.freedesktop.FileManager1',member='ShowItems'" \
    >"$out/dbus.log" 2>&1 &
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

  # choose STEP FILE: picks "New Text File" in the open menu and waits for FILE; prints ms.
  # The item sits two above the menu's last entry (Properties), below it the Tessary
  # submenu; Up from an opened menu wraps to the last entry.
  choose() {
    local step=$1 file=$2
    local menu
    menu=$(timeout 10 xdotool search --sync --onlyvisible --name '^org.gnome.Nautilus$' | head -n1)
    [ -n "$menu" ] || fail "no menu opened ($step)"
    xdotool key Up Up Up
    import -window root "$out/shots/$step-menu.png"
    local start
    start=$(now_ms)
    xdotool key Return
    wait_for "$file" 20 test -e "$file"
    echo $(($(now_ms) - start))
  }

  # check_shown FILE: Nautilus was asked to show FILE, and FILE is its selection (Ctrl+C
  # copies the selection's URIs to the clipboard).
  check_shown() {
    local uri=file://$1
    wait_for "ShowItems for $uri" 10 grep -qF "string \"$uri\"" "$out/dbus.log"
    selection_is() {
      xdotool windowactivate --sync "$window" key ctrl+c
      [ "$(timeout 5 xclip -o -selection clipboard -t text/uri-list 2>/dev/null | tr -d '\r')" = "$uri" ]
    }
    wait_for "Nautilus to select $1" 10 selection_is
  }

  # 1. The folder's background menu.
  xdotool windowactivate --sync "$window"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" $((WIDTH * 3 / 4)) $((HEIGHT * 3 / 4)) click 3
  local cold
  cold=$(choose 02-background "$folder/untitled.txt")
  grep -qF "Created $folder/untitled.txt" "$out/nautilus.log" || fail "the host did not log the creation"
  grep -qF "target: $folder, selected: 0, menu kind: 1" "$out/nautilus.log" ||
    fail "the background item did not run with the folder's context"
  check_shown "$folder/untitled.txt"
  import -window root "$out/shots/03-created.png"

  # 2. The file's menu: the menu key on the selected file (checked above to be untitled.txt)
  # opens the same menu as a right-click on it, anchored at the file.
  xdotool windowactivate --sync "$window" key shift+F10
  local warm
  warm=$(choose 04-file "$folder/untitled-2.txt")
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

[ "$(id -u)" = 0 ] || fail "needs root to install into $(pkg-config --variable=extensiondir libnautilus-extension-4)"
out=${TESSARY_E2E_OUT:-$PWD/build/e2e}
rm -rf "$out"
mkdir -p "$out/shots"
cmake --preset release >/dev/null
cmake --build --preset release

work=$(mktemp -d /tmp/tessary-e2e-XXXXXX)
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/run" "$work/saved"
chmod 700 "$work/run" "$work/config"

# What the install will write, and what of it exists now (kept aside and put back after).
DESTDIR=$work/image cmake --install build/release --prefix /usr >/dev/null
(cd "$work/image" && find . ! -type d | sed 's|^\.||') >"$work/files"
(cd "$work/image" && find . -mindepth 1 -type d | sed 's|^\.||') | while read -r dir; do
  [ -d "$dir" ] || echo "$dir"
done | sort -r >"$work/new-dirs"
while read -r file; do
  if [ -e "$file" ] || [ -L "$file" ]; then
    mkdir -p "$work/saved$(dirname "$file")"
    cp -a "$file" "$work/saved$file"
  fi
done <"$work/files"

restore() {
  local pid
  for pid in $(session_processes "$work/run"); do kill "$pid" 2>/dev/null || true; done
  while read -r file; do
    rm -f "$file"
    [ ! -e "$work/saved$file" ] || cp -a "$work/saved$file" "$file"
  done <"$work/files"
  while read -r dir; do rmdir "$dir" 2>/dev/null || true; done <"$work/new-dirs"
  rm -rf "$work"
}
trap restore EXIT
cmake --install build/release --prefix /usr >/dev/null

status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run" TESSARY_LOG=stderr \
  GTK_A11Y=none NO_AT_BRIDGE=1 \
  dbus-run-session -- bash "$0" --in-session "$work" "$out" || status=$?
[ $status = 0 ] && echo "nautilus.sh: passed; screenshots in $out/shots" ||
  echo "nautilus.sh: FAILED; logs and screenshots in $out" >&2
exit $status
