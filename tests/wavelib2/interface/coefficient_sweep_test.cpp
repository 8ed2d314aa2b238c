// The split at an interface against its closed form over the whole range of incidence: the
// cosines come from wavelib's geometry (as the shipped wavelib computes them from the rays), the
// coefficients from wavelib2, the reference from the textbook fluid-fluid formulas in extended
// precision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "suite/wavelib/interface.h"
#include "tests/wavelib2/test_wave_set.h"
#include "wavelib2/reflection.h"

namespace {

Medium fluid(double speed, double density) {
    Medium s{};
    s.speed = speed;
    s.density = density;
    return s;
}

const Medium kWater = fluid(1480.0, 1000.0);
const Medium kSteel = fluid(5900.0, 7800.0);
const Medium kSimilar = fluid(1540.0, 900.0);  // a fluid close to water

// Closed form for a plane wave from medium 1 into medium 2 at `angle`: pressure reflection
// coefficient r = |Z2 cos1 - Z1 cos2| / (Z2 cos1 + Z1 cos2) and the transmitted factor t for which
// r^2 + t^2 cos2 / cos1 = 1, that is t = 2 cos1 sqrt(Z1 Z2) / (Z2 cos1 + Z1 cos2). Beyond the
// critical angle nothing is transmitted: r = 1, t = 0.
struct Reference {
    bool transmitted;
    long double r;
    long double t;
};

Reference closedForm(const Medium& from, const Medium& to, long double angle) {
    const long double sinT = std::sin(angle) * to.speed / from.speed;
    if (sinT > 1.0L) return {false, 1.0L, 0.0L};
    const long double c1 = std::cos(angle);
    const long double c2 = std::sqrt((1.0L - sinT) * (1.0L + sinT));
    const long double z1 = static_cast<long double>(from.density) * from.speed;
    const long double z2 = static_cast<long double>(to.density) * to.speed;
    const long double d = z2 * c1 + z1 * c2;
    return {true, std::fabs(z2 * c1 - z1 * c2) / d, 2.0L * c1 * std::sqrt(z1 * z2) / d};
}

// A ray's direction by the sine and cosine of its angle from the vertical.
struct Direction {
    double sin, cos;
};
Direction atAngle(double angle) {
    return {std::sin(angle), std::cos(angle)};
}

// One incident ray per direction onto the plane z = 0, split as OtrazitIPrelomit splits it:
// wavelib's entries 4 and 5 build the new rays and the cosines, the incident waves are copied into
// both new sets, wavelib2 applies the coefficients. Every wave starts with amplitude and energy 1,
// so the new amplitudes are r and t.
struct Split {
    TestWaveSet s{1}, i, r, t;

    Split(const Medium& from, const Medium& to, const std::vector<Direction>& rays)
        : i(count(rays)), r(count(rays)), t(count(rays)) {
        s.rays[0].direction[2] = 1.0;
        i.set.medium = from;
        for (std::size_t k = 0; k < rays.size(); ++k) {
            const double direction[3] = {rays[k].sin, 0.0, -rays[k].cos};
            std::memcpy(i.rays[k].direction, direction, sizeof(direction));
            i.rays[k].origin[2] = 1.0;
            i.waves[k].amplitude = 1.0;
            i.waves[k].energy = 1.0;
        }
        EXPECT_TRUE(wavelib::ReflectRays(&r.set, &s.set, &i.set, 0));
        EXPECT_TRUE(wavelib::RefractRays(&t.set, &s.set, &i.set, 0, from.speed / to.speed));
        r.set.medium = from;
        t.set.medium = to;
        std::memcpy(r.waves.data(), i.waves.data(), rays.size() * sizeof(Wave));
        std::memcpy(t.waves.data(), i.waves.data(), rays.size() * sizeof(Wave));
        wavelib2::PrimenitKoefficienty(&r.set, &t.set, &i.set);
    }
    static std::uint32_t count(const std::vector<Direction>& rays) {
        return static_cast<std::uint32_t>(rays.size());
    }
    bool transmitted(std::size_t k) const { return (t.rays[k].flags & kRayRemove) == 0; }
};

TEST(SplitSweepTest, CoefficientsEnergyAndCriticalAngleFollowTheClosedFormAtEveryAngle) {
    struct Pair {
        const char* name;
        Medium from, to;
    };
    const Pair pairs[] = {{"вода - сталь", kWater, kSteel},
                          {"сталь - вода", kSteel, kWater},
                          {"вода - похожая жидкость", kWater, kSimilar}};
    // The exact critical direction of water over the similar fluid, asin(1480 / 1540) as a
    // double (1.2907367095444235 rad): from it wavelib's sin^2 of refraction comes out as exactly
    // 1, the refraction cosine as exactly 0, and no ray is marked. Built from the sine itself so
    // that every platform's sine and cosine give the same bits.
    const double sinCritical = kWater.speed / kSimilar.speed;
    const Direction critical{sinCritical, std::sqrt(1.0 - sinCritical * sinCritical)};
    const long double criticalAngle = std::asin(static_cast<long double>(sinCritical));
    EXPECT_NEAR(static_cast<double>(criticalAngle), 1.2907367095444235, 1e-15);

    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.name);
        std::vector<Direction> rays;
        std::vector<long double> angles;
        for (int degrees = 0; degrees < 90; ++degrees) {
            angles.push_back(degrees * std::numbers::pi_v<long double> / 180.0L);
        }
        for (long double tiny : {1e-8L, 3e-8L, 1e-7L, 3e-7L, 1e-6L}) angles.push_back(tiny);
        for (long double angle : angles) rays.push_back(atAngle(static_cast<double>(angle)));
        angles.push_back(criticalAngle);
        rays.push_back(critical);
        Split split(pair.from, pair.to, rays);

        for (std::size_t k = 0; k < rays.size(); ++k) {
            SCOPED_TRACE(static_cast<double>(angles[k]));
            const Wave wR = split.r.waves[k];
            const Wave wT = split.t.waves[k];
            ASSERT_NE(split.i.rays[k].flags & kRayReached, 0u);
            const double r = wR.amplitude;
            const double t = wT.amplitude;
            EXPECT_EQ(+wR.energy, r * r);
            EXPECT_EQ(+wT.energy, t * t);
            // The energy balance with the cosines that the waves carry.
            const double crossed =
                split.transmitted(k) ? t * t * wT.refractionCosine / wT.incidenceCosine : 0.0;
            EXPECT_NEAR(r * r + crossed, 1.0, 1e-12);

            if (k + 1 == rays.size() && pair.to.speed == kSimilar.speed) {
                ASSERT_EQ(+wT.refractionCosine, 0.0);
                ASSERT_TRUE(split.transmitted(k));
                EXPECT_EQ(r, 1.0);  // the grazing limit: everything reflected, nothing lost
                EXPECT_EQ(t, 0.0);
                continue;
            }
            const Reference reference = closedForm(pair.from, pair.to, angles[k]);
            EXPECT_EQ(split.transmitted(k), reference.transmitted);
            EXPECT_NEAR(r, static_cast<double>(reference.r), 1e-12);
            EXPECT_NEAR(t, static_cast<double>(reference.t), 1e-12);
        }
    }
}

// A hair on either side of the closed-form critical angle, the ray is transmitted or not.
TEST(SplitSweepTest, CriticalAngleLiesWhereTheClosedFormPutsIt) {
    for (const Medium& to : {kSteel, kSimilar}) {
        const double critical = std::asin(kWater.speed / to.speed);
        Split split(kWater, to, {atAngle(critical - 1e-9), atAngle(critical + 1e-9)});
        EXPECT_TRUE(split.transmitted(0)) << to.speed;
        EXPECT_FALSE(split.transmitted(1)) << to.speed;
        EXPECT_EQ(+split.r.waves[1].amplitude, 1.0);
    }
}

}  // namespace
