// Appending under the append lock on Windows: CreateFileW shared for read, write and delete,
// LockFileEx on the lock byte, WriteFile at the end of the file, FlushFileBuffers before success
// is reported.
#include "platform/append_file.h"
#include "platform/spool_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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
    return openAttempt(path, wait, 0);
}

AppendFile::Status AppendFile::openAttempt(const std::filesystem::path& path,
                                           std::chrono::milliseconds wait, int attempt) {
    close();
    // Read access for the header checks made under the lock, write access to cut a failed
    // append off again. Writes go to the end of the file all the same (see append).
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = replaceErrorOf(static_cast<int>(GetLastError()));
        return Status::kCannotOpen;
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    // Only a file on a disk: a pipe or a device could wait for the other end forever.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return Status::kNotRegular;
    }
    handle_ = h;
    return finishOpening(path, created, wait, attempt);
}

bool AppendFile::nameStillOpen() const {
    HANDLE named = CreateFileW(path_.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = GetFileInformationByHandle(handleOf(handle_), &a) &&
                      GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

bool AppendFile::replaceAppending(std::uint64_t keep, const void* data, std::size_t n) {
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(path_, ec);
    if (ec) return false;
    const std::filesystem::path temp = temporaryBeside(target, kReplacementMark);
    HANDLE out = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        error_ = replaceErrorOf(static_cast<int>(GetLastError()));
        return false;
    }
    auto put = [&](const unsigned char* p, std::size_t length) {
        while (length > 0) {
            DWORD done = 0;
            const DWORD want = static_cast<DWORD>(std::min(length, kPiece));
            if (!WriteFile(out, p, want, &done, nullptr) || done == 0) return false;
            p += done;
            length -= done;
        }
        return true;
    };
    bool ok = true;
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(keep, std::uint64_t{1} << 20)));
    for (std::uint64_t at = 0; ok && at < keep;) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(keep - at, piece.size()));
        ok = readAt(at, piece.data(), length) && put(piece.data(), length);
        at += length;
    }
    ok = ok && put(static_cast<const unsigned char*>(data), n) && FlushFileBuffers(out);
    bool renamed = false;
    if (ok) {
        // A rename with POSIX semantics replaces the target while other programs hold it open
        // (they share delete access); systems before it fall back to MoveFileExW.
        const std::wstring name = target.wstring();
        std::vector<unsigned char> info(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
        const DWORD flags = 0x1 /* replace if exists */ | 0x2 /* POSIX semantics */;
        std::memcpy(info.data(), &flags, sizeof flags);
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        std::memcpy(rename->FileName, name.c_str(), name.size() * sizeof(wchar_t));
        renamed = SetFileInformationByHandle(out, static_cast<FILE_INFO_BY_HANDLE_CLASS>(22),
                                             info.data(), static_cast<DWORD>(info.size()));
    }
    CloseHandle(out);
    if (ok && !renamed)
        renamed = MoveFileExW(temp.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (renamed) return true;
    error_ = replaceErrorOf(static_cast<int>(GetLastError()));
    DeleteFileW(temp.c_str());
    if (!ok) return false;
    // A system that cannot replace a file other handles hold open (before Windows 10 1709, some
    // emulations): the bytes are appended in one write under the lock instead. A failure or a
    // full disk still leaves the file as it was; only a kill in the middle of the write can leave
    // part of them.
    std::uint64_t size = 0;
    if (!this->size(size) || (size != keep && !truncate(keep))) return false;
    return append(data, n);
}

ReplaceError AppendFile::replaceExtending(const void* head, std::size_t headSize,
                                          const SpoolFile& tail, bool& replacedMeanwhile) {
    // The replacement under the lock throughout, as before: the tail is in memory here.
    replacedMeanwhile = false;
    std::uint64_t present = 0;
    error_ = ReplaceError::kOther;
    if (!size(present) || tail.size() != tail.memory().size()) return error_;
    std::vector<unsigned char> bytes;
    if (head != nullptr) {
        present = 0;
        bytes.assign(static_cast<const unsigned char*>(head),
                     static_cast<const unsigned char*>(head) + headSize);
    }
    bytes.insert(bytes.end(), tail.memory().begin(), tail.memory().end());
    error_ = ReplaceError::kNone;
    if (replaceAppending(present, bytes.data(), bytes.size())) return ReplaceError::kNone;
    return error_ == ReplaceError::kNone ? ReplaceError::kOther : error_;
}

void AppendFile::removeIfCreatedEmpty() {
    std::uint64_t now = 0;
    if (created_ && size(now) && now == 0 && nameStillOpen()) DeleteFileW(path_.c_str());
}

void AppendFile::unlock() {
    OVERLAPPED o = at(kAppendLockOffset);
    UnlockFileEx(handleOf(handle_), 0, 1, 0, &o);
    locked_ = false;
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
    // NTFS records a new name in its journal, which the FlushFileBuffers of the file's first
    // append writes out before that append is acknowledged; a folder cannot be flushed like a
    // file there.
    if (FileOpObserver* o = observer()) o->folderSynced(path_.parent_path());
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
