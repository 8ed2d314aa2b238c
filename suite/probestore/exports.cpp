// The thirteen plain-named exports of the probe store, and the four of its batches. One store per
// loaded library; like the rest of the tool set it is used from one thread. No exception leaves an
// export: a failure of any kind (memory included) is answered with false, 0 or null.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
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

// The bytes of later minor versions' fields, by the record they were loaded into.
std::unordered_map<const ProbeRecord*, std::vector<std::uint8_t>>& trailingBytes() {
    static std::unordered_map<const ProbeRecord*, std::vector<std::uint8_t>> instance;
    return instance;
}

const std::vector<std::uint8_t>* trailingOf(const ProbeRecord* r) {
    const auto it = trailingBytes().find(r);
    return it != trailingBytes().end() && !it->second.empty() ? &it->second : nullptr;
}

// The payload of a record, the trailing bytes after its known fields; empty when it would pass
// the largest payload.
std::vector<std::uint8_t> payloadOf(const ProbeRecord& r, const probestore::TextStore* texts,
                                    const std::uint8_t* trailing, std::size_t size) {
    std::vector<std::uint8_t> payload = probestore::encodeRecord(r, texts);
    if (payload.empty() || size == 0) return payload;
    if (size > probestore::kMaxPayloadSize - payload.size()) return {};
    payload.insert(payload.end(), trailing, trailing + size);
    return payload;
}

bool addToBatch(const ProbeRecord* record, const std::uint8_t* trailing, std::size_t size) {
    if (record == nullptr || (trailing == nullptr && size != 0)) return false;
    const std::vector<std::uint8_t> payload = payloadOf(*record, nullptr, trailing, size);
    if (payload.empty()) return false;
    const std::vector<std::uint8_t> frame = probestore::encodeFrame(payload);
    return batch().append(frame.data(), frame.size());
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
    return guarded([&] {
        if (!store().allocate(count, size)) return false;
        trailingBytes().clear();
        return true;
    });
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
    return guarded([&] {
        trailingBytes().erase(store().selected());
        return store().resetSelected();
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL ObmenyatDatchiki(std::uint32_t a, std::uint32_t b) {
    return guarded([&] {
        // The records trade places; what they carry goes with them.
        ProbeRecord* ra = store().slot(a);
        ProbeRecord* rb = store().slot(b);
        if (!store().swap(a, b)) return false;
        auto& t = trailingBytes();
        std::vector<std::uint8_t> ta = t[ra], tb = t[rb];
        t[ra] = std::move(tb);
        t[rb] = std::move(ta);
        return true;
    });
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
        const std::vector<std::uint8_t>* trailing = trailingOf(r);
        return files().append(fileName,
                              payloadOf(*r, &store().texts(), trailing ? trailing->data() : nullptr,
                                        trailing ? trailing->size() : 0));
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
        std::vector<std::uint8_t> trailing;
        if (!files().load(fileName, number, store().texts(), loaded, &trailing)) return false;
        store().texts().releaseRecordTexts(*r);
        std::memcpy(r, &loaded, sizeof loaded);
        if (trailing.empty())
            trailingBytes().erase(r);
        else
            trailingBytes()[r] = std::move(trailing);
        return true;
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL AddProbeToBatch(const ProbeRecord* record) {
    return guarded([&] {
        const std::vector<std::uint8_t>* trailing = trailingOf(record);
        return addToBatch(record, trailing ? trailing->data() : nullptr,
                          trailing ? trailing->size() : 0);
    });
}

PLUGIN_EXPORT BoolByte PLUGIN_CALL AddProbeToBatchWithTrailing(const ProbeRecord* record,
                                                               const std::uint8_t* trailing,
                                                               std::uint32_t size) {
    return guarded([&] { return addToBatch(record, trailing, size); });
}

PLUGIN_EXPORT const std::uint8_t* PLUGIN_CALL RecordTrailingBytes(const ProbeRecord* record,
                                                                  std::uint32_t* size) {
    const std::vector<std::uint8_t>* trailing = trailingOf(record);
    if (size != nullptr) *size = trailing ? static_cast<std::uint32_t>(trailing->size()) : 0;
    return trailing ? trailing->data() : nullptr;
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
