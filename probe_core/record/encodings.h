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
#include "probe_core/record/captions.h"
#include "probe_core/record/page_items.h"

namespace probe {

// One sub-field of a bit-field word: a fixed list stores (position + 1), a check box stores 1.
// The caption and the list entries (none for a check box) are what the page shows for it.
struct SubField {
    const char* control;
    std::uint32_t mask;
    int shift;
    int width;
    const char* caption;
    std::span<const char* const> items;
};

// Sub-fields of each word in the order the page loads and stores them. Every bit outside these
// masks is cleared whenever the page is stored.
inline constexpr std::array<SubField, 10> kTransducersFields{{
    {"cbKDpC", 0x3, 0, 2, captions::kKDpC, items::kKDpC},
    {"cbKDpKP", 0xC, 2, 2, captions::kKDpKP, items::kKDpKP},
    {"cbKDpRIP", 0x70, 4, 3, captions::kKDpRIP, items::kKDpRIP},
    {"cbKDpFIP1", 0x300, 8, 2, captions::kKDpFIP1, items::kKDpFIP},
    {"cbKDpFIP2", 0xC00, 10, 2, captions::kKDpFIP2, items::kKDpFIP},
    {"cbLSK", 0x3000, 12, 2, captions::kLSK, items::kLSK},
    {"cbSDkPI", 0xC000, 14, 2, captions::kSDkPI, items::kSDkP},
    {"cbTIPBI", 0x30000, 16, 2, captions::kTIPBI, items::kTIPB},
    {"cbTIPBP", 0xC0000, 18, 2, captions::kTIPBP, items::kTIPB},
    {"cbSDkPP", 0x300000, 20, 2, captions::kSDkPP, items::kSDkP},
}};

inline constexpr std::array<SubField, 7> kFocusingFields{{
    {"cbKL", 0x3, 0, 2, captions::kKL, items::kKL},
    {"cbSSL", 0xC, 2, 2, captions::kSSL, items::kSSL},
    {"ckSAL", 0x10, 4, 1, captions::kSAL, {}},
    {"ckMSAL", 0x20, 5, 1, captions::kMSAL, {}},
    {"ckVFIP1", 0x40, 6, 1, captions::kVFIP1, {}},
    {"ckVFIP2", 0x80, 7, 1, captions::kVFIP2, {}},
    {"ckVSDF", 0x100, 8, 1, captions::kVSDF, {}},
}};

inline constexpr std::array<SubField, 6> kDeflectionFields{{
    {"ckEP", 0x1, 0, 1, captions::kEP, {}},
    {"ck2VFIP1", 0x2, 1, 1, captions::k2VFIP1, {}},
    {"ck2VFIP2", 0x4, 2, 1, captions::k2VFIP2, {}},
    {"ckVoFIP1", 0x8, 3, 1, captions::kVoFIP1, {}},
    {"ckVoFIP2", 0x10, 4, 1, captions::kVoFIP2, {}},
    {"ckVSDO", 0x20, 5, 1, captions::kVSDO, {}},
}};

inline constexpr std::array<SubField, 5> kScanningFields{{
    {"ckVSUP", 0x1, 0, 1, captions::kVSUP, {}},
    {"ckVSUPV", 0x2, 1, 1, captions::kVSUPV, {}},
    {"ckVSUDO", 0x4, 2, 1, captions::kVSUDO, {}},
    {"ckVSUDF", 0x8, 3, 1, captions::kVSUDF, {}},
    {"ckVSUMSAL", 0x10, 4, 1, captions::kVSUMSAL, {}},
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
inline constexpr const std::array<const char*, 16>& kMasshtabProstranstva =
    surface_scales::kTexts;  // UTF-8
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
