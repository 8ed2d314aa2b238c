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
    TablicaVolny11 t{};

    void SetUp() override {
        ASSERT_TRUE(lib.loaded()) << platform::lastErrorText();
        t = lib.table11();
    }
    NaborVoln* Sozdat(std::uint32_t n) {
        NaborVoln* nabor = t.sozdatNabor(n);
        EXPECT_NE(nabor, nullptr);
        return nabor;
    }
};

// A point source 10 above the plane z = 0 between water and steel; rays up to 40 degrees from
// the vertical, so that some pass the critical angle (about 14.5 degrees).
TEST_F(EndToEndTest, SplitOfAPointSourceAtWaterOverSteelBalancesTheEnergy) {
    constexpr std::uint32_t kLuchey = 81;
    NaborVoln* i = Sozdat(kLuchey);
    NaborVoln* s = Sozdat(1);
    NaborVoln* r = Sozdat(0);
    NaborVoln* tr = Sozdat(0);
    s->sreda.skorost = i->sreda.skorost = 1480.0;
    s->sreda.plotnost = i->sreda.plotnost = 1000.0;
    s->sreda2.skorost = 5900.0;
    s->sreda2.plotnost = 7800.0;
    s->dlinaOtscheta = 4.0;
    s->luchi[0].napravlenie[2] = 1.0;
    i->istochnik[2] = 10.0;
    for (std::uint32_t k = 0; k < kLuchey; ++k) {
        const double ugol = (k % 9) * 5.0 * std::numbers::pi / 180.0;
        const double azimut = (k / 9) * 2.0 * std::numbers::pi / 9.0;
        Luch& l = i->luchi[k];
        l.nachalo[0] = std::sin(ugol) * std::cos(azimut);
        l.nachalo[1] = std::sin(ugol) * std::sin(azimut);
        l.nachalo[2] = 10.0 - std::cos(ugol);
    }
    const Volna obrazec{};
    const double para[2] = {1480.0, 1000.0};
    ASSERT_TRUE(t.inicializirovatVolny(i, &obrazec, 1.0, para));

    const std::uint64_t p = 0;
    const double porog = 0.0;
    ASSERT_TRUE(t.otrazitIPrelomit(r, tr, s, i, &p, &porog));
    EXPECT_EQ(i->chislo, 0u);
    EXPECT_EQ(r->chislo, kLuchey);
    EXPECT_EQ(tr->chislo, 3u * 9u);  // 0, 5 and 10 degrees pass into the steel

    double energiya = 0.0;
    for (std::uint32_t k = 0; k < r->chislo; ++k) {
        energiya += r->volny[k].energiya;
        EXPECT_GT(+r->luchi[k].nachalo[2], 0.0);
        EXPECT_NEAR(r->volny[k].put, 10.0 / r->volny[k].cosPadeniya + 1.0, 1e-9);
    }
    for (std::uint32_t k = 0; k < tr->chislo; ++k) {
        const Volna& w = tr->volny[k];
        energiya += w.energiya * w.cosPrelomleniya / w.cosPadeniya;
        EXPECT_LT(+tr->luchi[k].nachalo[2], 0.0);
    }
    EXPECT_NEAR(energiya, 1.0, 1e-12);

    for (NaborVoln* n : {i, s, r, tr}) t.udalitNabor(n);
}

// Water over a fluid of 1540 m/s and 900 kg/m^3, one ray at asin(1480 / 1540) as a double: the
// refraction cosine comes out as exactly 0 and no ray is marked; the wave is reflected whole at the
// grazing limit instead of vanishing from both sets.
TEST_F(EndToEndTest, RayAtExactlyTheCriticalAngleIsReflectedWhole) {
    NaborVoln* i = Sozdat(1);
    NaborVoln* s = Sozdat(1);
    NaborVoln* r = Sozdat(0);
    NaborVoln* tr = Sozdat(0);
    s->sreda.skorost = i->sreda.skorost = 1480.0;
    s->sreda.plotnost = i->sreda.plotnost = 1000.0;
    s->sreda2.skorost = 1540.0;
    s->sreda2.plotnost = 900.0;
    s->dlinaOtscheta = 4.0;
    s->luchi[0].napravlenie[2] = 1.0;
    const double sinus = 1480.0 / 1540.0;  // the sine and cosine of 1.2907367095444235 rad
    i->luchi[0].napravlenie[0] = sinus;
    i->luchi[0].napravlenie[2] = -std::sqrt(1.0 - sinus * sinus);
    i->luchi[0].nachalo[2] = 1.0;
    i->volny[0].amplituda = 1.0;
    i->volny[0].energiya = 1.0;

    const std::uint64_t p = 0;
    const double porog = -1.0;
    ASSERT_TRUE(t.otrazitIPrelomit(r, tr, s, i, &p, &porog));
    ASSERT_EQ(r->chislo, 1u);
    EXPECT_EQ(+r->volny[0].energiya, 1.0);
    EXPECT_EQ(+r->volny[0].amplituda, 1.0);
    ASSERT_EQ(tr->chislo, 1u);  // the grazing transmitted ray carries nothing
    EXPECT_EQ(+tr->volny[0].cosPrelomleniya, 0.0);
    EXPECT_EQ(+tr->volny[0].energiya, 0.0);
    for (NaborVoln* n : {i, s, r, tr}) t.udalitNabor(n);
}

TEST_F(EndToEndTest, ReplicationPlacesThePatternAtEveryRayThroughTheNamedTables) {
    TableCell razmeshchenie[kYacheekRazmeshcheniya];
    TableCell hranenie[kZapiseyHraneniya];
    ASSERT_EQ(lib.request(razmeshchenie, sizeof(razmeshchenie), kImyaTablicyRazmeshcheniya),
              razmeshchenie);
    ASSERT_EQ(lib.request(hranenie, sizeof(hranenie), kImyaTablicyHraneniya), hranenie);
    EXPECT_EQ(kImyaTablicyHraneniya, platform::utf8ToCp1251("Хранение наборов, версия 1.0"));

    NaborVoln* sbor = Sozdat(0);
    NaborVoln* a = Sozdat(3);
    NaborVoln* b = Sozdat(2);
    NaborVoln q{};  // the work set: room from the storage table
    for (std::uint32_t k = 0; k < 3; ++k) {
        a->luchi[k].nachalo[0] = 10.0 * (k + 1);
        a->luchi[k].napravlenie[k] = 2.0;  // along x, y, z in turn
    }
    a->istochnik[1] = 5.0;
    for (std::uint32_t j = 0; j < 2; ++j) {
        b->luchi[j].napravlenie[2] = 1.0;
        b->luchi[j].dlina = j;
    }
    ASSERT_TRUE(t.razmnozhitNabor(sbor, a, b, &q, razmeshchenie, hranenie));
    ASSERT_EQ(sbor->chislo, 6u);
    EXPECT_EQ(sbor->chisloVoln, 6u);
    for (std::uint32_t k = 0; k < 3; ++k) {
        for (std::uint32_t j = 0; j < 2; ++j) {
            const Luch& l = sbor->luchi[2 * k + j];
            EXPECT_EQ(+l.nachalo[0], 10.0 * (k + 1));
            EXPECT_NEAR(l.napravlenie[k], 1.0, 1e-15) << k;
            EXPECT_EQ(+l.dlina, j);
        }
    }
    EXPECT_EQ(sbor->istochnik[1], 5.0);
    EXPECT_EQ(q.luchi, nullptr);  // the work set's room was released
    EXPECT_EQ(q.chislo, 0u);
    for (NaborVoln* n : {sbor, a, b}) t.udalitNabor(n);
}

}  // namespace
