#!/usr/bin/env bash
# The Debian package, built the way a packager builds it (dpkg-buildpackage on a
# clean copy of the source), passes lintian with no error or warning, installs,
# starts from its menu entry under a real X server as the window its entry names,
# shows its manual page, and leaves nothing behind when it is removed.
# Usage: package_test.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== dpkg-buildpackage"
mkdir "$tmp/botoron"
# The files a clone would have, with any change not yet committed: no build folders.
(cd "$src" && git ls-files -z -co --exclude-standard | while IFS= read -r -d '' f; do
  if [ -e "$f" ]; then printf '%s\0' "$f"; fi
done | xargs -0 cp --parents -t "$tmp/botoron")
(cd "$tmp/botoron" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b) > "$tmp/build.log" 2>&1 ||
  { tail -n 60 "$tmp/build.log"; fail "dpkg-buildpackage"; }
deb=$(find "$tmp" -maxdepth 1 -name 'botoron_*.deb' | head -n 1)
[ -f "$deb" ] || fail "no package built"
echo "built $(basename "$deb")"

echo "== lintian"
# Errors and warnings fail; info and pedantic tags are shown (README lists the ones we keep).
lintian --info --pedantic "$deb" > "$tmp/lintian.log" 2>&1 || true
grep -v 'running with root privileges' "$tmp/lintian.log" || true
! grep -Eq '^[EW]: ' "$tmp/lintian.log" || fail "lintian reports errors or warnings"

# What the game needs at run time and does not link is named by hand; what it links
# comes from dpkg-shlibdeps, which must have found Qt and libcanberra.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6gui6 libcanberra0 libcanberra-pulse sound-theme-freedesktop \
            fonts-ipafont-gothic fonts-rocknroll; do
  grep -Eq "(^|[ ,|])$need([ ,(]|$)" <<< "$depends" || fail "Depends lacks $need: $depends"
done

echo "== install, start, remove"
# A staged root with its own dpkg database: the real dpkg installs and removes the
# package there, its dependencies taken from this system.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
dpkg=(dpkg --root="$root" --force-not-root --force-depends --log=/dev/null)
"${dpkg[@]}" --install "$deb" > "$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg --install"; }
[ -x "$root/usr/games/botoron" ] || fail "no /usr/games/botoron"
page=$(MANPATH="$root/usr/share/man" man -w 6 botoron) || fail "man 6 botoron finds no page"
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q 'botoron - small Japanese prank adventure' ||
  fail "man 6 botoron does not show the page"
entry=$(dpkg-deb -c "$deb" | grep -o 'usr/share/applications/[^/]*\.desktop$') || fail "the package has no menu entry"
/usr/bin/python3 "$src/tests/installed_game.py" "$root" "$(basename "$entry")" || fail "the installed game"
"${dpkg[@]}" --purge botoron > "$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg --purge"; }
left=$(cd "$root" && find . -mindepth 1 ! -path ./var ! -path ./var/lib ! -path './var/lib/dpkg*' | sort)
[ -z "$left" ] || fail "left behind after removal: $left"
echo "package: ok"
