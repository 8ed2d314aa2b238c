#!/usr/bin/env bash
# Looks into the Windows archive that cpack made from a 32-bit cross build: one folder holding the
# programs with the libraries they load beside them, the sample files, documents, headers and the
# CMake package below it, no test files, and programs and libraries that import nothing but
# system DLLs (the compiler's runtime and zlib are linked in), so that unpacking the archive is
# the whole installation. Arguments: the .zip file, the cross objdump.
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

expected="make_probes.exe make_surfaces.exe probestore.dll probetool.exe surfarch.dll surfstore.dll wave_split.exe wavelib.dll wavelib2.dll"
actual=$(cd "$root" && ls -p | grep -Ei '\.(exe|dll)$' | sort | tr '\n' ' ' | sed 's/ $//')
[ "$actual" = "$expected" ] || fail "programs and libraries: $actual; expected: $expected"
for file in README.md docs/plugins.md examples/probes.dt examples/probe_surfaces.pv \
  include/abi/plugin.h cmake/ProbeToolsConfig.cmake; do
  [ -s "$root/$file" ] || fail "$file not in the archive"
done
if (cd "$root" && find . \( -iname '*test*' -o -iname '*bench*' -o -iname '*fixture*' \)) | grep .; then
  fail "test files in the archive"
fi

# What each program and library imports: system DLLs only.
system='^(kernel32|msvcrt|shell32|user32|advapi32|ws2_32|ole32|api-ms-win-.*)\.dll$'
for binary in "$root"/*.exe "$root"/*.dll; do
  "$objdump" -p "$binary" | sed -n 's/^\tDLL Name: //p' | while read -r dll; do
    tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$system" ||
      fail "${binary##*/} imports $dll, which is not in the archive"
  done
done
echo "$zip: $(cd "$root" && find . -type f | wc -l) files in $top"
