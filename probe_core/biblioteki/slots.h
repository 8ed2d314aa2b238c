// The eight library slots of the loader in one table: each slot's number, file, table (name and
// size) and how it is bound; their bits in a load or free mask follow from their numbers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/surface_tools.h"
#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "abi/wavelib2.h"

namespace biblioteki {

inline constexpr int kSlotSurfGen = 0;     // surface generator
inline constexpr int kSlotSurfEdit = 1;    // surface editor
inline constexpr int kSlotSurfStore = 2;   // surface keeper
inline constexpr int kSlotSurfView = 3;    // surface visualizer
inline constexpr int kSlotSurfArch = 4;    // surface archiver
inline constexpr int kSlotProbeStore = 5;  // probe store
inline constexpr int kSlotWaveLib = 6;     // wave processor
inline constexpr int kSlotNumConv = 7;     // number conversion
inline constexpr int kSlotCount = 8;

// How a slot's library is bound once it is loaded.
enum class Binding {
    kTableOfThree,       // PoluchitTablicuFunkciyPoImeni(table, size, name)
    kTableOfTwo,         // PoluchitTablicuFunkciyPoImeni(table, name)
    kViewerExports,      // the visualizer's five exports, decorated name first
    kProbeStoreExports,  // the probe store's exports, plain names in their fixed order
    kNumberConversion,   // DoubleToString
};

struct Slot {
    const char* fileName;  // fixed file name (ASCII)
    Binding binding;
    const char* tableName;     // the table's name, UTF-8 (cp1251 on the wire); null for none
    std::size_t tableEntries;  // cells of a three-argument table (its size is entries × cell)
    bool initialised = false;  // the table is made ready through its initialising entry
};

inline constexpr Slot kSlots[kSlotCount] = {
    {"surfgen.dll", Binding::kTableOfThree, contracts::surface_tools::kGeneratorTableName,
     contracts::surface_tools::kGeneratorTableEntries, true},
    {"surfedit.dll", Binding::kTableOfThree, contracts::surface_tools::kEditorTableName,
     contracts::surface_tools::kEditorTableEntries, true},
    {"surfstore.dll", Binding::kTableOfTwo, contracts::keeper::kTableName, 0},
    {"surfview1.dll", Binding::kViewerExports, nullptr, 0},
    {"surfarch.dll", Binding::kTableOfTwo, contracts::archiver::kTableName, 0},
    {"probestore.dll", Binding::kProbeStoreExports, nullptr, 0},
    {"wavelib2.dll", Binding::kTableOfThree, kWaveProcessorTable11NameUtf8,
     kWaveProcessorTable11Entries},
    {"numconv.dll", Binding::kNumberConversion, nullptr, 0},
};

constexpr std::uint32_t slotBit(int slot) {
    return 1u << slot;
}

inline constexpr std::uint32_t kSurfGen = slotBit(kSlotSurfGen);        // 0x01
inline constexpr std::uint32_t kSurfEdit = slotBit(kSlotSurfEdit);      // 0x02
inline constexpr std::uint32_t kSurfStore = slotBit(kSlotSurfStore);    // 0x04
inline constexpr std::uint32_t kSurfView = slotBit(kSlotSurfView);      // 0x08
inline constexpr std::uint32_t kSurfArch = slotBit(kSlotSurfArch);      // 0x10
inline constexpr std::uint32_t kProbeStore = slotBit(kSlotProbeStore);  // 0x20
inline constexpr std::uint32_t kWaveLib = slotBit(kSlotWaveLib);        // 0x40
inline constexpr std::uint32_t kNumConv = slotBit(kSlotNumConv);        // 0x80
inline constexpr std::uint32_t kSlotBits = 0xFFu;                       // the bits that name a slot
inline constexpr std::uint32_t kAllSlots = 0xFFFFFFFFu;

}  // namespace biblioteki
