// Unit Simvoly_preobrazovanie_shifrovanierazrezheniem: gathering bytes that were scattered over
// the bits of byte pairs.
#pragma once

#include <cstdint>

namespace title {

// Where each bit of a restored byte comes from: pair byte (0 or 1) and bit within it, for bits 0
// to 7 of the result.
struct BitSource {
    int pairByte;
    int bit;
};
inline constexpr BitSource kBitSources[8] = {
    {1, 1}, {0, 2}, {1, 3}, {0, 0}, {0, 7}, {1, 6}, {1, 5}, {0, 4},
};
// The bits of each pair byte that carry nothing.
inline constexpr std::uint8_t kUnreadBits0 = 0x6A;
inline constexpr std::uint8_t kUnreadBits1 = 0x95;

// Gathers one byte from every pair of the n bytes at `in` into `out` (n / 2 bytes; an odd last
// byte is not read). `capacity` and the absent pointers as in PreobrazovatTekstVKod.
bool RasshifrovatRazrezhenie(std::uint8_t* out, std::uint32_t& capacity, const std::uint8_t* in,
                             std::uint32_t n);

}  // namespace title
