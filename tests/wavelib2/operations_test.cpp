// The operations on wave sets, driven directly on sets built by the tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/cp1251.h"
#include "tests/wavelib2/test_wave_set.h"
#include "wavelib2/makrosi.h"

using ::testing::ElementsAre;

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

using namespace wavelib2;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(TableNamesTest, AreTheCp1251BytesOfTheRussianNames) {
    EXPECT_EQ(kWaveProcessorTable10Name, platform::utf8ToCp1251("Обработчик волн, версия 1.0"));
    EXPECT_EQ(kWaveProcessorTable11Name, platform::utf8ToCp1251("Обработчик волн, версия 1.1"));
}

TEST(FilterTest, RemovedSlotTakesTheLastElementWithItsWave) {
    TestWaveSet s(4);  // A B C D
    s.rays[1].flags = kRayRemove;
    s.set.waveCount = 99;
    EXPECT_EQ(UdalitOtmechennye(&s.set), &s.set);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3, 2));
    EXPECT_EQ(s.set.count, 3u);
    EXPECT_EQ(s.set.waveCount, 3u);
}

TEST(FilterTest, MovedInElementIsTestedAgain) {
    TestWaveSet s(5);
    s.rays[1].flags = kRayRemove;
    s.rays[4].flags = kRayRemove | kRayReached;  // moves into slot 1 and must go as well
    s.rays[3].flags = 0xF7;                      // every bit but 0x08
    UdalitOtmechennye(&s.set);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3, 2));
}

TEST(FilterTest, RemovingEveryElementOrAnEmptySetLeavesZeroCounts) {
    TestWaveSet s(3);
    for (auto& r : s.rays) r.flags = kRayReached;
    UdalitDoshedshie(&s.set);
    EXPECT_EQ(s.set.count, 0u);
    EXPECT_EQ(s.set.waveCount, 0u);

    TestWaveSet empty(0);
    empty.set.waveCount = 7;
    const double threshold = 1.0;
    OtbrositSlabyeVolny(&empty.set, &threshold);
    EXPECT_EQ(empty.set.waveCount, 0u);
}

TEST(FilterTest, ReachedRaysLeaveByFlag0x02Only) {
    TestWaveSet s(4);
    s.rays[0].flags = kRayReached;
    s.rays[2].flags = kRayRemove | kRayPhaseOnly;
    UdalitDoshedshie(&s.set);
    EXPECT_THAT(s.tags(), ElementsAre(3, 1, 2));
}

TEST(FilterTest, WeakWavesGoAtTheThresholdKeptAndNotANumberRemoved) {
    TestWaveSet s(5);
    const double energies[] = {0.5, 0.49999999, kNaN, 2.0,
                               -std::numeric_limits<double>::infinity()};
    for (int i = 0; i < 5; ++i) s.waves[i].energy = energies[i];
    const double threshold = 0.5;
    EXPECT_EQ(OtbrositSlabyeVolny(&s.set, &threshold), &s.set);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3));
    EXPECT_EQ(s.set.waveCount, 2u);
}

TEST(FilterTest, ThresholdsOnCosineAndEnergyBothApply) {
    TestWaveSet s(5);
    const double cos[] = {0.2, 0.19999999, kNaN, 0.9, 1.0};
    const double energies[] = {1.0, 1.0, 1.0, 0.01, 1.0};
    for (int i = 0; i < 5; ++i) {
        s.waves[i].incidenceCosine = cos[i];
        s.waves[i].energy = energies[i];
    }
    OtbrositPoPorogam(&s.set, 0.2, 0.1);
    EXPECT_THAT(s.tags(), ElementsAre(0, 4));
}

TEST(FilterTest, NullInputsAreHarmless) {
    const double threshold = 0.0;
    EXPECT_EQ(UdalitOtmechennye(nullptr), nullptr);
    EXPECT_EQ(OtbrositSlabyeVolny(nullptr, &threshold), nullptr);
    UdalitDoshedshie(nullptr);
    OtbrositPoPorogam(nullptr, 0.2, 0.0);

    TestWaveSet s(2);
    s.waves[0].energy = kNaN;
    EXPECT_EQ(OtbrositSlabyeVolny(&s.set, nullptr), &s.set);
    EXPECT_EQ(s.set.count, 2u);
}

class PropagationTest : public ::testing::Test {
  protected:
    TestWaveSet s{2};
    void SetUp() override {
        s.set.medium.speed = 2.0;
        for (auto& w : s.waves) {
            w.stepLength = 3.0;
            w.path = 1.0;
            w.time1 = 10.0;
            w.time2 = 20.0;
            w.attenuationFactor = 0.5;
            w.amplitude = 4.0;
            w.energy = 8.0;
            w.phase = 0.25;
        }
        s.waves[1].stepLength = 0.0;
        s.set.waveCount = 77;  // not written by the update
    }
};

TEST_F(PropagationTest, WithoutAttenuationOnlyPathAndTimesChange) {
    RasprostranitVolny(&s.set);
    const Wave& w = s.waves[0];
    EXPECT_DOUBLE_EQ(w.path, 4.0);
    EXPECT_DOUBLE_EQ(w.time1, 11.5);
    EXPECT_DOUBLE_EQ(w.time2, 21.5);
    EXPECT_EQ(+w.amplitude, 4.0);
    EXPECT_EQ(+w.energy, 8.0);
    EXPECT_EQ(+w.phase, 0.25);
    EXPECT_EQ(s.set.count, 2u);
    EXPECT_EQ(s.set.waveCount, 77u);
}

TEST_F(PropagationTest, AttenuationScalesAmplitudeAndEnergyFromOneExponent) {
    s.set.medium.attenuation = 0.2;
    RasprostranitVolny(&s.set);
    const Wave& w = s.waves[0];
    const double a = -0.2 * 3.0 * 0.5;
    EXPECT_NEAR(w.amplitude, 4.0 * std::exp(a), 1e-12);
    EXPECT_NEAR(w.energy, 8.0 * std::exp(2 * a), 1e-12);
    EXPECT_NEAR(w.energy / (w.amplitude * w.amplitude), 8.0 / 16.0, 1e-15);
}

TEST_F(PropagationTest, ZeroStepChangesNothing) {
    s.set.medium.attenuation = 0.2;
    const Wave before = s.waves[1];
    RasprostranitVolny(&s.set);
    EXPECT_EQ(std::memcmp(&before, &s.waves[1], sizeof(Wave)), 0);
}

// A wavelib entry 6 that moves nothing but reports a step of 3 for each ray, or fails.
bool gStepFails = false;
double gLastStep = -1.0;
BoolByte PLUGIN_CALL FakeStep(WaveSet* set, double step) {
    gLastStep = step;
    if (gStepFails) return kFalse;
    for (std::uint32_t i = 0; i < set->count; ++i) set->waves[i].stepLength = 3.0;
    return kTrue;
}

TEST_F(PropagationTest, AdvanceRunsWavelibStepThenTheWaveUpdate) {
    WaveProcessorTable10 t{};
    t.advanceRays = &FakeStep;
    SetTable10(t);
    EXPECT_EQ(Table11().prodvinutVolny, &ProdvinutVolny);

    gStepFails = true;
    const Wave before = s.waves[1];
    EXPECT_FALSE(isTrue(ProdvinutVolny(&s.set, 1.5)));
    EXPECT_EQ(gLastStep, 1.5);
    EXPECT_EQ(std::memcmp(&before, &s.waves[1], sizeof(Wave)), 0);

    gStepFails = false;
    EXPECT_TRUE(isTrue(ProdvinutVolny(&s.set, 1.5)));
    EXPECT_DOUBLE_EQ(s.waves[1].path, 4.0);
    EXPECT_DOUBLE_EQ(s.waves[1].time1, 11.5);

    SetTable10(WaveProcessorTable10{});
    EXPECT_FALSE(isTrue(ProdvinutVolny(&s.set, 1.5)));  // no wavelib bound
}

TEST(ScaleTest, MultipliesTheGeometryOnlyAndRefusesANullSet) {
    TestWaveSet s(2);
    for (auto& r : s.rays) {
        for (int k = 0; k < 3; ++k) {
            r.direction[k] = 1.0 + k;
            r.origin[k] = 4.0 + k;
            r.edge1[k] = 7.0 + k;
            r.edge2[k] = 10.0 + k;
        }
        r.length = 13.0;
        r.flags = 0x0E;
    }
    for (auto& w : s.waves) {
        w.stepLength = 5.0;
        w.path = 6.0;
    }
    s.set.medium = {1480.0, 1000.0, 0.1, {}};
    s.set.medium2 = {5900.0, 7800.0, 0.2, {}};
    s.set.source[0] = 1.0;
    s.set.source[1] = -2.0;
    s.set.source[2] = 3.0;
    s.set.referenceLength = 0.5;
    s.set.length2 = 0.25;
    const WaveSet before = s.set;
    const std::vector<Wave> wavesBefore = s.waves;

    EXPECT_TRUE(isTrue(IzmenitMasshtab(&s.set, 1000.0)));
    for (const auto& r : s.rays) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(+r.direction[k], 1000.0 * (1.0 + k));
            EXPECT_EQ(+r.origin[k], 1000.0 * (4.0 + k));
            EXPECT_EQ(+r.edge1[k], 1000.0 * (7.0 + k));
            EXPECT_EQ(+r.edge2[k], 1000.0 * (10.0 + k));
        }
        EXPECT_EQ(+r.length, 13000.0);
        EXPECT_EQ(r.flags, 0x0Eu);
    }
    EXPECT_EQ(s.set.source[1], -2000.0);
    EXPECT_EQ(+s.set.referenceLength, 500.0);
    EXPECT_EQ(+s.set.length2, 250.0);
    EXPECT_EQ(std::memcmp(&before.medium, &s.set.medium, 2 * sizeof(Medium)), 0);
    EXPECT_EQ(std::memcmp(wavesBefore.data(), s.waves.data(), 2 * sizeof(Wave)), 0);
    EXPECT_EQ(s.set.flags, before.flags);

    EXPECT_FALSE(isTrue(IzmenitMasshtab(nullptr, 2.0)));
}

}  // namespace
