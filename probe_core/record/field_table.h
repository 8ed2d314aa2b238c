// The field table of the probe record: every field and every sub-field once, with where it sits
// in the record, how it is encoded, its key in the JSON form, its caption and its page. Whatever
// walks a record field by field walks this table: the JSON writer and reader, probetool's view,
// the editor's change tracking and undo (probe_contents.h), copying records through the probe
// store (record_cells.h), the Python module's dicts and the sample generator.
//
// A new field of the record is one row here (and a sub-field one row of its word's table), plus
// its control on its page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "abi/probe_record.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/encodings.h"
#include "probe_core/record/page_items.h"

namespace probe {

// ---- the sub-fields of the four bit-field words, in the order the pages load and store them ----

inline constexpr std::array<SubField, 10> kTransducersFields{{
    {"cbKDpC", "frequency_class", 0x3, 0, 2, captions::kKDpC, items::kKDpC},
    {"cbKDpKP", "element_count_class", 0xC, 2, 2, captions::kKDpKP, items::kKDpKP},
    {"cbKDpRIP", "surface_dimensionality", 0x70, 4, 3, captions::kKDpRIP, items::kKDpRIP},
    {"cbKDpFIP1", "surface_shape_plane1", 0x300, 8, 2, captions::kKDpFIP1, items::kKDpFIP},
    {"cbKDpFIP2", "surface_shape_plane2", 0xC00, 10, 2, captions::kKDpFIP2, items::kKDpFIP},
    {"cbLSK", "coordinate_system", 0x3000, 12, 2, captions::kLSK, items::kLSK},
    {"cbSDkPI", "transmitter_access", 0xC000, 14, 2, captions::kSDkPI, items::kSDkP},
    {"cbTIPBI", "transmitter_interface", 0x30000, 16, 2, captions::kTIPBI, items::kTIPB},
    {"cbTIPBP", "receiver_interface", 0xC0000, 18, 2, captions::kTIPBP, items::kTIPB},
    {"cbSDkPP", "receiver_access", 0x300000, 20, 2, captions::kSDkPP, items::kSDkP},
}};

inline constexpr std::array<SubField, 7> kFocusingFields{{
    {"cbKL", "lens_count", 0x3, 0, 2, captions::kKL, items::kKL},
    {"cbSSL", "lens_change_method", 0xC, 2, 2, captions::kSSL, items::kSSL},
    {"ckSAL", "acoustic_lens_system", 0x10, 4, 1, captions::kSAL, {}},
    {"ckMSAL", "lens_change_mechanism", 0x20, 5, 1, captions::kMSAL, {}},
    {"ckVFIP1", "concave_surface_plane1", 0x40, 6, 1, captions::kVFIP1, {}},
    {"ckVFIP2", "concave_surface_plane2", 0x80, 7, 1, captions::kVFIP2, {}},
    {"ckVSDF", "dynamic_focusing_circuit", 0x100, 8, 1, captions::kVSDF, {}},
}};

inline constexpr std::array<SubField, 6> kDeflectionFields{{
    {"ckEP", "rotor_drive", 0x1, 0, 1, captions::kEP, {}},
    {"ck2VFIP1", "convex_surface_plane1", 0x2, 1, 1, captions::k2VFIP1, {}},
    {"ck2VFIP2", "convex_surface_plane2", 0x4, 2, 1, captions::k2VFIP2, {}},
    {"ckVoFIP1", "concave_surface_plane1", 0x8, 3, 1, captions::kVoFIP1, {}},
    {"ckVoFIP2", "concave_surface_plane2", 0x10, 4, 1, captions::kVoFIP2, {}},
    {"ckVSDO", "dynamic_deflection_circuit", 0x20, 5, 1, captions::kVSDO, {}},
}};

inline constexpr std::array<SubField, 5> kScanningFields{{
    {"ckVSUP", "drive_control_circuit", 0x1, 0, 1, captions::kVSUP, {}},
    {"ckVSUPV", "element_selection_circuit", 0x2, 1, 1, captions::kVSUPV, {}},
    {"ckVSUDO", "deflection_control_circuit", 0x4, 2, 1, captions::kVSUDO, {}},
    {"ckVSUDF", "focusing_control_circuit", 0x8, 3, 1, captions::kVSUDF, {}},
    {"ckVSUMSAL", "lens_change_control_circuit", 0x10, 4, 1, captions::kVSUMSAL, {}},
}};

namespace fields {

// ---- where a field sits and how it is encoded ----

// A bit-field word: its sub-fields' codes, and the bits outside all of them kept as they stand.
struct Word {
    std::uint32_t ProbeRecord::*member;
    std::span<const SubField> subFields;
};
// A text cell (cp1251 in the record).
struct Text {
    Stroka ProbeRecord::*member;
};
// A list cell, one text per line.
struct Lines {
    Spisok ProbeRecord::*member;
};
// A double in the unit named.
struct Quantity {
    double ProbeRecord::*member;
    const char* unit;
};
// A signed 32-bit price, 0 = not given.
struct Price {
    std::int32_t ProbeRecord::*member;
};
// A day number (days since 30.12.1899), 0.0 = not given.
struct Date {
    double ProbeRecord::*member;
};
// The decimal exponent of the surface scale: 6 minus the position in the scale list, 7 = none.
struct Scale {
    std::int32_t ProbeRecord::*member;
};
// Bytes no page shows, kept as they stand.
struct Reserved {
    std::size_t offset;
    std::size_t size;
};
using Place = std::variant<Word, Text, Lines, Quantity, Price, Date, Scale, Reserved>;

// JSON object keys that no field owns: the groups of fields, and the parts of a word, a date and
// a sub-field's code.
inline constexpr const char* kIdentification = "identification";
inline constexpr const char* kParameters = "parameters";
inline constexpr const char* kModelObjects = "model_objects";
inline constexpr const char* kReservedGroup = "reserved";
inline constexpr const char* kOtherBits = "other_bits";
inline constexpr const char* kCode = "code";
inline constexpr const char* kText = "text";
inline constexpr const char* kIso = "iso";
inline constexpr const char* kDayNumber = "day_number";
// The probe object's last key, present only for a record read from a file of a later minor
// version: the bytes its record carries after the fields this table knows, as base64 text.
inline constexpr const char* kLaterVersionBytes = "later_version_bytes";
// What a check box shows for its codes 0 and 1.
inline constexpr const char* kBoxTexts[2] = {"нет", "да"};

// One row of the table.
struct Field {
    const char* group;    // the JSON object that holds the key; null: the probe object itself
    const char* key;      // the JSON key
    const char* caption;  // the caption on its page; null where the page shows none
    int page;             // 0 to 7 in page order; -1: on no page
    Place place;
};

// Every field of the record, in page order; a group's rows stand together.
inline constexpr std::array<Field, 27> kProbeFields{{
    {nullptr, "piezo_elements", captions::kProbeClassFrame, 0,
     Word{&ProbeRecord::Piezoelementi, kTransducersFields}},
    {nullptr, "focusing", nullptr, 1, Word{&ProbeRecord::Fokusirovka, kFocusingFields}},
    {nullptr, "deflection", nullptr, 2, Word{&ProbeRecord::Otklonenie, kDeflectionFields}},
    {nullptr, "scanning", nullptr, 3, Word{&ProbeRecord::Skanirovanie, kScanningFields}},
    {nullptr, "preprocessing", nullptr, 4, Lines{&ProbeRecord::Obrabotka}},
    {kIdentification, "manufacturer", captions::kProizvoditel, 5, Text{&ProbeRecord::Proizvoditel}},
    {kIdentification, "model", captions::kModel, 5, Text{&ProbeRecord::Model}},
    {kIdentification, "name", captions::kNazvanie, 5, Text{&ProbeRecord::Nazvanie}},
    {kIdentification, "price", captions::kCena, 5, Price{&ProbeRecord::Cena}},
    {kIdentification, "compatible_instruments", captions::kPribori, 5,
     Lines{&ProbeRecord::Pribori}},
    {kIdentification, "date", captions::kData, 5, Date{&ProbeRecord::Data}},
    {kParameters, "radius_plane1_m", captions::kRKIP1, 6,
     Quantity{&ProbeRecord::RKIP1, captions::kUnitMetre}},
    {kParameters, "radius_plane2_m", captions::kRKIP2, 6,
     Quantity{&ProbeRecord::RKIP2, captions::kUnitMetre}},
    {kParameters, "frequency_hz", captions::kOCHIP, 6,
     Quantity{&ProbeRecord::OCHIP, captions::kUnitHertz}},
    {kParameters, "thickness_m", captions::kTP, 6,
     Quantity{&ProbeRecord::TP, captions::kUnitMetre}},
    {kParameters, "angular_width_deg", captions::kMU, 6,
     Quantity{&ProbeRecord::MU, captions::kUnitDegree}},
    {kParameters, "other", captions::kParametri, 6, Lines{&ProbeRecord::Parametri}},
    {kModelObjects, "surface_file", captions::kIFsP, 7, Text{&ProbeRecord::IFsP}},
    {kModelObjects, "radiating_surface", captions::kIIP, 7, Text{&ProbeRecord::IIP}},
    {kModelObjects, "directivity_pattern", captions::kIIIP, 7, Text{&ProbeRecord::IIIP}},
    {kModelObjects, "reception_pattern", captions::kIIPP, 7, Text{&ProbeRecord::IIPP}},
    {kModelObjects, "surface_scale", captions::kMasshtabProstranstva, 7,
     Scale{&ProbeRecord::MasshtabProstranstva}},
    // Named after the byte ranges of the 456-byte record of the home platform.
    {kReservedGroup, "bytes_0_7", nullptr, -1,
     Reserved{offsetof(ProbeRecord, reserved0), sizeof(ProbeRecord::reserved0)}},
    {kReservedGroup, "bytes_32_111", nullptr, -1,
     Reserved{offsetof(ProbeRecord, reserved1), sizeof(ProbeRecord::reserved1)}},
    {kReservedGroup, "bytes_144_223", nullptr, -1,
     Reserved{offsetof(ProbeRecord, reserved2), sizeof(ProbeRecord::reserved2)}},
    {kReservedGroup, "bytes_272_351", nullptr, -1,
     Reserved{offsetof(ProbeRecord, reserved3), sizeof(ProbeRecord::reserved3)}},
    {kReservedGroup, "bytes_372_455", nullptr, -1,
     Reserved{offsetof(ProbeRecord, reserved4), sizeof(ProbeRecord::reserved4)}},
}};

// The bits of a word that belong to one of its sub-fields.
constexpr std::uint32_t subFieldBits(std::span<const SubField> subFields) {
    std::uint32_t mask = 0;
    for (const SubField& f : subFields) mask |= f.mask;
    return mask;
}

// The text a sub-field's code shows: its list entry or the box's state; null for a code that
// names none.
constexpr const char* codeText(std::uint32_t code, const SubField& f) {
    if (f.items.empty()) return code <= 1 ? kBoxTexts[code] : nullptr;
    return code >= 1 && code <= f.items.size() ? f.items[code - 1] : nullptr;
}

// A reserved range's bytes in a record.
inline std::span<const std::uint8_t> bytesOf(const ProbeRecord& r, const Reserved& range) {
    return {reinterpret_cast<const std::uint8_t*>(&r) + range.offset, range.size};
}
inline std::span<std::uint8_t> bytesOf(ProbeRecord& r, const Reserved& range) {
    return {reinterpret_cast<std::uint8_t*>(&r) + range.offset, range.size};
}

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

}  // namespace fields
}  // namespace probe
