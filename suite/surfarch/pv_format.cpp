#include "suite/surfarch/pv_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "abi/surfstore.h"
#include "platform/append_file.h"
#include "platform/crc32.h"
#include "platform/little_endian.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace surfaces::pv {
namespace {

using platform::le::getU16;
using platform::le::getU32;

Status readExactly(std::ifstream& in, std::uint64_t offset, unsigned char* to, std::size_t n) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return Status::kCannotOpen;
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    return in.gcount() == static_cast<std::streamsize>(n) ? Status::kOk : Status::kCannotOpen;
}

// The bytes of a file being walked, a window at a time, so that walking a file of any size takes
// the same memory.
class Window {
  public:
    static constexpr std::size_t kSize = std::size_t{1} << 20;

    Window(std::ifstream& in, const std::filesystem::path& path, std::uint64_t size)
        : in_(in),
          size_(size),
          bytes_(static_cast<std::size_t>(std::min<std::uint64_t>(kSize, size))) {
#if !defined(_WIN32) && defined(SEEK_DATA)
        holes_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#else
        static_cast<void>(path);
#endif
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() {
#if !defined(_WIN32)
        if (holes_ >= 0) ::close(holes_);
#endif
    }

    // The first offset at or after `offset` that may hold data: a file system that keeps holes
    // (never written, or allocated and not yet written, as after a crash) tells where they end,
    // so their zeros need not be read. `offset` itself where it cannot tell.
    std::uint64_t dataFrom(std::uint64_t offset) const {
#if !defined(_WIN32) && defined(SEEK_DATA)
        if (holes_ >= 0 && offset < size_) {
            const off_t data = ::lseek(holes_, static_cast<off_t>(offset), SEEK_DATA);
            if (data >= 0) return std::max<std::uint64_t>(offset, static_cast<std::uint64_t>(data));
            if (errno == ENXIO) return size_;  // nothing but a hole up to the end
        }
#endif
        return offset;
    }

    // The bytes from `offset` to the end of the window, at least min(n, bytes left in the file)
    // of them (n at most kSize); empty at the end of the file or when the file cannot be read.
    std::span<const unsigned char> from(std::uint64_t offset, std::size_t n) {
        if (offset >= size_) return {};
        const std::uint64_t want = std::min<std::uint64_t>(n, size_ - offset);
        if (offset < start_ || offset - start_ + want > length_) {
            length_ = static_cast<std::size_t>(std::min<std::uint64_t>(kSize, size_ - offset));
            start_ = offset;
            if (readExactly(in_, start_, bytes_.data(), length_) != Status::kOk) {
                length_ = 0;
                return {};
            }
        }
        const std::size_t at = static_cast<std::size_t>(offset - start_);
        return {bytes_.data() + at, length_ - at};
    }

    // The CRC-32 of [offset, offset + n), read apart from the window so that the walk's place in
    // it stays; false when the bytes cannot be read.
    bool crcOfRange(std::uint64_t offset, std::uint64_t n, std::uint32_t& out) {
        std::vector<unsigned char> piece(
            static_cast<std::size_t>(std::min<std::uint64_t>(n, kSize)));
        std::uint32_t crc = 0;
        while (n > 0) {
            const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(n, kSize));
            if (readExactly(in_, offset, piece.data(), step) != Status::kOk) return false;
            crc = platform::crc32Update(crc, piece.data(), step);
            offset += step;
            n -= step;
        }
        out = crc;
        return true;
    }

  private:
    std::ifstream& in_;
    std::uint64_t size_;
    std::vector<unsigned char> bytes_;
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
    int holes_ = -1;  // a descriptor to ask where holes end (POSIX)
};

// What a block header and the fixed part of its body say, when they agree with each other and
// with the bytes left in the file (`left`, counted from the block header): a length that fits,
// a name of at most 255 bytes without a NUL, counts within the bounds that add up to the length.
bool fixedPartAgrees(std::span<const unsigned char> bytes, std::uint64_t left, Block& out) {
    if (bytes.size() < kBlockHeaderSize + kBodyFixedSize) return false;
    const std::uint32_t length = getU32(bytes.data());
    if (length < kBodyFixedSize || length > left - kBlockHeaderSize) return false;
    const unsigned char* body = bytes.data() + kBlockHeaderSize;
    const std::size_t nameLength = getU16(body);
    if (nameLength > contracts::kMaxNameLength || length < kBodyFixedSize + nameLength ||
        bytes.size() < kBlockHeaderSize + kBodyFixedSize + nameLength)
        return false;
    const std::uint32_t v = getU32(body + 2 + nameLength);
    const std::uint32_t t = getU32(body + 6 + nameLength);
    if (checkCounts(v, t) != Status::kOk || bodyLength(nameLength, v, t) != length) return false;
    if (std::memchr(body + 2, 0, nameLength) != nullptr) return false;
    out = Block{0, length, v, t, false};
    return true;
}

// The walk of a file's blocks. A block is whole when its fixed part agrees (fixedPartAgrees) and
// its CRC-32 matches. The checksums are limited to twice the file's size and 64 MiB in all, so
// that blocks crafted to claim overlapping stretches cannot cost time quadratic in it; an honest
// file needs its own size once and, per torn block, what that block claims beyond its tear.
class Walk {
  public:
    static constexpr std::uint64_t kSpareChecksumBytes = std::uint64_t{64} << 20;
    Walk(Window& window, std::uint64_t size)
        : window_(window), size_(size), budget_(2 * size + kSpareChecksumBytes) {}

    bool wholeAt(std::uint64_t at, Block& out) {
        if (size_ - at < kBlockHeaderSize + kBodyFixedSize) return false;
        const std::span<const unsigned char> bytes = window_.from(at, kLongestFixedPart);
        if (!fixedPartAgrees(bytes, size_ - at, out) || out.length > budget_) return false;
        budget_ -= out.length;
        const std::uint32_t expected = getU32(bytes.data() + 4);
        std::uint32_t crc = 0;
        if (bytes.size() - kBlockHeaderSize >= out.length) {
            crc = platform::crc32Of(bytes.data() + kBlockHeaderSize,
                                    out.length);  // inside the window
        } else if (!window_.crcOfRange(at + kBlockHeaderSize, out.length, crc)) {
            return false;
        }
        if (crc != expected) return false;
        out.offset = at;
        return true;
    }

    // The first offset after `at` where a whole block starts, or the file size. Runs of zero
    // bytes are passed over at memory speed: a block's length has a non-zero byte.
    std::uint64_t nextWhole(std::uint64_t at, Block& out) {
        std::uint64_t pos = at + 1;
        while (pos < size_ && size_ - pos >= kBlockHeaderSize + kBodyFixedSize) {
            const std::span<const unsigned char> bytes = window_.from(pos, kLongestFixedPart);
            if (bytes.size() < kBlockHeaderSize + kBodyFixedSize) return size_;  // unreadable
            std::size_t zeros = zeroRun(bytes);
            if (zeros == bytes.size()) {
                // Zeros up to the end of the window: holes of the file are passed over unread.
                zeros = static_cast<std::size_t>(
                    std::min<std::uint64_t>(window_.dataFrom(pos + zeros) - pos, SIZE_MAX));
            }
            if (zeros >= 4) {
                // No block starts where its length is zero: the next place to look is the first
                // whose four length bytes reach the next byte that may not be zero.
                pos += zeros - 3;
                continue;
            }
            if (wholeAt(pos, out)) return pos;
            ++pos;
        }
        return size_;
    }

  private:
    // How many bytes at the start of `bytes` are zero.
    static std::size_t zeroRun(std::span<const unsigned char> bytes) {
        std::size_t i = 0;
        for (std::uint64_t word = 0; i + 8 <= bytes.size(); i += 8) {
            std::memcpy(&word, bytes.data() + i, 8);
            if (word != 0) break;
        }
        while (i < bytes.size() && bytes[i] == 0) ++i;
        return i;
    }

    Window& window_;
    std::uint64_t size_;
    std::uint64_t budget_;
};

// Walks the stretch between the 16-byte header and a stated header size `end`: `found` receives
// how many whole blocks start in it; true when whole blocks from the 16 bytes on, one after
// another, end exactly at `end`.
bool wholeBlocksUpTo(Walk& walk, std::uint64_t end, std::uint64_t& found) {
    found = 0;
    std::uint64_t at = kHeaderSize;
    bool chained = true;
    while (at < end) {
        Block b;
        if (walk.wholeAt(at, b)) {
            ++found;
            at += kBlockHeaderSize + b.length;
        } else {
            chained = false;
            at = walk.nextWhole(at, b);
        }
    }
    return chained && at == end;
}

// The file header, `size` being the file's: the offset of the first block, or why there is none.
Status checkHeader(const unsigned char* header, std::uint64_t size, std::uint16_t& headerSize) {
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return Status::kNotSurfaceFile;
    if (getU16(header + 8) != kVersion) return Status::kUnsupportedVersion;
    headerSize = getU16(header + 10);
    if (headerSize < kHeaderSize || headerSize > size) return Status::kNotSurfaceFile;
    return Status::kOk;
}

}  // namespace

Status File::open(const std::filesystem::path& path, std::size_t limit, bool keepPlaces) {
    path_ = path;
    blocks_.clear();
    count_ = 0;
    size_ = 0;
    endsCleanly_ = false;
    headerDamaged_ = false;
    uncounted_ = 0;
    // Only a regular file: opening a pipe or a device could wait for a writer forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Status::kCannotOpen;
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::kCannotOpen;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) return Status::kCannotOpen;
    size_ = static_cast<std::uint64_t>(end);

    unsigned char header[kHeaderSize];
    if (size_ < kHeaderSize) return Status::kNotSurfaceFile;
    if (readExactly(in, 0, header, kHeaderSize) != Status::kOk) return Status::kCannotOpen;
    std::uint16_t headerSize = 0;
    const Status headerStatus = checkHeader(header, size_, headerSize);
    if (headerStatus != Status::kOk) {
        // A damaged magic or version costs no surface: every block carries its own checks, so
        // the blocks are read past the header; a file in which none checks holds no surfaces.
        if (headerStatus != Status::kNotSurfaceFile && headerStatus != Status::kUnsupportedVersion)
            return headerStatus;
        headerSize = static_cast<std::uint16_t>(kHeaderSize);
        headerDamaged_ = true;
    }

    Window window(in, path, size_);
    Walk walk(window, size_);
    // The header has no checksum. A header size other than the one every writer of this version
    // writes is taken only when a whole block starts there and the blocks after the 16 bytes do
    // not lead to it: where whole blocks from the 16 bytes on end exactly at the stated size, a
    // flipped bit of the size has landed on a block boundary and would hide every surface before
    // it. Such a size, or one where no block starts, counts as damaged, and the blocks are read
    // from the 16 bytes on. Where the size is taken, whole blocks that start before it are
    // counted apart (uncountedSurfaces()). The look is bounded by the largest header size.
    if (!headerDamaged_ && headerSize != kHeaderSize) {
        Block atSize, atEnd;
        const bool sizeHolds = walk.wholeAt(headerSize, atSize);
        if (walk.wholeAt(kHeaderSize, atEnd)) {
            std::uint64_t hidden = 0;
            const bool landsOnSize = wholeBlocksUpTo(walk, headerSize, hidden);
            if (!sizeHolds || landsOnSize) {
                headerSize = static_cast<std::uint16_t>(kHeaderSize);
                headerDamaged_ = true;
            } else {
                uncounted_ = hidden;
            }
        } else if (sizeHolds) {
            std::uint64_t hidden = 0;
            wholeBlocksUpTo(walk, headerSize, hidden);
            uncounted_ = hidden;
        }
    }
    std::uint64_t at = headerSize;
    bool lastWhole = true;
    std::uint64_t wholeBlocks = 0;
    while (count_ < limit && at < size_) {
        Block b;
        if (walk.wholeAt(at, b)) {
            at += kBlockHeaderSize + b.length;
            lastWhole = true;
            ++wholeBlocks;
        } else {
            // One damaged stretch, up to the next whole block: one surface that cannot be read.
            b = Block{at, 0, 0, 0, true};
            Block ignored;
            at = walk.nextWhole(at, ignored);
            lastWhole = false;
        }
        if (keepPlaces) blocks_.push_back(b);
        ++count_;
    }
    endsCleanly_ = at == size_ && lastWhole;  // a walk stopped by `limit` is not clean
    // Past a damaged header only a whole block makes it a surface file, wherever a walk stopped by
    // `limit` ended.
    Block later;
    if (headerDamaged_ && wholeBlocks == 0 &&
        !(count_ == limit && at < size_ &&
          (walk.wholeAt(at, later) || walk.nextWhole(at, later) < size_))) {
        blocks_.clear();
        count_ = 0;
        endsCleanly_ = false;
        return headerStatus;
    }
    return Status::kOk;
}

Status File::readBody(std::size_t index, std::vector<unsigned char>& body) {
    if (index >= blocks_.size()) return Status::kNoSuchSurface;
    const Block& b = blocks_[index];
    if (b.damaged) return Status::kDamaged;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return Status::kCannotOpen;
    unsigned char blockHeader[kBlockHeaderSize];
    if (readExactly(in, b.offset, blockHeader, kBlockHeaderSize) != Status::kOk ||
        getU32(blockHeader) != b.length) {
        return Status::kCannotOpen;  // the file changed since it was opened
    }
    // The length was checked against the file's size when the block was listed.
    body.resize(b.length);
    if (readExactly(in, b.offset + kBlockHeaderSize, body.data(), body.size()) != Status::kOk) {
        return Status::kCannotOpen;
    }
    if (platform::crc32Of(body.data(), body.size()) != getU32(blockHeader + 4))
        return Status::kDamaged;
    return Status::kOk;
}

Status File::readSurface(std::size_t index, Surface& out) {
    std::vector<unsigned char> body;
    if (Status s = readBody(index, body); s != Status::kOk) return s;
    return decodeBody(body, out);
}

Status File::readCounts(std::size_t index, std::uint32_t& vertices,
                        std::uint32_t& triangles) const {
    if (index >= blocks_.size()) return Status::kNoSuchSurface;
    const Block& b = blocks_[index];
    if (b.damaged) return Status::kDamaged;
    vertices = b.vertices;
    triangles = b.triangles;
    return Status::kOk;
}

Status appendSurface(const std::filesystem::path& path, const Surface& s) {
    if (Status st = check(s); st != Status::kOk) return st;
    std::string bytes = encodeBlock(s);
    platform::AppendFile file;
    switch (file.open(path)) {
        case platform::AppendFile::Status::kOk:
            break;
        case platform::AppendFile::Status::kBusy:
            return Status::kCannotWrite;
        default:
            return Status::kCannotOpen;
    }
    // Under the append lock: whoever finds the file empty writes its header, and nobody else
    // appends until this block is written.
    std::uint64_t size = 0;
    if (!file.size(size)) return Status::kCannotOpen;
    if (size == 0) {
        bytes.insert(0, encodeHeader());
    } else {
        unsigned char header[kHeaderSize];
        std::uint16_t headerSize = 0;
        if (size < kHeaderSize || !file.readAt(0, header, kHeaderSize))
            return Status::kNotSurfaceFile;
        if (Status st = checkHeader(header, size, headerSize); st != Status::kOk) return st;
        // A header size that the walk finds damaged, or that hides whole blocks before it,
        // refuses appends like a damaged magic.
        File walked;
        if (headerSize != kHeaderSize &&
            (walked.open(path, 1, false) != Status::kOk || walked.headerDamaged() ||
             walked.uncountedSurfaces() != 0))
            return Status::kNotSurfaceFile;
    }
    return file.append(bytes.data(), bytes.size()) ? Status::kOk : Status::kCannotWrite;
}

}  // namespace surfaces::pv
