// Encodings of the probe record's fields: the sub-fields of the four bit-field words, the scale
// exponent, and reading of text and list cells.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "abi/probe_record.h"
#include "abi/surface_scales.h"

namespace probe {

// One sub-field of a bit-field word: a fixed list stores (position + 1), a check box stores 1.
// The caption and the list entries (none for a check box) are what the page shows for it; the
// key names it in the JSON form. The words' tables are in field_table.h.
struct SubField {
    const char* control;
    const char* key;
    std::uint32_t mask;
    int shift;
    int width;
    const char* caption;
    std::span<const char* const> items;
};

// The value of a sub-field in a word.
constexpr std::uint32_t extractSubField(std::uint32_t word, const SubField& f) {
    return (word & f.mask) >> f.shift;
}
// The word bits of a sub-field value; bits that do not fit the sub-field are dropped.
constexpr std::uint32_t placeSubField(std::uint32_t value, const SubField& f) {
    return (value << f.shift) & f.mask;
}
// A fixed list's position for a sub-field value: value - 1, or -1 (nothing chosen) when the
// value is 0 or lies beyond the list's `itemCount` entries.
constexpr int positionFromValue(std::uint32_t value, int itemCount) {
    return (value >= 1 && value <= static_cast<std::uint32_t>(itemCount))
               ? static_cast<int>(value) - 1
               : -1;
}
// The sub-field value for a list position: position + 1, 0 when nothing is chosen.
constexpr std::uint32_t valueFromPosition(int position) {
    return position >= 0 ? static_cast<std::uint32_t>(position) + 1 : 0;
}

// The entries of the scale list (cbMasshtabProstranstva), largest first. The stored exponent is
// 6 minus the position; nothing chosen stores 7, and an exponent outside -9..6 shows no entry.
inline constexpr const std::array<const char*, 16>& kScaleTexts = surface_scales::kTexts;  // UTF-8
inline constexpr std::int32_t kScaleNotChosen = surface_scales::kLargestExponent + 1;
constexpr std::int32_t scaleFromPosition(int position) {
    return (position >= 0 && static_cast<std::size_t>(position) < kScaleTexts.size())
               ? surface_scales::kLargestExponent - position
               : kScaleNotChosen;
}
constexpr int positionFromScale(std::int32_t exponent) {
    return (exponent >= surface_scales::kSmallestExponent &&
            exponent <= surface_scales::kLargestExponent)
               ? surface_scales::kLargestExponent - exponent
               : -1;
}

// A text cell's text as UTF-8; a null cell reads as empty.
std::string readTextCell(const Stroka& cell);
// A list cell's lines as UTF-8; a count of 0 never touches the array pointer, and a null array
// reads as no lines whatever the count says.
std::vector<std::string> readListCell(const Spisok& cell);

}  // namespace probe
