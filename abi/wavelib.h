// The wave processor of version 1.0 ("wavelib.dll") as programs call it.
//
// The library exports only the three-argument request PoluchitTablicuFunkciyPoImeni and fills
// 8 entries (TablicaVolny10) for "Обработчик волн, версия 1.0" when the table has room for them
// (size at least 8 cells). The entries:
//
//   0 sozdatNabor(n)            a new wave set with n zeroed elements (count and wave count n),
//                               its own ray and wave arrays, zeroed media; null when out of memory
//                               or for more than 2^24 elements
//   1 udalitNabor(set)          releases a set made by entry 0; any other pointer is ignored
//   2 izmenitRazmer(set, n)     element and wave count become n: the first elements are kept,
//                               the others zeroed; false for a set entry 0 did not make or for
//                               more than 2^24 elements
//   3 dobavitNabor(sbor, zap)   appends the elements of the work set named by the record
//   4 otrazitLuchi(R, S, I, P)  builds the reflected rays of I at the interface S
//   5 prelomitLuchi(T, S, I, P, ratio)   builds the transmitted rays
//   6 prodvinutLuchi(set, step) moves every ray's origin by `step` along its normalised direction
//                               and leaves the step's length at offset 4 of its wave record (0 for
//                               a ray without direction); false for a null set or a step that is
//                               negative or not a number
//   7 tekstOshibki()            the text of the last failure (cp1251; "" when none); the pointer
//                               stays valid and always shows the latest text
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

inline constexpr char kImyaWavelib[] = "wavelib.dll";

// "Обработчик волн, версия 1.0" in cp1251.
inline constexpr char kImyaTablicy10[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.0";

inline constexpr std::uint32_t kZapisey10 = 8;  // entries of the version 1.0 table

// Entry points of the version 1.0 table.
// 0: creates a wave set with room for and a count of n zeroed elements; null on failure.
using SozdatNaborFn = NaborVoln* PLUGIN_CALL (*)(std::uint32_t n);
// 1: releases a set created by entry 0 (and its arrays); anything else is ignored.
using UdalitNaborFn = void PLUGIN_CALL (*)(NaborVoln* nabor);
// 2: sets the element and wave count of a set created by entry 0 to n, keeping the first
//    elements and zeroing new ones; false for a set entry 0 did not create or when out of memory.
using IzmenitRazmerFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, std::uint32_t n);
// 3: adds the elements of the work set named by the record to the collection set.
using DobavitNaborFn = BoolByte PLUGIN_CALL (*)(NaborVoln* sbor, const ZapisSbora* zapis);
// 4: builds the reflected set R of the incident set I at the interface S; P is an 8-byte value.
using OtrazitLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* r, NaborVoln* s, NaborVoln* i,
                                                std::uint64_t p);
// 5: builds the transmitted set T; `otnoshenie` is the incident speed over the other side's.
using PrelomitLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* t, NaborVoln* s, NaborVoln* i,
                                                 std::uint64_t p, double otnoshenie);
// 6: advances every ray by `shag`, leaving each step's length in its wave record.
using ProdvinutLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double shag);
// 7: wavelib's current error text (cp1251; a buffer of wavelib's, valid while it is loaded, ""
//    when there is none).
using TekstOshibkiFn = const char* PLUGIN_CALL (*)();

// The version 1.0 table as wavelib fills it: 8 pointer-sized cells, entry points of wavelib that
// are valid while it stays loaded.
struct TablicaVolny10 {
    SozdatNaborFn sozdatNabor;        // 0
    UdalitNaborFn udalitNabor;        // 1
    IzmenitRazmerFn izmenitRazmer;    // 2
    DobavitNaborFn dobavitNabor;      // 3
    OtrazitLuchiFn otrazitLuchi;      // 4
    PrelomitLuchiFn prelomitLuchi;    // 5
    ProdvinutLuchiFn prodvinutLuchi;  // 6
    TekstOshibkiFn tekstOshibki;      // 7
};

static_assert(sizeof(TablicaVolny10) == kZapisey10 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny10, prodvinutLuchi) == 6 * sizeof(TableCell));
