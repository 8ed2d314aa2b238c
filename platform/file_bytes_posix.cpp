// A file's bytes on POSIX: mmap(2), populated at once (one request rather than a page fault per
// page), or read(2) where the file cannot be mapped.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_bytes.h"

namespace platform {

namespace {

#ifdef MAP_POPULATE
constexpr int kMapFlags = MAP_PRIVATE | MAP_POPULATE;
#else
constexpr int kMapFlags = MAP_PRIVATE;
#endif

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool readAll(int fd, std::size_t size, std::string& out, int& error) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, out.data() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0) break;  // shortened meanwhile
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return true;
}

const std::string* shrinkMessage = nullptr;
int shrinkExitCode = 0;

extern "C" void onBusError(int) {
    if (shrinkMessage != nullptr) {
        const ssize_t written =
            ::write(STDERR_FILENO, shrinkMessage->data(), shrinkMessage->size());
        static_cast<void>(written);
    }
    ::_exit(shrinkExitCode);
}

}  // namespace

bool FileBytes::open(const std::filesystem::path& path, int& error) {
    release();
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        error = errno;
        return false;
    }
    struct stat st;
    if (::fstat(file.fd, &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) return true;
    void* at = ::mmap(nullptr, size, PROT_READ, kMapFlags, file.fd, 0);
    if (at != MAP_FAILED) {
        mapping_ = at;
        view_ = std::string_view(static_cast<const char*>(at), size);
        return true;
    }
    if (!readAll(file.fd, size, read_, error)) return false;
    view_ = read_;
    return true;
}

void FileBytes::release() {
    if (mapping_ != nullptr) ::munmap(mapping_, view_.size());
    mapping_ = nullptr;
    read_.clear();
    view_ = {};
}

FileBytes::~FileBytes() {
    release();
}

void exitWhenMappedFileShrinks(const std::string& message, int exitCode) {
    shrinkMessage = &message;
    shrinkExitCode = exitCode;
    struct sigaction action {};
    action.sa_handler = onBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace platform
