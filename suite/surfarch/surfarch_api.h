// The archiver's table, "Архиватор поверхностей, версия 1.0": 6 entries. File names are cp1251
// texts (on POSIX converted to the file system's UTF-8 before use); surface numbers count from 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "editor/contracts/surface_api.h"
#include "platform/plugin.h"

namespace surfaces::archiver {

inline constexpr std::size_t kSohranitPoverhnost = 0;
inline constexpr std::size_t kNaytiPoverhnostVFaile = 1;
inline constexpr std::size_t kZagruzitKolichestvoPoverhnostey = 2;
inline constexpr std::size_t kZagruzitParametr1Poverhnosti = 3;
inline constexpr std::size_t kZagruzitParametr2Poverhnosti = 4;
inline constexpr std::size_t kZagruzitPoverhnost = 5;
inline constexpr std::size_t kTableEntries = 6;

static_assert(kZagruzitKolichestvoPoverhnostey ==
              contracts::archiver::kZagruzitKolichestvoPoverhnostey);
static_assert(kZagruzitParametr1Poverhnosti == contracts::archiver::kZagruzitParametr1Poverhnosti);
static_assert(kZagruzitParametr2Poverhnosti == contracts::archiver::kZagruzitParametr2Poverhnosti);
static_assert(kZagruzitPoverhnost == contracts::archiver::kZagruzitPoverhnost);
static_assert(kTableEntries == contracts::kArchiverTableEntries);

// Appends the surface in use in a keeper's record (name, vertices, triangles) to the file,
// creating the file when it is missing; true on success.
using SohranitPoverhnostFn = BoolByte PLUGIN_CALL (*)(const char* fileName, const void* record);
// Number of the first surface of the file named `name` (byte for byte), or -1.
using NaytiPoverhnostVFaileFn = std::int32_t PLUGIN_CALL (*)(const char* fileName,
                                                             const char* name);
// Number of surfaces in the file; 0 when it cannot be read or is no surface file.
using ZagruzitKolichestvoPoverhnosteyFn = contracts::archiver::ZagruzitKolichestvoPoverhnosteyFn;
// Vertex count of surface i; 0 when it cannot be read.
using ZagruzitParametr1PoverhnostiFn = contracts::archiver::ZagruzitParametr1PoverhnostiFn;
// Triangle count of surface i; 0 for a line and when it cannot be read.
using ZagruzitParametr2PoverhnostiFn = contracts::archiver::ZagruzitParametr2PoverhnostiFn;
// Reads surface i into a record the keeper has prepared with room for it; the record is left
// unchanged on failure.
using ZagruzitPoverhnostFn = contracts::archiver::ZagruzitPoverhnostFn;

}  // namespace surfaces::archiver
