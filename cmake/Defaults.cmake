# probe_defaults: the language standard, the include path and the warnings, in one INTERFACE target that every target
# of the tree links (PRIVATE), instead of flags set for the whole directory tree.
#
# Beyond -Wall -Wextra: pedantic standard C++, shadowed names, classes with virtual functions but
# no virtual destructor and hidden overloads, C-style casts (every cast at a library boundary is a
# named one), casts that drop const, format strings, undefined macros in #if, stray semicolons,
# and GCC's checks for duplicated conditions and branches and suspicious logical operators. With
# PROBE_WARNINGS_AS_ERRORS (set by CI) every warning fails the build.
#
# Every target includes the tree's headers by their path from the root ("editor/probe/pages.h").
add_library(probe_defaults INTERFACE)
target_compile_features(probe_defaults INTERFACE cxx_std_20)
target_include_directories(probe_defaults INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(probe_defaults INTERFACE
  $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wnon-virtual-dtor;-Woverloaded-virtual;-Wold-style-cast;-Wcast-qual;-Wformat=2;-Wundef;-Wextra-semi>
  $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-Wduplicated-cond;-Wduplicated-branches;-Wlogical-op>
  $<$<BOOL:${PROBE_WARNINGS_AS_ERRORS}>:-Werror>)

# Debian's hardening flags, as its packages are built (dpkg-buildflags with hardening=+all): the
# fortified C library functions, the stack protector, and read-only relocations bound at start
# (relro, bind-now). On for native builds where dpkg-buildflags is found, so that the Debian
# package made from any build folder carries them; off for the Windows cross builds. The build
# type keeps its own optimisation and debug flags, and the source paths stay as they are (no
# -ffile-prefix-map: debuggers find the sources, and ccache shares results between checkouts).
# Fortification needs optimisation and hides the C library calls from AddressSanitizer: it is left
# out of Debug builds, of builds with sanitizer flags, and of targets with the property
# PROBE_NO_FORTIFY.
find_program(PROBE_DPKG_BUILDFLAGS dpkg-buildflags)
if(PROBE_DPKG_BUILDFLAGS AND NOT CMAKE_CROSSCOMPILING)
  set(hardening_default ON)
else()
  set(hardening_default OFF)
endif()
option(PROBE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ${hardening_default})
if(PROBE_HARDENING)
  if(NOT PROBE_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "PROBE_HARDENING needs dpkg-buildflags (package dpkg-dev)")
  endif()
  foreach(kind CFLAGS CXXFLAGS CPPFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${PROBE_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.?|f[a-z]+-prefix-map=.*)$")
    set(hardening_${kind} ${flags})
  endforeach()
  set(fortify ${hardening_CPPFLAGS})
  list(FILTER fortify INCLUDE REGEX "^-D_FORTIFY_SOURCE")
  list(FILTER hardening_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
  if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR "${CMAKE_CXX_FLAGS} ${CMAKE_C_FLAGS}" MATCHES "-fsanitize")
    set(fortify)
  endif()
  target_compile_options(probe_defaults INTERFACE
    "$<$<COMPILE_LANGUAGE:C>:${hardening_CFLAGS}>" "$<$<COMPILE_LANGUAGE:CXX>:${hardening_CXXFLAGS}>"
    ${hardening_CPPFLAGS} "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:PROBE_NO_FORTIFY>>>:${fortify}>")
  target_link_options(probe_defaults INTERFACE ${hardening_LDFLAGS})
  message(STATUS "Hardening: ${hardening_CXXFLAGS} ${hardening_CPPFLAGS} ${fortify} ${hardening_LDFLAGS}")
endif()

# 32-bit Windows: the compiler's runtime is linked statically, except that the targets that link
# Qt (marked PROBE_SHARED_LIBGCC by cmake/WindowsQt.cmake) take the unwinder from the DLL the Qt
# DLLs use.
if(PROBE_DW2_UNWINDING)
  set(shared_libgcc "$<BOOL:$<TARGET_PROPERTY:PROBE_SHARED_LIBGCC>>")
  target_link_options(probe_defaults INTERFACE
    "$<$<NOT:${shared_libgcc}>:-static>" "$<${shared_libgcc}:-static-libstdc++>"
    "$<${shared_libgcc}:-shared-libgcc>")
endif()

# probe_tree_targets(<dir> <out variable>): the targets defined under `dir` and its subfolders
# inside the tree; sources from outside the tree (GoogleTest in a cross build) are left out.
function(probe_tree_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${subdirectory} NORMALIZE inside)
    if(inside)
      probe_tree_targets(${subdirectory} nested)
      list(APPEND targets ${nested})
    endif()
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Fails the configuration when a target compiled from the tree's sources under `dir` (and its
# subfolders inside the tree) does not link probe_defaults.
function(probe_require_defaults dir)
  probe_tree_targets(${dir} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      get_target_property(libraries ${target} LINK_LIBRARIES)
      if(NOT "probe_defaults" IN_LIST libraries)
        message(FATAL_ERROR "${target} does not link probe_defaults")
      endif()
    endif()
  endforeach()
endfunction()
