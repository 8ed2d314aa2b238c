// The version 1.0 wave processor loaded for real: its request and its own entries.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "abi/wavelib.h"
#include "abi/wavelib2.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "suite/wavelib/placement.h"

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

class WavelibTest : public ::testing::Test {
  protected:
    void SetUp() override {
        modul = platform::loadLibrary(kImyaWavelib);
        ASSERT_NE(modul, nullptr) << platform::lastErrorText();
        zapros = reinterpret_cast<TableRequest3>(
            platform::findExport(modul, "PoluchitTablicuFunkciyPoImeni"));
        ASSERT_NE(zapros, nullptr);
        ASSERT_EQ(zapros(reinterpret_cast<TableCell*>(&t), sizeof(t), kImyaTablicy10),
                  reinterpret_cast<TableCell*>(&t));
    }
    void TearDown() override {
        if (modul != nullptr) platform::freeLibrary(modul);
    }
    std::string error() const { return platform::cp1251ToUtf8(t.tekstOshibki()); }

    platform::Module modul = nullptr;
    TableRequest3 zapros = nullptr;
    TablicaVolny10 t{};
};

TEST_F(WavelibTest, RequestNeedsTheExactNameAndRoomForEightEntries) {
    std::array<TableCell, kZapisey10> cells{};
    EXPECT_EQ(zapros(cells.data(), kZapisey10 * sizeof(TableCell) - 1, kImyaTablicy10), nullptr);
    EXPECT_EQ(cells[0], nullptr);
    EXPECT_EQ(zapros(cells.data(), sizeof(cells), kImyaTablicy11), nullptr);
    EXPECT_EQ(zapros(cells.data(), sizeof(cells), nullptr), nullptr);
    EXPECT_EQ(zapros(nullptr, sizeof(cells), kImyaTablicy10), nullptr);
    for (TableCell c : cells) EXPECT_EQ(c, nullptr);
}

TEST_F(WavelibTest, SetsAreMadeResizedAndReleased) {
    NaborVoln* s = t.sozdatNabor(3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->chislo, 3u);
    EXPECT_EQ(s->chisloVoln, 3u);
    s->luchi[1].dlina = 7.0;
    s->volny[1].energiya = 8.0;
    s->volny[2].energiya = 9.0;
    s->chislo = 2;  // as a filter leaves it: element 2 is a leftover

    ASSERT_TRUE(isTrue(t.izmenitRazmer(s, 5)));
    EXPECT_EQ(s->chislo, 5u);
    EXPECT_EQ(s->chisloVoln, 5u);
    EXPECT_EQ(+s->luchi[1].dlina, 7.0);
    EXPECT_EQ(+s->volny[1].energiya, 8.0);
    EXPECT_EQ(+s->volny[2].energiya, 0.0);  // beyond the old count: zeroed
    EXPECT_EQ(+s->volny[4].energiya, 0.0);

    ASSERT_TRUE(isTrue(t.izmenitRazmer(s, 0)));
    EXPECT_EQ(s->chislo, 0u);
    s->chislo = 1000;  // a caller's lie about the count must not be trusted
    ASSERT_TRUE(isTrue(t.izmenitRazmer(s, 2)));
    EXPECT_EQ(+s->volny[1].energiya, 0.0);
    t.udalitNabor(s);
}

TEST_F(WavelibTest, SetsMadeElsewhereAreRefused) {
    NaborVoln foreign{};
    EXPECT_FALSE(isTrue(t.izmenitRazmer(&foreign, 2)));
    EXPECT_EQ(error(), "Набор волн создан не библиотекой wavelib");
    t.udalitNabor(&foreign);  // ignored
    t.udalitNabor(nullptr);
    // Counts beyond the bound are refused before anything is allocated.
    EXPECT_EQ(t.sozdatNabor(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(error(), "Слишком много элементов для одного набора волн");
    NaborVoln* s = t.sozdatNabor(1);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(isTrue(t.izmenitRazmer(s, wavelib::kNaibolsheeMesto + 1)));
    EXPECT_EQ(s->chislo, 1u);
    EXPECT_TRUE(isTrue(t.izmenitRazmer(s, 2)));
    t.udalitNabor(s);
}

TEST_F(WavelibTest, StepMovesRaysAlongTheirNormalisedDirection) {
    NaborVoln* s = t.sozdatNabor(3);
    ASSERT_NE(s, nullptr);
    s->luchi[0].napravlenie[0] = 3.0;
    s->luchi[0].napravlenie[1] = 4.0;
    s->luchi[0].nachalo[2] = 1.0;
    s->luchi[2].napravlenie[0] = std::numeric_limits<double>::infinity();
    // ray 1 has no direction
    ASSERT_TRUE(isTrue(t.prodvinutLuchi(s, 10.0)));
    EXPECT_DOUBLE_EQ(s->luchi[0].nachalo[0], 6.0);
    EXPECT_DOUBLE_EQ(s->luchi[0].nachalo[1], 8.0);
    EXPECT_DOUBLE_EQ(s->luchi[0].nachalo[2], 1.0);
    EXPECT_DOUBLE_EQ(s->volny[0].dlinaShaga, 10.0);
    EXPECT_EQ(+s->volny[1].dlinaShaga, 0.0);
    EXPECT_EQ(+s->luchi[1].nachalo[0], 0.0);
    EXPECT_EQ(+s->volny[2].dlinaShaga, 0.0);

    EXPECT_FALSE(isTrue(t.prodvinutLuchi(s, -1.0)));
    EXPECT_FALSE(isTrue(t.prodvinutLuchi(s, std::nan(""))));
    EXPECT_FALSE(isTrue(t.prodvinutLuchi(nullptr, 1.0)));
    EXPECT_DOUBLE_EQ(s->luchi[0].nachalo[0], 6.0);
    t.udalitNabor(s);
}

}  // namespace
