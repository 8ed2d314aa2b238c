// The main window's lifecycle driven without widgets: the loader on real fixture libraries,
// the window and the active page as recording fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/lifecycle/edit_history.h"
#include "editor/lifecycle/lifecycle.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

namespace {

using testing_support::Box;
using testing_support::FolderPlatform;
using testing_support::RecordingBoxes;

// The window: every operation goes into one log, so the order between boxes and other steps
// shows. The loader's boxes go into the same log.
struct Log {
    std::vector<std::string> events;
    std::vector<Box> boxes;
};

class FakeWindow : public lifecycle::MainWindowOps {
  public:
    FakeWindow(Log& log, lifecycle::Lifecycle*& lifecycle) : log_(log), lifecycle_(lifecycle) {}

    lifecycle::Size screenSize() override { return {1024, 768}; }
    lifecycle::Size outerSize() override { return {760, 580}; }
    void moveWindow(lifecycle::Position p) override {
        log_.events.push_back("move " + std::to_string(p.left) + "," + std::to_string(p.top));
    }
    void messageBox(const std::string& title, const std::string& text) override {
        log_.events.push_back("box " + title);
        log_.boxes.push_back({title, text});
        // A modal box takes the activation; closing it gives it back to the window.
        if (lifecycle_ != nullptr) lifecycle_->FormActivate();
    }
    void bringToFront() override { log_.events.push_back("front"); }
    void closeWindow() override { log_.events.push_back("close"); }

  private:
    Log& log_;
    lifecycle::Lifecycle*& lifecycle_;
};

class LoggingBoxes : public biblioteki::MessageBoxes {
  public:
    explicit LoggingBoxes(Log& log) : log_(log) {}
    void show(const std::string& title, const std::string& text) override {
        log_.events.push_back("box " + title);
        log_.boxes.push_back({title, text});
    }

  private:
    Log& log_;
};

class FakePage : public probe::ActivePage {
  public:
    FakePage(Log& log, const biblioteki::Biblioteki& loader) : log_(log), loader_(loader) {}
    void storeActivePage() override {
        log_.events.push_back(loader_.isLoaded(biblioteki::kProbeStore) ? "store"
                                                                        : "store after unload");
    }
    void loadActivePage() override { log_.events.push_back("load"); }

  private:
    Log& log_;
    const biblioteki::Biblioteki& loader_;
};

struct Editor {
    explicit Editor(const std::string& folder)
        : platform(std::string(LOADER_FIXTURE_DIR) + "/" + folder) {}

    Log log;
    FolderPlatform platform;
    LoggingBoxes boxes{log};
    biblioteki::Biblioteki loader{platform, boxes};
    probe::ProbeSelection selection;
    lifecycle::Lifecycle* active = nullptr;
    FakeWindow window{log, active};
    lifecycle::Lifecycle lifecycle{selection, loader, window};
    FakePage page{log, loader};
};

TEST(PlacementTest, WindowSitsAtTheRightEdgeFortyPixelsAboveTheBottom) {
    const lifecycle::Position p = lifecycle::placeAtRightEdge({1024, 768}, {760, 580});
    EXPECT_EQ(p.left, 264);
    EXPECT_EQ(p.top, 148);
}

TEST(LifecycleTest, StartWithProbeStoreSelectsTheFirstRecordSilently) {
    Editor e("full");
    e.active = &e.lifecycle;
    e.lifecycle.FormCreate();
    e.lifecycle.FormActivate();

    EXPECT_EQ(e.selection.probeCount, 1u);
    EXPECT_EQ(e.selection.currentIndex, 0u);
    EXPECT_NE(e.selection.current, nullptr);
    EXPECT_TRUE(e.log.boxes.empty());
    EXPECT_EQ(e.log.events, std::vector<std::string>{"move 264,148"});
    e.lifecycle.FormDestroy();
}

TEST(LifecycleTest, StartWithoutProbeStoreShowsTwoBoxesOnceAndCloses) {
    Editor e("no_tables");  // a folder without probestore
    e.active = &e.lifecycle;
    e.lifecycle.FormCreate();
    EXPECT_EQ(e.selection.probeCount, 0u);
    EXPECT_EQ(e.selection.current, nullptr);

    // The window is shown and activated; the box re-activates it.
    e.lifecycle.FormActivate();
    e.lifecycle.FormActivate();

    ASSERT_EQ(e.log.boxes.size(), 2u);
    EXPECT_EQ(e.log.boxes[0].title, "Системная ошибка");
    EXPECT_EQ(e.log.boxes[0].text.rfind(
                  "Загрузка библиотек(и)\r\nprobestore.dll\r\nне была завершена. \r\n", 0),
              0u);
    EXPECT_EQ(e.log.boxes[1],
              (Box{"Ошибка редактора",
                   "Для нормальной работы приложения библиотека \r\nprobestore.dll\r\nдолжна быть "
                   "открыта."}));
    EXPECT_EQ(e.log.events, (std::vector<std::string>{"move 264,148", "box Системная ошибка",
                                                      "front", "box Ошибка редактора", "close"}));

    // Closing destroys the window: no page is stored into a record that does not exist.
    e.lifecycle.setActivePage(&e.page);
    e.lifecycle.FormDestroy();
    EXPECT_EQ(e.log.events.back(), "close");
}

TEST(LifecycleTest, ProbeStoreWithoutAFunctionAlsoEndsTheEditor) {
    Editor e("no_fifth");
    e.lifecycle.FormCreate();
    e.lifecycle.FormActivate();
    ASSERT_EQ(e.log.boxes.size(), 2u);
    EXPECT_NE(e.log.boxes[0].text.find("Не найдены необходимые функции."), std::string::npos);
    EXPECT_EQ(e.log.boxes[1].title, "Ошибка редактора");
    EXPECT_EQ(e.selection.current, nullptr);
}

TEST(LifecycleTest, InitialiseResetsTheRecordAndReloadsOnlyAnActivePage) {
    Editor e("full");
    e.lifecycle.FormCreate();
    ASSERT_NE(e.selection.current, nullptr);
    ProbeRecord* record = e.selection.current;

    record->Cena = 1500;
    e.lifecycle.miInicializirovatClick();  // no active page
    EXPECT_EQ(record->Cena, 0);
    EXPECT_EQ(e.selection.current, record);

    e.lifecycle.setActivePage(&e.page);
    record->Cena = 7;
    e.lifecycle.miInicializirovatClick();
    EXPECT_EQ(record->Cena, 0);
    // The page's unsaved edits are dropped: it is loaded, never stored first.
    EXPECT_EQ(e.log.events.back(), "load");
    EXPECT_EQ(std::count(e.log.events.begin(), e.log.events.end(), "store"), 0);
    e.lifecycle.FormDestroy();
}

TEST(LifecycleTest, InitialiseIsOneStepOfTheEditHistory) {
    Editor e("full");
    e.lifecycle.FormCreate();
    ProbeRecord* record = e.selection.current;
    ASSERT_NE(record, nullptr);
    lifecycle::EditHistory history(e.loader.probeStore(), e.selection, e.page);
    history.clear();
    e.lifecycle.miInicializirovatClick();  // an empty probe: nothing to undo
    EXPECT_FALSE(history.note());

    e.lifecycle.setActivePage(&e.page);
    record->Cena = 1500;
    record->RKIP1 = 0.25;
    EXPECT_TRUE(history.note());
    e.lifecycle.miInicializirovatClick();
    EXPECT_TRUE(history.note());
    e.log.events.clear();
    history.undo();
    EXPECT_EQ(record->Cena, 1500);
    EXPECT_EQ(record->RKIP1, 0.25);
    EXPECT_EQ(e.log.events, (std::vector<std::string>{"store", "load"}));
    history.redo();
    EXPECT_EQ(record->Cena, 0);
    e.lifecycle.FormDestroy();
}

TEST(WindowPlacement, OpensAtTheRightEdgeFirstAndWhereItWasSinceWhollyInTheFreeArea) {
    using lifecycle::placeOnScreen;
    using lifecycle::Rect;
    // First start on 1024x768: right edge at 1024, bottom 40 above the screen's bottom.
    const Rect screen{0, 0, 1024, 768};
    const Rect first = placeOnScreen(screen, screen, std::nullopt, {760, 580});
    EXPECT_EQ(first.left + first.width, 1024);
    EXPECT_EQ(first.top + first.height, 728);
    EXPECT_EQ(first.left, 264);
    // A panel at the right and one 60 high at the bottom: pulled into what is left.
    const Rect panels = placeOnScreen(screen, {0, 0, 980, 708}, std::nullopt, {760, 580});
    EXPECT_EQ(panels.left + panels.width, 980);
    EXPECT_EQ(panels.top + panels.height, 708);
    // Too large for the screen (scale 2: 1280x800 gives 640x400): shrunk into it.
    const Rect scaled =
        placeOnScreen({0, 0, 640, 400}, {0, 0, 640, 400}, std::nullopt, {1520, 1200});
    EXPECT_EQ(scaled.left, 0);
    EXPECT_EQ(scaled.top, 0);
    EXPECT_EQ(scaled.width, 640);
    EXPECT_EQ(scaled.height, 400);
    // The last place, pulled back onto a second screen it partly left.
    const Rect second{1280, 0, 1920, 1080};
    const Rect kept = placeOnScreen(second, second, Rect{3000, -50, 900, 700}, {760, 600});
    EXPECT_EQ(kept.left, 1280 + 1920 - 900);
    EXPECT_EQ(kept.top, 0);
    EXPECT_EQ(kept.width, 900);
}

TEST(LifecycleTest, DestroyStoresThePageBeforeFreeingEveryLibraryOnce) {
    Editor e("full");
    e.lifecycle.FormCreate();
    ASSERT_TRUE(e.loader.ZagruzitBiblioteki(biblioteki::kWaveLib));
    e.lifecycle.setActivePage(&e.page);

    e.lifecycle.FormDestroy();
    e.lifecycle.FormDestroy();
    EXPECT_EQ(std::count(e.log.events.begin(), e.log.events.end(), "store"), 1);
    EXPECT_EQ(e.loader.notLoadedMask(), 0xFFFFFFFFu);
    EXPECT_EQ(std::count(e.platform.calls.begin(), e.platform.calls.end(), "free"), 2);
    EXPECT_EQ(e.selection.current, nullptr);
}

TEST(LifecycleTest, ExitClosesTheWindow) {
    Editor e("full");
    e.lifecycle.miVihodClick();
    EXPECT_EQ(e.log.events, std::vector<std::string>{"close"});
}

}  // namespace
