#include "editor/collections/record_selection_model.h"

#include <gtest/gtest.h>

using collections::RecordSelectionModel;

namespace {

RecordSelectionModel withLines(int n) {
    RecordSelectionModel m;
    for (int i = 0; i < n; ++i) m.addLine("line " + std::to_string(i));
    return m;
}

TEST(RecordSelectionModelTest, NewDialogOpensInLoadMode) {
    RecordSelectionModel m = withLines(2);
    EXPECT_TRUE(m.multiSelect());  // before any activation too
    EXPECT_EQ(m.caption(), "Выбор записей");
    m.FormActivate();
    EXPECT_EQ(m.caption(), "Выбор записей для загрузки");
    EXPECT_TRUE(m.selectAllVisible());
    EXPECT_TRUE(m.multiSelect());
}

TEST(RecordSelectionModelTest, SelectAllMarksEveryLineAndNothingOnAnEmptyList) {
    RecordSelectionModel empty;
    empty.bnVidelitVseClick();
    EXPECT_EQ(empty.selectedCount(), 0u);

    RecordSelectionModel m = withLines(3);
    m.bnVidelitVseClick();
    EXPECT_EQ(m.selectedCount(), 3u);
    m.setSelected(1, false);
    m.FormActivate();  // load mode keeps the caller's marks
    EXPECT_TRUE(m.isSelected(0) && !m.isSelected(1) && m.isSelected(2));
}

TEST(RecordSelectionModelTest, SingleChoiceModeKeepsOneLineWhichIsTheFocusedOne) {
    RecordSelectionModel m = withLines(3);
    m.bnVidelitVseClick();
    m.setFocusedPosition(0);
    m.setLoadMode(false);
    m.FormActivate();
    EXPECT_EQ(m.caption(), "Выбор датчика");
    EXPECT_FALSE(m.selectAllVisible());
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

TEST(RecordSelectionModelTest, FocusOutsideTheListReadsMinusOne) {
    RecordSelectionModel m;
    m.setFocusedPosition(0);
    EXPECT_EQ(m.focusedPosition(), -1);
    m.addLine("x");
    m.setFocusedPosition(5);
    EXPECT_EQ(m.focusedPosition(), -1);
    m.setSelected(7, true);  // ignored
    EXPECT_EQ(m.selectedCount(), 0u);
}

}  // namespace
