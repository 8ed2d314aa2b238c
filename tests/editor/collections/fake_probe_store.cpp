#include "fake_probe_store.h"

#include <cassert>

namespace fake {

namespace {

ProbeStore* g = nullptr;

BoolByte PLUGIN_CALL allocateRecords(std::uint32_t count, std::uint32_t size) {
    g->log.push_back("VidelitPamyatDlyaDatchikov(" + std::to_string(count) + "," +
                     std::to_string(size) + ")");
    if (g->failAllocation) return kFalse;
    g->allocate(count);
    return kTrue;
}
BoolByte PLUGIN_CALL selectByIndex(std::uint32_t index) {
    g->log.push_back("VibratDatchikPoIndeksu(" + std::to_string(index) + ")");
    if (index >= g->slots.size() || g->unselectable.count(index)) {
        g->selected = nullptr;
        return kFalse;
    }
    g->selected = g->slots[index].get();
    return kTrue;
}
BoolByte PLUGIN_CALL selectTemporary() {
    g->log.push_back("VibratVremenniyDatchik");
    g->selected = &g->temporary;
    return kTrue;
}
ProbeRecord* PLUGIN_CALL selectedRecord() {
    return g->selected ? &g->selected->rec : nullptr;
}
BoolByte PLUGIN_CALL saveSelected(const char* fileName) {
    const std::uint32_t call = g->saveCalls++;
    g->log.push_back("SohranitDatchik");
    if (call == g->failSaveAtCall || !g->selected) return kFalse;
    g->written[fileName].push_back(g->selected->id);
    return kTrue;
}
std::uint32_t PLUGIN_CALL countInFile(const char* fileName) {
    auto it = g->files.find(fileName);
    return it == g->files.end() ? 0 : static_cast<std::uint32_t>(it->second.size());
}
BoolByte PLUGIN_CALL loadIntoSelected(const char* fileName, std::uint32_t number) {
    g->log.push_back("ZagruzitDatchik(" + std::to_string(number) + ")");
    auto it = g->files.find(fileName);
    if (!g->selected || it == g->files.end() || number >= it->second.size() || !it->second[number])
        return kFalse;
    ProbeStore::fill(*g->selected, *it->second[number],
                     std::string(fileName) + "#" + std::to_string(number));
    return kTrue;
}

BoolByte PLUGIN_CALL addToBatch(const ProbeRecord* record) {
    g->log.push_back("AddProbeToBatch");
    const int slot = g->slotOf(record);
    if (slot < 0) return kFalse;
    g->batch.push_back(g->slots[static_cast<std::size_t>(slot)]->id);
    return kTrue;
}
BoolByte PLUGIN_CALL commitBatch(const char* fileName) {
    g->log.push_back("CommitProbeBatch");
    g->lastError = g->failCommit;
    if (g->failCommit == contracts::ProbeFileError::kNone) {
        auto& file = g->written[fileName];
        file.insert(file.end(), g->batch.begin(), g->batch.end());
    }
    g->batch.clear();
    return g->failCommit == contracts::ProbeFileError::kNone ? kTrue : kFalse;
}
BoolByte PLUGIN_CALL dropBatch() {
    g->batch.clear();
    return kTrue;
}
std::uint32_t PLUGIN_CALL lastFileError() {
    return static_cast<std::uint32_t>(g->lastError);
}

}  // namespace

ProbeStore::ProbeStore() {
    assert(g == nullptr);
    g = this;
}
ProbeStore::~ProbeStore() {
    g = nullptr;
}

void ProbeStore::allocate(std::uint32_t count) {
    // New storage every time, so that a pointer kept across a re-allocation would be caught by
    // the sanitizers and by slotOf.
    slots.clear();
    for (std::uint32_t i = 0; i < count; ++i) slots.push_back(std::make_unique<Record>());
    selected = nullptr;
}

void ProbeStore::fill(Record& r, const StoredProbe& p, const std::string& id) {
    r.texts[0] = p.proizvoditel;
    r.texts[1] = p.model;
    r.texts[2] = p.nazvanie;
    r.rec.Proizvoditel.text = r.texts[0].data();
    r.rec.Model.text = r.texts[1].data();
    r.rec.Nazvanie.text = r.texts[2].data();
    r.id = id;
}

int ProbeStore::slotOf(const ProbeRecord* r) const {
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (&slots[i]->rec == r) return static_cast<int>(i);
    return -1;
}

contracts::ProbeStoreApi ProbeStore::api() const {
    contracts::ProbeStoreApi a;
    a.VidelitPamyatDlyaDatchikov = allocateRecords;
    a.VibratDatchikPoIndeksu = selectByIndex;
    a.VibratVremenniyDatchik = selectTemporary;
    a.PoluchitVibranniyDatchik = selectedRecord;
    a.SohranitDatchik = saveSelected;
    a.ZagruzitKolichestvoDatchikov = countInFile;
    a.ZagruzitDatchik = loadIntoSelected;
    return a;
}

probefiles::StoreExtras ProbeStore::extras() const {
    probefiles::StoreExtras e;
    e.add = addToBatch;
    e.commit = commitBatch;
    e.drop = dropBatch;
    e.lastError = lastFileError;
    return e;
}

}  // namespace fake
