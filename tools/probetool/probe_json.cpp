#include "tools/probetool/probe_json.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <ostream>
#include <span>
#include <variant>

#include "editor/probe/conversions.h"
#include "editor/probe/encodings.h"
#include "platform/cp1251.h"

namespace probetool {

namespace {

// ---- the probe object's keys ----

// The JSON key of each sub-field of a word, in the order of the word's sub-field table.
struct WordKey {
    const char* control;
    const char* key;
};

constexpr std::array<WordKey, 10> kPiezoelementiKeys{{
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
constexpr std::array<WordKey, 7> kFokusirovkaKeys{{
    {"cbKL", "lens_count"},
    {"cbSSL", "lens_change_method"},
    {"ckSAL", "acoustic_lens_system"},
    {"ckMSAL", "lens_change_mechanism"},
    {"ckVFIP1", "concave_surface_plane1"},
    {"ckVFIP2", "concave_surface_plane2"},
    {"ckVSDF", "dynamic_focusing_circuit"},
}};
constexpr std::array<WordKey, 6> kOtklonenieKeys{{
    {"ckEP", "rotor_drive"},
    {"ck2VFIP1", "convex_surface_plane1"},
    {"ck2VFIP2", "convex_surface_plane2"},
    {"ckVoFIP1", "concave_surface_plane1"},
    {"ckVoFIP2", "concave_surface_plane2"},
    {"ckVSDO", "dynamic_deflection_circuit"},
}};
constexpr std::array<WordKey, 5> kSkanirovanieKeys{{
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
static_assert(keysFollowFields(kPiezoelementiKeys, probe::kTransducersFields));
static_assert(keysFollowFields(kFokusirovkaKeys, probe::kFocusingFields));
static_assert(keysFollowFields(kOtklonenieKeys, probe::kDeflectionFields));
static_assert(keysFollowFields(kSkanirovanieKeys, probe::kScanningFields));

constexpr const char* kOtherBits = "other_bits";
constexpr const char* kCode = "code";
constexpr const char* kText = "text";
constexpr const char* kBoxTexts[2] = {"нет", "да"};

// ---- the kinds of fields ----

struct WordField {
    std::uint32_t ProbeRecord::*word;
    std::span<const probe::SubField> fields;
    std::span<const WordKey> keys;
};
struct TextField {
    Stroka ProbeRecord::*cell;
};
struct LinesField {
    Spisok ProbeRecord::*cell;
};
struct QuantityField {
    double ProbeRecord::*value;
};
struct PriceField {
    std::int32_t ProbeRecord::*value;
};
struct DateField {
    double ProbeRecord::*value;
};
struct ScaleField {
    std::int32_t ProbeRecord::*value;
};
struct ReservedField {
    std::span<const std::uint8_t> (*read)(const ProbeRecord&);
    std::span<std::uint8_t> (*write)(ProbeRecord&);
};
struct Entry;
struct GroupField {
    const std::vector<Entry>* entries;
};
using Member = std::variant<WordField, TextField, LinesField, QuantityField, PriceField, DateField,
                            ScaleField, ReservedField, GroupField>;
struct Entry {
    const char* key;
    Member member;
};

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

// Every field of the record, in the order of the pages.
const std::vector<Entry>& probeEntries() {
    static const std::vector<Entry> entries{
        {"piezo_elements",
         WordField{&ProbeRecord::Piezoelementi, probe::kTransducersFields, kPiezoelementiKeys}},
        {"focusing",
         WordField{&ProbeRecord::Fokusirovka, probe::kFocusingFields, kFokusirovkaKeys}},
        {"deflection",
         WordField{&ProbeRecord::Otklonenie, probe::kDeflectionFields, kOtklonenieKeys}},
        {"scanning",
         WordField{&ProbeRecord::Skanirovanie, probe::kScanningFields, kSkanirovanieKeys}},
        {"preprocessing", LinesField{&ProbeRecord::Obrabotka}},
        {"identification", GroupField{&identificationEntries()}},
        {"parameters", GroupField{&parameterEntries()}},
        {"model_objects", GroupField{&modelObjectEntries()}},
        {"reserved", GroupField{&reservedEntries()}},
    };
    return entries;
}

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

std::uint32_t subFieldBits(std::span<const probe::SubField> fields) {
    std::uint32_t mask = 0;
    for (const probe::SubField& f : fields) mask |= f.mask;
    return mask;
}

// ---- small text helpers ----

std::string hexBits(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
    return out;
}

// "0x" and 1 to `maxDigits` hexadecimal digits.
std::optional<std::uint64_t> parseHexBits(const std::string& text, std::size_t maxDigits) {
    if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto res = std::from_chars(text.data() + 2, end, value, 16);
    if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
    return value;
}

std::string isoDate(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

// "YYYY-MM-DD" naming a real date of the years 1 to 9999.
std::optional<std::chrono::sys_days> parseIsoDate(const std::string& text) {
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

// The ISO form of a day number's date as export writes it: null for 0 and for day numbers that
// name no date.
Json isoOf(double dayNumber) {
    if (dayNumber == 0.0) return nullptr;
    auto date = probe::dateOfDayNumber(dayNumber);
    return date ? Json(isoDate(*date)) : Json(nullptr);
}

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

std::string child(const std::string& path, const std::string& key) {
    return path + "/" + pointerKey(key);
}
std::string child(const std::string& path, std::size_t index) {
    return path + "/" + std::to_string(index);
}

// The first character of a UTF-8 text that code page 1251 has no byte for, with its code point
// ("«✓» (U+2713)"); empty if there is none.
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

// ---- record -> JSON text ----

// Export writes its text directly rather than through a JSON value: building a tree of values
// for every record costs several times more than reading the records. The layout is two-space
// indentation with a sub-field, a date and the header on one line each.

// A JSON string. Texts with nothing to escape (nearly all) are copied as they stand; the rest go
// through the JSON library's serializer. Texts here always come from the cp1251 codec, so they
// are well-formed UTF-8.
void appendString(std::string& out, std::string_view text) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
    } else {
        out +=
            Json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
}

void appendInteger(std::string& out, std::int64_t value) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

// A double as the JSON library writes it (a form that reads back as the same double); one that
// is no finite number as the hexadecimal digits of its bits.
Json quantityJson(double value) {
    if (std::isfinite(value)) return value;
    return hexBits(std::bit_cast<std::uint64_t>(value), 16);
}
void appendQuantity(std::string& out, double value) {
    if (std::isfinite(value))
        out += Json(value).dump();
    else
        appendString(out, hexBits(std::bit_cast<std::uint64_t>(value), 16));
}

// An object or an array spread over lines: each member on a line of its own, indented.
class Block {
  public:
    Block(std::string& out, int indent, char open, char close)
        : out_(out), indent_(indent), close_(close) {
        out_ += open;
    }
    ~Block() {
        if (!first_) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(indent_), ' ');
        }
        out_ += close_;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    // Starts the next member; the caller writes its value.
    std::string& item() {
        out_ += first_ ? "\n" : ",\n";
        first_ = false;
        out_.append(static_cast<std::size_t>(indent_ + 2), ' ');
        return out_;
    }
    std::string& key(const char* key) {
        item() += '"';
        out_ += key;
        out_ += "\": ";
        return out_;
    }
    int inner() const { return indent_ + 2; }

  private:
    std::string& out_;
    int indent_;
    char close_;
    bool first_ = true;
};

// {"code": ..., "text": ...} on one line; text null when the code names no entry.
void appendCoded(std::string& out, std::int64_t code, const char* text) {
    out += "{\"code\": ";
    appendInteger(out, code);
    out += ", \"text\": ";
    if (text)
        appendString(out, text);
    else
        out += "null";
    out += '}';
}

const char* itemText(std::uint32_t value, const probe::SubField& f) {
    if (f.items.empty()) return value <= 1 ? kBoxTexts[value] : nullptr;
    return value >= 1 && value <= f.items.size() ? f.items[value - 1] : nullptr;
}

void appendLines(std::string& out, const Spisok& cell, int indent) {
    Block block(out, indent, '[', ']');
    for (const std::string& line : probe::readListCell(cell)) appendString(block.item(), line);
}

void appendEntries(std::string& out, const std::vector<Entry>& entries, const ProbeRecord& r,
                   int indent);

void appendMember(std::string& out, const Member& member, const ProbeRecord& r, int indent) {
    std::visit(
        Overloaded{
            [&](const WordField& w) {
                const std::uint32_t word = r.*w.word;
                Block block(out, indent, '{', '}');
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    const std::uint32_t value = probe::extractSubField(word, w.fields[i]);
                    appendCoded(block.key(w.keys[i].key), value, itemText(value, w.fields[i]));
                }
                appendString(block.key(kOtherBits), hexBits(word & ~subFieldBits(w.fields), 8));
            },
            [&](const TextField& t) { appendString(out, probe::readTextCell(r.*t.cell)); },
            [&](const LinesField& l) { appendLines(out, r.*l.cell, indent); },
            [&](const QuantityField& q) { appendQuantity(out, r.*q.value); },
            [&](const PriceField& p) { appendInteger(out, r.*p.value); },
            [&](const DateField& d) {
                const Json iso = isoOf(r.*d.value);
                out += "{\"iso\": ";
                if (iso.is_string())
                    appendString(out, iso.get_ref<const std::string&>());
                else
                    out += "null";
                out += ", \"day_number\": ";
                appendQuantity(out, r.*d.value);
                out += '}';
            },
            [&](const ScaleField& s) {
                const int position = probe::positionFromScale(r.*s.value);
                appendCoded(out, r.*s.value,
                            position >= 0
                                ? probe::kMasshtabProstranstva[static_cast<std::size_t>(position)]
                                : nullptr);
            },
            [&](const ReservedField& f) {
                // Trailing zero bytes are left out: an all-zero range reads as "".
                std::span<const std::uint8_t> bytes = f.read(r);
                std::size_t used = bytes.size();
                while (used > 0 && bytes[used - 1] == 0) --used;
                static const char kDigits[] = "0123456789abcdef";
                out += '"';
                for (std::size_t i = 0; i < used; ++i) {
                    out += kDigits[bytes[i] >> 4];
                    out += kDigits[bytes[i] & 0xF];
                }
                out += '"';
            },
            [&](const GroupField& g) { appendEntries(out, *g.entries, r, indent); },
        },
        member);
}

void appendEntries(std::string& out, const std::vector<Entry>& entries, const ProbeRecord& r,
                   int indent) {
    Block block(out, indent, '{', '}');
    for (const Entry& e : entries) appendMember(block.key(e.key), e.member, r, block.inner());
}

// ---- JSON -> record ----

class Reader {
  public:
    Reader(std::vector<Problem>& problems, std::size_t number)
        : problems_(problems), number_(number) {}

    void fail(const std::string& path, std::string message) {
        problems_.push_back({number_, path, std::move(message)});
    }

    // An object whose keys are all among `allowed`; every other key is reported.
    template <typename Keys>
    bool object(const Json& v, const std::string& path, const Keys& allowed) {
        if (!v.is_object()) {
            fail(path, "ожидается объект");
            return false;
        }
        for (const auto& [key, value] : v.items()) {
            (void)value;
            bool known = std::any_of(std::begin(allowed), std::end(allowed),
                                     [&](const auto& a) { return key == keyOf(a); });
            if (!known) fail(child(path, key), "неизвестный ключ «" + key + "»");
        }
        return true;
    }

    // An integer from `low` to `high`.
    std::optional<std::int64_t> integer(const Json& v, const std::string& path, std::int64_t low,
                                        std::int64_t high, const char* what) {
        if (!v.is_number_integer()) {
            fail(path, std::string("ожидается целое число (") + what + ")");
            return std::nullopt;
        }
        bool inRange;
        std::int64_t value = 0;
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            inRange = high >= 0 && u <= static_cast<std::uint64_t>(high);
            value = inRange ? static_cast<std::int64_t>(u) : 0;
        } else {
            value = v.get<std::int64_t>();
            inRange = value >= low && value <= high;
        }
        if (!inRange) {
            fail(path, "число " + v.dump() + " вне диапазона от " + std::to_string(low) + " до " +
                           std::to_string(high) + " (" + what + ")");
            return std::nullopt;
        }
        return value;
    }

    // A text that the record can hold: code page 1251, no zero character. Cp1251 on success.
    std::optional<std::string> text(const Json& v, const std::string& path) {
        if (!v.is_string()) {
            fail(path, "ожидается строка");
            return std::nullopt;
        }
        const std::string& utf8 = v.get_ref<const std::string&>();
        if (utf8.find('\0') != std::string::npos) {
            fail(path, "текст содержит нулевой знак, а в записи текст им заканчивается");
            return std::nullopt;
        }
        std::string cp1251 = platform::utf8ToCp1251(utf8);
        if (platform::cp1251ToUtf8(cp1251) == utf8) return cp1251;
        const std::string bad = firstUncarried(utf8);
        fail(path, (bad.empty() ? std::string("в тексте есть знаки") : "знака " + bad) +
                       " нет в кодовой странице 1251, в записи его не сохранить");
        return std::nullopt;
    }

    std::optional<std::vector<std::string>> lines(const Json& v, const std::string& path) {
        if (!v.is_array()) {
            fail(path, "ожидается массив строк");
            return std::nullopt;
        }
        std::vector<std::string> out;
        bool ok = true;
        for (std::size_t i = 0; i < v.size(); ++i) {
            auto line = text(v[i], child(path, i));
            if (line)
                out.push_back(std::move(*line));
            else
                ok = false;
        }
        if (!ok) return std::nullopt;
        return out;
    }

    std::optional<double> quantity(const Json& v, const std::string& path) {
        if (v.is_number()) return v.get<double>();
        if (v.is_string()) {
            if (auto bits = parseHexBits(v.get_ref<const std::string&>(), 16))
                return std::bit_cast<double>(*bits);
        }
        fail(path, "ожидается число или строка \"0x\" с шестнадцатеричными цифрами его битов");
        return std::nullopt;
    }

  private:
    static std::string_view keyOf(const char* key) { return key; }
    static std::string_view keyOf(const Entry& e) { return e.key; }
    static std::string_view keyOf(const WordKey& k) { return k.key; }

    std::vector<Problem>& problems_;
    std::size_t number_;
};

// The code of a sub-field object {"code": ..., "text": ...}; the text is for reading and only
// its type is checked.
std::optional<std::int64_t> codeOf(const Json& v, const std::string& path, std::int64_t low,
                                   std::int64_t high, const char* what, Reader& in) {
    static constexpr const char* kKeys[] = {kCode, kText};
    if (!in.object(v, path, kKeys)) return std::nullopt;
    auto text = v.find(kText);
    if (text != v.end() && !text->is_string() && !text->is_null())
        in.fail(child(path, kText), "ожидается строка или null");
    auto code = v.find(kCode);
    if (code == v.end()) {
        in.fail(path, "не хватает ключа «code»");
        return std::nullopt;
    }
    return in.integer(*code, child(path, kCode), low, high, what);
}

void readEntries(const std::vector<Entry>& entries, const Json& v, const std::string& path,
                 Reader& in, StagedProbe& probe);

void readMember(const Member& member, const Json& v, const std::string& path, Reader& in,
                StagedProbe& probe) {
    ProbeRecord& r = probe.record;
    std::visit(
        Overloaded{
            [&](const WordField& w) {
                std::vector<const char*> keys;
                for (const WordKey& k : w.keys) keys.push_back(k.key);
                keys.push_back(kOtherBits);
                if (!in.object(v, path, keys)) return;
                std::uint32_t word = 0;
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    auto it = v.find(w.keys[i].key);
                    if (it == v.end()) continue;
                    const probe::SubField& f = w.fields[i];
                    const std::int64_t largest = (std::int64_t{1} << f.width) - 1;
                    const std::string what =
                        f.width == 1 ? std::string("код флажка")
                                     : "код подполя из " + std::to_string(f.width) + " бит";
                    if (auto code =
                            codeOf(*it, child(path, w.keys[i].key), 0, largest, what.c_str(), in))
                        word |= probe::placeSubField(static_cast<std::uint32_t>(*code), f);
                }
                if (auto it = v.find(kOtherBits); it != v.end()) {
                    const std::string at = child(path, kOtherBits);
                    std::optional<std::uint64_t> bits;
                    if (it->is_string()) bits = parseHexBits(it->get_ref<const std::string&>(), 8);
                    const std::uint32_t owned = subFieldBits(w.fields);
                    if (!bits)
                        in.fail(at, "ожидается строка \"0x\" и до 8 шестнадцатеричных цифр");
                    else if ((*bits & owned) != 0)
                        in.fail(at, "биты " + hexBits(*bits & owned, 8) +
                                        " принадлежат подполям слова и задаются их кодами");
                    else
                        word |= static_cast<std::uint32_t>(*bits);
                }
                r.*w.word = word;
            },
            [&](const TextField& t) {
                if (auto text = in.text(v, path)) probe.setText(r.*t.cell, std::move(*text));
            },
            [&](const LinesField& l) {
                if (auto lines = in.lines(v, path)) probe.setLines(r.*l.cell, std::move(*lines));
            },
            [&](const QuantityField& q) {
                if (auto value = in.quantity(v, path)) r.*q.value = *value;
            },
            [&](const PriceField& p) {
                if (auto value = in.integer(v, path, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), "цена"))
                    r.*p.value = static_cast<std::int32_t>(*value);
            },
            [&](const DateField& d) {
                static constexpr const char* kKeys[] = {"iso", "day_number"};
                if (!in.object(v, path, kKeys)) return;
                std::optional<double> number;
                if (auto it = v.find("day_number"); it != v.end())
                    number = in.quantity(*it, child(path, "day_number"));
                auto iso = v.find("iso");
                if (iso == v.end()) {
                    if (number) r.*d.value = *number;
                    return;
                }
                const std::string at = child(path, "iso");
                std::optional<std::chrono::sys_days> date;
                if (iso->is_string()) date = parseIsoDate(iso->get_ref<const std::string&>());
                if (!iso->is_null() && !date) {
                    in.fail(at, "ожидается дата вида ГГГГ-ММ-ДД или null");
                    return;
                }
                if (v.find("day_number") == v.end()) {
                    r.*d.value = date ? probe::dayNumber(*date) : 0.0;
                } else if (number) {
                    if (isoOf(*number) != *iso)
                        in.fail(at,
                                "дата не совпадает с номером дня " + quantityJson(*number).dump());
                    else
                        r.*d.value = *number;
                }
            },
            [&](const ScaleField& s) {
                if (auto code = codeOf(v, path, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max(),
                                       "показатель степени масштаба", in))
                    r.*s.value = static_cast<std::int32_t>(*code);
            },
            [&](const ReservedField& f) {
                std::span<std::uint8_t> bytes = f.write(r);
                if (!v.is_string()) {
                    in.fail(path, "ожидается строка шестнадцатеричных цифр");
                    return;
                }
                const std::string& hex = v.get_ref<const std::string&>();
                if (hex.size() % 2 != 0 || hex.size() > 2 * bytes.size()) {
                    in.fail(path, "ожидается чётное число шестнадцатеричных цифр, не больше " +
                                      std::to_string(2 * bytes.size()));
                    return;
                }
                for (std::size_t i = 0; i < hex.size() / 2; ++i) {
                    const char* first = hex.data() + 2 * i;
                    std::uint8_t byte = 0;
                    auto res = std::from_chars(first, first + 2, byte, 16);
                    if (res.ec != std::errc() || res.ptr != first + 2) {
                        in.fail(path,
                                "«" + std::string(first, 2) + "» — не пара шестнадцатеричных цифр");
                        return;
                    }
                    bytes[i] = byte;
                }
            },
            [&](const GroupField& g) { readEntries(*g.entries, v, path, in, probe); },
        },
        member);
}

// Keys that are missing leave their field as "not given": zero, empty or no choice.
void readEntries(const std::vector<Entry>& entries, const Json& v, const std::string& path,
                 Reader& in, StagedProbe& probe) {
    if (!in.object(v, path, entries)) return;
    for (const Entry& e : entries) {
        auto it = v.find(e.key);
        if (it != v.end()) readMember(e.member, *it, child(path, e.key), in, probe);
    }
}

// ---- record -> record through the store ----

const char* PLUGIN_CALL giveText(std::int32_t, void* context) {
    return static_cast<const char*>(context);
}

const char* PLUGIN_CALL giveLine(std::int32_t index, void* context) {
    const auto* cell = static_cast<const Spisok*>(context);
    if (index < 0 || static_cast<std::uint32_t>(index) >= cell->kolichestvo) return "";
    const char* line = cell->stroki[index];
    return line ? line : "";
}

void transferEntries(const std::vector<Entry>& entries, const ProbeRecord& from, ProbeRecord& to,
                     const contracts::ProbeStoreApi& store) {
    for (const Entry& e : entries) {
        std::visit(Overloaded{
                       [&](const WordField& w) { to.*w.word = from.*w.word; },
                       [&](const TextField& t) {
                           store.UdalitStroku(&(to.*t.cell));
                           if (const char* text = (from.*t.cell).tekst)
                               store.SozdatStroku(&(to.*t.cell), giveText, const_cast<char*>(text));
                       },
                       [&](const LinesField& l) {
                           store.UdalitSpisok(&(to.*l.cell));
                           const Spisok& source = from.*l.cell;
                           if (source.kolichestvo != 0 && source.stroki != nullptr)
                               store.SozdatSpisok(&(to.*l.cell), giveLine, source.kolichestvo,
                                                  const_cast<Spisok*>(&source));
                       },
                       [&](const QuantityField& q) { to.*q.value = from.*q.value; },
                       [&](const PriceField& p) { to.*p.value = from.*p.value; },
                       [&](const DateField& d) { to.*d.value = from.*d.value; },
                       [&](const ScaleField& s) { to.*s.value = from.*s.value; },
                       [&](const ReservedField& f) {
                           std::span<const std::uint8_t> source = f.read(from);
                           std::copy(source.begin(), source.end(), f.write(to).begin());
                       },
                       [&](const GroupField& g) { transferEntries(*g.entries, from, to, store); },
                   },
                   e.member);
    }
}

}  // namespace

// ---- public ----

void StagedProbe::setText(Stroka& cell, std::string cp1251) {
    if (cp1251.empty()) {
        cell.tekst = nullptr;
        return;
    }
    cell.tekst = texts_.emplace_back(std::move(cp1251)).data();
}

void StagedProbe::setLines(Spisok& cell, std::vector<std::string> cp1251) {
    std::vector<char*>& array = arrays_.emplace_back();
    for (std::string& line : cp1251) array.push_back(texts_.emplace_back(std::move(line)).data());
    cell.stroki = array.empty() ? nullptr : array.data();
    cell.kolichestvo = static_cast<std::uint32_t>(array.size());
}

void appendProbe(std::string& out, const ProbeRecord& record, int indent) {
    appendEntries(out, probeEntries(), record, indent);
}

std::unique_ptr<StagedProbe> probeFromJson(const Json& value, const std::string& path,
                                           std::size_t number, std::vector<Problem>& problems) {
    auto probe = std::make_unique<StagedProbe>();
    Reader in(problems, number);
    readEntries(probeEntries(), value, path, in, *probe);
    return probe;
}

std::vector<std::unique_ptr<StagedProbe>> documentFromJson(const Json& document,
                                                           std::vector<Problem>& problems) {
    std::vector<std::unique_ptr<StagedProbe>> probes;
    Reader in(problems, 0);
    static constexpr const char* kTop[] = {"header", "probes"};
    if (!in.object(document, "", kTop)) return probes;

    auto header = document.find("header");
    if (header == document.end()) {
        in.fail("", "не хватает заголовка «header»");
    } else {
        static constexpr const char* kHeader[] = {"format", "version"};
        if (in.object(*header, "/header", kHeader)) {
            auto format = header->find("format");
            if (format == header->end() || !format->is_string() || *format != kFormatName)
                in.fail("/header/format", std::string("ожидается формат \"") + kFormatName + "\"");
            auto version = header->find("version");
            if (version == header->end() || *version != kFormatVersion)
                in.fail("/header/version",
                        "поддерживается только версия " + std::to_string(kFormatVersion));
        }
    }

    auto list = document.find("probes");
    if (list == document.end()) {
        in.fail("", "не хватает массива датчиков «probes»");
    } else if (!list->is_array()) {
        in.fail("/probes", "ожидается массив датчиков");
    } else {
        for (std::size_t i = 0; i < list->size(); ++i)
            probes.push_back(probeFromJson((*list)[i], child("/probes", i), i + 1, problems));
    }
    return probes;
}

Json parseJson(std::string_view text, std::vector<Problem>& problems) {
    // Where the parser stands: for each open object its keys so far and the current one, for
    // each open array the index of the current element.
    struct Level {
        bool object;
        std::vector<std::string> keys;
        std::size_t index = 0;
    };
    std::vector<Level> levels;
    auto pathOf = [&](std::size_t depth) {
        std::string path;
        for (std::size_t i = 0; i < depth; ++i)
            path = levels[i].object ? child(path, levels[i].keys.back())
                                    : child(path, levels[i].index);
        return path;
    };
    auto probeNumber = [&]() -> std::size_t {
        if (levels.size() >= 2 && levels[0].object && !levels[0].keys.empty() &&
            levels[0].keys.back() == "probes" && !levels[1].object)
            return levels[1].index + 1;
        return 0;
    };
    using Event = nlohmann::json::parse_event_t;
    auto callback = [&](int, Event event, Json& parsed) {
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                levels.push_back({event == Event::object_start, {}, 0});
                break;
            case Event::key: {
                Level& level = levels.back();
                const std::string& key = parsed.get_ref<const std::string&>();
                if (std::find(level.keys.begin(), level.keys.end(), key) != level.keys.end())
                    problems.push_back({probeNumber(), child(pathOf(levels.size() - 1), key),
                                        "ключ «" + key + "» повторяется в одном объекте"});
                // The current key is kept last, so the path names it.
                level.keys.push_back(key);
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels.pop_back();
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                break;
            case Event::value:
                if (!levels.empty() && !levels.back().object) ++levels.back().index;
                break;
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), callback);
    } catch (const nlohmann::json::parse_error& e) {
        // e.byte counts from 1 and names the character at which reading stopped.
        const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        // A few characters before the stop, made printable: bytes that are no UTF-8 and
        // characters of other code pages show as '?'.
        const std::size_t from = at >= 12 ? at - 12 : 0;
        std::string near = platform::cp1251ToUtf8(platform::utf8ToCp1251(
            text.substr(from, std::min<std::size_t>(at + 1, text.size()) - from)));
        for (char& c : near)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        std::string message = "синтаксическая ошибка JSON в строке " + std::to_string(line) +
                              ", столбце " + std::to_string(column);
        if (at >= text.size()) message += ": текст кончился раньше, чем значение";
        if (!near.empty()) message += ", рядом с «" + near + "»";
        problems.push_back({0, "", std::move(message)});
        return Json();
    }
}

void transferRecord(const ProbeRecord& source, ProbeRecord& target,
                    const contracts::ProbeStoreApi& store) {
    transferEntries(probeEntries(), source, target, store);
}

DocumentWriter::DocumentWriter(std::ostream& out) : out_(out) {
    buffer_ = "{\n  \"header\": {\"format\": ";
    appendString(buffer_, kFormatName);
    buffer_ += ", \"version\": ";
    appendInteger(buffer_, kFormatVersion);
    buffer_ += "},\n  \"probes\": [";
}

void DocumentWriter::probe(const ProbeRecord& record) {
    buffer_ += probes_++ == 0 ? "\n    " : ",\n    ";
    appendProbe(buffer_, record, 4);
    if (buffer_.size() >= (1u << 20)) {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
}

bool DocumentWriter::finish() {
    buffer_ += probes_ == 0 ? "]\n}\n" : "\n  ]\n}\n";
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    out_.flush();
    return static_cast<bool>(out_);
}

}  // namespace probetool
