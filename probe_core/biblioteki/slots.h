// The eight library slots of the loader: their numbers and their bits in a load or free mask.
#pragma once

#include <cstdint>

namespace biblioteki {

inline constexpr int kSlotSurfGen = 0;     // "surfgen.dll", surface generator
inline constexpr int kSlotSurfEdit = 1;    // "surfedit.dll", surface editor
inline constexpr int kSlotSurfStore = 2;   // "surfstore.dll", surface keeper
inline constexpr int kSlotSurfView = 3;    // "surfview1.dll", surface visualizer
inline constexpr int kSlotSurfArch = 4;    // "surfarch.dll", surface archiver
inline constexpr int kSlotProbeStore = 5;  // "probestore.dll", probe store
inline constexpr int kSlotWaveLib = 6;     // "wavelib2.dll", wave processor
inline constexpr int kSlotNumConv = 7;     // "numconv.dll", number conversion
inline constexpr int kSlotCount = 8;

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
