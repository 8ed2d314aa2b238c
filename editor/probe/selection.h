// Which probe record the editor works on: one instance per process, shared by the main window,
// the pages and the probe file commands.
#pragma once

#include <cstdint>

#include "abi/probe_record.h"

namespace probe {

struct ProbeSelection {
    std::uint32_t probeCount = 0;    // records allocated in the probe store
    std::uint32_t currentIndex = 0;  // selected record, held below probeCount by the commands
    ProbeRecord* current = nullptr;  // borrowed from the probe store; null until allocated
};

}  // namespace probe
