// The surface libraries: the keeper "surfstore.dll" and the archiver "surfarch.dll", reached
// through function tables, and the visualizer "surfview1.dll", reached through five exports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/plugin.h"

namespace contracts {

// The keeper's record of its surface records: record i lies at pervaya + i * razmer.
struct SurfaceSetDescriptor {
    void* pervaya;              // first surface record
    std::uint32_t kolichestvo;  // number of records
    std::uint32_t razmer;       // size of one record in bytes
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(SurfaceSetDescriptor, kolichestvo) == 4);
static_assert(offsetof(SurfaceSetDescriptor, razmer) == 8);
static_assert(sizeof(SurfaceSetDescriptor) == 12);
#else
static_assert(offsetof(SurfaceSetDescriptor, kolichestvo) == 8);
static_assert(offsetof(SurfaceSetDescriptor, razmer) == 12);
static_assert(sizeof(SurfaceSetDescriptor) == 16);
#endif

// Table names and sizes.
inline constexpr const char* kKeeperTableName = "Хранитель поверхностей, версия 1.0";    // UTF-8
inline constexpr const char* kArchiverTableName = "Архиватор поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kKeeperTableEntries = 19;
inline constexpr std::size_t kArchiverTableEntries = 6;

// Keeper (surfstore) entries the editor uses.
namespace keeper {
inline constexpr std::size_t kVidelitPamyatDlyaPoverhnostey = 2;
inline constexpr std::size_t kPodgotovitPoverhnost = 3;
inline constexpr std::size_t kPoluchitSpisokPoverhnostey = 7;
inline constexpr std::size_t kPoluchitPoverhnostPoIndeksu = 8;
inline constexpr std::size_t kPoluchitImyaPoverhnosti = 11;
inline constexpr std::size_t kOpredelitPriznakPoverhnosti = 15;

using VidelitPamyatDlyaPoverhnosteyFn = BoolByte PLUGIN_CALL (*)(std::uint32_t count);
using PodgotovitPoverhnostFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t parameter1,
                                                        std::uint32_t parameter2);
using PoluchitSpisokPoverhnosteyFn = SurfaceSetDescriptor* PLUGIN_CALL (*)();
using PoluchitPoverhnostPoIndeksuFn = void* PLUGIN_CALL (*)(std::uint32_t index);
using PoluchitImyaPoverhnostiFn = const char* PLUGIN_CALL (*)(void* record);
using OpredelitPriznakPoverhnostiFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t value);
}  // namespace keeper

// Archiver (surfarch) entries the editor uses.
namespace archiver {
inline constexpr std::size_t kZagruzitKolichestvoPoverhnostey = 2;
inline constexpr std::size_t kZagruzitParametr1Poverhnosti = 3;
inline constexpr std::size_t kZagruzitParametr2Poverhnosti = 4;
inline constexpr std::size_t kZagruzitPoverhnost = 5;

using ZagruzitKolichestvoPoverhnosteyFn = std::int32_t PLUGIN_CALL (*)(const char* fileName);
using ZagruzitParametr1PoverhnostiFn = std::int32_t PLUGIN_CALL (*)(const char* fileName,
                                                                    std::uint32_t index);
using ZagruzitParametr2PoverhnostiFn = std::uint32_t PLUGIN_CALL (*)(const char* fileName,
                                                                     std::uint32_t index);
using ZagruzitPoverhnostFn = BoolByte PLUGIN_CALL (*)(const char* fileName, void* record,
                                                      std::uint32_t index);
}  // namespace archiver

// Visualizer (surfview1) exports.
namespace viewer {
// Shows the described surfaces; null withdraws them and closes the view.
using OpredelitPoverhnostiFn = BoolByte PLUGIN_CALL (*)(SurfaceSetDescriptor* surfaces);
using OpredelitFlagiFn = void PLUGIN_CALL (*)(std::uint32_t flags);
using PoluchitFlagiFn = std::uint32_t PLUGIN_CALL (*)();
using OpredelitMasshtabFn = void PLUGIN_CALL (*)(std::int32_t exponent);
using SortirovatPoverhnostiPoGlubineFn = BoolByte PLUGIN_CALL (*)(SurfaceSetDescriptor* surfaces,
                                                                  std::int32_t direction);
}  // namespace viewer

struct SurfaceViewerApi {
    viewer::OpredelitPoverhnostiFn OpredelitPoverhnosti = nullptr;
    viewer::OpredelitFlagiFn OpredelitFlagi = nullptr;
    viewer::PoluchitFlagiFn PoluchitFlagi = nullptr;
    viewer::OpredelitMasshtabFn OpredelitMasshtab = nullptr;
    viewer::SortirovatPoverhnostiPoGlubineFn SortirovatPoverhnostiPoGlubine = nullptr;
};

}  // namespace contracts
