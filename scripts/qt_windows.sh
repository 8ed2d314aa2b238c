#!/usr/bin/env bash
# qt_windows.sh ARCH...: builds Qt 5.15 for Windows (ARCH i686 or x86_64) from Debian's source
# packages with the posix-thread mingw-w64 compilers, and prints the folder it is installed in.
#
# The build goes into a cache folder outside the work tree, named after the Qt version, the
# architecture and a hash of the configuration below, so a changed configuration is built anew and
# an unchanged one is taken from the cache. It is built and installed into a temporary folder and
# renamed into place only at the very end: a folder with the final name is always a finished build.
#
#   PROBE_CACHE_DIR   the cache folder (default /var/cache/probe-tools)
#   PROBE_QT_JOBS     parallel compile jobs (default: the number of processors)
#
# qt_windows.sh --prefix ARCH prints the folder a finished build has (or would have) and builds nothing.
set -euo pipefail

QT_VERSION=5.15.8
CACHE_DIR="${PROBE_CACHE_DIR:-/var/cache/probe-tools}"
JOBS="${PROBE_QT_JOBS:-$(nproc)}"

# Only what the editor, the visualizer and their tests use: Core, Gui, Widgets, Test, Svg, the
# windows and offscreen platform plugins, the Vista style. Qt's own copies of the libraries that
# mingw-w64 lacks are built in. Debian's repacked source has no wintab.h, which the windows
# plugin's tablet support includes, so tablet events are left out.
QT_CONFIGURE_OPTIONS=(
  -release -shared -opensource -confirm-license -strip
  -nomake examples -nomake tests
  -no-opengl -no-dbus -no-icu -no-direct2d -no-feature-tabletevent
  -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent
  -no-feature-printer
  -qt-zlib -qt-libpng -no-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre
)
# The source packages: qtbase, then the modules built against it.
QT_SOURCE_PACKAGES=(qtbase-opensource-src qtsvg-opensource-src)

usage() {
  echo "usage: $0 [--prefix] i686|x86_64..." >&2
  exit 2
}

config_hash() {
  printf '%s\n' "$QT_VERSION" "${QT_CONFIGURE_OPTIONS[@]}" "${QT_SOURCE_PACKAGES[@]}" |
    sha256sum | cut -c1-12
}

prefix_of() {
  echo "$CACHE_DIR/qt-$QT_VERSION-$1-$(config_hash)"
}

# The mirror of Debian's main archive that the system's own apt sources use.
debian_mirror() {
  local uri
  uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $0 ~ / bookworm .*main/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }')
  if [ -z "$uri" ]; then
    uri=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
      awk 'BEGIN { RS = ""; FS = "\n" }
        /Suites:[^\n]*bookworm( |$|\n)/ && /Components:[^\n]*main/ {
          for (i = 1; i <= NF; i++) if ($i ~ /^URIs:/) { split($i, f, " "); print f[2]; exit } }')
  fi
  [ -n "$uri" ] || { echo "No apt source of Debian bookworm main found" >&2; return 1; }
  echo "$uri"
}

# Unpacks the source packages into $CACHE_DIR/src with a private apt configuration (its own source
# list, state and cache), so the system's apt sources stay as they are.
fetch_sources() {
  local apt="$CACHE_DIR/apt" src="$CACHE_DIR/src" pkg missing=()
  for pkg in "${QT_SOURCE_PACKAGES[@]}"; do
    compgen -G "$src/$pkg-$QT_VERSION*/.unpacked" >/dev/null || missing+=("$pkg")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  mkdir -p "$apt/sources.list.d" "$apt/state/lists/partial" "$apt/cache/archives/partial" "$src"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $(debian_mirror) bookworm main" \
    >"$apt/sources.list"
  cat >"$apt/apt.conf" <<CONF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::State "$apt/state";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$apt/cache";
APT::Sandbox::User "root";
CONF
  export APT_CONFIG="$apt/apt.conf"
  apt-get -q update
  for pkg in "${missing[@]}"; do
    local work
    work=$(mktemp -d "$src/.fetch-XXXXXX")
    (cd "$work" && apt-get -q source "$pkg")
    local dir
    dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$pkg-*" | head -n1)
    case "$dir" in
      */"$pkg-$QT_VERSION"*) ;;
      *) echo "$pkg: got $(basename "$dir"), Qt $QT_VERSION expected" >&2; return 1 ;;
    esac
    rm -rf "${src:?}/$(basename "$dir")"
    mv "$dir" "$src/"
    touch "$src/$(basename "$dir")/.unpacked"
    rm -rf "$work"
  done
}

# A folder of the posix-thread compilers under the plain names Qt's CROSS_COMPILE prefix expects,
# so the choice does not rest on the system's alternatives.
posix_compilers() {
  local triplet="$1-w64-mingw32" dir="$CACHE_DIR/mingw-posix/$1" tool
  mkdir -p "$dir"
  for tool in gcc g++; do
    ln -sfn "$(command -v "$triplet-$tool-posix")" "$dir/$triplet-$tool"
  done
  for tool in ar ranlib strip nm objcopy objdump windres; do
    ln -sfn "$(command -v "$triplet-$tool")" "$dir/$triplet-$tool"
  done
  echo "$dir/$triplet-"
}

build() {
  local arch="$1" prefix work stage cross src="$CACHE_DIR/src" start=$SECONDS
  prefix=$(prefix_of "$arch")
  # One build per architecture at a time: a second run waits for the first and takes its result.
  exec {lock}>"$CACHE_DIR/.qt-$arch.lock"
  flock "$lock"
  if [ -f "$prefix/.complete" ]; then
    exec {lock}>&-
    echo "$prefix"
    return 0
  fi
  # What an interrupted build of this architecture left.
  rm -rf "$CACHE_DIR"/.build-qt-"$arch"-*
  fetch_sources >&2
  cross=$(posix_compilers "$arch")
  work=$(mktemp -d "$CACHE_DIR/.build-qt-$arch-XXXXXX")
  stage="$work/stage"
  echo "Qt $QT_VERSION for $arch: building in $work" >&2
  (
    mkdir -p "$work/qtbase" "$work/qtsvg"
    cd "$work/qtbase"
    # configure builds qmake with make, in parallel too.
    MAKEFLAGS="-j$JOBS" "$src/qtbase-opensource-src-$QT_VERSION"*/configure -prefix "$prefix" \
      -xplatform win32-g++ -device-option "CROSS_COMPILE=$cross" "${QT_CONFIGURE_OPTIONS[@]}"
    make -j"$JOBS"
    make install INSTALL_ROOT="$stage"
    # qtsvg is built against the qtbase build folder, whose qmake knows the final prefix.
    cd "$work/qtsvg"
    "$work/qtbase/bin/qmake" "$src/qtsvg-opensource-src-$QT_VERSION"*/qtsvg.pro
    make -j"$JOBS"
    make install INSTALL_ROOT="$stage"
  ) >&2
  echo "configure ${QT_CONFIGURE_OPTIONS[*]}" >"$stage$prefix/.complete"
  echo "built in $((SECONDS - start)) s" >>"$stage$prefix/.complete"
  mv "$stage$prefix" "$prefix"
  rm -rf "$work"
  exec {lock}>&-
  echo "Qt $QT_VERSION for $arch built in $((SECONDS - start)) s" >&2
  echo "$prefix"
}

only_prefix=0
if [ "${1:-}" = "--prefix" ]; then
  only_prefix=1
  shift
fi
[ "$#" -gt 0 ] || usage
for arch in "$@"; do
  case "$arch" in
    i686 | x86_64) ;;
    *) usage ;;
  esac
  if [ "$only_prefix" -eq 1 ]; then
    prefix_of "$arch"
  else
    mkdir -p "$CACHE_DIR"
    build "$arch"
  fi
done
