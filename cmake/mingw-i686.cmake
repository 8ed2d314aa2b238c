# Cross build for 32-bit Windows, the tool set's home platform; its test programs run under
# Debian's 32-bit wine (package wine32:i386):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PROBE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The runtime is linked statically target by target instead (probe_defaults, cmake/Defaults.cmake):
# the targets that link Qt take the compiler's unwinder from its DLL (cmake/WindowsQt.cmake).
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "")
endforeach()
set(PROBE_DW2_UNWINDING ON)

# Floating-point arithmetic in SSE2 registers, as the 64-bit build does it: the compiler's default
# for i686, the x87 unit, keeps intermediates in 80 bits and rounds them to double only when they
# are stored, so the same source computed different last bits (and at the exact critical angle a
# different decision) than the 64-bit build. Every processor that runs a current 32-bit Windows
# has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# The test programs run under the 32-bit wine loader (Debian installs it outside PATH), in a
# 32-bit prefix (tests/CMakeLists.txt), where the kernel runs 32-bit programs: one built without
# IA-32 emulation, or with it switched off (some virtual machines), refuses the loader itself
# ("Exec format error"), and the build then registers no test that runs a program.
find_program(PROBE_WINE32 NAMES wine PATHS /usr/lib/wine /usr/lib/i386-linux-gnu/wine NO_DEFAULT_PATH)
if(PROBE_WINE32)
  execute_process(COMMAND ${PROBE_WINE32} --version RESULT_VARIABLE wine32_status
                  OUTPUT_QUIET ERROR_QUIET)
  if(wine32_status EQUAL 0)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PROBE_WINE32})
    set(PROBE_WINEARCH win32)
  endif()
endif()
