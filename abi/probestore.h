// The probe store library ("probestore.dll"): thirteen plain-named exports that own the probe
// records, their texts and lists, the selection and the probe files.
//
// Pointers handed in (file names, cells, callbacks and their contexts) are borrowed for the call
// only. Everything the store hands out is owned by the store.
#pragma once

#include <cstdint>

#include "plugin.h"
#include "probe_record.h"

namespace contracts {

// Room for `count` records of `size` bytes (0 keeps the size already in force). Pointers to
// records of the collection handed out before may be invalid afterwards.
using VidelitPamyatDlyaDatchikovFn = BoolByte PLUGIN_CALL (*)(std::uint32_t count,
                                                              std::uint32_t size);
// Selects record `index`; false (and nothing selected) when it does not exist.
using VibratDatchikPoIndeksuFn = BoolByte PLUGIN_CALL (*)(std::uint32_t index);
// Selects the scratch record that lies apart from the collection.
using VibratVremenniyDatchikFn = BoolByte PLUGIN_CALL (*)();
// The selected record, null when none is selected. Owned by the store; valid until the next
// VidelitPamyatDlyaDatchikov or the store's unload (a host fetches it after every selection).
using PoluchitVibranniyDatchikFn = ProbeRecord* PLUGIN_CALL (*)();
// Resets the selected record in place.
using InicializirovatDatchikFn = BoolByte PLUGIN_CALL (*)();
// Swaps two records of the collection (never called by the editor).
using ObmenyatDatchikiFn = BoolByte PLUGIN_CALL (*)(std::uint32_t a, std::uint32_t b);
// Appends the selected record to a probe file. fileName: cp1251, borrowed for the call.
using SohranitDatchikFn = BoolByte PLUGIN_CALL (*)(const char* fileName);
// Reads record `number` of a probe file into the selected record. fileName: borrowed.
using ZagruzitDatchikFn = BoolByte PLUGIN_CALL (*)(const char* fileName, std::uint32_t number);
// Number of records in a probe file; 0 when it holds none or cannot be read. fileName: borrowed.
using ZagruzitKolichestvoDatchikovFn = std::uint32_t PLUGIN_CALL (*)(const char* fileName);
// The field points to the store's copy of the text the callback hands out. field: a cell of a
// record the store handed out; text and context: borrowed for the call.
using SozdatStrokuFn = BoolByte PLUGIN_CALL (*)(Stroka* field, TextCallback text, void* context);
// Releases the store's text of the cell and empties it. field: a cell of a store's record.
using UdalitStrokuFn = BoolByte PLUGIN_CALL (*)(Stroka* field);
// The field holds copies of lines 0 .. count-1 as the callback hands them out. field: a cell of a
// record the store handed out; line and context: borrowed for the call.
using SozdatSpisokFn = BoolByte PLUGIN_CALL (*)(Spisok* field, TextCallback line,
                                                std::uint32_t count, void* context);
// Releases the store's lines of the cell and empties it. field: a cell of a store's record.
using UdalitSpisokFn = BoolByte PLUGIN_CALL (*)(Spisok* field);

// The thirteen exports in the order the loader looks them up, written once: X(name) for each;
// the bound table, the names and the loader's binding are all made from this list.
#define PROBE_STORE_EXPORTS(X)    \
    X(SozdatSpisok)               \
    X(SozdatStroku)               \
    X(UdalitSpisok)               \
    X(UdalitStroku)               \
    X(VidelitPamyatDlyaDatchikov) \
    X(VibratDatchikPoIndeksu)     \
    X(PoluchitVibranniyDatchik)   \
    X(VibratVremenniyDatchik)     \
    X(InicializirovatDatchik)     \
    X(ObmenyatDatchiki)           \
    X(SohranitDatchik)            \
    X(ZagruzitDatchik)            \
    X(ZagruzitKolichestvoDatchikov)

// The bound entry points, in lookup order; they belong to the loaded store and are valid while it
// stays loaded.
struct ProbeStoreApi {
#define PROBE_STORE_ENTRY(name) name##Fn name = nullptr;
    PROBE_STORE_EXPORTS(PROBE_STORE_ENTRY)
#undef PROBE_STORE_ENTRY
};

// Export names in lookup order; the loader stops at the first one a library lacks.
inline constexpr const char* kProbeStoreExports[] = {
#define PROBE_STORE_NAME(name) #name,
    PROBE_STORE_EXPORTS(PROBE_STORE_NAME)
#undef PROBE_STORE_NAME
};

// Batches: records that go into a probe file as one unit (probetool's import). Not bound by the
// editor; a host looks them up by name. Records and file names are borrowed for the call.
//
// Adds a copy of `record` (its texts and lines read through its cells) to the batch; false when
// it cannot be written (its payload would pass 64 MiB).
using AddProbeToBatchFn = BoolByte PLUGIN_CALL (*)(const ProbeRecord* record);
// Appends the batch to a probe file as one unit and empties the batch: the file then holds all of
// its records after those it held, or (after a failure, a kill or a power cut at any moment) none.
using CommitProbeBatchFn = BoolByte PLUGIN_CALL (*)(const char* fileName);
// Empties the batch.
using DropProbeBatchFn = BoolByte PLUGIN_CALL (*)();
// Why the last CommitProbeBatch failed, a ProbeFileError; kNone after one that succeeded.
using LastProbeFileErrorFn = std::uint32_t PLUGIN_CALL (*)();
enum class ProbeFileError : std::uint32_t {
    kNone = 0,
    kCannotOpen = 1,  // a missing folder, a directory, another failure to open
    kNoRights = 2,    // no right to write the folder or the file
    kOwnerNotKept =
        3,             // the file belongs to another user or group: replacing it would take it over
    kNameTooLong = 4,  // the name or the path passes the file system's limit
    kNoSpace = 5,      // the disk or the quota is full
    kReadOnly = 6,     // a read-only file system
    kBusy = 7,         // another program kept the file's append lock
    kNotRegular = 8,   // a pipe or a device
    kOther = 9,        // another failure of the system
    kNotProbeFile = 10,  // not a probe file, a damaged header or a newer version: takes no records
};
// Fields a later minor version added to a record: the bytes after the last field this store
// knows, as the record's payload held them when it was loaded (ZagruzitDatchik). The store keeps
// them with the record it loaded into and writes them back after the known fields whenever that
// record is saved or added to a batch; resetting the record or reallocating the collection drops
// them. RecordTrailingBytes: the bytes kept for `record` (null and 0 when none); owned by the
// store, valid until that record is loaded, reset or dropped. AddProbeToBatchWithTrailing: as
// AddProbeToBatch, with `size` bytes of `trailing` after the known fields (an import giving back
// what an export kept).
using RecordTrailingBytesFn = const std::uint8_t* PLUGIN_CALL (*)(const ProbeRecord* record,
                                                                  std::uint32_t* size);
using AddProbeToBatchWithTrailingFn = BoolByte PLUGIN_CALL (*)(const ProbeRecord* record,
                                                               const std::uint8_t* trailing,
                                                               std::uint32_t size);
inline constexpr const char* kRecordTrailingBytes = "RecordTrailingBytes";
inline constexpr const char* kAddProbeToBatchWithTrailing = "AddProbeToBatchWithTrailing";
inline constexpr const char* kAddProbeToBatch = "AddProbeToBatch";
inline constexpr const char* kCommitProbeBatch = "CommitProbeBatch";
inline constexpr const char* kDropProbeBatch = "DropProbeBatch";
inline constexpr const char* kLastProbeFileError = "LastProbeFileError";

}  // namespace contracts
