// The checksums of a probe file's prefixes, for deciding frames exactly once the walk's checksum
// budget is spent (probe_file.cpp). One pass from a starting offset computes the checksum of
// [start, x) for every offset x that was marked before the pass reached it; the checksum of any
// stretch between two marked offsets then follows from theirs (crc32Combine). The pass reads every
// byte once, whatever the frames of a file claim.
#pragma once

#include <cstdint>
#include <vector>

#include "suite/probestore/probe_file.h"

namespace probestore {

class PrefixChecksums {
  public:
    // Starts the pass at `start`.
    explicit PrefixChecksums(std::uint64_t start) : start_(start), streamed_(start) {}
    // Marks an offset for the pass to stop at; offsets it has passed already are ignored.
    void mark(std::uint64_t offset);
    // Carries the pass on to `to` (`source` gives the bytes); false when they cannot be read.
    bool streamTo(ByteSource& source, std::uint64_t to);
    // Where the pass has got to.
    std::uint64_t streamed() const { return streamed_; }
    // The checksum of [from, to), both marked and passed; false when either was not noted.
    // Offsets asked for never go back by more than `reach` (a frame's largest extent).
    bool checksumOf(std::uint64_t from, std::uint64_t to, std::uint64_t reach, std::uint32_t& out);

  private:
    struct Point {
        std::uint64_t offset;
        std::uint32_t crc;  // of [start_, offset)
    };
    bool prefixAt(std::uint64_t at, std::uint32_t& out) const;

    std::uint64_t start_, streamed_;
    std::uint32_t crc_ = 0;
    std::vector<std::uint64_t> pending_;  // offsets to stop at, a min-heap
    std::vector<Point> points_;           // checksums noted, in file order, from first_ on
    std::size_t first_ = 0;
};

}  // namespace probestore
