// The text and list cells of a probe store's record, replaced through the store, and a whole
// record copied into one the store owns. The store keeps its own copies of texts and lines; a
// record's cells may only be changed through it.
#pragma once

#include <cstdint>

#include "abi/probe_record.h"
#include "abi/probestore.h"

namespace probe {

// Releases the cell's text, then, unless `text` is null, makes the cell hold the store's copy of
// what `text(0, context)` hands out. Does nothing with a store that lacks either entry point.
void replaceTextCell(const contracts::ProbeStoreApi& store, Stroka& cell, TextCallback text,
                     void* context);
// Releases the cell's lines, then, unless `line` is null, makes it hold the store's copies of
// lines 0 to count - 1 as `line(i, context)` hands them out.
void replaceListCell(const contracts::ProbeStoreApi& store, Spisok& cell, TextCallback line,
                     std::uint32_t count, void* context);

// Makes `target` (a record the store owns) hold what `source` holds: text and list cells through
// the store (a null cell stays null), every other field of the field table as it stands.
void copyRecord(const ProbeRecord& source, ProbeRecord& target,
                const contracts::ProbeStoreApi& store);

}  // namespace probe
