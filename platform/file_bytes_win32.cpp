// A file's bytes on Windows: a read-only view of a file mapping, or ReadFile where the file
// cannot be mapped (a 32-bit process's address space is the usual reason).
#include "platform/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/windows_system.h"

namespace platform {

namespace {

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

int errnoOfLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

}  // namespace

bool FileBytes::open(const std::filesystem::path& path, int& error) {
    release();
    const Handle file{CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        error = errnoOfLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.h, &info)) {
        error = errnoOfLastError();
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = EISDIR;
        return false;
    }
    if (GetFileType(file.h) != FILE_TYPE_DISK) {
        error = EINVAL;
        return false;
    }
    const std::uint64_t size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    if (size == 0) return true;
    if (size > SIZE_MAX) {
        error = EFBIG;
        return false;
    }
    const Handle mapping{CreateFileMappingW(file.h, nullptr, PAGE_READONLY, 0, 0, nullptr)};
    void* at = mapping.h != nullptr ? MapViewOfFile(mapping.h, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (at != nullptr) {
        mapping_ = at;
        view_ = std::string_view(static_cast<const char*>(at), static_cast<std::size_t>(size));
        return true;
    }
    read_.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < read_.size()) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(read_.size() - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(file.h, read_.data() + got, ask, &n, nullptr)) {
            error = errnoOfLastError();
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    read_.resize(got);
    view_ = read_;
    return true;
}

void FileBytes::release() {
    if (mapping_ != nullptr) UnmapViewOfFile(mapping_);
    mapping_ = nullptr;
    read_.clear();
    view_ = {};
}

FileBytes::~FileBytes() {
    release();
}

void exitWhenMappedFileShrinks(const std::string&, int) {}

}  // namespace platform
