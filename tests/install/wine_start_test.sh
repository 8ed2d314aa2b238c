#!/usr/bin/env bash
# Unpacks a Windows archive and starts its editor under wine (wine64 for the 64-bit archive, the
# 32-bit wine for the 32-bit one) on a virtual display with
# the toolkit's windows platform plug-in, as a user on Windows starts the unpacked program, watched
# by the test plug-in (startup_watch): the window «Редактор ЖУВ» comes up with no box, loads the
# archive's sample probe file and shows a surface of its sample surface file through the archive's
# surfview1.dll; every library of the tool set is bound from the unpacked folder.
#
# Arguments: <the win32 or win64 .zip> <folder of the Windows build's Qt test plug-ins> <wine
# prefix made by that build's tests> [a .png to take the screen into while the surface is shown]
set -euo pipefail
source "$(dirname "$0")/watch_log.sh"
zip=$1 qt_plugins=$2 prefix=$3 picture=${4:-}
case "$zip" in
  *-win32.zip) arch=win32 wine=/usr/lib/wine/wine ;;
  *) arch=win64 wine=$(command -v wine64 || echo /usr/lib/wine/wine64) ;;
esac
[ -x "$wine" ] || { echo "FAIL: no $wine" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid="" editor_pid=""
cleanup() {
  [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  WINEPREFIX=$prefix "${wine%/*}/wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/editor.log" ] && sed 's/^/   /' "$work/editor.log" >&2
  exit 1
}
(cd "$work" && cmake -E tar xf "$zip")
root=$(echo "$work"/probe-tools-*-"$arch")
[ -f "$root/probe_editor.exe" ] || fail "no probe_editor.exe in $zip"

# A virtual display of a free number: Xvfb writes the number it took once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=":$(cat "$work/display")"

# The prefix is the build's, its tests ran in it without a display. A program started while
# their wine session still lingers joins it, and its windows reach no display: that session ends
# first, and the new one starts on the virtual display. Then a first start: nothing remembered
# from an earlier one.
WINEPREFIX=$prefix "${wine%/*}/wineserver" -k 2>/dev/null || true
DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
  "$wine" reg delete 'HKCU\Software\probe-tools' /f >/dev/null 2>&1 || true

# Started from an empty folder, as from a desktop shortcut.
mkdir "$work/elsewhere"
(
  cd "$work/elsewhere"
  # Wine names the host's / drive Z:. It hands no QT_ variable of the host to a Windows program
  # (they belong to the host's Qt); WINEQT_NAME reaches it as QT_NAME. The toolkit's warnings go
  # to standard error, not to the debugger.
  export DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
    LC_ALL=C.UTF-8 WINEQT_QPA_PLATFORM=windows WINEQT_PLUGIN_PATH="Z:$qt_plugins" \
    WINEQT_QPA_GENERIC_PLUGINS=probestartupwatch WINEQT_FORCE_STDERR_LOGGING=1 \
    PROBE_WATCH_PROBE_FILE="Z:$root/examples/probes.dt" \
    PROBE_WATCH_SURFACE_FILE="Z:$root/examples/probe_surfaces.pv" \
    PROBE_WATCH_SURFACE_NAME="Излучающая поверхность" PROBE_WATCH_HOLD_MS=3000 \
    PROBE_WATCH_TIMEOUT_MS=100000
  exec timeout 150 "$wine" "$root/probe_editor.exe"
) 2>"$work/editor.log" &
editor_pid=$!

# The watch holds the surface on screen for a while after it reports it: time to see that the
# visualizer's window is really on the display, and to take a picture of the screen.
for _ in $(seq 1200); do
  grep -q '^watch: viewer' "$work/editor.log" && break
  kill -0 "$editor_pid" 2>/dev/null || break
  sleep 0.1
done
on_display=no
if grep -q '^watch: viewer' "$work/editor.log"; then
  sleep 1.5
  if DISPLAY=$display xdotool search --onlyvisible --name 'Просмотр поверхностей' >/dev/null; then
    on_display=yes
  fi
  # The screen without the empty part around the windows.
  if [ -n "$picture" ]; then
    DISPLAY=$display xwd -root -silent | convert xwd:- -trim +repage "$picture"
  fi
fi
status=0
wait "$editor_pid" || status=$?
editor_pid=""
# A Windows program ends its lines with CR LF.
sed -i 's/\r$//' "$work/editor.log"
sed 's/^/   /' "$work/editor.log" | grep '^   watch:' || true
[ "$status" -eq 0 ] || fail "the editor ended with $status"
[ "$on_display" = yes ] || fail "the visualizer's window was not on the virtual display"
check_watch_log "$work/editor.log" "Z:$root" dll
echo "$zip: the unpacked editor started under ${wine##*/} and showed a surface"
