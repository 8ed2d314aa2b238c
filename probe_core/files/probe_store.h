// The probe store library bound through the editor's loader, as the editor binds it, with the few
// operations the commands need. Texts and file names handed to it are cp1251.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "probe_core/biblioteki/biblioteki.h"
#include "probe_core/files/boundary.h"

namespace probefiles {

// The loader's message boxes kept as text ("title: text", one line per box), for the client to
// hand on as an error value.
class KeptBoxes final : public biblioteki::MessageBoxes {
  public:
    void show(const std::string& title, const std::string& text) override;
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// The store's entries beyond the thirteen of the bound table, looked up by name in its module:
// batches, the cause of a failed commit, the bytes later versions added to a record. Null where
// the library lacks them (an older one).
struct StoreExtras {
    contracts::AddProbeToBatchFn add = nullptr;
    contracts::CommitProbeBatchFn commit = nullptr;
    contracts::DropProbeBatchFn drop = nullptr;
    contracts::LastProbeFileErrorFn lastError = nullptr;
    contracts::RecordTrailingBytesFn trailing = nullptr;
    contracts::AddProbeToBatchWithTrailingFn addWithTrailing = nullptr;
};
// Those of the probe store `loader` has loaded; none while it has not loaded it.
StoreExtras extrasOf(const biblioteki::Biblioteki& loader);

class ProbeStore {
  public:
    // Loads "probestore.dll" and allocates the one record that appends go through. On failure
    // ready() is false and loaderMessage() holds the loader's message (empty when the store
    // loaded but could not allocate its record).
    ProbeStore();
    // Over a store that another part of the program has bound and keeps loaded (the editor's
    // loader), whose table `bound` stays valid meanwhile: nothing is loaded, allocated or
    // unloaded here, so the caller's collection stays as it is, and appends write the record the
    // caller has selected (any other one through the scratch record). The store must stay loaded
    // until this goes (its end drops the batch). ready() is false when the table lacks an entry
    // the client calls.
    ProbeStore(const contracts::ProbeStoreApi& bound, const StoreExtras& extras);
    ~ProbeStore();
    ProbeStore(const ProbeStore&) = delete;
    ProbeStore& operator=(const ProbeStore&) = delete;

    bool ready() const { return ready_; }
    const std::string& loaderMessage() const { return boxes_.text(); }
    const contracts::ProbeStoreApi& api() const {
        return bound_ != nullptr ? *bound_ : loader_.probeStore();
    }

    std::uint32_t count(const std::string& file);
    // Reads record `index` (from 0) of `file` into the store's scratch record and selects it;
    // null when the record cannot be loaded. Valid until the next call.
    const ProbeRecord* load(const std::string& file, std::uint32_t index);
    // Reads record `index` of `file` into the record the caller has selected (a slot of its own
    // collection); false when it does not load, the record then as it was.
    bool loadIntoSelected(const std::string& file, std::uint32_t index);
    // Appends a copy of `record` (texts and lists copied by the store) to `file`.
    bool append(const std::string& file, const ProbeRecord& record);

    // The store's batches: records added one by one go into a file as one unit. False when the
    // store has no batches (an older library).
    bool hasBatches() const { return batch_.add && batch_.commit && batch_.drop; }
    bool addToBatch(const ProbeRecord& record);
    bool commitBatch(const std::string& file);
    // The bytes of fields a later minor version added that the record load() returned carries
    // (empty from a store that does not keep them); valid until the next load().
    std::span<const std::uint8_t> trailingOf(const ProbeRecord& record) const;
    // Whether the store can add a record to a batch with such bytes after its fields.
    bool takesTrailing() const { return hasBatches() && batch_.addWithTrailing != nullptr; }
    bool addToBatch(const ProbeRecord& record, std::span<const std::uint8_t> trailing);
    // Why the last commitBatch failed (kOther from a store that does not say).
    contracts::ProbeFileError lastFileError() const;
    void dropBatch();

  private:
    bool appendThroughBound(const std::string& file, const ProbeRecord& record);

    const contracts::ProbeStoreApi* bound_ = nullptr;  // a table the caller keeps, or none
    KeptBoxes boxes_;
    biblioteki::Biblioteki loader_;
    bool ready_ = false;
    StoreExtras batch_;
};

}  // namespace probefiles
