// Waves built from a source point, and the replication of a pattern set through the caller's
// placement and storage tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "abi/placement_tables.h"
#include "tests/wavelib2/interface/scripted_wavelib.h"
#include "tests/wavelib2/test_wave_set.h"

using ::testing::ElementsAre;

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

using namespace wavelib2;

class SourceTest : public ::testing::Test {
  protected:
    TestWaveSet s{2};
    Wave templateWave{};
    const double impedancePair[2] = {1480.0, 1000.0};

    void SetUp() override {
        const double source[3] = {1.0, 1.0, 1.0};
        std::memcpy(s.set.source, source, sizeof(source));
        const double origin0[3] = {1.0, 1.0, 2.0};  // 1 from the source
        const double origin1[3] = {1.0, 4.0, 1.0};  // 3 from the source
        std::memcpy(s.rays[0].origin, origin0, sizeof(origin0));
        std::memcpy(s.rays[1].origin, origin1, sizeof(origin1));
        s.rays[0].edge1[0] = 0.1;
        s.rays[0].edge1[2] = 0.5;  // along the ray: no part of the width
        s.rays[0].edge2[1] = 0.1;
        s.set.flags = 0x0112;
        s.set.field28 = s.set.field112 = 77;
        s.set.waveCount = 0;
        s.waves[0].path = 9.0;
        templateWave.time1 = 1.5;
        templateWave.time2 = 2.5;
        templateWave.attenuationFactor = 0.3;
        templateWave.phase = 0.7;
        templateWave.carried1 = 11.0;
        templateWave.carried2 = 12.0;
        templateWave.amplitude = 99.0;
        templateWave.path = 5.0;
    }
};

TEST_F(SourceTest, EnergyIsSharedByRayLengthAndRaysStartAtTheSource) {
    ASSERT_TRUE(InicializirovatVolny(&s.set, &templateWave, 8.0, impedancePair));
    EXPECT_DOUBLE_EQ(s.waves[0].energy, 2.0);
    EXPECT_DOUBLE_EQ(s.waves[1].energy, 6.0);
    EXPECT_DOUBLE_EQ(s.waves[1].amplitude, std::sqrt(2.0 * 1480.0 * 1000.0 * 6.0));
    for (const Ray& l : s.rays) {
        EXPECT_EQ(+l.origin[0], 1.0);
        EXPECT_EQ(+l.origin[1], 1.0);
        EXPECT_EQ(+l.origin[2], 1.0);
    }
    EXPECT_EQ(s.rays[0].direction[2], 1.0);
    EXPECT_EQ(+s.rays[1].direction[1], 3.0);

    for (const Wave& w : s.waves) {
        EXPECT_EQ(+w.time1, 1.5);
        EXPECT_EQ(+w.time2, 2.5);
        EXPECT_EQ(+w.attenuationFactor, 0.3);
        EXPECT_EQ(+w.phase, 0.7);
        EXPECT_EQ(+w.carried1, 11.0);
        EXPECT_EQ(+w.carried2, 12.0);
        EXPECT_EQ(+w.path, 0.0);
    }
    EXPECT_DOUBLE_EQ(s.waves[0].angularWidth, std::asin(std::sqrt(0.02)));
    EXPECT_EQ(+s.waves[1].angularWidth, 0.0);

    EXPECT_EQ(s.set.flags, 0x210Cu);
    EXPECT_EQ(s.set.field28, 0u);
    EXPECT_EQ(s.set.field112, 0u);
    EXPECT_EQ(s.set.waveCount, 2u);
}

TEST_F(SourceTest, SecondCallOnABuiltSetChangesNothing) {
    ASSERT_TRUE(InicializirovatVolny(&s.set, &templateWave, 8.0, impedancePair));
    const TestWaveSet before = s;
    s.set.field28 = 5;
    EXPECT_TRUE(InicializirovatVolny(&s.set, &templateWave, 100.0, impedancePair));
    EXPECT_EQ(s.set.field28, 5u);
    EXPECT_EQ(std::memcmp(before.rays.data(), s.rays.data(), 2 * sizeof(Ray)), 0);
    EXPECT_EQ(std::memcmp(before.waves.data(), s.waves.data(), 2 * sizeof(Wave)), 0);
}

TEST_F(SourceTest, TemplateAndImpedancePairInsideTheSetAreReadBeforeTheyAreOverwritten) {
    s.waves[1] = templateWave;
    s.set.medium.speed = 1480.0;
    s.set.medium.density = 1000.0;
    ASSERT_TRUE(InicializirovatVolny(&s.set, &s.waves[1], 8.0, &s.set.medium.speed));
    EXPECT_EQ(+s.waves[0].phase, 0.7);
    EXPECT_EQ(+s.waves[1].phase, 0.7);
    EXPECT_EQ(+s.waves[1].carried2, 12.0);
    EXPECT_DOUBLE_EQ(s.waves[0].amplitude, std::sqrt(2.0 * 1480.0 * 1000.0 * 2.0));
}

// The caller's tables, writing every call into one log and keeping the parameter records' bytes
// as each placement operation saw them.
struct CallerTables {
    static inline std::vector<std::string> calls;
    static inline std::vector<bool> reservations;  // results of the reservations, in order
    static inline std::size_t reserveCalls = 0;
    static inline std::vector<std::vector<unsigned char>> shiftBytes, turnBytes;
    static inline std::vector<CollectRecord> collected;
    static inline ShiftRecord shiftRecord;
    static inline OrientationRecord orientationRecord;
    static inline const WaveSet *collection, *a, *b, *q;

    static std::string Name(const WaveSet* n) {
        return n == collection ? "C" : n == a ? "A" : n == b ? "B" : n == q ? "Q" : "?";
    }
    static BoolByte PLUGIN_CALL Reserve(WaveSet* n, std::uint32_t count, std::uint32_t keep) {
        calls.push_back("reserve " + Name(n) + " " + std::to_string(count) + " " +
                        std::to_string(keep));
        const std::size_t k = reserveCalls++;
        return k < reservations.size() && reservations[k] ? kTrue : kFalse;
    }
    static void PLUGIN_CALL Release(WaveSet* n) { calls.push_back("release " + Name(n)); }
    static BoolByte PLUGIN_CALL Shift(WaveSet* target, WaveSet* source) {
        calls.push_back("shift " + Name(target) + " " + Name(source));
        const auto* p = reinterpret_cast<const unsigned char*>(&shiftRecord);
        shiftBytes.emplace_back(p, p + 49);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Turn(WaveSet* target, WaveSet* source) {
        calls.push_back("turn " + Name(target) + " " + Name(source));
        const auto* p = reinterpret_cast<const unsigned char*>(&orientationRecord);
        turnBytes.emplace_back(p, p + 51);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Append(WaveSet* s, const CollectRecord* z) {
        calls.push_back("collect " + Name(s) + " " + Name(z->set));
        collected.push_back(*z);
        return kTrue;
    }
};

double DoubleAt(const std::vector<unsigned char>& bytes, std::size_t offset) {
    double x;
    std::memcpy(&x, bytes.data() + offset, sizeof(x));
    return x;
}

class ReplicationTest : public ::testing::Test {
  protected:
    TestWaveSet collection{0}, a{2}, b{3}, q{0};
    TableCell placement[kPlacementTableCells] = {};
    TableCell storage[kStorageTableEntries] = {};

    void SetUp() override {
        ScriptedWavelib::Bind();
        WaveProcessorTable10 t = Table10();
        t.appendSet = &CallerTables::Append;
        SetTable10(t);
        CallerTables::calls.clear();
        CallerTables::reservations = {true, true};
        CallerTables::reserveCalls = 0;
        CallerTables::shiftBytes.clear();
        CallerTables::turnBytes.clear();
        CallerTables::collected.clear();
        std::memset(&CallerTables::shiftRecord, 0xAA, sizeof(CallerTables::shiftRecord));
        std::memset(&CallerTables::orientationRecord, 0xAA,
                    sizeof(CallerTables::orientationRecord));
        CallerTables::collection = &collection.set;
        CallerTables::a = &a.set;
        CallerTables::b = &b.set;
        CallerTables::q = &q.set;
        placement[kPlacementShift] = asCell(&CallerTables::Shift);
        placement[kPlacementShiftRecord] = &CallerTables::shiftRecord;
        placement[kPlacementTurn] = asCell(&CallerTables::Turn);
        placement[kPlacementTurnRecord] = &CallerTables::orientationRecord;
        storage[kStorageReserve] = asCell(&CallerTables::Reserve);
        storage[kStorageRelease] = asCell(&CallerTables::Release);

        const double origins[2][3] = {{1, 2, 3}, {4, 5, 6}};
        const double directions[2][3] = {{0, 0, 1}, {0, -2, 0}};
        for (int k = 0; k < 2; ++k) {
            std::memcpy(a.rays[k].origin, origins[k], sizeof(origins[k]));
            std::memcpy(a.rays[k].direction, directions[k], sizeof(directions[k]));
        }
        const double source[3] = {7, 8, 9};
        std::memcpy(a.set.source, source, sizeof(source));
        q.set.word0 = 0xC0FFEEu;
    }
    bool Call() {
        return isTrue(RazmnozhitNabor(&collection.set, &a.set, &b.set, &q.set, placement, storage));
    }
};

TEST_F(ReplicationTest, EachPlacementRayShiftsTurnsAndCollectsTheWorkSet) {
    ASSERT_TRUE(Call());
    EXPECT_THAT(CallerTables::calls,
                ElementsAre("reserve Q 3 0", "reserve C 6 0", "shift Q B", "turn Q Q",
                            "collect C Q", "shift Q B", "turn Q Q", "collect C Q", "release Q"));
    for (const CollectRecord& z : CallerTables::collected) {
        EXPECT_EQ(z.set, &q.set);
        EXPECT_EQ(z.count, 1u);
        EXPECT_EQ(z.word0, 0xC0FFEEu);
    }
    // Shift record: flag byte 1, first point zero, second point the placement ray's origin.
    for (int k = 0; k < 2; ++k) {
        const auto& bytes = CallerTables::shiftBytes[k];
        EXPECT_EQ(bytes[0], 1);
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(DoubleAt(bytes, 1 + 8 * j), 0.0);
            EXPECT_EQ(DoubleAt(bytes, 25 + 8 * j), +a.rays[k].origin[j]);
        }
    }
    // Orientation record: point zero, the ray's direction, option bytes 0, 1, 0.
    for (int k = 0; k < 2; ++k) {
        const auto& bytes = CallerTables::turnBytes[k];
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(DoubleAt(bytes, 8 * j), 0.0);
            EXPECT_EQ(DoubleAt(bytes, 24 + 8 * j), +a.rays[k].direction[j]);
        }
        EXPECT_EQ(bytes[48], 0);
        EXPECT_EQ(bytes[49], 1);
        EXPECT_EQ(bytes[50], 0);
    }
    EXPECT_EQ(collection.set.source[2], 9.0);
}

TEST_F(ReplicationTest, EmptyPlacementSetReservesNothingPlacesNothingAndReleasesTheWorkSet) {
    a.set.count = 0;
    ASSERT_TRUE(Call());
    EXPECT_THAT(CallerTables::calls, ElementsAre("reserve Q 3 0", "reserve C 0 0", "release Q"));
    EXPECT_EQ(collection.set.source[0], 7.0);
    EXPECT_EQ(collection.set.source[1], 8.0);
}

TEST_F(ReplicationTest, FailedReservationsStopAndLeaveTheWorkSetReserved) {
    CallerTables::reservations = {false};
    EXPECT_FALSE(Call());
    EXPECT_THAT(CallerTables::calls, ElementsAre("reserve Q 3 0"));

    CallerTables::calls.clear();
    CallerTables::reserveCalls = 0;
    CallerTables::reservations = {true, false};
    EXPECT_FALSE(Call());
    EXPECT_THAT(CallerTables::calls, ElementsAre("reserve Q 3 0", "reserve C 6 0"));
    EXPECT_EQ(collection.set.source[0], 0.0);
}

TEST_F(ReplicationTest, CopiesThatWouldNotFitIn32BitsAndSharedSetsAreRefusedBeforeAnyCall) {
    a.set.count = 70000;
    b.set.count = 70000;  // 4.9e9 copies; the rays are never read
    EXPECT_FALSE(Call());
    a.set.count = 2;
    b.set.count = 3;
    EXPECT_FALSE(RazmnozhitNabor(&collection.set, &a.set, &b.set, &b.set, placement, storage));
    placement[kPlacementShiftRecord] = nullptr;
    EXPECT_FALSE(Call());
    EXPECT_TRUE(CallerTables::calls.empty());
}

}  // namespace
