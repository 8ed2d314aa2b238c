#include <gtest/gtest.h>

#include "platform/cp1251.h"

using platform::cp1251ToUtf8;
using platform::utf8ToCp1251;

TEST(Cp1251Test, CyrillicAndAsciiMapToTheirCodePageBytes) {
    EXPECT_EQ(utf8ToCp1251("Редактор ЖУВ"), "\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xC6\xD3\xC2");
    EXPECT_EQ(utf8ToCp1251("Ёё№"), "\xA8\xB8\xB9");
    EXPECT_EQ(cp1251ToUtf8("\xC0\xFF"), "Ая");
}

TEST(Cp1251Test, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
}

TEST(Cp1251Test, CharactersOutsideTheCodePageAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(utf8ToCp1251("α"), "?");               // Greek alpha: not in cp1251
    EXPECT_EQ(utf8ToCp1251("😀"), "?");               // four-byte sequence
    EXPECT_EQ(utf8ToCp1251("a\xD0"), "a?");          // truncated sequence
    EXPECT_EQ(utf8ToCp1251("\xC0\x80"), "??");       // overlong NUL
    EXPECT_EQ(utf8ToCp1251("\xED\xA0\x80"), "???");  // surrogate
}

TEST(Cp1251Test, Utf16CarriesEveryByteAndMarksWhatTheCodePageLacks) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(platform::utf16ToCp1251(platform::cp1251ToUtf16(all)), all);
    EXPECT_EQ(platform::cp1251ToUtf16(utf8ToCp1251("Жук №5")), u"Жук №5");
    EXPECT_EQ(platform::utf16ToCp1251(u"a\U0001F600b\xD800"), "a?b?");  // pair, lone surrogate
}
