#!/usr/bin/env bash
# Runs a command on a private desktop: an Xvfb display (xvfb-run) with the openbox window
# manager, a session bus that starts no installed service, and private XDG folders. Passes
# the command's exit status on.
#   with-desktop.sh [XVFB-OPTION]... -- COMMAND [ARGUMENT]...    e.g. -extension XTEST
set -euo pipefail
if [[ $1 == --inside ]]; then
  openbox --sm-disable --startup "touch $XDG_RUNTIME_DIR/wm-ready" >"$XDG_RUNTIME_DIR/wm.log" 2>&1 &
  for ((i = 0; i < 500; i++)); do [[ -e $XDG_RUNTIME_DIR/wm-ready ]] && break; sleep 0.02; done
  [[ -e $XDG_RUNTIME_DIR/wm-ready ]] || { cat "$XDG_RUNTIME_DIR/wm.log" >&2; exit 125; }
  status=0
  "${@:2}" || status=$?
  kill %1 2>/dev/null || true
  exit $status
fi
server=(-screen 0 1280x800x24)
while [[ $1 != -- ]]; do server+=("$1"); shift; done
root=$(mktemp -d "${TMPDIR:-/tmp}/tessary-desktop-XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -m 0700 "$root/runtime" "$root/config" "$root/data" "$root/cache"
echo "<busconfig><type>session</type><listen>unix:dir=$root/runtime</listen><auth>EXTERNAL</auth>
  <policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>
  <allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>" >"$root/bus.conf"
XDG_RUNTIME_DIR=$root/runtime XDG_CONFIG_HOME=$root/config XDG_DATA_HOME=$root/data \
  XDG_CACHE_HOME=$root/cache xvfb-run -a -s "${server[*]}" \
  dbus-run-session --config-file="$root/bus.conf" -- bash "$0" --inside "${@:2}" && status=0 || status=$?
exit $status
