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
        library = platform::loadLibrary(kWavelibFileName);
        ASSERT_NE(library, nullptr) << platform::lastErrorText();
        request = reinterpret_cast<TableRequest3>(
            platform::findExport(library, "PoluchitTablicuFunkciyPoImeni"));
        ASSERT_NE(request, nullptr);
        ASSERT_EQ(request(reinterpret_cast<TableCell*>(&t), sizeof(t), kWaveProcessorTable10Name),
                  reinterpret_cast<TableCell*>(&t));
    }
    void TearDown() override {
        if (library != nullptr) platform::freeLibrary(library);
    }
    std::string error() const { return platform::cp1251ToUtf8(t.errorText()); }

    platform::Module library = nullptr;
    TableRequest3 request = nullptr;
    WaveProcessorTable10 t{};
};

TEST_F(WavelibTest, RequestNeedsTheExactNameAndRoomForEightEntries) {
    std::array<TableCell, kWaveProcessorTable10Entries> cells{};
    EXPECT_EQ(request(cells.data(), kWaveProcessorTable10Entries * sizeof(TableCell) - 1,
                      kWaveProcessorTable10Name),
              nullptr);
    EXPECT_EQ(cells[0], nullptr);
    EXPECT_EQ(request(cells.data(), sizeof(cells), kWaveProcessorTable11Name), nullptr);
    EXPECT_EQ(request(cells.data(), sizeof(cells), nullptr), nullptr);
    EXPECT_EQ(request(nullptr, sizeof(cells), kWaveProcessorTable10Name), nullptr);
    for (TableCell c : cells) EXPECT_EQ(c, nullptr);
}

TEST_F(WavelibTest, SetsAreMadeResizedAndReleased) {
    WaveSet* s = t.createSet(3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->count, 3u);
    EXPECT_EQ(s->waveCount, 3u);
    s->rays[1].length = 7.0;
    s->waves[1].energy = 8.0;
    s->waves[2].energy = 9.0;
    s->count = 2;  // as a filter leaves it: element 2 is a leftover

    ASSERT_TRUE(isTrue(t.resizeSet(s, 5)));
    EXPECT_EQ(s->count, 5u);
    EXPECT_EQ(s->waveCount, 5u);
    EXPECT_EQ(+s->rays[1].length, 7.0);
    EXPECT_EQ(+s->waves[1].energy, 8.0);
    EXPECT_EQ(+s->waves[2].energy, 0.0);  // beyond the old count: zeroed
    EXPECT_EQ(+s->waves[4].energy, 0.0);

    ASSERT_TRUE(isTrue(t.resizeSet(s, 0)));
    EXPECT_EQ(s->count, 0u);
    s->count = 1000;  // a caller's lie about the count must not be trusted
    ASSERT_TRUE(isTrue(t.resizeSet(s, 2)));
    EXPECT_EQ(+s->waves[1].energy, 0.0);
    t.deleteSet(s);
}

TEST_F(WavelibTest, SetsMadeElsewhereAreRefused) {
    WaveSet foreign{};
    EXPECT_FALSE(isTrue(t.resizeSet(&foreign, 2)));
    EXPECT_EQ(error(), "Набор волн создан не библиотекой wavelib");
    t.deleteSet(&foreign);  // ignored
    t.deleteSet(nullptr);
    // Counts beyond the bound are refused before anything is allocated.
    EXPECT_EQ(t.createSet(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(error(), "Слишком много элементов для одного набора волн");
    WaveSet* s = t.createSet(1);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(isTrue(t.resizeSet(s, wavelib::kMaxRoom + 1)));
    EXPECT_EQ(s->count, 1u);
    EXPECT_TRUE(isTrue(t.resizeSet(s, 2)));
    t.deleteSet(s);
}

TEST_F(WavelibTest, StepMovesRaysAlongTheirNormalisedDirection) {
    WaveSet* s = t.createSet(3);
    ASSERT_NE(s, nullptr);
    s->rays[0].direction[0] = 3.0;
    s->rays[0].direction[1] = 4.0;
    s->rays[0].origin[2] = 1.0;
    s->rays[2].direction[0] = std::numeric_limits<double>::infinity();
    // ray 1 has no direction
    ASSERT_TRUE(isTrue(t.advanceRays(s, 10.0)));
    EXPECT_DOUBLE_EQ(s->rays[0].origin[0], 6.0);
    EXPECT_DOUBLE_EQ(s->rays[0].origin[1], 8.0);
    EXPECT_DOUBLE_EQ(s->rays[0].origin[2], 1.0);
    EXPECT_DOUBLE_EQ(s->waves[0].stepLength, 10.0);
    EXPECT_EQ(+s->waves[1].stepLength, 0.0);
    EXPECT_EQ(+s->rays[1].origin[0], 0.0);
    EXPECT_EQ(+s->waves[2].stepLength, 0.0);

    EXPECT_FALSE(isTrue(t.advanceRays(s, -1.0)));
    EXPECT_FALSE(isTrue(t.advanceRays(s, std::nan(""))));
    EXPECT_FALSE(isTrue(t.advanceRays(nullptr, 1.0)));
    EXPECT_DOUBLE_EQ(s->rays[0].origin[0], 6.0);
    t.deleteSet(s);
}

}  // namespace
