#!/usr/bin/env bash
# Looks into the Debian package that cpack made: its name, dependencies that dpkg-shlibdeps
# computed from the programs and libraries (the toolkit and the C library at least, none written
# by hand), the commands, the desktop entry and the libraries in the program folder, and no test
# files; the Python module with its type hints, the manual pages (probetool's naming every command
# of its --help), the copyright file and the changelog, no maintainer scripts; and, unpacked into a
# temporary folder, the module imports there and reads the sample probes through the libraries of
# the program folder. Argument: the .deb file.
set -euo pipefail
deb=$1
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ "$(dpkg-deb -f "$deb" Package)" = probe-tools ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ ([^)]*)//g; s/, */\n/g' <<<"$depends")
# The CRC-32 comes from libdeflate on Debian (zlib only in the Windows builds).
for library in libc6 libstdc++6 libqt6widgets6 libqt6svg6 libdeflate0; do
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
for file in share/man/man1/probetool.1.gz share/man/man1/probe_editor.1.gz \
  share/doc/probe-tools/copyright share/doc/probe-tools/changelog.gz \
  lib/python3/dist-packages/probe_tools.pyi; do
  grep -q " ./usr/$file\$" <<<"$contents" || fail "$file not in the package"
done
grep -Eq ' \./usr/lib/python3/dist-packages/probe_tools\.cpython-[0-9]+-[^ /]*\.so$' <<<"$contents" ||
  fail "the Python module is not in the package"
if grep -E 'test|bench|fixture' <<<"$contents"; then fail "test files in the package"; fi
if dpkg-deb --info "$deb" | grep -Eq '^ .* (postinst|postrm|preinst|prerm|triggers)'; then
  fail "maintainer scripts in the package: $(dpkg-deb --info "$deb" | grep -E 'post|pre|trig')"
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# Every command that probetool's --help names has its entry in the manual page.
commands=$("$unpacked/usr/lib/probe-tools/probetool" --help | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p')
[ -n "$commands" ] || fail "no commands in probetool --help"
page=$(gzip -dc "$unpacked/usr/share/man/man1/probetool.1.gz")
for command in $commands; do
  grep -Eq "^\.BI? $command( |\$)" <<<"$page" || fail "probetool.1 has no entry for $command"
done
# The module finds the libraries of the program folder from wherever the tree is unpacked.
probes=$(PYTHONPATH="$unpacked/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
  'import probe_tools, sys; print(len(probe_tools.read(sys.argv[1])))' \
  "$unpacked/usr/share/probe-tools/examples/probes.dt") || fail "probe_tools does not work unpacked"
[ "$probes" = 6 ] || fail "probe_tools read $probes probes of the sample file, not 6"
echo "$deb: $(grep -c . <<<"$contents") entries; Depends: $depends"
