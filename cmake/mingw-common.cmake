# Shared part of the mingw-w64 toolchain files: included by mingw-i686.cmake and
# mingw-x86_64.cmake after they set PROBE_MINGW_TRIPLET.
#
# The posix-thread compilers are used because the standard library's threads and mutexes exist
# only there. Their runtime (libgcc, libstdc++, winpthread) and zlib are linked statically, so a
# program or library of the tool set needs only system libraries beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PROBE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PROBE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PROBE_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${PROBE_MINGW_TRIPLET}-objdump)

# Kept beside any root paths given on the command line (a Qt built for Windows, for example).
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PROBE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()
