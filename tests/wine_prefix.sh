#!/usr/bin/env bash
# Makes the wine prefix (WINEPREFIX, of WINEARCH) in which the test programs of a Windows build run:
# wine's own configuration, and Tahoma in the prefix's fonts folder, as every Windows has it. The
# toolkit's dialog fonts "MS Shell Dlg" and "MS Shell Dlg 2" are Tahoma by the prefix's
# substitutes; without it the toolkit takes, for Latin letters, the first family that claims them,
# on a host with TeX fonts one whose letters are operators and brackets. Wine takes its own copy
# of Tahoma (Debian's fonts-wine) from the prefix only.
#
# Arguments: <wine loader: wine64, or the 32-bit wine>
set -euo pipefail
wine=$1
: "${WINEPREFIX:?}"
"$wine" wineboot --init
fonts=/usr/share/wine/fonts
for font in tahoma.ttf tahomabd.ttf; do
  [ -f "$fonts/$font" ] || { echo "FAIL: no $fonts/$font (package fonts-wine)" >&2; exit 1; }
  cp "$fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
