#!/usr/bin/env bash
# Runs a command inside a private desktop: its own session bus, an Xvfb display with the
# openbox window manager, and private XDG_RUNTIME_DIR / XDG_CONFIG_HOME / XDG_DATA_HOME /
# XDG_CACHE_HOME.
# Everything is torn down afterwards and the command's exit status is passed on.
#
# Usage: with-desktop.sh [--standard-services] [--without-extension NAME]... [--] CMD [ARG]...
#   --standard-services        let the bus start installed services (a real file manager
#                              needs dconf, gvfs, ...); by default nothing is activatable,
#                              so a missing test service is never replaced by a real one
#   --without-extension NAME   start the X server without extension NAME (e.g. XTEST)
set -euo pipefail

readonly kStartSeconds=10

die() {
  echo "with-desktop: $*" >&2
  exit 125
}

standard_services=0
xvfb_args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --standard-services) standard_services=1; shift ;;
    --without-extension) [[ $# -ge 2 ]] || die "--without-extension needs a name"
                         xvfb_args+=(-extension "$2"); shift 2 ;;
    --) shift; break ;;
    -*) die "unknown option $1" ;;
    *) break ;;
  esac
done
[[ $# -gt 0 ]] || die "no command given"

for tool in dbus-run-session Xvfb openbox xprop xauth; do
  command -v "$tool" >/dev/null || die "$tool is missing (bash scripts/deps.sh desktop)"
done

root=$(mktemp -d "${TMPDIR:-/tmp}/tessary-desktop-XXXXXX")
xvfb_pid=""
wm_pid=""

cleanup() {
  local pid
  for pid in "$wm_pid" "$xvfb_pid"; do
    [[ -n "$pid" ]] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -m 0700 "$root/runtime" "$root/config" "$root/data" "$root/cache" "$root/bus-services"
export XDG_RUNTIME_DIR="$root/runtime" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" \
  XDG_CACHE_HOME="$root/cache"

if [[ $standard_services -eq 1 ]]; then
  services="<standard_session_servicedirs/>"
else
  services="<servicedir>$root/bus-services</servicedir>"
fi
cat >"$root/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$root/runtime</listen>
  <auth>EXTERNAL</auth>
  $services
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF

# The server reads every cookie in its -auth file whatever display it names; clients look
# theirs up by display number, which is known only once the server has picked one.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
export XAUTHORITY="$root/Xauthority"
: >"$XAUTHORITY"
: >"$root/Xserver.auth"
xauth -q -f "$root/Xserver.auth" add :0 . "$cookie"

# Xvfb writes the display number to the -displayfd descriptor once it accepts clients.
mkfifo "$root/displayfd"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset -auth "$root/Xserver.auth" \
  "${xvfb_args[@]}" 3>"$root/displayfd" >"$root/xvfb.log" 2>&1 &
xvfb_pid=$!
display_number=""
read -r -t "$kStartSeconds" display_number <"$root/displayfd" || true
if [[ -z "$display_number" ]]; then
  cat "$root/xvfb.log" >&2
  die "Xvfb did not start"
fi
export DISPLAY=":$display_number"
xauth -q add "$DISPLAY" . "$cookie"

# openbox sets _NET_SUPPORTING_WM_CHECK before it has taken over: a window mapped then can be
# lost. It runs the --startup command once it manages windows; wait for both.
openbox --sm-disable --startup "touch '$root/wm-ready'" >"$root/openbox.log" 2>&1 &
wm_pid=$!
deadline=$((SECONDS + kStartSeconds))
until [[ -e "$root/wm-ready" ]] && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  if ! kill -0 "$wm_pid" 2>/dev/null || [[ $SECONDS -ge $deadline ]]; then
    cat "$root/xvfb.log" "$root/openbox.log" >&2
    die "openbox did not take over the display"
  fi
  sleep 0.02
done

status=0
dbus-run-session --config-file="$root/bus.conf" -- "$@" || status=$?
if [[ $status -ne 0 ]]; then
  echo "with-desktop: the command ended with status $status; X server and window manager said:" >&2
  cat "$root/xvfb.log" "$root/openbox.log" >&2
fi
exit "$status"
