// A record copied into one the probe store owns, its texts and lists copied by the store.
#pragma once

#include "abi/probe_record.h"
#include "abi/probestore.h"

namespace probejson {

// Makes the record's text and list cells hold copies of `source`'s through the store, and copies
// every other field as it stands. `target` is a record the store owns.
void transferRecord(const ProbeRecord& source, ProbeRecord& target,
                    const contracts::ProbeStoreApi& store);

}  // namespace probejson
