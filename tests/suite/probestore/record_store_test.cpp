#include "suite/probestore/record_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

// The registry behind the text store under the churn of loading records: blocks made and released
// in random order, thousands at once (so the table grows and entries move back on deletion), each
// answered as the store's own exactly while it lives, line arrays keeping their lengths.
TEST(TextStoreTest, RegistryKnowsEveryLiveBlockThroughGrowthAndRandomReleases) {
    probestore::TextStore texts;
    std::mt19937 random(7);
    std::vector<char*> live;
    std::vector<std::pair<char**, std::uint32_t>> arrays;
    std::vector<std::uintptr_t> released;  // addresses only: never dereferenced
    for (int round = 0; round < 20000; ++round) {
        const unsigned what = random() % 4;
        if (what < 2 || live.empty()) {
            live.push_back(texts.copyText(std::string(random() % 40, 'x')));
        } else if (what == 2) {
            const std::size_t i = random() % live.size();
            released.push_back(reinterpret_cast<std::uintptr_t>(live[i]));
            texts.releaseText(live[i]);
            live[i] = live.back();
            live.pop_back();
        } else if (arrays.size() < 50 || random() % 2 == 0) {
            const std::uint32_t n = 1 + random() % 5;
            arrays.push_back({texts.newLineArray(n), n});
        } else {
            const std::size_t i = random() % arrays.size();
            texts.releaseLineArray(arrays[i].first);
            arrays[i] = arrays.back();
            arrays.pop_back();
        }
    }
    EXPECT_EQ(texts.liveBlocks(), live.size() + arrays.size());
    for (char* t : live) EXPECT_TRUE(texts.ownsText(t));
    for (const auto& [lines, n] : arrays) {
        Spisok l{lines, 1000};
        EXPECT_EQ(texts.readableLines(l), n);
    }
    std::size_t reused = 0;
    for (std::uintptr_t r : released)
        reused += std::count(live.begin(), live.end(), reinterpret_cast<char*>(r)) != 0;
    std::size_t ownedAfterRelease = 0;
    for (std::uintptr_t r : released)
        ownedAfterRelease += texts.ownsText(reinterpret_cast<const char*>(r));
    EXPECT_EQ(ownedAfterRelease, reused);  // a released block is ours again only when reused
    for (char* t : live) texts.releaseText(t);
    for (char* t : live) texts.releaseText(t);  // a second release frees nothing
    for (const auto& [lines, n] : arrays) texts.releaseLineArray(lines);
    EXPECT_EQ(texts.liveBlocks(), 0u);
}
