// What a probe record holds, as values. A record's texts and lists are the probe store's, so a
// copy of a record is a copy of its contents: this one compares records across the store's
// re-allocations and puts a record back as it was. Made field by field from the field table, so
// that no field can be missed by the editor's change tracking or its undo.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "abi/probe_record.h"
#include "abi/probestore.h"

namespace probe {

struct ProbeContents {
    // Words, prices and scales as they stand; quantities and dates by their bits, so that equal
    // contents compare equal whatever they hold; texts and lines as the store keeps them
    // (cp1251); reserved bytes as they stand.
    using Value = std::variant<std::uint32_t, std::int32_t, std::uint64_t, std::string,
                               std::vector<std::string>, std::vector<std::uint8_t>>;

    // The contents of a fresh record: zeros, no texts, no lines.
    ProbeContents();
    // One value per row of the field table, in its order.
    std::vector<Value> values;

    bool operator==(const ProbeContents&) const = default;
};

ProbeContents contentsOf(const ProbeRecord& record);
// Puts `contents` into a record of the store: plain fields in place, texts and lists through the
// store, as the pages store them.
void restoreContents(const contracts::ProbeStoreApi& store, ProbeRecord& record,
                     const ProbeContents& contents);

}  // namespace probe
