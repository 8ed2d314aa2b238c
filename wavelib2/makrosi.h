// The operations of wavelib2 on wave sets and its access to the bound wavelib.
//
// Everything here works in place on caller-owned wave sets and keeps no state between calls. The
// entries of the version 1.1 table carry PLUGIN_CALL; the other operations are used inside the
// library only. Only the two exports of poverhnost.cpp have C names; everything else lives in
// namespace wavelib2.
#pragma once

#include <cstdint>

#include "abi/plugin.h"
#include "abi/wave_set.h"
#include "abi/wavelib.h"
#include "abi/wavelib2.h"

namespace wavelib2 {

// ---- The bound wavelib
// ---------------------------------------------------------------------------

// wavelib's version 1.0 table as it was filled at load (all null before that).
const WaveProcessorTable10& Table10();
// The version 1.1 table that wavelib2 hands out (all null before a successful load).
const WaveProcessorTable11& Table11();

// Loads "wavelib.dll", binds its request function and builds both tables: the process attach
// work. False when any step fails; the error-text slot then says why.
bool BindWavelib();
// Releases wavelib: the process detach work. False when no load was ever tried.
bool ReleaseWavelib();
// Serves a table request: the version 1.1 table by exact name, everything else through wavelib.
void* RequestTable(TableCell* table, std::uint32_t size, const char* name);
// The error-text slot, refreshed from wavelib's error text once wavelib is bound.
const char* ErrorText();

// Programs that link these operations directly (tests, benchmarks) put their own wavelib table
// here instead of loading the library; the version 1.1 table is rebuilt from it.
void SetTable10(const WaveProcessorTable10& table);

// ---- Operations on wave sets
// ---------------------------------------------------------------------

// Advances every wave by its ray's last step: path, both times, amplitude and energy.
void RasprostranitVolny(WaveSet* set);

// Filters: swap-with-last removal, then the wave count is set to the element count. A comparison
// with a value that is not a number fails, so such elements are removed.
void UdalitDoshedshie(WaveSet* set);  // removes the rays that reached the interface (0x02)
void OtbrositPoPorogam(WaveSet* set, double minCos, double minEnergy);

// Entry 6: wavelib's entry 6, then RasprostranitVolny. False (nothing else done) when wavelib
// fails.
BoolByte PLUGIN_CALL ProdvinutVolny(WaveSet* set, double step);
// Entry 9: multiplies every length of the geometry by `factor`; false only for a null set.
BoolByte PLUGIN_CALL IzmenitMasshtab(WaveSet* set, double factor);
// Entry 12: removes the elements whose energy is not at least *threshold. Returns `set`.
WaveSet* PLUGIN_CALL OtbrositSlabyeVolny(WaveSet* set, const double* threshold);
// Entry 13: removes the elements whose ray carries flag 0x08. Returns `set`.
WaveSet* PLUGIN_CALL UdalitOtmechennye(WaveSet* set);

// Entries 8, 10 and 11: interface, source and replication operations.
BoolByte PLUGIN_CALL OtrazitIPrelomit(WaveSet* r, WaveSet* t, WaveSet* s, WaveSet* i,
                                      const std::uint64_t* p, const double* threshold);
BoolByte PLUGIN_CALL InicializirovatVolny(WaveSet* set, const Wave* templateWave, double energy,
                                          const double* impedancePair);
BoolByte PLUGIN_CALL RazmnozhitNabor(WaveSet* collection, WaveSet* a, WaveSet* b, WaveSet* q,
                                     TableCell* placement, TableCell* storage);

}  // namespace wavelib2
