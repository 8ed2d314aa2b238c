#include "probe_core/files/probe_store.h"

#include <ostream>

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

ProbeStore::ProbeStore(std::ostream& err) : ProbeStore() {
    if (!ready_)
        err << (loaderMessage().empty() ? "Библиотека probestore.dll не выделила память для датчика"
                                        : loaderMessage())
            << '\n';
}

ProbeStore::ProbeStore() : loader_(biblioteki::systemPlatform(), boxes_) {
    if (!loader_.ZagruzitBiblioteki(biblioteki::kProbeStore)) return;
    const contracts::ProbeStoreApi& store = api();
    ready_ = isTrue(store.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32));
    if (!ready_) return;
    void* module = loader_.moduleHandle(biblioteki::kSlotProbeStore);
    batch_.add = reinterpret_cast<contracts::AddProbeToBatchFn>(
        platform::findExport(module, contracts::kAddProbeToBatch));
    batch_.commit = reinterpret_cast<contracts::CommitProbeBatchFn>(
        platform::findExport(module, contracts::kCommitProbeBatch));
    batch_.drop = reinterpret_cast<contracts::DropProbeBatchFn>(
        platform::findExport(module, contracts::kDropProbeBatch));
    batch_.lastError = reinterpret_cast<contracts::LastProbeFileErrorFn>(
        platform::findExport(module, contracts::kLastProbeFileError));
    batch_.trailing = reinterpret_cast<contracts::RecordTrailingBytesFn>(
        platform::findExport(module, contracts::kRecordTrailingBytes));
    batch_.addWithTrailing = reinterpret_cast<contracts::AddProbeToBatchWithTrailingFn>(
        platform::findExport(module, contracts::kAddProbeToBatchWithTrailing));
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

bool ProbeStore::appendSelected(const std::string& file) {
    return isTrue(api().SohranitDatchik(file.c_str()));
}

bool ProbeStore::append(const std::string& file, const ProbeRecord& record) {
    const contracts::ProbeStoreApi& store = api();
    if (!isTrue(store.VibratDatchikPoIndeksu(0))) return false;
    ProbeRecord* target = store.PoluchitVibranniyDatchik();
    if (target == nullptr) return false;
    probe::copyRecord(record, *target, store);
    return isTrue(store.SohranitDatchik(file.c_str()));
}

bool ProbeStore::addToBatch(const ProbeRecord& record) {
    return hasBatches() && isTrue(batch_.add(&record));
}

bool ProbeStore::commitBatch(const std::string& file) {
    return hasBatches() && isTrue(batch_.commit(file.c_str()));
}

std::uint32_t ProbeStore::trailingBytes(const ProbeRecord& record) const {
    std::uint32_t size = 0;
    if (batch_.trailing != nullptr) batch_.trailing(&record, &size);
    return size;
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
