#!/usr/bin/env bash
# Regenerates the screenshots of README's "Using the editor" from the real editor on a virtual
# display, driven by xdotool as a user would drive it:
#   docs/images/editor_first_page.png  a sample probe loaded, its first page
#   docs/images/editor_surface.png     the directivity pattern of that probe shown by the visualizer
# Like ./run.sh it installs what is missing (scripts/deps.sh) and builds first. The clicks land
# on the editor's controls as they are laid out with the fonts that scripts/deps.sh installs.
# Not part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
probe_ensure_deps
probe_build
root="$(pwd)"
editor="$root/build/bin/probe_editor"
out="$root/docs/images"
mkdir -p "$out"

display=":$((200 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
editor_pid=""
workdir="$(mktemp -d)"
cleanup() {
  [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT
# The editor keeps its window's place, its recent files and its last folder between runs: the
# pictures start from none of them.
export DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$workdir/config"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The id of the visible window whose title is exactly $1, once it is there.
window() {
  local id
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "Окно «$1» не появилось" >&2
  return 1
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.5; }
# Without a window manager a freshly mapped window can be captured black: moving it where it
# is makes the toolkit draw it again.
redraw() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool windowmove "$1" "$X" "$Y"
  sleep 0.7
}

# Started outside the examples, as a user would from anywhere.
(cd "$workdir" && exec "$editor") >/dev/null 2>&1 &
editor_pid=$!
main="$(window "Редактор ЖУВ")"
sleep 1

# "Датчики" / "Загрузить из файла..." (Ctrl+O): the sample probe file, every record chosen.
xdotool windowfocus "$main"
xdotool key ctrl+o
window "Открыть" >/dev/null
xdotool type --delay 20 "$root/examples/probes.dt"
xdotool key Return
# Enter in the list chooses, wherever the dialog's width put its buttons.
xdotool windowfocus "$(window "Выбор записей для загрузки")"
sleep 0.5
xdotool key Return
sleep 0.5

# "Датчик" / "Выбрать": the third probe, a linear phased array.
click "$main" 30 8
xdotool key Down Down Down Return
choice="$(window "Выбор датчика")"
click "$choice" 100 56
xdotool key Return
sleep 0.5

redraw "$main"
xwd -id "$main" -silent | convert xwd:- "$out/editor_first_page.png"

# The last page (Ctrl+Shift+Tab from the first) and "Показать" beside the directivity pattern.
xdotool windowfocus "$main"
xdotool key ctrl+shift+Tab
sleep 0.5
click "$main" 702 161
viewer="$(window "Просмотр поверхностей")"
wait_box="$(window "Просмотр поверхности")"
sleep 1
redraw "$viewer"
redraw "$wait_box"
# The visualizer and the wait box together, as the user sees them.
eval "$(xdotool getwindowgeometry --shell "$viewer" | sed 's/^/V/')"
eval "$(xdotool getwindowgeometry --shell "$wait_box" | sed 's/^/B/')"
left=$((VX < BX ? VX : BX)); top=$((VY < BY ? VY : BY))
right=$((VX + VWIDTH > BX + BWIDTH ? VX + VWIDTH : BX + BWIDTH))
bottom=$((VY + VHEIGHT > BY + BHEIGHT ? VY + VHEIGHT : BY + BHEIGHT))
xwd -root -silent |
  convert xwd:- -crop "$((right - left + 20))x$((bottom - top + 20))+$((left - 10))+$((top - 10))" \
    +repage "$out/editor_surface.png"
click "$wait_box" 189 68  # "Завершить"

echo "Снимки: $out/editor_first_page.png, $out/editor_surface.png"
