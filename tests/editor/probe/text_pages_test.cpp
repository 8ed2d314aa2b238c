// Pages 5 to 7 and the two text callbacks: texts and lists go to the record only through the
// probe store's operations, as cp1251.
#include <gtest/gtest.h>

#include "editor/probe/pages.h"
#include "editor/probe/text_transfer.h"
#include "fakes.h"
#include "platform/cp1251.h"
#include "probe_core/record/probe_contents.h"

namespace probe {
namespace {

using namespace std::chrono;
using testing::FakeLines;
using testing::FakeStore;
using testing::FakeText;
using testing::OwnedRecord;

TEST(TextCallbacks, HandOutCp1251NeverNullAndKeepSeparateBuffers) {
    FakeText field;
    field.setText("Датчик П111");
    FakeLines memo;
    memo.lines = {"первая", ""};
    const char* text = PoluchitTekstPolya(12345, &field);
    const char* line = PoluchitStrokuSpiska(0, &memo);
    // The line callback's call leaves the text callback's result intact.
    EXPECT_EQ(std::string(text), platform::utf8ToCp1251("Датчик П111"));
    EXPECT_EQ(std::string(line), platform::utf8ToCp1251("первая"));
    ASSERT_NE(PoluchitStrokuSpiska(1, &memo), nullptr);
    EXPECT_STREQ(PoluchitStrokuSpiska(1, &memo), "");
    EXPECT_STREQ(PoluchitStrokuSpiska(2, &memo), "");  // beyond the field
    EXPECT_STREQ(PoluchitStrokuSpiska(-1, &memo), "");
    EXPECT_STREQ(PoluchitTekstPolya(0, nullptr), "");
}

TEST(PreprocessingPage, LinesRoundTripThroughTheStoreWithEmptyLinesKept) {
    ProbeSelection selection;
    OwnedRecord owned;
    selection.current = &owned.record;
    const auto store = FakeStore::api();
    FakeLines mSPO;
    PreprocessingPage page(selection, store, mSPO);

    mSPO.lines = {"Усилитель", "", "АЦП 12 бит", ""};
    FakeStore::log().clear();
    page.tbObrabotkaHide();
    EXPECT_EQ(FakeStore::log(), (std::vector<std::string>{"UdalitSpisok", "SozdatSpisok"}));
    ASSERT_EQ(owned.record.Obrabotka.count, 4u);
    EXPECT_STREQ(owned.record.Obrabotka.lines[1], "");

    mSPO.lines = {"stale"};
    page.tbObrabotkaShow();
    EXPECT_EQ(mSPO.lines, (std::vector<std::string>{"Усилитель", "", "АЦП 12 бит", ""}));

    mSPO.lines.clear();
    page.tbObrabotkaHide();
    EXPECT_EQ(owned.record.Obrabotka.count, 0u);
    page.tbObrabotkaShow();
    EXPECT_TRUE(mSPO.lines.empty());

    selection.current = nullptr;
    FakeStore::log().clear();
    page.tbObrabotkaHide();
    EXPECT_TRUE(FakeStore::log().empty());
}

struct Page6 {
    ProbeSelection selection;
    OwnedRecord owned;
    contracts::ProbeStoreApi store = FakeStore::api();
    FakeText cbProizvoditel, cbModel, cbNazvanie, cbCena, cbData;
    FakeLines mPribori;
    sys_days today = sys_days{2026y / December / 7};
    IdentificationPage page{selection,
                            store,
                            {&cbProizvoditel, &cbModel, &cbNazvanie, &cbCena, &mPribori, &cbData},
                            UserLocale{",", "dd.MM.yyyy", "."},
                            [this] { return today; }};
    Page6() { selection.current = &owned.record; }
};

TEST(IdentificationPage, StoresTextsPriceAndDateAndLoadsThemBack) {
    Page6 p;
    p.cbProizvoditel.setText("ООО «Эхо»");
    p.cbModel.setText("П121-2,5");
    p.cbNazvanie.setText("");
    p.cbCena.setText("15000");
    p.cbData.setText("05.03.2026");
    p.mPribori.lines = {"УД2-12", "УД4-Т"};
    FakeStore::log().clear();
    p.page.tbIdentifikacionnayaInformaciyaHide();
    EXPECT_EQ(
        FakeStore::log(),
        (std::vector<std::string>{"UdalitSpisok", "SozdatSpisok", "UdalitStroku", "SozdatStroku",
                                  "UdalitStroku", "SozdatStroku", "UdalitStroku", "SozdatStroku"}));
    EXPECT_EQ(std::string(p.owned.record.Proizvoditel.text), platform::utf8ToCp1251("ООО «Эхо»"));
    EXPECT_EQ(p.owned.record.Cena, 15000);
    EXPECT_EQ(p.owned.record.Data, dayNumber(sys_days{2026y / March / 5}));

    for (FakeText* f : {&p.cbProizvoditel, &p.cbModel, &p.cbCena, &p.cbData}) f->setText("x");
    p.mPribori.lines.clear();
    p.page.tbIdentifikacionnayaInformaciyaShow();
    EXPECT_EQ(p.cbProizvoditel.text(), "ООО «Эхо»");
    EXPECT_EQ(p.cbModel.text(), "П121-2,5");
    EXPECT_EQ(p.cbCena.text(), "15000");
    EXPECT_EQ(p.cbData.text(), "05.03.2026");
    EXPECT_EQ(p.mPribori.lines, (std::vector<std::string>{"УД2-12", "УД4-Т"}));
}

TEST(IdentificationPage, UnreadablePriceAndDateStoreZeroAndShowEmpty) {
    Page6 p;
    p.cbCena.setText("0");
    p.cbData.setText("29.02.2027");
    p.page.tbIdentifikacionnayaInformaciyaHide();
    EXPECT_EQ(p.owned.record.Cena, 0);
    EXPECT_EQ(p.owned.record.Data, 0.0);
    p.cbCena.setText("99999999999");
    p.page.tbIdentifikacionnayaInformaciyaHide();
    EXPECT_EQ(p.owned.record.Cena, 0);
    p.page.tbIdentifikacionnayaInformaciyaShow();
    EXPECT_EQ(p.cbCena.text(), "");
    EXPECT_EQ(p.cbData.text(), "");

    // A fraction from another source is gone after the next store.
    p.owned.record.Data = dayNumber(sys_days{2026y / March / 5}) + 0.5;
    p.page.tbIdentifikacionnayaInformaciyaShow();
    p.page.tbIdentifikacionnayaInformaciyaHide();
    EXPECT_EQ(p.owned.record.Data, dayNumber(sys_days{2026y / March / 5}));
}

TEST(IdentificationPage, BnDataWritesTodayOnlyOverAnOlderDate) {
    Page6 p;
    const double today = dayNumber(p.today);
    for (const char* shown : {"", "не дата", "01.12.2026"}) {
        p.cbData.setText(shown);
        p.owned.record.Data = 0.0;
        p.page.bnDataClick();
        EXPECT_EQ(p.cbData.text(), "07.12.2026") << shown;
        EXPECT_EQ(p.owned.record.Data, today) << shown;  // stored at once
    }
    for (const char* shown : {"07.12.2026", "01.01.2027"}) {
        p.cbData.setText(shown);
        p.owned.record.Data = 1.0;
        FakeStore::log().clear();
        p.page.bnDataClick();
        EXPECT_EQ(p.cbData.text(), shown);
        EXPECT_EQ(p.owned.record.Data, 1.0);  // nothing stored
        EXPECT_TRUE(FakeStore::log().empty());
    }
}

TEST(ParametersPage, NumbersFollowTheLocaleAndListIsStoredAsTyped) {
    ProbeSelection selection;
    OwnedRecord owned;
    selection.current = &owned.record;
    const auto store = FakeStore::api();
    FakeText cbRKIP1, cbRKIP2, cbOCHIP, cbTP, cbMU;
    FakeLines mParametri;
    ParametersPage page(selection, store, {&cbRKIP1, &cbRKIP2, &cbOCHIP, &cbTP, &cbMU, &mParametri},
                        UserLocale{",", "dd.MM.yyyy", "."});
    cbRKIP1.setText("0,05");
    cbRKIP2.setText("0.05");  // the other separator
    cbOCHIP.setText("2,5E6");
    cbTP.setText("0");
    cbMU.setText("5 °");
    mParametri.lines = {"Демпфер = резина", "без знака равенства"};
    page.tsParametriHide();
    EXPECT_EQ(owned.record.RKIP1, 0.05);
    EXPECT_EQ(owned.record.RKIP2, 0.0);
    EXPECT_EQ(owned.record.OCHIP, 2.5e6);
    EXPECT_EQ(owned.record.TP, 0.0);
    EXPECT_EQ(owned.record.MU, 0.0);
    ASSERT_EQ(owned.record.Parametri.count, 2u);

    page.setLocale(UserLocale{".", "M/d/yyyy", "/"});
    page.tsParametriShow();
    EXPECT_EQ(cbRKIP1.text(), "0.05");
    EXPECT_EQ(cbRKIP2.text(), "");
    EXPECT_EQ(cbOCHIP.text(), "2500000");
    EXPECT_EQ(cbTP.text(), "");
    EXPECT_EQ(mParametri.lines[1], "без знака равенства");
}

}  // namespace
}  // namespace probe

namespace probe {
namespace {

const char* PLUGIN_CALL giveHeld(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}
const char* PLUGIN_CALL giveHeldLine(std::int32_t i, void* context) {
    return (*static_cast<const std::vector<std::string>*>(context))[static_cast<std::size_t>(i)]
        .c_str();
}

TEST(ProbeContents, ARecordPutBackHoldsWhatItHeld) {
    testing::OwnedRecord owned, other;
    const contracts::ProbeStoreApi store = testing::FakeStore::api();
    ProbeRecord& r = owned.record;
    r.Cena = 12;
    r.RKIP1 = 0.5;
    r.MasshtabProstranstva = -3;
    restoreContents(store, r, ProbeContents{});  // texts through the store, from nothing
    EXPECT_EQ(contentsOf(r), ProbeContents{});
    std::string model = "M-1";
    std::vector<std::string> instruments{"A", "", "B"};
    store.SozdatStroku(&other.record.Model, giveHeld, &model);
    store.SozdatSpisok(&other.record.Pribori, giveHeldLine, 3, &instruments);
    other.record.Cena = 40;
    const ProbeContents full = contentsOf(other.record);
    restoreContents(store, r, full);
    EXPECT_STREQ(r.Model.text, "M-1");
    ASSERT_EQ(r.Pribori.count, 3u);
    EXPECT_STREQ(r.Pribori.lines[2], "B");
    EXPECT_EQ(contentsOf(r), full);
    r.Cena = 41;
    EXPECT_NE(contentsOf(r), full);
}

// Every field of the record counts for the change tracking and comes back with the undo: a
// change to any one row of the field table alone makes the contents differ, and putting the
// contents back undoes it.
TEST(ProbeContents, EveryFieldOfTheTableIsTrackedAndPutBack) {
    const contracts::ProbeStoreApi store = testing::FakeStore::api();
    for (const fields::Field& f : fields::kProbeFields) {
        testing::OwnedRecord owned;
        ProbeRecord& r = owned.record;
        const ProbeContents before = contentsOf(r);
        std::string text = "изменено";
        std::vector<std::string> lines{"строка"};
        std::visit(
            fields::Overloaded{
                [&](const fields::Word& w) { r.*w.member = 0x80000001u; },
                [&](const fields::Text& t) { store.SozdatStroku(&(r.*t.member), giveHeld, &text); },
                [&](const fields::Lines& l) {
                    store.SozdatSpisok(&(r.*l.member), giveHeldLine, 1, &lines);
                },
                [&](const fields::Quantity& q) { r.*q.member = -0.0; },
                [&](const fields::Price& p) { r.*p.member = -1; },
                [&](const fields::Date& d) { r.*d.member = 1.5; },
                [&](const fields::Scale& s) { r.*s.member = 7; },
                [&](const fields::Reserved& b) { fields::bytesOf(r, b).back() = 1; },
            },
            f.place);
        const ProbeContents changed = contentsOf(r);
        EXPECT_NE(changed, before) << f.key;
        restoreContents(store, r, before);
        EXPECT_EQ(contentsOf(r), before) << f.key;
        restoreContents(store, r, changed);
        EXPECT_EQ(contentsOf(r), changed) << f.key;
    }
}

}  // namespace
}  // namespace probe
