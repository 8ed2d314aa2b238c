#include "suite/probestore/record_store.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/suite/probestore/test_texts.h"

using probestore::RecordStore;
using probestore_test::lineOf;
using probestore_test::Lines;

namespace {

void setText(RecordStore& s, Stroka& field, const char* value) {
    Lines l{{value}};
    ASSERT_TRUE(s.texts().createTextCell(&field, lineOf, &l));
}

bool allZero(const ProbeRecord& r) {
    ProbeRecord zero;
    std::memset(&zero, 0, sizeof zero);
    return std::memcmp(&r, &zero, sizeof r) == 0;
}

TEST(RecordStoreTest, AcceptsTheProbeRecordUnderBothSizesAndRefusesOthers) {
    RecordStore s;
    EXPECT_TRUE(s.allocate(2, kProbeRecordSize32));
    EXPECT_TRUE(s.allocate(3, sizeof(ProbeRecord)));
    EXPECT_TRUE(s.allocate(4, 0));
    EXPECT_EQ(s.count(), 4u);
    EXPECT_FALSE(s.allocate(5, 100));
    EXPECT_FALSE(s.allocate(0xFFFFFFFFu, 0));
    EXPECT_EQ(s.count(), 4u);
}

// A re-allocation replaces the collection: a slot whose record then fails to load from a file
// must not go on showing the probe that was there before.
TEST(RecordStoreTest, ReallocationGivesZeroFilledSlotsAndReleasesTheOldTexts) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(1, kProbeRecordSize32));
    ASSERT_TRUE(s.selectIndex(0));
    s.selected()->Cena = 1500;
    setText(s, s.selected()->Model, "П121");
    ASSERT_TRUE(s.allocate(3, 0));
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(s.selectIndex(i));
        EXPECT_TRUE(allZero(*s.selected()));
    }
}

TEST(RecordStoreTest, ShrinkingReleasesTheTextsOfDroppedRecords) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(3, kProbeRecordSize32));
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(s.selectIndex(i));
        setText(s, s.selected()->Nazvanie, "Датчик");
        Lines l{{"А", "Б"}};
        ASSERT_TRUE(s.texts().createListCell(&s.selected()->Pribori, lineOf, 2, &l));
    }
    EXPECT_EQ(s.texts().liveBlocks(), 3u * 4u);
    ASSERT_TRUE(s.allocate(1, 0));
    EXPECT_EQ(s.texts().liveBlocks(), 0u);  // the kept slot is a fresh one too
    ASSERT_TRUE(s.allocate(0, 0));
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
}

TEST(RecordStoreTest, FailedSelectionLeavesNothingSelected) {
    RecordStore s;
    EXPECT_EQ(s.selected(), nullptr);
    ASSERT_TRUE(s.allocate(2, kProbeRecordSize32));
    ASSERT_TRUE(s.selectIndex(1));
    EXPECT_NE(s.selected(), nullptr);
    EXPECT_FALSE(s.selectIndex(2));
    EXPECT_EQ(s.selected(), nullptr);
    EXPECT_FALSE(s.resetSelected());

    // The editor's state after a load that emptied the collection.
    ASSERT_TRUE(s.allocate(0, 0));
    EXPECT_FALSE(s.selectIndex(0xFFFFFFFFu));
    EXPECT_EQ(s.selected(), nullptr);
}

TEST(RecordStoreTest, ShrinkingPastTheSelectedSlotDeselectsButKeepsTheScratchRecord) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(3, kProbeRecordSize32));
    ASSERT_TRUE(s.selectIndex(2));
    ASSERT_TRUE(s.allocate(2, 0));
    EXPECT_EQ(s.selected(), nullptr);

    s.selectScratch();
    ProbeRecord* scratch = s.selected();
    ASSERT_NE(scratch, nullptr);
    ASSERT_TRUE(s.allocate(0, 0));
    EXPECT_EQ(s.selected(), scratch);
    ASSERT_TRUE(s.selectIndex(0) == false);
}

TEST(RecordStoreTest, ScratchRecordLiesApartFromTheCollection) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(1, kProbeRecordSize32));
    s.selectScratch();
    s.selected()->Cena = 7;
    ASSERT_TRUE(s.selectIndex(0));
    EXPECT_EQ(s.selected()->Cena, 0);
}

TEST(RecordStoreTest, ResetReleasesTextsAndZeroFills) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(1, kProbeRecordSize32));
    ASSERT_TRUE(s.selectIndex(0));
    ProbeRecord* r = s.selected();
    setText(s, r->IFsP, "probe_surfaces.pv");
    Lines l{{"<частота = 5 МГц>"}};
    ASSERT_TRUE(s.texts().createListCell(&r->Parametri, lineOf, 1, &l));
    r->reserved2[5] = 9;
    r->MU = 12.5;
    ASSERT_TRUE(s.resetSelected());
    EXPECT_TRUE(allZero(*r));
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
}

TEST(RecordStoreTest, SwapExchangesWholeRecords) {
    RecordStore s;
    ASSERT_TRUE(s.allocate(2, kProbeRecordSize32));
    ASSERT_TRUE(s.selectIndex(0));
    setText(s, s.selected()->Model, "first");
    ASSERT_TRUE(s.selectIndex(1));
    setText(s, s.selected()->Model, "second");
    ASSERT_TRUE(s.swap(0, 1));
    EXPECT_STREQ(s.selected()->Model.text, "first");
    EXPECT_TRUE(s.swap(1, 1));
    EXPECT_FALSE(s.swap(0, 2));
    ASSERT_TRUE(s.selectIndex(0));
    EXPECT_STREQ(s.selected()->Model.text, "second");
}

TEST(TextStoreTest, CopiesEachLineBeforeAskingForTheNext) {
    RecordStore s;
    Spisok list{};
    Lines l{{"Первая строка", "2", "третья, самая длинная строка списка"}};
    ASSERT_TRUE(s.texts().createListCell(&list, lineOf, 3, &l));
    EXPECT_EQ(l.calls, 3);
    ASSERT_EQ(list.count, 3u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(list.lines[i], l.lines[i]);
    EXPECT_TRUE(s.texts().releaseListCell(&list));
    EXPECT_EQ(list.lines, nullptr);
    EXPECT_EQ(list.count, 0u);
}

TEST(TextStoreTest, NullCallbackResultsReadAsEmptyTexts) {
    RecordStore s;
    Stroka text{};
    Spisok list{};
    ASSERT_TRUE(s.texts().createTextCell(&text, probestore_test::nullText, nullptr));
    EXPECT_STREQ(text.text, "");
    ASSERT_TRUE(s.texts().createListCell(&list, probestore_test::nullText, 2, nullptr));
    ASSERT_EQ(list.count, 2u);
    EXPECT_STREQ(list.lines[1], "");
    s.texts().releaseTextCell(&text);
    s.texts().releaseListCell(&list);
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
}

TEST(TextStoreTest, RefusesMissingCallbackAndUnboundedCountsLeavingTheCellEmpty) {
    RecordStore s;
    Stroka text{};
    Spisok list{};
    EXPECT_FALSE(s.texts().createTextCell(&text, nullptr, nullptr));
    EXPECT_FALSE(s.texts().createTextCell(nullptr, probestore_test::nullText, nullptr));
    EXPECT_FALSE(s.texts().createListCell(&list, probestore_test::nullText, 0xFFFFFFFFu, nullptr));
    EXPECT_FALSE(s.texts().createListCell(&list, nullptr, 1, nullptr));
    EXPECT_EQ(text.text, nullptr);
    EXPECT_EQ(list.lines, nullptr);
    EXPECT_TRUE(s.texts().createListCell(&list, nullptr, 0, nullptr));
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
}

TEST(TextStoreTest, RecreatingWithoutReleaseDoesNotLeakAndForeignPointersAreNotFreed) {
    RecordStore s;
    Stroka text{};
    setText(s, text, "a");
    setText(s, text, "b");  // no UdalitStroku in between
    EXPECT_EQ(s.texts().liveBlocks(), 1u);
    s.texts().releaseTextCell(&text);

    char foreign[] = "not ours";
    Stroka cell{foreign};
    EXPECT_TRUE(s.texts().releaseTextCell(&cell));
    EXPECT_EQ(cell.text, nullptr);
    EXPECT_STREQ(foreign, "not ours");

    // A list whose count was changed behind the store's back is freed by its real length.
    Spisok list{};
    Lines l{{"x", "y"}};
    ASSERT_TRUE(s.texts().createListCell(&list, lineOf, 2, &l));
    list.count = 1000;
    EXPECT_EQ(s.texts().readableLines(list), 2u);
    s.texts().releaseListCell(&list);
    EXPECT_EQ(s.texts().liveBlocks(), 0u);
}

}  // namespace
