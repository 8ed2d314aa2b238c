// Probe files on disk: counting, loading and appending records, with an index of the last file
// read so that reading every record of an n-record file costs O(n) together.
//
// The index is built afresh by every count, and used by loads while the file's identity (device,
// inode, size, modification and change time) is the one it was built from; it is dropped whenever
// this library appends to a file. The indexed file stays open; its name is looked up and its
// identity compared again at least every kNameRecheck, so that a file another program changed or
// moved into the name's place is taken up. No bytes are kept between calls: every load reads its
// frame from the file and checks it again, so a file rewritten behind an unchanged identity (file
// systems whose times count whole seconds, writes within one tick of the clock) is read as it is
// now, and a frame that is no longer where the index says rebuilds the index.
//
// Appends go through platform::AppendFile: one write per frame under the file's append lock, the
// header of a new file written by whichever writer comes first.
//
// File names arrive as cp1251 (the convention of every library boundary); on POSIX they are
// converted to UTF-8 before the file system sees them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "abi/probe_record.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/text_store.h"

namespace probestore {

struct FileIdentity {
    bool regular = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds (POSIX) or 100 ns ticks (Windows)
    std::int64_t changed = 0;   // status change time in nanoseconds (POSIX; 0 on Windows)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string path;  // the native path it was taken for
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
    void forget() { length = 0; }
    void release() {
        data.reset();
        capacity = length = 0;
    }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class ProbeFiles {
  public:
    static constexpr std::chrono::milliseconds kNameRecheck{100};

    // Number of records in the file; 0 when it holds none or is not a readable probe file.
    // Walks the file again whatever the index holds.
    std::uint32_t count(const char* fileName);
    // Decodes record `number` into `out` (which must hold no texts; zero-filled on failure).
    bool load(const char* fileName, std::uint32_t number, TextStore& texts, ProbeRecord& out);
    // Appends one framed record, creating the file (with its header) when it is missing or
    // empty. Refuses files of another kind, directories and newer minor versions.
    bool append(const char* fileName, const std::vector<std::uint8_t>& payload);
    void invalidate();

  private:
    enum class Lookup {
        kLoad,     // the open file's identity, the name now and then
        kByName,   // the name's identity
        kRebuild,  // a new index whatever the identities say
    };
    // The index of `fileName`, rebuilt when its identity changed; null when it cannot be read.
    const std::vector<RecordEntry>* index(const char* fileName, Lookup lookup);

    // The native form of the last file name, converted once for the many calls on one file.
    const std::string& native(const char* fileName);

    std::string lastName_;
    std::string lastNative_;
    bool haveIndex_ = false;
    bool isProbeFile_ = false;
    FileIdentity identity_;
    std::vector<RecordEntry> entries_;
    FileWindow window_;
    File open_;  // the indexed file
    std::chrono::steady_clock::time_point nameCheckedAt_;
};

// The native form of a cp1251 file name.
std::string nativePath(const char* fileName);
// False when nothing (or nothing statable) is there; `missing` tells the two apart.
bool identify(const std::string& path, FileIdentity& out, bool* missing = nullptr);
// The identity of an open file (taken for `path`); false where the platform cannot tell.
bool identifyOpen(std::FILE* file, const std::string& path, FileIdentity& out);
// Opens a regular file for reading, never waiting on a pipe or device; null otherwise.
File openRegular(const std::string& path);

}  // namespace probestore
