// Little-endian fixed-width numbers, read and written byte by byte, so that every platform and
// every word size gives and takes the same bytes. The file formats of the tool set use these and
// never a memory image.
#pragma once

#include <cstdint>
#include <string>

namespace platform::le {

inline std::uint16_t getU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t getU32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t getU64(const unsigned char* p) {
    return std::uint64_t{getU32(p)} | (std::uint64_t{getU32(p + 4)} << 32);
}

inline void putU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void putU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}
inline void putU64(unsigned char* p, std::uint64_t v) {
    putU32(p, static_cast<std::uint32_t>(v));
    putU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// The same, appended to a byte string.
inline void appendU16(std::string& out, std::uint16_t v) {
    unsigned char b[2];
    putU16(b, v);
    out.append(reinterpret_cast<const char*>(b), 2);
}
inline void appendU32(std::string& out, std::uint32_t v) {
    unsigned char b[4];
    putU32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}
inline void appendU64(std::string& out, std::uint64_t v) {
    unsigned char b[8];
    putU64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

}  // namespace platform::le
