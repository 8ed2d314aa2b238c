#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, leg by leg:
#   native   build/        the whole tree, every test (CTest), the Debian package
#   win32    build-win32/  the 32-bit Windows cross build; the export tables of its libraries, the
#                          Windows archive
#   win64    build-win64/  the 64-bit Windows cross build; its test programs under wine64
#   qt5      build-qt5/    the editor and the visualizer against Qt 5.15; their Qt tests offscreen
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
  # The Debian package from this build, and a look inside it.
  rm -f build/probe-tools_*.deb
  (cd build && cpack -G DEB)
  bash tests/install/deb_test.sh build/probe-tools_*.deb
  # Debian's package checker: any error or warning fails the leg.
  lintian --fail-on error,warning build/probe-tools_*.deb
}

cross_options=(-DPROBE_BUILD_EDITOR=OFF -DPROBE_BUILD_BENCH=OFF)

win32_leg() {
  probe_build_in build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake "${cross_options[@]}"
  # 32-bit programs cannot run here: this build's tests are the export-table checks.
  ctest --test-dir build-win32 --output-on-failure -j "$jobs"
  # The Windows archive from this build, and a look inside it.
  rm -f build-win32/probe-tools-*.zip
  (cd build-win32 && cpack -G ZIP)
  bash tests/install/zip_test.sh "$(pwd)"/build-win32/probe-tools-*-win32.zip i686-w64-mingw32-objdump
}

win64_leg() {
  probe_build_in build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake "${cross_options[@]}"
  ctest --test-dir build-win64 --output-on-failure -j "$jobs"
}

qt5_leg() {
  probe_build_in build-qt5 -DPROBE_QT_MAJOR=5 -DPROBE_BUILD_BENCH=OFF -- qt_tests
  ctest --test-dir build-qt5 --output-on-failure -j "$jobs" -L qt
}

leg native native_leg
if [ -z "$native_only" ]; then
  probe_ensure_deps "${PROBE_WINDOWS_PACKAGES[@]}" "${PROBE_QT5_PACKAGES[@]}"
  leg win32 win32_leg
  leg win64 win64_leg
  leg qt5 qt5_leg
fi
echo "Время по этапам:"
printf '  %s\n' "${times[@]}"
