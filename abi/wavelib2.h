// The wave processor of version 1.1 ("wavelib2.dll") as programs call it.
//
// The library exports the three-argument request PoluchitTablicuFunkciyPoImeni and
// PoluchitSoobzhenieObOshibke. It fills the 14 entries of TablicaVolny11 for
// "Обработчик волн, версия 1.1" (whatever size the caller gives) and passes every other request on
// to wavelib unchanged. Entries 0 to 5 and 7 are wavelib's own (wavelib.h); entry 6 and entries
// 8 to 13 are wavelib2's. Every set handed to an entry is borrowed for the call and changed in
// place; the library keeps no pointer to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"
#include "wave_set.h"
#include "wavelib.h"

// "Обработчик волн, версия 1.1" in cp1251.
inline constexpr char kImyaTablicy11[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.1";

inline constexpr std::uint32_t kZapisey11 = 14;  // entries of the version 1.1 table

// PoluchitSoobzhenieObOshibke: the library's current error text (cp1251, owned by the library or
// by wavelib; valid while both stay loaded), null before the library has set it.
using PoluchitSoobzhenieObOshibkeFn = const char* PLUGIN_CALL (*)();

// Entry points that version 1.1 adds or replaces. Pointers to thresholds, parameters and
// templates are borrowed for the call and read before anything is written.
// 6: wavelib's entry 6, then the waves travel the step. False when wavelib fails.
using ProdvinutVolnyFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double shag);
// 8: reflection and transmission of the incident set I at the interface S into R and T.
using OtrazitIPrelomitFn = BoolByte PLUGIN_CALL (*)(NaborVoln* r, NaborVoln* t, NaborVoln* s,
                                                    NaborVoln* i, const std::uint64_t* p,
                                                    const double* porog);
// 9: multiplies every length of the set's geometry by `mnozhitel`.
using IzmenitMasshtabFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double mnozhitel);
// 10: builds the rays and waves of the set from its source point.
using InicializirovatVolnyFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, const Volna* obrazec,
                                                        double energiya, const double* para);
// 11: places the pattern set B at every ray of A and collects the copies in `sbor`, with Q as the
//     work set. The placement and storage tables (placement_tables.h) are the caller's, borrowed
//     for the call.
using RazmnozhitNaborFn = BoolByte PLUGIN_CALL (*)(NaborVoln* sbor, NaborVoln* a, NaborVoln* b,
                                                   NaborVoln* q, TableCell* razmeshchenie,
                                                   TableCell* hranenie);
// 12: removes the elements whose energy is not at least *porog. Returns `nabor`.
using OtbrositSlabyeVolnyFn = NaborVoln* PLUGIN_CALL (*)(NaborVoln* nabor, const double* porog);
// 13: removes the elements whose ray carries flag 0x08. Returns `nabor`.
using UdalitOtmechennyeFn = NaborVoln* PLUGIN_CALL (*)(NaborVoln* nabor);

// The version 1.1 table as wavelib2 hands it out: 14 pointer-sized cells, entry points of wavelib2
// and of wavelib that are valid while both stay loaded.
struct TablicaVolny11 {
    SozdatNaborFn sozdatNabor;                    // 0  wavelib's
    UdalitNaborFn udalitNabor;                    // 1  wavelib's
    IzmenitRazmerFn izmenitRazmer;                // 2  wavelib's
    DobavitNaborFn dobavitNabor;                  // 3  wavelib's
    OtrazitLuchiFn otrazitLuchi;                  // 4  wavelib's
    PrelomitLuchiFn prelomitLuchi;                // 5  wavelib's
    ProdvinutVolnyFn prodvinutVolny;              // 6  ProdvinutVolny
    TekstOshibkiFn tekstOshibki;                  // 7  wavelib's
    OtrazitIPrelomitFn otrazitIPrelomit;          // 8
    IzmenitMasshtabFn izmenitMasshtab;            // 9
    InicializirovatVolnyFn inicializirovatVolny;  // 10
    RazmnozhitNaborFn razmnozhitNabor;            // 11
    OtbrositSlabyeVolnyFn otbrositSlabyeVolny;    // 12
    UdalitOtmechennyeFn udalitOtmechennye;        // 13
};

static_assert(sizeof(TablicaVolny11) == kZapisey11 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, prodvinutVolny) == 6 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, otrazitIPrelomit) == 8 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, udalitOtmechennye) == 13 * sizeof(TableCell));
