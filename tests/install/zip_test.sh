#!/usr/bin/env bash
# Looks into a Windows archive that cpack made from a cross build (32- or 64-bit): one folder
# holding the programs with the libraries they load beside them, the editor with the Qt DLLs, the
# Qt plug-ins and the toolkit's Russian translation it needs, the sample files, documents, headers
# and the CMake package below it, no test files. Every program and library in it (the plug-ins
# below included) is built for the archive's architecture and imports nothing but DLLs of the
# archive's top folder and system DLLs, so that unpacking the archive is the whole installation.
# The tree's own ones carry their version information and the icon.
# Arguments: the .zip file, the cross objdump.
set -euo pipefail
zip=$1 objdump=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
top=$(ls "$work")
[ "$(wc -l <<<"$top")" -eq 1 ] || fail "more than one folder at the top: $top"
root=$work/$top

case "$top" in
  *-win32) format=pei-i386 libgcc=libgcc_s_dw2-1.dll ;;
  *-win64) format=pei-x86-64 libgcc=libgcc_s_seh-1.dll ;;
  *) fail "$top: neither win32 nor win64" ;;
esac

expected="make_probes.exe make_surfaces.exe probe_editor.exe probestore.dll probetool.exe
  surfarch.dll surfstore.dll surfview1.dll wave_split.exe wavelib.dll wavelib2.dll
  Qt5Core.dll Qt5Gui.dll Qt5Svg.dll Qt5Widgets.dll $libgcc libstdc++-6.dll libwinpthread-1.dll"
expected=$(tr -s ' \n' '\n' <<<"$expected" | grep . | LC_ALL=C sort | tr '\n' ' ')
actual=$(cd "$root" && ls -p | grep -Ei '\.(exe|dll)$' | LC_ALL=C sort | tr '\n' ' ')
[ "$actual" = "$expected" ] || fail "programs and libraries: $actual; expected: $expected"
for file in README.md docs/plugins.md docs/windows.md examples/probes.dt examples/probe_surfaces.pv \
  include/abi/plugin.h cmake/ProbeToolsConfig.cmake platforms/qwindows.dll \
  styles/qwindowsvistastyle.dll translations/qtbase_ru.qm; do
  [ -s "$root/$file" ] || fail "$file not in the archive"
done
if (cd "$root" && find . \( -iname '*test*' -o -iname '*bench*' -o -iname '*fixture*' \)) | grep .; then
  fail "test files in the archive"
fi

# What each program and library imports: the archive's own DLLs (the Qt plug-ins below find them
# in the program's folder) and DLLs that every Windows has.
system='^(kernel32|user32|gdi32|shell32|advapi32|ole32|oleaut32|comdlg32|ws2_32|winmm|imm32|dwmapi|uxtheme|version|netapi32|userenv|mpr|msvcrt|wtsapi32|shlwapi|comctl32|d3d11|dxgi|api-ms-win-.*)\.dll$'
own=$(cd "$root" && ls | grep -i '\.dll$' | tr '[:upper:]' '[:lower:]')
count=0
while IFS= read -r binary; do
  info=$("$objdump" -p "$binary")
  grep -q "file format $format\$" <<<"$info" || fail "${binary#"$root"/} is not $format"
  while read -r dll; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    grep -Eq "$system" <<<"$lower" || grep -Fqx "$lower" <<<"$own" ||
      fail "${binary#"$root"/} imports $dll, which is neither in the archive nor a system DLL"
  done < <(sed -n 's/^\tDLL Name: //p' <<<"$info")
  count=$((count + 1))
done < <(find "$root" -type f \( -iname '*.exe' -o -iname '*.dll' \))
[ "$count" -ge 20 ] || fail "only $count programs and libraries looked at"

# The tree's own programs and libraries carry the version information Explorer shows and the
# editor's icon (read back with the cross windres).
windres=${objdump%objdump}windres
for binary in "$root"/*.exe "$root"/*.dll; do
  case "${binary##*/}" in Qt5* | lib*) continue ;; esac
  resources=$("$windres" -i "$binary" -O rc 2>/dev/null | grep -v '^  0x') ||
    fail "${binary##*/}: its resources cannot be read"
  for line in 'VALUE "ProductName", "probe-tools"' 'VALUE "ProductVersion", "1.1"' \
    'VALUE "FileVersion", "1.1"' 'VALUE "FileDescription", L"' 'VALUE "LegalCopyright", L"' \
    "VALUE \"OriginalFilename\", \"${binary##*/}\"" 'RT_GROUP_ICON'; do
    grep -Fq "$line" <<<"$resources" || fail "${binary##*/}: no $line in its resources"
  done
done
echo "$zip: $(cd "$root" && find . -type f | wc -l) files in $top, imports of $count programs and libraries checked"
