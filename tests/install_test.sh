#!/usr/bin/env bash
# The game installs like any desktop program: the tree `cmake --install` lays down,
# its menu entry and AppStream description pass their validators, and the Debian
# package carries the same tree, names what the game needs and runs where unpacked.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# The program is started below; it must ring no bell on the desktop running the tests.
export QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent/botoron-no-sound-server

# Still running after two seconds: it started and waits in its scenes (it never
# ends on its own before the player has played).
expect_runs() {
  local rc=0
  timeout 2 "$1" > "$tmp/run.log" 2>&1 || rc=$?
  [ "$rc" -eq 124 ] || { cat "$tmp/run.log"; fail "$1 exited with $rc"; }
}

echo "== the install tree"
cmake --install "$build" --prefix "$tmp/usr" > /dev/null
usr=$tmp/usr
for f in bin/botoron \
         share/applications/botoron.desktop \
         share/metainfo/botoron.metainfo.xml \
         share/icons/hicolor/32x32/apps/botoron.png \
         share/icons/hicolor/scalable/apps/botoron.svg; do
  [ -f "$usr/$f" ] || fail "$f is not installed"
done
[ -x "$usr/bin/botoron" ] || fail "bin/botoron is not executable"
desktop-file-validate "$usr/share/applications/botoron.desktop" || fail "desktop-file-validate"
# The id is the desktop file's name, "botoron", which the program gives as its own;
# so it cannot be a reverse domain name, and only that hint is let pass.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$usr/share/metainfo/botoron.metainfo.xml" || fail "appstreamcli validate"

# The names the desktop goes by agree: menu entry, AppStream id and launchable,
# icon name and sizes, the program.
python3 - "$usr" <<'PY' || fail "the names and icons do not agree"
import configparser, struct, sys, xml.etree.ElementTree as ET
usr = sys.argv[1]
entry = configparser.ConfigParser(interpolation=None)
entry.optionxform = str
entry.read(f"{usr}/share/applications/botoron.desktop", encoding="utf-8")
d = entry["Desktop Entry"]
assert d["Exec"] == "botoron" and d["Icon"] == "botoron", dict(d)
assert d["Name[ja]"] == "ボトロンゲーム2001", d["Name[ja]"]
info = ET.parse(f"{usr}/share/metainfo/botoron.metainfo.xml").getroot()
assert info.findtext("id") == "botoron"
assert info.find("launchable[@type='desktop-id']").text == "botoron.desktop"
assert info.find("provides/binary").text == "botoron"
lang = "{http://www.w3.org/XML/1998/namespace}lang"
for tag in ("summary", "description/p"):
    langs = {e.get(lang) for e in info.findall(tag)}
    assert langs == {None, "ja"}, (tag, langs)
assert info.find("content_rating").get("type", "").startswith("oars-")
png = open(f"{usr}/share/icons/hicolor/32x32/apps/botoron.png", "rb").read()
assert png[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", png[16:24]) == (32, 32)
svg = ET.parse(f"{usr}/share/icons/hicolor/scalable/apps/botoron.svg").getroot()
assert svg.tag.endswith("svg") and svg.get("viewBox"), svg.attrib
PY
expect_runs "$usr/bin/botoron"

echo "== the Debian package"
cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" > "$tmp/cpack.log" 2>&1 || {
  cat "$tmp/cpack.log"
  fail "cpack"
}
debs=("$tmp"/pkg/botoron_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no package built"
[ "$(dpkg-deb -f "$deb" Package)" = botoron ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6gui6 libqt6core6 libcanberra0 libcanberra-pulse sound-theme-freedesktop \
            fonts-ipafont-gothic fonts-rocknroll; do
  grep -Eq "(^|[ ,|])$need([ ,(]|$)" <<< "$depends" || fail "Depends lacks $need: $depends"
done
# Every dependency is met here, so the package installs on this system as it is.
IFS=',' read -ra groups <<< "$depends"
for group in "${groups[@]}"; do
  met=no
  IFS='|' read -ra alternatives <<< "$group"
  for alt in "${alternatives[@]}"; do
    name=$(awk '{print $1}' <<< "$alt")
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" && met=yes
  done
  [ "$met" = yes ] || fail "dependency not installed here: $group"
done
mkdir "$tmp/root"
dpkg-deb -x "$deb" "$tmp/root"
diff <(cd "$usr" && find . -type f | sort) <(cd "$tmp/root/usr" && find . -type f | sort) ||
  fail "the package's tree differs from the install tree"
expect_runs "$tmp/root/usr/bin/botoron"
echo "install tree and package: ok"
