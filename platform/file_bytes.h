// A whole file's bytes for reading. Where the system can, the file is mapped into memory: the
// bytes are the file cache's own pages, with no copy and no zero-filled buffer, which on a large
// document costs more than reading it. Where it cannot (a file system without mappings, an
// address space too small), the bytes are read into memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class FileBytes {
  public:
    // Opens a regular file and takes its bytes as they are at opening; false with `error` (the
    // system's errno; EISDIR or EINVAL for what is no regular file) when it cannot.
    bool open(const std::filesystem::path& path, int& error);
    std::string_view view() const { return view_; }
    // Whether the bytes are mapped from the file rather than read.
    bool mapped() const { return mapping_ != nullptr; }

    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

  private:
    void release();

    std::string_view view_;
    void* mapping_ = nullptr;  // the mapped view; null when the bytes are in `read_`
    std::string read_;
};

// While a mapping is read, another program that shortens the file takes pages from under it: on
// POSIX the next read of them ends the process with SIGBUS. After this call such a read writes
// `message` (a line kept by the caller for the process's lifetime) to standard error and ends
// the process with `exitCode` instead; nothing else is done, so that only what the system undoes
// at exit (locks, unnamed temporary files) may be held then. Windows refuses to shorten a mapped
// file, and there the call does nothing.
void exitWhenMappedFileShrinks(const std::string& message, int exitCode);

}  // namespace platform
