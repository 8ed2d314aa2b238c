# Cross build for 32-bit Windows, the tool set's home platform:
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Its programs cannot run on these machines; its libraries' export tables are checked.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PROBE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
