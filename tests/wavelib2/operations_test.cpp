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
    EXPECT_EQ(kImyaTablicy10, platform::utf8ToCp1251("Обработчик волн, версия 1.0"));
    EXPECT_EQ(kImyaTablicy11, platform::utf8ToCp1251("Обработчик волн, версия 1.1"));
}

TEST(FilterTest, RemovedSlotTakesTheLastElementWithItsWave) {
    TestWaveSet s(4);  // A B C D
    s.luchi[1].flagi = kLuchUdalit;
    s.nabor.chisloVoln = 99;
    EXPECT_EQ(UdalitOtmechennye(&s.nabor), &s.nabor);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3, 2));
    EXPECT_EQ(s.nabor.chislo, 3u);
    EXPECT_EQ(s.nabor.chisloVoln, 3u);
}

TEST(FilterTest, MovedInElementIsTestedAgain) {
    TestWaveSet s(5);
    s.luchi[1].flagi = kLuchUdalit;
    s.luchi[4].flagi = kLuchUdalit | kLuchDoshel;  // moves into slot 1 and must go as well
    s.luchi[3].flagi = 0xF7;                       // every bit but 0x08
    UdalitOtmechennye(&s.nabor);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3, 2));
}

TEST(FilterTest, RemovingEveryElementOrAnEmptySetLeavesZeroCounts) {
    TestWaveSet s(3);
    for (auto& r : s.luchi) r.flagi = kLuchDoshel;
    UdalitDoshedshie(&s.nabor);
    EXPECT_EQ(s.nabor.chislo, 0u);
    EXPECT_EQ(s.nabor.chisloVoln, 0u);

    TestWaveSet empty(0);
    empty.nabor.chisloVoln = 7;
    const double porog = 1.0;
    OtbrositSlabyeVolny(&empty.nabor, &porog);
    EXPECT_EQ(empty.nabor.chisloVoln, 0u);
}

TEST(FilterTest, ReachedRaysLeaveByFlag0x02Only) {
    TestWaveSet s(4);
    s.luchi[0].flagi = kLuchDoshel;
    s.luchi[2].flagi = kLuchUdalit | kLuchTolkoFaza;
    UdalitDoshedshie(&s.nabor);
    EXPECT_THAT(s.tags(), ElementsAre(3, 1, 2));
}

TEST(FilterTest, WeakWavesGoAtTheThresholdKeptAndNotANumberRemoved) {
    TestWaveSet s(5);
    const double energii[] = {0.5, 0.49999999, kNaN, 2.0, -std::numeric_limits<double>::infinity()};
    for (int i = 0; i < 5; ++i) s.volny[i].energiya = energii[i];
    const double porog = 0.5;
    EXPECT_EQ(OtbrositSlabyeVolny(&s.nabor, &porog), &s.nabor);
    EXPECT_THAT(s.tags(), ElementsAre(0, 3));
    EXPECT_EQ(s.nabor.chisloVoln, 2u);
}

TEST(FilterTest, ThresholdsOnCosineAndEnergyBothApply) {
    TestWaveSet s(5);
    const double cos[] = {0.2, 0.19999999, kNaN, 0.9, 1.0};
    const double energii[] = {1.0, 1.0, 1.0, 0.01, 1.0};
    for (int i = 0; i < 5; ++i) {
        s.volny[i].cosPadeniya = cos[i];
        s.volny[i].energiya = energii[i];
    }
    OtbrositPoPorogam(&s.nabor, 0.2, 0.1);
    EXPECT_THAT(s.tags(), ElementsAre(0, 4));
}

TEST(FilterTest, NullInputsAreHarmless) {
    const double porog = 0.0;
    EXPECT_EQ(UdalitOtmechennye(nullptr), nullptr);
    EXPECT_EQ(OtbrositSlabyeVolny(nullptr, &porog), nullptr);
    UdalitDoshedshie(nullptr);
    OtbrositPoPorogam(nullptr, 0.2, 0.0);

    TestWaveSet s(2);
    s.volny[0].energiya = kNaN;
    EXPECT_EQ(OtbrositSlabyeVolny(&s.nabor, nullptr), &s.nabor);
    EXPECT_EQ(s.nabor.chislo, 2u);
}

class PropagationTest : public ::testing::Test {
  protected:
    TestWaveSet s{2};
    void SetUp() override {
        s.nabor.sreda.skorost = 2.0;
        for (auto& w : s.volny) {
            w.dlinaShaga = 3.0;
            w.put = 1.0;
            w.vremya1 = 10.0;
            w.vremya2 = 20.0;
            w.koefZatuhaniya = 0.5;
            w.amplituda = 4.0;
            w.energiya = 8.0;
            w.faza = 0.25;
        }
        s.volny[1].dlinaShaga = 0.0;
        s.nabor.chisloVoln = 77;  // not written by the update
    }
};

TEST_F(PropagationTest, WithoutAttenuationOnlyPathAndTimesChange) {
    RasprostranitVolny(&s.nabor);
    const Volna& w = s.volny[0];
    EXPECT_DOUBLE_EQ(w.put, 4.0);
    EXPECT_DOUBLE_EQ(w.vremya1, 11.5);
    EXPECT_DOUBLE_EQ(w.vremya2, 21.5);
    EXPECT_EQ(+w.amplituda, 4.0);
    EXPECT_EQ(+w.energiya, 8.0);
    EXPECT_EQ(+w.faza, 0.25);
    EXPECT_EQ(s.nabor.chislo, 2u);
    EXPECT_EQ(s.nabor.chisloVoln, 77u);
}

TEST_F(PropagationTest, AttenuationScalesAmplitudeAndEnergyFromOneExponent) {
    s.nabor.sreda.zatuhanie = 0.2;
    RasprostranitVolny(&s.nabor);
    const Volna& w = s.volny[0];
    const double a = -0.2 * 3.0 * 0.5;
    EXPECT_NEAR(w.amplituda, 4.0 * std::exp(a), 1e-12);
    EXPECT_NEAR(w.energiya, 8.0 * std::exp(2 * a), 1e-12);
    EXPECT_NEAR(w.energiya / (w.amplituda * w.amplituda), 8.0 / 16.0, 1e-15);
}

TEST_F(PropagationTest, ZeroStepChangesNothing) {
    s.nabor.sreda.zatuhanie = 0.2;
    const Volna before = s.volny[1];
    RasprostranitVolny(&s.nabor);
    EXPECT_EQ(std::memcmp(&before, &s.volny[1], sizeof(Volna)), 0);
}

// A wavelib entry 6 that moves nothing but reports a step of 3 for each ray, or fails.
bool gStepFails = false;
double gLastStep = -1.0;
BoolByte PLUGIN_CALL FakeStep(NaborVoln* nabor, double shag) {
    gLastStep = shag;
    if (gStepFails) return kFalse;
    for (std::uint32_t i = 0; i < nabor->chislo; ++i) nabor->volny[i].dlinaShaga = 3.0;
    return kTrue;
}

TEST_F(PropagationTest, AdvanceRunsWavelibStepThenTheWaveUpdate) {
    TablicaVolny10 t{};
    t.prodvinutLuchi = &FakeStep;
    ZadatTablicu10(t);
    EXPECT_EQ(Tablica11().prodvinutVolny, &ProdvinutVolny);

    gStepFails = true;
    const Volna before = s.volny[1];
    EXPECT_FALSE(isTrue(ProdvinutVolny(&s.nabor, 1.5)));
    EXPECT_EQ(gLastStep, 1.5);
    EXPECT_EQ(std::memcmp(&before, &s.volny[1], sizeof(Volna)), 0);

    gStepFails = false;
    EXPECT_TRUE(isTrue(ProdvinutVolny(&s.nabor, 1.5)));
    EXPECT_DOUBLE_EQ(s.volny[1].put, 4.0);
    EXPECT_DOUBLE_EQ(s.volny[1].vremya1, 11.5);

    ZadatTablicu10(TablicaVolny10{});
    EXPECT_FALSE(isTrue(ProdvinutVolny(&s.nabor, 1.5)));  // no wavelib bound
}

TEST(ScaleTest, MultipliesTheGeometryOnlyAndRefusesANullSet) {
    TestWaveSet s(2);
    for (auto& r : s.luchi) {
        for (int k = 0; k < 3; ++k) {
            r.napravlenie[k] = 1.0 + k;
            r.nachalo[k] = 4.0 + k;
            r.rebro1[k] = 7.0 + k;
            r.rebro2[k] = 10.0 + k;
        }
        r.dlina = 13.0;
        r.flagi = 0x0E;
    }
    for (auto& w : s.volny) {
        w.dlinaShaga = 5.0;
        w.put = 6.0;
    }
    s.nabor.sreda = {1480.0, 1000.0, 0.1, {}};
    s.nabor.sreda2 = {5900.0, 7800.0, 0.2, {}};
    s.nabor.istochnik[0] = 1.0;
    s.nabor.istochnik[1] = -2.0;
    s.nabor.istochnik[2] = 3.0;
    s.nabor.dlinaOtscheta = 0.5;
    s.nabor.dlina2 = 0.25;
    const NaborVoln before = s.nabor;
    const std::vector<Volna> volnyBefore = s.volny;

    EXPECT_TRUE(isTrue(IzmenitMasshtab(&s.nabor, 1000.0)));
    for (const auto& r : s.luchi) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(+r.napravlenie[k], 1000.0 * (1.0 + k));
            EXPECT_EQ(+r.nachalo[k], 1000.0 * (4.0 + k));
            EXPECT_EQ(+r.rebro1[k], 1000.0 * (7.0 + k));
            EXPECT_EQ(+r.rebro2[k], 1000.0 * (10.0 + k));
        }
        EXPECT_EQ(+r.dlina, 13000.0);
        EXPECT_EQ(r.flagi, 0x0Eu);
    }
    EXPECT_EQ(s.nabor.istochnik[1], -2000.0);
    EXPECT_EQ(+s.nabor.dlinaOtscheta, 500.0);
    EXPECT_EQ(+s.nabor.dlina2, 250.0);
    EXPECT_EQ(std::memcmp(&before.sreda, &s.nabor.sreda, 2 * sizeof(Sreda)), 0);
    EXPECT_EQ(std::memcmp(volnyBefore.data(), s.volny.data(), 2 * sizeof(Volna)), 0);
    EXPECT_EQ(s.nabor.flagi, before.flagi);

    EXPECT_FALSE(isTrue(IzmenitMasshtab(nullptr, 2.0)));
}

}  // namespace
