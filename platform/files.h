// Files as the tool set's libraries and programs reach them.
//
// The tool set carries file names as cp1251 text; a name crosses to the system here and nowhere
// else, in the system's own form: UTF-8 on POSIX, UTF-16 and the wide calls on Windows. Files are
// opened here too. On Windows every file is opened with read, write and delete sharing, so that a
// file a library keeps open never locks another program out of reading, renaming, replacing or
// deleting it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The system's form of a cp1251 file name.
std::filesystem::path systemPath(std::string_view cp1251);
// The cp1251 form of a system path; characters that cp1251 lacks become '?'.
std::string cp1251Path(const std::filesystem::path& path);

// A program's command-line arguments, the program's name first, as cp1251 texts: from UTF-8 on
// POSIX, from the system's UTF-16 command line on Windows (`argv` there is in the ANSI code page,
// which cannot carry every name).
std::vector<std::string> cp1251Arguments(int argc, char** argv);
// The same arguments as UTF-8 texts, for programs that speak UTF-8 (probetool); on Windows the
// console is also switched to UTF-8 output, so that their messages read as written.
std::vector<std::string> utf8Arguments(int argc, char** argv);

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

enum class FileMode {
    kRead,    // an existing regular file, read only; never waits on a pipe or a device
    kAppend,  // created when missing; every write goes to the end of the file
};

// Opens a file in binary mode, unbuffered for reading; null on failure.
File openFile(const std::filesystem::path& path, FileMode mode);

// What tells one state of a file from another: any write changes the size or the modification
// time, and another file moved into the name has another device or file number. The change time
// also tells a rewrite apart where the modification time counts whole seconds.
struct FileStatus {
    bool regular = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds (POSIX) or 100 ns ticks (Windows)
    std::int64_t changed = 0;   // status change time in nanoseconds (POSIX; 0 on Windows)
    std::uint64_t device = 0;   // device (POSIX) or volume serial number (Windows)
    std::uint64_t file = 0;     // inode (POSIX) or file index (Windows)
    bool operator==(const FileStatus&) const = default;
};

// The status of what `path` names; false when nothing statable is there, and then `missing`
// tells whether nothing is there at all.
bool fileStatus(const std::filesystem::path& path, FileStatus& out, bool* missing = nullptr);
// The status of an open file.
bool fileStatus(std::FILE* file, FileStatus& out);

}  // namespace platform
