// Numbers and dates in the user's locale.
#include <gtest/gtest.h>

#include <cmath>

#include "probe_core/record/conversions.h"

namespace probe {
namespace {

using namespace std::chrono;

const UserLocale kComma{",", "dd.MM.yyyy", "."};
const UserLocale kPoint{".", "M/d/yyyy", "/"};
const UserLocale kIso{".", "yyyy-MM-dd", "-"};
const sys_days kToday = sys_days{2026y / December / 7};

TEST(NumberText, GeneralFormatWithLocaleSeparator) {
    EXPECT_EQ(numberToText(0.0, kComma), "");
    EXPECT_EQ(numberToText(0.005, kComma), "0,005");
    EXPECT_EQ(numberToText(0.0001, kComma), "0,0001");
    EXPECT_EQ(numberToText(0.00005, kComma), "5E-5");
    EXPECT_EQ(numberToText(1500.0, kComma), "1500");
    EXPECT_EQ(numberToText(1.25e-7, kComma), "1,25E-7");
    EXPECT_EQ(numberToText(1e20, kComma), "1E20");
    EXPECT_EQ(numberToText(-2.5, kPoint), "-2.5");
    EXPECT_EQ(numberToText(123456789012345.0, kPoint), "123456789012345");
    EXPECT_EQ(numberToText(1234567890123456.0, kPoint), "1.23456789012346E15");
    EXPECT_EQ(numberToText(-3.5e-9, kComma), "-3,5E-9");
}

TEST(NumberText, ReadsOnlyTheLocaleGrammar) {
    EXPECT_DOUBLE_EQ(textToNumber("1,5", kComma), 1.5);
    EXPECT_DOUBLE_EQ(textToNumber("1.5", kComma), 0.0);
    EXPECT_DOUBLE_EQ(textToNumber("1.5", kPoint), 1.5);
    EXPECT_DOUBLE_EQ(textToNumber("1,5", kPoint), 0.0);
    EXPECT_DOUBLE_EQ(textToNumber("2e-3", kComma), 0.002);
    EXPECT_DOUBLE_EQ(textToNumber("2E-3", kComma), 0.002);
    EXPECT_EQ(numberToText(textToNumber("2E-3", kComma), kComma), "0,002");
    EXPECT_DOUBLE_EQ(textToNumber("  -,5  ", kComma), -0.5);
    EXPECT_DOUBLE_EQ(textToNumber("+5,", kComma), 5.0);
    EXPECT_DOUBLE_EQ(textToNumber("7E", kComma), 7.0);  // the letter alone is exponent 0
    for (const char* bad :
         {"", "1 000", "5 м", ",", "-", "E5", "1,2,3", "1e5x", "0x10", "inf", "1e400"})
        EXPECT_DOUBLE_EQ(textToNumber(bad, kComma), 0.0) << bad;
}

TEST(NumberText, FifteenDigitRoundingRoundTrips) {
    const double precise = 0.12345678901234567;
    const std::string shown = numberToText(precise, kComma);
    EXPECT_EQ(shown, "0,123456789012346");
    const double stored = textToNumber(shown, kComma);
    EXPECT_EQ(numberToText(stored, kComma), shown);
    EXPECT_EQ(textToNumber(numberToText(stored, kComma), kComma), stored);
}

TEST(PriceText, SignedThirtyTwoBitOrZero) {
    EXPECT_EQ(priceToText(0), "");
    EXPECT_EQ(priceToText(-1500), "-1500");
    EXPECT_EQ(textToPrice("2147483647"), 2147483647);
    EXPECT_EQ(textToPrice("-2147483648"), INT32_MIN);
    EXPECT_EQ(textToPrice(" 42 "), 42);
    for (const char* bad : {"", "0", "2147483648", "12 000", "1,5", "abc", "+-3", "5 руб"})
        EXPECT_EQ(textToPrice(bad), 0) << bad;
}

TEST(DateText, DayNumbersCountFromTheLastDaysOf1899) {
    EXPECT_EQ(dayNumber(sys_days{1899y / December / 30}), 0.0);
    EXPECT_EQ(dayNumber(sys_days{1900y / January / 1}), 2.0);
    EXPECT_EQ(dateToText(dayNumber(sys_days{2026y / March / 5}), kComma), "05.03.2026");
    EXPECT_EQ(dateToText(dayNumber(sys_days{2026y / March / 5}), kPoint), "3/5/2026");
    EXPECT_EQ(dateToText(dayNumber(sys_days{2026y / March / 5}), kIso), "2026-03-05");
    // A time of day from another source shows the date part only.
    EXPECT_EQ(dateToText(dayNumber(sys_days{2026y / March / 5}) + 0.75, kComma), "05.03.2026");
    EXPECT_EQ(dateToText(0.0, kComma), "");
    EXPECT_EQ(dateToText(1e300, kComma), "");
    EXPECT_EQ(dateToText(std::nan(""), kComma), "");
}

TEST(DateText, ReadsInTheOrderOfTheShortFormat) {
    auto read = [](const char* text, const UserLocale& l) {
        auto d = textToDate(text, l, kToday);
        return d ? year_month_day{*d} : year_month_day{};
    };
    EXPECT_EQ(read("05.03.2026", kComma), 2026y / March / 5);
    EXPECT_EQ(read(" 5. 3. 2026", kComma), 2026y / March / 5);
    EXPECT_EQ(read("05.03.2026. ", kComma), 2026y / March / 5);
    EXPECT_EQ(read("3/5/2026", kPoint), 2026y / March / 5);
    EXPECT_EQ(read("2026-03-05", kIso), 2026y / March / 5);
    // Two numbers: day and month (month and day after a leading year), this year.
    EXPECT_EQ(read("5.3", kComma), 2026y / March / 5);
    EXPECT_EQ(read("5.3.", kComma), 2026y / March / 5);
    // A format that begins with the month still reads two numbers as day and month.
    EXPECT_EQ(read("5/3", kPoint), 2026y / March / 5);
    EXPECT_EQ(read("3-5", kIso), 2026y / March / 5);
    // Short years fall into 1976..2075 in 2026.
    EXPECT_EQ(read("1.1.30", kComma), 2030y / January / 1);
    EXPECT_EQ(read("1.1.80", kComma), 1980y / January / 1);
    EXPECT_EQ(read("1.1.76", kComma), 1976y / January / 1);
    EXPECT_EQ(read("1.1.75", kComma), 2075y / January / 1);
    EXPECT_EQ(read("1.1.0080", kComma), 80y / January / 1);
}

TEST(DateText, UnreadableTexts) {
    for (const char* bad : {"29.02.2027", "31.04.2026", "0.1.2026", "1.13.2026", "5", "1.2.3.4",
                            "1,2,2026", "1.2.2026x", "1 .2.2026", "..", "1.2.00000", ""})
        EXPECT_FALSE(textToDate(bad, kComma, kToday)) << bad;
    EXPECT_TRUE(textToDate("29.02.2028", kComma, kToday));
    EXPECT_EQ(textToDayNumber("29.02.2027", kComma, kToday), 0.0);
}

TEST(FollowedLocale, NoNamedLocaleMeansTheInterfacesRussianConventions) {
    const UserLocale english{".", "M/d/yy", "/"};
    for (const char* none : {"C", "POSIX", "C.UTF-8", ""}) {
        const UserLocale followed = followedLocale(none, english);
        EXPECT_EQ(followed.decimalSeparator, ",") << none;
        EXPECT_EQ(followed.shortDateFormat, "dd.MM.yyyy") << none;
        // "28.02.2026" and "1,5" are then read as the interface writes them.
        EXPECT_EQ(readNumber("1,5", followed), 1.5);
    }
    EXPECT_EQ(followedLocale("en_US", english).shortDateFormat, "M/d/yy");
    EXPECT_EQ(followedLocale("de_DE.UTF-8", english).decimalSeparator, ".");
}

}  // namespace
}  // namespace probe
