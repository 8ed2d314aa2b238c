// A file written beside its final name and put in its place only when whole and on the disk, so
// that a failed or cut write leaves whatever had that name before. It keeps the owner, mode and
// attributes of the file it replaces (or refuses), and a symbolic link is written through
// (platform::ReplacementFile).
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/replace_file.h"
#include "probe_core/files/probe_files.h"

namespace probefiles {

class ReplacingFile {
  public:
    // Opens the new file beside `target` (beside the file it names, when it is a symbolic link:
    // the link stays and names the new file).
    explicit ReplacingFile(const FileName& target);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Why the new file could not be opened; nothing when it is open.
    const std::optional<Error>& openError() const { return openError_; }
    std::ostream& stream() { return out_; }
    // Closes the new file, syncs it and puts it in place of the target (then syncs the folder).
    MaybeError commit();

  private:
    Error failure(platform::ReplaceError why) const;

    FileName target_;
    platform::ReplacementFile file_;
    std::ofstream out_;
    std::optional<Error> openError_;
};

}  // namespace probefiles
