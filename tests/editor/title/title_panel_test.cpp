#include "editor/title/title_panel.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/title/about_texts.h"

using title::TitlePanel;

namespace {

struct FakeLabel : title::TitleLabel {
    std::string caption, fontName;
    bool bold = false, centred = false, autoSize = false, wordWrap = false, inserted = false;
    bool shown = true;
    int size = 0, left = -1, top = -1;
    int naturalWidth = 101;  // the width auto-sizing gives
    std::function<void()> click;

    void setCaption(const std::string& t) override { caption = t; }
    void setBold() override { bold = true; }
    void setFontName(const std::string& n) override { fontName = n; }
    void setCentred() override { centred = true; }
    void setFontSize(int p) override { size = p; }
    void setAutoSize(bool on) override { autoSize = on; }
    void setWordWrap(bool on) override { wordWrap = on; }
    int width() const override { return autoSize ? naturalWidth : 65; }
    int height() const override { return 10 + size; }
    void setLeft(int x) override { left = x; }
    void setTop(int y) override { top = y; }
    void setClickHandler(std::function<void()> h) override { click = std::move(h); }
    void insertIntoPanel() override { inserted = true; }
    void setShown(bool s) override { shown = s; }
};

struct FakePanels : title::TitlePanelUi {
    bool mainPanelShown = true, titlePanelShown = false;
    int width = 754;
    std::vector<std::unique_ptr<FakeLabel>> labels;

    void setMainPanelVisible(bool v) override { mainPanelShown = v; }
    void setTitlePanelVisible(bool v) override { titlePanelShown = v; }
    int titlePanelWidth() const override { return width; }
    title::TitleLabel& createLabel() override {
        labels.push_back(std::make_unique<FakeLabel>());
        return *labels.back();
    }
};

class TitlePanelTest : public ::testing::Test {
  protected:
    FakePanels ui;
    TitlePanel panel{ui};
};

TEST_F(TitlePanelTest, AboutLinesFollowTheLayoutTableAndAreCentred) {
    panel.N3Click();
    EXPECT_TRUE(ui.titlePanelShown);
    EXPECT_FALSE(ui.mainPanelShown);
    ASSERT_EQ(ui.labels.size(), 11u);

    int y = title::kFirstTop;
    for (std::size_t k = 0; k < 11; ++k) {
        const FakeLabel& l = *ui.labels[k];
        const title::LineLayout& row = title::kLineLayout[k];
        y += row.gap;
        EXPECT_EQ(l.top, y) << "line " << k + 1;
        y += l.height();
        EXPECT_EQ(l.caption, title::kAboutTexts[k]);
        EXPECT_EQ(l.left, 327);  // centred on 377 with the auto-sized width 101
        EXPECT_EQ(l.size, row.size);
        EXPECT_EQ(l.bold, row.bold);
        EXPECT_EQ(l.fontName, row.smallFont ? "Small Fonts" : "");
        EXPECT_TRUE(l.centred && l.wordWrap && l.inserted);
    }
    // Lines 7 and 10 follow the line before without a gap.
    EXPECT_EQ(ui.labels[6]->top, ui.labels[5]->top + ui.labels[5]->height());
    EXPECT_EQ(ui.labels[9]->top, ui.labels[8]->top + ui.labels[8]->height());
    EXPECT_EQ(ui.labels[0]->top, 44);
}

TEST_F(TitlePanelTest, EachSetIsBuiltOnceAndBothCoexist) {
    panel.N3Click();
    panel.pnlNazvanieClick();
    panel.N3Click();
    EXPECT_EQ(ui.labels.size(), 11u);
    EXPECT_TRUE(ui.titlePanelShown);

    panel.bnDataKeyUp(title::kVkNumpad5);
    panel.bnDataKeyUp(title::kVkNumpad5);
    ASSERT_EQ(ui.labels.size(), 22u);
    const auto hidden = TitlePanel::restoreHiddenTexts();
    EXPECT_EQ(ui.labels[11]->caption, hidden[0]);
    EXPECT_EQ(ui.labels[11]->top, ui.labels[0]->top);  // its own positions, from the same start
    // Only the set asked for is visible; the other stays on the panel, hidden.
    EXPECT_FALSE(ui.labels[0]->shown);
    EXPECT_TRUE(ui.labels[11]->shown);
    panel.N3Click();
    EXPECT_TRUE(ui.labels[0]->shown);
    EXPECT_FALSE(ui.labels[21]->shown);
}

TEST_F(TitlePanelTest, OnlyNumericKeypadFiveShowsTheHiddenLines) {
    for (int key : {9, 53, 100, 102, 13}) panel.bnDataKeyUp(key);
    EXPECT_FALSE(ui.titlePanelShown);
    EXPECT_TRUE(ui.labels.empty());
    panel.bnDataKeyUp(101);
    EXPECT_TRUE(ui.titlePanelShown);
}

TEST_F(TitlePanelTest, ClickOnAnyLineReturnsToTheEditor) {
    panel.N3Click();
    ASSERT_TRUE(ui.labels[4]->click);
    ui.labels[4]->click();
    EXPECT_TRUE(ui.mainPanelShown);
    EXPECT_FALSE(ui.titlePanelShown);
}

TEST_F(TitlePanelTest, OddPanelWidthRoundsTowardZero) {
    ui.width = 755;
    FakeLabel& l = static_cast<FakeLabel&>(panel.SozdatNadpis(755 / 2, 5, "x", 8, false, false));
    EXPECT_EQ(l.left, 377 - 50);
    EXPECT_EQ(l.top, 5);
}

}  // namespace
