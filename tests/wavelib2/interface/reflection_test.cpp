// Reflection and transmission at an interface: the coefficient step on its own, and the whole
// operation against a scripted wavelib.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>

#include "tests/wavelib2/interface/scripted_wavelib.h"
#include "tests/wavelib2/test_wave_set.h"
#include "wavelib2/reflection.h"

using ::testing::ElementsAre;

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

using namespace wavelib2;

Sreda SozdatSredu(double skorost, double plotnost) {
    Sreda s{};
    s.skorost = skorost;
    s.plotnost = plotnost;
    return s;
}

const Sreda kVoda = SozdatSredu(1480.0, 1000.0);
const Sreda kStal = SozdatSredu(5900.0, 7800.0);

double Impedans(const Sreda& s) {
    return s.plotnost * s.skorost;
}

// One element met at an interface from medium `iz` into medium `v`.
struct Vstrecha {
    TestWaveSet r{1}, t{1}, i{1};
    Vstrecha(const Sreda& iz, const Sreda& v, double c1, double c2,
             std::uint32_t flagi = kLuchDoshel) {
        r.nabor.sreda = iz;
        t.nabor.sreda = v;
        i.luchi[0].flagi = flagi;
        for (Volna* w : {&r.volny[0], &t.volny[0]}) {
            w->cosPadeniya = c1;
            w->cosPrelomleniya = c2;
            w->amplituda = 2.0;
            w->energiya = 4.0;
            w->faza = 0.5;
        }
    }
    void Primenit() { PrimenitKoefficienty(&r.nabor, &t.nabor, &i.nabor); }
    const Volna& wR() const { return r.volny[0]; }
    const Volna& wT() const { return t.volny[0]; }
};

TEST(CoefficientTest, NormalIncidenceUsesTheImpedancesOfBothMedia) {
    Vstrecha v(kVoda, kStal, 1.0, 1.0);
    v.Primenit();
    const double z1 = Impedans(kVoda), z2 = Impedans(kStal);
    const double r = std::fabs((z2 - z1) / (z2 + z1));
    const double t = std::sqrt(1.0 - r * r);
    EXPECT_DOUBLE_EQ(v.wR().amplituda, 2.0 * r);
    EXPECT_DOUBLE_EQ(v.wR().energiya, 4.0 * r * r);
    EXPECT_DOUBLE_EQ(v.wT().amplituda, 2.0 * t);
    EXPECT_DOUBLE_EQ(v.wT().energiya, 4.0 * t * t);

    Vstrecha ravnye(kVoda, kVoda, 1.0, 1.0);
    ravnye.Primenit();
    EXPECT_EQ(+ravnye.wR().amplituda, 0.0);
    EXPECT_EQ(+ravnye.wR().energiya, 0.0);
    EXPECT_EQ(+ravnye.wT().amplituda, 2.0);
    EXPECT_EQ(+ravnye.wT().energiya, 4.0);
}

TEST(CoefficientTest, ReflectedPhaseTurnsToPiMinusPhaseOnlyFromHigherToLowerImpedance) {
    Vstrecha vniz(kStal, kVoda, 1.0, 1.0);
    vniz.Primenit();
    EXPECT_DOUBLE_EQ(vniz.wR().faza, std::numbers::pi - 0.5);
    EXPECT_EQ(+vniz.wT().faza, 0.5);

    Vstrecha vverh(kVoda, kStal, 1.0, 1.0);
    vverh.Primenit();
    EXPECT_EQ(+vverh.wR().faza, 0.5);
    EXPECT_EQ(+vverh.wT().faza, 0.5);
}

TEST(CoefficientTest, PhaseOnlyFlagKeepsAmplitudesAndEnergiesButStillAppliesThePhaseRule) {
    Vstrecha v(kStal, kVoda, 1.0, 1.0, kLuchDoshel | kLuchTolkoFaza);
    v.Primenit();
    EXPECT_EQ(+v.wR().amplituda, 2.0);
    EXPECT_EQ(+v.wR().energiya, 4.0);
    EXPECT_EQ(+v.wT().amplituda, 2.0);
    EXPECT_EQ(+v.wT().energiya, 4.0);
    EXPECT_DOUBLE_EQ(v.wR().faza, std::numbers::pi - 0.5);
}

TEST(CoefficientTest, ElementThatDidNotReachTheInterfaceIsLeftAsItIs) {
    Vstrecha v(kStal, kVoda, 0.7, 0.3, kLuchTolkoFaza | kLuchUdalit);
    const Volna doR = v.wR(), doT = v.wT();
    v.Primenit();
    EXPECT_EQ(std::memcmp(&doR, &v.wR(), sizeof(Volna)), 0);
    EXPECT_EQ(std::memcmp(&doT, &v.wT(), sizeof(Volna)), 0);
}

TEST(CoefficientTest, WithoutATransmittedRayEverythingIsReflected) {
    // Water into steel at 30 degrees is beyond the critical angle.
    Vstrecha v(kVoda, kStal, std::cos(std::numbers::pi / 6), 0.0);
    v.t.luchi[0].flagi = kLuchUdalit;
    v.Primenit();
    EXPECT_EQ(+v.wR().amplituda, 2.0);
    EXPECT_EQ(+v.wR().energiya, 4.0);
    EXPECT_EQ(+v.wT().energiya, 0.0);
}

// From steel into water a hair off the normal the refraction cosine rounds to exactly 1.0; the
// wave is split as at normal incidence, not reflected whole.
TEST(CoefficientTest, RefractionCosineRoundedToOneSplitsAsAtNormalIncidence) {
    const double c1 = std::nextafter(1.0, 0.0);
    const double eta = kVoda.skorost / kStal.skorost;
    const double c2 = std::sqrt(1.0 - eta * eta * (1.0 - c1 * c1));
    ASSERT_EQ(c2, 1.0);
    Vstrecha v(kStal, kVoda, c1, c2);
    v.Primenit();
    const double z1 = Impedans(kStal), z2 = Impedans(kVoda);
    const double r = std::fabs((z2 - z1) / (z2 + z1));
    EXPECT_NEAR(v.wR().energiya, 4.0 * r * r, 1e-12);
    EXPECT_NEAR(v.wT().energiya, 4.0 * (1.0 - r * r), 1e-12);
}

// Over many media and angles: the oblique coefficient is the pressure reflection coefficient
// (Z2 cos1 - Z1 cos2) / (Z2 cos1 + Z1 cos2), and what is reflected and transmitted balances.
TEST(CoefficientTest, ObliqueCoefficientsBalanceTheEnergyOverManyAnglesAndMedia) {
    const Sreda sredy[] = {kVoda,
                           kStal,
                           SozdatSredu(2730.0, 1180.0),
                           SozdatSredu(343.0, 1.2),
                           SozdatSredu(6320.0, 2700.0),
                           SozdatSredu(1480.0, 7800.0)};
    int provereno = 0;
    for (const Sreda& iz : sredy) {
        for (const Sreda& v : sredy) {
            for (int gradusov = 0; gradusov < 90; ++gradusov) {
                const double ugol = gradusov * std::numbers::pi / 180.0;
                const double c1 = gradusov == 0 ? 1.0 : std::cos(ugol);
                const double sin2 = std::sin(ugol) * v.skorost / iz.skorost;
                if (sin2 >= 1.0) continue;  // no transmitted ray
                const double c2 = gradusov == 0 ? 1.0 : std::sqrt(1.0 - sin2 * sin2);
                Vstrecha vs(iz, v, c1, c2);
                vs.Primenit();
                const double r = vs.wR().amplituda / 2.0;
                const double t = vs.wT().amplituda / 2.0;
                const double z1 = Impedans(iz), z2 = Impedans(v);
                EXPECT_NEAR(r, std::fabs((z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2)), 1e-9)
                    << gradusov;
                EXPECT_NEAR(r * r + t * t * c2 / c1, 1.0, 1e-12) << gradusov;
                EXPECT_NEAR(vs.wR().energiya, 4.0 * r * r, 1e-12);
                EXPECT_NEAR(vs.wT().energiya, 4.0 * t * t, 1e-12);
                ++provereno;
            }
        }
    }
    EXPECT_GT(provereno, 1000);
}

// The whole operation: S separates water (first side) from steel; I travels in water.
class InterfaceTest : public ::testing::Test {
  protected:
    static constexpr double kPorog = 1e-3;
    static constexpr std::uint64_t kP = 0x0102030405060708ull;

    TestWaveSet r{4}, t{4}, s{0}, i{4};

    void SetUp() override {
        ScriptedWavelib::Podklyuchit();
        s.nabor.sreda = kVoda;
        s.nabor.sreda2 = kStal;
        s.nabor.dlinaOtscheta = 4.0;
        i.nabor.sreda = kVoda;
        for (auto& w : i.volny) {
            w.amplituda = 1.0;
            w.energiya = 1.0;
            w.dlinaShaga = 2.0;
            w.cosPadeniya = w.cosPrelomleniya = 1.0;
        }
        for (auto& l : i.luchi) l.flagi = kLuchDoshel;
        i.luchi[1].flagi = 0;  // misses the interface
        i.volny[1].dlinaShaga = 0.0;
        i.volny[2].cosPadeniya = 0.1;  // too grazing
        i.volny[2].cosPrelomleniya = 0.5;
        i.volny[3].energiya = 1e-6;  // too weak
        r.nabor.chislo = t.nabor.chislo = 0;
    }
    bool Vyzvat(NaborVoln* nabor = nullptr) {
        const double porog = kPorog;
        return isTrue(
            OtrazitIPrelomit(&r.nabor, &t.nabor, &s.nabor, nabor ? nabor : &i.nabor, &kP, &porog));
    }
};

TEST_F(InterfaceTest, SplitKeepsTheWavesThatReachedTheInterfaceAndPassTheThresholds) {
    ASSERT_TRUE(Vyzvat());
    EXPECT_EQ(ScriptedWavelib::parametr, kP);
    EXPECT_DOUBLE_EQ(ScriptedWavelib::otnoshenie, 1480.0 / 5900.0);

    EXPECT_THAT(r.tags(), ElementsAre(0));
    EXPECT_THAT(t.tags(), ElementsAre(0));
    EXPECT_THAT(i.tags(), ElementsAre(1));
    EXPECT_EQ(r.nabor.chisloVoln, 1u);
    EXPECT_EQ(t.nabor.chisloVoln, 1u);
    EXPECT_EQ(i.nabor.chisloVoln, 1u);

    const double z1 = Impedans(kVoda), z2 = Impedans(kStal);
    const double koefR = (z2 - z1) / (z2 + z1);
    EXPECT_DOUBLE_EQ(r.volny[0].energiya, koefR * koefR);
    EXPECT_DOUBLE_EQ(t.volny[0].energiya, 1.0 - koefR * koefR);
    EXPECT_EQ(std::memcmp(&r.nabor.sreda, &kVoda, sizeof(Sreda)), 0);
    EXPECT_EQ(std::memcmp(&t.nabor.sreda, &kStal, sizeof(Sreda)), 0);

    // The last step up to the interface (2) in water, then a quarter reference length away.
    ASSERT_EQ(ScriptedWavelib::shagi.size(), 2u);
    EXPECT_EQ(ScriptedWavelib::shagi[0], std::make_pair(&r.nabor, 1.0));
    EXPECT_EQ(ScriptedWavelib::shagi[1], std::make_pair(&t.nabor, 1.0));
    EXPECT_DOUBLE_EQ(r.volny[0].put, 3.0);
    EXPECT_DOUBLE_EQ(r.volny[0].vremya1, 3.0 / 1480.0);
    EXPECT_DOUBLE_EQ(t.volny[0].vremya1, 2.0 / 1480.0 + 1.0 / 5900.0);
    EXPECT_EQ(+i.volny[0].put, 0.0);  // the element that stays took no step
}

TEST_F(InterfaceTest, IncidentSetOnTheSecondSideTransmitsIntoTheFirst) {
    i.nabor.sreda = kStal;
    ASSERT_TRUE(Vyzvat());
    EXPECT_DOUBLE_EQ(ScriptedWavelib::otnoshenie, 5900.0 / 1480.0);
    EXPECT_EQ(std::memcmp(&r.nabor.sreda, &kStal, sizeof(Sreda)), 0);
    EXPECT_EQ(std::memcmp(&t.nabor.sreda, &kVoda, sizeof(Sreda)), 0);
}

TEST_F(InterfaceTest, MediumOnNeitherSideFailsWithoutCallingWavelib) {
    i.nabor.sreda.skorost = 1481.0;  // the density matches the water, the speed does not
    const std::vector<Volna> do_ = i.volny;
    EXPECT_FALSE(Vyzvat());
    EXPECT_EQ(ScriptedWavelib::vyzovov4, 0);
    EXPECT_EQ(ScriptedWavelib::vyzovov5, 0);
    EXPECT_EQ(std::memcmp(do_.data(), i.volny.data(), do_.size() * sizeof(Volna)), 0);
    EXPECT_EQ(i.nabor.chislo, 4u);
}

TEST_F(InterfaceTest, FailureOfEitherWavelibEntryStopsBeforeAnyWaveIsTouched) {
    ScriptedWavelib::rezultat4 = false;
    EXPECT_FALSE(Vyzvat());
    EXPECT_EQ(ScriptedWavelib::vyzovov5, 0);

    ScriptedWavelib::rezultat4 = true;
    ScriptedWavelib::rezultat5 = false;
    EXPECT_FALSE(Vyzvat());
    EXPECT_EQ(ScriptedWavelib::vyzovov5, 1);
    EXPECT_EQ(+i.volny[0].put, 0.0);
    EXPECT_EQ(+r.volny[0].energiya, 0.0);
    EXPECT_EQ(i.nabor.chislo, 4u);
}

// A speed that no refraction can use (zero, negative, infinite) is refused before wavelib builds
// the reflected set or marks the incident rays, not after.
TEST_F(InterfaceTest, UnusableSpeedRatioFailsBeforeWavelibBuildsAnything) {
    for (const double skorost : {0.0, -5900.0, std::numeric_limits<double>::infinity()}) {
        s.nabor.sreda2.skorost = skorost;
        EXPECT_FALSE(Vyzvat()) << skorost;
    }
    EXPECT_EQ(ScriptedWavelib::vyzovov4, 0);
    EXPECT_EQ(ScriptedWavelib::vyzovov5, 0);
    EXPECT_EQ(i.nabor.chislo, 4u);
    EXPECT_EQ(r.nabor.chislo, 0u);
}

// The split does its steps element by element in one pass, and skips a filter whose outcome that
// pass already saw; the sets must come out byte for byte as from the steps one after another over
// whole sets. Random flags, cosines (exactly 1, 0 and not a number among them), energies around
// the threshold, and sets of unequal counts.
TEST(SplitStepsTest, OnePassSplitEqualsTheStepsOneAfterAnother) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::uint32_t flags[] = {0,           kLuchDoshel,
                                   kLuchDoshel, kLuchDoshel | kLuchTolkoFaza,
                                   kLuchUdalit, kLuchDoshel | kLuchUdalit};
    struct Variant {
        std::uint32_t fewer4, fewer5, waves;
    };
    for (const Variant v :
         {Variant{0, 0, 200}, Variant{3, 1, 200}, Variant{0, 0, 150}, Variant{5, 5, 0}}) {
        TestWaveSet i(200), s(0);
        s.nabor.sreda = kVoda;
        s.nabor.sreda2 = kStal;
        s.nabor.dlinaOtscheta = 4.0;
        i.nabor.sreda = kVoda;
        i.nabor.sreda.zatuhanie = 0.01;
        for (std::uint32_t k = 0; k < 200; ++k) {
            i.luchi[k].flagi = flags[gen() % 6];
            Volna& w = i.volny[k];
            const double c[] = {u(gen), 1.0, 0.0, kNaN, 0.2};
            w.cosPadeniya = c[gen() % 5];
            w.cosPrelomleniya = c[gen() % 5];
            w.amplituda = u(gen);
            w.energiya = 2e-3 * u(gen);
            w.faza = u(gen);
            w.dlinaShaga = u(gen);
            w.koefZatuhaniya = u(gen);
        }
        i.nabor.chisloVoln = v.waves;
        // What wavelib leaves in the new sets' waves, where the split copies no incident wave.
        TestWaveSet r(200), t(200);
        for (TestWaveSet* n : {&r, &t}) {
            for (Volna& w : n->volny) {
                w.cosPadeniya = w.cosPrelomleniya = u(gen);
                w.amplituda = w.energiya = w.faza = 1.0;
            }
        }
        TestWaveSet iSteps = i, rSteps = r, tSteps = t;
        for (TestWaveSet* n : {&iSteps, &rSteps, &tSteps}) {
            n->nabor.luchi = n->luchi.data();
            n->nabor.volny = n->volny.data();
        }

        ScriptedWavelib::Podklyuchit();
        ScriptedWavelib::fewer4 = v.fewer4;
        ScriptedWavelib::fewer5 = v.fewer5;
        const double porog = 1e-3;
        const std::uint64_t p = 0;
        ASSERT_TRUE(OtrazitIPrelomit(&r.nabor, &t.nabor, &s.nabor, &i.nabor, &p, &porog));

        // The same split step by step.
        ScriptedWavelib::Otrazit(&rSteps.nabor, &s.nabor, &iSteps.nabor, p);
        ScriptedWavelib::Prelomit(&tSteps.nabor, &s.nabor, &iSteps.nabor, p, 0.0);
        rSteps.nabor.sreda = kVoda;
        rSteps.nabor.sreda.zatuhanie = 0.01;
        tSteps.nabor.sreda = kStal;
        RasprostranitVolny(&iSteps.nabor);
        const std::uint32_t waves = std::min(iSteps.nabor.chisloVoln, iSteps.nabor.chislo);
        std::memcpy(rSteps.volny.data(), iSteps.volny.data(), waves * sizeof(Volna));
        std::memcpy(tSteps.volny.data(), iSteps.volny.data(), waves * sizeof(Volna));
        PrimenitKoefficienty(&rSteps.nabor, &tSteps.nabor, &iSteps.nabor);
        UdalitDoshedshie(&iSteps.nabor);
        UdalitOtmechennye(&rSteps.nabor);
        OtbrositPoPorogam(&rSteps.nabor, 0.2, porog);
        UdalitOtmechennye(&tSteps.nabor);
        OtbrositPoPorogam(&tSteps.nabor, 0.2, porog);
        ProdvinutVolny(&rSteps.nabor, 1.0);
        ProdvinutVolny(&tSteps.nabor, 1.0);

        for (const auto& [actual, expected] :
             {std::pair{&r, &rSteps}, std::pair{&t, &tSteps}, std::pair{&i, &iSteps}}) {
            const std::uint32_t n = actual->nabor.chislo;
            ASSERT_EQ(n, expected->nabor.chislo) << v.fewer4 << " " << v.waves;
            EXPECT_EQ(actual->nabor.chisloVoln, expected->nabor.chisloVoln);
            EXPECT_EQ(std::memcmp(actual->luchi.data(), expected->luchi.data(), n * sizeof(Luch)),
                      0);
            EXPECT_EQ(std::memcmp(actual->volny.data(), expected->volny.data(), n * sizeof(Volna)),
                      0)
                << v.fewer4 << " " << v.waves;
        }
    }
}

TEST_F(InterfaceTest, MissingArgumentsAndSharedSetsAreRefused) {
    const double porog = 0.0;
    EXPECT_FALSE(OtrazitIPrelomit(&r.nabor, &t.nabor, &s.nabor, &i.nabor, &kP, nullptr));
    EXPECT_FALSE(OtrazitIPrelomit(&r.nabor, &t.nabor, &s.nabor, &i.nabor, nullptr, &porog));
    EXPECT_FALSE(OtrazitIPrelomit(&r.nabor, &r.nabor, &s.nabor, &i.nabor, &kP, &porog));
    EXPECT_FALSE(OtrazitIPrelomit(&i.nabor, &t.nabor, &s.nabor, &i.nabor, &kP, &porog));
    EXPECT_EQ(ScriptedWavelib::vyzovov4, 0);
}

}  // namespace
