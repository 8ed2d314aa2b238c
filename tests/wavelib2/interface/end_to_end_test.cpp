// The interface split and the replication end to end: wavelib2 and wavelib loaded from the
// program's folder, sets made by wavelib, tables asked for by name.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "abi/placement_tables.h"
#include "platform/cp1251.h"
#include "tests/wavelib2/wavelib2_library.h"

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

class EndToEndTest : public ::testing::Test {
  protected:
    Wavelib2Library lib;
    WaveProcessorTable11 t{};

    void SetUp() override {
        ASSERT_TRUE(lib.loaded()) << platform::lastErrorText();
        t = lib.table11();
    }
    WaveSet* Create(std::uint32_t n) {
        WaveSet* set = t.createSet(n);
        EXPECT_NE(set, nullptr);
        return set;
    }
};

// A point source 10 above the plane z = 0 between water and steel; rays up to 40 degrees from
// the vertical, so that some pass the critical angle (about 14.5 degrees).
TEST_F(EndToEndTest, SplitOfAPointSourceAtWaterOverSteelBalancesTheEnergy) {
    constexpr std::uint32_t kRays = 81;
    WaveSet* i = Create(kRays);
    WaveSet* s = Create(1);
    WaveSet* r = Create(0);
    WaveSet* tr = Create(0);
    s->medium.speed = i->medium.speed = 1480.0;
    s->medium.density = i->medium.density = 1000.0;
    s->medium2.speed = 5900.0;
    s->medium2.density = 7800.0;
    s->referenceLength = 4.0;
    s->rays[0].direction[2] = 1.0;
    i->source[2] = 10.0;
    for (std::uint32_t k = 0; k < kRays; ++k) {
        const double angle = (k % 9) * 5.0 * std::numbers::pi / 180.0;
        const double azimuth = (k / 9) * 2.0 * std::numbers::pi / 9.0;
        Ray& l = i->rays[k];
        l.origin[0] = std::sin(angle) * std::cos(azimuth);
        l.origin[1] = std::sin(angle) * std::sin(azimuth);
        l.origin[2] = 10.0 - std::cos(angle);
    }
    const Wave templateWave{};
    const double impedancePair[2] = {1480.0, 1000.0};
    ASSERT_TRUE(t.inicializirovatVolny(i, &templateWave, 1.0, impedancePair));

    const std::uint64_t p = 0;
    const double threshold = 0.0;
    ASSERT_TRUE(t.otrazitIPrelomit(r, tr, s, i, &p, &threshold));
    EXPECT_EQ(i->count, 0u);
    EXPECT_EQ(r->count, kRays);
    EXPECT_EQ(tr->count, 3u * 9u);  // 0, 5 and 10 degrees pass into the steel

    double energy = 0.0;
    for (std::uint32_t k = 0; k < r->count; ++k) {
        energy += r->waves[k].energy;
        EXPECT_GT(+r->rays[k].origin[2], 0.0);
        EXPECT_NEAR(r->waves[k].path, 10.0 / r->waves[k].incidenceCosine + 1.0, 1e-9);
    }
    for (std::uint32_t k = 0; k < tr->count; ++k) {
        const Wave& w = tr->waves[k];
        energy += w.energy * w.refractionCosine / w.incidenceCosine;
        EXPECT_LT(+tr->rays[k].origin[2], 0.0);
    }
    EXPECT_NEAR(energy, 1.0, 1e-12);

    for (WaveSet* n : {i, s, r, tr}) t.deleteSet(n);
}

// Water over a fluid of 1540 m/s and 900 kg/m^3, one ray at asin(1480 / 1540) as a double: the
// refraction cosine comes out as exactly 0 and no ray is marked; the wave is reflected whole at the
// grazing limit instead of vanishing from both sets.
TEST_F(EndToEndTest, RayAtExactlyTheCriticalAngleIsReflectedWhole) {
    WaveSet* i = Create(1);
    WaveSet* s = Create(1);
    WaveSet* r = Create(0);
    WaveSet* tr = Create(0);
    s->medium.speed = i->medium.speed = 1480.0;
    s->medium.density = i->medium.density = 1000.0;
    s->medium2.speed = 1540.0;
    s->medium2.density = 900.0;
    s->referenceLength = 4.0;
    s->rays[0].direction[2] = 1.0;
    const double sine = 1480.0 / 1540.0;  // the sine and cosine of 1.2907367095444235 rad
    i->rays[0].direction[0] = sine;
    i->rays[0].direction[2] = -std::sqrt(1.0 - sine * sine);
    i->rays[0].origin[2] = 1.0;
    i->waves[0].amplitude = 1.0;
    i->waves[0].energy = 1.0;

    const std::uint64_t p = 0;
    const double threshold = -1.0;
    ASSERT_TRUE(t.otrazitIPrelomit(r, tr, s, i, &p, &threshold));
    ASSERT_EQ(r->count, 1u);
    EXPECT_EQ(+r->waves[0].energy, 1.0);
    EXPECT_EQ(+r->waves[0].amplitude, 1.0);
    ASSERT_EQ(tr->count, 1u);  // the grazing transmitted ray carries nothing
    EXPECT_EQ(+tr->waves[0].refractionCosine, 0.0);
    EXPECT_EQ(+tr->waves[0].energy, 0.0);
    for (WaveSet* n : {i, s, r, tr}) t.deleteSet(n);
}

TEST_F(EndToEndTest, ReplicationPlacesThePatternAtEveryRayThroughTheNamedTables) {
    TableCell placement[kPlacementTableCells];
    TableCell storage[kStorageTableEntries];
    ASSERT_EQ(lib.request(placement, sizeof(placement), kPlacementTableName), placement);
    ASSERT_EQ(lib.request(storage, sizeof(storage), kStorageTableName), storage);
    EXPECT_EQ(kStorageTableName, platform::utf8ToCp1251("Хранение наборов, версия 1.0"));

    WaveSet* collection = Create(0);
    WaveSet* a = Create(3);
    WaveSet* b = Create(2);
    WaveSet q{};  // the work set: room from the storage table
    for (std::uint32_t k = 0; k < 3; ++k) {
        a->rays[k].origin[0] = 10.0 * (k + 1);
        a->rays[k].direction[k] = 2.0;  // along x, y, z in turn
    }
    a->source[1] = 5.0;
    for (std::uint32_t j = 0; j < 2; ++j) {
        b->rays[j].direction[2] = 1.0;
        b->rays[j].length = j;
    }
    ASSERT_TRUE(t.razmnozhitNabor(collection, a, b, &q, placement, storage));
    ASSERT_EQ(collection->count, 6u);
    EXPECT_EQ(collection->waveCount, 6u);
    for (std::uint32_t k = 0; k < 3; ++k) {
        for (std::uint32_t j = 0; j < 2; ++j) {
            const Ray& l = collection->rays[2 * k + j];
            EXPECT_EQ(+l.origin[0], 10.0 * (k + 1));
            EXPECT_NEAR(l.direction[k], 1.0, 1e-15) << k;
            EXPECT_EQ(+l.length, j);
        }
    }
    EXPECT_EQ(collection->source[1], 5.0);
    EXPECT_EQ(q.rays, nullptr);  // the work set's room was released
    EXPECT_EQ(q.count, 0u);
    for (WaveSet* n : {collection, a, b}) t.deleteSet(n);
}

}  // namespace
