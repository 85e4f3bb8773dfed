#!/usr/bin/env bash
# The game installs like any desktop program: the tree `cmake --install` lays down
# holds the binary, its manual page, its menu entry, its icons and its AppStream
# description, all under the game's one id, and both files pass their validators
# without a single remark.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
id=org.botoron.botoron

cmake --install "$build" --prefix "$tmp/usr" > /dev/null
usr=$tmp/usr
for f in bin/botoron share/man/man6/botoron.6 share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg; do
  [ -f "$usr/$f" ] || fail "$f is not installed"
done
for size in 16 24 32 48 64 128 256; do
  [ -f "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" ] || fail "no ${size}x${size} icon"
done
# Both validators speak only when something is amiss, even at their most pedantic.
out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
out=$(appstreamcli validate --pedantic --no-net --format=yaml "$usr/share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $out"
! grep -q 'tag:' <<< "$out" || fail "appstreamcli validate --pedantic has remarks: $out"

# The names a desktop matches agree: entry, AppStream id and launchable, icon, program.
/usr/bin/python3 - "$usr" "$id" <<'PY' || fail "the names and icons do not agree"
import configparser, struct, sys, xml.etree.ElementTree as ET
usr, app_id = sys.argv[1:]
entry = configparser.ConfigParser(interpolation=None)
entry.optionxform = str
entry.read(f"{usr}/share/applications/{app_id}.desktop", encoding="utf-8")
d = entry["Desktop Entry"]
assert (d["Exec"], d["Icon"], d["StartupWMClass"]) == ("botoron", app_id, app_id), dict(d)
assert d["Name[ja]"] == "ボトロンゲーム2001", d["Name[ja]"]
info = ET.parse(f"{usr}/share/metainfo/{app_id}.metainfo.xml").getroot()
assert info.findtext("id") == app_id
assert info.find("launchable[@type='desktop-id']").text == f"{app_id}.desktop"
assert info.find("provides/binary").text == "botoron"
lang = "{http://www.w3.org/XML/1998/namespace}lang"
for tag in ("name", "summary", "description/p"):
    langs = {e.get(lang) for e in info.findall(tag)}
    assert langs == {None, "ja"}, (tag, langs)
assert info.findtext("project_license") == "MIT AND CC-BY-4.0"
for size in (16, 24, 32, 48, 64, 128, 256):
    png = open(f"{usr}/share/icons/hicolor/{size}x{size}/apps/{app_id}.png", "rb").read()
    assert png[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", png[16:24]) == (size, size), size
svg = ET.parse(f"{usr}/share/icons/hicolor/scalable/apps/{app_id}.svg").getroot()
assert svg.tag.endswith("svg") and svg.get("viewBox"), svg.attrib
PY
# The manual page renders without a warning.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man6/botoron.6" 2>&1 > /dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"

# Started from the tree, it runs and waits in its title (it never ends on its own
# before the player has played); no bell rings on the desktop running the tests.
rc=0
QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent/botoron-no-sound-server \
  timeout 2 "$usr/bin/botoron" > "$tmp/run.log" 2>&1 || rc=$?
[ "$rc" -eq 124 ] || { cat "$tmp/run.log"; fail "bin/botoron exited with $rc"; }
echo "install tree: ok"
