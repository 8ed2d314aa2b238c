// The surface generator "surfgen.dll" and the surface editor "surfedit.dll". A host binds their
// function tables through the three-argument request and makes each ready through its entry 1;
// the editor calls nothing else of them, so their other entries are the libraries' own affair.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"

namespace contracts::surface_tools {

// Each table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
inline constexpr const char* kGeneratorTableName = "Генератор поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kGeneratorTableEntries = 8;
inline constexpr const char* kEditorTableName = "Редактор поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kEditorTableEntries = 12;

// Entry 1 of both tables: takes the address of the host's library context record and answers
// non-zero when the library is ready for work. The record (kContextCells pointer-sized cells) is
// owned by the host and stays in place while the library is loaded; what the library keeps in it
// is the library's own. The host sets cell kContextCellCleared to null when it frees the library.
inline constexpr std::size_t kInitialiseLibrary = 1;
inline constexpr std::size_t kContextCells = 3;
inline constexpr std::size_t kContextCellCleared = 1;
using InitialiseLibraryFn = std::int32_t PLUGIN_CALL (*)(void** context);

}  // namespace contracts::surface_tools
