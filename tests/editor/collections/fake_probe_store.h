// A probe store of plain functions over one global state, for driving the probe file commands:
// slots, a temporary record, probe files as lists of records (or unreadable entries), and a log
// of every call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "probe_core/files/probe_store.h"

namespace fake {

struct StoredProbe {
    std::string proizvoditel, model, nazvanie;  // cp1251
};

struct Record {
    ProbeRecord rec{};
    std::string texts[3];
    std::string id;  // which probe this is, for checking what went where
};

struct ProbeStore {
    std::vector<std::unique_ptr<Record>> slots;
    Record temporary;
    Record* selected = nullptr;
    // A file: per record the probe, or nothing for a record that cannot be read.
    std::map<std::string, std::vector<std::optional<StoredProbe>>> files;
    std::map<std::string, std::vector<std::string>> written;  // ids appended per file
    std::uint32_t failSaveAtCall = 0xFFFFFFFFu;  // 0-based SohranitDatchik call that fails
    std::uint32_t saveCalls = 0;
    bool failAllocation = false;
    std::set<std::uint32_t> unselectable;  // slots that exist but cannot be selected
    std::vector<std::string> log;
    // Batches, offered by extras(): the ids added since the last commit or drop, and what a
    // commit that fails says (kNone: commits succeed).
    std::vector<std::string> batch;
    contracts::ProbeFileError failCommit = contracts::ProbeFileError::kNone;
    contracts::ProbeFileError lastError = contracts::ProbeFileError::kNone;

    ProbeStore();
    ~ProbeStore();
    contracts::ProbeStoreApi api() const;
    probefiles::StoreExtras extras() const;
    void allocate(std::uint32_t count);
    static void fill(Record& r, const StoredProbe& p, const std::string& id);
    // Index of a record pointer among the slots, -1 for the temporary record or a stranger.
    int slotOf(const ProbeRecord* r) const;
};

}  // namespace fake
