# Sourced by the end-to-end runs: waiting, the private X desktop, and the release build
# installed under /usr for the length of a run. The sourcing script sets `e2e_name` first.

fail() {
  echo "$e2e_name: $*" >&2
  exit 1
}

# now_ms: the wall clock in milliseconds, for the runs' timings.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# created_ms START FILE: milliseconds from START (an $EPOCHREALTIME) to FILE's creation (its
# birth time where the file system keeps one, else its last change), so no polling interval
# adds to a timing.
created_ms() {
  local born
  born=$(stat -c %.6W "$2")
  [[ "$born" != 0* ]] || born=$(stat -c %.6Y "$2")
  LC_ALL=C awk -v start="${1/,/.}" -v born="$born" 'BEGIN { printf "%.1f\n", (born - start) * 1000 }'
}

# choose_item STEP FILE KEYS OPENER: OPENER opens a menu and returns once it shows, KEYS walk
# to the item and Return picks it; prints the milliseconds from the pick to FILE's creation.
# Keys that reach the window before its menu has the keyboard pick nothing: when the module
# logged no new click (the caller's `clicks` counts them), the menu is closed and opened
# again, at most three times, and each retry is reported.
choose_item() {
  local step=$1 file=$2 keys=$3 opener=$4 before start attempt deadline
  for attempt in 1 2 3; do
    before=$(clicks)
    $opener
    xdotool key $keys
    import -window root "$out/shots/$step-menu-$attempt.png"
    start=$EPOCHREALTIME
    xdotool key Return
    deadline=$((SECONDS + 5))
    while (($(clicks) == before)) && ((SECONDS < deadline)); do sleep 0.02; done
    (($(clicks) > before)) && break
    echo "$e2e_name: the menu did not take the keys ($step, attempt $attempt)" >&2
    xdotool key Escape Escape
    ((attempt < 3)) || fail "the menu never chose the item ($step)"
  done
  wait_for "$file" 20 test -e "$file"
  created_ms "$start" "$file"
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

# The bridge inside Files: bridge METHOD ARGUMENT...; the front window's title; a folder's files.
bridge() {
  gdbus call --session --dest org.gnome.Nautilus --object-path /com/orvane/tessary/Bridge \
    --method "com.orvane.tessary.Bridge.$1" "${@:2}"
}
front_title_is() { [[ "$(bridge ActiveWindow 2>/dev/null)" == "(true, '"*"', '$1', '"*"')" ]]; }
files_in() { ls "$1" | tr '\n' ' '; }

# The processes whose environment names the private runtime folder $1: everything the
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

# start_x11 WORK OUT: an Xvfb display with openbox; exports DISPLAY and adds both to `pids`.
start_x11() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$1/display" 2>"$2/xvfb.log" &
  pids+=($!)
  wait_for "the X server" 20 test -s "$1/display"
  export DISPLAY=:$(head -n1 "$1/display")
  wait_for "the X server to take connections" 20 eval 'xprop -root >/dev/null 2>&1'
  openbox --sm-disable >"$2/openbox.log" 2>&1 &
  pids+=($!)
  wait_for "the window manager" 20 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
}

# stop_session: quits Nautilus (`nautilus_pid`), the session's hosts and then `pids`, newest
# first. For the exit trap inside the session.
stop_session() {
  if [ -n "${nautilus_pid:-}" ]; then
    nautilus -q 2>/dev/null || true
    local deadline=$((SECONDS + 10))
    while kill -0 "$nautilus_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    kill "$nautilus_pid" 2>/dev/null || true
  fi
  local pid
  for pid in $(session_processes "$XDG_RUNTIME_DIR"); do
    [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" != /usr/bin/tessary ] || kill "$pid" 2>/dev/null || true
  done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}

# private_work WORK: the run's home and XDG folders in WORK. The exit trap ends what the
# session left running, puts back what install_for_run replaced and removes WORK.
private_work() {
  work=$1
  mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/run" "$work/saved"
  chmod 700 "$work/run" "$work/config"
  : >"$work/files"
  : >"$work/new-dirs"
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
}

# install_for_run WORK: private_work, then installs build/release under /usr, keeping aside
# in WORK what it replaces.
install_for_run() {
  private_work "$1"
  DESTDIR=$work/image cmake --install build/release --prefix /usr >/dev/null
  (cd "$work/image" && find . ! -type d | sed 's|^\.||') >"$work/files.new"
  (cd "$work/image" && find . -mindepth 1 -type d | sed 's|^\.||') | while read -r dir; do
    [ -d "$dir" ] || echo "$dir"
  done | sort -r >"$work/new-dirs"
  while read -r file; do
    if [ -e "$file" ] || [ -L "$file" ]; then
      mkdir -p "$work/saved$(dirname "$file")"
      cp -a "$file" "$work/saved$file"
    fi
  done <"$work/files.new"
  mv "$work/files.new" "$work/files" # from here on the trap puts these back
  cmake --install build/release --prefix /usr >/dev/null
}

# in_private_session ARGUMENT...: runs the sourcing script again as
# `SCRIPT --in-session ARGUMENT...` on a new session bus, with the home and XDG folders in
# `work` and without the caller's display.
in_private_session() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run" TESSARY_LOG=stderr \
    TESSARY_WEBSITE=http://127.0.0.1:9 GTK_A11Y=none NO_AT_BRIDGE=1 \
    dbus-run-session -- bash "$0" --in-session "$@"
}

[ "${1:-}" = --in-session ] || [ "${1:-}" = --installed ] || [ "$(id -u)" = 0 ] ||
  fail "needs root to install into $(pkg-config --variable=extensiondir libnautilus-extension-4)"
