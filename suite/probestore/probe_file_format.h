// The fixed numbers of the probe file (docs/probe_file_format.md): the file header and the record
// frame. The probe store reads and writes files by them; probetool looks at a file's header with
// them to tell a damaged header from a file of another kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/crc32.h"
#include "platform/little_endian.h"

namespace probestore {

// File header: magic (8 bytes), major and minor version (u16 each), header size (u32), flags
// (u32), CRC-32 of the 20 bytes before it (u32).
inline constexpr std::uint8_t kFileMagic[8] = {'D', 'A', 'T', 'C', 'H', 'I', 'K', 'I'};
inline constexpr std::uint16_t kVersionMajor = 1;
inline constexpr std::uint16_t kVersionMinor = 0;
inline constexpr std::uint32_t kFileHeaderSize = 24;
inline constexpr std::size_t kHeaderMajorOffset = 8;
inline constexpr std::size_t kHeaderMinorOffset = 10;
inline constexpr std::size_t kHeaderSizeOffset = 12;
inline constexpr std::size_t kHeaderFlagsOffset = 16;
inline constexpr std::size_t kHeaderCrcOffset = 20;
// A reader accepts header extensions up to this size and skips them.
inline constexpr std::uint32_t kMaxFileHeaderSize = 65536;

// Record frame: magic (4 bytes), payload size (u32), payload CRC-32 (u32), CRC-32 of the 12 bytes
// before it (u32), then the payload.
inline constexpr std::uint8_t kFrameMagic[4] = {'Z', 'A', 'P', 'S'};
inline constexpr std::uint32_t kFrameHeaderSize = 16;
inline constexpr std::size_t kFrameSizeOffset = 4;
inline constexpr std::size_t kFramePayloadCrcOffset = 8;
inline constexpr std::size_t kFrameHeaderCrcOffset = 12;
// No probe comes near this; a frame that claims more is damaged.
inline constexpr std::uint32_t kMaxPayloadSize = 64u << 20;

// What the first kFileHeaderSize bytes of a file say of it.
enum class HeaderState {
    kIntact,        // a header of this major version as written
    kOtherVersion,  // a header as written (its CRC holds), of another major version or size
    kDamaged,       // magic or CRC do not hold: damaged, or no probe file at all
};
inline HeaderState headerState(const std::uint8_t (&h)[kFileHeaderSize]) {
    const bool checks =
        std::memcmp(h, kFileMagic, sizeof kFileMagic) == 0 &&
        platform::crc32Of(h, kHeaderCrcOffset) == platform::le::getU32(h + kHeaderCrcOffset);
    if (!checks) return HeaderState::kDamaged;
    const std::uint32_t size = platform::le::getU32(h + kHeaderSizeOffset);
    if (platform::le::getU16(h + kHeaderMajorOffset) != kVersionMajor || size < kFileHeaderSize ||
        size > kMaxFileHeaderSize)
        return HeaderState::kOtherVersion;
    return HeaderState::kIntact;
}

}  // namespace probestore
