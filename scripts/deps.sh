#!/usr/bin/env bash
# Installs the Debian 12 packages a job needs, only those that are missing, so a second run
# costs a few dpkg queries. Usage: scripts/deps.sh build|test|bench|fuzz|desktop|e2e|package ...
set -euo pipefail

declare -A groups=(
  [build]="build-essential cmake pkg-config nlohmann-json3-dev libsimdjson-dev libssl-dev libglib2.0-dev
           libsystemd-dev gettext shared-mime-info qt6-base-dev qt6-qpa-plugins libxcb1-dev
           libxcb-keysyms1-dev libxcb-xtest0-dev libxkbcommon-dev libnautilus-extension-dev libgtk-4-dev
           libcanberra-dev libqt6svg6 libnemo-extension-dev libcaja-extension-dev libthunarx-3-dev
           libkf5kio-dev libkf5xmlgui-dev qtbase5-dev"
  [test]="libgtest-dev libgmock-dev clang-format adwaita-icon-theme gnome-settings-daemon-common
          python3-dbusmock libglib2.0-bin exfatprogs exfat-fuse fuse3 adwaita-qt6
          qt6-gtk-platformtheme"
  [bench]="libbenchmark-dev libx11-dev libxdamage-dev bc"
  [fuzz]="clang libclang-rt-14-dev"
  [e2e]="nautilus gvfs gvfs-backends xvfb xauth openbox xdotool dbus dbus-x11 x11-utils imagemagick xclip
         mutter python3-dbus libglib2.0-bin gnome-shell gnome-settings-daemon python3-dbusmock python3-gi
         nemo caja thunar dolphin qt6-wayland"
  [desktop]="xvfb xauth openbox xdotool dbus x11-utils libglib2.0-bin python3-dbusmock"
  [package]="debhelper dpkg-dev fakeroot help2man lintian desktop-file-utils appstream ccache git"
)

wanted=()
for group in "$@"; do
  [[ -n "${groups[$group]+x}" ]] || { echo "deps.sh: unknown group '$group'" >&2; exit 2; }
  read -r -a names <<<"$(echo ${groups[$group]})"
  wanted+=("${names[@]}")
done

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
