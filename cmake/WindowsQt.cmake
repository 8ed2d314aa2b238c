# What a Windows build of the editor and the visualizer needs beside them to start: the Qt DLLs
# they link, the platform and style plug-ins, the toolkit's Russian translation and the compiler
# runtime that the Qt DLLs import (the tree's own programs and libraries link theirs statically).
#
# probe_windows_qt_runtime() copies all of it into build/bin, laid out as in the archive, so that
# the test programs and the editor start from the build folder too (under wine; for the tests also
# Qt Test and the offscreen plug-in). probe_install_windows_qt(<folder>) installs it beside the
# programs.
#
# Qt finds its plug-ins in the folder of the program (platforms/, styles/), the editor its
# translation in translations/ there.

set(PROBE_WINDOWS_QT_TRANSLATION /usr/share/qt5/translations/qtbase_ru.qm
    CACHE FILEPATH "The toolkit's Russian translation shipped with the editor for Windows")

# The compiler runtime DLLs the posix-thread mingw-w64 compiler links Qt with: libstdc++, libgcc
# (dw2 unwinding on 32-bit, seh on 64-bit) and winpthread.
function(probe_windows_compiler_runtime out)
  set(found)
  foreach(name libstdc++-6.dll libgcc_s_dw2-1.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      file(REAL_PATH "${path}" path)
      list(APPEND found ${path})
    endif()
  endforeach()
  list(LENGTH found count)
  if(NOT count EQUAL 3)
    message(FATAL_ERROR "The compiler runtime DLLs were not all found: ${found}")
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(PROBE_WINDOWS_QT_DLLS Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Svg)
# <folder under the program's folder>=<plug-in target>
set(PROBE_WINDOWS_QT_PLUGINS platforms=Qt5::QWindowsIntegrationPlugin
                             styles=Qt5::QWindowsVistaStylePlugin)

function(probe_windows_qt_runtime)
  if(NOT EXISTS "${PROBE_WINDOWS_QT_TRANSLATION}")
    message(FATAL_ERROR "No ${PROBE_WINDOWS_QT_TRANSLATION} (Debian: qttranslations5-l10n)")
  endif()
  probe_windows_compiler_runtime(runtime)
  set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set(commands)
  # Qt Test for the test programs; it does not ship.
  foreach(target IN LISTS PROBE_WINDOWS_QT_DLLS ITEMS Qt5::Test)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${bin})
  endforeach()
  foreach(file IN LISTS runtime)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${bin})
  endforeach()
  # The test programs run offscreen.
  foreach(entry IN LISTS PROBE_WINDOWS_QT_PLUGINS ITEMS platforms=Qt5::QOffscreenIntegrationPlugin)
    string(REPLACE "=" ";" entry "${entry}")
    list(GET entry 0 folder)
    list(GET entry 1 target)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/${folder}
                         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${bin}/${folder})
  endforeach()
  add_custom_target(windows_qt_runtime ALL ${commands}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/translations
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROBE_WINDOWS_QT_TRANSLATION} ${bin}/translations
    COMMENT "Qt DLLs, plug-ins, translation and compiler runtime into ${bin}"
    VERBATIM)
endfunction()

function(probe_install_windows_qt destination)
  probe_windows_compiler_runtime(runtime)
  set(files ${runtime})
  foreach(target IN LISTS PROBE_WINDOWS_QT_DLLS)
    list(APPEND files $<TARGET_FILE:${target}>)
  endforeach()
  install(FILES ${files} DESTINATION ${destination})
  foreach(entry IN LISTS PROBE_WINDOWS_QT_PLUGINS)
    string(REPLACE "=" ";" entry "${entry}")
    list(GET entry 0 folder)
    list(GET entry 1 target)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${destination}/${folder})
  endforeach()
  install(FILES ${PROBE_WINDOWS_QT_TRANSLATION} DESTINATION ${destination}/translations)
endfunction()

# probe_windows_qt_unwinder(<dir>): on 32-bit Windows, every target under <dir> that links Qt
# (directly or through the tree's static libraries) takes the compiler's unwinder from
# libgcc_s_dw2-1.dll, the one the Qt DLLs use, instead of a static copy (cmake/Defaults.cmake).
#
# 32-bit mingw-w64 unwinds exceptions with DWARF tables that each module registers when it starts.
# A module's start-up code registers them with libgcc_s_dw2-1.dll whenever that DLL is already in
# the process, as it is in every program that links Qt; a statically linked unwinder then finds
# no table at all, not even its own program's, and any exception ends the program through
# std::terminate (status 3): the editor's box for an exception from a handler never came up. With
# one unwinder for the whole process it finds every table. 64-bit Windows unwinds with the
# system's tables and is not concerned.
function(probe_windows_qt_unwinder dir)
  probe_tree_targets(${dir} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$")
      probe_links_qt(${target} links_qt)
      if(links_qt)
        set_target_properties(${target} PROPERTIES PROBE_SHARED_LIBGCC ON)
      endif()
    endif()
  endforeach()
endfunction()

# probe_links_qt(<target> <out variable>): whether the target links a Qt library, itself or
# through the tree's static and interface libraries it links.
function(probe_links_qt target out)
  set(result OFF)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(library IN LISTS libraries interface)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
    if(library MATCHES "^Qt[0-9]*::")
      set(result ON)
    elseif(TARGET ${library} AND NOT library STREQUAL target)
      get_target_property(imported ${library} IMPORTED)
      get_target_property(type ${library} TYPE)
      if(NOT imported AND type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|INTERFACE_LIBRARY)$")
        probe_links_qt(${library} nested)
        if(nested)
          set(result ON)
        endif()
      endif()
    endif()
    if(result)
      break()
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
