// The wave processor of version 1.0 ("wavelib.dll") as programs call it.
//
// The library exports only the three-argument request PoluchitTablicuFunkciyPoImeni and fills
// 8 entries (WaveProcessorTable10) for "Обработчик волн, версия 1.0" when the table has room for
// them (size at least 8 cells). The entries:
//
//   0 createSet(n)       a new wave set with n zeroed elements (count and wave count n), its own
//                        ray and wave arrays, zeroed media; null when out of memory or for more
//                        than 2^24 elements
//   1 deleteSet(set)     releases a set made by entry 0; any other pointer is ignored
//   2 resizeSet(set, n)  element and wave count become n: the first elements are kept, the others
//                        zeroed; false for a set entry 0 did not make or for more than 2^24
//                        elements
//   3 appendSet(collection, record)   appends the elements of the work set named by the record
//   4 reflectRays(R, S, I, P)         builds the reflected rays of I at the interface S
//   5 refractRays(T, S, I, P, ratio)  builds the transmitted rays
//   6 advanceRays(set, step)  moves every ray's origin by `step` along its normalised direction and
//                        leaves the step's length at offset 4 of its wave record (0 for a ray
//                        without direction); false for a null set or a step that is negative or
//                        not a number
//   7 errorText()        the text of the last failure (cp1251; "" when none); the pointer stays
//                        valid and always shows the latest text
//
// Sets made by entry 0 belong to wavelib and must be released by entry 1; entries 3 to 7 accept
// caller-made sets too. Every set handed to an entry is borrowed for the call and changed in
// place; wavelib keeps no pointer to it.
//
// The same request also hands out the placement table "Размещение наборов, версия 1.0" and the
// storage table "Хранение наборов, версия 1.0" (placement_tables.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"
#include "wave_set.h"

inline constexpr char kWavelibFileName[] = "wavelib.dll";

// "Обработчик волн, версия 1.0" in cp1251.
inline constexpr char kWaveProcessorTable10Name[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.0";

// Entries of the version 1.0 table.
inline constexpr std::uint32_t kWaveProcessorTable10Entries = 8;

// Entry points of the version 1.0 table.
// 0: creates a wave set with room for and a count of n zeroed elements; null on failure.
using CreateSetFn = WaveSet* PLUGIN_CALL (*)(std::uint32_t n);
// 1: releases a set created by entry 0 (and its arrays); anything else is ignored.
using DeleteSetFn = void PLUGIN_CALL (*)(WaveSet* set);
// 2: sets the element and wave count of a set created by entry 0 to n, keeping the first
//    elements and zeroing new ones; false for a set entry 0 did not create or when out of memory.
using ResizeSetFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, std::uint32_t n);
// 3: adds the elements of the work set named by the record to the collection set.
using AppendSetFn = BoolByte PLUGIN_CALL (*)(WaveSet* collection, const CollectRecord* record);
// 4: builds the reflected set R of the incident set I at the interface S; P is an 8-byte value.
using ReflectRaysFn = BoolByte PLUGIN_CALL (*)(WaveSet* r, WaveSet* s, WaveSet* i, std::uint64_t p);
// 5: builds the transmitted set T; `speedRatio` is the incident speed over the other side's.
using RefractRaysFn = BoolByte PLUGIN_CALL (*)(WaveSet* t, WaveSet* s, WaveSet* i, std::uint64_t p,
                                               double speedRatio);
// 6: advances every ray by `step`, leaving each step's length in its wave record.
using AdvanceRaysFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, double step);
// 7: wavelib's current error text (cp1251; a buffer of wavelib's, valid while it is loaded, ""
//    when there is none).
using ErrorTextFn = const char* PLUGIN_CALL (*)();

// The version 1.0 table as wavelib fills it: 8 pointer-sized cells, entry points of wavelib that
// are valid while it stays loaded.
// The table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
struct WaveProcessorTable10 {
    CreateSetFn createSet;      // 0
    DeleteSetFn deleteSet;      // 1
    ResizeSetFn resizeSet;      // 2
    AppendSetFn appendSet;      // 3
    ReflectRaysFn reflectRays;  // 4
    RefractRaysFn refractRays;  // 5
    AdvanceRaysFn advanceRays;  // 6
    ErrorTextFn errorText;      // 7
};

static_assert(sizeof(WaveProcessorTable10) == kWaveProcessorTable10Entries * sizeof(TableCell));
static_assert(offsetof(WaveProcessorTable10, advanceRays) == 6 * sizeof(TableCell));
