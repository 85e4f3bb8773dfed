#!/usr/bin/env bash
# Started where no display can be opened, the game says so in one line and ends
# with status 1 (no abort, no core dump, no advice to reinstall); on Qt's offscreen
# platform it needs no display and starts.
# Usage: no_display_test.sh GAME
set -uo pipefail
game=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# An X display number no server listens on.
dead=159
while grep -q "/tmp/.X11-unix/X$dead\$" /proc/net/unix || [ -e "/tmp/.X11-unix/X$dead" ]; do
  dead=$((dead + 1))
done
mkdir -m 700 "$tmp/run" # a runtime folder where no compositor has its socket

said="botoron needs a graphical desktop session (X11 or Wayland): "
# expected status | expected standard error (RUNS: still running after a second) | environment
cases=(
  "1|${said}no display is set (DISPLAY and WAYLAND_DISPLAY are empty)|"
  "1|${said}the X display :$dead cannot be opened|DISPLAY=:$dead"
  "1|${said}the Wayland display botoron-none cannot be opened|QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=botoron-none XDG_RUNTIME_DIR=$tmp/run DISPLAY=:$dead"
  "1|${said}the Wayland display wayland-0 cannot be opened; the X display :$dead cannot be opened|XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR=$tmp/run DISPLAY=:$dead"
  "1|${said}the Wayland display botoron-none cannot be found (XDG_RUNTIME_DIR is empty); no X display is set (DISPLAY is empty)|QT_QPA_PLATFORM=wayland;xcb WAYLAND_DISPLAY=botoron-none"
  "124|RUNS|QT_QPA_PLATFORM=offscreen"
)

for c in "${cases[@]}"; do
  IFS='|' read -r want_status want_err assignments <<< "$c"
  read -ra vars <<< "$assignments"
  rc=0
  (
    ulimit -c 0
    exec env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
      -u XDG_RUNTIME_DIR PULSE_SERVER=unix:/nonexistent/botoron-no-sound-server "${vars[@]}" \
      timeout 1 "$game"
  ) > "$tmp/out" 2> "$tmp/err" || rc=$?
  err=$(cat "$tmp/err")
  if [ "$want_err" = RUNS ]; then
    ok=$([ "$rc" -eq "$want_status" ] && echo yes)
  else
    ok=$([ "$rc" -eq "$want_status" ] && [ "$err" = "$want_err" ] && [ ! -s "$tmp/out" ] && echo yes)
  fi
  if [ "$ok" = yes ]; then
    echo "ok   [$assignments] status $rc"
  else
    echo "FAIL [$assignments] status $rc, wanted $want_status; standard error:"
    cat "$tmp/err"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
