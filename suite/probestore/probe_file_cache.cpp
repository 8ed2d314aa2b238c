#include "suite/probestore/probe_file_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/cp1251.h"
#include "suite/probestore/record_store.h"

#if defined(_WIN32)
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace probestore {
namespace {

// Sequential loads touch one window per this many bytes instead of one read per record.
constexpr std::size_t kWindowSize = 1u << 20;

bool seekTo(std::FILE* f, std::uint64_t offset) {
#if defined(_WIN32)
    return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::int64_t endPosition(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

// The bytes of one identified file, read through the shared window: from `shared` when it is
// given, else from the file opened on the first read that misses the window and closed when the
// source goes away.
class FileSource : public ByteSource {
  public:
    FileSource(const FileIdentity& id, FileWindow& window, std::size_t chunk = kWindowSize,
               std::FILE* shared = nullptr)
        : id_(id), window_(window), chunk_(chunk), shared_(shared) {}
    std::uint64_t size() const override { return id_.size; }
    const std::uint8_t* view(std::uint64_t offset, std::size_t size) override {
        if (offset > id_.size || id_.size - offset < size) return nullptr;
        if (offset >= window_.offset && offset - window_.offset <= window_.length &&
            window_.length - (offset - window_.offset) >= size)
            return window_.data.get() + (offset - window_.offset);
        // `size` is bounded by the file's size, and callers never ask for more than a frame.
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max(size, chunk_), id_.size - offset));
        window_.forget();
        if (window_.capacity < want) {
            window_.release();
            window_.data = std::make_unique_for_overwrite<std::uint8_t[]>(want);
            window_.capacity = want;
        }
        if (shared_ == nullptr && !file_) file_ = openRegular(id_.path);
        std::FILE* f = shared_ != nullptr ? shared_ : file_.get();
        if (f == nullptr || !seekTo(f, offset)) return nullptr;
        const std::size_t got = std::fread(window_.data.get(), 1, want, f);
        window_.length = got;
        window_.offset = offset;
        return got >= size ? window_.data.get() : nullptr;
    }

  private:
    const FileIdentity& id_;
    FileWindow& window_;
    std::size_t chunk_;
    std::FILE* shared_;
    File file_;
};

}  // namespace

std::string nativePath(const char* fileName) {
    if (fileName == nullptr) return {};
#if defined(_WIN32)
    return fileName;
#else
    return platform::cp1251ToUtf8(fileName);
#endif
}

bool identify(const std::string& path, FileIdentity& out, bool* missing) {
    if (missing != nullptr) *missing = false;
    out = FileIdentity{};
    out.path = path;
    if (path.empty()) return false;
#if defined(_WIN32)
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD e = GetLastError();
        if (missing != nullptr) *missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
        return false;
    }
    out.regular = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    out.size = std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    out.modified =
        static_cast<std::int64_t>(std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                  data.ftLastWriteTime.dwLowDateTime);
#else
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (missing != nullptr) *missing = errno == ENOENT;
        return false;
    }
    out.regular = S_ISREG(st.st_mode);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
#endif
    return true;
}

bool identifyOpen(std::FILE* file, const std::string& path, FileIdentity& out) {
    out = FileIdentity{};
    out.path = path;
#if defined(_WIN32)
    (void)file;
    return false;  // the name is looked up on every call instead
#else
    struct stat st;
    if (file == nullptr || ::fstat(fileno(file), &st) != 0) return false;
    out.regular = S_ISREG(st.st_mode);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
#endif
}

File openRegular(const std::string& path) {
#if defined(_WIN32)
    File f(std::fopen(path.c_str(), "rb"));
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    File f(::fdopen(fd, "rb"));
    if (!f) {
        ::close(fd);
        return nullptr;
    }
#endif
    // Reads go by whole windows; a stream buffer would only copy them once more.
    if (f) std::setvbuf(f.get(), nullptr, _IONBF, 0);
    return f;
}

void ProbeFiles::invalidate() {
    haveIndex_ = false;
    isProbeFile_ = false;
    entries_.clear();
    entries_.shrink_to_fit();
    window_.release();
    open_.reset();
}

const std::string& ProbeFiles::native(const char* fileName) {
    if (fileName != lastName_) {
        lastNative_ = nativePath(fileName);
        lastName_ = fileName;
    }
    return lastNative_;
}

const std::vector<RecordEntry>* ProbeFiles::index(const char* fileName, bool byName) {
    using Clock = std::chrono::steady_clock;
    const std::string& path = native(fileName);
    FileIdentity id;
    // The open file unchanged, and its name looked up lately: the index holds.
    if (!byName && haveIndex_ && open_ && path == identity_.path &&
        Clock::now() - nameCheckedAt_ < kNameRecheck && identifyOpen(open_.get(), path, id) &&
        id == identity_)
        return isProbeFile_ ? &entries_ : nullptr;

    if (!identify(path, id) || !id.regular) return nullptr;
    if (!haveIndex_ || !(id == identity_)) {
        invalidate();
        File file = openRegular(path);
        // The index describes the file that was opened, whatever the name shows by now.
        FileIdentity opened;
        if (file && identifyOpen(file.get(), path, opened)) id = opened;
        identity_ = id;
        FileSource source(identity_, window_, kWindowSize, file.get());
        isProbeFile_ = file && id.regular && scanRecords(source, entries_);
        haveIndex_ = file != nullptr;  // a file that could not be opened is tried again
        open_ = std::move(file);
    }
    nameCheckedAt_ = Clock::now();
    return isProbeFile_ ? &entries_ : nullptr;
}

std::uint32_t ProbeFiles::count(const char* fileName) {
    const std::vector<RecordEntry>* entries = index(fileName, true);
    return entries != nullptr ? static_cast<std::uint32_t>(entries->size()) : 0;
}

bool ProbeFiles::load(const char* fileName, std::uint32_t number, TextStore& texts,
                      ProbeRecord& out) {
    RecordStore::zeroFill(out);
    const std::vector<RecordEntry>* entries = index(fileName, false);
    if (entries == nullptr || number >= entries->size()) return false;
    FileSource source(identity_, window_, kWindowSize, open_.get());
    return loadEntry(source, (*entries)[number], texts, out);
}

bool ProbeFiles::append(const char* fileName, const std::vector<std::uint8_t>& payload) {
    invalidate();
    if (payload.empty() || payload.size() > kMaxPayloadSize) return false;
    const std::string path = nativePath(fileName);
    FileIdentity id;
    bool missing = false;
    if (!identify(path, id, &missing) && !missing) return false;
    if (!missing && !id.regular) return false;
    const bool fresh = missing || id.size == 0;
    if (!fresh) {
        FileWindow window;
        FileSource source(id, window, kFileHeaderSize);  // the header is all it needs
        if (!headerAcceptsAppend(source)) return false;
    }
    std::vector<std::uint8_t> buffer;
    if (fresh) buffer = encodeFileHeader();
    const std::vector<std::uint8_t> frame = encodeFrame(payload);
    buffer.insert(buffer.end(), frame.begin(), frame.end());

    // Appending only: the bytes already in the file are never rewritten, and the record goes
    // out as one buffer, so an interruption can tear nothing but this record.
    File file(std::fopen(path.c_str(), "ab"));
    if (!file) return false;
    // Someone else wrote to the file since it was examined: do not guess where we are.
    const std::int64_t end = endPosition(file.get());
    if (end < 0 || (!fresh && static_cast<std::uint64_t>(end) != id.size) || (fresh && end != 0))
        return false;
    bool ok = std::fwrite(buffer.data(), 1, buffer.size(), file.get()) == buffer.size();
    ok = std::fflush(file.get()) == 0 && ok;
    ok = std::fclose(file.release()) == 0 && ok;
    return ok;
}

}  // namespace probestore
