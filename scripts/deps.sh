# Sourced by test.sh and run.sh: installs the Debian packages the build needs when any is missing.
# As root it installs them non-interactively; as another user it prints the apt-get line and stops.
# The packages of the Windows and Qt 5.15 legs are installed only when those legs run.

PROBE_PACKAGES=(
  cmake ninja-build g++ g++-multilib pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-translations-l10n fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libdeflate-dev rapidjson-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-apps x11-utils imagemagick xdotool
  dpkg-dev desktop-file-utils lintian shared-mime-info xdg-utils libglib2.0-bin
  pybind11-dev python3-pybind11 python3-numpy python3-matplotlib python3-pytest python3-dev
  python3-build python3-wheel python3-setuptools python3-venv python3-jsonschema
)

# The Windows cross builds (mingw-w64 posix-thread compilers, zlib for them, wine64 for the 64-bit
# test programs and Debian's 32-bit wine for the 32-bit ones; GoogleTest is built from the sources
# of the googletest package; the Qt for them is built by scripts/qt_windows.sh from Debian's source
# packages with make; the toolkit's Russian translation for the archives; wine's own fonts, the
# Tahoma of the wine prefix; makensis for the installers; rsvg-convert and ImageMagick for the
# programs' icon) and the Qt 5.15 build. A package named with :i386 is of Debian's i386
# architecture, which probe_ensure_deps adds to dpkg first.
PROBE_WINDOWS_PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine32:i386
  fonts-wine googletest make qttranslations5-l10n nsis librsvg2-bin imagemagick
)
PROBE_QT5_PACKAGES=(qtbase5-dev libqt5svg5-dev)

# probe_missing_packages [package...]: those of the given packages (default: PROBE_PACKAGES) that
# are not installed.
probe_missing_packages() {
  local p missing=()
  [ "$#" -gt 0 ] || set -- "${PROBE_PACKAGES[@]}"
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # Nothing at all when nothing is missing: printf would still print one empty line, which the
  # caller took for a package to install.
  [ "${#missing[@]}" -eq 0 ] || printf '%s\n' "${missing[@]}"
}

# probe_ensure_deps [package...]: installs the given packages (default: PROBE_PACKAGES).
probe_ensure_deps() {
  local missing
  mapfile -t missing < <(probe_missing_packages "$@")
  [ "${#missing[@]}" -eq 0 ] && return 0
  local line="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Не хватает пакетов. Установите их от имени root:" >&2
    echo "  $line" >&2
    exit 1
  fi
  echo "Устанавливаю пакеты: ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# probe_build_in <folder> [cmake option...] [-- target...]: configures the folder once (Ninja,
# RelWithDebInfo, the given options) and builds what changed (everything, or the given targets).
# PROBE_WARNINGS_AS_ERRORS in the environment (ON or OFF) is passed on to the configuration, which
# then runs again; so it does when the options differ from those of the last configuration (a Qt
# for Windows taken from another cache folder, for one).
probe_build_in() {
  local dir="$1"
  shift
  local options=() targets=()
  while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
  done
  [ "$#" -gt 0 ] && shift && targets=("$@")
  local again=""
  if [ -n "${PROBE_WARNINGS_AS_ERRORS:-}" ]; then
    options+=("-DPROBE_WARNINGS_AS_ERRORS=${PROBE_WARNINGS_AS_ERRORS}")
    again=1
  fi
  local record="$dir/.probe-configure-options"
  if [ "$(cat "$record" 2>/dev/null)" != "$(printf '%s\n' "${options[@]}")" ]; then again=1; fi
  if [ ! -f "$dir/build.ninja" ] || [ -n "$again" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
    printf '%s\n' "${options[@]}" >"$record"
  fi
  if [ "${#targets[@]}" -gt 0 ]; then
    cmake --build "$dir" --target "${targets[@]}"
  else
    cmake --build "$dir"
  fi
}

# Configures build/ once and builds what changed.
probe_build() {
  probe_build_in build
}
