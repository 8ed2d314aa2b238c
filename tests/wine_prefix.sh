#!/usr/bin/env bash
# Makes the wine prefix (WINEPREFIX, of WINEARCH) in which the test programs of a Windows build run:
# wine's own configuration, and Tahoma in the prefix's fonts folder, as every Windows has it. The
# toolkit's dialog fonts "MS Shell Dlg" and "MS Shell Dlg 2" are Tahoma by the prefix's
# substitutes; without it the toolkit takes, for Latin letters, the first family that claims them,
# on a host with TeX fonts one whose letters are operators and brackets. Wine takes its own copy
# of Tahoma (Debian's fonts-wine) from the prefix only.
#
# With `--persist` the prefix's wine server is then started to stay up until `--end`: left to
# itself it exits a few seconds after its last program, and a program that connects while it is
# exiting fails with "wine client error: recvmsg: Connection reset by peer" (the test programs of
# a build start one after another for minutes). Scripts that wait for the server to end
# (`wineserver -w`) take the prefix without it.
#
# Arguments: <wine loader: wine64, or the 32-bit wine> [--persist | --end]
set -euo pipefail
wine=$1
server=${wine%/*}/wineserver
: "${WINEPREFIX:?}"
if [ "${2:-}" = --end ]; then
  "$server" -k 2>/dev/null || true
  exit 0
fi
"$wine" wineboot --init
fonts=/usr/share/wine/fonts
for font in tahoma.ttf tahomabd.ttf; do
  [ -f "$fonts/$font" ] || { echo "FAIL: no $fonts/$font (package fonts-wine)" >&2; exit 1; }
  cp "$fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
[ "${2:-}" = --persist ] || exit 0
# The server wineboot started ends first (it writes the registry as it goes). The new one's
# system programs (services and the like) start here too, and stay while it stays: started by a
# test program instead, they would hold that test's output open, and the test would not end.
"$server" -w
"$server" -p </dev/null >/dev/null 2>&1
"$wine" wineboot </dev/null >/dev/null 2>&1
