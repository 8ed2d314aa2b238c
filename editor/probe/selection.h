// Which probe record the editor works on: one instance per process, shared by the main window,
// the pages and the probe file commands.
#pragma once

#include <cstdint>
#include <string>

#include "abi/probe_record.h"

namespace probe {

struct ProbeSelection {
    std::uint32_t probeCount = 0;    // records allocated in the probe store
    std::uint32_t currentIndex = 0;  // selected record, held below probeCount by the commands
    ProbeRecord* current = nullptr;  // borrowed from the probe store; null until allocated
    // The folder (cp1251, with its trailing separator) of the probe file the collection was last
    // loaded from; empty while it holds no probes loaded from a file. A load replaces the whole
    // collection by records of one file, so one folder serves every slot.
    std::string loadedFromFolder;
};

}  // namespace probe
