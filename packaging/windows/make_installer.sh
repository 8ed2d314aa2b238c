#!/usr/bin/env bash
# Makes the Windows installer (installer.nsi) of an installed tree with makensis (Debian's nsis):
# the tree's files become the installer's File lines and the uninstaller's Delete lines, so that
# uninstalling removes exactly what was installed.
#
#   make_installer.sh <installed tree> <win32|win64> <version> <icon .ico> <output .exe>
set -euo pipefail
tree=$(cd "$1" && pwd) arch=$2 version=$3 icon=$(realpath "$4") out=$(realpath -m "$5")
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$tree/probe_editor.exe" ] || { echo "no probe_editor.exe in $tree" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# NSIS quotes strings with ", ' or `; Windows file names take none of them but the apostrophe, and
# the tree has none. $ would start a variable: written $$.
nsis_path() { printf '%s' "${1//\$/\$\$}" | tr / '\\'; }
(
  cd "$tree"
  find . -type d | LC_ALL=C sort | while IFS= read -r folder; do
    folder=${folder#./}
    [ "$folder" = . ] && folder=""
    printf 'SetOutPath "$INSTDIR\\%s"\n' "$(nsis_path "$folder")"
    find "./$folder" -maxdepth 1 -type f | LC_ALL=C sort | while IFS= read -r file; do
      printf 'File "%s"\n' "$tree/${file#./}"
    done
  done
) >"$work/files.nsh"
(
  cd "$tree"
  find . -type f | LC_ALL=C sort | while IFS= read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(nsis_path "${file#./}")"
  done
  # The deepest folders first; a folder is removed only once it is empty.
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while IFS= read -r folder; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(nsis_path "${folder#./}")"
  done
) >"$work/unfiles.nsh"
# The licence page reads UTF-8 only with a byte order mark, and wants CR LF; license_ru.txt has
# a paragraph to a line, which the page wraps itself.
{
  printf '\xef\xbb\xbf'
  sed 's/$/\r/' "$here/license_ru.txt"
} >"$work/license.txt"

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" -DICON="$icon" \
  -DLICENSE="$work/license.txt" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DOUTFILE="$out" "$here/installer.nsi"
echo "$out: $(find "$tree" -type f | wc -l) files"
