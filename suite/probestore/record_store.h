// The probe records of the collection, the scratch record apart from it, and the selection.
//
// Record sizes: the store holds one kind of record, the probe record of this build
// (sizeof(ProbeRecord): 456 bytes with 4-byte pointers, 512 with 8-byte pointers). A caller asks
// for it by either of those sizes (456 is what the editor passes on every build); 0 keeps the
// size in force, which is always the probe record. Any other size is refused.
#pragma once

#include <cstdint>
#include <vector>

#include "abi/probe_record.h"
#include "suite/probestore/text_store.h"

namespace probestore {

// More slots than this are refused, so that a wrong count cannot ask for terabytes.
inline constexpr std::uint32_t kMaxRecords = 1u << 22;

class RecordStore {
  public:
    RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;
    ~RecordStore();

    // Room for `count` records, all of them zero-filled: the records held before have their
    // texts released. A selected slot that no longer exists is deselected. On failure nothing
    // changes.
    bool allocate(std::uint32_t count, std::uint32_t size);
    // Selects slot `index`; when it does not exist nothing is selected.
    bool selectIndex(std::uint32_t index);
    void selectScratch();
    // The selected record, null when nothing is selected.
    ProbeRecord* selected();
    // Zero-fills the selected record after releasing its texts.
    bool resetSelected();
    // Exchanges the contents of two slots (texts travel with their records); the selection
    // stays on its slot number.
    bool swap(std::uint32_t a, std::uint32_t b);

    std::uint32_t count() const { return static_cast<std::uint32_t>(records_.size()); }
    // Slot `index`, null when it does not exist (the selection stays as it is).
    ProbeRecord* slot(std::uint32_t index) {
        return index < records_.size() ? &records_[index] : nullptr;
    }
    TextStore& texts() { return texts_; }

    static void zeroFill(ProbeRecord& record);

  private:
    enum class Selection { None, Scratch, Slot };

    TextStore texts_;
    std::vector<ProbeRecord> records_;
    ProbeRecord scratch_;
    Selection selection_ = Selection::None;
    std::uint32_t selectedIndex_ = 0;
};

}  // namespace probestore
