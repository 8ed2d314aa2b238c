// Pages 1 to 4: the bit-field words, the loading flag and the no-record case.
#include <gtest/gtest.h>

#include "editor/probe/pages.h"
#include "fakes.h"

namespace probe {
namespace {

using testing::FakeBox;
using testing::FakeList;

struct Page1 {
    ProbeSelection selection;
    ProbeRecord record{};
    FakeList cbKDpC{2}, cbKDpKP{2}, cbKDpRIP{4}, cbKDpFIP1{3}, cbKDpFIP2{3}, cbLSK{2}, cbSDkPI{3},
        cbSDkPP{3}, cbTIPBI{2}, cbTIPBP{2};
    TransducersPage page{selection,
                         {&cbKDpC, &cbKDpKP, &cbKDpRIP, &cbKDpFIP1, &cbKDpFIP2, &cbLSK, &cbSDkPI,
                          &cbSDkPP, &cbTIPBI, &cbTIPBP}};
    std::vector<FakeList*> all() {
        return {&cbKDpC, &cbKDpKP, &cbKDpRIP, &cbKDpFIP1, &cbKDpFIP2,
                &cbLSK,  &cbSDkPI, &cbSDkPP,  &cbTIPBI,   &cbTIPBP};
    }
    Page1() {
        selection.current = &record;
        // Every list's change event is the page's store, as in the window.
        for (FakeList* l : all()) l->onChange = [this] { page.cbKDpCChange(); };
    }
};

TEST(TransducersPage, LoadRaisesChangeEventsButNeverRewritesTheWord) {
    Page1 p;
    // Garbage in bit 7 and bits 22..31 would vanish if any store ran during the load.
    p.record.Piezoelementi = 0xFFC00080u | 0x2u | (3u << 4) | (2u << 20);
    const std::uint32_t before = p.record.Piezoelementi;
    p.page.tbPiezoelementiShow();
    EXPECT_EQ(p.record.Piezoelementi, before);
    EXPECT_FALSE(p.page.loading());
    EXPECT_EQ(p.cbKDpC.position(), 1);
    EXPECT_EQ(p.cbKDpRIP.position(), 2);
    EXPECT_EQ(p.cbSDkPP.position(), 1);
    EXPECT_EQ(p.cbKDpKP.position(), -1);
}

TEST(TransducersPage, StoreRebuildsTheWordFromTheListsAndClearsForeignBits) {
    Page1 p;
    p.record.Piezoelementi = 0xFFC00080u;
    p.page.tbPiezoelementiShow();
    p.page.cbKDpCChange();
    EXPECT_EQ(p.record.Piezoelementi, 0u);

    // Each list in its own bits; the receivers' access method is last, after both interfaces.
    p.cbKDpC.setPosition(1);     // 2 << 0
    p.cbKDpKP.setPosition(0);    // 1 << 2
    p.cbKDpFIP1.setPosition(2);  // 3 << 8
    p.cbKDpFIP2.setPosition(1);  // 2 << 10
    p.cbLSK.setPosition(1);      // 2 << 12
    p.cbSDkPI.setPosition(2);    // 3 << 14
    p.cbTIPBI.setPosition(0);    // 1 << 16
    p.cbTIPBP.setPosition(1);    // 2 << 18
    p.cbSDkPP.setPosition(2);    // 3 << 20
    EXPECT_EQ(p.record.Piezoelementi,
              2u | 4u | 0x300u | 0x800u | 0x2000u | 0xC000u | 0x10000u | 0x80000u | 0x300000u);
}

TEST(TransducersPage, MatrixSetsBitSixOnly) {
    Page1 p;
    p.record.Piezoelementi = 0x30;  // "Кольцевой" was chosen
    p.page.tbPiezoelementiShow();
    p.cbKDpRIP.setPosition(3);
    EXPECT_EQ(p.record.Piezoelementi, 0x40u);
}

TEST(TransducersPage, OutOfRangeSubFieldsLoadAsNoChoiceAndStoreBackAsZero) {
    Page1 p;
    // 3 in cbKDpC's two-item field, 7 in cbKDpRIP's four-item field, 3 in cbLSK's.
    p.record.Piezoelementi = 0x3u | 0x70u | 0x3000u | (1u << 14);
    p.page.tbPiezoelementiShow();
    EXPECT_EQ(p.cbKDpC.position(), -1);
    EXPECT_EQ(p.cbKDpRIP.position(), -1);
    EXPECT_EQ(p.cbLSK.position(), -1);
    EXPECT_EQ(p.cbSDkPI.position(), 0);
    p.page.cbKDpCChange();
    EXPECT_EQ(p.record.Piezoelementi, 1u << 14);
}

TEST(TransducersPage, WithoutCurrentRecordLoadAndStoreTouchNothing) {
    Page1 p;
    p.cbKDpC.setPosition(1);
    p.selection.current = nullptr;
    p.record.Piezoelementi = 0x12345678u;
    p.page.tbPiezoelementiShow();
    EXPECT_EQ(p.cbKDpC.position(), 1);
    EXPECT_FALSE(p.page.loading());
    p.page.cbKDpCChange();
    EXPECT_EQ(p.record.Piezoelementi, 0x12345678u);
}

struct Page2 {
    ProbeSelection selection;
    ProbeRecord record{};
    FakeBox ckSAL, ckMSAL, ckVFIP1, ckVFIP2, ckVSDF;
    FakeList cbKL{2}, cbSSL{3};
    FocusingPage page{selection, {&ckSAL, &cbKL, &ckMSAL, &cbSSL, &ckVFIP1, &ckVFIP2, &ckVSDF}};
    Page2() {
        selection.current = &record;
        for (FakeBox* b : {&ckSAL, &ckMSAL, &ckVFIP1, &ckVFIP2, &ckVSDF})
            b->onClick = [this] { page.cbKLChange(); };
        cbKL.onChange = cbSSL.onChange = [this] { page.cbKLChange(); };
    }
};

TEST(FocusingPage, LoadsListsAndBoxesWithoutStoring) {
    Page2 p;
    p.record.Fokusirovka = 0xFFFFFE00u | 0x2u | (3u << 2) | 0x10u | 0x100u;
    const std::uint32_t before = p.record.Fokusirovka;
    p.page.tbFokusirovkaShow();
    EXPECT_EQ(p.record.Fokusirovka, before);
    EXPECT_EQ(p.cbKL.position(), 1);
    EXPECT_EQ(p.cbSSL.position(), 2);
    EXPECT_TRUE(p.ckSAL.checked());
    EXPECT_FALSE(p.ckMSAL.checked());
    EXPECT_TRUE(p.ckVSDF.checked());
}

TEST(FocusingPage, ClickStoresWholeWordAndLensControlsStayIndependentOfCkSAL) {
    Page2 p;
    p.record.Fokusirovka = 0xFFFFFE00u | 0x3u | 0x10u | 0x20u | (1u << 2);
    p.page.tbFokusirovkaShow();
    EXPECT_EQ(p.cbKL.position(), -1);  // 3 lies beyond "Одна", "Набор"
    p.ckSAL.setChecked(false);
    // Bits 9..31 and the out-of-range cbKL value are gone; the lens mechanism stays checked.
    EXPECT_EQ(p.record.Fokusirovka, 0x20u | (1u << 2));
    p.ckVFIP2.setChecked(true);
    EXPECT_EQ(p.record.Fokusirovka, 0x20u | (1u << 2) | 0x80u);
}

TEST(DeflectionAndScanningPages, StoreClearsBitsOutsideTheirTables) {
    ProbeSelection selection;
    ProbeRecord record{};
    selection.current = &record;
    FakeBox ckEP, ck2VFIP1, ck2VFIP2, ckVoFIP1, ckVoFIP2, ckVSDO;
    DeflectionPage otk{selection, {&ckEP, &ck2VFIP1, &ck2VFIP2, &ckVoFIP1, &ckVoFIP2, &ckVSDO}};
    FakeBox ckVSUP, ckVSUPV, ckVSUDO, ckVSUDF, ckVSUMSAL;
    ScanningPage sk{selection, {&ckVSUP, &ckVSUPV, &ckVSUDO, &ckVSUDF, &ckVSUMSAL}};
    for (FakeBox* b : {&ckEP, &ck2VFIP1, &ck2VFIP2, &ckVoFIP1, &ckVoFIP2, &ckVSDO})
        b->onClick = [&] { otk.tbOtklonenieHide(); };
    for (FakeBox* b : {&ckVSUP, &ckVSUPV, &ckVSUDO, &ckVSUDF, &ckVSUMSAL})
        b->onClick = [&] { sk.tbSkanirovanieHide(); };

    record.Otklonenie = 0xFFFFFFC0u | 0x2u | 0x8u;  // convex and concave, plane 1
    record.Skanirovanie = 0xFFFFFFE0u | 0x10u;
    otk.tbOtklonenieShow();
    sk.tbSkanirovanieShow();
    EXPECT_EQ(record.Otklonenie, 0xFFFFFFC0u | 0x2u | 0x8u);
    EXPECT_EQ(record.Skanirovanie, 0xFFFFFFE0u | 0x10u);
    EXPECT_TRUE(ck2VFIP1.checked());
    EXPECT_TRUE(ckVoFIP1.checked());

    ckVSDO.setChecked(true);
    EXPECT_EQ(record.Otklonenie, 0x2u | 0x8u | 0x20u);
    sk.tbSkanirovanieHide();
    EXPECT_EQ(record.Skanirovanie, 0x10u);
}

struct SpyPage : Page {
    std::vector<std::string>* log;
    std::string name;
    SpyPage(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
    void show() override { log->push_back("show " + name); }
    void hide() override { log->push_back("hide " + name); }
};

TEST(PageControl, SwitchingStoresThePageLeftAndLoadsThePageEntered) {
    std::vector<std::string> log;
    std::vector<std::unique_ptr<SpyPage>> spies;
    std::array<Page*, 8> pages{};
    for (int i = 0; i < 8; ++i) {
        spies.push_back(std::make_unique<SpyPage>(&log, std::to_string(i)));
        pages[static_cast<std::size_t>(i)] = spies.back().get();
    }
    PageControl control(pages);
    control.storeActivePage();  // no active page: nothing runs
    control.loadActivePage();
    EXPECT_TRUE(log.empty());

    control.setActiveIndex(0);
    control.switchTo(5);
    control.storeActivePage();
    control.loadActivePage();
    control.switchTo(-1);
    EXPECT_EQ(log, (std::vector<std::string>{"hide 0", "show 5", "hide 5", "show 5", "hide 5"}));
    EXPECT_EQ(control.activeIndex(), -1);
}

}  // namespace
}  // namespace probe
