// Which typed texts the record will not keep as typed, and what the note says will be stored.
#include <gtest/gtest.h>

#include "probe_core/record/typed_text.h"

namespace probe {
namespace {

using namespace std::chrono;

const UserLocale kComma{",", "dd.MM.yyyy", "."};
const UserLocale kPoint{".", "M/d/yyyy", "/"};
const sys_days kToday = sys_days{2026y / December / 7};

std::optional<std::string> note(FieldKind kind, std::string_view text,
                                const UserLocale& locale = kComma) {
    return notStoredAsTyped(kind, text, locale, kToday);
}

TEST(TypedText, RejectedNumbersPricesAndDatesStoreZero) {
    // What the reading rules reject, in the locale the field is read in.
    for (const char* bad : {"1.5", "5 МГц", "1 000", "1e400", "дорого", "-"})
        EXPECT_EQ(note(FieldKind::number, bad).value_or("kept").rfind("будет записано: 0", 0), 0u)
            << bad;
    EXPECT_NE(note(FieldKind::number, "1.5")->find("«,»"), std::string::npos);
    EXPECT_FALSE(note(FieldKind::number, "1.5", kPoint));
    EXPECT_TRUE(note(FieldKind::number, "1,5", kPoint));
    for (const char* kept : {"1,5", "  -2E-3 ", "0", "7E"})
        EXPECT_FALSE(note(FieldKind::number, kept)) << kept;

    for (const char* bad : {"дорого", "12,5", "2147483648", "--1", "1 000"})
        EXPECT_TRUE(note(FieldKind::price, bad)) << bad;
    for (const char* kept : {"-2147483648", " +15 ", "0"})
        EXPECT_FALSE(note(FieldKind::price, kept));

    for (const char* bad : {"31.02.2026", "29.02", "2026-12-07", "7.12.2026 г."})
        EXPECT_TRUE(note(FieldKind::date, bad)) << bad;
    for (const char* kept : {"07.12.2026", "29.02.2028", "31.12", "7.12.26."})
        EXPECT_FALSE(note(FieldKind::date, kept)) << kept;
    EXPECT_FALSE(note(FieldKind::date, "12/31/2026", kPoint));

    // Nothing typed stores "not given", which is what an empty field means.
    for (FieldKind kind : {FieldKind::number, FieldKind::price, FieldKind::date}) {
        EXPECT_FALSE(note(kind, ""));
        EXPECT_FALSE(note(kind, "   "));
    }
}

TEST(TypedText, CharactersOutsideCp1251AreNamedOnce) {
    EXPECT_EQ(note(FieldKind::text, "Ω-датчик"), "символ «Ω» не сохраняется (будет записан «?»)");
    EXPECT_EQ(note(FieldKind::text, "≈5 Ω, Ω…"),
              "символы «≈», «Ω» не сохраняются (будут записаны «?»)");
    // Cyrillic, the euro sign, "№", "°", tabs and line breaks, and the question mark itself
    // all survive code page 1251.
    EXPECT_FALSE(note(FieldKind::text, "Датчик № 5, 90°, 10 €?\tЁё\nстрока"));
    EXPECT_EQ(charactersOutsideCp1251("a😀bΩ😀"), (std::vector<std::string>{"😀", "Ω"}));
}

TEST(TypedText, ScaleKeepsOnlyTheListsEntries) {
    EXPECT_FALSE(note(FieldKind::scale, "1 мм' = 1 м   ( / 10^3 )"));
    EXPECT_FALSE(note(FieldKind::scale, ""));
    EXPECT_EQ(note(FieldKind::scale, "1 мм"),
              "такого масштаба нет в списке: будет записано «масштаб не выбран»");
}

TEST(TypedText, TintedNumbersAndDatesNameTheFormTheLocaleWants) {
    const std::chrono::sys_days today{std::chrono::year{2026} / 2 / 28};
    const UserLocale russian;
    const UserLocale american{".", "M/d/yyyy", "/"};
    EXPECT_EQ(dateFormHint(russian), "ДД.ММ.ГГГГ");
    EXPECT_EQ(dateFormHint(american), "ММ/ДД/ГГГГ");
    EXPECT_EQ(dateFormHint({",", "yy-MM-dd", "-"}), "ГГ-ММ-ДД");
    const auto date = notStoredAsTyped(FieldKind::date, "28 02 2026x", russian, today);
    ASSERT_TRUE(date);
    EXPECT_NE(date->find("ожидается ДД.ММ.ГГГГ"), std::string::npos);
    const auto number = notStoredAsTyped(FieldKind::number, "1,5", american, today);
    ASSERT_TRUE(number);
    EXPECT_NE(number->find("десятичный разделитель — «.»"), std::string::npos);
}

}  // namespace
}  // namespace probe
