# probe_add_plugin(<target> [OUTPUT_DIR <dir>] [OUTPUT_NAME <name>] SOURCES <files...>)
#
# A plug-in library as the tool set ships it: "<name>.so" on POSIX and "<name>.dll" on Windows (no
# "lib" prefix), only the PLUGIN_EXPORT functions visible, the boundary headers, the platform layer
# and the tree's defaults linked in privately. On 32-bit Windows the exports lose their `@N`
# decoration (--kill-at) and keep the __stdcall convention: callers look a name up decorated as
# `_Name@N` first and then plain. Lands in build/bin unless OUTPUT_DIR says otherwise (test
# fixtures keep their own folders).
function(probe_add_plugin target)
  cmake_parse_arguments(PLUGIN "" "OUTPUT_DIR;OUTPUT_NAME" "SOURCES" ${ARGN})
  add_library(${target} MODULE ${PLUGIN_SOURCES})
  if(NOT PLUGIN_OUTPUT_NAME)
    set(PLUGIN_OUTPUT_NAME ${target})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${PLUGIN_OUTPUT_NAME})
  if(NOT WIN32)
    set_target_properties(${target} PROPERTIES SUFFIX ".so")
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
  if(PLUGIN_OUTPUT_DIR)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PLUGIN_OUTPUT_DIR}
                                               RUNTIME_OUTPUT_DIRECTORY ${PLUGIN_OUTPUT_DIR})
  endif()
  target_link_libraries(${target} PRIVATE probe_defaults abi platform)
endfunction()
