#!/usr/bin/env bash
# Installs what is missing, builds, and starts the probe editor with the suite's libraries beside it.
# Without a display the editor runs on a virtual display; a screenshot of its window is saved and
# the editor is ended.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
probe_ensure_deps
probe_build

editor=build/bin/probe_editor
echo "Примеры файлов: $(pwd)/examples/probes.dt (датчики), $(pwd)/examples/probe_surfaces.pv (поверхности)"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$editor"
fi

mkdir -p screenshots
shot="$(pwd)/screenshots/probe_editor.png"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$editor_pid" 2>/dev/null || true; kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$editor" &
editor_pid=$!
sleep 3
DISPLAY="$display" xwd -root -silent | convert xwd:- "$shot"
echo "Дисплея нет: редактор запущен на виртуальном дисплее $display, снимок окна сохранён в $shot"
