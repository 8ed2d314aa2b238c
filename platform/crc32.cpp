#include "platform/crc32.h"

#include <zlib.h>

#include <algorithm>

#if defined(PROBE_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

namespace platform {

std::uint32_t crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
#if defined(PROBE_HAVE_LIBDEFLATE)
    // The same checksum as zlib's (same polynomial, start and final xor), any length at once.
    return libdeflate_crc32(crc, data, size);
#else
    // zlib takes a uInt length: longer runs go in pieces.
    uLong value = crc;
    const auto* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(size, std::size_t{1} << 30));
        value = ::crc32(value, p, piece);
        p += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(value);
#endif
}

std::uint32_t crc32Combine(std::uint32_t a, std::uint32_t b, std::uint64_t bLength) {
    return static_cast<std::uint32_t>(::crc32_combine(a, b, static_cast<z_off_t>(bLength)));
}

std::uint32_t crc32Of(const void* data, std::size_t size) {
    return crc32Update(0, data, size);
}

}  // namespace platform
