// A file written beside its final name and put in its place only when whole and on the disk, so
// that a failed or cut write leaves whatever had that name before.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>

#include "probe_core/files/probe_files.h"

namespace probefiles {

class ReplacingFile {
  public:
    // Opens the new file beside `target` (beside the file it names, when it is a symbolic link:
    // the link stays and names the new file).
    explicit ReplacingFile(const FileName& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Why the new file could not be opened; nothing when it is open.
    const std::optional<Error>& openError() const { return openError_; }
    std::ostream& stream() { return out_; }
    // Closes the new file, syncs it, gives it the target's permissions and puts it in place of
    // the target (then syncs the folder).
    MaybeError commit();

  private:
    FileName target_;
    std::filesystem::path final_, temp_;
    std::ofstream out_;
    std::optional<Error> openError_;
    bool committed_ = false;
};

}  // namespace probefiles
