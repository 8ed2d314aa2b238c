#!/usr/bin/env bash
# Looks into the Debian package that cpack made: its name, dependencies that dpkg-shlibdeps
# computed from the programs and libraries (the toolkit and the C library at least, none written
# by hand), the commands, the desktop entry and the libraries in the program folder, and no test
# files. Argument: the .deb file.
set -euo pipefail
deb=$1
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ "$(dpkg-deb -f "$deb" Package)" = probe-tools ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ ([^)]*)//g; s/, */\n/g' <<<"$depends")
for library in libc6 libstdc++6 libqt6widgets6 libqt6svg6 zlib1g; do
  grep -Fqx "$library" <<<"$names" || fail "$library missing from Depends: $depends"
done
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/probe_editor -> ../lib/probe-tools/probe_editor$' <<<"$contents" ||
  fail "no /usr/bin/probe_editor leading to the program folder"
for file in lib/probe-tools/probe_editor lib/probe-tools/probestore.so lib/probe-tools/surfview1.so \
  lib/probe-tools/wavelib2.so share/applications/probe-editor.desktop \
  share/icons/hicolor/scalable/apps/probe-editor.svg include/probe-tools/abi/plugin.h \
  share/cmake/ProbeTools/ProbeToolsConfig.cmake share/probe-tools/examples/probes.dt; do
  grep -q " ./usr/$file\$" <<<"$contents" || fail "$file not in the package"
done
if grep -E 'test|bench|fixture' <<<"$contents"; then fail "test files in the package"; fi
echo "$deb: $(grep -c . <<<"$contents") entries; Depends: $depends"
