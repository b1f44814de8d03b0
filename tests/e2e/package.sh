#!/usr/bin/env bash
# The Debian packages as a user gets them, run by .ci/run as root: builds them (with the
# distributions' profile: no update checker) in a copy of the tree, checks them with lintian
# and the validators, installs both with apt, runs a German `tessary new` and the Files
# end-to-end test in German against the installed copy, purges both and checks that nothing
# new is left under /usr. Packages and logs go to build/package (or $TESSARY_PACKAGE_OUT).
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=package.sh
source tests/e2e/common.sh
out=${TESSARY_PACKAGE_OUT:-$PWD/build/package}
rm -rf "$out" && mkdir -p "$out"

# dpkg-buildpackage writes beside the tree, so it builds a copy, always in the same folder:
# the compiler flags name it, and so the compiler cache finds the last run's objects.
tree=/var/tmp/tessary-package/tessary
exec 9>/var/tmp/tessary-package.lock && flock 9
rm -rf "${tree%/*}" && mkdir -p "$tree"
git ls-files -z -co --exclude-standard | tar --null -T - -c --ignore-failed-read 2>/dev/null | tar -x -C "$tree"
if command -v ccache >/dev/null; then # debhelper gives the build a home of its own
  export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)} CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
start=$SECONDS
(cd "$tree" && DEB_BUILD_OPTIONS="parallel=$(nproc) nocheck" dpkg-buildpackage -b -us -uc \
  --build-profiles=pkg.tessary.noupdatecheck) >"$out/build.log" 2>&1 || fail "dpkg-buildpackage failed: $out/build.log"
build_seconds=$((SECONDS - start))
mv "${tree%/*}"/*.{deb,changes,buildinfo} "$out/" && rm -rf "${tree%/*}"

# Info and pedantic tags are reported, not failed on.
lintian -I --pedantic --fail-on error,warning "$out"/*.changes >"$out/lintian.txt" 2>"$out/lintian.log" ||
  fail "lintian: $(cat "$out"/lintian.*)"
sed 's/^/lintian: /' "$out/lintian.txt"
for deb in "$out"/*tessary_*.deb; do dpkg-deb -x "$deb" "$out/contents"; done
desktop-file-validate "$out"/contents/usr/share/applications/*.desktop
appstreamcli validate --no-net "$out"/contents/usr/share/metainfo/*.xml >"$out/appstream.txt" ||
  fail "$(cat "$out/appstream.txt")"
for name in $(dpkg-deb -f "$out"/tessary_*.deb Recommends | tr ',|' '  ' | sed 's/([^)]*)//g'); do
  [[ $(apt-cache policy "$name") == *"Candidate: "[0-9]* ]] || fail "recommended $name is not in the archive"
done

# ---- installed with apt (not the recommended extras: nothing from the network), purged ----
apt-get purge -y -qq tessary nautilus-extension-tessary dolphin-tessary >/dev/null 2>&1 || true # an interrupted run's
find /usr -xdev | sort >"$out/usr-before"
dpkg-query -W -f='${Package}\n' | sort >"$out/packages-before"
purge() {
  local added
  added=$(dpkg-query -W -f='${Package}\n' | sort | comm -13 "$out/packages-before" -)
  [ -z "$added" ] || DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null
}
trap purge EXIT
(cd "$out" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  ./tessary_*.deb ./nautilus-extension-tessary_*.deb ./dolphin-tessary_*.deb) >"$out/install.log" 2>&1 || fail "$(cat "$out/install.log")"

# Without a grant `tessary new` asks for disk access (as text without a display) and gives up.
home=$(mktemp -d /tmp/tessary-package-XXXXXX)
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u TESSARY_LOCALEDIR -u DBUS_SESSION_BUS_ADDRESS HOME="$home" \
  XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home" LANGUAGE=de LC_ALL=C.UTF-8 \
  tessary new "$home" >"$out/german.txt" 2>&1 || status=$?
rm -rf "$home"
[ $status = 1 ] && grep -qF "Tessary braucht Zugriff auf Ihre Festplatte" "$out/german.txt" ||
  fail "tessary new did not answer in German ($status): $(cat "$out/german.txt")"
status=0
tessary check-updates >"$out/check-updates.txt" 2>&1 || status=$?
[ $status != 0 ] && grep -qF "not available" "$out/check-updates.txt" || fail "check-updates did not refuse"
[[ $(tessary --help) != *check-updates* ]] || fail "--help lists check-updates"
[[ $(man -P cat tessary 2>/dev/null) == *--shortcut* ]] || [ ! -x /usr/bin/man ] || fail "no man page"
LANGUAGE=de LC_ALL=C.UTF-8 TESSARY_E2E_CATALOGUE=/usr/share/locale/de/LC_MESSAGES/tessary.mo \
  TESSARY_E2E_OUT=$out/e2e bash tests/e2e/nautilus.sh --installed
TESSARY_E2E_OUT=$out/e2e-dolphin bash tests/e2e/dolphin.sh --installed

trap - EXIT
purge
find /usr -xdev | sort >"$out/usr-after"
left=$(comm -13 "$out/usr-before" "$out/usr-after")
[ -z "$left" ] || fail "left under /usr after the purge: $left"
{ echo "package build: $build_seconds s" && ls -l "$out"/*.deb | awk '{print $5, $9}'; } | tee "$out/sizes.txt"
echo "package.sh: passed"
