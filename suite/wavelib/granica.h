// wavelib's work at an interface and on collections: entries 3, 4 and 5 of its table.
#pragma once

#include <cstdint>

#include "platform/plugin.h"
#include "wavelib2/volny.h"

namespace wavelib {

// Entry 3: appends the elements of the work set named by `zapis` to the collection set.
BoolByte PLUGIN_CALL DobavitNabor(NaborVoln* sbor, const ZapisSbora* zapis);
// Entry 4: builds the reflected set R of the incident set I at the interface S.
BoolByte PLUGIN_CALL OtrazitLuchi(NaborVoln* r, NaborVoln* s, NaborVoln* i, std::uint64_t p);
// Entry 5: builds the transmitted set T; `otnoshenie` is I's speed over the other side's speed.
BoolByte PLUGIN_CALL PrelomitLuchi(NaborVoln* t, NaborVoln* s, NaborVoln* i, std::uint64_t p,
                                   double otnoshenie);

}  // namespace wavelib
