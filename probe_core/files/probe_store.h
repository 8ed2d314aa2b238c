// The probe store library bound through the editor's loader, as the editor binds it, with the few
// operations the commands need. Texts and file names handed to it are cp1251.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "probe_core/biblioteki/biblioteki.h"
#include "probe_core/files/boundary.h"

namespace probetool {

// The loader's message boxes as lines on the error stream.
class StreamBoxes final : public biblioteki::MessageBoxes {
  public:
    explicit StreamBoxes(std::ostream& err) : err_(err) {}
    void show(const std::string& title, const std::string& text) override;

  private:
    std::ostream& err_;
};

class ProbeStore {
  public:
    // Loads "probestore.dll" and allocates the one record that appends go through. On failure
    // the loader's message has gone to `err` and ready() is false.
    explicit ProbeStore(std::ostream& err);
    ~ProbeStore();
    ProbeStore(const ProbeStore&) = delete;
    ProbeStore& operator=(const ProbeStore&) = delete;

    bool ready() const { return ready_; }
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
    void dropBatch();

  private:
    StreamBoxes boxes_;
    biblioteki::Biblioteki loader_;
    bool ready_ = false;
    struct {
        contracts::AddProbeToBatchFn add = nullptr;
        contracts::CommitProbeBatchFn commit = nullptr;
        contracts::DropProbeBatchFn drop = nullptr;
    } batch_;
};

}  // namespace probetool
