#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, leg by leg:
#   native     build/        the whole tree, every test (CTest), the two Debian packages
#   qt-win32   the Qt 5.15 for 32-bit Windows (scripts/qt_windows.sh: built once, then cached)
#   win32      build-win32/  the 32-bit Windows cross build, the editor and the visualizer included;
#                            the export tables of its libraries, the win32 archive and its imports,
#                            the win32 installer; where the kernel runs 32-bit programs, as win64
#                            does under the 32-bit wine
#   qt-win64   the Qt 5.15 for 64-bit Windows
#   win64      build-win64/  the 64-bit Windows cross build; its test programs under wine64, the
#                            Qt ones offscreen; the win64 archive and its imports; the unpacked
#                            archive's editor started under wine64 on a virtual display; the win64
#                            installer: installed, a probe file opened through it, uninstalled
#   qt5        build-qt5/    the editor and the visualizer against Qt 5.15; their Qt tests offscreen
#
#   ./test.sh [--native-only] [ctest arguments for the native leg...]
# --native-only (or PROBE_NATIVE_ONLY=1 in the environment) runs the native leg alone.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

native_only="${PROBE_NATIVE_ONLY:-}"
ctest_args=()
for arg in "$@"; do
  if [ "$arg" = "--native-only" ]; then
    native_only=1
  else
    ctest_args+=("$arg")
  fi
done

jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
times=()

# The tests run with a settings folder of their own (tests/CMakeLists.txt): the user's settings of
# the editor must come out of the run as they went in, or absent as they were.
user_settings="${XDG_CONFIG_HOME:-$HOME/.config}/probe-tools/probe_editor.conf"
settings_state() {
  if [ -e "$user_settings" ]; then sha256sum <"$user_settings"; else echo absent; fi
}
settings_before="$(settings_state)"
check_user_settings() {
  if [ "$(settings_state)" != "$settings_before" ]; then
    echo "Тесты изменили настройки пользователя: $user_settings" >&2
    exit 1
  fi
}
trap check_user_settings EXIT

# leg <name> <function>: runs one leg and notes how long it took.
leg() {
  local name="$1" start=$SECONDS
  echo "=== $name"
  "$2"
  times+=("$name $((SECONDS - start)) с")
}

native_leg() {
  probe_ensure_deps
  probe_build
  ctest --test-dir build --output-on-failure -j "$jobs" "${ctest_args[@]}"
  # The Debian packages from this build, and a look inside them.
  rm -f build/probe-tools_*.deb build/python3-probe-tools_*.deb
  (cd build && cpack -G DEB)
  bash tests/install/deb_test.sh build/probe-tools_*.deb
  bash tests/install/python_deb_test.sh build/python3-probe-tools_*.deb build/probe-tools_*.deb
  # Debian's package checker: any error or warning fails the leg.
  lintian --fail-on error,warning build/probe-tools_*.deb build/python3-probe-tools_*.deb
}

# The Windows builds take the editor's Qt from the cache folder of scripts/qt_windows.sh.
qt_win32="" qt_win64=""
qt_win32_leg() { qt_win32=$(scripts/qt_windows.sh i686); }
qt_win64_leg() { qt_win64=$(scripts/qt_windows.sh x86_64); }
# cross_build <folder> <toolchain file> <Qt folder>
cross_build() {
  probe_build_in "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DPROBE_BUILD_BENCH=OFF -DPROBE_BUILD_EDITOR=ON \
    -DPROBE_QT_MAJOR=5 -DCMAKE_PREFIX_PATH="$3" -DCMAKE_FIND_ROOT_PATH="$3"
}

# The 32-bit wine runs only where the kernel runs 32-bit programs (some virtual machines switch
# that off: "Exec format error"); there the win32 leg runs no Windows program.
wine32_runs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# The archive and the installer of a cross build folder, and a look inside the archive.
windows_packages() {
  local build=$1 objdump=$2
  rm -f "$build"/probe-tools-*.zip "$build"/probe-tools-*-setup.exe
  # The archive (CPack) and the installer made from it.
  cmake --build "$build" --target windows_installer
  bash tests/install/zip_test.sh "$(pwd)"/"$build"/probe-tools-*-win??.zip "$objdump"
}

win32_leg() {
  cross_build build-win32 cmake/mingw-i686.cmake "$qt_win32"
  # Every test program under the 32-bit wine, the Qt ones offscreen, as in the win64 leg; where
  # the kernel runs no 32-bit program, the export-table checks alone (tests/CMakeLists.txt).
  ctest --test-dir build-win32 --output-on-failure -j "$jobs"
  windows_packages build-win32 i686-w64-mingw32-objdump
  if ! wine32_runs; then
    echo "ПРОПУСК: это ядро не запускает 32-битные программы (Exec format error); программы" \
      "сборки win32, её редактор и её установщик под 32-битным wine не запускались"
    return 0
  fi
  local build
  build="$(pwd)"/build-win32
  bash tests/install/wine_start_test.sh "$build"/probe-tools-*-win32.zip "$build"/qt_plugins \
    "$build"/wineprefix "$build"/wine_start.png
  bash tests/install/wine_installer_test.sh "$build" win32 /usr/lib/wine/wine
}

win64_leg() {
  cross_build build-win64 cmake/mingw-x86_64.cmake "$qt_win64"
  # Every test program under wine64, the Qt ones offscreen (tests/CMakeLists.txt), in a wine
  # prefix of the build folder made once by the first test.
  ctest --test-dir build-win64 --output-on-failure -j "$jobs"
  windows_packages build-win64 x86_64-w64-mingw32-objdump
  # The unpacked archive's editor under wine64 on a virtual display, in the same prefix; the
  # screen while it shows a surface is left in build-win64/wine_start.png.
  local build
  build="$(pwd)"/build-win64
  bash tests/install/wine_start_test.sh "$build"/probe-tools-*-win64.zip "$build"/qt_plugins \
    "$build"/wineprefix "$build"/wine_start.png
  # The installer in a new prefix: over an older version, a probe file opened through its type,
  # the uninstaller.
  bash tests/install/wine_installer_test.sh "$build" win64 \
    "$(command -v wine64 || echo /usr/lib/wine/wine64)"
}

qt5_leg() {
  probe_build_in build-qt5 -DPROBE_QT_MAJOR=5 -DPROBE_BUILD_BENCH=OFF -- qt_tests
  ctest --test-dir build-qt5 --output-on-failure -j "$jobs" -L qt
}

leg native native_leg
if [ -z "$native_only" ]; then
  probe_ensure_deps "${PROBE_WINDOWS_PACKAGES[@]}" "${PROBE_QT5_PACKAGES[@]}"
  leg qt-win32 qt_win32_leg
  leg win32 win32_leg
  leg qt-win64 qt_win64_leg
  leg win64 win64_leg
  leg qt5 qt5_leg
fi
echo "Время по этапам:"
printf '  %s\n' "${times[@]}"
