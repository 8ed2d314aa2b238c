#include "editor/collections/vibor_model.h"

#include <gtest/gtest.h>

using collections::ViborModel;

namespace {

ViborModel withLines(int n) {
    ViborModel m;
    for (int i = 0; i < n; ++i) m.addLine("line " + std::to_string(i));
    return m;
}

TEST(ViborModelTest, NewDialogOpensInLoadMode) {
    ViborModel m = withLines(2);
    EXPECT_TRUE(m.multiSelect());  // before any activation too
    EXPECT_EQ(m.caption(), "Выбор записей");
    m.FormActivate();
    EXPECT_EQ(m.caption(), "Выбор записей для загрузки");
    EXPECT_TRUE(m.videlitVseVisible());
    EXPECT_TRUE(m.multiSelect());
}

TEST(ViborModelTest, SelectAllMarksEveryLineAndNothingOnAnEmptyList) {
    ViborModel empty;
    empty.bnVidelitVseClick();
    EXPECT_EQ(empty.selectedCount(), 0u);

    ViborModel m = withLines(3);
    m.bnVidelitVseClick();
    EXPECT_EQ(m.selectedCount(), 3u);
    m.setSelected(1, false);
    m.FormActivate();  // load mode keeps the caller's marks
    EXPECT_TRUE(m.isSelected(0) && !m.isSelected(1) && m.isSelected(2));
}

TEST(ViborModelTest, SingleChoiceModeKeepsOneLineWhichIsTheFocusedOne) {
    ViborModel m = withLines(3);
    m.bnVidelitVseClick();
    m.setFocusedPosition(0);
    m.setLoadMode(false);
    m.FormActivate();
    EXPECT_EQ(m.caption(), "Выбор датчика");
    EXPECT_FALSE(m.videlitVseVisible());
    EXPECT_FALSE(m.multiSelect());
    EXPECT_EQ(m.selectedCount(), 1u);
    EXPECT_TRUE(m.isSelected(0));

    m.setSelected(2, true);
    EXPECT_EQ(m.focusedPosition(), 2);
    EXPECT_EQ(m.selectedCount(), 1u);
    m.FormActivate();  // a second activation changes nothing
    EXPECT_EQ(m.focusedPosition(), 2);
    EXPECT_TRUE(m.isSelected(2));
}

TEST(ViborModelTest, FocusOutsideTheListReadsMinusOne) {
    ViborModel m;
    m.setFocusedPosition(0);
    EXPECT_EQ(m.focusedPosition(), -1);
    m.addLine("x");
    m.setFocusedPosition(5);
    EXPECT_EQ(m.focusedPosition(), -1);
    m.setSelected(7, true);  // ignored
    EXPECT_EQ(m.selectedCount(), 0u);
}

}  // namespace
