// A probe record's fields as typed values, walked in the order of the field table: what the JSON
// writer, probetool's view and the Python module's dicts are made from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe_core/record/field_table.h"

namespace probe::fields {

// Receives each field of a record in turn. Texts and lines are UTF-8 (the record's cp1251 read
// through the platform's codec); every other value is the record's own.
class FieldVisitor {
  public:
    virtual ~FieldVisitor() = default;
    // The fields of a group (Field::group) come between its begin and its end.
    virtual void groupBegin(const char* /*key*/) {}
    virtual void groupEnd() {}
    virtual void word(const Field& field, const Word& word, std::uint32_t value) = 0;
    virtual void text(const Field& field, std::string_view utf8) = 0;
    virtual void lines(const Field& field, const std::vector<std::string>& utf8) = 0;
    virtual void quantity(const Field& field, double value) = 0;
    virtual void price(const Field& field, std::int32_t value) = 0;
    virtual void date(const Field& field, double dayNumber) = 0;
    virtual void scale(const Field& field, std::int32_t exponent) = 0;
    virtual void reserved(const Field& field, std::span<const std::uint8_t> bytes) = 0;
};

// Hands every field of the record to the visitor, in the table's order.
void visitFields(const ProbeRecord& record, FieldVisitor& visitor);

// The date of a day number as "YYYY-MM-DD"; nothing for 0.0 (not given) and for day numbers that
// name no date of the years 1 to 9999.
std::optional<std::string> isoDate(double dayNumber);

// The scale list's entry for an exponent; null for one the list does not hold.
const char* scaleText(std::int32_t exponent);

}  // namespace probe::fields
