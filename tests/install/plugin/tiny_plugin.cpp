// A plug-in serving one two-entry table by the tool set's request convention. Includes every
// boundary header, so that one missing from the installation or leaning on the source tree fails.
#include <cstring>

#include "abi/placement_tables.h"
#include "abi/plugin.h"
#include "abi/probe_record.h"
#include "abi/probestore.h"
#include "abi/surface_tools.h"
#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "abi/surfview1.h"
#include "abi/wave_set.h"
#include "abi/wavelib.h"
#include "abi/wavelib2.h"

namespace {

BoolByte PLUGIN_CALL isReady() {
    return kTrue;
}

std::uint32_t PLUGIN_CALL recordSize() {
    return static_cast<std::uint32_t>(sizeof(ProbeRecord));
}

}  // namespace

PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, std::uint32_t size,
                                                              const char* name) {
    if (table == nullptr || name == nullptr || std::strcmp(name, "Tiny, 1.0") != 0 ||
        size < 2 * sizeof(TableCell))
        return nullptr;
    table[0] = reinterpret_cast<TableCell>(&isReady);
    table[1] = reinterpret_cast<TableCell>(&recordSize);
    return table;
}
