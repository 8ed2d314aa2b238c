// What the JSON writer and reader share beside the field table (probe_core/record/field_table.h):
// the text forms of bits, dates and numbers, the cp1251 check of texts, and where a value stands.
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

#include "probe_core/json/probe_json.h"
#include "probe_core/record/field_table.h"

namespace probejson::fields {

// Whether a key read from JSON is the key `name` of the table (without counting its length).
bool equals(std::string_view key, const char* name);

// ---- small text helpers ----

// "0x" and `digits` upper-case hexadecimal digits.
std::string hexBits(std::uint64_t value, int digits);
// "0x" and 1 to `maxDigits` hexadecimal digits.
std::optional<std::uint64_t> parseHexBits(std::string_view text, std::size_t maxDigits);
// "YYYY-MM-DD" naming a real date of the years 1 to 9999.
std::optional<std::chrono::sys_days> parseIsoDate(std::string_view text);
// A quantity as export writes it: a finite double as the shortest number text that reads back as
// the same double (with ".0" where it would read as an integer), any other as a string of the
// hexadecimal digits of its bits.
void appendQuantity(std::string& out, double value);
// A JSON string of a UTF-8 text.
void appendString(std::string& out, std::string_view text);
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
