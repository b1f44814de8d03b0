#!/usr/bin/env bash
# The Debian packages as a user gets them, run by .ci/run as root: builds them from debian/
# in a copy of the tree, checks them with lintian (no error, no warning), the desktop entry
# and the AppStream entry with their validators, installs both with apt, runs the Files
# end-to-end test and a German `tessary new` against the installed copy, purges both and
# checks that nothing new is left under /usr. The build uses the profile for distributions
# (no update checker), so the installed `tessary check-updates` must refuse. Packages,
# logs and lintian's report go to build/package (or $TESSARY_PACKAGE_OUT).
set -euo pipefail
cd "$(dirname "$0")/../.."

e2e_name=package.sh
fail() {
  echo "$e2e_name: $*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || fail "needs root to install the packages"
packages=(tessary nautilus-extension-tessary)

out=${TESSARY_PACKAGE_OUT:-$PWD/build/package}
rm -rf "$out"
mkdir -p "$out"

# dpkg-buildpackage writes the packages beside the tree, so it builds a copy in a folder of
# its own. The folder is always the same: the compiler flags name it, and the compiler cache
# then finds the last run's objects.
build_root=/var/tmp/tessary-package
exec 9>"$build_root.lock"
flock 9
rm -rf "$build_root"
mkdir -p "$build_root/tessary"
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -c --ignore-failed-read 2>/dev/null | tar -x -C "$build_root/tessary"
if command -v ccache >/dev/null; then
  # debhelper gives the build a home of its own, so the cache is named explicitly.
  export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
start=$SECONDS
(cd "$build_root/tessary" &&
  DEB_BUILD_OPTIONS="parallel=$(nproc) nocheck" dpkg-buildpackage -b -us -uc --build-profiles=pkg.tessary.noupdatecheck) \
  >"$out/build.log" 2>&1 || { tail -n 40 "$out/build.log" >&2; fail "dpkg-buildpackage failed (log: $out/build.log)"; }
build_seconds=$((SECONDS - start))
cp "$build_root"/*.deb "$build_root"/*.changes "$build_root"/*.buildinfo "$out/"
rm -rf "$build_root"
ls -l "$out"/*.deb

# lintian over everything the build made; info tags are reported, not failed on.
lintian --info --fail-on error,warning "$out"/*.changes >"$out/lintian.txt" 2>&1 ||
  { cat "$out/lintian.txt" >&2; fail "lintian found errors or warnings"; }
sed 's/^/lintian: /' "$out/lintian.txt"

# The contents as shipped.
extract=$out/contents
for package in "${packages[@]}"; do dpkg-deb -x "$out/${package}_"*.deb "$extract"; done
desktop-file-validate "$extract"/usr/share/applications/*.desktop || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$extract"/usr/share/metainfo/*.metainfo.xml >"$out/appstream.txt" ||
  { cat "$out/appstream.txt" >&2; fail "the AppStream entry is not valid"; }

# ---- installed with apt, then purged ----

# What is under /usr before; a copy left over from an interrupted run goes first.
for package in "${packages[@]}"; do
  ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
    apt-get purge -y -qq "$package" >/dev/null
done
find /usr -xdev | sort >"$out/usr-before"
dpkg-query -W -f='${Package}\n' | sort >"$out/packages-before"

purge() {
  local added
  added=$(dpkg-query -W -f='${Package}\n' | sort | comm -13 "$out/packages-before" -)
  [ -z "$added" ] || DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null
}
trap purge EXIT

# As a user would, without the recommended extras (they are for a desktop session).
(cd "$out" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  ./tessary_*.deb ./nautilus-extension-tessary_*.deb) >"$out/install.log" 2>&1 ||
  { cat "$out/install.log" >&2; fail "apt-get install failed"; }

# The installed copy speaks German from the catalogue the package installed: without a
# grant, `tessary new` asks for disk access and gives up (no display: the prompt is text).
home=$(mktemp -d /tmp/tessary-package-XXXXXX)
german() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u TESSARY_LOCALEDIR -u DBUS_SESSION_BUS_ADDRESS \
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home" TESSARY_LOG=stderr \
    LANGUAGE=de LC_ALL=C.UTF-8 "$@"
}
status=0
german tessary new "$home" >"$out/german.txt" 2>&1 || status=$?
rm -rf "$home"
[ $status = 1 ] && grep -qF "Tessary braucht Zugriff auf Ihre Festplatte" "$out/german.txt" ||
  { cat "$out/german.txt" >&2; fail "tessary new did not answer in German (exit status $status)"; }

# The distributions' build has no update checker.
status=0
tessary check-updates >"$out/check-updates.txt" 2>&1 || status=$?
[ $status != 0 ] && grep -qF "not available" "$out/check-updates.txt" || fail "check-updates did not refuse"
! tessary --help | grep -q check-updates || fail "--help lists check-updates"
man -P cat tessary 2>/dev/null | grep -q -- '--shortcut' || [ ! -x /usr/bin/man ] || fail "no man page"

TESSARY_E2E_OUT=$out/e2e bash tests/e2e/nautilus.sh --installed

trap - EXIT
purge
find /usr -xdev | sort >"$out/usr-after"
left=$(comm -13 "$out/usr-before" "$out/usr-after")
[ -z "$left" ] || fail "left under /usr after the purge: $left"

{
  echo "package build: ${build_seconds} s"
  ls -l "$out"/*.deb | awk '{print $5, $9}'
} | tee "$out/sizes.txt"
echo "package.sh: passed"
