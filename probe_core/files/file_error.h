// What went wrong with a probe file, as a value: what kind of failure, which file, the system's
// reason, the probe and key at fault. The Russian text shown to a user is made from it in one
// place, messageOf(); front ends print it (probetool), raise it (Python) or show it in a box (the
// editor), and tell kinds apart by the code, never by the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>

#include "abi/probestore.h"

namespace probefiles {

enum class ErrorCode {
    // The name itself.
    kEmptyName,        // an empty file name
    kNameHasNul,       // a name with a NUL character would name another file
    kNameNotInCp1251,  // characters the probe store's code page lacks
    // The file as the system sees it (systemError holds the errno where there is one).
    kNotFound,     // no such file
    kNotAFile,     // a folder, a device or another non-regular file where a file is read
    kCannotLook,   // the system cannot tell what the file is (rights, a loop, a long name)
    kCannotRead,   // the file cannot be opened or read
    kCannotWrite,  // the file (or its replacement) cannot be written or put in place
    // What the file holds.
    kNotProbeFile,      // neither empty nor a probe file
    kHeaderUnreadable,  // a probe file whose header is damaged or of another version: no records
    kHeaderDamaged,     // a damaged header past which the records read; appends are refused
    kRecordDamaged,     // record `probe` does not load
    kNoSuchRecord,      // record `probe` is beyond the file's `count` records
    kNotSurfaceFile,    // no intact surface in the file
    // The probe store library.
    kStoreNotLoaded,  // the loader could not load or bind it; `detail` is the loader's message
    kStoreNoMemory,   // it could not allocate the record that appends go through
    kStoreNoBatches,  // an older library: no batches, so no all-or-nothing append
    // Appends.
    kInvalidProbe,   // probe `probe` has a fault at `key`; `detail` says which
    kProbeTooLarge,  // probe `probe`'s record is beyond what a frame carries
    kAppendRefused,  // the store wrote nothing (no room, no rights, the file takes no records)
    // Targets of commands that write.
    kSameFile,             // the target is the file that is read
    kTargetIsFolder,       // the target is a folder
    kTargetExists,         // an existing target replaced only on request (--force)
    kTargetIsProbeFile,    // the target holds probe records (damaged header or not)
    kTargetIsSurfaceFile,  // the target holds surfaces (damaged header or not)
    kTargetNotJson,        // the target is neither empty nor a JSON document
    kTargetNotEmpty,       // rescued surfaces go only into a new or empty file
};

struct Error {
    Error() = default;
    explicit Error(ErrorCode c, std::string f = {}) : code(c), file(std::move(f)) {}

    ErrorCode code = ErrorCode::kCannotRead;
    std::string file;         // as the user named it (UTF-8); empty when no file is at fault
    int systemError = 0;      // the system's errno for the failure; 0 when it gave none
    std::size_t probe = 0;    // the probe or record at fault, counted from 1; 0 for none
    std::string key;          // the JSON pointer of the value at fault; empty for none
    std::string detail;       // the loader's message or the fault's own words
    std::uint64_t count = 0;  // the file's record count (kNoSuchRecord)
    // Why the store or the replacement could not write (kCannotWrite, kAppendRefused); kNone when
    // it did not say.
    contracts::ProbeFileError why = contracts::ProbeFileError::kNone;
};

// The Russian text of an error, one line (the loader's message may span lines). Every text that
// came from outside (file names, keys, the loader's message) has its control characters escaped.
std::string messageOf(const Error& error);

// The errno a system error code stands for (Windows' own codes mapped to theirs); 0 for none.
int errnoOf(const std::error_code& ec);

// `text` in guillemets with its control characters escaped: how names and keys appear in messages.
std::string inQuotes(std::string_view text);
// `text` with NUL and the other control characters (but the line feed, when `keepLines`) written
// as \0, \t, \r, \xHH, so that a message never carries them raw.
std::string escapeControls(std::string_view text, bool keepLines = false);

// A result or the error that stands in its place.
template <typename T>
class Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : value_(std::move(error)) {}
    bool ok() const { return value_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(value_); }
    const T& operator*() const { return std::get<0>(value_); }
    T* operator->() { return &std::get<0>(value_); }
    const T* operator->() const { return &std::get<0>(value_); }
    const Error& error() const { return std::get<1>(value_); }

  private:
    std::variant<T, Error> value_;
};

}  // namespace probefiles
