// Probe files on disk: counting, loading and appending records, with an index of the last file
// read so that reading every record of an n-record file costs O(n) together.
//
// The index is built afresh by every count, and used by loads while the file's identity (device,
// file number, size, modification and change time) is the one it was built from; it is dropped
// whenever this library appends to a file. On POSIX the indexed file stays open; its name is
// looked up and its identity compared again at least every kNameRecheck, so that a file another
// program changed or moved into the name's place is taken up. On Windows the file is open only
// during a call, shared for read, write and delete, and every load looks the name up: other
// programs may rename, replace or delete a file listed here at any time, and the next count or
// load sees it. Every load checks its frame again, and reads it from the file unless it goes on
// forward from the last load within kReadAheadAge of reading its bytes (a preview reads the file a
// window at a time rather than with a system call per record): a file rewritten behind an
// unchanged identity (file systems whose times count whole seconds, writes within one tick of
// the clock) is read as it is now, and a frame that is no longer where the index says rebuilds
// the index.
//
// Appends go through platform::AppendFile: one write per frame under the file's append lock, the
// header of a new file written by whichever writer comes first.
//
// File names arrive as cp1251 (the convention of every library boundary) and reach the system
// through the platform layer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "abi/probe_record.h"
#include "abi/probestore.h"
#include "platform/files.h"
#include "platform/spool_file.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/text_store.h"

namespace probestore {

// The file's status and the system path it was taken for.
struct FileIdentity : platform::FileStatus {
    std::filesystem::path path;
    bool operator==(const FileIdentity&) const = default;
};

// The bytes of the file being read, a window at a time. The buffer is kept between calls (not
// zero-filled, not shrunk) so that loads one after another allocate nothing; its bytes are
// forgotten at the start of every load.
struct FileWindow {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t capacity = 0;
    std::size_t length = 0;
    std::uint64_t offset = 0;
    std::chrono::steady_clock::time_point readAt;  // when its bytes were read
    void forget() { length = 0; }
    void release() {
        data.reset();
        capacity = length = 0;
    }
};

using platform::File;

class ProbeFiles {
  public:
    static constexpr std::chrono::milliseconds kNameRecheck{100};
    // How long bytes read ahead serve the loads that follow in file order.
    static constexpr std::chrono::milliseconds kReadAheadAge{10};

    // Number of records in the file; 0 when it holds none or is not a readable probe file.
    // Walks the file again whatever the index holds.
    std::uint32_t count(const char* fileName);
    // Decodes record `number` into `out` (which must hold no texts; zero-filled on failure).
    // `trailing` receives the payload's bytes after the fields this version knows.
    bool load(const char* fileName, std::uint32_t number, TextStore& texts, ProbeRecord& out,
              std::vector<std::uint8_t>* trailing = nullptr);
    // Appends one framed record, creating the file (with its header) when it is missing or
    // empty. Refuses files of another kind, directories and newer minor versions.
    bool append(const char* fileName, const std::vector<std::uint8_t>& payload);
    // Appends whole frames (encodeFrame, one after another) as one unit: afterwards, and in any
    // state a kill or a power cut leaves, the file holds all of them or none. Creates the file
    // like append(), and removes it again when it created it and failed; nothing to append
    // succeeds without touching it. Other writers wait only for the catching-up at the end
    // (platform::AppendFile::replaceExtending). Returns why it failed.
    contracts::ProbeFileError appendBatch(const char* fileName, const platform::SpoolFile& frames);
    void invalidate();

  private:
    enum class Lookup {
        kLoad,     // the open file's identity, the name now and then
        kByName,   // the name's identity
        kRebuild,  // a new index whatever the identities say
    };
    // The index of `fileName`, rebuilt when its identity changed; null when it cannot be read.
    const std::vector<RecordEntry>* index(const char* fileName, Lookup lookup,
                                          std::chrono::steady_clock::time_point now);

    // The system's form of the last file name, converted once for the many calls on one file.
    const std::filesystem::path& native(const char* fileName);

    std::string lastName_;
    std::filesystem::path lastNative_;
    bool haveIndex_ = false;
    bool isProbeFile_ = false;
    FileIdentity identity_;
    std::vector<RecordEntry> entries_;
    FileWindow window_;
    bool loadedBefore_ = false;  // a load since the index was built; the last one's number:
    std::uint32_t lastLoaded_ = 0;
    File open_;  // the indexed file, where it is kept open
    std::chrono::steady_clock::time_point nameCheckedAt_;
};

// False when nothing (or nothing statable) is there; `missing` tells the two apart.
bool identify(const std::filesystem::path& path, FileIdentity& out, bool* missing = nullptr);
// The identity of an open file (taken for `path`).
bool identifyOpen(std::FILE* file, const std::filesystem::path& path, FileIdentity& out);

}  // namespace probestore
