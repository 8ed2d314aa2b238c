// Bytes gathered for a later write, kept in memory up to kMemoryBytes and in an unnamed temporary
// file beyond (POSIX: in $TMPDIR, else /var/tmp, else /tmp; Windows keeps them in memory), so
// that gathering a large amount costs a fixed amount of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/replace_file.h"

namespace platform {

class SpoolFile {
  public:
    static constexpr std::size_t kMemoryBytes = std::size_t{1} << 20;

    SpoolFile() = default;
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;
    ~SpoolFile() { clear(); }

    // Adds `n` bytes at the end; false when they cannot be kept (memory, a full disk).
    bool append(const void* data, std::size_t n);
    std::uint64_t size() const { return spilled_ + memory_.size(); }
    // Writes every byte gathered to `out`, the first at `at`.
    ReplaceError copyTo(ReplacementFile& out, std::uint64_t at) const;
    // The bytes kept in memory: every byte where none had to go to the file (always on Windows).
    const std::vector<unsigned char>& memory() const { return memory_; }
    // Forgets every byte and releases the memory and the temporary file.
    void clear();

  private:
    std::vector<unsigned char> memory_;  // the bytes after the spilled ones
    std::uint64_t spilled_ = 0;          // bytes in the temporary file
    int fd_ = -1;                        // the temporary file (POSIX)
};

}  // namespace platform
