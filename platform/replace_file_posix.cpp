// Replacing a file on POSIX: the new file is created beside the target, given the target's mode,
// owner, group and extended attributes (fchown, fchmod and, on Linux, the xattr calls), filled
// by data ranges (SEEK_DATA/SEEK_HOLE, copy_file_range where the system has it), synced
// (fsync) and renamed over the target; then the folder is synced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include "platform/replace_file.h"

namespace platform {
namespace {

ReplaceError lastError() {
    return replaceErrorOf(errno);
}

bool writeAll(int fd, std::uint64_t offset, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::pwrite(fd, p, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = ENOSPC;
            return false;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

// Copies [from, to) of `in` to `out`, `from` landing at `at`, by the system where it can.
bool copyData(int in, int out, std::uint64_t from, std::uint64_t to, std::uint64_t at) {
    const std::uint64_t shift = at - from;  // modulo 2^64: a move back works too
#if defined(__linux__)
    while (from < to) {
        loff_t a = static_cast<loff_t>(from), b = static_cast<loff_t>(from + shift);
        const ssize_t done = ::copy_file_range(in, &a, out, &b, to - from, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                         errno == EINVAL || errno == EBADF))
            break;  // not between these two files: read and write below
        if (done < 0) return false;
        if (done == 0) {
            errno = EIO;  // the source is shorter than it was
            return false;
        }
        from += static_cast<std::uint64_t>(done);
    }
#endif
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(to - from, 1u << 20)));
    while (from < to) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(to - from, piece.size()));
        const ssize_t got = ::pread(in, piece.data(), n, static_cast<off_t>(from));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;
            return false;
        }
        if (!writeAll(out, from + shift, piece.data(), static_cast<std::size_t>(got))) return false;
        from += static_cast<std::uint64_t>(got);
    }
    return true;
}

// Gives `out` the owner, group, mode and extended attributes of the file `like` describes.
ReplaceError takeAttributes(int like, int out) {
    struct stat st;
    if (::fstat(like, &st) != 0) return lastError();
    if (!S_ISREG(st.st_mode)) return ReplaceError::kNotRegular;
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
        // Only the owner's own programs (or root's) may give a file an owner; a user may give it
        // a group of their own. Short of that, the replaced file would change hands.
        if (::fchown(out, st.st_uid, st.st_gid) != 0)
            return errno == EPERM ? ReplaceError::kOwnerNotKept : lastError();
    }
    if (::fchmod(out, st.st_mode & 07777) != 0) return lastError();
#if defined(__linux__)
    // Extended attributes (access control lists among them) that the file system has; those this
    // user may not set (another namespace's) are left behind.
    const ssize_t length = ::flistxattr(like, nullptr, 0);
    if (length > 0) {
        std::vector<char> names(static_cast<std::size_t>(length));
        const ssize_t got = ::flistxattr(like, names.data(), names.size());
        for (ssize_t at = 0; at < got;) {
            const char* name = names.data() + at;
            at += static_cast<ssize_t>(std::char_traits<char>::length(name)) + 1;
            const ssize_t size = ::fgetxattr(like, name, nullptr, 0);
            if (size < 0) continue;
            std::vector<char> value(static_cast<std::size_t>(size));
            const ssize_t read = ::fgetxattr(like, name, value.data(), value.size());
            if (read >= 0)
                static_cast<void>(
                    ::fsetxattr(out, name, value.data(), static_cast<std::size_t>(read), 0));
        }
    }
#endif
    return ReplaceError::kNone;
}

}  // namespace

ReplaceError replaceErrorOf(int e) {
    switch (e) {
        case 0:
            return ReplaceError::kNone;
        case ENAMETOOLONG:
            return ReplaceError::kNameTooLong;
        case ENOSPC:
#if defined(EDQUOT)
        case EDQUOT:
#endif
        case EFBIG:
            return ReplaceError::kNoSpace;
        case EACCES:
        case EPERM:
            return ReplaceError::kNoRights;
        case EROFS:
            return ReplaceError::kReadOnly;
        case ENOENT:
        case ENOTDIR:
        case EISDIR:
        case ELOOP:
            return ReplaceError::kCannotOpen;
        default:
            return ReplaceError::kOther;
    }
}

ReplaceError ReplacementFile::create(const std::filesystem::path& target, std::string_view mark,
                                     std::intptr_t like) {
    abandon();
    target_ = followLinks(target);
    temporary_ = temporaryBeside(target_, mark);
    // Readable by its owner only until it has the target's attributes.
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0) return lastError();
    ReplaceError error = ReplaceError::kNone;
    int source = static_cast<int>(like);
    if (source < 0) source = ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source >= 0) {
        error = takeAttributes(source, fd_);
        if (like < 0) ::close(source);
    } else if (errno == ENOENT) {
        // A new file: the mode every new file of this user gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd_, 0666 & ~mask) != 0) error = lastError();
    } else {
        error = lastError();
    }
    if (error != ReplaceError::kNone) abandon();
    return error;
}

bool ReplacementFile::isOpen() const {
    return fd_ >= 0;
}

ReplaceError ReplacementFile::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    return writeAll(fd_, offset, static_cast<const unsigned char*>(data), n) ? ReplaceError::kNone
                                                                             : lastError();
}

ReplaceError ReplacementFile::copyRange(std::intptr_t source, std::uint64_t from, std::uint64_t to,
                                        std::uint64_t dest) {
    const int in = static_cast<int>(source);
    const std::uint64_t end = dest + (to - from);
    std::uint64_t at = from;
    while (at < to) {
        std::uint64_t data = at, hole = to;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
        const off_t d = ::lseek(in, static_cast<off_t>(at), SEEK_DATA);
        if (d < 0 && errno == ENXIO) break;  // a hole up to the end
        if (d >= 0) {
            data = static_cast<std::uint64_t>(d);
            const off_t h = ::lseek(in, d, SEEK_HOLE);
            if (h >= 0) hole = std::min<std::uint64_t>(to, static_cast<std::uint64_t>(h));
        }
#endif
        if (data >= to) break;
        if (!copyData(in, fd_, data, hole, dest + (data - from))) return lastError();
        at = hole;
    }
    // A hole at the end is made by the size alone.
    struct stat st;
    if (::fstat(fd_, &st) != 0) return lastError();
    if (static_cast<std::uint64_t>(st.st_size) < end) return resize(end);
    return ReplaceError::kNone;
}

ReplaceError ReplacementFile::resize(std::uint64_t size) {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? ReplaceError::kNone : lastError();
}

ReplaceError ReplacementFile::sync() {
    if (fd_ < 0) return ReplaceError::kCannotOpen;
    int synced;
    do {
#if defined(__APPLE__)
        synced = ::fcntl(fd_, F_FULLFSYNC);
#else
        synced = ::fsync(fd_);
#endif
    } while (synced != 0 && errno == EINTR);
    return synced == 0 ? ReplaceError::kNone : lastError();
}

ReplaceError ReplacementFile::commit() {
    if (const ReplaceError e = sync(); e != ReplaceError::kNone) return e;
    if (::close(fd_) != 0) {
        fd_ = -1;
        return lastError();
    }
    fd_ = -1;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const ReplaceError error = lastError();
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return error;
    }
    temporary_.clear();
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        // A folder that cannot be synced (some network file systems) is left to the system.
        static_cast<void>(::fsync(dir));
        ::close(dir);
    }
    return ReplaceError::kNone;
}

void ReplacementFile::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace platform
