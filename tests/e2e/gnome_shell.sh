#!/usr/bin/env bash
# End-to-end test of the shortcut through the real GNOME Shell on Wayland (headless, no
# Xwayland), as a user presses it: the shell grabs the custom keybinding the host registers
# (for gsd-media-keys, which runs its command), and mutter's RemoteDesktop API types the keys.
#   the host lists its keybinding with the right keys and command; Ctrl+Alt+N with Files in
#   front creates the file in the folder it shows (press → file timed, median in
#   timings.txt, beside the same press running only touch); with another window in front,
#   nothing is created; with rename right away on, the typed name renames the new file
#   whichever key is let go last; Quit (Ctrl+Q in the settings window) removes the
#   keybinding, so a press creates nothing.
# Needs root (the install under /usr, and the shell wants a logind, here python3-dbusmock's
# on a private system bus); puts back what the install replaced. Run by .ci/run as root.
#
#   tests/e2e/gnome_shell.sh     logs and timings in build/e2e-gnome-shell (or $TESSARY_E2E_OUT)
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=gnome_shell.sh
source tests/e2e/common.sh

presses=10

bus_has() { gdbus introspect --"$1" --dest "$2" --object-path "$3" >/dev/null 2>&1; }

# keyboard COMMAND...: sends one command to the virtual keyboard and prints its answer.
keyboard() {
  echo "$*" >&"${keys[1]}"
  local answer
  read -r -t 20 answer <&"${keys[0]}" || fail "the virtual keyboard did not answer: $*"
  echo "$answer"
}
ctrl_alt_n=(+Control_L +Alt_L +n -n -Alt_L -Control_L)

shell_session() {
  pids=() nautilus_pid=""
  trap stop_session EXIT
  unset GSETTINGS_BACKEND # dconf, which gsd-media-keys reads too
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY=tessary-e2e \
    GDK_BACKEND=wayland QT_QPA_PLATFORM=wayland

  # A system bus of its own (a second session-type bus does: it only hosts logind), with a
  # logind, which the shell needs to start.
  dbus-daemon --session --address="unix:path=$work/system-bus" --nofork >"$out/system-bus.log" 2>&1 &
  pids+=($!)
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system-bus
  wait_for "the system bus" 20 test -S "$work/system-bus"
  /usr/bin/python3 -m dbusmock --system --template logind >"$out/logind.log" 2>&1 &
  pids+=($!)
  wait_for "logind" 20 bus_has system org.freedesktop.login1 /org/freedesktop/login1

  gnome-shell --wayland --headless --no-x11 --virtual-monitor 1280x800 \
    --wayland-display=tessary-e2e >"$out/gnome-shell.log" 2>&1 &
  pids+=($!)
  wait_for "GNOME Shell" 60 bus_has session org.gnome.Shell /org/gnome/Shell
  wait_for "mutter's remote desktop" 20 bus_has session org.gnome.Mutter.RemoteDesktop /org/gnome/Mutter/RemoteDesktop

  coproc keys { exec /usr/bin/python3 tests/e2e/keyboard.py 2>"$out/keyboard.log"; }
  pids+=($keys_PID)
  local answer
  read -r -t 20 answer <&"${keys[0]}" && [ "$answer" = ready ] || fail "no virtual keyboard"
  keyboard keys +Escape -Escape >/dev/null # the shell starts in the overview

  # The host registers its keybinding before gsd-media-keys starts, which grabs it at once.
  tessary grant "$work/root" >/dev/null 2>"$out/grant.log" || fail "tessary grant failed"
  tessary --login >"$out/host.log" 2>&1 &
  local host=$!
  pids+=($host)
  wait_for "the host to register the shortcut" 20 grep -q "Shortcut Ctrl+Alt+N registered" "$out/host.log"
  local path=/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/tessary/
  local entry=org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:$path
  [[ "$(gsettings get org.gnome.settings-daemon.plugins.media-keys custom-keybindings)" == *"'$path'"* ]] ||
    fail "no keybinding listed"
  [ "$(gsettings get "$entry" binding)" = "'<Control><Alt>n'" ] || fail "wrong binding"
  [ "$(gsettings get "$entry" command)" = "'/usr/libexec/tessary/tessary-shortcut'" ] || fail "wrong command"
  /usr/libexec/gsd-media-keys --verbose >"$out/gsd-media-keys.log" 2>&1 &
  pids+=($!)
  wait_for "gsd-media-keys to grab the keys" 30 grep -q "Grab call completed" "$out/gsd-media-keys.log"
  grep -q "Setting up custom keybinding $path" "$out/gsd-media-keys.log" ||
    fail "gsd-media-keys did not take Tessary's keybinding"

  nautilus --new-window "$folder" >"$out/nautilus.log" 2>&1 &
  nautilus_pid=$!
  wait_for "the module to load" 30 grep -q "Finder Sync extension launched" "$out/nautilus.log"
  wait_for "the folder's window in front" 30 front_title_is Folder

  # Files in front: each press creates the next file; press → file timed.
  local i name
  for ((i = 1; i <= presses; i++)); do
    name=untitled.txt
    ((i == 1)) || name=untitled-$i.txt
    answer=$(keyboard timed "$folder/$name" "${ctrl_alt_n[@]}")
    [ "$answer" != timeout ] || fail "no $name after press $i"
    echo "$answer" >>"$out/press-ms.txt"
  done
  # The desktop's own share: the same presses with a keybinding that only runs touch.
  gsettings set "$entry" command "'/usr/bin/touch $work/pressed'" && sleep 0.5
  for ((i = 1; i <= presses; i++)); do
    rm -f "$work/pressed"
    keyboard timed "$work/pressed" "${ctrl_alt_n[@]}" >>"$out/spawn-ms.txt"
  done
  gsettings set "$entry" command "'/usr/libexec/tessary/tessary-shortcut'" && sleep 0.5

  # Another window in front: the press is only logged.
  /usr/bin/python3 -c '
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk
window = Gtk.Window(title="Elsewhere")
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()' >"$out/elsewhere.log" 2>&1 &
  local elsewhere=$!
  pids+=($elsewhere)
  wait_for "the other window in front" 20 eval '[[ "$(bridge ActiveWindow)" == "(false,"* ]]'
  keyboard keys "${ctrl_alt_n[@]}" >/dev/null
  wait_for "the ignored press" 10 grep -q "Shortcut pressed while .* is in front; ignored" "$out/host.log"
  [ "$(ls "$folder" | wc -l)" = "$presses" ] || fail "unexpected files: $(files_in "$folder")"
  kill "$elsewhere"
  wait_for "Files in front again" 20 front_title_is Folder

  # Rename right away, whichever key is let go last: typing a name and Return renames the
  # new file, and Files never starts a search.
  local settings=$XDG_CONFIG_HOME/tessary/group.com.orvane.tessary/settings release i=0
  local new=$folder/untitled-$((presses + 1)).txt # each time, as the last one was renamed
  sed -i 's/"renameImmediately":false/"renameImmediately":true/' "$settings"
  for release in "-Alt_L -Control_L -n" "-n -Control_L -Alt_L" "-n -Alt_L -Control_L"; do
    i=$((i + 1))
    [ "$(keyboard timed "$new" +Control_L +Alt_L +n $release)" != timeout ] || fail "no file, $release"
    wait_for "the rename to start" 10 eval '(($(grep -c "Files started renaming $new" "$out/host.log") == i))'
    keyboard keys $(sed 's/./+& -& /g' <<<"named$i") +Return -Return >/dev/null
    wait_for "the rename with $release" 10 test -e "$folder/named$i.txt"
    [[ "$(bridge ActiveWindow)" == *"'file://$folder')" ]] || fail "Files searched: $(bridge ActiveWindow)"
  done
  sed -i 's/"renameImmediately":true/"renameImmediately":false/' "$settings"

  # Quit (Ctrl+Q in the settings window) ends the host and its keybinding: a press then
  # creates nothing.
  tessary || fail "the settings window did not open"
  wait_for "the settings window in front" 20 eval '[[ "$(bridge ActiveWindow)" == "(false,"* ]]'
  keyboard keys +Control_L +q -q -Control_L >/dev/null
  wait_for "the host to quit" 20 eval '[[ "$(ps -o stat= -p "$host")" != [^Z]* ]]'
  [[ "$(gsettings get org.gnome.settings-daemon.plugins.media-keys custom-keybindings)" != *"'$path'"* ]] &&
    [ "$(gsettings get "$entry" binding)" = "''" ] || fail "the keybinding outlived Quit"
  wait_for "Files in front again" 20 front_title_is Folder
  keyboard keys "${ctrl_alt_n[@]}" >/dev/null
  sleep 1
  [ "$(ls "$folder" | wc -l)" = "$((presses + 3))" ] || fail "created after Quit: $(files_in "$folder")"
}

if [ "${1:-}" = --in-session ]; then
  work=$2 out=$3 folder=$2/root/Folder
  rm -rf "$work/root" "$XDG_CONFIG_HOME"/* && mkdir -p "$folder" "$work/root/Desktop"
  echo "XDG_DESKTOP_DIR=\"$work/root/Desktop\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"
  shell_session
  exit 0
fi

# ---- outside: build, install, run the session, put everything back ----

started=$SECONDS
out=${TESSARY_E2E_OUT:-$PWD/build/e2e-gnome-shell}
rm -rf "$out"
mkdir -p "$out"
cmake --preset release >/dev/null
cmake --build --preset release --target tessary_installable >/dev/null
install_for_run "$(mktemp -d /tmp/tessary-gnome-shell-XXXXXX)"

in_private_session "$work" "$out" || { echo "gnome_shell.sh: FAILED; logs in $out" >&2; exit 1; }
timing() { # WHAT FILE
  echo "$1: median $(sort -n "$2" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }') ms of $presses ($(tr '\n' ' ' <"$2"))"
}
{
  timing "press → file through GNOME Shell" "$out/press-ms.txt"
  timing "press → a keybinding that runs touch (the desktop's share)" "$out/spawn-ms.txt"
} | tee "$out/timings.txt"
echo "gnome_shell.sh: passed in $((SECONDS - started)) s; logs and timings in $out"
