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
inline constexpr char kImyaTablicyRazmeshcheniya[] =
    "\xD0\xE0\xE7\xEC\xE5\xF9\xE5\xED\xE8\xE5 \xED\xE0\xE1\xEE\xF0\xEE\xE2, "
    "\xE2\xE5\xF0\xF1\xE8\xFF 1.0";
inline constexpr char kImyaTablicyHraneniya[] =
    "\xD5\xF0\xE0\xED\xE5\xED\xE8\xE5 \xED\xE0\xE1\xEE\xF0\xEE\xE2, \xE2\xE5\xF0\xF1\xE8\xFF 1.0";

// Shift record: packed to single bytes, 49 bytes, its doubles unaligned.
#pragma pack(push, 1)
struct ZapisSdviga {
    std::uint8_t flag;  // 1: the target takes the source's elements before the shift
    double tochka1[3];  // the set moves so that this point lands ...
    double tochka2[3];  // ... on this one
};
#pragma pack(pop)

static_assert(sizeof(ZapisSdviga) == 49);
static_assert(offsetof(ZapisSdviga, flag) == 0 && offsetof(ZapisSdviga, tochka1) == 1 &&
              offsetof(ZapisSdviga, tochka2) == 25);

// Orientation record: 51 bytes used, natural alignment.
struct ZapisOrientacii {
    double tochka[3];      // centre of the rotation
    double vektor[3];      // the set's axis (+z) is turned onto this direction
    std::uint8_t opciya1;  // 1: the ray origins turn about the centre too
    std::uint8_t opciya2;  // 1: the directions and edge vectors turn
    std::uint8_t opciya3;  // 1: the vector is reversed before use
};

static_assert(offsetof(ZapisOrientacii, tochka) == 0 && offsetof(ZapisOrientacii, vektor) == 24 &&
              offsetof(ZapisOrientacii, opciya1) == 48 &&
              offsetof(ZapisOrientacii, opciya2) == 49 && offsetof(ZapisOrientacii, opciya3) == 50);

// A placement operation: changes the target set, reading the source set (they may be one set);
// both are borrowed for the call.
using RazmestitFn = BoolByte PLUGIN_CALL (*)(NaborVoln* cel, NaborVoln* istochnik);
// Storage entry 0: room of the set, in elements (at least its element count).
using MestoFn = std::uint32_t PLUGIN_CALL (*)(const NaborVoln* nabor);
// Storage entry 3: room for n elements in the set; `sohranit` 0 leaves the set empty, anything else
// keeps its elements (as many as fit). The arrays it gives are the storage's until entry 4.
using ZarezervirovatFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, std::uint32_t n,
                                                  std::uint32_t sohranit);
// Storage entry 4: gives the set's room back.
using OsvoboditFn = void PLUGIN_CALL (*)(NaborVoln* nabor);

// Cells of the placement table.
inline constexpr std::uint32_t kYacheekRazmeshcheniya = 6;
inline constexpr std::uint32_t kYacheykaSdvig = 2;          // first placement operation
inline constexpr std::uint32_t kYacheykaZapisSdviga = 3;    // ZapisSdviga*
inline constexpr std::uint32_t kYacheykaPovorot = 4;        // second placement operation
inline constexpr std::uint32_t kYacheykaZapisPovorota = 5;  // ZapisOrientacii*

// Entries of the storage table.
inline constexpr std::uint32_t kZapiseyHraneniya = 5;
inline constexpr std::uint32_t kVhodMesto = 0;
inline constexpr std::uint32_t kVhodZarezervirovat = 3;
inline constexpr std::uint32_t kVhodOsvobodit = 4;
