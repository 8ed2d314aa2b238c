// wavelib2 and wavelib loaded for real from the program's folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/cp1251.h"
#include "tests/wavelib2/wavelib2_library.h"

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << platform::lastErrorText(); }
    Wavelib2Library lib;
};

TEST_F(FrameTest, Version11RequestFillsExactlyFourteenEntriesWhateverTheSize) {
    for (std::uint32_t size : {0u, 4u, 56u, 0xFFFFFFFFu}) {
        std::array<TableCell, 20> cells;
        cells.fill(reinterpret_cast<TableCell>(0x5A5A));
        EXPECT_EQ(lib.request(cells.data(), size, kWaveProcessorTable11Name), cells.data());
        for (std::size_t i = 0; i < 14; ++i) {
            EXPECT_NE(cells[i], nullptr) << i;
            EXPECT_NE(cells[i], reinterpret_cast<TableCell>(0x5A5A)) << i;
        }
        for (std::size_t i = 14; i < cells.size(); ++i) {
            EXPECT_EQ(cells[i], reinterpret_cast<TableCell>(0x5A5A)) << i;
        }
    }
}

TEST_F(FrameTest, Version10RequestGetsWavelibsOwnTableAndEntrySixIsReplacedInVersion11) {
    platform::Module wavelib = platform::loadLibrary("wavelib.dll");
    ASSERT_NE(wavelib, nullptr);
    auto direct = reinterpret_cast<TableRequest3>(
        platform::findExport(wavelib, "PoluchitTablicuFunkciyPoImeni"));
    ASSERT_NE(direct, nullptr);
    WaveProcessorTable10 own{};
    ASSERT_NE(direct(reinterpret_cast<TableCell*>(&own), sizeof(own), kWaveProcessorTable10Name),
              nullptr);

    const WaveProcessorTable10 via = lib.table10();
    EXPECT_EQ(std::memcmp(&via, &own, sizeof(own)), 0);

    const WaveProcessorTable11 t = lib.table11();
    EXPECT_EQ(t.createSet, own.createSet);
    EXPECT_EQ(t.deleteSet, own.deleteSet);
    EXPECT_EQ(t.resizeSet, own.resizeSet);
    EXPECT_EQ(t.appendSet, own.appendSet);
    EXPECT_EQ(t.reflectRays, own.reflectRays);
    EXPECT_EQ(t.refractRays, own.refractRays);
    EXPECT_EQ(t.errorText, own.errorText);
    EXPECT_NE(reinterpret_cast<void*>(t.prodvinutVolny), reinterpret_cast<void*>(own.advanceRays));
    platform::freeLibrary(wavelib);
}

TEST_F(FrameTest, NamesThatAreNotExactlyVersion11AreNotServedFromItsTable) {
    const std::string base = kWaveProcessorTable11Name;
    const std::string names[] = {base + " ", base + "0", base.substr(0, base.size() - 1),
                                 platform::utf8ToCp1251("обработчик волн, версия 1.1")};
    for (const std::string& name : names) {
        std::array<TableCell, 14> cells{};
        // wavelib knows none of these names and answers null.
        EXPECT_EQ(lib.request(cells.data(), sizeof(cells), name.c_str()), nullptr) << name;
        for (TableCell c : cells) EXPECT_EQ(c, nullptr);
    }
    EXPECT_EQ(lib.request(nullptr, 56, kWaveProcessorTable11Name), nullptr);
}

TEST_F(FrameTest, OnlyTheRequestAndTheErrorTextAreExported) {
    EXPECT_NE(platform::findExport(lib.module(), "PoluchitSoobzhenieObOshibke"), nullptr);
    for (const char* name :
         {"ProdvinutVolny", "IzmenitMasshtab", "OtbrositSlabyeVolny", "UdalitOtmechennye",
          "RasprostranitVolny", "_PoluchitTablicuFunkciyPoImeni@12"}) {
        EXPECT_EQ(platform::findExport(lib.module(), name), nullptr) << name;
    }
}

TEST_F(FrameTest, ErrorTextFollowsWavelibOnceBound) {
    using TextFn = const char* PLUGIN_CALL (*)();
    auto text =
        reinterpret_cast<TextFn>(platform::findExport(lib.module(), "PoluchitSoobzhenieObOshibke"));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(text(), nullptr);
    EXPECT_STREQ(text(), "");  // a successful load does not claim that wavelib is missing

    WaveSet foreign{};
    EXPECT_FALSE(isTrue(lib.table11().resizeSet(&foreign, 3)));
    EXPECT_EQ(platform::cp1251ToUtf8(text()), "Набор волн создан не библиотекой wavelib");
}

TEST_F(FrameTest, EntriesWorkOnWaveSetsThatWavelibMakes) {
    const WaveProcessorTable11 t = lib.table11();
    WaveSet* s = t.createSet(4);
    ASSERT_NE(s, nullptr);
    s->medium.speed = 4.0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        s->rays[i].direction[2] = 10.0;  // not normalised
        s->waves[i].energy = i;
        s->waves[i].amplitude = 1.0;
    }
    s->rays[1].flags = kRayRemove;

    ASSERT_TRUE(isTrue(t.prodvinutVolny(s, 2.0)));
    EXPECT_DOUBLE_EQ(s->rays[0].origin[2], 2.0);
    EXPECT_DOUBLE_EQ(s->waves[0].stepLength, 2.0);
    EXPECT_DOUBLE_EQ(s->waves[0].path, 2.0);
    EXPECT_DOUBLE_EQ(s->waves[0].time1, 0.5);
    EXPECT_FALSE(isTrue(t.prodvinutVolny(s, -1.0)));  // wavelib refuses; nothing advanced
    EXPECT_DOUBLE_EQ(s->waves[0].path, 2.0);

    ASSERT_TRUE(isTrue(t.izmenitMasshtab(s, 1000.0)));
    EXPECT_DOUBLE_EQ(s->rays[0].origin[2], 2000.0);
    EXPECT_DOUBLE_EQ(s->waves[0].path, 2.0);

    EXPECT_EQ(t.udalitOtmechennye(s), s);
    ASSERT_EQ(s->count, 3u);
    EXPECT_EQ(+s->waves[1].energy, 3.0);

    const double threshold = 2.0;
    EXPECT_EQ(t.otbrositSlabyeVolny(s, &threshold), s);
    ASSERT_EQ(s->count, 2u);
    EXPECT_EQ(s->waveCount, 2u);
    t.deleteSet(s);
}

TEST(FrameReloadTest, LoadsAgainAfterBeingUnloaded) {
    for (int i = 0; i < 3; ++i) {
        Wavelib2Library lib;
        ASSERT_TRUE(lib.loaded()) << i << ": " << platform::lastErrorText();
        EXPECT_NE(lib.table11().prodvinutVolny, nullptr);
    }
}

}  // namespace
