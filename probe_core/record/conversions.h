// Numbers and dates as the user reads and types them: plain functions of the user's locale,
// with "today" supplied by the caller so that results do not depend on the wall clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace probe {

// The parts of the user's locale that numbers and dates use. Texts are UTF-8.
struct UserLocale {
    std::string decimalSeparator = ",";
    // Short date format: d/dd day, M/MM month, yy/yyyy year; '/' stands for the date separator;
    // any other character is copied as it stands.
    std::string shortDateFormat = "dd.MM.yyyy";
    std::string dateSeparator = ".";
};

// The conventions the editor follows: the system's locale where it names one; where it names
// none (C, POSIX, nothing set) the Russian conventions of the editor's own interface, the
// defaults of UserLocale.
UserLocale followedLocale(std::string_view systemLocaleName, const UserLocale& systemLocale);

// Today's local date.
using TodayFn = std::function<std::chrono::sys_days()>;
TodayFn systemToday();

// Day numbers count days from 30 December 1899 (day 0); the fraction is the time of day.
inline constexpr std::chrono::sys_days kDayZero =
    std::chrono::sys_days{std::chrono::year{1899} / std::chrono::December / 30};
double dayNumber(std::chrono::sys_days day);
// The date part of a day number; nullopt when it names no date of the years 1 to 9999.
std::optional<std::chrono::sys_days> dateOfDayNumber(double dayNumber);

// A quantity as shown: empty for 0.0, otherwise general format with 15 significant digits
// (fixed notation from 0.0001 up to 15 integer digits, else mantissa, "E" and exponent).
std::string numberToText(double value, const UserLocale& locale);
// A typed quantity: blanks, sign, digits with at most one locale decimal separator, optional
// exponent, blanks. Nullopt for any other text, the empty one included, and for a value beyond
// the range of a double.
std::optional<double> readNumber(std::string_view text, const UserLocale& locale);
// The quantity a typed text stores: what readNumber reads, 0.0 when it reads nothing.
double textToNumber(std::string_view text, const UserLocale& locale);

// A price as shown: empty for 0, otherwise the plain decimal integer.
std::string priceToText(std::int32_t price);
// A typed price: a signed 32-bit decimal integer, surrounding blanks allowed. Nullopt for
// anything else, out-of-range values and the empty text included.
std::optional<std::int32_t> readPrice(std::string_view text);
// The price a typed text stores: what readPrice reads, 0 when it reads nothing.
std::int32_t textToPrice(std::string_view text);

// A date as shown: empty for 0.0 (and for day numbers that name no date), otherwise the date
// part in the short date format.
std::string dateToText(double dayNumber, const UserLocale& locale);
// A typed date: two or three numbers in the order of the short date format, separated by the
// date separator; two numbers are day and month (month and day when the format begins with the
// year) of the current year; one- and two-digit years fall into the hundred years beginning 50
// years before the current year. Nullopt when unreadable.
std::optional<std::chrono::sys_days> textToDate(std::string_view text, const UserLocale& locale,
                                                std::chrono::sys_days today);
// The day number a typed date stores: 0.0 when empty or unreadable.
double textToDayNumber(std::string_view text, const UserLocale& locale,
                       std::chrono::sys_days today);

}  // namespace probe
