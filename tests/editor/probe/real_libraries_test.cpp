// The pages against the real probe store and surface libraries of build/bin, bound by the real
// loader: what a page stores is what the store keeps and writes to a probe file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "editor/probe/pages.h"
#include "fakes.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace probe {
namespace {

using testing::FakeLines;
using testing::FakeList;
using testing::FakeText;

struct NoBoxes : biblioteki::MessageBoxes {
    std::vector<std::string> shown;
    void show(const std::string& title, const std::string& text) override {
        shown.push_back(title + ": " + text);
    }
};

class RealLibraries : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(loader.ZagruzitBiblioteki(biblioteki::kProbeStore)) << boxes.shown.size();
        const auto& api = loader.probeStore();
        ASSERT_TRUE(isTrue(api.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32)));
        ASSERT_TRUE(isTrue(api.VibratDatchikPoIndeksu(0)));
        selection.probeCount = 1;
        selection.current = api.PoluchitVibranniyDatchik();
        ASSERT_NE(selection.current, nullptr);
    }
    void TearDown() override { loader.VigruzitBiblioteki(biblioteki::kAllSlots); }

    NoBoxes boxes;
    biblioteki::Biblioteki loader{biblioteki::systemPlatform(), boxes};
    ProbeSelection selection;
};

TEST_F(RealLibraries, CyrillicTextsAndListsSurviveTheStoreAndAProbeFile) {
    const auto& store = loader.probeStore();
    FakeText cbProizvoditel, cbModel, cbNazvanie, cbCena, cbData;
    FakeLines mPribori, mSPO;
    const auto today = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7};
    IdentificationPage ident(selection, store,
                             {&cbProizvoditel, &cbModel, &cbNazvanie, &cbCena, &mPribori, &cbData},
                             UserLocale{}, [today] { return today; });
    PreprocessingPage preprocessing(selection, store, mSPO);

    cbProizvoditel.setText("НПО «Эхо-Скан»");
    cbModel.setText("П121-5,0-65°");
    cbNazvanie.setText("Наклонный совмещённый");
    cbCena.setText("-12");
    cbData.setText("07.12.2026");
    mPribori.lines = {"УД2-70", "", "Ёлка ™"};
    mSPO.lines = {"", "Фильтр ВЧ"};
    ident.tbIdentifikacionnayaInformaciyaHide();
    preprocessing.tbObrabotkaHide();
    // Storing twice releases the old values first and keeps one copy.
    ident.tbIdentifikacionnayaInformaciyaHide();

    const auto file =
        std::filesystem::temp_directory_path() /
        ("pages_real_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".dt");
    std::filesystem::remove(file);
    ASSERT_TRUE(isTrue(store.SohranitDatchik(file.string().c_str())));
    store.InicializirovatDatchik();
    ident.tbIdentifikacionnayaInformaciyaShow();
    EXPECT_EQ(cbProizvoditel.text(), "");
    ASSERT_TRUE(isTrue(store.ZagruzitDatchik(file.string().c_str(), 0)));
    selection.current = store.PoluchitVibranniyDatchik();
    std::filesystem::remove(file);

    ident.tbIdentifikacionnayaInformaciyaShow();
    preprocessing.tbObrabotkaShow();
    EXPECT_EQ(cbProizvoditel.text(), "НПО «Эхо-Скан»");
    EXPECT_EQ(cbModel.text(), "П121-5,0-65°");
    EXPECT_EQ(cbNazvanie.text(), "Наклонный совмещённый");
    EXPECT_EQ(cbCena.text(), "-12");
    EXPECT_EQ(cbData.text(), "07.12.2026");
    EXPECT_EQ(mPribori.lines, (std::vector<std::string>{"УД2-70", "", "Ёлка ™"}));
    EXPECT_EQ(mSPO.lines, (std::vector<std::string>{"", "Фильтр ВЧ"}));
    EXPECT_TRUE(boxes.shown.empty());
}

#ifdef PROBE_SAMPLE_SURFACES
TEST_F(RealLibraries, SampleSurfaceFileIsListedIntoTheNameFields) {
    LoaderSurfaceLibraries surfaces(loader);
    FakeText cbIFsP, cbIIP, cbIIIP, cbIIPP;
    FakeList scaleList(16);
    ModelObjectsPage page(selection, loader.probeStore(), surfaces,
                          {&cbIFsP, &cbIIP, &cbIIIP, &cbIIPP, &scaleList});
    cbIFsP.setText(PROBE_SAMPLE_SURFACES);
    cbIIP.setText("Излучающая поверхность");
    scaleList.setPosition(9);
    page.tsObektiHide();
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown.front();
    ASSERT_GE(cbIIP.items.size(), 3u);
    EXPECT_EQ(cbIIP.items[0], "Излучающая поверхность");
    EXPECT_EQ(cbIIIP.items, cbIIP.items);
    EXPECT_EQ(cbIIP.text(), "Излучающая поверхность");
    EXPECT_EQ(selection.current->MasshtabProstranstva, -3);
}
#endif

}  // namespace
}  // namespace probe
