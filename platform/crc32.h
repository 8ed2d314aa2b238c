// CRC-32 of the file formats (the ISO-HDLC polynomial of zlib's crc32: reflected 0x04C11DB7,
// initial value and final xor 0xFFFFFFFF; "123456789" gives 0xCBF43926), for lengths of any size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The checksum of `size` bytes.
std::uint32_t crc32Of(const void* data, std::size_t size);
// Carries a checksum on over more bytes: crc32Update(crc32Of(a), b) is the checksum of a then b;
// crc32Update(0, ...) starts one.
std::uint32_t crc32Update(std::uint32_t crc, const void* data, std::size_t size);
// The checksum of a then b from the checksums of a and of b and b's length (below 2 GiB).
std::uint32_t crc32Combine(std::uint32_t a, std::uint32_t b, std::uint64_t bLength);

}  // namespace platform
