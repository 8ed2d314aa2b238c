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
void Zadat(void* v, double x, double y, double z) {
    PolozhitVektor(v, {x, y, z});
}

// A set that the test declares and whose room the storage gives; released when it goes.
struct PustoyNabor {
    NaborVoln nabor{};
    ~PustoyNabor() { OsvoboditMesto(&nabor); }
};

// The plane z = 0 (normal +z, not of unit length); rays start at (0, 0, 1).
class PlaneTest : public ::testing::Test {
  protected:
    TestWaveSet s{1}, i{3};
    PustoyNabor r, t;
    const double ugol = 10.0 * std::numbers::pi / 180.0;

    void SetUp() override {
        Zadat(s.luchi[0].napravlenie, 0, 0, 2);
        for (auto& l : i.luchi) Zadat(l.nachalo, 0, 0, 1);
        Zadat(i.luchi[0].napravlenie, 2 * std::sin(ugol), 0, -2 * std::cos(ugol));
        Zadat(i.luchi[1].napravlenie, 0, 0, 1);           // away from the plane
        Zadat(i.luchi[2].napravlenie, 1, 0, 0);           // along it
        i.luchi[1].flagi = kLuchDoshel | kLuchTolkoFaza;  // left from an earlier interface
        for (auto& w : i.volny) w.dlinaShaga = 5.0;
        i.nabor.sreda.skorost = 1480.0;
    }
};

TEST_F(PlaneTest, ReflectionMirrorsTheRaysThatMeetThePlaneAndMarksTheOthers) {
    ASSERT_TRUE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, 0));
    ASSERT_EQ(r.nabor.chislo, 3u);
    EXPECT_EQ(r.nabor.chisloVoln, 3u);
    const Luch& r0 = r.nabor.luchi[0];
    EXPECT_NEAR(r0.nachalo[0], std::tan(ugol), 1e-15);
    EXPECT_NEAR(r0.nachalo[2], 0.0, 1e-15);
    EXPECT_NEAR(r0.napravlenie[0], 2 * std::sin(ugol), 1e-15);
    EXPECT_NEAR(r0.napravlenie[2], 2 * std::cos(ugol), 1e-15);
    EXPECT_EQ(r0.flagi & kLuchUdalit, 0u);
    EXPECT_EQ(r.nabor.luchi[1].flagi & kLuchUdalit, kLuchUdalit);
    EXPECT_EQ(r.nabor.luchi[2].flagi & kLuchUdalit, kLuchUdalit);

    EXPECT_EQ(i.luchi[0].flagi, kLuchDoshel);
    EXPECT_EQ(i.luchi[1].flagi, 0u);
    EXPECT_EQ(i.luchi[2].flagi, 0u);
    EXPECT_NEAR(i.volny[0].dlinaShaga, 1.0 / std::cos(ugol), 1e-15);
    EXPECT_NEAR(i.volny[0].cosPadeniya, std::cos(ugol), 1e-15);
    EXPECT_EQ(+i.volny[1].dlinaShaga, 0.0);  // not taken a second time
    EXPECT_EQ(+i.volny[2].dlinaShaga, 0.0);
    EXPECT_EQ(+r.nabor.volny[0].dlinaShaga, +i.volny[0].dlinaShaga);
    EXPECT_EQ(r.nabor.sreda.skorost, 1480.0);
}

TEST_F(PlaneTest, RefractionFollowsSnellsLawAndStopsBeyondTheCriticalAngle) {
    const double otnoshenie = 1480.0 / 5900.0;
    ASSERT_TRUE(PrelomitLuchi(&t.nabor, &s.nabor, &i.nabor, 0, otnoshenie));
    const double sin2 = std::sin(ugol) / otnoshenie;
    const double cos2 = std::sqrt(1 - sin2 * sin2);
    EXPECT_NEAR(i.volny[0].cosPrelomleniya, cos2, 1e-14);
    EXPECT_NEAR(t.nabor.volny[0].cosPrelomleniya, cos2, 1e-14);
    const Luch& t0 = t.nabor.luchi[0];
    EXPECT_NEAR(t0.napravlenie[0], 2 * sin2, 1e-14);
    EXPECT_NEAR(t0.napravlenie[1], 0.0, 1e-14);
    EXPECT_NEAR(t0.napravlenie[2], -2 * cos2, 1e-14);
    EXPECT_EQ(t0.flagi & kLuchUdalit, 0u);
    EXPECT_EQ(i.luchi[0].flagi, kLuchDoshel);

    Zadat(i.luchi[0].napravlenie, std::sin(0.5), 0, -std::cos(0.5));  // about 28.6 degrees
    ASSERT_TRUE(PrelomitLuchi(&t.nabor, &s.nabor, &i.nabor, 0, otnoshenie));
    EXPECT_EQ(t.nabor.luchi[0].flagi & kLuchUdalit, kLuchUdalit);
    EXPECT_EQ(+i.volny[0].cosPrelomleniya, 0.0);
    EXPECT_EQ(i.luchi[0].flagi, kLuchDoshel);  // it still reached the plane and reflects
}

TEST_F(PlaneTest, PhaseOnlyPlanePassesItsFlagToTheRaysThatMeetIt) {
    s.luchi[0].flagi = kLuchTolkoFaza;
    ASSERT_TRUE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, 0));
    EXPECT_EQ(i.luchi[0].flagi, kLuchDoshel | kLuchTolkoFaza);
    EXPECT_EQ(i.luchi[1].flagi, 0u);
}

TEST_F(PlaneTest, BadPlanesRatiosAndSharedSetsFail) {
    EXPECT_FALSE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, 1));
    EXPECT_FALSE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, std::uint64_t{1} << 32));
    EXPECT_FALSE(OtrazitLuchi(&i.nabor, &s.nabor, &i.nabor, 0));
    EXPECT_FALSE(PrelomitLuchi(&t.nabor, &s.nabor, &i.nabor, 0, 0.0));
    EXPECT_FALSE(
        PrelomitLuchi(&t.nabor, &s.nabor, &i.nabor, 0, std::numeric_limits<double>::quiet_NaN()));
    Zadat(s.luchi[0].napravlenie, 0, 0, 0);
    EXPECT_FALSE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, 0));
    EXPECT_EQ(+i.volny[0].dlinaShaga, 5.0);  // nothing was written
    EXPECT_NE(std::strlen(TekstOshibki()), 0u);
}

// A tilted plane and rays from either side of it: the interface entries work component by
// component, and a plane along z would hide a component mixed up with another.
TEST(TiltedPlaneTest, RaysFromEitherSideAreMirroredAndRefractedByTheLaws) {
    auto minus = [](const Vektor3& a, const Vektor3& b) {
        return Vektor3{a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    };
    auto cross = [](const Vektor3& a, const Vektor3& b) {
        return Vektor3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                       a[0] * b[1] - a[1] * b[0]};
    };
    auto expectNear = [](const Vektor3& a, const Vektor3& b) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(a[j], b[j], 1e-14) << j;
    };
    TestWaveSet s{1}, i{2};
    PustoyNabor r, t;
    const Vektor3 n{1.0 / 3, -2.0 / 3, 2.0 / 3}, tochka{0.3, -0.2, 0.5};
    Zadat(s.luchi[0].napravlenie, 2, -4, 4);
    PolozhitVektor(s.luchi[0].nachalo, tochka);
    Zadat(i.luchi[0].nachalo, 1.3, 0.1, 2.0);  // on the side the normal points to
    Zadat(i.luchi[0].napravlenie, -0.4, 0.9, -1.2);
    Zadat(i.luchi[1].nachalo, -0.5, 0.4, -1.0);  // on the other side
    Zadat(i.luchi[1].napravlenie, 0.7, -0.3, 0.9);
    for (auto& l : i.luchi) Zadat(l.rebro1, 0.01, 0.02, -0.03);
    const double eta = 0.8;  // the other side's speed over the incident one
    ASSERT_TRUE(OtrazitLuchi(&r.nabor, &s.nabor, &i.nabor, 0));
    ASSERT_TRUE(PrelomitLuchi(&t.nabor, &s.nabor, &i.nabor, 0, 1.0 / eta));
    for (int k = 0; k < 2; ++k) {
        const Vektor3 d = VzyatVektor(i.luchi[k].napravlenie);
        const Vektor3 m = VzyatVektor(r.nabor.luchi[k].nachalo);
        const double dlina = std::sqrt(Skalyar(d, d));
        EXPECT_NEAR(Skalyar(minus(m, tochka), n), 0.0, 1e-14);  // on the plane and on the ray
        expectNear(cross(minus(m, VzyatVektor(i.luchi[k].nachalo)), d), {0, 0, 0});
        expectNear(VzyatVektor(t.nabor.luchi[k].nachalo), m);
        EXPECT_NEAR(i.volny[k].cosPadeniya, std::fabs(Skalyar(d, n)) / dlina, 1e-15);
        for (const auto& [before, after] :  // mirrored: the change lies along n, which turns round
             {std::pair{d, VzyatVektor(r.nabor.luchi[k].napravlenie)},
              std::pair{VzyatVektor(i.luchi[k].rebro1), VzyatVektor(r.nabor.luchi[k].rebro1)}}) {
            expectNear(cross(minus(after, before), n), {0, 0, 0});
            EXPECT_NEAR(Skalyar(after, n), -Skalyar(before, n), 1e-14);
        }
        // Refracted: same length, on through the plane, tangential part scaled by eta.
        const Vektor3 dt = VzyatVektor(t.nabor.luchi[k].napravlenie);
        EXPECT_NEAR(std::sqrt(Skalyar(dt, dt)), dlina, 1e-14);
        EXPECT_NEAR(Skalyar(dt, n) / dlina,
                    std::copysign(+t.nabor.volny[k].cosPrelomleniya, Skalyar(d, n)), 1e-14);
        const Vektor3 tangential = cross(n, d);
        expectNear(cross(n, dt), {eta * tangential[0], eta * tangential[1], eta * tangential[2]});
    }
}

TEST(CollectTest, AppendsWorkSetsGrowingTheCollectionAndAppendsACollectionToItself) {
    PustoyNabor sbor;
    TestWaveSet q(3);
    const ZapisSbora zapis{&q.nabor, 1, 0};
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(DobavitNabor(&sbor.nabor, &zapis));
    EXPECT_EQ(sbor.nabor.chislo, 9u);
    EXPECT_EQ(sbor.nabor.chisloVoln, 9u);
    EXPECT_GE(MestoNabora(&sbor.nabor), 9u);
    EXPECT_EQ(+sbor.nabor.luchi[7].dlina, 1.0);
    EXPECT_EQ(+sbor.nabor.volny[8].perenos1, 2.0);

    const ZapisSbora sam{&sbor.nabor, 1, 0};
    ASSERT_TRUE(DobavitNabor(&sbor.nabor, &sam));
    EXPECT_EQ(sbor.nabor.chislo, 18u);
    EXPECT_EQ(+sbor.nabor.luchi[17].dlina, 2.0);

    const ZapisSbora dva{&q.nabor, 2, 0};
    EXPECT_FALSE(DobavitNabor(&sbor.nabor, &dva));
    EXPECT_EQ(sbor.nabor.chislo, 18u);
}

// A work set that views part of the collection's own arrays is copied before the collection
// grows, which moves them (the sanitizer build reports a read of the freed arrays otherwise).
TEST(CollectTest, AppendsAWorkSetThatViewsTheCollectionWhileItGrows) {
    PustoyNabor sbor;
    TestWaveSet q(3);
    for (std::uint32_t k = 0; k < 3; ++k) {
        q.luchi[k].dlina = k + 1.0;
        q.volny[k].perenos1 = 10.0 * (k + 1);
    }
    const ZapisSbora zapis{&q.nabor, 1, 0};
    ASSERT_TRUE(DobavitNabor(&sbor.nabor, &zapis));
    ASSERT_EQ(MestoNabora(&sbor.nabor), 3u);

    NaborVoln vid{};
    vid.luchi = sbor.nabor.luchi + 1;
    vid.volny = sbor.nabor.volny + 1;
    vid.chislo = vid.chisloVoln = 2;
    const ZapisSbora chast{&vid, 1, 0};
    ASSERT_TRUE(DobavitNabor(&sbor.nabor, &chast));
    ASSERT_EQ(sbor.nabor.chislo, 5u);
    EXPECT_EQ(+sbor.nabor.luchi[3].dlina, 2.0);
    EXPECT_EQ(+sbor.nabor.luchi[4].dlina, 3.0);
    EXPECT_EQ(+sbor.nabor.volny[4].perenos1, 30.0);
}

TEST(StorageTest, RoomOfDeclaredSetsIsGivenAndTakenBackHere) {
    PustoyNabor n;
    ASSERT_TRUE(ZarezervirovatMesto(&n.nabor, 4, false));
    EXPECT_EQ(MestoNabora(&n.nabor), 4u);
    EXPECT_EQ(n.nabor.chislo, 0u);
    n.nabor.chislo = 2;
    n.nabor.luchi[1].dlina = 42.0;
    ASSERT_TRUE(ZarezervirovatMesto(&n.nabor, 100, true));
    EXPECT_EQ(n.nabor.chislo, 2u);
    EXPECT_EQ(+n.nabor.luchi[1].dlina, 42.0);
    EXPECT_FALSE(ZarezervirovatMesto(&n.nabor, kNaibolsheeMesto + 1, false));
    EXPECT_EQ(n.nabor.chislo, 2u);
    OsvoboditMesto(&n.nabor);
    EXPECT_EQ(n.nabor.luchi, nullptr);
    EXPECT_EQ(n.nabor.chislo, 0u);

    // Arrays the storage did not give are never freed; growing moves the elements out of them.
    TestWaveSet svoi(2);
    OsvoboditMesto(&svoi.nabor);
    EXPECT_EQ(svoi.nabor.luchi, svoi.luchi.data());
    EXPECT_EQ(MestoNabora(&svoi.nabor), 2u);
    ASSERT_TRUE(ObespechitMesto(&svoi.nabor, 3));
    EXPECT_NE(svoi.nabor.luchi, svoi.luchi.data());
    EXPECT_EQ(+svoi.nabor.luchi[1].dlina, 1.0);
    OsvoboditMesto(&svoi.nabor);
}

TEST(StorageTest, SetsMadeByWavelibAreResizedByItsOwnStorage) {
    NaborVoln* n = SozdatNabor(2);
    ASSERT_NE(n, nullptr);
    n->luchi[1].dlina = 5.0;
    ASSERT_TRUE(ZarezervirovatMesto(n, 10, true));
    EXPECT_EQ(Mesto(n), 10u);
    EXPECT_EQ(n->chislo, 2u);
    EXPECT_EQ(+n->luchi[1].dlina, 5.0);
    OsvoboditMesto(n);
    EXPECT_EQ(n->luchi, nullptr);
    EXPECT_EQ(n->chislo, 0u);
    EXPECT_TRUE(UdalitNabor(n));
}

class PlacementTest : public ::testing::Test {
  protected:
    TestWaveSet b{2};
    PustoyNabor q;
    void SetUp() override {
        for (auto& l : b.luchi) {
            Zadat(l.napravlenie, 0, 0, 3);
            Zadat(l.rebro1, 1, 0, 0);
        }
        Zadat(b.luchi[1].nachalo, 1, 0, 0);
        Zadat(b.nabor.istochnik, 0, 0, -1);
        ZapisSdvigaTablicy() = ZapisSdviga{};
        ZapisOrientaciiTablicy() = ZapisOrientacii{};
    }
};

TEST_F(PlacementTest, ShiftCopiesTheSourceAndMovesItByTheDifferenceOfThePoints) {
    ZapisSdviga& z = ZapisSdvigaTablicy();
    z.flag = 1;
    Zadat(z.tochka1, 1, 1, 1);
    Zadat(z.tochka2, 2, 3, 4);
    ASSERT_TRUE(Sdvinut(&q.nabor, &b.nabor));
    ASSERT_EQ(q.nabor.chislo, 2u);
    EXPECT_EQ(+q.nabor.luchi[1].nachalo[0], 2.0);
    EXPECT_EQ(+q.nabor.luchi[1].nachalo[1], 2.0);
    EXPECT_EQ(+q.nabor.luchi[1].nachalo[2], 3.0);
    EXPECT_EQ(q.nabor.istochnik[2], 2.0);
    EXPECT_EQ(+b.luchi[1].nachalo[0], 1.0);  // the source is not moved

    z.flag = 0;
    ASSERT_TRUE(Sdvinut(&q.nabor, nullptr));
    EXPECT_EQ(+q.nabor.luchi[1].nachalo[0], 3.0);
}

TEST_F(PlacementTest, TurnAimsTheDirectionsAlongTheVectorWithTheOptionsChosen) {
    ZapisOrientacii& o = ZapisOrientaciiTablicy();
    Zadat(o.vektor, 0, -2, 0);
    o.opciya2 = 1;
    ASSERT_TRUE(Povernut(&q.nabor, &b.nabor));
    const Luch& l = q.nabor.luchi[1];
    EXPECT_NEAR(l.napravlenie[0], 0.0, 1e-15);
    EXPECT_NEAR(l.napravlenie[1], -3.0, 1e-15);
    EXPECT_NEAR(l.napravlenie[2], 0.0, 1e-15);
    EXPECT_NEAR(l.rebro1[0], 1.0, 1e-15);  // the axis of the turn stays
    EXPECT_EQ(+l.nachalo[0], 1.0);         // origins stay without option 1

    o.opciya3 = 1;  // reversed: +z onto +y, this time turning the origins about (1, 0, 1) too
    o.opciya1 = 1;
    Zadat(o.tochka, 1, 0, 1);
    ASSERT_TRUE(Povernut(&q.nabor, &b.nabor));
    EXPECT_NEAR(q.nabor.luchi[0].napravlenie[1], 3.0, 1e-15);
    EXPECT_NEAR(q.nabor.luchi[0].nachalo[0], 0.0, 1e-15);   // (0,0,0) - (1,0,1) = (-1,0,-1)
    EXPECT_NEAR(q.nabor.luchi[0].nachalo[1], -1.0, 1e-15);  // turned: (-1,-1,0), back: (0,-1,1)
    EXPECT_NEAR(q.nabor.luchi[0].nachalo[2], 1.0, 1e-15);

    Zadat(o.vektor, 0, 0, 0);
    EXPECT_FALSE(Povernut(&q.nabor, &q.nabor));
    Zadat(o.vektor, 0, 0, 5);  // reversed: straight down, half a turn
    ASSERT_TRUE(Povernut(&q.nabor, &b.nabor));
    EXPECT_NEAR(q.nabor.luchi[0].napravlenie[2], -3.0, 1e-15);
}

// Directions a hair off straight down: the turn stays a rotation, lengths kept and the axis landing
// on the vector.
TEST_F(PlacementTest, TurnNearlyStraightDownKeepsLengths) {
    ZapisOrientacii& o = ZapisOrientaciiTablicy();
    o.opciya2 = 1;
    for (const double ugol : {1e-4, 2e-6, 1e-7}) {
        Zadat(o.vektor, std::sin(ugol), 0, -std::cos(ugol));
        ASSERT_TRUE(Povernut(&q.nabor, &b.nabor));
        const Luch& l = q.nabor.luchi[0];
        EXPECT_NEAR(l.napravlenie[0], 3.0 * std::sin(ugol), 1e-14) << ugol;
        EXPECT_NEAR(l.napravlenie[1], 0.0, 1e-14) << ugol;
        EXPECT_NEAR(l.napravlenie[2], -3.0 * std::cos(ugol), 1e-14) << ugol;
        EXPECT_NEAR(std::hypot(l.rebro1[0], l.rebro1[1], l.rebro1[2]), 1.0, 1e-14) << ugol;
    }
}

TEST(PlacementTablesTest, ServedByNameWhenTheTableHasRoom) {
    TableCell cells[8];
    std::fill(std::begin(cells), std::end(cells), reinterpret_cast<TableCell>(0x5A));
    ASSERT_EQ(ZaprositTablicuRazmeshcheniya(cells, sizeof(cells), kImyaTablicyRazmeshcheniya),
              cells);
    EXPECT_EQ(cells[0], nullptr);
    EXPECT_EQ(cells[kYacheykaZapisSdviga], &ZapisSdvigaTablicy());
    EXPECT_EQ(cells[kYacheykaZapisPovorota], &ZapisOrientaciiTablicy());
    EXPECT_EQ(cells[6], reinterpret_cast<TableCell>(0x5A));

    EXPECT_EQ(
        ZaprositTablicuRazmeshcheniya(cells, 5 * sizeof(TableCell), kImyaTablicyRazmeshcheniya),
        nullptr);
    EXPECT_EQ(ZaprositTablicuRazmeshcheniya(cells, sizeof(cells), kImyaTablicyHraneniya), cells);
    EXPECT_NE(cells[kVhodOsvobodit], nullptr);
    EXPECT_EQ(ZaprositTablicuRazmeshcheniya(cells, sizeof(cells), "Хранение"), nullptr);
}

}  // namespace
