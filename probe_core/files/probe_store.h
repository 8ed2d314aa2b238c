// The probe store library bound through the editor's loader, as the editor binds it, with the few
// operations the commands need. Texts and file names handed to it are cp1251.
#pragma once

#include <cstdint>
#include <iosfwd>
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

class ProbeStore {
  public:
    // Loads "probestore.dll" and allocates the one record that appends go through. On failure
    // ready() is false and loaderMessage() holds the loader's message (empty when the store
    // loaded but could not allocate its record).
    ProbeStore();
    // The same, writing the loader's message to `err` (for callers not yet on the client).
    explicit ProbeStore(std::ostream& err);
    ~ProbeStore();
    ProbeStore(const ProbeStore&) = delete;
    ProbeStore& operator=(const ProbeStore&) = delete;

    bool ready() const { return ready_; }
    const std::string& loaderMessage() const { return boxes_.text(); }
    const contracts::ProbeStoreApi& api() const { return loader_.probeStore(); }

    std::uint32_t count(const std::string& file);
    // Reads record `index` (from 0) of `file` into the store's scratch record and selects it;
    // null when the record cannot be loaded. Valid until the next call.
    const ProbeRecord* load(const std::string& file, std::uint32_t index);
    // Appends the selected record (the one load() returned) to `file`.
    bool appendSelected(const std::string& file);
    // Appends a copy of `record` (texts and lists copied by the store) to `file`.
    bool append(const std::string& file, const ProbeRecord& record);

    // The store's batches: records added one by one go into a file as one unit. False when the
    // store has no batches (an older library).
    bool hasBatches() const { return batch_.add && batch_.commit && batch_.drop; }
    bool addToBatch(const ProbeRecord& record);
    bool commitBatch(const std::string& file);
    // How many bytes of fields a later minor version added the record load() returned carries
    // (0 from a store that does not keep them).
    std::uint32_t trailingBytes(const ProbeRecord& record) const;
    // Those bytes themselves (empty from a store that does not keep them); valid until the next
    // load().
    std::span<const std::uint8_t> trailingOf(const ProbeRecord& record) const;
    // Whether the store can add a record to a batch with such bytes after its fields.
    bool takesTrailing() const { return hasBatches() && batch_.addWithTrailing != nullptr; }
    bool addToBatch(const ProbeRecord& record, std::span<const std::uint8_t> trailing);
    // Why the last commitBatch failed (kOther from a store that does not say).
    contracts::ProbeFileError lastFileError() const;
    void dropBatch();

  private:
    KeptBoxes boxes_;
    biblioteki::Biblioteki loader_;
    bool ready_ = false;
    struct {
        contracts::AddProbeToBatchFn add = nullptr;
        contracts::CommitProbeBatchFn commit = nullptr;
        contracts::DropProbeBatchFn drop = nullptr;
        contracts::LastProbeFileErrorFn lastError = nullptr;
        contracts::RecordTrailingBytesFn trailing = nullptr;
        contracts::AddProbeToBatchWithTrailingFn addWithTrailing = nullptr;
    } batch_;
};

}  // namespace probefiles

// The store's former home, for callers not yet on the client (python/).
namespace probetool {
using probefiles::ProbeStore;
}  // namespace probetool
