# Windows version information and icon for every program and library of the tree.
#
# probe_windows_resources(<dir>) gives each executable, shared and module library target defined
# under <dir> (the tree's own folders, not GoogleTest's) a resource script of its own, compiled by
# the cross windres: a version resource (product name, the target's file description, version,
# copyright, original file name), which Explorer's "Details" tab shows, and the editor's icon,
# the first icon of the file, which Explorer shows for a program.
#
# The icon is drawn from editor/ui/probe-editor.svg at configure time at the sizes Windows asks for
# (rsvg-convert of librsvg2-bin, each size drawn from the drawing rather than scaled), and packed
# into one .ico by ImageMagick; a changed drawing configures the build again.

enable_language(RC)

set(PROBE_WINDOWS_PRODUCT_NAME "probe-tools")
set(PROBE_WINDOWS_COMPANY "Сопровождающие набора probe-tools")
set(PROBE_WINDOWS_COPYRIGHT "© 2026 сопровождающие набора probe-tools")

# What Explorer shows as the file's description; targets not named here are test programs and
# libraries of the tests.
set(PROBE_WINDOWS_DESCRIPTIONS
    "probe_editor=Редактор ЖУВ"
    "probetool=Файлы датчиков из командной строки"
    "probestore=Библиотека хранения датчиков"
    "surfstore=Библиотека хранения поверхностей"
    "surfarch=Библиотека архива поверхностей"
    "surfview1=Просмотр поверхностей"
    "wavelib=Волновой процессор 1.0"
    "wavelib2=Волновой процессор 1.1"
    "wave_split=Пример: разделение волн на границе сред"
    "make_probes=Пример: создание файла датчиков"
    "make_surfaces=Пример: создание файла поверхностей")

# probe_windows_icon(<out variable>): the .ico in the build folder, made when missing or older
# than the drawing.
function(probe_windows_icon out)
  set(svg ${PROJECT_SOURCE_DIR}/editor/ui/probe-editor.svg)
  set(ico ${CMAKE_BINARY_DIR}/windows_resources/probe-editor.ico)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${svg})
  if(NOT EXISTS ${ico} OR ${svg} IS_NEWER_THAN ${ico})
    find_program(PROBE_RSVG_CONVERT rsvg-convert REQUIRED)
    find_program(PROBE_IMAGEMAGICK_CONVERT convert REQUIRED)
    set(work ${CMAKE_BINARY_DIR}/windows_resources/icon)
    file(MAKE_DIRECTORY ${work})
    set(pngs)
    foreach(size 16 20 24 32 40 48 64 256)
      execute_process(COMMAND ${PROBE_RSVG_CONVERT} -w ${size} -h ${size} -o ${work}/${size}.png
                              ${svg} COMMAND_ERROR_IS_FATAL ANY)
      list(APPEND pngs ${work}/${size}.png)
    endforeach()
    execute_process(COMMAND ${PROBE_IMAGEMAGICK_CONVERT} ${pngs} ${ico} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${out} ${ico} PARENT_SCOPE)
endfunction()

function(probe_windows_resources dir)
  probe_windows_icon(icon)
  probe_tree_targets(${dir} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    set(description "${target}")
    foreach(entry IN LISTS PROBE_WINDOWS_DESCRIPTIONS)
      if(entry MATCHES "^${target}=(.*)$")
        set(description "${CMAKE_MATCH_1}")
      endif()
    endforeach()
    if(type STREQUAL "EXECUTABLE")
      set(file_type VFT_APP)
    else()
      set(file_type VFT_DLL)
    endif()
    # The file's name as the build writes it, filled in when the build system is generated.
    set(file_name "$<TARGET_FILE_NAME:${target}>")
    set(rc ${CMAKE_BINARY_DIR}/windows_resources/${target}.rc)
    file(READ ${PROJECT_SOURCE_DIR}/cmake/windows_resources.rc.in template)
    string(CONFIGURE "${template}" content @ONLY)
    file(GENERATE OUTPUT ${rc} CONTENT "${content}")
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${icon})
  endforeach()
endfunction()
