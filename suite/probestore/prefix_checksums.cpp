#include "suite/probestore/prefix_checksums.h"

#include <algorithm>
#include <functional>

#include "platform/crc32.h"

namespace probestore {

void PrefixChecksums::mark(std::uint64_t offset) {
    if (offset < streamed_) return;
    pending_.push_back(offset);
    std::push_heap(pending_.begin(), pending_.end(), std::greater<>());
}

bool PrefixChecksums::streamTo(ByteSource& source, std::uint64_t to) {
    if (to > source.size()) return false;
    while (streamed_ < to) {
        std::uint64_t stop = to;
        if (!pending_.empty()) stop = std::min(stop, pending_.front());
        while (streamed_ < stop) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(stop - streamed_, 1u << 16));
            const std::uint8_t* p = source.view(streamed_, n);
            if (p == nullptr) return false;
            crc_ = platform::crc32Update(crc_, p, n);
            streamed_ += n;
        }
        while (!pending_.empty() && pending_.front() <= streamed_) {
            if (pending_.front() == streamed_ &&
                (points_.empty() || points_.back().offset != streamed_))
                points_.push_back({streamed_, crc_});
            std::pop_heap(pending_.begin(), pending_.end(), std::greater<>());
            pending_.pop_back();
        }
    }
    if (points_.empty() || points_.back().offset != streamed_) points_.push_back({streamed_, crc_});
    return true;
}

bool PrefixChecksums::checksumOf(std::uint64_t from, std::uint64_t to, std::uint64_t reach,
                                 std::uint32_t& out) {
    // Offsets behind the walk are asked for no more: they leave once they are most of the array.
    while (first_ < points_.size() && points_[first_].offset + reach < from) ++first_;
    if (first_ > points_.size() / 2 && first_ > 1024) {
        points_.erase(points_.begin(), points_.begin() + static_cast<long>(first_));
        first_ = 0;
    }
    std::uint32_t a = 0, b = 0;
    if (!prefixAt(from, a) || !prefixAt(to, b)) return false;
    out = b ^ platform::crc32Combine(a, 0, to - from);
    return true;
}

bool PrefixChecksums::prefixAt(std::uint64_t at, std::uint32_t& out) const {
    if (at == start_) {
        out = 0;
        return true;
    }
    const auto it =
        std::lower_bound(points_.begin() + static_cast<long>(first_), points_.end(), at,
                         [](const Point& p, std::uint64_t offset) { return p.offset < offset; });
    if (it == points_.end() || it->offset != at) return false;
    out = it->crc;
    return true;
}

}  // namespace probestore
