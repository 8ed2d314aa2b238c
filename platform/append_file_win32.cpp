// Appending under the append lock on Windows: CreateFileW shared for read, write and delete,
// LockFileEx on the lock byte, WriteFile at the end of the file, FlushFileBuffers before success
// is reported.
#include "platform/append_file.h"

#include <algorithm>

#include "platform/windows_system.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The largest piece one ReadFile or WriteFile is asked for.
constexpr std::size_t kPiece = std::size_t{1} << 30;

HANDLE handleOf(void* h) {
    return static_cast<HANDLE>(h);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

}  // namespace

AppendFile::Status AppendFile::open(const std::filesystem::path& path,
                                    std::chrono::milliseconds wait) {
    close();
    // Read access for the header checks made under the lock, write access to cut a failed
    // append off again. Writes go to the end of the file all the same (see append).
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Status::kCannotOpen;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    // Only a file on a disk: a pipe or a device could wait for the other end forever.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return Status::kNotRegular;
    }
    handle_ = h;
    path_ = path;
    created_ = created;
    if (created_) {
        if (FileOpObserver* o = observer()) o->created(path_);
        syncFolder();
    }
    return takeLock(wait);
}

AppendFile::LockAttempt AppendFile::tryLock() {
    const HANDLE h = handleOf(handle_);
    using Lock = AppendFile::LockAttempt;
    OVERLAPPED o = at(kAppendLockOffset);
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &o))
        return Lock::kTaken;
    switch (GetLastError()) {
        case ERROR_LOCK_VIOLATION:
        case ERROR_IO_PENDING:
            return Lock::kBusy;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return Lock::kNone;
        default:
            return Lock::kFailed;
    }
}

bool AppendFile::isOpen() const {
    return handle_ != nullptr;
}

bool AppendFile::size(std::uint64_t& out) const {
    LARGE_INTEGER n;
    if (handle_ == nullptr || !GetFileSizeEx(handleOf(handle_), &n) || n.QuadPart < 0) return false;
    out = static_cast<std::uint64_t>(n.QuadPart);
    return true;
}

bool AppendFile::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* to = static_cast<unsigned char*>(buffer);
    while (n > 0) {
        OVERLAPPED o = at(offset);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(n, kPiece));
        if (!ReadFile(handleOf(handle_), to, want, &got, &o) || got == 0) return false;
        to += got;
        n -= got;
        offset += got;
    }
    return true;
}

bool AppendFile::append(const void* data, std::size_t n) {
    std::uint64_t before = 0;
    if (!size(before)) return false;
    const auto* from = static_cast<const unsigned char*>(data);
    std::size_t written = 0;
    while (written < n) {
        // Both offset words all ones: at the end of the file, whatever its size by now.
        OVERLAPPED o{};
        o.Offset = 0xFFFFFFFFu;
        o.OffsetHigh = 0xFFFFFFFFu;
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min(n - written, kPiece));
        if (!WriteFile(handleOf(handle_), from + written, want, &put, &o) || put == 0) break;
        written += put;
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
    if (!FlushFileBuffers(handleOf(handle_))) return false;
    if (FileOpObserver* o = observer()) o->synced(path_);
    return true;
}

bool AppendFile::truncate(std::uint64_t size) {
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handleOf(handle_), end, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(handleOf(handle_)))
        return false;
    if (FileOpObserver* o = observer()) o->truncated(path_, size);
    return sync();
}

void AppendFile::syncFolder() {
    // NTFS records a new name in its journal; a folder cannot be flushed like a file there.
}

void AppendFile::close() {
    if (handle_ != nullptr) {
        if (locked_) {
            OVERLAPPED o = at(kAppendLockOffset);
            UnlockFileEx(handleOf(handle_), 0, 1, 0, &o);
        }
        CloseHandle(handleOf(handle_));
    }
    handle_ = nullptr;
    locked_ = false;
    created_ = false;
}

}  // namespace platform
