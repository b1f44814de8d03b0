#!/usr/bin/env bash
# Retakes the README's screenshots of the settings window (docs/settings-*.png) and the
# About window (docs/about.png) on a private desktop (Xvfb, openbox), with a private
# configuration: a grant of "/" and the built-in templates plus two recommended ones. The
# session says it is GNOME, so the windows wear the Adwaita style (adwaita-qt6); the
# Templates page is taken once more with GNOME's dark preference
# (docs/settings-templates-dark.png).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/release, else build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ -z "${TESSARY_SCREENSHOTS_INSIDE:-}" ]]; then
  bash scripts/deps.sh test desktop e2e
  build=${1:-}
  if [[ -z "$build" ]]; then
    build=build/release
    [[ -x $build/stage/bin/tessary ]] || build=build/debug
  fi
  [[ -x $build/stage/bin/tessary ]] || { echo "screenshots: build $build first" >&2; exit 1; }
  # A screen tall enough for the whole General page.
  desktop=(tests/integration/with-desktop.sh -screen 0 1280x1024x24 -- "$0")
  export TESSARY_SCREENSHOTS_INSIDE=1 TESSARY_BUILD="$root/$build"
  module=$(find "$build/stage" -name 'libtessary-nautilus.so' -print -quit)
  if [[ $(id -u) -eq 0 && -n $module ]]; then
    # The window shows the module just built as installed: its folder is mounted over the
    # one Nautilus reads, in a mount namespace of this run's own (the machine's is untouched).
    exec unshare --mount --propagation private bash -c 'mount --bind "$1" "$2" && exec "${@:3}"' \
      _ "$(dirname "$module")" "$(pkg-config --variable=extensiondir libnautilus-extension-4)" \
      "${desktop[@]}"
  fi
  exec "${desktop[@]}"
fi

tessary="$TESSARY_BUILD/stage/bin/tessary"
# The launch-time update check goes to a closed local port, not to the website.
export TESSARY_LOG=stderr LANGUAGE=en LC_ALL=C.UTF-8 TESSARY_WEBSITE=http://127.0.0.1:9
# GNOME's look: its style and its light or dark preference, read from a private settings file.
export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile
gsettings set org.gnome.desktop.interface color-scheme default
"$tessary" grant / >/dev/null
# Two more templates, as "Add Recommended" would add them.
/usr/bin/python3 - "$XDG_CONFIG_HOME/tessary/group.com.orvane.tessary/settings" <<'PY'
import json, sys, uuid
path = sys.argv[1]
document = json.load(open(path))
for name, ext, contents in [("Python Script", "py", "#!/usr/bin/env python3\n\n"),
                            ("HTML Page", "html", "<!doctype html>\n")]:
    document["templates"].append({"id": str(uuid.uuid4()).upper(), "name": name,
                                  "baseName": "untitled", "fileExtension": ext,
                                  "contents": contents})
document["shortcutLabel"] = "Ctrl+Alt+N"  # as the shortcut recorder writes labels
json.dump(document, open(path, "w"))
PY
pane="$XDG_CONFIG_HOME/tessary/com.orvane.tessary/settingsPane"

# Waits for the settings window, makes it HEIGHT tall when given, lets it settle and
# captures it with its frame. Usage: capture NAME FILE [HEIGHT]
capture() {
  local id
  id=$(xdotool search --sync --onlyvisible --name "$1" | head -n 1)
  [[ -z ${3:-} ]] || xdotool windowsize --sync "$id" 820 "$3"
  sleep 1
  import -window "$(xwininfo -id "$id" -frame | awk '/Window id/ {print $4}')" -frame "$2"
}

for page in templates general setup; do
  printf '%s' "$page" >"$pane"
  "$tessary" &
  pid=$!
  capture "Tessary Settings" "$root/docs/settings-$page.png" "$([[ $page == general ]] && echo 880)"
  if [[ $page == setup ]]; then
    window=$(xdotool search --onlyvisible --name "Tessary Settings" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" 40 $((HEIGHT - 22)) click 1
    capture "About Tessary" "$root/docs/about.png"
  fi
  kill "$pid"
  wait "$pid" || true
done
printf templates >"$pane"
gsettings set org.gnome.desktop.interface color-scheme prefer-dark
"$tessary" &
pid=$!
capture "Tessary Settings" "$root/docs/settings-templates-dark.png"
kill "$pid"
wait "$pid" || true
echo "screenshots: docs/settings-templates.png docs/settings-general.png docs/settings-setup.png" \
  "docs/about.png docs/settings-templates-dark.png"
