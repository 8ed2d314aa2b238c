// The probe-file client: what every front end does with probe files, through the probe store
// library, with every failure a value (probe_core/files/file_error.h). File names are UTF-8 as the
// user gave them; the client turns them into the store's cp1251 and the system's path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "abi/probe_record.h"
#include "probe_core/files/file_error.h"
#include "probe_core/files/probe_store.h"

namespace probejson {
class Problems;
}

namespace probefiles {

using MaybeError = std::optional<Error>;

// A file named by a user: as given (for messages), in cp1251 (for the probe store) and as the
// system's path (for the client's own checks).
struct FileName {
    std::string shown;
    std::string forStore;
    std::filesystem::path path;
};

// Checks a name given in UTF-8: not empty, no NUL, every character in code page 1251.
Result<FileName> nameOf(std::string_view utf8);
// What the system says the named file is (a missing file is no error: its status says so);
// kCannotLook when the system cannot tell.
Result<std::filesystem::file_status> statusOf(const FileName& file);

// An opened probe file: its record count, and whether its header is damaged (the records were
// read past it by their own checksums; the file then takes no appends).
struct OpenedFile {
    FileName file;
    std::uint32_t count = 0;
    bool headerDamaged = false;
};

// What a salvage did: records (or surfaces) written and the numbers (from 1) of those lost.
struct SalvageReport {
    std::uint64_t written = 0;
    std::vector<std::uint64_t> lost;
    bool headerDamaged = false;   // the source's header was damaged (surface files)
    std::uint64_t uncounted = 0;  // whole surfaces a too-long header size hides (surface files)
};

// The faults of a JSON document or of probes given from Python, as kInvalidProbe errors of
// `file` (at most kProblemsShown of them), and how many there were in all.
inline constexpr std::size_t kProblemsShown = 100;
struct ProbeFaults {
    std::vector<Error> shown;
    std::size_t count = 0;
};
ProbeFaults faultsOf(const std::string& file, const probejson::Problems& problems);
// The lines of a fault listing ("… и ещё ошибок: N" after the shown ones).
std::vector<std::string> listingOf(const ProbeFaults& faults);

class ProbeFiles {
  public:
    // Loads the probe store and allocates the record appends go through; loadError() says why
    // when it could not.
    ProbeFiles();
    // Over a store another part of the program has bound and keeps loaded while this lives (see
    // ProbeStore): the caller's collection stays as it is. loadError() is kStoreNotLoaded when
    // the table lacks an entry the client calls.
    explicit ProbeFiles(const contracts::ProbeStoreApi& bound, const StoreExtras& extras = {});
    const Error* loadError() const { return loadError_ ? &*loadError_ : nullptr; }

    // Opens a probe file for reading: a readable regular file that is empty or a probe file
    // whose records the store can read.
    Result<OpenedFile> open(const FileName& file);
    // Record `index` (from 0); valid until the next call. kRecordDamaged when it does not load.
    Result<const ProbeRecord*> read(const OpenedFile& file, std::uint32_t index);
    // Reads record `index` (from 0) into the record the caller has selected in a bound store (a
    // slot of its collection), which keeps it as it was when the record does not load.
    MaybeError readIntoSelected(const OpenedFile& file, std::uint32_t index);

    // Whether records may be appended to `target`: missing (it is then created), empty, or a
    // probe file whose header takes appends.
    MaybeError checkAppendTarget(const FileName& target);
    // Appends one record.
    MaybeError append(const FileName& target, const ProbeRecord& record);
    // Appends every record as one unit: all of them or, on any failure, none. `firstProbe` is the
    // number errors give the first record (later ones count on from it).
    MaybeError appendAll(const FileName& target, std::span<const ProbeRecord* const> records,
                         std::size_t firstProbe = 1);
    // The same in steps, for records that arrive one by one: add(), then commit() or drop().
    // `laterVersionBytes` are the bytes a later minor version added after the record's fields;
    // a store that cannot write them back (an older one) refuses the record with kInvalidProbe at
    // that key rather than drop them.
    MaybeError add(const ProbeRecord& record, std::size_t probe,
                   std::span<const std::uint8_t> laterVersionBytes = {});
    MaybeError commit(const FileName& target);
    void drop();

    // Copies every record of `source` that loads into `target` as one unit.
    Result<SalvageReport> salvage(const OpenedFile& source, const FileName& target);

    // Whether a command that writes a new `target` from `source` (null when none) may replace
    // it: missing, empty, a device or a pipe, or a JSON document (this one only with `force`);
    // never `source` itself, a folder, or anything the probe store or the surface archive can
    // read a record or a surface from, damaged header or not.
    MaybeError checkReplaceTarget(const FileName& target, const FileName* source, bool force);

    ProbeStore& store() { return store_; }

  private:
    ProbeStore store_;
    std::optional<Error> loadError_;
};

// The error for a failed system call on `file` with the errno of the moment.
Error systemError(ErrorCode code, const FileName& file);

// Copies every intact surface of the surface file `source` into `target`, which must be missing or
// empty, as one unit; a failure leaves no file behind that was not there.
Result<SalvageReport> salvageSurfaces(const FileName& source, const FileName& target);
// Reads every surface of a surface file: `written` counts those that load, `lost` numbers the
// others; what the header hides is said as in salvageSurfaces.
Result<SalvageReport> checkSurfaces(const FileName& source);
// Whether a name names a surface file (extension .pv in any case).
bool isSurfaceFileName(const std::filesystem::path& path);

}  // namespace probefiles
