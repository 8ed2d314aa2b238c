#include "probe_core/json/probe_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "probe_core/record/conversions.h"
#include "platform/cp1251.h"

namespace probejson::fields {

namespace {

constexpr std::array<WordKey, 10> kTransducersKeys{{
    {"cbKDpC", "frequency_class"},
    {"cbKDpKP", "element_count_class"},
    {"cbKDpRIP", "surface_dimensionality"},
    {"cbKDpFIP1", "surface_shape_plane1"},
    {"cbKDpFIP2", "surface_shape_plane2"},
    {"cbLSK", "coordinate_system"},
    {"cbSDkPI", "transmitter_access"},
    {"cbTIPBI", "transmitter_interface"},
    {"cbTIPBP", "receiver_interface"},
    {"cbSDkPP", "receiver_access"},
}};
constexpr std::array<WordKey, 7> kFocusingKeys{{
    {"cbKL", "lens_count"},
    {"cbSSL", "lens_change_method"},
    {"ckSAL", "acoustic_lens_system"},
    {"ckMSAL", "lens_change_mechanism"},
    {"ckVFIP1", "concave_surface_plane1"},
    {"ckVFIP2", "concave_surface_plane2"},
    {"ckVSDF", "dynamic_focusing_circuit"},
}};
constexpr std::array<WordKey, 6> kDeflectionKeys{{
    {"ckEP", "rotor_drive"},
    {"ck2VFIP1", "convex_surface_plane1"},
    {"ck2VFIP2", "convex_surface_plane2"},
    {"ckVoFIP1", "concave_surface_plane1"},
    {"ckVoFIP2", "concave_surface_plane2"},
    {"ckVSDO", "dynamic_deflection_circuit"},
}};
constexpr std::array<WordKey, 5> kScanningKeys{{
    {"ckVSUP", "drive_control_circuit"},
    {"ckVSUPV", "element_selection_circuit"},
    {"ckVSUDO", "deflection_control_circuit"},
    {"ckVSUDF", "focusing_control_circuit"},
    {"ckVSUMSAL", "lens_change_control_circuit"},
}};

template <std::size_t N, std::size_t M>
constexpr bool keysFollowFields(const std::array<WordKey, N>& keys,
                                const std::array<probe::SubField, M>& fields) {
    if (N != M) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (std::string_view(keys[i].control) != fields[i].control) return false;
    return true;
}
static_assert(keysFollowFields(kTransducersKeys, probe::kTransducersFields));
static_assert(keysFollowFields(kFocusingKeys, probe::kFocusingFields));
static_assert(keysFollowFields(kDeflectionKeys, probe::kDeflectionFields));
static_assert(keysFollowFields(kScanningKeys, probe::kScanningFields));

template <auto Bytes>
ReservedField reserved() {
    return {[](const ProbeRecord& r) { return std::span<const std::uint8_t>(r.*Bytes); },
            [](ProbeRecord& r) { return std::span<std::uint8_t>(r.*Bytes); }};
}

const std::vector<Entry>& identificationEntries() {
    static const std::vector<Entry> entries{
        {"manufacturer", TextField{&ProbeRecord::Proizvoditel}},
        {"model", TextField{&ProbeRecord::Model}},
        {"name", TextField{&ProbeRecord::Nazvanie}},
        {"price", PriceField{&ProbeRecord::Cena}},
        {"compatible_instruments", LinesField{&ProbeRecord::Pribori}},
        {"date", DateField{&ProbeRecord::Data}},
    };
    return entries;
}

const std::vector<Entry>& parameterEntries() {
    static const std::vector<Entry> entries{
        {"radius_plane1_m", QuantityField{&ProbeRecord::RKIP1}},
        {"radius_plane2_m", QuantityField{&ProbeRecord::RKIP2}},
        {"frequency_hz", QuantityField{&ProbeRecord::OCHIP}},
        {"thickness_m", QuantityField{&ProbeRecord::TP}},
        {"angular_width_deg", QuantityField{&ProbeRecord::MU}},
        {"other", LinesField{&ProbeRecord::Parametri}},
    };
    return entries;
}

const std::vector<Entry>& modelObjectEntries() {
    static const std::vector<Entry> entries{
        {"surface_file", TextField{&ProbeRecord::IFsP}},
        {"radiating_surface", TextField{&ProbeRecord::IIP}},
        {"directivity_pattern", TextField{&ProbeRecord::IIIP}},
        {"reception_pattern", TextField{&ProbeRecord::IIPP}},
        {"surface_scale", ScaleField{&ProbeRecord::MasshtabProstranstva}},
    };
    return entries;
}

// Named after the byte ranges of the 456-byte record of the home platform.
const std::vector<Entry>& reservedEntries() {
    static const std::vector<Entry> entries{
        {"bytes_0_7", reserved<&ProbeRecord::reserved0>()},
        {"bytes_32_111", reserved<&ProbeRecord::reserved1>()},
        {"bytes_144_223", reserved<&ProbeRecord::reserved2>()},
        {"bytes_272_351", reserved<&ProbeRecord::reserved3>()},
        {"bytes_372_455", reserved<&ProbeRecord::reserved4>()},
    };
    return entries;
}

}  // namespace

const std::vector<Entry>& probeEntries() {
    static const std::vector<Entry> entries{
        {"piezo_elements",
         WordField{&ProbeRecord::Piezoelementi, probe::kTransducersFields, kTransducersKeys}},
        {"focusing", WordField{&ProbeRecord::Fokusirovka, probe::kFocusingFields, kFocusingKeys}},
        {"deflection",
         WordField{&ProbeRecord::Otklonenie, probe::kDeflectionFields, kDeflectionKeys}},
        {"scanning", WordField{&ProbeRecord::Skanirovanie, probe::kScanningFields, kScanningKeys}},
        {"preprocessing", LinesField{&ProbeRecord::Obrabotka}},
        {"identification", GroupField{&identificationEntries()}},
        {"parameters", GroupField{&parameterEntries()}},
        {"model_objects", GroupField{&modelObjectEntries()}},
        {"reserved", GroupField{&reservedEntries()}},
    };
    return entries;
}

bool equals(std::string_view key, const char* name) {
    for (char c : key) {
        if (*name == '\0' || *name != c) return false;
        ++name;
    }
    return *name == '\0';
}

std::uint32_t subFieldBits(std::span<const probe::SubField> fields) {
    std::uint32_t mask = 0;
    for (const probe::SubField& f : fields) mask |= f.mask;
    return mask;
}

std::string hexBits(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
    return out;
}

std::optional<std::uint64_t> parseHexBits(std::string_view text, std::size_t maxDigits) {
    if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto res = std::from_chars(text.data() + 2, end, value, 16);
    if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
    return value;
}

namespace {

std::string isoDate(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

}  // namespace

std::optional<std::chrono::sys_days> parseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    auto number = [&](std::size_t from, std::size_t length) -> std::optional<int> {
        int value = 0;
        const char* first = text.data() + from;
        auto res = std::from_chars(first, first + length, value);
        if (res.ec != std::errc() || res.ptr != first + length || *first == '-' || *first == '+')
            return std::nullopt;
        return value;
    };
    auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
    if (!y || !m || !d || *y < 1 || *m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year{*y},
                                          std::chrono::month{static_cast<unsigned>(*m)},
                                          std::chrono::day{static_cast<unsigned>(*d)}};
    if (!ymd.ok()) return std::nullopt;
    return std::chrono::sys_days{ymd};
}

Json isoOf(double dayNumber) {
    if (dayNumber == 0.0) return nullptr;
    auto date = probe::dateOfDayNumber(dayNumber);
    return date ? Json(isoDate(*date)) : Json(nullptr);
}

namespace {

std::string pointerKey(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string child(const std::string& path, const std::string& key) {
    return path + "/" + pointerKey(key);
}
std::string child(const std::string& path, std::size_t index) {
    return path + "/" + std::to_string(index);
}

Json quantityJson(double value) {
    if (std::isfinite(value)) return value;
    return hexBits(std::bit_cast<std::uint64_t>(value), 16);
}

// One table look-up per character: the platform's encoder searches its table.
std::optional<std::string> strictCp1251(std::string_view utf8) {
    static const std::vector<std::uint8_t> byteOf = [] {
        std::vector<std::uint8_t> table;
        for (int b = 0x80; b < 0x100; ++b) {
            const std::u16string cp = platform::cp1251ToUtf16(std::string(1, static_cast<char>(b)));
            if (cp.size() != 1) continue;
            if (table.size() <= cp[0]) table.resize(cp[0] + 1u, 0);
            table[cp[0]] = static_cast<std::uint8_t>(b);
        }
        return table;
    }();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out.push_back(static_cast<char>(b0));
            ++i;
            continue;
        }
        const std::size_t length = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : 0;
        if (length == 0 || i + length > utf8.size()) return std::nullopt;
        std::uint32_t cp = b0 & (length == 2 ? 0x1Fu : 0x0Fu);
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (b & 0x3Fu);
        }
        // Overlong forms and characters beyond the table are not carried.
        if (cp < (length == 2 ? 0x80u : 0x800u) || cp >= byteOf.size() || byteOf[cp] == 0)
            return std::nullopt;
        out.push_back(static_cast<char>(byteOf[cp]));
        i += length;
    }
    return out;
}

std::string firstUncarried(const std::string& utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        const std::string one = utf8.substr(i, length);
        if (platform::cp1251ToUtf8(platform::utf8ToCp1251(one)) != one) {
            std::uint32_t cp = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(one[k]) & 0x3Fu);
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
            return "«" + one + "» (" + code + ")";
        }
        i += length;
    }
    return {};
}

// Made once per width.
const char* subFieldCode(int width) {
    static const std::array<std::string, 33> names = [] {
        std::array<std::string, 33> out;
        out[1] = "код флажка";
        for (int w = 2; w <= 32; ++w) out[w] = "код подполя из " + std::to_string(w) + " бит";
        return out;
    }();
    return names.at(static_cast<std::size_t>(width)).c_str();
}

}  // namespace probejson::fields

namespace probejson {

namespace {

// A text cut to at most `longest` bytes at a character's start, marked by "…" where it was cut.
void cutText(std::string& text, std::size_t longest) {
    if (text.size() <= longest) return;
    std::size_t end = longest;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    text += "…";
    text.shrink_to_fit();
}

}  // namespace

void Problems::add(std::size_t probe, std::string path, std::string message) {
    ++count_;
    if (full()) return;
    cutText(path, kLongestText);
    cutText(message, kLongestText);
    kept_.push_back({probe, std::move(path), std::move(message)});
}

}  // namespace probejson
