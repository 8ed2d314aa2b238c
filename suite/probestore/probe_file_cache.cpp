#include "suite/probestore/probe_file_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/append_file.h"
#include "platform/files.h"
#include "suite/probestore/record_store.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace probestore {
namespace {

// Sequential loads touch one window per this many bytes instead of one read per record.
constexpr std::size_t kWindowSize = 1u << 20;
// What a walk's window keeps before the byte asked for (FileSource).
constexpr std::size_t kWalkReadBehind = 1u << 16;
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

// Up to `n` bytes from `offset`, by positioned reads where the system has them.
std::size_t readAt(std::FILE* f, std::uint64_t offset, std::uint8_t* to, std::size_t n) {
#if defined(_WIN32)
    if (_fseeki64(f, static_cast<__int64>(offset), SEEK_SET) != 0) return 0;
    return std::fread(to, 1, n, f);
#else
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fileno(f), to + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
#endif
}

// The bytes of one identified file, read through the shared window: from `shared` when it is
// given, else from the file opened on the first read that misses the window and closed when the
// source goes away.
class FileSource : public ByteSource {
  public:
    // `behind`: bytes before the one asked for that a new window keeps too. A walk looks at the
    // header after a frame before it searches the frame itself: without them, every window edge
    // would be read twice, once for each.
    FileSource(const FileIdentity& id, FileWindow& window, std::size_t chunk = kWindowSize,
               std::FILE* shared = nullptr, std::size_t behind = 0)
        : id_(id), window_(window), chunk_(chunk), shared_(shared), behind_(behind) {}
    std::uint64_t size() const override { return id_.size; }
    const std::uint8_t* view(std::uint64_t offset, std::size_t size) override {
        if (offset > id_.size || id_.size - offset < size) return nullptr;
        if (offset >= window_.offset && offset - window_.offset <= window_.length &&
            window_.length - (offset - window_.offset) >= size)
            return window_.data.get() + (offset - window_.offset);
        // `size` is bounded by the file's size, and callers never ask for more than a frame.
        const std::size_t back = static_cast<std::size_t>(std::min<std::uint64_t>(offset, behind_));
        const std::uint64_t start = offset - back;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max(size, chunk_) + back, id_.size - start));
        window_.forget();
        if (window_.capacity < want) {
            window_.release();
            window_.data = std::make_unique_for_overwrite<std::uint8_t[]>(want);
            window_.capacity = want;
        }
        if (shared_ == nullptr && !file_) file_ = platform::openFile(id_.path, kRead);
        std::FILE* f = shared_ != nullptr ? shared_ : file_.get();
        if (f == nullptr) return nullptr;
        const std::size_t got = readAt(f, start, window_.data.get(), want);
        window_.length = got;
        window_.offset = start;
        window_.readAt = std::chrono::steady_clock::now();
        return got >= back + size ? window_.data.get() + back : nullptr;
    }

    std::uint64_t dataFrom(std::uint64_t offset) override {
#if !defined(_WIN32) && defined(SEEK_DATA) && defined(SEEK_HOLE)
        // The stretch of data found last is remembered: a walk asks once per frame, and one
        // question to the system per stretch is enough (a file without holes is one stretch).
        if (offset >= dataBegin_ && offset < dataEnd_) return offset;
        if (shared_ == nullptr && !file_) file_ = platform::openFile(id_.path, kRead);
        std::FILE* f = shared_ != nullptr ? shared_ : file_.get();
        if (f != nullptr && offset < id_.size) {
            const int fd = ::fileno(f);
            const off_t data = ::lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
            if (data < 0) return errno == ENXIO ? id_.size : offset;  // ENXIO: a hole to the end
            const off_t hole = ::lseek(fd, data, SEEK_HOLE);
            if (hole > data) {
                dataBegin_ = static_cast<std::uint64_t>(data);
                dataEnd_ = static_cast<std::uint64_t>(hole);
            }
            return std::max<std::uint64_t>(offset, static_cast<std::uint64_t>(data));
        }
#endif
        return offset;
    }

  private:
    std::uint64_t dataBegin_ = 0;
    std::uint64_t dataEnd_ = 0;  // [dataBegin_, dataEnd_) holds data and no hole
    const FileIdentity& id_;
    FileWindow& window_;
    std::size_t chunk_;
    std::FILE* shared_;
    std::size_t behind_;
    File file_;
};

// The first bytes of a file of `size` bytes, for the header checks of an append.
class HeadSource : public ByteSource {
  public:
    HeadSource(const std::uint8_t* head, std::size_t length, std::uint64_t size)
        : head_(head), length_(length), size_(size) {}
    std::uint64_t size() const override { return size_; }
    const std::uint8_t* view(std::uint64_t offset, std::size_t size) override {
        if (offset > length_ || length_ - offset < size) return nullptr;
        return head_ + offset;
    }

  private:
    const std::uint8_t* head_;
    std::size_t length_;
    std::uint64_t size_;
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
    loadedBefore_ = false;
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

const std::vector<RecordEntry>* ProbeFiles::index(const char* fileName, Lookup lookup,
                                                  std::chrono::steady_clock::time_point now) {
    const std::filesystem::path& path = native(fileName);
    FileIdentity id;
    // The name and its identity checked lately: the index holds. A load checks its frame
    // afresh, which is what a look at the open file's identity would tell in between.
    if (lookup == Lookup::kLoad && haveIndex_ && open_ && path == identity_.path &&
        now - nameCheckedAt_ < kNameRecheck)
        return isProbeFile_ ? &entries_ : nullptr;

    if (!identify(path, id) || !id.regular) {
        // Nothing readable under the name any more: the file kept open is let go too. (Windows
        // keeps a deleted file's name taken until its last handle closes.)
        invalidate();
        return nullptr;
    }
    if (lookup == Lookup::kRebuild || !haveIndex_ || !(id == identity_)) {
        invalidate();
        File file = platform::openFile(path, kRead);
        // The index describes the file that was opened, whatever the name shows by now.
        FileIdentity opened;
        if (file && identifyOpen(file.get(), path, opened)) id = opened;
        identity_ = id;
        FileSource source(identity_, window_, kWindowSize, file.get(), kWalkReadBehind);
        isProbeFile_ = file && id.regular && scanRecords(source, entries_);
        haveIndex_ = file != nullptr;  // a file that could not be opened is tried again
        if (kKeepIndexedFileOpen) open_ = std::move(file);
    }
    nameCheckedAt_ = std::chrono::steady_clock::now();
    return isProbeFile_ ? &entries_ : nullptr;
}

std::uint32_t ProbeFiles::count(const char* fileName) {
    const std::vector<RecordEntry>* entries =
        index(fileName, Lookup::kRebuild, std::chrono::steady_clock::now());
    return entries != nullptr ? static_cast<std::uint32_t>(entries->size()) : 0;
}

bool ProbeFiles::load(const char* fileName, std::uint32_t number, TextStore& texts,
                      ProbeRecord& out, std::vector<std::uint8_t>* trailing) {
    const auto now = std::chrono::steady_clock::now();
    for (Lookup lookup : {Lookup::kLoad, Lookup::kRebuild}) {
        const std::vector<RecordEntry>* entries = index(fileName, lookup, now);
        if (entries == nullptr || number >= entries->size()) {
            RecordStore::zeroFill(out);
            return false;
        }
        // Loads going forward through the file (a preview) read it ahead a window at a time and
        // take their frames from bytes read less than kReadAheadAge ago. Any other load reads its
        // frame afresh: bytes read by an earlier call may no longer be the file's.
        const bool forward = lookup == Lookup::kLoad && loadedBefore_ && number > lastLoaded_;
        if (!forward || now - window_.readAt >= kReadAheadAge) window_.forget();
        FileSource source(identity_, window_, forward ? kWindowSize : 0, open_.get());
        const LoadResult result = loadFrame(source, (*entries)[number], texts, out, trailing);
        if (result != LoadResult::kMoved) {
            loadedBefore_ = true;
            lastLoaded_ = number;
            return result == LoadResult::kLoaded;
        }
    }
    return false;
}

namespace {

// Opens a probe file for appending under its append lock. `size` receives its size, 0 for a file
// to be begun (missing, empty, or what a crash left of a new file's header: `beginAgain`); false
// for a file that may not be appended to.
contracts::ProbeFileError openForAppend(platform::AppendFile& file, const char* fileName,
                                        std::uint64_t& size, bool& beginAgain) {
    using contracts::ProbeFileError;
    beginAgain = false;
    switch (file.open(platform::systemPath(fileName))) {
        case platform::AppendFile::Status::kOk:
            break;
        case platform::AppendFile::Status::kBusy:
            return ProbeFileError::kBusy;
        case platform::AppendFile::Status::kNotRegular:
            return ProbeFileError::kNotRegular;
        case platform::AppendFile::Status::kCannotOpen:
            return file.lastError() == platform::ReplaceError::kNone
                       ? ProbeFileError::kCannotOpen
                       : static_cast<ProbeFileError>(file.lastError());
    }
    if (!file.size(size)) return ProbeFileError::kOther;
    if (size == 0) return ProbeFileError::kNone;
    std::uint8_t head[kFileHeaderSize];
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof head));
    if (!file.readAt(0, head, n)) return ProbeFileError::kOther;
    HeadSource source(head, n, size);
    if (headerAcceptsAppend(source)) return ProbeFileError::kNone;
    if (!unfinishedHeader(head, size)) return ProbeFileError::kNotProbeFile;
    beginAgain = true;
    size = 0;
    return ProbeFileError::kNone;
}

}  // namespace

bool ProbeFiles::append(const char* fileName, const std::vector<std::uint8_t>& payload) {
    invalidate();
    if (payload.empty() || payload.size() > kMaxPayloadSize) return false;
    // Under the append lock: whoever finds the file empty writes its header, and nobody else
    // appends until this frame is written.
    platform::AppendFile file;
    std::uint64_t size = 0;
    bool beginAgain = false;
    if (openForAppend(file, fileName, size, beginAgain) != contracts::ProbeFileError::kNone)
        return false;
    if (beginAgain && !file.truncate(0)) return false;
    if (size == 0) {
        // The header goes to disk on its own before any record: a crash can then leave a new file
        // empty, or with its header and whole or torn records, never records without a header.
        const std::vector<std::uint8_t> header = encodeFileHeader();
        if (!file.append(header.data(), header.size())) return false;
    }
    // Bytes already in the file are never rewritten, and the frame goes out in one write, so an
    // interruption can tear nothing but this record. append() returns once it is on disk.
    const std::vector<std::uint8_t> frame = encodeFrame(payload);
    return file.append(frame.data(), frame.size());
}

contracts::ProbeFileError ProbeFiles::appendBatch(const char* fileName,
                                                  const platform::SpoolFile& frames) {
    using contracts::ProbeFileError;
    invalidate();
    if (frames.size() == 0) return ProbeFileError::kNone;
    // The file is replaced whole rather than appended to, so that no state of it holds part of
    // the batch. When another import replaced it while this one copied, it is looked at again.
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        platform::AppendFile file;
        std::uint64_t present = 0;
        bool beginAgain = false;
        if (const ProbeFileError opened = openForAppend(file, fileName, present, beginAgain);
            opened != ProbeFileError::kNone)
            return opened;
        const std::vector<std::uint8_t> header = encodeFileHeader();
        const bool fresh = present == 0;
        bool replaced = false;
        const platform::ReplaceError error = file.replaceExtending(
            fresh ? header.data() : nullptr, fresh ? header.size() : 0, frames, replaced);
        if (replaced) continue;
        if (error != platform::ReplaceError::kNone) file.removeIfCreatedEmpty();
        return static_cast<ProbeFileError>(error);
    }
    return ProbeFileError::kBusy;
}

}  // namespace probestore
