# Sourced by test.sh and run.sh: installs the Debian packages the build needs when any is missing.
# As root it installs them non-interactively; as another user it prints the apt-get line and stops.

PROBE_PACKAGES=(
  cmake ninja-build g++ g++-multilib pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-apps x11-utils imagemagick xdotool
)

probe_missing_packages() {
  local p missing=()
  for p in "${PROBE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  printf '%s\n' "${missing[@]}"
}

probe_ensure_deps() {
  local missing
  mapfile -t missing < <(probe_missing_packages)
  [ "${#missing[@]}" -eq 0 ] && return 0
  local line="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Не хватает пакетов. Установите их от имени root:" >&2
    echo "  $line" >&2
    exit 1
  fi
  echo "Устанавливаю пакеты: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures build/ once (Ninja, RelWithDebInfo) and builds what changed. PROBE_WARNINGS_AS_ERRORS
# in the environment (ON or OFF) is passed on to the configuration, which then runs again.
probe_build() {
  local options=()
  if [ -n "${PROBE_WARNINGS_AS_ERRORS:-}" ]; then
    options+=("-DPROBE_WARNINGS_AS_ERRORS=${PROBE_WARNINGS_AS_ERRORS}")
  fi
  if [ ! -f build/build.ninja ] || [ "${#options[@]}" -gt 0 ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
  fi
  cmake --build build
}
