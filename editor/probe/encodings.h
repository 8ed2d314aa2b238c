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

namespace probe {

// One sub-field of a bit-field word: a fixed list stores (position + 1), a check box stores 1.
struct SubField {
    const char* control;
    std::uint32_t mask;
    int shift;
    int width;
};

// Sub-fields of each word in the order the page loads and stores them. Every bit outside these
// masks is cleared whenever the page is stored.
inline constexpr std::array<SubField, 10> kTransducersFields{{
    {"cbKDpC", 0x3, 0, 2},
    {"cbKDpKP", 0xC, 2, 2},
    {"cbKDpRIP", 0x70, 4, 3},
    {"cbKDpFIP1", 0x300, 8, 2},
    {"cbKDpFIP2", 0xC00, 10, 2},
    {"cbLSK", 0x3000, 12, 2},
    {"cbSDkPI", 0xC000, 14, 2},
    {"cbTIPBI", 0x30000, 16, 2},
    {"cbTIPBP", 0xC0000, 18, 2},
    {"cbSDkPP", 0x300000, 20, 2},
}};

inline constexpr std::array<SubField, 7> kFocusingFields{{
    {"cbKL", 0x3, 0, 2},
    {"cbSSL", 0xC, 2, 2},
    {"ckSAL", 0x10, 4, 1},
    {"ckMSAL", 0x20, 5, 1},
    {"ckVFIP1", 0x40, 6, 1},
    {"ckVFIP2", 0x80, 7, 1},
    {"ckVSDF", 0x100, 8, 1},
}};

inline constexpr std::array<SubField, 6> kDeflectionFields{{
    {"ckEP", 0x1, 0, 1},
    {"ck2VFIP1", 0x2, 1, 1},
    {"ck2VFIP2", 0x4, 2, 1},
    {"ckVoFIP1", 0x8, 3, 1},
    {"ckVoFIP2", 0x10, 4, 1},
    {"ckVSDO", 0x20, 5, 1},
}};

inline constexpr std::array<SubField, 5> kScanningFields{{
    {"ckVSUP", 0x1, 0, 1},
    {"ckVSUPV", 0x2, 1, 1},
    {"ckVSUDO", 0x4, 2, 1},
    {"ckVSUDF", 0x8, 3, 1},
    {"ckVSUMSAL", 0x10, 4, 1},
}};

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

// The surface scales, largest first. The stored exponent is 6 minus the position; nothing
// chosen stores 7, and an exponent outside -9..6 shows no entry.
extern const std::array<const char*, 16> kMasshtabProstranstva;  // UTF-8
inline constexpr std::int32_t kScaleNotChosen = 7;
constexpr std::int32_t scaleFromPosition(int position) {
    return (position >= 0 && position < 16) ? 6 - position : kScaleNotChosen;
}
constexpr int positionFromScale(std::int32_t exponent) {
    return (exponent >= -9 && exponent <= 6) ? 6 - exponent : -1;
}

// A text cell's text as UTF-8; a null cell reads as empty.
std::string readTextCell(const Stroka& cell);
// A list cell's lines as UTF-8; a count of 0 never touches the array pointer, and a null array
// reads as no lines whatever the count says.
std::vector<std::string> readListCell(const Spisok& cell);

}  // namespace probe
