#include "probe_core/record/conversions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace probe {

UserLocale followedLocale(std::string_view name, const UserLocale& systemLocale) {
    const std::string_view language = name.substr(0, name.find_first_of("._@"));
    if (language.empty() || language == "C" || language == "POSIX") return UserLocale{};
    return systemLocale;
}

using namespace std::chrono;

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && text[i] == ' ') ++i;
    return i;
}

// Day numbers of 1 January 0001 and 31 December 9999: the dates a day number may name.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958465.0;

}  // namespace

TodayFn systemToday() {
    return [] {
        std::time_t now = std::time(nullptr);
        std::tm local{};
#if defined(_WIN32)
        localtime_s(&local, &now);
#else
        localtime_r(&now, &local);
#endif
        return sys_days{year{local.tm_year + 1900} /
                        month{static_cast<unsigned>(local.tm_mon + 1)} /
                        day{static_cast<unsigned>(local.tm_mday)}};
    };
}

double dayNumber(sys_days day) {
    return static_cast<double>((day - kDayZero).count());
}

std::optional<sys_days> dateOfDayNumber(double number) {
    if (!std::isfinite(number)) return std::nullopt;
    double whole = std::trunc(number);  // a negative day number keeps its date in the whole part
    if (whole < kFirstDay || whole > kLastDay) return std::nullopt;
    return kDayZero + days{static_cast<int>(whole)};
}

std::string numberToText(double value, const UserLocale& locale) {
    if (value == 0.0) return {};
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";

    // Fifteen significant digits: one before the point and fourteen after it.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));

    bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (isDigit(c)) digits += c;
    std::string_view expText = sci.substr(ePos + 1);
    bool expNegative = expText.front() == '-';
    if (expText.front() == '-' || expText.front() == '+') expText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    if (expNegative) exponent = -exponent;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < 15) {
        std::string whole, fraction;
        if (exponent >= 0) {
            std::size_t wholeDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= wholeDigits) {
                whole = digits + std::string(wholeDigits - digits.size(), '0');
            } else {
                whole = digits.substr(0, wholeDigits);
                fraction = digits.substr(wholeDigits);
            }
        } else {
            whole = "0";
            fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        }
        out += whole;
        if (!fraction.empty()) out += locale.decimalSeparator + fraction;
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += locale.decimalSeparator + digits.substr(1);
        out += 'E';
        if (exponent < 0) out += '-';
        out += std::to_string(std::abs(exponent));
    }
    return out;
}

double textToNumber(std::string_view text, const UserLocale& locale) {
    return readNumber(text, locale).value_or(0.0);
}

std::optional<double> readNumber(std::string_view text, const UserLocale& locale) {
    if (text.empty()) return std::nullopt;
    std::size_t i = skipBlanks(text, 0);
    std::string number;  // the same number in the form from_chars reads
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    std::string whole, fraction;
    while (i < text.size() && isDigit(text[i])) whole += text[i++];
    const std::string& sep = locale.decimalSeparator;
    if (!sep.empty() && text.substr(i).starts_with(sep)) {
        i += sep.size();
        while (i < text.size() && isDigit(text[i])) fraction += text[i++];
    }
    if (whole.empty() && fraction.empty()) return std::nullopt;
    number += whole.empty() ? "0" : whole;
    if (!fraction.empty()) number += "." + fraction;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        std::string exponent;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            if (text[i] == '-') exponent += '-';
            ++i;
        }
        std::string expDigits;
        while (i < text.size() && isDigit(text[i])) expDigits += text[i++];
        // The letter alone means exponent 0.
        if (!expDigits.empty()) number += "e" + exponent + expDigits;
    }
    i = skipBlanks(text, i);
    if (i != text.size()) return std::nullopt;

    double value = 0.0;
    auto res = std::from_chars(number.data(), number.data() + number.size(), value);
    // Values beyond the range of a double (either way) are unreadable like any other text.
    if (res.ec != std::errc() || res.ptr != number.data() + number.size()) return std::nullopt;
    return value;
}

std::string priceToText(std::int32_t price) {
    return price == 0 ? std::string() : std::to_string(price);
}

std::int32_t textToPrice(std::string_view text) {
    return readPrice(text).value_or(0);
}

std::optional<std::int32_t> readPrice(std::string_view text) {
    std::size_t i = skipBlanks(text, 0);
    std::size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    std::string_view number = text.substr(i, end - i);
    bool plus = !number.empty() && number.front() == '+';
    if (plus) number.remove_prefix(1);
    if (number.empty() || (plus && (number.front() == '-' || number.front() == '+')))
        return std::nullopt;
    std::int32_t value = 0;
    auto res = std::from_chars(number.data(), number.data() + number.size(), value);
    if (res.ec != std::errc() || res.ptr != number.data() + number.size()) return std::nullopt;
    return value;
}

std::string dateToText(double number, const UserLocale& locale) {
    if (number == 0.0) return {};
    auto date = dateOfDayNumber(number);
    if (!date) return {};
    year_month_day ymd{*date};
    const int y = static_cast<int>(ymd.year());
    const unsigned m = static_cast<unsigned>(ymd.month());
    const unsigned d = static_cast<unsigned>(ymd.day());
    auto padded = [](int v, std::size_t width) {
        std::string s = std::to_string(v);
        return s.size() < width ? std::string(width - s.size(), '0') + s : s;
    };

    const std::string& f = locale.shortDateFormat;
    std::string out;
    for (std::size_t i = 0; i < f.size();) {
        char c = f[i];
        if (c == '\'' || c == '"') {  // quoted text is copied without the quotes
            std::size_t close = f.find(c, i + 1);
            if (close == std::string::npos) close = f.size();
            out += f.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        char lower = static_cast<char>(c | 0x20);
        if (lower == 'd' || lower == 'm' || lower == 'y') {
            std::size_t run = 1;
            while (i + run < f.size() && (f[i + run] | 0x20) == lower) ++run;
            if (lower == 'd') out += run >= 2 ? padded(static_cast<int>(d), 2) : std::to_string(d);
            if (lower == 'm') out += run >= 2 ? padded(static_cast<int>(m), 2) : std::to_string(m);
            if (lower == 'y') out += run <= 2 ? padded(y % 100, 2) : padded(y, 4);
            i += run;
            continue;
        }
        if (c == '/')
            out += locale.dateSeparator;
        else
            out += c;
        ++i;
    }
    return out;
}

std::optional<sys_days> textToDate(std::string_view text, const UserLocale& locale,
                                   sys_days today) {
    const std::string& sep = locale.dateSeparator;
    if (sep.empty()) return std::nullopt;

    // Up to three numbers of at most four digits each.
    int numbers[3] = {0, 0, 0};
    std::size_t digitCounts[3] = {0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    while (true) {
        i = skipBlanks(text, i);
        std::size_t start = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        std::size_t len = i - start;
        if (len == 0 || len > 4 || count == 3) return std::nullopt;
        std::from_chars(text.data() + start, text.data() + i, numbers[count]);
        digitCounts[count] = len;
        ++count;
        if (i == text.size()) break;
        if (!text.substr(i).starts_with(sep)) {
            // Only blanks may follow the last number.
            if (skipBlanks(text, i) != text.size()) return std::nullopt;
            break;
        }
        i += sep.size();
        // A trailing separator followed by blanks ends the text.
        if (skipBlanks(text, i) == text.size()) break;
        if (count == 3) return std::nullopt;
    }
    if (count < 2) return std::nullopt;

    // The order of day, month and year is the order in which they first appear in the format.
    char first = 'd';
    for (char c : locale.shortDateFormat) {
        char lower = static_cast<char>(c | 0x20);
        if (lower == 'd' || lower == 'm' || lower == 'y') {
            first = lower;
            break;
        }
    }
    const int currentYear = static_cast<int>(year_month_day{today}.year());
    int d = 0, m = 0, y = currentYear;
    std::size_t yearDigits = 4;
    if (count == 2) {
        // Day and month, in that order, whatever the format; only a format that begins with
        // the year puts the month first.
        if (first == 'y') {
            m = numbers[0];
            d = numbers[1];
        } else {
            d = numbers[0];
            m = numbers[1];
        }
    } else if (first == 'm') {
        m = numbers[0], d = numbers[1], y = numbers[2], yearDigits = digitCounts[2];
    } else if (first == 'y') {
        y = numbers[0], m = numbers[1], d = numbers[2], yearDigits = digitCounts[0];
    } else {
        d = numbers[0], m = numbers[1], y = numbers[2], yearDigits = digitCounts[2];
    }
    if (yearDigits <= 2) {
        const int windowStart = currentYear - 50;
        y += windowStart / 100 * 100;
        if (y < windowStart) y += 100;
    }
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return std::nullopt;
    return sys_days{ymd};
}

double textToDayNumber(std::string_view text, const UserLocale& locale, sys_days today) {
    if (text.empty()) return 0.0;
    auto date = textToDate(text, locale, today);
    return date ? dayNumber(*date) : 0.0;
}

}  // namespace probe
