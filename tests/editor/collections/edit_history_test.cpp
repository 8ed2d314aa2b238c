// Undo and redo of stored changes, on a fake probe store of several slots: steps in order, across
// probes, the page shown after each, and a new change ending what could be redone.
#include "editor/lifecycle/edit_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_probe_store.h"

namespace {

struct CountingPage : probe::ActivePage {
    probe::ProbeSelection* selection = nullptr;
    std::vector<std::string> calls;
    std::function<void()> onLoad;  // what the page's load stores back, if anything
    void storeActivePage() override { calls.push_back("store"); }
    void loadActivePage() override {
        calls.push_back("load " + std::to_string(selection->currentIndex));
        if (onLoad) onLoad();
    }
};

class EditHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeStore.allocate(2);
        selection.probeCount = 2;
        choose(0);
        page.selection = &selection;
        history.clear();
    }
    void choose(std::uint32_t i) {
        selection.currentIndex = i;
        api.VibratDatchikPoIndeksu(i);
        selection.current = api.PoluchitVibranniyDatchik();
    }

    fake::ProbeStore fakeStore;
    contracts::ProbeStoreApi api = fakeStore.api();
    probe::ProbeSelection selection;
    CountingPage page;
    lifecycle::EditHistory history{api, selection, page, 12};
};

TEST_F(EditHistoryTest, TenChangesAreUndoneOneByOneAndRedone) {
    for (int i = 1; i <= 10; ++i) {
        selection.current->Cena = i * 100;
        EXPECT_TRUE(history.note());
        EXPECT_FALSE(history.note()) << "a store without a change is no step";
    }
    EXPECT_EQ(history.undoSteps(), 10u);
    for (int i = 9; i >= 0; --i) {
        history.undo();
        EXPECT_EQ(selection.current->Cena, i * 100);
        EXPECT_EQ(page.calls.back(), "load 0");
    }
    EXPECT_FALSE(history.canUndo());
    history.undo();  // nothing left: no change
    EXPECT_EQ(selection.current->Cena, 0);
    for (int i = 1; i <= 10; ++i) {
        history.redo();
        EXPECT_EQ(selection.current->Cena, i * 100);
    }
    EXPECT_FALSE(history.canRedo());

    // A change after an undo ends the steps that could be redone.
    history.undo();
    selection.current->Cena = 7;
    history.redo();  // stores the page first: the change is a step, nothing is redone
    EXPECT_EQ(selection.current->Cena, 7);
    EXPECT_FALSE(history.canRedo());
    history.undo();
    EXPECT_EQ(selection.current->Cena, 900);
}

TEST_F(EditHistoryTest, StepsReturnToTheirProbeAndTheOldestGoBeyondTheLimit) {
    selection.current->Cena = 1;
    history.note();
    choose(1);
    history.follow();
    selection.current->Cena = 2;
    history.note();
    choose(0);
    history.follow();

    history.undo();  // the change of probe 1: it becomes the current probe again
    EXPECT_EQ(selection.currentIndex, 1u);
    EXPECT_EQ(selection.current->Cena, 0);
    EXPECT_EQ(page.calls.back(), "load 1");
    history.undo();
    EXPECT_EQ(selection.currentIndex, 0u);
    EXPECT_EQ(selection.current->Cena, 0);

    // A page that stores what its load showed makes no step of it.
    page.onLoad = [this] {
        selection.current->Cena += 0;
        history.note();
    };
    history.redo();
    EXPECT_TRUE(history.canRedo());

    history.clear();
    for (int i = 1; i <= 20; ++i) {
        selection.current->Cena = i;
        history.note();
    }
    EXPECT_EQ(history.undoSteps(), 12u);
    while (history.canUndo()) history.undo();
    EXPECT_EQ(selection.current->Cena, 8);
}

}  // namespace
