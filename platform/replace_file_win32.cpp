// Replacing a file on Windows: the new file is created beside the target (shared for read, write
// and delete like every file of the tool set), flushed (FlushFileBuffers) and moved over the target
// with MoveFileExW. The file's security and attributes are those the folder gives a new file.
#include <algorithm>
#include <vector>

#include "platform/replace_file.h"
#include "platform/windows_system.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::size_t kPiece = std::size_t{1} << 20;

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

ReplaceError lastError() {
    return replaceErrorOf(static_cast<int>(GetLastError()));
}

bool writeAll(HANDLE h, std::uint64_t offset, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        DWORD done = 0;
        OVERLAPPED o = at(offset);
        if (!WriteFile(h, p, static_cast<DWORD>(std::min(n, kPiece)), &done, &o) || done == 0)
            return false;
        p += done;
        n -= done;
        offset += done;
    }
    return true;
}

}  // namespace

ReplaceError replaceErrorOf(int e) {
    switch (static_cast<DWORD>(e)) {
        case ERROR_SUCCESS:
            return ReplaceError::kNone;
        case ERROR_FILENAME_EXCED_RANGE:
            return ReplaceError::kNameTooLong;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ReplaceError::kNoSpace;
        case ERROR_ACCESS_DENIED:
            return ReplaceError::kNoRights;
        case ERROR_WRITE_PROTECT:
            return ReplaceError::kReadOnly;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ReplaceError::kCannotOpen;
        default:
            return ReplaceError::kOther;
    }
}

ReplaceError ReplacementFile::create(const std::filesystem::path& target, std::string_view mark,
                                     std::intptr_t) {
    abandon();
    target_ = followLinks(target);
    temporary_ = temporaryBeside(target_, mark);
    HANDLE h = CreateFileW(temporary_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const ReplaceError error = lastError();
        temporary_.clear();
        return error;
    }
    handle_ = h;
    return ReplaceError::kNone;
}

bool ReplacementFile::isOpen() const {
    return handle_ != nullptr;
}

ReplaceError ReplacementFile::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    return writeAll(static_cast<HANDLE>(handle_), offset, static_cast<const unsigned char*>(data),
                    n)
               ? ReplaceError::kNone
               : lastError();
}

ReplaceError ReplacementFile::copyRange(std::intptr_t source, std::uint64_t from, std::uint64_t to,
                                        std::uint64_t dest) {
    const std::uint64_t shift = dest - from;
    const HANDLE in = reinterpret_cast<HANDLE>(source);
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(to - from, kPiece)));
    while (from < to) {
        DWORD got = 0;
        OVERLAPPED o = at(from);
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(to - from, piece.size()));
        if (!ReadFile(in, piece.data(), want, &got, &o) || got == 0) return lastError();
        if (!writeAll(static_cast<HANDLE>(handle_), from + shift, piece.data(), got))
            return lastError();
        from += got;
    }
    return ReplaceError::kNone;
}

ReplaceError ReplacementFile::resize(std::uint64_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    const HANDLE h = static_cast<HANDLE>(handle_);
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && SetEndOfFile(h) ? ReplaceError::kNone
                                                                           : lastError();
}

ReplaceError ReplacementFile::sync() {
    if (handle_ == nullptr) return ReplaceError::kCannotOpen;
    return FlushFileBuffers(static_cast<HANDLE>(handle_)) ? ReplaceError::kNone : lastError();
}

ReplaceError ReplacementFile::commit() {
    if (handle_ == nullptr) return ReplaceError::kCannotOpen;
    const bool flushed = FlushFileBuffers(static_cast<HANDLE>(handle_)) != 0;
    const ReplaceError flushError = flushed ? ReplaceError::kNone : lastError();
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    if (!flushed) return flushError;
    if (!MoveFileExW(temporary_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return lastError();
    temporary_.clear();
    return ReplaceError::kNone;
}

void ReplacementFile::abandon() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    temporary_.clear();
}

}  // namespace platform
