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
    Volna obrazec{};
    const double para[2] = {1480.0, 1000.0};

    void SetUp() override {
        const double istochnik[3] = {1.0, 1.0, 1.0};
        std::memcpy(s.nabor.istochnik, istochnik, sizeof(istochnik));
        const double nachalo0[3] = {1.0, 1.0, 2.0};  // 1 from the source
        const double nachalo1[3] = {1.0, 4.0, 1.0};  // 3 from the source
        std::memcpy(s.luchi[0].nachalo, nachalo0, sizeof(nachalo0));
        std::memcpy(s.luchi[1].nachalo, nachalo1, sizeof(nachalo1));
        s.luchi[0].rebro1[0] = 0.1;
        s.luchi[0].rebro1[2] = 0.5;  // along the ray: no part of the width
        s.luchi[0].rebro2[1] = 0.1;
        s.nabor.flagi = 0x0112;
        s.nabor.pole28 = s.nabor.pole112 = 77;
        s.nabor.chisloVoln = 0;
        s.volny[0].put = 9.0;
        obrazec.vremya1 = 1.5;
        obrazec.vremya2 = 2.5;
        obrazec.koefZatuhaniya = 0.3;
        obrazec.faza = 0.7;
        obrazec.perenos1 = 11.0;
        obrazec.perenos2 = 12.0;
        obrazec.amplituda = 99.0;
        obrazec.put = 5.0;
    }
};

TEST_F(SourceTest, EnergyIsSharedByRayLengthAndRaysStartAtTheSource) {
    ASSERT_TRUE(InicializirovatVolny(&s.nabor, &obrazec, 8.0, para));
    EXPECT_DOUBLE_EQ(s.volny[0].energiya, 2.0);
    EXPECT_DOUBLE_EQ(s.volny[1].energiya, 6.0);
    EXPECT_DOUBLE_EQ(s.volny[1].amplituda, std::sqrt(2.0 * 1480.0 * 1000.0 * 6.0));
    for (const Luch& l : s.luchi) {
        EXPECT_EQ(+l.nachalo[0], 1.0);
        EXPECT_EQ(+l.nachalo[1], 1.0);
        EXPECT_EQ(+l.nachalo[2], 1.0);
    }
    EXPECT_EQ(s.luchi[0].napravlenie[2], 1.0);
    EXPECT_EQ(+s.luchi[1].napravlenie[1], 3.0);

    for (const Volna& w : s.volny) {
        EXPECT_EQ(+w.vremya1, 1.5);
        EXPECT_EQ(+w.vremya2, 2.5);
        EXPECT_EQ(+w.koefZatuhaniya, 0.3);
        EXPECT_EQ(+w.faza, 0.7);
        EXPECT_EQ(+w.perenos1, 11.0);
        EXPECT_EQ(+w.perenos2, 12.0);
        EXPECT_EQ(+w.put, 0.0);
    }
    EXPECT_DOUBLE_EQ(s.volny[0].uglovayaShirina, std::asin(std::sqrt(0.02)));
    EXPECT_EQ(+s.volny[1].uglovayaShirina, 0.0);

    EXPECT_EQ(s.nabor.flagi, 0x210Cu);
    EXPECT_EQ(s.nabor.pole28, 0u);
    EXPECT_EQ(s.nabor.pole112, 0u);
    EXPECT_EQ(s.nabor.chisloVoln, 2u);
}

TEST_F(SourceTest, SecondCallOnABuiltSetChangesNothing) {
    ASSERT_TRUE(InicializirovatVolny(&s.nabor, &obrazec, 8.0, para));
    const TestWaveSet do_ = s;
    s.nabor.pole28 = 5;
    EXPECT_TRUE(InicializirovatVolny(&s.nabor, &obrazec, 100.0, para));
    EXPECT_EQ(s.nabor.pole28, 5u);
    EXPECT_EQ(std::memcmp(do_.luchi.data(), s.luchi.data(), 2 * sizeof(Luch)), 0);
    EXPECT_EQ(std::memcmp(do_.volny.data(), s.volny.data(), 2 * sizeof(Volna)), 0);
}

TEST_F(SourceTest, TemplateAndImpedancePairInsideTheSetAreReadBeforeTheyAreOverwritten) {
    s.volny[1] = obrazec;
    s.nabor.sreda.skorost = 1480.0;
    s.nabor.sreda.plotnost = 1000.0;
    ASSERT_TRUE(InicializirovatVolny(&s.nabor, &s.volny[1], 8.0, &s.nabor.sreda.skorost));
    EXPECT_EQ(+s.volny[0].faza, 0.7);
    EXPECT_EQ(+s.volny[1].faza, 0.7);
    EXPECT_EQ(+s.volny[1].perenos2, 12.0);
    EXPECT_DOUBLE_EQ(s.volny[0].amplituda, std::sqrt(2.0 * 1480.0 * 1000.0 * 2.0));
}

// The caller's tables, writing every call into one log and keeping the parameter records' bytes
// as each placement operation saw them.
struct Tablicy {
    static inline std::vector<std::string> zhurnal;
    static inline std::vector<bool> rezervy;  // results of the reservations, in order
    static inline std::size_t rezervov = 0;
    static inline std::vector<std::vector<unsigned char>> bajtySdviga, bajtyPovorota;
    static inline std::vector<ZapisSbora> sbory;
    static inline ZapisSdviga sdvig;
    static inline ZapisOrientacii povorot;
    static inline const NaborVoln *sbor, *a, *b, *q;

    static std::string Imya(const NaborVoln* n) {
        return n == sbor ? "C" : n == a ? "A" : n == b ? "B" : n == q ? "Q" : "?";
    }
    static BoolByte PLUGIN_CALL Rezerv(NaborVoln* n, std::uint32_t chislo, std::uint32_t sohr) {
        zhurnal.push_back("reserve " + Imya(n) + " " + std::to_string(chislo) + " " +
                          std::to_string(sohr));
        const std::size_t k = rezervov++;
        return k < rezervy.size() && rezervy[k] ? kTrue : kFalse;
    }
    static void PLUGIN_CALL Osvobodit(NaborVoln* n) { zhurnal.push_back("release " + Imya(n)); }
    static BoolByte PLUGIN_CALL Sdvinut(NaborVoln* cel, NaborVoln* ist) {
        zhurnal.push_back("shift " + Imya(cel) + " " + Imya(ist));
        const auto* p = reinterpret_cast<const unsigned char*>(&sdvig);
        bajtySdviga.emplace_back(p, p + 49);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Povernut(NaborVoln* cel, NaborVoln* ist) {
        zhurnal.push_back("turn " + Imya(cel) + " " + Imya(ist));
        const auto* p = reinterpret_cast<const unsigned char*>(&povorot);
        bajtyPovorota.emplace_back(p, p + 51);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Dobavit(NaborVoln* s, const ZapisSbora* z) {
        zhurnal.push_back("collect " + Imya(s) + " " + Imya(z->nabor));
        sbory.push_back(*z);
        return kTrue;
    }
};

double DoubleV(const std::vector<unsigned char>& bajty, std::size_t smeshchenie) {
    double x;
    std::memcpy(&x, bajty.data() + smeshchenie, sizeof(x));
    return x;
}

class ReplicationTest : public ::testing::Test {
  protected:
    TestWaveSet sbor{0}, a{2}, b{3}, q{0};
    TableCell razmeshchenie[kYacheekRazmeshcheniya] = {};
    TableCell hranenie[kZapiseyHraneniya] = {};

    void SetUp() override {
        ScriptedWavelib::Podklyuchit();
        TablicaVolny10 t = Tablica10();
        t.dobavitNabor = &Tablicy::Dobavit;
        ZadatTablicu10(t);
        Tablicy::zhurnal.clear();
        Tablicy::rezervy = {true, true};
        Tablicy::rezervov = 0;
        Tablicy::bajtySdviga.clear();
        Tablicy::bajtyPovorota.clear();
        Tablicy::sbory.clear();
        std::memset(&Tablicy::sdvig, 0xAA, sizeof(Tablicy::sdvig));
        std::memset(&Tablicy::povorot, 0xAA, sizeof(Tablicy::povorot));
        Tablicy::sbor = &sbor.nabor;
        Tablicy::a = &a.nabor;
        Tablicy::b = &b.nabor;
        Tablicy::q = &q.nabor;
        razmeshchenie[kYacheykaSdvig] = asCell(&Tablicy::Sdvinut);
        razmeshchenie[kYacheykaZapisSdviga] = &Tablicy::sdvig;
        razmeshchenie[kYacheykaPovorot] = asCell(&Tablicy::Povernut);
        razmeshchenie[kYacheykaZapisPovorota] = &Tablicy::povorot;
        hranenie[kVhodZarezervirovat] = asCell(&Tablicy::Rezerv);
        hranenie[kVhodOsvobodit] = asCell(&Tablicy::Osvobodit);

        const double nachala[2][3] = {{1, 2, 3}, {4, 5, 6}};
        const double napravleniya[2][3] = {{0, 0, 1}, {0, -2, 0}};
        for (int k = 0; k < 2; ++k) {
            std::memcpy(a.luchi[k].nachalo, nachala[k], sizeof(nachala[k]));
            std::memcpy(a.luchi[k].napravlenie, napravleniya[k], sizeof(napravleniya[k]));
        }
        const double istochnik[3] = {7, 8, 9};
        std::memcpy(a.nabor.istochnik, istochnik, sizeof(istochnik));
        q.nabor.slovo0 = 0xC0FFEEu;
    }
    bool Vyzvat() {
        return isTrue(
            RazmnozhitNabor(&sbor.nabor, &a.nabor, &b.nabor, &q.nabor, razmeshchenie, hranenie));
    }
};

TEST_F(ReplicationTest, EachPlacementRayShiftsTurnsAndCollectsTheWorkSet) {
    ASSERT_TRUE(Vyzvat());
    EXPECT_THAT(Tablicy::zhurnal,
                ElementsAre("reserve Q 3 0", "reserve C 6 0", "shift Q B", "turn Q Q",
                            "collect C Q", "shift Q B", "turn Q Q", "collect C Q", "release Q"));
    for (const ZapisSbora& z : Tablicy::sbory) {
        EXPECT_EQ(z.nabor, &q.nabor);
        EXPECT_EQ(z.odin, 1u);
        EXPECT_EQ(z.slovo0, 0xC0FFEEu);
    }
    // Shift record: flag byte 1, first point zero, second point the placement ray's origin.
    for (int k = 0; k < 2; ++k) {
        const auto& bajty = Tablicy::bajtySdviga[k];
        EXPECT_EQ(bajty[0], 1);
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(DoubleV(bajty, 1 + 8 * j), 0.0);
            EXPECT_EQ(DoubleV(bajty, 25 + 8 * j), +a.luchi[k].nachalo[j]);
        }
    }
    // Orientation record: point zero, the ray's direction, option bytes 0, 1, 0.
    for (int k = 0; k < 2; ++k) {
        const auto& bajty = Tablicy::bajtyPovorota[k];
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(DoubleV(bajty, 8 * j), 0.0);
            EXPECT_EQ(DoubleV(bajty, 24 + 8 * j), +a.luchi[k].napravlenie[j]);
        }
        EXPECT_EQ(bajty[48], 0);
        EXPECT_EQ(bajty[49], 1);
        EXPECT_EQ(bajty[50], 0);
    }
    EXPECT_EQ(sbor.nabor.istochnik[2], 9.0);
}

TEST_F(ReplicationTest, EmptyPlacementSetReservesNothingPlacesNothingAndReleasesTheWorkSet) {
    a.nabor.chislo = 0;
    ASSERT_TRUE(Vyzvat());
    EXPECT_THAT(Tablicy::zhurnal, ElementsAre("reserve Q 3 0", "reserve C 0 0", "release Q"));
    EXPECT_EQ(sbor.nabor.istochnik[0], 7.0);
    EXPECT_EQ(sbor.nabor.istochnik[1], 8.0);
}

TEST_F(ReplicationTest, FailedReservationsStopAndLeaveTheWorkSetReserved) {
    Tablicy::rezervy = {false};
    EXPECT_FALSE(Vyzvat());
    EXPECT_THAT(Tablicy::zhurnal, ElementsAre("reserve Q 3 0"));

    Tablicy::zhurnal.clear();
    Tablicy::rezervov = 0;
    Tablicy::rezervy = {true, false};
    EXPECT_FALSE(Vyzvat());
    EXPECT_THAT(Tablicy::zhurnal, ElementsAre("reserve Q 3 0", "reserve C 6 0"));
    EXPECT_EQ(sbor.nabor.istochnik[0], 0.0);
}

TEST_F(ReplicationTest, CopiesThatWouldNotFitIn32BitsAndSharedSetsAreRefusedBeforeAnyCall) {
    a.nabor.chislo = 70000;
    b.nabor.chislo = 70000;  // 4.9e9 copies; the rays are never read
    EXPECT_FALSE(Vyzvat());
    a.nabor.chislo = 2;
    b.nabor.chislo = 3;
    EXPECT_FALSE(
        RazmnozhitNabor(&sbor.nabor, &a.nabor, &b.nabor, &b.nabor, razmeshchenie, hranenie));
    razmeshchenie[kYacheykaZapisSdviga] = nullptr;
    EXPECT_FALSE(Vyzvat());
    EXPECT_TRUE(Tablicy::zhurnal.empty());
}

}  // namespace
