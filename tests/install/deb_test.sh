#!/usr/bin/env bash
# Looks into the Debian package probe-tools that cpack made: its name, dependencies that
# dpkg-shlibdeps computed from the programs and libraries (the toolkit and the C library at least,
# none written by hand; no Python, which is python3-probe-tools's), the commands, the desktop entry
# and the libraries in the program folder, and no test files or Python module; the manual pages
# (probetool's naming every command of its --help), the copyright file and the changelog, no
# maintainer scripts. Then, unpacked into a temporary folder and registered with the desktop as
# the triggers of shared-mime-info and desktop-file-utils register an installed package, a copy of
# the sample probe file is of the package's probe type, by its name and by its contents, a surface
# file of its surface type, and the editor's desktop entry opens probe files. Argument: the .deb
# file.
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
if grep -E '^python3' <<<"$names"; then fail "Python in Depends: $depends"; fi
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/probe_editor -> ../lib/probe-tools/probe_editor$' <<<"$contents" ||
  fail "no /usr/bin/probe_editor leading to the program folder"
for file in lib/probe-tools/probe_editor lib/probe-tools/probestore.so lib/probe-tools/surfview1.so \
  lib/probe-tools/wavelib2.so share/applications/probe-editor.desktop \
  share/icons/hicolor/scalable/apps/probe-editor.svg include/probe-tools/abi/plugin.h \
  share/cmake/ProbeTools/ProbeToolsConfig.cmake share/probe-tools/examples/probes.dt \
  share/mime/packages/probe-tools.xml \
  share/icons/hicolor/scalable/mimetypes/application-x-probe-tools-probes.svg; do
  grep -q " ./usr/$file\$" <<<"$contents" || fail "$file not in the package"
done
for file in share/man/man1/probetool.1.gz share/man/man1/probe_editor.1.gz \
  share/doc/probe-tools/copyright share/doc/probe-tools/changelog.gz \
  share/doc/probe-tools/docs/probe.schema.json; do
  grep -q " ./usr/$file\$" <<<"$contents" || fail "$file not in the package"
done
if grep -E 'test|bench|fixture|python' <<<"$contents"; then fail "test files or Python in the package"; fi
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

# The file types, seen as a desktop sees them: xdg-mime asks GIO for a file's type (on GNOME, Xfce,
# MATE...) and reads the applications' caches for the program that opens a type. A home and
# desktop settings of its own, so that nothing of the user's counts or changes.
share=$unpacked/usr/share
export XDG_DATA_DIRS=$share:/usr/share
update-mime-database "$share/mime"
update-desktop-database "$share/applications"
home=$unpacked/home
mkdir -p "$home" "$unpacked/files"
mime() {
  HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CONFIG_DIRS=$home/xdg \
    XDG_CURRENT_DESKTOP=GNOME xdg-mime query "$@"
}
probe_type=application/x-probe-tools-probes
files=$unpacked/files
cp "$share/probe-tools/examples/probes.dt" "$files/копия датчиков.dt"
cp "$share/probe-tools/examples/probes.dt" "$files/probes_without_extension"
cp "$share/probe-tools/examples/probe_surfaces.pv" "$files/surfaces.pv"
# With the package's files alone (nothing installed on this machine counts), and beside the
# system's types, as a desktop has them.
for dirs in "$share" "$share:/usr/share"; do
  for pair in "копия датчиков.dt=$probe_type" "probes_without_extension=$probe_type" \
    "surfaces.pv=application/x-probe-tools-surfaces"; do
    type=$(XDG_DATA_DIRS=$dirs mime filetype "$files/${pair%%=*}")
    [ "$type" = "${pair#*=}" ] || fail "xdg-mime ($dirs): ${pair%%=*} is '$type', not ${pair#*=}"
  done
  default=$(XDG_DATA_DIRS=$dirs mime default "$probe_type")
  [ "$default" = probe-editor.desktop ] || fail "xdg-mime ($dirs): $probe_type opens with '$default'"
done
grep -qx 'Exec=probe_editor %f' "$share/applications/probe-editor.desktop" ||
  fail "the desktop entry does not pass the file to the editor"
echo "$deb: $(grep -c . <<<"$contents") entries; Depends: $depends"
