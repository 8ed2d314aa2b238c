#include "suite/probestore/record_store.h"

#include <cstring>
#include <utility>

namespace probestore {

RecordStore::RecordStore() {
    zeroFill(scratch_);
}

RecordStore::~RecordStore() {
    for (ProbeRecord& r : records_) texts_.releaseRecordTexts(r);
    texts_.releaseRecordTexts(scratch_);
}

void RecordStore::zeroFill(ProbeRecord& record) {
    std::memset(&record, 0, sizeof record);
}

bool RecordStore::allocate(std::uint32_t count, std::uint32_t size) {
    if (size != 0 && size != kProbeRecordSize32 && size != sizeof(ProbeRecord)) return false;
    if (count > kMaxRecords) return false;
    // The collection is replaced, never carried over: a slot whose record then fails to load
    // must not go on showing the probe that was there before. The new slots are made first, so
    // that a failure leaves the collection as it was.
    std::vector<ProbeRecord> fresh(count);
    for (ProbeRecord& r : fresh) zeroFill(r);
    for (ProbeRecord& r : records_) texts_.releaseRecordTexts(r);
    records_.swap(fresh);
    if (selection_ == Selection::Slot && selectedIndex_ >= count) selection_ = Selection::None;
    return true;
}

bool RecordStore::selectIndex(std::uint32_t index) {
    if (index >= records_.size()) {
        selection_ = Selection::None;
        return false;
    }
    selection_ = Selection::Slot;
    selectedIndex_ = index;
    return true;
}

void RecordStore::selectScratch() {
    selection_ = Selection::Scratch;
}

ProbeRecord* RecordStore::selected() {
    switch (selection_) {
        case Selection::Scratch:
            return &scratch_;
        case Selection::Slot:
            return selectedIndex_ < records_.size() ? &records_[selectedIndex_] : nullptr;
        case Selection::None:
            break;
    }
    return nullptr;
}

bool RecordStore::resetSelected() {
    ProbeRecord* r = selected();
    if (r == nullptr) return false;
    texts_.releaseRecordTexts(*r);
    zeroFill(*r);
    return true;
}

bool RecordStore::swap(std::uint32_t a, std::uint32_t b) {
    if (a >= records_.size() || b >= records_.size()) return false;
    if (a != b) std::swap(records_[a], records_[b]);
    return true;
}

}  // namespace probestore
