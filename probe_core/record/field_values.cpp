#include "probe_core/record/field_values.h"

#include <cstdio>

#include "probe_core/record/conversions.h"

namespace probe::fields {

void visitFields(const ProbeRecord& r, FieldVisitor& visitor) {
    const char* group = nullptr;
    for (const Field& f : kProbeFields) {
        if (group != f.group) {
            if (group != nullptr) visitor.groupEnd();
            group = f.group;
            if (group != nullptr) visitor.groupBegin(group);
        }
        std::visit(Overloaded{
                       [&](const Word& w) { visitor.word(f, w, r.*w.member); },
                       [&](const Text& t) { visitor.text(f, readTextCell(r.*t.member)); },
                       [&](const Lines& l) { visitor.lines(f, readListCell(r.*l.member)); },
                       [&](const Quantity& q) { visitor.quantity(f, r.*q.member); },
                       [&](const Price& p) { visitor.price(f, r.*p.member); },
                       [&](const Date& d) { visitor.date(f, r.*d.member); },
                       [&](const Scale& s) { visitor.scale(f, r.*s.member); },
                       [&](const Reserved& b) { visitor.reserved(f, bytesOf(r, b)); },
                   },
                   f.place);
    }
    if (group != nullptr) visitor.groupEnd();
}

std::optional<std::string> isoDate(double dayNumber) {
    if (dayNumber == 0.0) return std::nullopt;
    const auto day = dateOfDayNumber(dayNumber);
    if (!day) return std::nullopt;
    const std::chrono::year_month_day ymd{*day};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return std::string(buf);
}

const char* scaleText(std::int32_t exponent) {
    const int position = positionFromScale(exponent);
    return position >= 0 ? kScaleTexts[static_cast<std::size_t>(position)] : nullptr;
}

}  // namespace probe::fields
