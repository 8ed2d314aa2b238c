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
    if (fd < 0) return Status::kCannotOpen;
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
    std::error_code ec;
    // The file itself, not a symbolic link to it, is replaced.
    const std::filesystem::path target = std::filesystem::canonical(path_, ec);
    if (ec) return false;
    const std::filesystem::path temp = replacementName(target);
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    const int out =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) return false;
    auto put = [&](const unsigned char* p, std::size_t length) {
        while (length > 0) {
            const ssize_t done = ::write(out, p, length);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            p += done;
            length -= static_cast<std::size_t>(done);
        }
        return true;
    };
    bool ok = true;
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(keep, 1u << 20)));
    for (std::uint64_t at = 0; ok && at < keep;) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(keep - at, piece.size()));
        ok = readAt(at, piece.data(), length) && put(piece.data(), length);
        at += length;
    }
    ok = ok && put(static_cast<const unsigned char*>(data), n) && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    const std::filesystem::path kept = path_;
    path_ = target;
    syncFolder();
    path_ = kept;
    return true;
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
