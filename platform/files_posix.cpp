// File names and files on POSIX: names are UTF-8, files are opened with open(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "platform/cp1251.h"
#include "platform/files.h"

namespace platform {
namespace {

FileStatus statusOf(const struct stat& st) {
    FileStatus s;
    s.regular = S_ISREG(st.st_mode);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.file = static_cast<std::uint64_t>(st.st_ino);
    return s;
}

}  // namespace

std::filesystem::path systemPath(std::string_view cp1251) {
    return std::filesystem::path(cp1251ToUtf8(cp1251));
}

std::string cp1251Path(const std::filesystem::path& path) {
    return utf8ToCp1251(path.native());
}

File openFile(const std::filesystem::path& path, FileMode mode) {
    const bool reading = mode == FileMode::kRead;
    // Non-blocking, so that opening a pipe or a device never waits for the other end.
    const int fd = reading ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                           : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    File f(::fdopen(fd, reading ? "rb" : "ab"));
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    // Reads go by whole windows of the caller's; a stream buffer would only copy them once more.
    if (reading) std::setvbuf(f.get(), nullptr, _IONBF, 0);
    return f;
}

bool fileStatus(const std::filesystem::path& path, FileStatus& out, bool* missing) {
    if (missing != nullptr) *missing = false;
    out = FileStatus{};
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        if (missing != nullptr) *missing = path.empty() || errno == ENOENT;
        return false;
    }
    out = statusOf(st);
    return true;
}

bool fileStatus(std::FILE* file, FileStatus& out) {
    out = FileStatus{};
    struct stat st;
    if (file == nullptr || ::fstat(fileno(file), &st) != 0) return false;
    out = statusOf(st);
    return true;
}

}  // namespace platform
