#include "suite/probestore/probe_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/crc32.h"
#include "platform/little_endian.h"
#include "suite/probestore/prefix_checksums.h"

namespace probestore {
namespace {

using platform::le::getU16;
using platform::le::getU32;
using platform::le::putU32;

std::uint32_t crc(const std::uint8_t* data, std::size_t size) {
    return platform::crc32Of(data, size);
}

struct FrameHeader {
    std::uint32_t payloadSize = 0;
    std::uint32_t payloadCrc = 0;
};

// A frame header at `offset` whose magic and own checksum hold and whose length is plausible;
// whether the payload fits in the file is checked by the caller.
bool frameHeaderIn(const std::uint8_t* h, FrameHeader& out) {
    if (!frameHeaderIntact(h)) return false;
    out.payloadSize = getU32(h + kFrameSizeOffset);
    out.payloadCrc = getU32(h + kFramePayloadCrcOffset);
    return out.payloadSize <= kMaxPayloadSize;
}

bool frameHeaderAt(ByteSource& source, std::uint64_t offset, FrameHeader& out) {
    const std::uint8_t* h = source.view(offset, kFrameHeaderSize);
    return h != nullptr && frameHeaderIn(h, out);
}

bool fits(ByteSource& source, std::uint64_t offset, const FrameHeader& h) {
    return offset <= source.size() && source.size() - offset >= kFrameHeaderSize &&
           source.size() - offset - kFrameHeaderSize >= h.payloadSize;
}

bool payloadIntact(ByteSource& source, std::uint64_t offset, const FrameHeader& h) {
    const std::uint8_t* p = source.view(offset + kFrameHeaderSize, h.payloadSize);
    return p != nullptr && crc(p, h.payloadSize) == h.payloadCrc;
}

// Decides whether the frame at `pos` (header `h`, which fits in the file) is one whole record.
//
// Its payload checksum decides, with one exception that spares a checksum per record while
// counting: a frame whose end is where the next frame header starts, and inside which no frame
// header starts, is taken whole as it stands (a damaged payload then fails when it is loaded).
// A frame torn by an interrupted append always has the next appended frame's header inside what
// it claims (or its header is cut and does not check), so the checksum decides for it and it can
// never swallow a record written after it. The last frame of a file is checked too.
//
// The checksums computed this way are limited to twice the file's size and one largest payload
// in all: frames crafted to claim overlapping stretches would otherwise cost time quadratic in
// the file's size. An honest file needs its last record, the records next to damage and, per
// torn frame, what that frame claims beyond its tear (no more than a record).
class Walk {
  public:
    explicit Walk(ByteSource& source)
        : source_(source), budget_(2 * source.size() + kMaxPayloadSize) {}

    // The first offset in [from, to) where a frame header starts, or `to` when there is none.
    // The header found may reach past `to`. Every byte of the file is searched once: the headers
    // found are kept from `from` - kFrameHeaderSize on, since the walk never asks from further
    // back than that after a question (a frame crafted to claim the file's whole rest would
    // otherwise have it searched again for every such frame).
    std::uint64_t firstHeader(std::uint64_t from, std::uint64_t to) {
        to = std::min(to, source_.size());
        while (first_ < headers_.size() && headers_[first_].offset + kFrameHeaderSize < from)
            ++first_;
        for (;;) {
            // Headers start at least four bytes apart (the magic does not overlap itself), so
            // at most four of those kept lie before `from`.
            std::size_t known = first_;
            while (known < headers_.size() && headers_[known].offset < from) ++known;
            if (known < headers_.size()) return std::min(headers_[known].offset, to);
            if (scanned_ < from) scanned_ = from;
            if (scanned_ >= to) return to;
            searchFurther(to);
        }
    }

    // Whether a whole frame starts at `pos`; its payload size in `payloadSize`.
    bool wholeAt(std::uint64_t pos, std::uint32_t& payloadSize) {
        FrameHeader h;
        if (pos == knownAt_) {
            h = known_;
        } else if (const FrameHeader* found = foundAt(pos)) {
            h = *found;
        } else if (!frameHeaderAt(source_, pos, h)) {
            return false;
        }
        if (!fits(source_, pos, h)) return false;
        payloadSize = h.payloadSize;
        const std::uint64_t next = pos + kFrameHeaderSize + h.payloadSize;
        FrameHeader following;
        if (next < source_.size() && frameHeaderAt(source_, next, following) &&
            firstHeader(pos + kFrameHeaderSize, next) == next) {
            // The header after it is the next frame's: remember it for the next step.
            knownAt_ = next;
            known_ = following;
            return true;
        }
        if (h.payloadSize <= budget_) {
            budget_ -= h.payloadSize;
            return payloadIntact(source_, pos, h);
        }
        return exactly(pos, h);
    }

    // The first offset after `pos` where a whole frame starts, or the file size.
    std::uint64_t nextWhole(std::uint64_t pos) {
        const std::uint64_t size = source_.size();
        std::uint32_t ignored = 0;
        for (std::uint64_t at = pos + 1;; ++at) {
            at = firstHeader(at, size);
            if (at >= size || wholeAt(at, ignored)) return at;
        }
    }

  private:
    struct Found {
        std::uint64_t offset;
        FrameHeader header;
    };
    // Once the budget is spent, a frame is decided exactly all the same, at a cost linear in the
    // file: one pass computes the checksums of the file's prefixes from where the budget ran out,
    // stopping wherever a frame header found ahead starts its payload or ends it, and a payload's
    // checksum follows from those of its two ends. Every header up to where the pass goes is found
    // first, so that no offset it marks is passed unnoticed.
    bool exactly(std::uint64_t pos, const FrameHeader& h) {
        const std::uint64_t from = pos + kFrameHeaderSize, to = from + h.payloadSize;
        if (!prefixes_) {
            prefixes_ = std::make_unique<PrefixChecksums>(pos);
            for (std::size_t i = first_; i < headers_.size(); ++i) mark(headers_[i]);
        }
        mark({pos, h});
        while (scanned_ < to && scanned_ < source_.size()) searchFurther(source_.size());
        std::uint32_t got = 0;
        return prefixes_->streamTo(source_, to) &&
               prefixes_->checksumOf(from, to, kMaxPayloadSize + 2 * kFrameHeaderSize, got) &&
               got == h.payloadCrc;
    }

    // Marks where a frame header's payload starts and ends, for the exact pass.
    void mark(const Found& f) {
        prefixes_->mark(f.offset + kFrameHeaderSize);
        prefixes_->mark(f.offset + kFrameHeaderSize + f.header.payloadSize);
    }

    // The header the search found at `pos`, if it is among those kept.
    const FrameHeader* foundAt(std::uint64_t pos) const {
        for (std::size_t i = first_; i < headers_.size() && headers_[i].offset <= pos; ++i)
            if (headers_[i].offset == pos) return &headers_[i].header;
        return nullptr;
    }

    // Searches the next stretch of the file up to `to` (at most kStep bytes) for frame headers.
    void searchFurther(std::uint64_t to) {
        constexpr std::size_t kStep = 1u << 16;
        // Holes of a sparse file hold no header: where the file system tells where data starts
        // again, the zeros between are not read.
        scanned_ = std::min(std::max(scanned_, source_.dataFrom(scanned_)), to);
        if (scanned_ >= to) return;
        // Headers no longer kept leave the front of the array once they are most of it.
        if (first_ > headers_.size() / 2) {
            headers_.erase(headers_.begin(), headers_.begin() + static_cast<long>(first_));
            first_ = 0;
        }
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kStep, to - scanned_));
        const std::uint8_t* chunk = source_.view(scanned_, n);
        if (chunk == nullptr) {
            scanned_ = to;
            return;
        }
        // Headers inside the chunk are checked in place; those that reach past its end are
        // checked afterwards, since reading them moves the source's window.
        std::size_t at = 0;
        FrameHeader h;
        while (at + kFrameHeaderSize <= n) {
            const void* hit =
                std::memchr(chunk + at, kFrameMagic[0], n - at - (kFrameHeaderSize - 1));
            if (hit == nullptr) {
                at = n - (kFrameHeaderSize - 1);
                break;
            }
            const std::size_t i =
                static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - chunk);
            if (frameHeaderIn(chunk + i, h)) {
                headers_.push_back({scanned_ + i, h});
                if (prefixes_) mark(headers_.back());
            }
            at = i + 1;
        }
        // The last bytes are kept apart first: once a header check has moved the window, the
        // chunk's bytes are no longer there.
        std::uint8_t tail[kFrameHeaderSize];
        const std::size_t first = at;
        std::memcpy(tail, chunk + first, n - first);
        for (; at < n; ++at)
            if (tail[at - first] == kFrameMagic[0] && frameHeaderAt(source_, scanned_ + at, h)) {
                headers_.push_back({scanned_ + at, h});
                if (prefixes_) mark(headers_.back());
            }
        scanned_ += n;
    }

    ByteSource& source_;
    std::vector<Found> headers_;  // frame headers found, in file order, kept from first_ on
    std::size_t first_ = 0;
    std::uint64_t scanned_ = 0;  // searched up to here
    std::uint64_t budget_;
    std::uint64_t knownAt_ = UINT64_MAX;  // where a checked frame header is known to start
    FrameHeader known_;
    std::unique_ptr<PrefixChecksums> prefixes_;  // the exact pass, once the budget is spent
};

}  // namespace

bool frameHeaderIntact(const std::uint8_t* h) {
    return std::memcmp(h, kFrameMagic, sizeof kFrameMagic) == 0 &&
           crc(h, kFrameHeaderCrcOffset) == getU32(h + kFrameHeaderCrcOffset);
}

std::vector<std::uint8_t> encodeFileHeader() {
    std::vector<std::uint8_t> h(kFileHeaderSize, 0);
    std::memcpy(h.data(), kFileMagic, 8);
    platform::le::putU16(h.data() + kHeaderMajorOffset, kVersionMajor);
    platform::le::putU16(h.data() + kHeaderMinorOffset, kVersionMinor);
    putU32(h.data() + kHeaderSizeOffset, kFileHeaderSize);
    putU32(h.data() + kHeaderFlagsOffset, 0);  // none defined
    putU32(h.data() + kHeaderCrcOffset, crc(h.data(), kHeaderCrcOffset));
    return h;
}

std::vector<std::uint8_t> encodeFrame(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame(kFrameHeaderSize);
    std::memcpy(frame.data(), kFrameMagic, 4);
    putU32(frame.data() + kFrameSizeOffset, static_cast<std::uint32_t>(payload.size()));
    putU32(frame.data() + kFramePayloadCrcOffset, crc(payload.data(), payload.size()));
    putU32(frame.data() + kFrameHeaderCrcOffset, crc(frame.data(), kFrameHeaderCrcOffset));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

const std::uint8_t* MemorySource::view(std::uint64_t offset, std::size_t size) {
    if (offset > size_ || size_ - offset < size) return nullptr;
    return data_ + offset;
}

std::uint64_t readFileHeader(ByteSource& source) {
    const std::uint8_t* h = source.view(0, kFileHeaderSize);
    if (h == nullptr || std::memcmp(h, kFileMagic, 8) != 0) return 0;
    if (getU16(h + kHeaderMajorOffset) != kVersionMajor) return 0;
    const std::uint32_t headerSize = getU32(h + kHeaderSizeOffset);
    if (headerSize < kFileHeaderSize || headerSize > kMaxFileHeaderSize) return 0;
    if (headerSize > source.size()) return 0;
    if (crc(h, kHeaderCrcOffset) != getU32(h + kHeaderCrcOffset)) return 0;
    return headerSize;
}

bool headerAcceptsAppend(ByteSource& source) {
    if (readFileHeader(source) == 0) return false;
    const std::uint8_t* h = source.view(0, kFileHeaderSize);
    return h != nullptr && getU16(h + kHeaderMinorOffset) <= kVersionMinor;
}

bool unfinishedHeader(const std::uint8_t* bytes, std::uint64_t size) {
    if (size > kFileHeaderSize) return false;
    const std::vector<std::uint8_t> header = encodeFileHeader();
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0 && bytes[i] != header[i]) return false;
    return true;
}

bool scanRecords(ByteSource& source, std::vector<RecordEntry>& entries) {
    entries.clear();
    const std::uint64_t size = source.size();
    std::uint64_t pos = readFileHeader(source);
    // A damaged header costs no record: every frame carries its own checks, so the frames are
    // read past it (and the file takes no appends). A header that checks but names another
    // version, or a file in which no frame checks, holds no records.
    bool pastDamagedHeader = false;
    if (pos == 0) {
        const std::uint8_t* h = source.view(0, kFileHeaderSize);
        if (h == nullptr || size <= kFileHeaderSize) return false;
        std::uint8_t header[kFileHeaderSize];
        std::memcpy(header, h, sizeof header);
        if (headerState(header) != HeaderState::kDamaged) return false;
        pos = kFileHeaderSize;
        pastDamagedHeader = true;
    }
    Walk walk(source);
    while (pos < size && entries.size() < 0xFFFFFFFFu) {
        std::uint32_t payloadSize = 0;
        if (walk.wholeAt(pos, payloadSize)) {
            entries.push_back({pos, payloadSize, false});
            pos += kFrameHeaderSize + payloadSize;
            continue;
        }
        // A damaged stretch runs up to the next whole frame: one record that cannot be loaded.
        entries.push_back({pos, 0, true});
        pos = walk.nextWhole(pos);
    }
    if (pastDamagedHeader && std::none_of(entries.begin(), entries.end(),
                                          [](const RecordEntry& e) { return !e.damaged; })) {
        entries.clear();
        return false;
    }
    return true;
}

LoadResult loadFrame(ByteSource& source, const RecordEntry& entry, TextStore& texts,
                     ProbeRecord& out, std::vector<std::uint8_t>* trailing) {
    // `out` is zero-filled on every path (by decodeRecord when it gets that far).
    const auto failed = [&out](LoadResult result) {
        std::memset(&out, 0, sizeof out);
        return result;
    };
    if (entry.damaged) return failed(LoadResult::kFailed);
    // The whole frame in one view: a file source reads it with one call.
    const std::uint8_t* frame = source.view(entry.offset, kFrameHeaderSize + entry.payloadSize);
    FrameHeader h;
    if (frame == nullptr || !frameHeaderIn(frame, h) || h.payloadSize != entry.payloadSize)
        return failed(LoadResult::kMoved);
    const std::uint8_t* p = frame + kFrameHeaderSize;
    if (crc(p, h.payloadSize) != h.payloadCrc) return failed(LoadResult::kFailed);
    return decodeRecord(p, h.payloadSize, texts, out, trailing) ? LoadResult::kLoaded
                                                                : LoadResult::kFailed;
}

bool loadEntry(ByteSource& source, const RecordEntry& entry, TextStore& texts, ProbeRecord& out) {
    return loadFrame(source, entry, texts, out) == LoadResult::kLoaded;
}

}  // namespace probestore
