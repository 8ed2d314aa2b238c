// The surface scales a probe record can name (its field MasshtabProstranstva, a decimal
// exponent) and the text every program shows for each: one list, so that the probe's page and
// the surface visualizer name a scale alike. Texts are UTF-8 and static.
#pragma once

#include <array>
#include <cstdint>

namespace surface_scales {

// Largest first: position p names the exponent kLargestExponent - p.
inline constexpr std::int32_t kLargestExponent = 6;
inline constexpr std::int32_t kSmallestExponent = -9;
inline constexpr std::array<const char*, 16> kTexts{
    "1000 км' = 1 м   ( x 10^6 )", "100 км' = 1 м",  "10 км' = 1 м",
    "1 км' = 1 м   ( x 10^3 )",    "100 м' = 1 м",   "10 м' = 1 м",
    "1 м' = 1 м   ( x 1 )",        "100 мм' = 1 м",  "10 мм' = 1 м",
    "1 мм' = 1 м   ( / 10^3 )",    "100 мкм' = 1 м", "10 мкм' = 1 м",
    "1 мкм' = 1 м   ( / 10^6 )",   "100 нм' = 1 м",  "10 нм' = 1 м",
    "1 нм' = 1 м   ( / 10^9 )",
};
static_assert(kTexts.size() == kLargestExponent - kSmallestExponent + 1);

// The text for an exponent, or null for an exponent the list does not hold.
constexpr const char* textOf(std::int32_t exponent) {
    if (exponent > kLargestExponent || exponent < kSmallestExponent) return nullptr;
    return kTexts[static_cast<std::size_t>(kLargestExponent - exponent)];
}

}  // namespace surface_scales
