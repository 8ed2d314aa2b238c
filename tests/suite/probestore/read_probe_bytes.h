// What the reader fuzz target and the corpus test do with one input: walk it as a probe file,
// load every record it finds, and decode it as a bare payload. A record that loads must encode
// to bytes that decode to the same record again. Returns false when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "suite/probestore/probe_file.h"
#include "suite/probestore/text_store.h"

namespace probestore_test {

inline bool reencodes(const ProbeRecord& r, probestore::TextStore& texts) {
    const std::vector<std::uint8_t> once = probestore::encodeRecord(r, &texts);
    ProbeRecord again;
    if (!probestore::decodeRecord(once.data(), once.size(), texts, again)) return false;
    const bool same = probestore::encodeRecord(again, &texts) == once;
    texts.releaseRecordTexts(again);
    return same;
}

inline bool readProbeBytes(const std::uint8_t* data, std::size_t size) {
    probestore::TextStore texts;
    bool ok = true;
    probestore::MemorySource source(data, size);
    std::vector<probestore::RecordEntry> entries;
    if (probestore::scanRecords(source, entries)) {
        std::uint64_t next = 0;
        for (const auto& e : entries) {
            // Records are found in file order, each starting after the previous one.
            if (e.offset < next || e.offset >= size) ok = false;
            next = e.offset + 1;
            ProbeRecord r;
            if (probestore::loadEntry(source, e, texts, r)) {
                ok = ok && !e.damaged && reencodes(r, texts);
                texts.releaseRecordTexts(r);
            }
        }
    }
    ProbeRecord r;
    if (probestore::decodeRecord(data, size, texts, r)) {
        ok = ok && reencodes(r, texts);
        texts.releaseRecordTexts(r);
    }
    return ok && texts.liveBlocks() == 0;
}

}  // namespace probestore_test
