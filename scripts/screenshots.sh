#!/usr/bin/env bash
# Pictures of the program on screens of 1024 x 768, 1366 x 768 and 1920 x 1080 at twice the
# scale, each a virtual X display with a window manager, into docs/ (or the folder given):
# screen-SIZE-MODE.png for run (paused), video, data buffer, replay and the popup, and three
# sensors in one window at each size (screen-SIZE-sensors.png). Then the
# panel pictures that need no display (main-panel.png, main-panel-run.png, popup.png).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
bin=${BUILD_DIR:-build}/bin
missing=()
for tool in Xvfb openbox; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if ((${#missing[@]})); then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y xvfb openbox
fi
[ -x "$bin/qtor-panel-shot" ] || { echo "build first: $bin/qtor-panel-shot is missing" >&2; exit 1; }

shoot() {  # WIDTH HEIGHT SCALE NAME [MODE]
  local display=:$((70 + RANDOM % 20)) xvfb wm status=0
  Xvfb "$display" -screen 0 "$1x$2x24" -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  sleep 1
  DISPLAY=$display openbox >/dev/null 2>&1 & wm=$!
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$3 \
    "$bin/qtor-panel-shot" "--${5:-screen}" "$4" "$out" || status=$?
  kill "$wm" "$xvfb" 2>/dev/null || true
  wait "$wm" "$xvfb" 2>/dev/null || true
  return "$status"
}

shoot 1024 768 1 1024x768
shoot 1366 768 1 1366x768
shoot 1920 1080 2 1920x1080-2x
shoot 1366 768 1 1366x768 sensors
shoot 1024 768 1 1024x768 sensors
shoot 1920 1080 2 1920x1080-2x sensors
"$bin/qtor-panel-shot" "$out"
