#include "suite/probestore/probe_file_cache.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/files.h"
#include "suite/probestore/record_store.h"

namespace probestore {
namespace {

// Sequential loads touch one window per this many bytes instead of one read per record.
constexpr std::size_t kWindowSize = 1u << 20;
constexpr platform::FileMode kRead = platform::FileMode::kRead;

// On Windows a file deleted while any handle to it is open keeps its name until the last handle
// closes: a handle kept between calls would keep a deleted probe file's name taken and stop
// other programs from replacing it. There the file is open only during a call (shared for read,
// write and delete) and every load looks the name up; the index itself is kept all the same.
#if defined(_WIN32)
constexpr bool kKeepIndexedFileOpen = false;
#else
constexpr bool kKeepIndexedFileOpen = true;
#endif

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
        if (shared_ == nullptr && !file_) file_ = platform::openFile(id_.path, kRead);
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

bool identify(const std::filesystem::path& path, FileIdentity& out, bool* missing) {
    out = FileIdentity{};
    out.path = path;
    return platform::fileStatus(path, out, missing);
}

bool identifyOpen(std::FILE* file, const std::filesystem::path& path, FileIdentity& out) {
    out = FileIdentity{};
    out.path = path;
    return platform::fileStatus(file, out);
}

void ProbeFiles::invalidate() {
    haveIndex_ = false;
    isProbeFile_ = false;
    entries_.clear();
    entries_.shrink_to_fit();
    window_.release();
    open_.reset();
}

const std::filesystem::path& ProbeFiles::native(const char* fileName) {
    if (fileName != lastName_) {
        lastNative_ = platform::systemPath(fileName);
        lastName_ = fileName;
    }
    return lastNative_;
}

const std::vector<RecordEntry>* ProbeFiles::index(const char* fileName, bool byName) {
    using Clock = std::chrono::steady_clock;
    const std::filesystem::path& path = native(fileName);
    FileIdentity id;
    // The open file unchanged, and its name looked up lately: the index holds.
    if (!byName && haveIndex_ && open_ && path == identity_.path &&
        Clock::now() - nameCheckedAt_ < kNameRecheck && identifyOpen(open_.get(), path, id) &&
        id == identity_)
        return isProbeFile_ ? &entries_ : nullptr;

    if (!identify(path, id) || !id.regular) {
        // Nothing readable under the name any more: the file kept open is let go too. (Windows
        // keeps a deleted file's name taken until its last handle closes.)
        invalidate();
        return nullptr;
    }
    if (!haveIndex_ || !(id == identity_)) {
        invalidate();
        File file = platform::openFile(path, kRead);
        // The index describes the file that was opened, whatever the name shows by now.
        FileIdentity opened;
        if (file && identifyOpen(file.get(), path, opened)) id = opened;
        identity_ = id;
        FileSource source(identity_, window_, kWindowSize, file.get());
        isProbeFile_ = file && id.regular && scanRecords(source, entries_);
        haveIndex_ = file != nullptr;  // a file that could not be opened is tried again
        if (kKeepIndexedFileOpen) open_ = std::move(file);
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
    const std::filesystem::path path = platform::systemPath(fileName);
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
    File file = platform::openFile(path, platform::FileMode::kAppend);
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
