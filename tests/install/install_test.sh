#!/usr/bin/env bash
# Installs the tool set into a temporary folder (DESTDIR, prefix /usr) and uses it from there as a
# user and a plug-in writer would: the program folder holds exactly the programs and libraries
# that ship, the commands in bin/ start the programs in it, the editor started through its bin/
# entry comes up with every library it loads bound from its own folder and no box, the command
# line programs work on the installed sample files, and a plug-in builds against the installed
# headers with find_package(ProbeTools).
#
# Arguments: <build folder> <source folder> <folder of the Qt test plug-ins or ""> <probetool: ON|OFF>
set -euo pipefail
source "$(dirname "$0")/watch_log.sh"
build=$1 source=$2 qt_plugins=$3 with_probetool=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "-- $* ($SECONDS s)"; }

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log"
root=$work/stage/usr
programs=$root/lib/probe-tools
step "installed"

# The program folder: the programs and the libraries they load, nothing else (no test program,
# fixture or benchmark).
expected="make_probes make_surfaces probestore.so surfarch.so surfstore.so wave_split wavelib.so wavelib2.so"
if [ -n "$qt_plugins" ]; then expected="$expected probe_editor surfview1.so"; fi
if [ "$with_probetool" = ON ]; then expected="$expected probetool"; fi
expected=$(tr ' ' '\n' <<<"$expected" | sort)
actual=$(ls "$programs" | sort)
[ "$actual" = "$expected" ] || fail "program folder holds:"$'\n'"$actual"$'\n'"expected:"$'\n'"$expected"
# (The Python module's speed script is shipped among its examples.)
if find "$work/stage" \( -name '*test*' -o -name '*bench*' -o -name '*fixture*' \) |
  grep -v '/share/doc/python3-probe-tools/examples/bench_speed\.py$' | grep .; then
  fail "test files installed"
fi

# Every boundary header, and the sample files and documents.
for header in "$source"/abi/*.h; do
  [ -f "$root/include/probe-tools/abi/${header##*/}" ] || fail "${header##*/} not installed"
done
for file in share/probe-tools/examples/probes.dt share/probe-tools/examples/probe_surfaces.pv \
  share/doc/probe-tools/README.md share/doc/probe-tools/docs/plugins.md; do
  [ -s "$root/$file" ] || fail "$file not installed"
done

# Commands: bin/ entries that lead into the program folder.
commands=""
if [ -n "$qt_plugins" ]; then commands="probe_editor"; fi
if [ "$with_probetool" = ON ]; then commands="$commands probetool"; fi
for command in $commands; do
  [ "$(readlink -f "$root/bin/$command")" = "$(readlink -f "$programs/$command")" ] ||
    fail "bin/$command does not lead to $programs/$command"
done

# Nothing of the build folder may help the installed programs: an empty working folder, no
# library path.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
unset LD_LIBRARY_PATH

if [ -n "$qt_plugins" ]; then
  # Desktop entry and icon.
  entry=$root/share/applications/probe-editor.desktop
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
  grep -qx 'Name=Редактор ЖУВ' "$entry" || fail "the entry's name"
  grep -qx 'Exec=probe_editor %f' "$entry" || fail "the entry's command"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -s "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon not installed"

  # The editor through its bin/ entry, offscreen, watched by the test plug-in: it loads the
  # installed sample probe file and shows a surface of the sample surface file, which loads the
  # surface libraries too.
  QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$qt_plugins" QT_QPA_GENERIC_PLUGINS=probestartupwatch \
    PROBE_WATCH_PROBE_FILE="$root/share/probe-tools/examples/probes.dt" \
    PROBE_WATCH_SURFACE_FILE="$root/share/probe-tools/examples/probe_surfaces.pv" \
    PROBE_WATCH_SURFACE_NAME="Излучающая поверхность" \
    timeout 60 "$root/bin/probe_editor" 2>"$work/editor.log" || fail "editor ended with $?"
  sed 's/^/   /' "$work/editor.log"
  check_watch_log "$work/editor.log" "$programs" so
  step "editor started through bin/probe_editor"
fi

# The wave example loads wavelib2 and wavelib from its own folder.
"$programs/wave_split" >"$work/wave_split.log" || fail "wave_split ended with $?"
grep -q '^Баланс энергии' "$work/wave_split.log" || fail "wave_split printed no balance"

if [ "$with_probetool" = ON ]; then
  "$root/bin/probetool" list "$root/share/probe-tools/examples/probes.dt" >"$work/list.log" ||
    fail "probetool list ended with $?"
  [ "$(grep -c . "$work/list.log")" -ge 2 ] || fail "probetool listed no records"
  "$root/bin/probetool" check "$root/share/probe-tools/examples/probes.dt" ||
    fail "probetool check ended with $?"
  step "probetool on the sample file"
fi

# A plug-in and its host against the installed headers only.
cmake -S "$source/tests/install/plugin" -B "$work/plugin" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$root" >"$work/plugin.log" || { cat "$work/plugin.log"; fail "configure"; }
cmake --build "$work/plugin" >>"$work/plugin.log" || { cat "$work/plugin.log"; fail "build"; }
[ "$(sed -n 1p "$work/plugin/found.txt")" = "$root/share/cmake/ProbeTools" ] ||
  fail "find_package found another ProbeTools: $(sed -n 1p "$work/plugin/found.txt")"
[ "$(sed -n 2p "$work/plugin/found.txt")" = "$programs" ] || fail "ProbeTools_PROGRAM_DIR"
"$work/plugin/tiny_host" "$work/plugin/tiny_plugin.so" || fail "the tiny plug-in did not answer"
step "plug-in built with find_package(ProbeTools)"
