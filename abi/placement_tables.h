// The placement table and the storage table that a caller hands to RazmnozhitNabor (wavelib2.h),
// and the two parameter records that belong to the placement table. wavelib serves both tables
// through its request, under the names below.
//
// Both tables are arrays of pointer-sized cells owned by the caller; the entry points and records
// they point to belong to the library that filled them and stay valid while it is loaded. The
// placement table carries two placement operations, each beside a pointer to the record that it
// reads its parameters from; RazmnozhitNabor writes those records before every call of the
// operations. Cells not listed here are null. Sets handed to the entries are borrowed for the call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"
#include "wave_set.h"

// "Размещение наборов, версия 1.0" and "Хранение наборов, версия 1.0" in cp1251.
inline constexpr char kPlacementTableName[] =
    "\xD0\xE0\xE7\xEC\xE5\xF9\xE5\xED\xE8\xE5 \xED\xE0\xE1\xEE\xF0\xEE\xE2, "
    "\xE2\xE5\xF0\xF1\xE8\xFF 1.0";
inline constexpr char kStorageTableName[] =
    "\xD5\xF0\xE0\xED\xE5\xED\xE8\xE5 \xED\xE0\xE1\xEE\xF0\xEE\xE2, \xE2\xE5\xF0\xF1\xE8\xFF 1.0";

// Shift record: packed to single bytes, 49 bytes, its doubles unaligned.
#pragma pack(push, 1)
struct ShiftRecord {
    std::uint8_t flag;  // 1: the target takes the source's elements before the shift
    double point1[3];   // the set moves so that this point lands ...
    double point2[3];   // ... on this one
};
#pragma pack(pop)

static_assert(sizeof(ShiftRecord) == 49);
static_assert(offsetof(ShiftRecord, flag) == 0 && offsetof(ShiftRecord, point1) == 1 &&
              offsetof(ShiftRecord, point2) == 25);

// Orientation record: 51 bytes used, natural alignment.
struct OrientationRecord {
    double point[3];       // centre of the rotation
    double direction[3];   // the set's axis (+z) is turned onto this direction
    std::uint8_t option1;  // 1: the ray origins turn about the centre too
    std::uint8_t option2;  // 1: the directions and edge vectors turn
    std::uint8_t option3;  // 1: the vector is reversed before use
};

static_assert(offsetof(OrientationRecord, point) == 0 &&
              offsetof(OrientationRecord, direction) == 24 &&
              offsetof(OrientationRecord, option1) == 48 &&
              offsetof(OrientationRecord, option2) == 49 &&
              offsetof(OrientationRecord, option3) == 50);

// A placement operation: changes the target set, reading the source set (they may be one set);
// both are borrowed for the call.
using PlaceFn = BoolByte PLUGIN_CALL (*)(WaveSet* target, WaveSet* source);
// Storage entry 0: room of the set, in elements (at least its element count).
using RoomFn = std::uint32_t PLUGIN_CALL (*)(const WaveSet* set);
// Storage entry 3: room for n elements in the set; `keep` 0 leaves the set empty, anything else
// keeps its elements (as many as fit). The arrays it gives are the storage's until entry 4.
using ReserveFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, std::uint32_t n, std::uint32_t keep);
// Storage entry 4: gives the set's room back.
using ReleaseFn = void PLUGIN_CALL (*)(WaveSet* set);

// Cells of the placement table and entries of the storage table. Each table grows only at its
// end: a new cell takes the next number and no cell moves or changes its meaning. Any other change
// is a new version under a new table name (docs/plugins.md).
//
// Cells of the placement table.
inline constexpr std::uint32_t kPlacementTableCells = 6;
inline constexpr std::uint32_t kPlacementShift = 2;        // first placement operation
inline constexpr std::uint32_t kPlacementShiftRecord = 3;  // ShiftRecord*
inline constexpr std::uint32_t kPlacementTurn = 4;         // second placement operation
inline constexpr std::uint32_t kPlacementTurnRecord = 5;   // OrientationRecord*

// Entries of the storage table.
inline constexpr std::uint32_t kStorageTableEntries = 5;
inline constexpr std::uint32_t kStorageRoom = 0;
inline constexpr std::uint32_t kStorageReserve = 3;
inline constexpr std::uint32_t kStorageRelease = 4;
