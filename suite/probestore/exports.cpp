// The thirteen plain-named exports of the probe store, and the three of its batches. One store per
// loaded library; like the rest of the tool set it is used from one thread. No exception leaves an
// export: a failure of any kind (memory included) is answered with false, 0 or null.
#include <cstring>
#include <new>
#include <vector>

#include "abi/plugin.h"
#include "abi/probe_record.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/probe_file_cache.h"
#include "suite/probestore/record_store.h"

namespace {

probestore::RecordStore& store() {
    static probestore::RecordStore instance;
    return instance;
}

probestore::ProbeFiles& files() {
    static probestore::ProbeFiles instance;
    return instance;
}

// The records of a batch, framed, waiting for CommitProbeBatch.
struct Batch {
    std::vector<std::uint8_t> frames;
};
Batch& batch() {
    static Batch instance;
    return instance;
}

template <typename Fn>
BoolByte guarded(Fn fn) {
    try {
        return fn() ? kTrue : kFalse;
    } catch (...) {
        return kFalse;
    }
}

}  // namespace

PLUGIN_EXPORT BoolByte PLUGIN_CALL VidelitPamyatDlyaDatchikov(std::uint32_t count,
                                                              std::uint32_t size) {
    return guarded([&] { return store().allocate(count, size); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL VibratDatchikPoIndeksu(std::uint32_t index) {
    return guarded([&] { return store().selectIndex(index); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL VibratVremenniyDatchik() {
    return guarded([&] {
        store().selectScratch();
        return true;
    });
}

PLUGIN_EXPORT ProbeRecord* PLUGIN_CALL PoluchitVibranniyDatchik() {
    return store().selected();
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL InicializirovatDatchik() {
    return guarded([&] { return store().resetSelected(); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL ObmenyatDatchiki(std::uint32_t a, std::uint32_t b) {
    return guarded([&] { return store().swap(a, b); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL SozdatStroku(Stroka* field, TextCallback text, void* context) {
    return guarded([&] { return store().texts().createTextCell(field, text, context); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL UdalitStroku(Stroka* field) {
    return guarded([&] { return store().texts().releaseTextCell(field); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL SozdatSpisok(Spisok* field, TextCallback line,
                                                std::uint32_t count, void* context) {
    return guarded([&] { return store().texts().createListCell(field, line, count, context); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL UdalitSpisok(Spisok* field) {
    return guarded([&] { return store().texts().releaseListCell(field); });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL SohranitDatchik(const char* fileName) {
    return guarded([&] {
        const ProbeRecord* r = store().selected();
        if (r == nullptr || fileName == nullptr) return false;
        return files().append(fileName, probestore::encodeRecord(*r, &store().texts()));
    });
}

PLUGIN_EXPORT std::uint32_t PLUGIN_CALL ZagruzitKolichestvoDatchikov(const char* fileName) {
    try {
        return fileName != nullptr ? files().count(fileName) : 0;
    } catch (...) {
        return 0;
    }
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL ZagruzitDatchik(const char* fileName, std::uint32_t number) {
    return guarded([&] {
        ProbeRecord* r = store().selected();
        if (r == nullptr || fileName == nullptr) return false;
        // Decode aside and take the result only when the whole record was read, so a failed
        // load leaves the selected record as it was.
        ProbeRecord loaded;
        if (!files().load(fileName, number, store().texts(), loaded)) return false;
        store().texts().releaseRecordTexts(*r);
        std::memcpy(r, &loaded, sizeof loaded);
        return true;
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL AddProbeToBatch(const ProbeRecord* record) {
    return guarded([&] {
        if (record == nullptr) return false;
        const std::vector<std::uint8_t> payload = probestore::encodeRecord(*record);
        if (payload.empty()) return false;
        const std::vector<std::uint8_t> frame = probestore::encodeFrame(payload);
        std::vector<std::uint8_t>& frames = batch().frames;
        frames.insert(frames.end(), frame.begin(), frame.end());
        return true;
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL CommitProbeBatch(const char* fileName) {
    const BoolByte done = guarded(
        [&] { return fileName != nullptr && files().appendBatch(fileName, batch().frames); });
    std::vector<std::uint8_t>().swap(batch().frames);
    return done;
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL DropProbeBatch() {
    std::vector<std::uint8_t>().swap(batch().frames);
    return kTrue;
}
