# Cross build for 64-bit Windows; its test programs run under wine64:
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PROBE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The test programs run under wine64 (Debian installs it outside PATH).
find_program(PROBE_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine)
if(PROBE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROBE_WINE64})
  set(PROBE_WINEARCH win64)
endif()
