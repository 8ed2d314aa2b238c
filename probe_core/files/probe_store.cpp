#include "probe_core/files/probe_store.h"

#include "platform/dynlib.h"
#include "probe_core/record/record_cells.h"

namespace probefiles {

void KeptBoxes::show(const std::string& title, const std::string& text) {
    // The boxes break lines with "\r\n"; a message wants "\n".
    std::string lines;
    for (char c : text)
        if (c != '\r') lines += c;
    while (!lines.empty() && lines.back() == '\n') lines.pop_back();
    if (!text_.empty()) text_ += '\n';
    text_ += title + ": " + lines;
}

ProbeStore::ProbeStore() : loader_(biblioteki::systemPlatform(), boxes_) {
    if (!loader_.ZagruzitBiblioteki(biblioteki::kProbeStore)) return;
    const contracts::ProbeStoreApi& store = api();
    ready_ = isTrue(store.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32));
    if (!ready_) return;
    batch_ = extrasOf(loader_);
}

StoreExtras extrasOf(const biblioteki::Biblioteki& loader) {
    StoreExtras extras;
    if (!loader.isLoaded(biblioteki::kProbeStore)) return extras;
    void* module = loader.moduleHandle(biblioteki::kSlotProbeStore);
    if (module == nullptr) return extras;
    extras.add = reinterpret_cast<contracts::AddProbeToBatchFn>(
        platform::findExport(module, contracts::kAddProbeToBatch));
    extras.commit = reinterpret_cast<contracts::CommitProbeBatchFn>(
        platform::findExport(module, contracts::kCommitProbeBatch));
    extras.drop = reinterpret_cast<contracts::DropProbeBatchFn>(
        platform::findExport(module, contracts::kDropProbeBatch));
    extras.lastError = reinterpret_cast<contracts::LastProbeFileErrorFn>(
        platform::findExport(module, contracts::kLastProbeFileError));
    extras.trailing = reinterpret_cast<contracts::RecordTrailingBytesFn>(
        platform::findExport(module, contracts::kRecordTrailingBytes));
    extras.addWithTrailing = reinterpret_cast<contracts::AddProbeToBatchWithTrailingFn>(
        platform::findExport(module, contracts::kAddProbeToBatchWithTrailing));
    return extras;
}

ProbeStore::ProbeStore(const contracts::ProbeStoreApi& bound, const StoreExtras& extras)
    : bound_(&bound), loader_(biblioteki::systemPlatform(), boxes_) {
    ready_ = bound.VibratDatchikPoIndeksu && bound.VibratVremenniyDatchik &&
             bound.PoluchitVibranniyDatchik && bound.SohranitDatchik && bound.ZagruzitDatchik &&
             bound.ZagruzitKolichestvoDatchikov;
    batch_ = extras;
}

ProbeStore::~ProbeStore() {
    dropBatch();
    loader_.VigruzitBiblioteki(biblioteki::kAllSlots);
}

std::uint32_t ProbeStore::count(const std::string& file) {
    return api().ZagruzitKolichestvoDatchikov(file.c_str());
}

const ProbeRecord* ProbeStore::load(const std::string& file, std::uint32_t index) {
    const contracts::ProbeStoreApi& store = api();
    store.VibratVremenniyDatchik();
    const ProbeRecord* record = store.PoluchitVibranniyDatchik();
    if (record == nullptr || !isTrue(store.ZagruzitDatchik(file.c_str(), index))) return nullptr;
    return record;
}

bool ProbeStore::loadIntoSelected(const std::string& file, std::uint32_t index) {
    return isTrue(api().ZagruzitDatchik(file.c_str(), index));
}

bool ProbeStore::append(const std::string& file, const ProbeRecord& record) {
    if (bound_ != nullptr) return appendThroughBound(file, record);
    const contracts::ProbeStoreApi& store = api();
    if (!isTrue(store.VibratDatchikPoIndeksu(0))) return false;
    ProbeRecord* target = store.PoluchitVibranniyDatchik();
    if (target == nullptr) return false;
    probe::copyRecord(record, *target, store);
    return isTrue(store.SohranitDatchik(file.c_str()));
}

bool ProbeStore::appendThroughBound(const std::string& file, const ProbeRecord& record) {
    // The caller's selected record is written as it is, with the bytes of later versions the
    // store keeps with it; any other record is copied into the scratch record, so that no record
    // of the caller's collection changes.
    const contracts::ProbeStoreApi& store = api();
    if (store.PoluchitVibranniyDatchik() != &record) {
        if (!store.SozdatStroku || !store.UdalitStroku || !store.SozdatSpisok ||
            !store.UdalitSpisok || !isTrue(store.VibratVremenniyDatchik()))
            return false;
        ProbeRecord* scratch = store.PoluchitVibranniyDatchik();
        if (scratch == nullptr) return false;
        if (scratch != &record) probe::copyRecord(record, *scratch, store);
    }
    return isTrue(store.SohranitDatchik(file.c_str()));
}

bool ProbeStore::addToBatch(const ProbeRecord& record) {
    return hasBatches() && isTrue(batch_.add(&record));
}

bool ProbeStore::commitBatch(const std::string& file) {
    return hasBatches() && isTrue(batch_.commit(file.c_str()));
}

std::span<const std::uint8_t> ProbeStore::trailingOf(const ProbeRecord& record) const {
    std::uint32_t size = 0;
    const std::uint8_t* bytes =
        batch_.trailing != nullptr ? batch_.trailing(&record, &size) : nullptr;
    if (bytes == nullptr) return {};
    return {bytes, size};
}

bool ProbeStore::addToBatch(const ProbeRecord& record, std::span<const std::uint8_t> trailing) {
    if (trailing.empty()) return addToBatch(record);
    return takesTrailing() && trailing.size() <= UINT32_MAX &&
           isTrue(batch_.addWithTrailing(&record, trailing.data(),
                                         static_cast<std::uint32_t>(trailing.size())));
}

contracts::ProbeFileError ProbeStore::lastFileError() const {
    return batch_.lastError != nullptr ? static_cast<contracts::ProbeFileError>(batch_.lastError())
                                       : contracts::ProbeFileError::kOther;
}

void ProbeStore::dropBatch() {
    if (hasBatches()) batch_.drop();
}

}  // namespace probefiles
