// The thirteen plain-named exports of the probe store, and the four of its batches. One store per
// loaded library; like the rest of the tool set it is used from one thread. No exception leaves an
// export: a failure of any kind (memory included) is answered with false, 0 or null.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "abi/plugin.h"
#include "abi/probe_record.h"
#include "abi/probestore.h"
#include "platform/spool_file.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/probe_file_cache.h"
#include "suite/probestore/probe_file_format.h"
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

// The records of a batch, framed, waiting for CommitProbeBatch: a megabyte in memory, the rest in
// a temporary file, so that a batch of any size costs the same memory.
platform::SpoolFile& batch() {
    static platform::SpoolFile instance;
    return instance;
}

// Why the last commit failed.
contracts::ProbeFileError& lastError() {
    static contracts::ProbeFileError instance = contracts::ProbeFileError::kNone;
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
        return batch().append(frame.data(), frame.size());
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL CommitProbeBatch(const char* fileName) {
    lastError() = contracts::ProbeFileError::kOther;
    const BoolByte done = guarded([&] {
        if (fileName == nullptr) return false;
        lastError() = files().appendBatch(fileName, batch());
        return lastError() == contracts::ProbeFileError::kNone;
    });
    batch().clear();
    return done;
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL DropProbeBatch() {
    batch().clear();
    return kTrue;
}

PLUGIN_EXPORT std::uint32_t PLUGIN_CALL LastProbeFileError() {
    return static_cast<std::uint32_t>(lastError());
}
