// wavelib's plane interface, collections, storage and placement, driven directly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "suite/wavelib/interface.h"
#include "suite/wavelib/placement.h"
#include "suite/wavelib/sets.h"
#include "suite/wavelib/vector3.h"
#include "tests/wavelib2/test_wave_set.h"

using ::testing::ElementsAre;

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

using namespace wavelib;

// Sets a vector of a packed ray record, which may lie at a 4-byte boundary.
void SetVector(void* v, double x, double y, double z) {
    StoreVector(v, {x, y, z});
}

// A set that the test declares and whose room the storage gives; released when it goes.
struct EmptySet {
    WaveSet set{};
    ~EmptySet() { ReleaseRoom(&set); }
};

// The plane z = 0 (normal +z, not of unit length); rays start at (0, 0, 1).
class PlaneTest : public ::testing::Test {
  protected:
    TestWaveSet s{1}, i{3};
    EmptySet r, t;
    const double angle = 10.0 * std::numbers::pi / 180.0;

    void SetUp() override {
        SetVector(s.rays[0].direction, 0, 0, 2);
        for (auto& l : i.rays) SetVector(l.origin, 0, 0, 1);
        SetVector(i.rays[0].direction, 2 * std::sin(angle), 0, -2 * std::cos(angle));
        SetVector(i.rays[1].direction, 0, 0, 1);        // away from the plane
        SetVector(i.rays[2].direction, 1, 0, 0);        // along it
        i.rays[1].flags = kRayReached | kRayPhaseOnly;  // left from an earlier interface
        for (auto& w : i.waves) w.stepLength = 5.0;
        i.set.medium.speed = 1480.0;
    }
};

TEST_F(PlaneTest, ReflectionMirrorsTheRaysThatMeetThePlaneAndMarksTheOthers) {
    ASSERT_TRUE(ReflectRays(&r.set, &s.set, &i.set, 0));
    ASSERT_EQ(r.set.count, 3u);
    EXPECT_EQ(r.set.waveCount, 3u);
    const Ray& r0 = r.set.rays[0];
    EXPECT_NEAR(r0.origin[0], std::tan(angle), 1e-15);
    EXPECT_NEAR(r0.origin[2], 0.0, 1e-15);
    EXPECT_NEAR(r0.direction[0], 2 * std::sin(angle), 1e-15);
    EXPECT_NEAR(r0.direction[2], 2 * std::cos(angle), 1e-15);
    EXPECT_EQ(r0.flags & kRayRemove, 0u);
    EXPECT_EQ(r.set.rays[1].flags & kRayRemove, kRayRemove);
    EXPECT_EQ(r.set.rays[2].flags & kRayRemove, kRayRemove);

    EXPECT_EQ(i.rays[0].flags, kRayReached);
    EXPECT_EQ(i.rays[1].flags, 0u);
    EXPECT_EQ(i.rays[2].flags, 0u);
    EXPECT_NEAR(i.waves[0].stepLength, 1.0 / std::cos(angle), 1e-15);
    EXPECT_NEAR(i.waves[0].incidenceCosine, std::cos(angle), 1e-15);
    EXPECT_EQ(+i.waves[1].stepLength, 0.0);  // not taken a second time
    EXPECT_EQ(+i.waves[2].stepLength, 0.0);
    EXPECT_EQ(+r.set.waves[0].stepLength, +i.waves[0].stepLength);
    EXPECT_EQ(r.set.medium.speed, 1480.0);
}

TEST_F(PlaneTest, RefractionFollowsSnellsLawAndStopsBeyondTheCriticalAngle) {
    const double speedRatio = 1480.0 / 5900.0;
    ASSERT_TRUE(RefractRays(&t.set, &s.set, &i.set, 0, speedRatio));
    const double sin2 = std::sin(angle) / speedRatio;
    const double cos2 = std::sqrt(1 - sin2 * sin2);
    EXPECT_NEAR(i.waves[0].refractionCosine, cos2, 1e-14);
    EXPECT_NEAR(t.set.waves[0].refractionCosine, cos2, 1e-14);
    const Ray& t0 = t.set.rays[0];
    EXPECT_NEAR(t0.direction[0], 2 * sin2, 1e-14);
    EXPECT_NEAR(t0.direction[1], 0.0, 1e-14);
    EXPECT_NEAR(t0.direction[2], -2 * cos2, 1e-14);
    EXPECT_EQ(t0.flags & kRayRemove, 0u);
    EXPECT_EQ(i.rays[0].flags, kRayReached);

    SetVector(i.rays[0].direction, std::sin(0.5), 0, -std::cos(0.5));  // about 28.6 degrees
    ASSERT_TRUE(RefractRays(&t.set, &s.set, &i.set, 0, speedRatio));
    EXPECT_EQ(t.set.rays[0].flags & kRayRemove, kRayRemove);
    EXPECT_EQ(+i.waves[0].refractionCosine, 0.0);
    EXPECT_EQ(i.rays[0].flags, kRayReached);  // it still reached the plane and reflects
}

TEST_F(PlaneTest, PhaseOnlyPlanePassesItsFlagToTheRaysThatMeetIt) {
    s.rays[0].flags = kRayPhaseOnly;
    ASSERT_TRUE(ReflectRays(&r.set, &s.set, &i.set, 0));
    EXPECT_EQ(i.rays[0].flags, kRayReached | kRayPhaseOnly);
    EXPECT_EQ(i.rays[1].flags, 0u);
}

TEST_F(PlaneTest, BadPlanesRatiosAndSharedSetsFail) {
    EXPECT_FALSE(ReflectRays(&r.set, &s.set, &i.set, 1));
    EXPECT_FALSE(ReflectRays(&r.set, &s.set, &i.set, std::uint64_t{1} << 32));
    EXPECT_FALSE(ReflectRays(&i.set, &s.set, &i.set, 0));
    EXPECT_FALSE(RefractRays(&t.set, &s.set, &i.set, 0, 0.0));
    EXPECT_FALSE(RefractRays(&t.set, &s.set, &i.set, 0, std::numeric_limits<double>::quiet_NaN()));
    SetVector(s.rays[0].direction, 0, 0, 0);
    EXPECT_FALSE(ReflectRays(&r.set, &s.set, &i.set, 0));
    EXPECT_EQ(+i.waves[0].stepLength, 5.0);  // nothing was written
    EXPECT_NE(std::strlen(ErrorText()), 0u);
}

// A tilted plane and rays from either side of it: the interface entries work component by
// component, and a plane along z would hide a component mixed up with another.
TEST(TiltedPlaneTest, RaysFromEitherSideAreMirroredAndRefractedByTheLaws) {
    auto minus = [](const Vector3& a, const Vector3& b) {
        return Vector3{a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    };
    auto cross = [](const Vector3& a, const Vector3& b) {
        return Vector3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                       a[0] * b[1] - a[1] * b[0]};
    };
    auto expectNear = [](const Vector3& a, const Vector3& b) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(a[j], b[j], 1e-14) << j;
    };
    TestWaveSet s{1}, i{2};
    EmptySet r, t;
    const Vector3 n{1.0 / 3, -2.0 / 3, 2.0 / 3}, point{0.3, -0.2, 0.5};
    SetVector(s.rays[0].direction, 2, -4, 4);
    StoreVector(s.rays[0].origin, point);
    SetVector(i.rays[0].origin, 1.3, 0.1, 2.0);  // on the side the normal points to
    SetVector(i.rays[0].direction, -0.4, 0.9, -1.2);
    SetVector(i.rays[1].origin, -0.5, 0.4, -1.0);  // on the other side
    SetVector(i.rays[1].direction, 0.7, -0.3, 0.9);
    for (auto& l : i.rays) SetVector(l.edge1, 0.01, 0.02, -0.03);
    const double eta = 0.8;  // the other side's speed over the incident one
    ASSERT_TRUE(ReflectRays(&r.set, &s.set, &i.set, 0));
    ASSERT_TRUE(RefractRays(&t.set, &s.set, &i.set, 0, 1.0 / eta));
    for (int k = 0; k < 2; ++k) {
        const Vector3 d = LoadVector(i.rays[k].direction);
        const Vector3 m = LoadVector(r.set.rays[k].origin);
        const double length = std::sqrt(Dot(d, d));
        EXPECT_NEAR(Dot(minus(m, point), n), 0.0, 1e-14);  // on the plane and on the ray
        expectNear(cross(minus(m, LoadVector(i.rays[k].origin)), d), {0, 0, 0});
        expectNear(LoadVector(t.set.rays[k].origin), m);
        EXPECT_NEAR(i.waves[k].incidenceCosine, std::fabs(Dot(d, n)) / length, 1e-15);
        for (const auto& [before, after] :  // mirrored: the change lies along n, which turns round
             {std::pair{d, LoadVector(r.set.rays[k].direction)},
              std::pair{LoadVector(i.rays[k].edge1), LoadVector(r.set.rays[k].edge1)}}) {
            expectNear(cross(minus(after, before), n), {0, 0, 0});
            EXPECT_NEAR(Dot(after, n), -Dot(before, n), 1e-14);
        }
        // Refracted: same length, on through the plane, tangential part scaled by eta.
        const Vector3 dt = LoadVector(t.set.rays[k].direction);
        EXPECT_NEAR(std::sqrt(Dot(dt, dt)), length, 1e-14);
        EXPECT_NEAR(Dot(dt, n) / length, std::copysign(+t.set.waves[k].refractionCosine, Dot(d, n)),
                    1e-14);
        const Vector3 tangential = cross(n, d);
        expectNear(cross(n, dt), {eta * tangential[0], eta * tangential[1], eta * tangential[2]});
    }
}

TEST(CollectTest, AppendsWorkSetsGrowingTheCollectionAndAppendsACollectionToItself) {
    EmptySet collection;
    TestWaveSet q(3);
    const CollectRecord record{&q.set, 1, 0};
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(AppendSet(&collection.set, &record));
    EXPECT_EQ(collection.set.count, 9u);
    EXPECT_EQ(collection.set.waveCount, 9u);
    EXPECT_GE(SetRoom(&collection.set), 9u);
    EXPECT_EQ(+collection.set.rays[7].length, 1.0);
    EXPECT_EQ(+collection.set.waves[8].carried1, 2.0);

    const CollectRecord itself{&collection.set, 1, 0};
    ASSERT_TRUE(AppendSet(&collection.set, &itself));
    EXPECT_EQ(collection.set.count, 18u);
    EXPECT_EQ(+collection.set.rays[17].length, 2.0);

    const CollectRecord two{&q.set, 2, 0};
    EXPECT_FALSE(AppendSet(&collection.set, &two));
    EXPECT_EQ(collection.set.count, 18u);
}

// A work set that views part of the collection's own arrays is copied before the collection
// grows, which moves them (the sanitizer build reports a read of the freed arrays otherwise).
TEST(CollectTest, AppendsAWorkSetThatViewsTheCollectionWhileItGrows) {
    EmptySet collection;
    TestWaveSet q(3);
    for (std::uint32_t k = 0; k < 3; ++k) {
        q.rays[k].length = k + 1.0;
        q.waves[k].carried1 = 10.0 * (k + 1);
    }
    const CollectRecord record{&q.set, 1, 0};
    ASSERT_TRUE(AppendSet(&collection.set, &record));
    ASSERT_EQ(SetRoom(&collection.set), 3u);

    WaveSet view{};
    view.rays = collection.set.rays + 1;
    view.waves = collection.set.waves + 1;
    view.count = view.waveCount = 2;
    const CollectRecord part{&view, 1, 0};
    ASSERT_TRUE(AppendSet(&collection.set, &part));
    ASSERT_EQ(collection.set.count, 5u);
    EXPECT_EQ(+collection.set.rays[3].length, 2.0);
    EXPECT_EQ(+collection.set.rays[4].length, 3.0);
    EXPECT_EQ(+collection.set.waves[4].carried1, 30.0);
}

TEST(StorageTest, RoomOfDeclaredSetsIsGivenAndTakenBackHere) {
    EmptySet n;
    ASSERT_TRUE(ReserveRoom(&n.set, 4, false));
    EXPECT_EQ(SetRoom(&n.set), 4u);
    EXPECT_EQ(n.set.count, 0u);
    n.set.count = 2;
    n.set.rays[1].length = 42.0;
    ASSERT_TRUE(ReserveRoom(&n.set, 100, true));
    EXPECT_EQ(n.set.count, 2u);
    EXPECT_EQ(+n.set.rays[1].length, 42.0);
    EXPECT_FALSE(ReserveRoom(&n.set, kMaxRoom + 1, false));
    EXPECT_EQ(n.set.count, 2u);
    ReleaseRoom(&n.set);
    EXPECT_EQ(n.set.rays, nullptr);
    EXPECT_EQ(n.set.count, 0u);

    // Arrays the storage did not give are never freed; growing moves the elements out of them.
    TestWaveSet own(2);
    ReleaseRoom(&own.set);
    EXPECT_EQ(own.set.rays, own.rays.data());
    EXPECT_EQ(SetRoom(&own.set), 2u);
    ASSERT_TRUE(EnsureRoom(&own.set, 3));
    EXPECT_NE(own.set.rays, own.rays.data());
    EXPECT_EQ(+own.set.rays[1].length, 1.0);
    ReleaseRoom(&own.set);
}

TEST(StorageTest, SetsMadeByWavelibAreResizedByItsOwnStorage) {
    WaveSet* n = CreateSet(2);
    ASSERT_NE(n, nullptr);
    n->rays[1].length = 5.0;
    ASSERT_TRUE(ReserveRoom(n, 10, true));
    EXPECT_EQ(OwnSetRoom(n), 10u);
    EXPECT_EQ(n->count, 2u);
    EXPECT_EQ(+n->rays[1].length, 5.0);
    ReleaseRoom(n);
    EXPECT_EQ(n->rays, nullptr);
    EXPECT_EQ(n->count, 0u);
    EXPECT_TRUE(DeleteSet(n));
}

class PlacementTest : public ::testing::Test {
  protected:
    TestWaveSet b{2};
    EmptySet q;
    void SetUp() override {
        for (auto& l : b.rays) {
            SetVector(l.direction, 0, 0, 3);
            SetVector(l.edge1, 1, 0, 0);
        }
        SetVector(b.rays[1].origin, 1, 0, 0);
        SetVector(b.set.source, 0, 0, -1);
        TableShiftRecord() = ShiftRecord{};
        TableOrientationRecord() = OrientationRecord{};
    }
};

TEST_F(PlacementTest, ShiftCopiesTheSourceAndMovesItByTheDifferenceOfThePoints) {
    ShiftRecord& z = TableShiftRecord();
    z.flag = 1;
    SetVector(z.point1, 1, 1, 1);
    SetVector(z.point2, 2, 3, 4);
    ASSERT_TRUE(Shift(&q.set, &b.set));
    ASSERT_EQ(q.set.count, 2u);
    EXPECT_EQ(+q.set.rays[1].origin[0], 2.0);
    EXPECT_EQ(+q.set.rays[1].origin[1], 2.0);
    EXPECT_EQ(+q.set.rays[1].origin[2], 3.0);
    EXPECT_EQ(q.set.source[2], 2.0);
    EXPECT_EQ(+b.rays[1].origin[0], 1.0);  // the source is not moved

    z.flag = 0;
    ASSERT_TRUE(Shift(&q.set, nullptr));
    EXPECT_EQ(+q.set.rays[1].origin[0], 3.0);
}

TEST_F(PlacementTest, TurnAimsTheDirectionsAlongTheVectorWithTheOptionsChosen) {
    OrientationRecord& o = TableOrientationRecord();
    SetVector(o.direction, 0, -2, 0);
    o.option2 = 1;
    ASSERT_TRUE(Turn(&q.set, &b.set));
    const Ray& l = q.set.rays[1];
    EXPECT_NEAR(l.direction[0], 0.0, 1e-15);
    EXPECT_NEAR(l.direction[1], -3.0, 1e-15);
    EXPECT_NEAR(l.direction[2], 0.0, 1e-15);
    EXPECT_NEAR(l.edge1[0], 1.0, 1e-15);  // the axis of the turn stays
    EXPECT_EQ(+l.origin[0], 1.0);         // origins stay without option 1

    o.option3 = 1;  // reversed: +z onto +y, this time turning the origins about (1, 0, 1) too
    o.option1 = 1;
    SetVector(o.point, 1, 0, 1);
    ASSERT_TRUE(Turn(&q.set, &b.set));
    EXPECT_NEAR(q.set.rays[0].direction[1], 3.0, 1e-15);
    EXPECT_NEAR(q.set.rays[0].origin[0], 0.0, 1e-15);   // (0,0,0) - (1,0,1) = (-1,0,-1)
    EXPECT_NEAR(q.set.rays[0].origin[1], -1.0, 1e-15);  // turned: (-1,-1,0), back: (0,-1,1)
    EXPECT_NEAR(q.set.rays[0].origin[2], 1.0, 1e-15);

    SetVector(o.direction, 0, 0, 0);
    EXPECT_FALSE(Turn(&q.set, &q.set));
    SetVector(o.direction, 0, 0, 5);  // reversed: straight down, half a turn
    ASSERT_TRUE(Turn(&q.set, &b.set));
    EXPECT_NEAR(q.set.rays[0].direction[2], -3.0, 1e-15);
}

// Directions a hair off straight down: the turn stays a rotation, lengths kept and the axis landing
// on the vector.
TEST_F(PlacementTest, TurnNearlyStraightDownKeepsLengths) {
    OrientationRecord& o = TableOrientationRecord();
    o.option2 = 1;
    for (const double angle : {1e-4, 2e-6, 1e-7}) {
        SetVector(o.direction, std::sin(angle), 0, -std::cos(angle));
        ASSERT_TRUE(Turn(&q.set, &b.set));
        const Ray& l = q.set.rays[0];
        EXPECT_NEAR(l.direction[0], 3.0 * std::sin(angle), 1e-14) << angle;
        EXPECT_NEAR(l.direction[1], 0.0, 1e-14) << angle;
        EXPECT_NEAR(l.direction[2], -3.0 * std::cos(angle), 1e-14) << angle;
        EXPECT_NEAR(std::hypot(l.edge1[0], l.edge1[1], l.edge1[2]), 1.0, 1e-14) << angle;
    }
}

TEST(PlacementTablesTest, ServedByNameWhenTheTableHasRoom) {
    TableCell cells[8];
    std::fill(std::begin(cells), std::end(cells), reinterpret_cast<TableCell>(0x5A));
    ASSERT_EQ(RequestPlacementTable(cells, sizeof(cells), kPlacementTableName), cells);
    EXPECT_EQ(cells[0], nullptr);
    EXPECT_EQ(cells[kPlacementShiftRecord], &TableShiftRecord());
    EXPECT_EQ(cells[kPlacementTurnRecord], &TableOrientationRecord());
    EXPECT_EQ(cells[6], reinterpret_cast<TableCell>(0x5A));

    EXPECT_EQ(RequestPlacementTable(cells, 5 * sizeof(TableCell), kPlacementTableName), nullptr);
    EXPECT_EQ(RequestPlacementTable(cells, sizeof(cells), kStorageTableName), cells);
    EXPECT_NE(cells[kStorageRelease], nullptr);
    EXPECT_EQ(RequestPlacementTable(cells, sizeof(cells), "Хранение"), nullptr);
}

}  // namespace
