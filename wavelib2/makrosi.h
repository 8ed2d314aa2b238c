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
const TablicaVolny10& Tablica10();
// The version 1.1 table that wavelib2 hands out (all null before a successful load).
const TablicaVolny11& Tablica11();

// Loads "wavelib.dll", binds its request function and builds both tables: the process attach
// work. False when any step fails; the error-text slot then says why.
bool PodklyuchitWavelib();
// Releases wavelib: the process detach work. False when no load was ever tried.
bool OtklyuchitWavelib();
// Serves a table request: the version 1.1 table by exact name, everything else through wavelib.
void* ZaprositTablicu(TableCell* tablica, std::uint32_t razmer, const char* imya);
// The error-text slot, refreshed from wavelib's error text once wavelib is bound.
const char* TekstOshibki();

// Programs that link these operations directly (tests, benchmarks) put their own wavelib table
// here instead of loading the library; the version 1.1 table is rebuilt from it.
void ZadatTablicu10(const TablicaVolny10& tablica);

// ---- Operations on wave sets
// ---------------------------------------------------------------------

// Advances every wave by its ray's last step: path, both times, amplitude and energy.
void RasprostranitVolny(NaborVoln* nabor);

// Filters: swap-with-last removal, then the wave count is set to the element count. A comparison
// with a value that is not a number fails, so such elements are removed.
void UdalitDoshedshie(NaborVoln* nabor);  // removes the rays that reached the interface (0x02)
void OtbrositPoPorogam(NaborVoln* nabor, double minCos, double minEnergiya);

// Entry 6: wavelib's entry 6, then RasprostranitVolny. False (nothing else done) when wavelib
// fails.
BoolByte PLUGIN_CALL ProdvinutVolny(NaborVoln* nabor, double shag);
// Entry 9: multiplies every length of the geometry by `mnozhitel`; false only for a null set.
BoolByte PLUGIN_CALL IzmenitMasshtab(NaborVoln* nabor, double mnozhitel);
// Entry 12: removes the elements whose energy is not at least *porog. Returns `nabor`.
NaborVoln* PLUGIN_CALL OtbrositSlabyeVolny(NaborVoln* nabor, const double* porog);
// Entry 13: removes the elements whose ray carries flag 0x08. Returns `nabor`.
NaborVoln* PLUGIN_CALL UdalitOtmechennye(NaborVoln* nabor);

// Entries 8, 10 and 11: interface, source and replication operations.
BoolByte PLUGIN_CALL OtrazitIPrelomit(NaborVoln* r, NaborVoln* t, NaborVoln* s, NaborVoln* i,
                                      const std::uint64_t* p, const double* porog);
BoolByte PLUGIN_CALL InicializirovatVolny(NaborVoln* nabor, const Volna* obrazec, double energiya,
                                          const double* para);
BoolByte PLUGIN_CALL RazmnozhitNabor(NaborVoln* sbor, NaborVoln* a, NaborVoln* b, NaborVoln* q,
                                     TableCell* razmeshchenie, TableCell* hranenie);

}  // namespace wavelib2
