#!/usr/bin/env bash
# The Windows installer of a cross build under wine, in a new prefix of its own architecture, as a
# user or an administrator's script runs it:
#   - an older version (made here from a small tree with a file the new one no longer has) is
#     installed silently, then the new one over it: the older one is gone, the new one lies in the
#     architecture's Program Files folder with exactly the archive's files and the uninstaller;
#   - the keys read back with `reg query`: "Programs and Features" (name, version, publisher, icon,
#     size, quiet uninstall string), the .dt type and its ProgID with icon and "open" command;
#   - a copy of the sample probe file opened through the file type (`start`, which asks the shell
#     what opens .dt) brings the installed editor up with its records, watched by the test plug-in;
#   - the quiet uninstall string read from the registry removes every installed file and key and
#     leaves a probe file of the user's in the program's folder and the editor's settings;
#   - /D= installs into another folder, and that installation uninstalls too.
#
# Arguments: <build folder> <win32|win64> <wine loader>; the build folder holds the installer
# (probe-tools-*-<arch>-setup.exe), the archive, the icon and the test plug-in folder qt_plugins.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd) arch=$2 wine=$3
setup=$(echo "$build"/probe-tools-*-"$arch"-setup.exe)
zip=$(echo "$build"/probe-tools-*-"$arch".zip)
[ -f "$setup" ] || { echo "FAIL: no installer in $build" >&2; exit 1; }

work=$(mktemp -d)
prefix=$build/wineprefix-installer
xvfb_pid=""
cleanup() {
  WINEPREFIX=$prefix "${wine%/*}/wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/editor.log" ] && sed 's/^/   /' "$work/editor.log" >&2
  exit 1
}

# Wine's own menu builder would put the Start menu entry and the file type into the host's
# desktop: it is switched off, and the host's home is a temporary one.
export HOME=$work/home WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all LC_ALL=C.UTF-8 \
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
rm -rf "$prefix"
bash "$here/../wine_prefix.sh" "$wine" >/dev/null 2>&1 || fail "the wine prefix was not made"
# Runs a Windows program and waits until every program of the prefix has ended (the uninstaller
# copies itself away and goes on from there).
run() {
  "$wine" "$@"
  "${wine%/*}/wineserver" -w
}
# reg_value <key> [<value>]: the data of the value (of the key's default value without one), or
# nothing. `reg query` prints in the prefix's OEM code page, which has no Cyrillic letters, so the
# key is exported (UTF-16) and its value read there: strings unquoted, numbers as 0x....
reg_value() {
  local name=@
  [ "$#" -gt 1 ] && name="\"$2\""
  rm -f "$prefix/drive_c/key.reg"
  "$wine" reg export "$1" 'C:\key.reg' /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/key.reg" | tr -d '\r' |
    awk -v name="$name" '/^\[/ { key++ } key == 1 && index($0, name "=") == 1 {
        print substr($0, length(name) + 2); exit }' |
    sed -e 's/^dword:/0x/' -e 's/^"\(.*\)"$/\1/' -e 's/\\\(.\)/\1/g'
}
reg_has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\probe-tools'
progid='HKLM\Software\Classes\probe-tools.ProbeFile'
program_files=$(unix_path 'C:\Program Files')
folder=$program_files/probe-tools

# The archive's tree: what the installer must put there.
(cd "$work" && cmake -E tar xf "$zip")
tree=$(echo "$work"/probe-tools-*-"$arch")
list() { (cd "$1" && find . -type f | LC_ALL=C sort); }

# An older version, with a library the new one no longer has.
mkdir -p "$work/old"
cp "$tree/probe_editor.exe" "$work/old/"
echo old >"$work/old/obsolete.dll"
bash "$here/../../packaging/windows/make_installer.sh" "$work/old" "$arch" 1.0 \
  "$build/windows_resources/probe-editor.ico" "$work/old-setup.exe" >/dev/null
run "$work/old-setup.exe" /S
[ -f "$folder/obsolete.dll" ] || fail "the older version was not installed into $folder"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = 1.0 ] || fail "no older version registered"

run "$setup" /S
[ ! -e "$folder/obsolete.dll" ] || fail "the older version's files stayed"
diff <({ list "$tree"; echo ./uninstall.exe; } | LC_ALL=C sort) <(list "$folder") >"$work/diff" ||
  fail "installed files differ from the archive's: $(cat "$work/diff")"
cmp -s "$tree/probe_editor.exe" "$folder/probe_editor.exe" || fail "probe_editor.exe differs"

# The keys, read back.
# expect_value <key> [<value>] <data>
expect_value() {
  local actual expected=${*: -1}
  actual=$(reg_value "${@:1:$#-1}")
  [ "$actual" = "$expected" ] || fail "$*: «$actual», expected «$expected»"
}
windows_folder="$("$wine" winepath -w "$folder" 2>/dev/null | tr -d '\r')"
version=$(sed -n 's/.*probe-tools-\(.*\)-'"$arch"'-setup.exe$/\1/p' <<<"$setup")
expect_value "$uninstall_key" DisplayName "probe-tools $version (Редактор ЖУВ)"
expect_value "$uninstall_key" DisplayVersion "$version"
expect_value "$uninstall_key" Publisher "Сопровождающие набора probe-tools"
expect_value "$uninstall_key" DisplayIcon "$windows_folder\\probe_editor.exe,0"
expect_value "$uninstall_key" InstallLocation "$windows_folder"
expect_value "$uninstall_key" QuietUninstallString "\"$windows_folder\\uninstall.exe\" /S"
size=$(reg_value "$uninstall_key" EstimatedSize)
kilobytes=$(du -sk "$folder" | cut -f1)
[ $((size)) -gt $((kilobytes / 2)) ] && [ $((size)) -lt $((kilobytes * 2)) ] ||
  fail "EstimatedSize $size for $kilobytes KB"
expect_value 'HKLM\Software\Classes\.dt' probe-tools.ProbeFile
expect_value "$progid\\DefaultIcon" "$windows_folder\\probe_editor.exe,0"
expect_value "$progid\\shell\\open\\command" "\"$windows_folder\\probe_editor.exe\" \"%1\""
shortcut=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')/Редактор\ ЖУВ.lnk
[ -f "$shortcut" ] || [ -f "$(unix_path 'C:\users\Public\Start Menu\Programs')/Редактор ЖУВ.lnk" ] ||
  fail "no Start menu entry"

# A probe file of the user's opened through its type, on a virtual display, with nothing
# remembered from an earlier start.
mkdir -p "$work/Мои датчики"
cp "$tree/examples/probes.dt" "$work/Мои датчики/датчики.dt"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
"${wine%/*}/wineserver" -k 2>/dev/null || true
(
  export DISPLAY=":$(cat "$work/display")" WINEQT_QPA_PLATFORM=windows \
    WINEQT_PLUGIN_PATH="Z:$build/qt_plugins" WINEQT_QPA_GENERIC_PLUGINS=probestartupwatch \
    WINEQT_FORCE_STDERR_LOGGING=1 PROBE_WATCH_OPENED_FILE=1 PROBE_WATCH_TIMEOUT_MS=100000 \
    PROBE_WATCH_LOG="Z:$work/watch.log"
  cd "$work/Мои датчики"
  timeout 150 "$wine" start /wait /unix "$work/Мои датчики/датчики.dt"
  "${wine%/*}/wineserver" -w
) 2>"$work/editor.log" || fail "the editor started through the file type failed"
# The editor, started by the shell, reports into the watch's file: its standard error is not
# start's.
[ -f "$work/watch.log" ] && cat "$work/watch.log" >>"$work/editor.log"
sed -i 's/\r$//' "$work/editor.log"
grep '^watch:' "$work/editor.log" | sed 's/^/   /' || true
grep -Eqx 'watch: records [1-9][0-9]*' "$work/editor.log" || fail "the file's records were not listed"
grep -qx 'watch: probes loaded' "$work/editor.log" || fail "the file's probes were not loaded"
grep -Fqx -i "watch: library $(tr '\\' / <<<"$windows_folder")/probestore.dll" "$work/editor.log" ||
  fail "probestore.dll not bound from $windows_folder"
kill "$xvfb_pid" 2>/dev/null
xvfb_pid=""

# A probe file of the user's in the program's folder and the editor's settings.
cp "$tree/examples/probes.dt" "$folder/examples/мои.dt"
"$wine" reg add 'HKCU\Software\probe-tools\probe_editor' /v lastFolder /d 'C:\' /f >/dev/null
# uninstall_quietly: runs the quiet uninstall string of the registry: "<program>" <arguments>.
uninstall_quietly() {
  local quiet program arguments
  quiet=$(reg_value "$uninstall_key" QuietUninstallString)
  [[ "$quiet" =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "quiet uninstall string «$quiet»"
  program=${BASH_REMATCH[1]} arguments=${BASH_REMATCH[2]}
  # shellcheck disable=SC2086
  run "$program" $arguments
}
uninstall_quietly
left=$(cd "$folder" && find . -type f)
[ "$left" = "./examples/мои.dt" ] || fail "after uninstalling, left in $folder: $left"
for key in "$uninstall_key" "$progid" 'HKLM\Software\Classes\.dt'; do
  if reg_has_key "$key"; then fail "$key stayed"; fi
done
[ ! -e "$shortcut" ] || fail "the Start menu entry stayed"
reg_has_key 'HKCU\Software\probe-tools\probe_editor' || fail "the editor's settings were removed"

# Another folder, given with /D= (the last argument, unquoted: wine would quote one with spaces).
run "$setup" /S '/D=C:\Программы\probe-tools'
other=$(unix_path 'C:\Программы\probe-tools')
[ -f "$other/probe_editor.exe" ] || fail "/D= did not install into $other"
uninstall_quietly
[ ! -e "$other" ] || fail "$other stayed after uninstalling"
echo "$setup: installed over an older version, opened a probe file, uninstalled cleanly under wine ($arch)"
