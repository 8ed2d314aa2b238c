// The probe object's keys: which JSON key holds which field of the probe record, and of which
// kind the field is. The writer, the reader and the record transfer all walk this one table.
// Internal to the probe_json library.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "probe_core/record/encodings.h"
#include "probe_core/json/probe_json.h"

namespace probejson::fields {

// The JSON key of each sub-field of a word, in the order of the word's sub-field table.
struct WordKey {
    const char* control;
    const char* key;
};

inline constexpr const char* kOtherBits = "other_bits";
inline constexpr const char* kCode = "code";
inline constexpr const char* kText = "text";
inline constexpr const char* kBoxTexts[2] = {"нет", "да"};

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

// Every field of the record, in the order of the pages.
const std::vector<Entry>& probeEntries();

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// Whether a key read from JSON is the key `name` of the table (without counting its length).
bool equals(std::string_view key, const char* name);

// The bits of a word that belong to one of its sub-fields.
std::uint32_t subFieldBits(std::span<const probe::SubField> fields);

// ---- small text helpers ----

// "0x" and `digits` upper-case hexadecimal digits.
std::string hexBits(std::uint64_t value, int digits);
// "0x" and 1 to `maxDigits` hexadecimal digits.
std::optional<std::uint64_t> parseHexBits(std::string_view text, std::size_t maxDigits);
// "YYYY-MM-DD" naming a real date of the years 1 to 9999.
std::optional<std::chrono::sys_days> parseIsoDate(std::string_view text);
// The ISO form of a day number's date as export writes it: null for 0 and for day numbers that
// name no date.
Json isoOf(double dayNumber);
// A double as the JSON library writes it (a form that reads back as the same double); one that
// is no finite number as the hexadecimal digits of its bits.
Json quantityJson(double value);
// The JSON pointer of a member of the value at `path`.
std::string child(const std::string& path, const std::string& key);
std::string child(const std::string& path, std::size_t index);

// Code page 1251 of a UTF-8 text, or nothing when the text is not well-formed UTF-8 or holds a
// character that the code page lacks (what a round trip through the platform's codec would not
// bring back).
std::optional<std::string> strictCp1251(std::string_view utf8);
// The first character of a UTF-8 text that code page 1251 has no byte for, with its code point
// ("«✓» (U+2713)"); empty if there is none.
std::string firstUncarried(const std::string& utf8);
// What the code of a sub-field of `width` bits is, as a fault names it.
const char* subFieldCode(int width);

// Where a value stands, as a chain of keys and indexes: the JSON pointer is spelled out only for
// a fault, so that checking a good probe builds no text.
class Path {
  public:
    explicit Path(const std::string& root) : root_(&root) {}
    Path(const Path& parent, std::string_view key) : parent_(&parent), key_(key) {}
    Path(const Path& parent, std::size_t index) : parent_(&parent), index_(index), indexed_(true) {}

    std::string str() const {
        if (parent_ == nullptr) return *root_;
        return indexed_ ? child(parent_->str(), index_) : child(parent_->str(), std::string(key_));
    }

  private:
    const std::string* root_ = nullptr;
    const Path* parent_ = nullptr;
    std::string_view key_;
    std::size_t index_ = 0;
    bool indexed_ = false;
};

}  // namespace probejson::fields
