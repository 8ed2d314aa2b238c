#include "platform/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace platform {

std::uint32_t crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
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
}

std::uint32_t crc32Of(const void* data, std::size_t size) {
    return crc32Update(0, data, size);
}

}  // namespace platform
