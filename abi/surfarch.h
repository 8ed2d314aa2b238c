// The surface archiver "surfarch.dll": its function table "Архиватор поверхностей, версия 1.0"
// (two-argument request, 6 entries). File names are cp1251 texts (the archiver hands them to the
// system as UTF-8 on POSIX and as UTF-16 on Windows), borrowed for the call; surface numbers count
// from 0. A `record` is a surface keeper's record (surfstore.h), borrowed for the call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"

namespace contracts::archiver {

// The table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
inline constexpr const char* kTableName = "Архиватор поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kSaveSurface = 0;
inline constexpr std::size_t kFindSurfaceInFile = 1;
inline constexpr std::size_t kZagruzitKolichestvoPoverhnostey = 2;
inline constexpr std::size_t kZagruzitParametr1Poverhnosti = 3;
inline constexpr std::size_t kZagruzitParametr2Poverhnosti = 4;
inline constexpr std::size_t kZagruzitPoverhnost = 5;
inline constexpr std::size_t kTableEntries = 6;

// Appends the surface in use in a keeper's record (name, vertices, triangles) to the file,
// creating the file when it is missing; true on success.
using SaveSurfaceFn = BoolByte PLUGIN_CALL (*)(const char* fileName, const void* record);
// Number of the first surface of the file named `name` (byte for byte), or -1.
using FindSurfaceInFileFn = std::int32_t PLUGIN_CALL (*)(const char* fileName, const char* name);
// Number of surfaces in the file; 0 when it cannot be read or is no surface file.
using ZagruzitKolichestvoPoverhnosteyFn = std::int32_t PLUGIN_CALL (*)(const char* fileName);
// Vertex count of surface i; 0 when it cannot be read.
using ZagruzitParametr1PoverhnostiFn = std::int32_t PLUGIN_CALL (*)(const char* fileName,
                                                                    std::uint32_t index);
// Triangle count of surface i; 0 for a line and when it cannot be read.
using ZagruzitParametr2PoverhnostiFn = std::uint32_t PLUGIN_CALL (*)(const char* fileName,
                                                                     std::uint32_t index);
// Reads surface i into a record the keeper has prepared with room for it; the record is left
// unchanged on failure.
using ZagruzitPoverhnostFn = BoolByte PLUGIN_CALL (*)(const char* fileName, void* record,
                                                      std::uint32_t index);

}  // namespace contracts::archiver
