// The wave processor of version 1.1 ("wavelib2.dll") as programs call it.
//
// The library exports the three-argument request PoluchitTablicuFunkciyPoImeni and
// PoluchitSoobzhenieObOshibke. For "Обработчик волн, версия 1.1" it copies the 14 entries of
// WaveProcessorTable11 into the caller's table without looking at the size argument: the caller
// must provide room for 14 cells (kWaveProcessorTable11Entries), since a smaller size is neither
// refused nor honoured. Every other request goes on to wavelib unchanged, size included. Entries
// 0 to 5 and 7 are wavelib's own (wavelib.h); entry 6 and entries 8 to 13 are wavelib2's. Every
// set handed to an entry is borrowed for the call and changed in place; the library keeps no
// pointer to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"
#include "wave_set.h"
#include "wavelib.h"

// The name of the version 1.1 table: in UTF-8 (as hosts keep their texts), and in cp1251 (as it
// goes over the table request).
inline constexpr const char* kWaveProcessorTable11NameUtf8 = "Обработчик волн, версия 1.1";
inline constexpr char kWaveProcessorTable11Name[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.1";

// Entries of the version 1.1 table.
inline constexpr std::uint32_t kWaveProcessorTable11Entries = 14;

// PoluchitSoobzhenieObOshibke: the library's current error text (cp1251, owned by the library or
// by wavelib; valid while both stay loaded), null before the library has set it.
using PoluchitSoobzhenieObOshibkeFn = const char* PLUGIN_CALL (*)();

// Entry points that version 1.1 adds or replaces. Pointers to thresholds, parameters and
// templates are borrowed for the call and read before anything is written.
// 6: wavelib's entry 6, then the waves travel the step. False when wavelib fails.
using ProdvinutVolnyFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, double step);
// 8: reflection and transmission of the incident set I at the interface S into R and T.
using OtrazitIPrelomitFn = BoolByte PLUGIN_CALL (*)(WaveSet* r, WaveSet* t, WaveSet* s, WaveSet* i,
                                                    const std::uint64_t* p,
                                                    const double* threshold);
// 9: multiplies every length of the set's geometry by `factor`.
using IzmenitMasshtabFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, double factor);
// 10: builds the rays and waves of the set from its source point.
using InicializirovatVolnyFn = BoolByte PLUGIN_CALL (*)(WaveSet* set, const Wave* templateWave,
                                                        double energy, const double* impedancePair);
// 11: places the pattern set B at every ray of A and collects the copies in `collection`, with Q
//     as the work set. The placement and storage tables (placement_tables.h) are the caller's,
//     borrowed for the call.
using RazmnozhitNaborFn = BoolByte PLUGIN_CALL (*)(WaveSet* collection, WaveSet* a, WaveSet* b,
                                                   WaveSet* q, TableCell* placement,
                                                   TableCell* storage);
// 12: removes the elements whose energy is not at least *threshold. Returns `set`.
using OtbrositSlabyeVolnyFn = WaveSet* PLUGIN_CALL (*)(WaveSet* set, const double* threshold);
// 13: removes the elements whose ray carries flag 0x08. Returns `set`.
using UdalitOtmechennyeFn = WaveSet* PLUGIN_CALL (*)(WaveSet* set);

// The version 1.1 table as wavelib2 hands it out: 14 pointer-sized cells, entry points of wavelib2
// and of wavelib that are valid while both stay loaded.
// The table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
struct WaveProcessorTable11 {
    CreateSetFn createSet;                        // 0  wavelib's
    DeleteSetFn deleteSet;                        // 1  wavelib's
    ResizeSetFn resizeSet;                        // 2  wavelib's
    AppendSetFn appendSet;                        // 3  wavelib's
    ReflectRaysFn reflectRays;                    // 4  wavelib's
    RefractRaysFn refractRays;                    // 5  wavelib's
    ProdvinutVolnyFn prodvinutVolny;              // 6  ProdvinutVolny
    ErrorTextFn errorText;                        // 7  wavelib's
    OtrazitIPrelomitFn otrazitIPrelomit;          // 8
    IzmenitMasshtabFn izmenitMasshtab;            // 9
    InicializirovatVolnyFn inicializirovatVolny;  // 10
    RazmnozhitNaborFn razmnozhitNabor;            // 11
    OtbrositSlabyeVolnyFn otbrositSlabyeVolny;    // 12
    UdalitOtmechennyeFn udalitOtmechennye;        // 13
};

static_assert(sizeof(WaveProcessorTable11) == kWaveProcessorTable11Entries * sizeof(TableCell));
static_assert(offsetof(WaveProcessorTable11, prodvinutVolny) == 6 * sizeof(TableCell));
static_assert(offsetof(WaveProcessorTable11, otrazitIPrelomit) == 8 * sizeof(TableCell));
static_assert(offsetof(WaveProcessorTable11, udalitOtmechennye) == 13 * sizeof(TableCell));
