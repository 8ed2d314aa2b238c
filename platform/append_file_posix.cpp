// Appending under the append lock on POSIX: open(2) with O_APPEND, an open-file-description
// lock (fcntl F_OFD_SETLK) where the system has one and flock(2) elsewhere, write(2) at the end,
// fdatasync(2) before success is reported.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/append_file.h"
#include "platform/spool_file.h"

namespace platform {

static_assert(sizeof(off_t) >= 8, "the append lock lies beyond 4 GiB");

AppendFile::Status AppendFile::open(const std::filesystem::path& path,
                                    std::chrono::milliseconds wait) {
    return openAttempt(path, wait, 0);
}

AppendFile::Status AppendFile::openAttempt(const std::filesystem::path& path,
                                           std::chrono::milliseconds wait, int attempt) {
    close();
    // Non-blocking, so that opening a pipe or a device never waits for the other end; read
    // access for the header checks made under the lock.
    constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.c_str(), kFlags);
    bool created = false;
    if (fd < 0 && errno == ENOENT) {
        // Created here, or by another writer a moment ago.
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), kFlags);
    }
    if (fd < 0) {
        error_ = replaceErrorOf(errno);
        return Status::kCannotOpen;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::kNotRegular;
    }
    fd_ = fd;
    return finishOpening(path, created, wait, attempt);
}

bool AppendFile::nameStillOpen() const {
    struct stat open, named;
    if (::fstat(fd_, &open) != 0 || ::stat(path_.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool AppendFile::replaceAppending(std::uint64_t keep, const void* data, std::size_t n) {
    // The file itself, not a symbolic link to it, is replaced, keeping its attributes.
    ReplacementFile out;
    error_ = out.create(path_, kReplacementMark, fd_);
    if (error_ == ReplaceError::kNone) error_ = out.copyRange(fd_, 0, keep, 0);
    if (error_ == ReplaceError::kNone) error_ = out.writeAt(keep, data, n);
    if (error_ == ReplaceError::kNone) error_ = out.commit();
    return error_ == ReplaceError::kNone;
}

ReplaceError AppendFile::replaceExtending(const void* head, std::size_t headSize,
                                          const SpoolFile& tail, bool& replacedMeanwhile) {
    // Rounds whose catching-up is done without the lock; appends that kept coming through all of
    // them are caught up with under it.
    constexpr int kUnlockedRounds = 3;
    replacedMeanwhile = false;
    const bool fresh = head != nullptr;
    std::uint64_t found = 0;
    if (!size(found)) return error_ = replaceErrorOf(errno);
    std::uint64_t present = fresh ? 0 : found;
    ReplacementFile out;
    if ((error_ = out.create(path_, kReplacementMark, fd_)) != ReplaceError::kNone) return error_;
    std::uint64_t copied = 0;
    for (int round = 0;; ++round) {
        const bool unlocked = round < kUnlockedRounds && locked_;
        if (unlocked) unlock();
        // The bytes up to `present` stay as they are while others append: appends only add, and
        // a failed one cuts back to where it began.
        if ((error_ = out.resize(copied)) != ReplaceError::kNone ||
            (error_ = out.copyRange(fd_, copied, present, copied)) != ReplaceError::kNone ||
            (fresh && (error_ = out.writeAt(0, head, headSize)) != ReplaceError::kNone) ||
            (error_ = tail.copyTo(out, fresh ? headSize : present)) != ReplaceError::kNone)
            return error_;
        copied = present;
        if (unlocked) {
            // The copy reaches the disk before the lock is taken again: the sync under the lock
            // then has only the catching-up to write.
            if ((error_ = out.sync()) != ReplaceError::kNone) return error_;
            if (takeLock(kAppendLockWait) != Status::kOk) return error_ = ReplaceError::kBusy;
            if (!nameStillOpen()) {
                replacedMeanwhile = true;
                return error_ = ReplaceError::kOther;
            }
        }
        std::uint64_t now = 0;
        if (!size(now) || now < present) return error_ = ReplaceError::kOther;
        if (fresh && now != found) {
            // Another writer began the file meanwhile: it is to be looked at again.
            replacedMeanwhile = true;
            return error_ = ReplaceError::kOther;
        }
        if (now == present || fresh) break;
        present = now;
    }
    return error_ = out.commit();
}

void AppendFile::removeIfCreatedEmpty() {
    std::uint64_t now = 0;
    if (created_ && size(now) && now == 0 && nameStillOpen()) ::unlink(path_.c_str());
}

void AppendFile::unlock() {
#if defined(F_OFD_SETLK)
    struct flock range {};
    range.l_type = F_UNLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(kAppendLockOffset);
    range.l_len = 1;
    static_cast<void>(::fcntl(fd_, F_OFD_SETLK, &range));
#endif
    static_cast<void>(::flock(fd_, LOCK_UN));
    locked_ = false;
}

AppendFile::LockAttempt AppendFile::tryLock() {
    const int fd = fd_;
    using Lock = AppendFile::LockAttempt;
#if defined(F_OFD_SETLK)
    // A lock of the open file description: closing another descriptor of the same file in this
    // process (the reader's, say) does not drop it, as it would drop a classic fcntl lock.
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(kAppendLockOffset);
    range.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0) return Lock::kTaken;
    if (errno == EAGAIN || errno == EACCES) return Lock::kBusy;
    if (errno == ENOLCK || errno == EOPNOTSUPP) return Lock::kNone;
    if (errno != EINVAL) return Lock::kFailed;
        // EINVAL: a kernel without open-file-description locks.
#endif
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Lock::kTaken;
    if (errno == EWOULDBLOCK || errno == EINTR) return Lock::kBusy;
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return Lock::kNone;
    return Lock::kFailed;
}

bool AppendFile::isOpen() const {
    return fd_ >= 0;
}

bool AppendFile::size(std::uint64_t& out) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    out = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool AppendFile::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* to = static_cast<unsigned char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, to, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        to += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool AppendFile::append(const void* data, std::size_t n) {
    std::uint64_t before = 0;
    if (!size(before)) return false;
    const auto* from = static_cast<const unsigned char*>(data);
    std::size_t written = 0;
    // One write; a regular file takes it whole unless the disk fills or a signal comes, and then
    // the rest follows under the same lock.
    while (written < n) {
        const ssize_t put = ::write(fd_, from + written, n - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        written += static_cast<std::size_t>(put);
    }
    if (written > 0) {
        if (FileOpObserver* o = observer()) o->wrote(path_, before, from, written);
    }
    if (written == n) return sync();
    std::uint64_t now = 0;
    if (written > 0 && size(now) && now == before + written) static_cast<void>(truncate(before));
    return false;
}

bool AppendFile::sync() {
    int result;
    do {
#if defined(__APPLE__)
        result = ::fcntl(fd_, F_FULLFSYNC);
#else
        result = ::fdatasync(fd_);
#endif
    } while (result != 0 && errno == EINTR);
    if (result != 0) return false;
    if (FileOpObserver* o = observer()) o->synced(path_);
    return true;
}

bool AppendFile::truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
    if (FileOpObserver* o = observer()) o->truncated(path_, size);
    return sync();
}

void AppendFile::syncFolder() {
    std::filesystem::path folder = path_.parent_path();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    // A folder that cannot be synced (some network file systems) is left to the system.
    if (::fsync(dir) == 0) {
        if (FileOpObserver* o = observer()) o->folderSynced(folder);
    }
    ::close(dir);
}

void AppendFile::close() {
    // Closing the only descriptor of the open file description releases its lock.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    locked_ = false;
    created_ = false;
}

}  // namespace platform
