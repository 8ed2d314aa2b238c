// Replacing a file whole: the new contents go to a file beside it, which is synced and then takes
// the file's name in one step, so that a cut at any moment leaves the old file or the new one.
//
// The new file is made to be the old one in all but its contents: it gets the old file's mode (not
// filtered by the umask), owner, group and extended attributes (POSIX). Where the owner or group
// cannot be given to it (a user replacing another user's file), nothing is replaced: the file
// would change hands. A target that is a symbolic link is written through to the file it names,
// the new file made beside that file, so that the link stays a link.
//
// Names of the new files stay within the file system's 255-byte limit whatever the target's name:
// a long stem is shortened and a checksum of the whole name keeps it apart from its neighbours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Why a replacement (or an append) failed, for messages that name the cause.
enum class ReplaceError : std::uint32_t {
    kNone = 0,
    kCannotOpen = 1,    // a missing folder, a directory, another failure to open
    kNoRights = 2,      // no right to write the folder or the file
    kOwnerNotKept = 3,  // the file belongs to another user or group, which it would lose
    kNameTooLong = 4,   // the name (or the path) passes the file system's limit
    kNoSpace = 5,       // the disk or the user's quota is full
    kReadOnly = 6,      // a read-only file system
    kBusy = 7,          // another writer held the file's append lock for too long
    kNotRegular = 8,    // a pipe or a device: never replaced
    kOther = 9,         // any other failure of the system
};

// The longest file name (one path component) the tool set creates, in bytes of its UTF-8 form.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The error of a failed system call, from its errno (POSIX) or GetLastError() (Windows) value.
ReplaceError replaceErrorOf(int systemError);

// What every temporary name of `file` with `mark` starts with, in the folder of `file`:
// "<name><mark>", the name shortened (and marked with a checksum of itself) where that and a
// unique ending of up to 32 bytes would pass kMaxFileNameBytes.
std::string temporaryNamePrefix(const std::filesystem::path& file, std::string_view mark);
// A fresh temporary name beside `file`: the prefix, a number unique to this moment and process,
// and ".tmp".
std::filesystem::path temporaryBeside(const std::filesystem::path& file, std::string_view mark);

// The file a path names once symbolic links at its end are followed (up to 40 of them); the path
// itself when it is no link. A dangling link yields the path it points to.
std::filesystem::path followLinks(const std::filesystem::path& path);

// A new file beside a target, put in the target's place by commit(). Abandoned (removed) unless
// committed.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { abandon(); }

    // Creates the new file beside what `target` names (links followed), with the attributes of the
    // file there when there is one. `like`: an open descriptor (POSIX) or handle (Windows) of the
    // file to take the attributes from, or -1 to look at the target.
    ReplaceError create(const std::filesystem::path& target, std::string_view mark,
                        std::intptr_t like = -1);
    bool isOpen() const;
    // The file written: the target with its links followed, and the new file's name.
    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& temporary() const { return temporary_; }
    // Writes `n` bytes at `offset` of the new file.
    ReplaceError writeAt(std::uint64_t offset, const void* data, std::size_t n);
    // Copies [from, to) of an open file (`source`, as for `like`) to the new file, `from` landing
    // at `at`. Stretches the source holds no data in (holes) stay holes, and where the file system
    // can share the bytes instead of copying them (a reflink) it does (POSIX).
    ReplaceError copyRange(std::intptr_t source, std::uint64_t from, std::uint64_t to,
                           std::uint64_t at);
    // Cuts the new file to `size` bytes (or extends it with a hole).
    ReplaceError resize(std::uint64_t size);
    // Makes what the new file holds so far durable (commit() then syncs only what came since).
    ReplaceError sync();
    // Syncs the new file, gives it the target's name and syncs the folder.
    ReplaceError commit();
    // Removes the new file unless it was committed.
    void abandon();

  private:
    std::filesystem::path target_, temporary_;
#if defined(_WIN32)
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace platform
