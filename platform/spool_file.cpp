#include "platform/spool_file.h"

#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace platform {
namespace {

#if !defined(_WIN32)
// An unnamed file for the spilled bytes, in the first of the usual temporary folders that takes
// one; -1 when none does.
int unnamedTemporary() {
    std::vector<std::string> folders;
    if (const char* dir = std::getenv("TMPDIR"); dir != nullptr && *dir != '\0')
        folders.emplace_back(dir);
    folders.emplace_back("/var/tmp");
    folders.emplace_back("/tmp");
    for (const std::string& folder : folders) {
#if defined(O_TMPFILE)
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
#endif
        std::string name = folder + "/probe-spool-XXXXXX";
        const int named = ::mkstemp(name.data());
        if (named >= 0) {
            ::unlink(name.c_str());
            return named;
        }
    }
    return -1;
}

bool writeAll(int fd, std::uint64_t offset, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::pwrite(fd, p, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done;
        n -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}
#endif

}  // namespace

bool SpoolFile::append(const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
#if !defined(_WIN32)
    if (memory_.size() + n > kMemoryBytes) {
        // The memory goes to the file first, then whatever does not fit in it.
        if (fd_ < 0) fd_ = unnamedTemporary();
        if (fd_ >= 0) {
            if (!writeAll(fd_, spilled_, memory_.data(), memory_.size())) return false;
            spilled_ += memory_.size();
            memory_.clear();
            if (n > kMemoryBytes) {
                if (!writeAll(fd_, spilled_, p, n)) return false;
                spilled_ += n;
                return true;
            }
        }
    }
#endif
    memory_.insert(memory_.end(), p, p + n);
    return true;
}

ReplaceError SpoolFile::copyTo(ReplacementFile& out, std::uint64_t at) const {
    if (spilled_ != 0) {
        const ReplaceError e = out.copyRange(fd_, 0, spilled_, at);
        if (e != ReplaceError::kNone) return e;
    }
    return memory_.empty() ? ReplaceError::kNone
                           : out.writeAt(at + spilled_, memory_.data(), memory_.size());
}

void SpoolFile::clear() {
    memory_.clear();
    memory_.shrink_to_fit();
    spilled_ = 0;
#if !defined(_WIN32)
    if (fd_ >= 0) ::close(fd_);
#endif
    fd_ = -1;
}

}  // namespace platform
