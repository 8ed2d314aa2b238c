// File names and files on Windows: names are UTF-16 and reach the system through the wide calls;
// files are opened with CreateFileW, shared for read, write and delete.
#include "platform/files.h"

#include <fcntl.h>
#include <io.h>

#include "platform/cp1251.h"

#include "platform/windows_system.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool statusOf(HANDLE h, FileStatus& out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return false;
    out.regular =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileType(h) == FILE_TYPE_DISK;
    out.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    out.modified =
        static_cast<std::int64_t>(std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                                  info.ftLastWriteTime.dwLowDateTime);
    out.device = info.dwVolumeSerialNumber;
    out.file = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    return true;
}

}  // namespace

std::filesystem::path systemPath(std::string_view cp1251) {
    const std::u16string utf16 = cp1251ToUtf16(cp1251);
    return std::filesystem::path(std::wstring(utf16.begin(), utf16.end()));
}

std::string cp1251Path(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return utf16ToCp1251(std::u16string(wide.begin(), wide.end()));
}

File openFile(const std::filesystem::path& path, FileMode mode) {
    const bool reading = mode == FileMode::kRead;
    // Appends may only add to the end of the file (FILE_APPEND_DATA without FILE_WRITE_DATA);
    // read access lets a later byte-range lock be taken on the same handle.
    const DWORD access = reading ? GENERIC_READ : (GENERIC_READ | FILE_APPEND_DATA);
    HANDLE h = CreateFileW(path.c_str(), access, kShareAll, nullptr,
                           reading ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // Only a file on a disk: a pipe or a device could wait for the other end forever.
    FileStatus status;
    if (!statusOf(h, status) || !status.regular) {
        CloseHandle(h);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h),
                                   reading ? (_O_RDONLY | _O_BINARY) : (_O_APPEND | _O_BINARY));
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    File f(_fdopen(fd, reading ? "rb" : "ab"));
    if (!f) {
        _close(fd);  // closes the handle too
        return nullptr;
    }
    if (reading) std::setvbuf(f.get(), nullptr, _IONBF, 0);
    return f;
}

bool fileStatus(const std::filesystem::path& path, FileStatus& out, bool* missing) {
    if (missing != nullptr) *missing = false;
    out = FileStatus{};
    // No access rights asked: only the attributes are read. A directory opens only with backup
    // semantics.
    HANDLE h = path.empty() ? INVALID_HANDLE_VALUE
                            : CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        if (missing != nullptr) *missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
        return false;
    }
    const bool ok = statusOf(h, out);
    CloseHandle(h);
    return ok;
}

bool fileStatus(std::FILE* file, FileStatus& out) {
    out = FileStatus{};
    if (file == nullptr) return false;
    const intptr_t h = _get_osfhandle(_fileno(file));
    return h != -1 && statusOf(reinterpret_cast<HANDLE>(h), out);
}

}  // namespace platform
