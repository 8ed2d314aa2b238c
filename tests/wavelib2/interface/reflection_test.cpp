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

Medium MakeMedium(double speed, double density) {
    Medium s{};
    s.speed = speed;
    s.density = density;
    return s;
}

const Medium kWater = MakeMedium(1480.0, 1000.0);
const Medium kSteel = MakeMedium(5900.0, 7800.0);

double Impedance(const Medium& s) {
    return s.density * s.speed;
}

// One element met at an interface from medium `from` into medium `to`.
struct Meeting {
    TestWaveSet r{1}, t{1}, i{1};
    Meeting(const Medium& from, const Medium& to, double c1, double c2,
            std::uint32_t flags = kRayReached) {
        r.set.medium = from;
        t.set.medium = to;
        i.rays[0].flags = flags;
        for (Wave* w : {&r.waves[0], &t.waves[0]}) {
            w->incidenceCosine = c1;
            w->refractionCosine = c2;
            w->amplitude = 2.0;
            w->energy = 4.0;
            w->phase = 0.5;
        }
    }
    void Apply() { PrimenitKoefficienty(&r.set, &t.set, &i.set); }
    const Wave& wR() const { return r.waves[0]; }
    const Wave& wT() const { return t.waves[0]; }
};

TEST(CoefficientTest, NormalIncidenceUsesTheImpedancesOfBothMedia) {
    Meeting v(kWater, kSteel, 1.0, 1.0);
    v.Apply();
    const double z1 = Impedance(kWater), z2 = Impedance(kSteel);
    const double r = std::fabs((z2 - z1) / (z2 + z1));
    const double t = std::sqrt(1.0 - r * r);
    EXPECT_DOUBLE_EQ(v.wR().amplitude, 2.0 * r);
    EXPECT_DOUBLE_EQ(v.wR().energy, 4.0 * r * r);
    EXPECT_DOUBLE_EQ(v.wT().amplitude, 2.0 * t);
    EXPECT_DOUBLE_EQ(v.wT().energy, 4.0 * t * t);

    Meeting same(kWater, kWater, 1.0, 1.0);
    same.Apply();
    EXPECT_EQ(+same.wR().amplitude, 0.0);
    EXPECT_EQ(+same.wR().energy, 0.0);
    EXPECT_EQ(+same.wT().amplitude, 2.0);
    EXPECT_EQ(+same.wT().energy, 4.0);
}

TEST(CoefficientTest, ReflectedPhaseTurnsToPiMinusPhaseOnlyFromHigherToLowerImpedance) {
    Meeting down(kSteel, kWater, 1.0, 1.0);
    down.Apply();
    EXPECT_DOUBLE_EQ(down.wR().phase, std::numbers::pi - 0.5);
    EXPECT_EQ(+down.wT().phase, 0.5);

    Meeting up(kWater, kSteel, 1.0, 1.0);
    up.Apply();
    EXPECT_EQ(+up.wR().phase, 0.5);
    EXPECT_EQ(+up.wT().phase, 0.5);
}

TEST(CoefficientTest, PhaseOnlyFlagKeepsAmplitudesAndEnergiesButStillAppliesThePhaseRule) {
    Meeting v(kSteel, kWater, 1.0, 1.0, kRayReached | kRayPhaseOnly);
    v.Apply();
    EXPECT_EQ(+v.wR().amplitude, 2.0);
    EXPECT_EQ(+v.wR().energy, 4.0);
    EXPECT_EQ(+v.wT().amplitude, 2.0);
    EXPECT_EQ(+v.wT().energy, 4.0);
    EXPECT_DOUBLE_EQ(v.wR().phase, std::numbers::pi - 0.5);
}

TEST(CoefficientTest, ElementThatDidNotReachTheInterfaceIsLeftAsItIs) {
    Meeting v(kSteel, kWater, 0.7, 0.3, kRayPhaseOnly | kRayRemove);
    const Wave beforeR = v.wR(), beforeT = v.wT();
    v.Apply();
    EXPECT_EQ(std::memcmp(&beforeR, &v.wR(), sizeof(Wave)), 0);
    EXPECT_EQ(std::memcmp(&beforeT, &v.wT(), sizeof(Wave)), 0);
}

TEST(CoefficientTest, WithoutATransmittedRayEverythingIsReflected) {
    // Water into steel at 30 degrees is beyond the critical angle.
    Meeting v(kWater, kSteel, std::cos(std::numbers::pi / 6), 0.0);
    v.t.rays[0].flags = kRayRemove;
    v.Apply();
    EXPECT_EQ(+v.wR().amplitude, 2.0);
    EXPECT_EQ(+v.wR().energy, 4.0);
    EXPECT_EQ(+v.wT().energy, 0.0);
}

// From steel into water a hair off the normal the refraction cosine rounds to exactly 1.0; the
// wave is split as at normal incidence, not reflected whole.
TEST(CoefficientTest, RefractionCosineRoundedToOneSplitsAsAtNormalIncidence) {
    const double c1 = std::nextafter(1.0, 0.0);
    const double eta = kWater.speed / kSteel.speed;
    const double c2 = std::sqrt(1.0 - eta * eta * (1.0 - c1 * c1));
    ASSERT_EQ(c2, 1.0);
    Meeting v(kSteel, kWater, c1, c2);
    v.Apply();
    const double z1 = Impedance(kSteel), z2 = Impedance(kWater);
    const double r = std::fabs((z2 - z1) / (z2 + z1));
    EXPECT_NEAR(v.wR().energy, 4.0 * r * r, 1e-12);
    EXPECT_NEAR(v.wT().energy, 4.0 * (1.0 - r * r), 1e-12);
}

// Over many media and angles: the oblique coefficient is the pressure reflection coefficient
// (Z2 cos1 - Z1 cos2) / (Z2 cos1 + Z1 cos2), and what is reflected and transmitted balances.
TEST(CoefficientTest, ObliqueCoefficientsBalanceTheEnergyOverManyAnglesAndMedia) {
    const Medium media[] = {kWater,
                            kSteel,
                            MakeMedium(2730.0, 1180.0),
                            MakeMedium(343.0, 1.2),
                            MakeMedium(6320.0, 2700.0),
                            MakeMedium(1480.0, 7800.0)};
    int checked = 0;
    for (const Medium& from : media) {
        for (const Medium& to : media) {
            for (int degrees = 0; degrees < 90; ++degrees) {
                const double angle = degrees * std::numbers::pi / 180.0;
                const double c1 = degrees == 0 ? 1.0 : std::cos(angle);
                const double sin2 = std::sin(angle) * to.speed / from.speed;
                if (sin2 >= 1.0) continue;  // no transmitted ray
                const double c2 = degrees == 0 ? 1.0 : std::sqrt(1.0 - sin2 * sin2);
                Meeting m(from, to, c1, c2);
                m.Apply();
                const double r = m.wR().amplitude / 2.0;
                const double t = m.wT().amplitude / 2.0;
                const double z1 = Impedance(from), z2 = Impedance(to);
                EXPECT_NEAR(r, std::fabs((z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2)), 1e-9)
                    << degrees;
                EXPECT_NEAR(r * r + t * t * c2 / c1, 1.0, 1e-12) << degrees;
                EXPECT_NEAR(m.wR().energy, 4.0 * r * r, 1e-12);
                EXPECT_NEAR(m.wT().energy, 4.0 * t * t, 1e-12);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

// The whole operation: S separates water (first side) from steel; I travels in water.
class InterfaceTest : public ::testing::Test {
  protected:
    static constexpr double kThreshold = 1e-3;
    static constexpr std::uint64_t kP = 0x0102030405060708ull;

    TestWaveSet r{4}, t{4}, s{0}, i{4};

    void SetUp() override {
        ScriptedWavelib::Bind();
        s.set.medium = kWater;
        s.set.medium2 = kSteel;
        s.set.referenceLength = 4.0;
        i.set.medium = kWater;
        for (auto& w : i.waves) {
            w.amplitude = 1.0;
            w.energy = 1.0;
            w.stepLength = 2.0;
            w.incidenceCosine = w.refractionCosine = 1.0;
        }
        for (auto& l : i.rays) l.flags = kRayReached;
        i.rays[1].flags = 0;  // misses the interface
        i.waves[1].stepLength = 0.0;
        i.waves[2].incidenceCosine = 0.1;  // too grazing
        i.waves[2].refractionCosine = 0.5;
        i.waves[3].energy = 1e-6;  // too weak
        r.set.count = t.set.count = 0;
    }
    bool Call(WaveSet* set = nullptr) {
        const double threshold = kThreshold;
        return isTrue(
            OtrazitIPrelomit(&r.set, &t.set, &s.set, set ? set : &i.set, &kP, &threshold));
    }
};

TEST_F(InterfaceTest, SplitKeepsTheWavesThatReachedTheInterfaceAndPassTheThresholds) {
    ASSERT_TRUE(Call());
    EXPECT_EQ(ScriptedWavelib::parameter, kP);
    EXPECT_DOUBLE_EQ(ScriptedWavelib::speedRatio, 1480.0 / 5900.0);

    EXPECT_THAT(r.tags(), ElementsAre(0));
    EXPECT_THAT(t.tags(), ElementsAre(0));
    EXPECT_THAT(i.tags(), ElementsAre(1));
    EXPECT_EQ(r.set.waveCount, 1u);
    EXPECT_EQ(t.set.waveCount, 1u);
    EXPECT_EQ(i.set.waveCount, 1u);

    const double z1 = Impedance(kWater), z2 = Impedance(kSteel);
    const double reflectionCoefficient = (z2 - z1) / (z2 + z1);
    EXPECT_DOUBLE_EQ(r.waves[0].energy, reflectionCoefficient * reflectionCoefficient);
    EXPECT_DOUBLE_EQ(t.waves[0].energy, 1.0 - reflectionCoefficient * reflectionCoefficient);
    EXPECT_EQ(std::memcmp(&r.set.medium, &kWater, sizeof(Medium)), 0);
    EXPECT_EQ(std::memcmp(&t.set.medium, &kSteel, sizeof(Medium)), 0);

    // The last step up to the interface (2) in water, then a quarter reference length away.
    ASSERT_EQ(ScriptedWavelib::steps.size(), 2u);
    EXPECT_EQ(ScriptedWavelib::steps[0], std::make_pair(&r.set, 1.0));
    EXPECT_EQ(ScriptedWavelib::steps[1], std::make_pair(&t.set, 1.0));
    EXPECT_DOUBLE_EQ(r.waves[0].path, 3.0);
    EXPECT_DOUBLE_EQ(r.waves[0].time1, 3.0 / 1480.0);
    EXPECT_DOUBLE_EQ(t.waves[0].time1, 2.0 / 1480.0 + 1.0 / 5900.0);
    EXPECT_EQ(+i.waves[0].path, 0.0);  // the element that stays took no step
}

TEST_F(InterfaceTest, IncidentSetOnTheSecondSideTransmitsIntoTheFirst) {
    i.set.medium = kSteel;
    ASSERT_TRUE(Call());
    EXPECT_DOUBLE_EQ(ScriptedWavelib::speedRatio, 5900.0 / 1480.0);
    EXPECT_EQ(std::memcmp(&r.set.medium, &kSteel, sizeof(Medium)), 0);
    EXPECT_EQ(std::memcmp(&t.set.medium, &kWater, sizeof(Medium)), 0);
}

TEST_F(InterfaceTest, MediumOnNeitherSideFailsWithoutCallingWavelib) {
    i.set.medium.speed = 1481.0;  // the density matches the water, the speed does not
    const std::vector<Wave> before = i.waves;
    EXPECT_FALSE(Call());
    EXPECT_EQ(ScriptedWavelib::calls4, 0);
    EXPECT_EQ(ScriptedWavelib::calls5, 0);
    EXPECT_EQ(std::memcmp(before.data(), i.waves.data(), before.size() * sizeof(Wave)), 0);
    EXPECT_EQ(i.set.count, 4u);
}

TEST_F(InterfaceTest, FailureOfEitherWavelibEntryStopsBeforeAnyWaveIsTouched) {
    ScriptedWavelib::result4 = false;
    EXPECT_FALSE(Call());
    EXPECT_EQ(ScriptedWavelib::calls5, 0);

    ScriptedWavelib::result4 = true;
    ScriptedWavelib::result5 = false;
    EXPECT_FALSE(Call());
    EXPECT_EQ(ScriptedWavelib::calls5, 1);
    EXPECT_EQ(+i.waves[0].path, 0.0);
    EXPECT_EQ(+r.waves[0].energy, 0.0);
    EXPECT_EQ(i.set.count, 4u);
}

// A speed that no refraction can use (zero, negative, infinite) is refused before wavelib builds
// the reflected set or marks the incident rays, not after.
TEST_F(InterfaceTest, UnusableSpeedRatioFailsBeforeWavelibBuildsAnything) {
    for (const double speed : {0.0, -5900.0, std::numeric_limits<double>::infinity()}) {
        s.set.medium2.speed = speed;
        EXPECT_FALSE(Call()) << speed;
    }
    EXPECT_EQ(ScriptedWavelib::calls4, 0);
    EXPECT_EQ(ScriptedWavelib::calls5, 0);
    EXPECT_EQ(i.set.count, 4u);
    EXPECT_EQ(r.set.count, 0u);
}

// The split does its steps element by element in one pass, and skips a filter whose outcome that
// pass already saw; the sets must come out byte for byte as from the steps one after another over
// whole sets. Random flags, cosines (exactly 1, 0 and not a number among them), energies around
// the threshold, and sets of unequal counts.
TEST(SplitStepsTest, OnePassSplitEqualsTheStepsOneAfterAnother) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::uint32_t flags[] = {0,           kRayReached,
                                   kRayReached, kRayReached | kRayPhaseOnly,
                                   kRayRemove,  kRayReached | kRayRemove};
    struct Variant {
        std::uint32_t fewer4, fewer5, waves;
    };
    for (const Variant v :
         {Variant{0, 0, 200}, Variant{3, 1, 200}, Variant{0, 0, 150}, Variant{5, 5, 0}}) {
        TestWaveSet i(200), s(0);
        s.set.medium = kWater;
        s.set.medium2 = kSteel;
        s.set.referenceLength = 4.0;
        i.set.medium = kWater;
        i.set.medium.attenuation = 0.01;
        for (std::uint32_t k = 0; k < 200; ++k) {
            i.rays[k].flags = flags[gen() % 6];
            Wave& w = i.waves[k];
            const double c[] = {u(gen), 1.0, 0.0, kNaN, 0.2};
            w.incidenceCosine = c[gen() % 5];
            w.refractionCosine = c[gen() % 5];
            w.amplitude = u(gen);
            w.energy = 2e-3 * u(gen);
            w.phase = u(gen);
            w.stepLength = u(gen);
            w.attenuationFactor = u(gen);
        }
        i.set.waveCount = v.waves;
        // What wavelib leaves in the new sets' waves, where the split copies no incident wave.
        TestWaveSet r(200), t(200);
        for (TestWaveSet* n : {&r, &t}) {
            for (Wave& w : n->waves) {
                w.incidenceCosine = w.refractionCosine = u(gen);
                w.amplitude = w.energy = w.phase = 1.0;
            }
        }
        TestWaveSet iSteps = i, rSteps = r, tSteps = t;
        for (TestWaveSet* n : {&iSteps, &rSteps, &tSteps}) {
            n->set.rays = n->rays.data();
            n->set.waves = n->waves.data();
        }

        ScriptedWavelib::Bind();
        ScriptedWavelib::fewer4 = v.fewer4;
        ScriptedWavelib::fewer5 = v.fewer5;
        const double threshold = 1e-3;
        const std::uint64_t p = 0;
        ASSERT_TRUE(OtrazitIPrelomit(&r.set, &t.set, &s.set, &i.set, &p, &threshold));

        // The same split step by step.
        ScriptedWavelib::Reflect(&rSteps.set, &s.set, &iSteps.set, p);
        ScriptedWavelib::Refract(&tSteps.set, &s.set, &iSteps.set, p, 0.0);
        rSteps.set.medium = kWater;
        rSteps.set.medium.attenuation = 0.01;
        tSteps.set.medium = kSteel;
        RasprostranitVolny(&iSteps.set);
        const std::uint32_t waves = std::min(iSteps.set.waveCount, iSteps.set.count);
        std::memcpy(rSteps.waves.data(), iSteps.waves.data(), waves * sizeof(Wave));
        std::memcpy(tSteps.waves.data(), iSteps.waves.data(), waves * sizeof(Wave));
        PrimenitKoefficienty(&rSteps.set, &tSteps.set, &iSteps.set);
        UdalitDoshedshie(&iSteps.set);
        UdalitOtmechennye(&rSteps.set);
        OtbrositPoPorogam(&rSteps.set, 0.2, threshold);
        UdalitOtmechennye(&tSteps.set);
        OtbrositPoPorogam(&tSteps.set, 0.2, threshold);
        ProdvinutVolny(&rSteps.set, 1.0);
        ProdvinutVolny(&tSteps.set, 1.0);

        for (const auto& [actual, expected] :
             {std::pair{&r, &rSteps}, std::pair{&t, &tSteps}, std::pair{&i, &iSteps}}) {
            const std::uint32_t n = actual->set.count;
            ASSERT_EQ(n, expected->set.count) << v.fewer4 << " " << v.waves;
            EXPECT_EQ(actual->set.waveCount, expected->set.waveCount);
            EXPECT_EQ(std::memcmp(actual->rays.data(), expected->rays.data(), n * sizeof(Ray)), 0);
            EXPECT_EQ(std::memcmp(actual->waves.data(), expected->waves.data(), n * sizeof(Wave)),
                      0)
                << v.fewer4 << " " << v.waves;
        }
    }
}

TEST_F(InterfaceTest, MissingArgumentsAndSharedSetsAreRefused) {
    const double threshold = 0.0;
    EXPECT_FALSE(OtrazitIPrelomit(&r.set, &t.set, &s.set, &i.set, &kP, nullptr));
    EXPECT_FALSE(OtrazitIPrelomit(&r.set, &t.set, &s.set, &i.set, nullptr, &threshold));
    EXPECT_FALSE(OtrazitIPrelomit(&r.set, &r.set, &s.set, &i.set, &kP, &threshold));
    EXPECT_FALSE(OtrazitIPrelomit(&i.set, &t.set, &s.set, &i.set, &kP, &threshold));
    EXPECT_EQ(ScriptedWavelib::calls4, 0);
}

}  // namespace
