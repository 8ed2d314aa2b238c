#include "editor/collections/surface_viewing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using collections::SurfaceCombo;
using collections::SurfaceViewing;
using collections::ViewingState;

namespace {

struct Surface {
    std::string name;  // cp1251
    std::int32_t p1 = 0;
    std::uint32_t p2 = 0;
    bool readable = true;
};

struct FakeLibraries : collections::SurfaceLibraries {
    std::vector<Surface> file;
    std::string fileName = "s.pv";
    bool keeperArchiverLoad = true, viewerLoad = true, roomForOne = true;
    bool viewerLoaded = false;
    std::string recordName;  // the keeper's single record
    char record[16] = {};
    contracts::SurfaceSetDescriptor set{record, 0, sizeof record};
    std::vector<std::uint32_t> read;  // surfaces read into record 0
    std::vector<std::uint32_t> flags;
    std::vector<contracts::SurfaceSetDescriptor*> shown;  // OpredelitPoverhnosti arguments
    std::int32_t mark = 0;

    bool ZagruzitBiblioteki(std::uint32_t mask) override {
        if (mask == collections::kMaskViewer) {
            viewerLoaded = viewerLoad;
            return viewerLoad;
        }
        return keeperArchiverLoad;
    }
    void VigruzitBiblioteki(std::uint32_t mask) override {
        if (mask & collections::kMaskViewer) viewerLoaded = false;
    }
    bool VidelitPamyatDlyaPoverhnostey(std::uint32_t count) override {
        if (!roomForOne || count != 1) return false;
        set.count = 1;
        return true;
    }
    bool PodgotovitPoverhnost(void* r, std::int32_t, std::uint32_t) override { return r == record; }
    contracts::SurfaceSetDescriptor* PoluchitSpisokPoverhnostey() override { return &set; }
    void* PoluchitPoverhnostPoIndeksu(std::uint32_t i) override {
        return i < set.count ? record : nullptr;
    }
    const char* PoluchitImyaPoverhnosti(void* r) override {
        return r == record ? recordName.c_str() : nullptr;
    }
    bool OpredelitPriznakPoverhnosti(void*, std::int32_t v) override {
        mark = v;
        return true;
    }
    std::vector<std::string> counted;  // file names the archiver was asked to count
    std::int32_t ZagruzitKolichestvoPoverhnostey(const char* f) override {
        counted.emplace_back(f);
        return f == fileName ? static_cast<std::int32_t>(file.size()) : 0;
    }
    std::int32_t ZagruzitParametr1Poverhnosti(const char*, std::uint32_t i) override {
        return file.at(i).p1;
    }
    std::uint32_t ZagruzitParametr2Poverhnosti(const char*, std::uint32_t i) override {
        return file.at(i).p2;
    }
    bool ZagruzitPoverhnost(const char* f, void* r, std::uint32_t i) override {
        EXPECT_EQ(f, fileName);
        if (r != record || !file.at(i).readable) return false;
        read.push_back(i);
        recordName = file[i].name;
        return true;
    }
    void OpredelitFlagi(std::uint32_t f) override { flags.push_back(f); }
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor* s) override {
        shown.push_back(s);
        return true;
    }
};

struct FakeUi : collections::SurfaceViewingUi {
    bool mainShown = true;
    bool boxExists = false, boxShown = false, insideClose = false;
    int boxesCreated = 0;
    bool timer = false;
    std::function<void()> closeCallback;
    std::optional<std::string> surfaceFile;
    std::string combo[3];
    std::string ifspText;
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::vector<std::string> currentFolderOf;
    probe::SurfaceListing listing;  // what the page's store finds in the chosen file

    void hideMainForm() override { mainShown = false; }
    void showMainForm() override { mainShown = true; }
    void createWaitBox() override {
        ASSERT_FALSE(boxExists);
        boxExists = true;
        ++boxesCreated;
        closeCallback = nullptr;  // FormCreate clears it
    }
    void setWaitBoxCloseCallback(std::function<void()> c) override { closeCallback = c; }
    void showWaitBox() override { boxShown = true; }
    void destroyWaitBox() override {
        ASSERT_FALSE(insideClose) << "wait box destroyed inside its own close";
        boxExists = false;
    }
    void setTimerEnabled(bool e) override { timer = e; }
    std::optional<std::string> askSurfaceFileName() override { return surfaceFile; }
    void makeFolderCurrent(const std::string& f) override { currentFolderOf.push_back(f); }
    void showMessage(const std::string& text, const std::string& caption) override {
        EXPECT_EQ(caption, "Редактор ЖУВ");
        messages.push_back(text);
    }
    std::string comboText(SurfaceCombo c) override { return combo[static_cast<int>(c)]; }
    void setIFsPText(const std::string& t) override {
        ifspText = t;
        calls.push_back("setIFsPText");
    }
    probe::SurfaceListing cbIFsPExit() override {
        calls.push_back("cbIFsPExit");
        return listing;
    }

    // "Завершить": the box closes (hides) and calls its callback from inside FormClose.
    void pressFinish() {
        boxShown = false;
        insideClose = true;
        if (closeCallback) closeCallback();
        insideClose = false;
    }
};

class SurfaceViewingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ifsp = "s.pv";
        record.IFsP.text = ifsp.data();
        selection.current = &record;
        libs.file = {{"a", 1, 0}, {"b", 2, 0}, {"Излучатель", 3, 9}, {"d", 4, 0}, {"", 5, 0}};
        for (auto& s : libs.file) s.name = toCp1251(s.name);
    }
    static std::string toCp1251(const std::string& utf8);
    void expectEditing() {
        EXPECT_EQ(view.state(), ViewingState::editing);
        EXPECT_TRUE(ui.mainShown);
        EXPECT_FALSE(view.hasWaitBox());
        EXPECT_FALSE(ui.timer);
    }

    std::string ifsp;
    ProbeRecord record{};
    probe::ProbeSelection selection;
    FakeLibraries libs;
    FakeUi ui;
    SurfaceViewing view{libs, selection, ui};
};

}  // namespace

#include "platform/cp1251.h"

std::string SurfaceViewingTest::toCp1251(const std::string& utf8) {
    return platform::utf8ToCp1251(utf8);
}

namespace {

TEST_F(SurfaceViewingTest, SearchReadsUpToTheWantedSurfaceAndTakesItsFlags) {
    ui.combo[0] = "Излучатель";
    view.bnIIPClick();
    EXPECT_EQ(libs.read, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(libs.flags, (std::vector<std::uint32_t>{0x1004}));
    EXPECT_EQ(libs.mark, 1);
    ASSERT_EQ(libs.shown.size(), 1u);
    EXPECT_EQ(libs.shown[0], &libs.set);
    EXPECT_EQ(libs.set.count, 1u);
    EXPECT_EQ(view.state(), ViewingState::viewing);
    EXPECT_FALSE(ui.mainShown);
    EXPECT_TRUE(ui.boxExists && ui.boxShown);

    // A wanted surface whose second parameter is 0 selects the other flags.
    libs.file[2].p2 = 0;
    ui.pressFinish();
    view.tmZakritModalnuyuTimer();
    view.bnIIPClick();
    EXPECT_EQ(libs.flags.back(), 0x1007u);
}

TEST_F(SurfaceViewingTest, NamesMatchByteForByteAndEmptyMatchesOnlyEmpty) {
    ui.combo[1] = "излучатель";  // differs in case only
    view.bnIIIPClick();
    EXPECT_EQ(libs.read.size(), 5u);
    EXPECT_TRUE(libs.shown.empty());
    expectEditing();

    libs.read.clear();
    ui.combo[2] = "";
    view.bnIIPPClick();
    EXPECT_EQ(libs.read, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(view.state(), ViewingState::viewing);
}

TEST_F(SurfaceViewingTest, UnreadableSurfacesArePassedOver) {
    libs.file[1].readable = false;
    libs.file[1].name = "b";
    ui.combo[0] = "d";
    view.bnIIPClick();
    EXPECT_EQ(libs.read, (std::vector<std::uint32_t>{0, 2, 3}));
    EXPECT_EQ(view.state(), ViewingState::viewing);
}

TEST_F(SurfaceViewingTest, EarlyStopsLeaveTheEditorEditing) {
    ui.combo[0] = "a";
    selection.current = nullptr;  // no record
    view.bnIIPClick();
    selection.current = &record;
    record.IFsP.text = nullptr;  // no file name
    view.bnIIPClick();
    record.IFsP.text = ifsp.data();
    libs.keeperArchiverLoad = false;
    view.bnIIPClick();
    libs.keeperArchiverLoad = true;
    libs.roomForOne = false;
    view.bnIIPClick();
    libs.roomForOne = true;
    libs.file.clear();
    view.bnIIPClick();
    EXPECT_TRUE(libs.read.empty());
    EXPECT_TRUE(libs.flags.empty());
    expectEditing();

    libs.file = {{"a", 1, 0}};
    libs.viewerLoad = false;
    view.bnIIPClick();
    EXPECT_TRUE(libs.shown.empty());
    expectEditing();
}

TEST_F(SurfaceViewingTest, TimerEndsTheViewingAfterTheBoxHasClosed) {
    ui.combo[0] = "b";
    view.bnIIPClick();
    ui.pressFinish();
    EXPECT_EQ(view.state(), ViewingState::closing);
    EXPECT_TRUE(ui.timer);
    EXPECT_TRUE(ui.boxExists);  // still there: only the timer destroys it
    EXPECT_TRUE(libs.viewerLoaded);

    view.tmZakritModalnuyuTimer();
    expectEditing();
    EXPECT_FALSE(ui.boxExists);
    EXPECT_FALSE(libs.viewerLoaded);
    EXPECT_EQ(libs.shown.back(), nullptr);

    view.bnIIPClick();  // a second viewing gets a new box
    EXPECT_EQ(ui.boxesCreated, 2);
    EXPECT_TRUE(ui.closeCallback != nullptr);
}

TEST_F(SurfaceViewingTest, ChoosingTheSurfaceFileStoresItThroughTheExitHandler) {
    ui.surfaceFile.reset();
    view.bnIFsPClick();
    EXPECT_TRUE(ui.calls.empty());

    ui.surfaceFile = "/tmp/Поверхности.pv";
    ui.listing = {true, toCp1251("/tmp/Поверхности.pv"), 2, 1};
    view.bnIFsPClick();
    EXPECT_EQ(ui.ifspText, "/tmp/Поверхности.pv");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"setIFsPText", "cbIFsPExit"}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.currentFolderOf, (std::vector<std::string>{"/tmp/Поверхности.pv"}));
}

TEST_F(SurfaceViewingTest, ChosenFileWithoutReadableSurfaceIsReported) {
    ui.surfaceFile = "/proc/s.pv";
    ui.listing = {true, "/proc/s.pv", 0, 0};
    view.bnIFsPClick();
    ui.listing = {true, "/proc/s.pv", 4, 0};
    view.bnIFsPClick();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0],
              "Файл «/proc/s.pv» не найден или не содержит поверхностей, которые можно прочитать.");
    EXPECT_EQ(ui.messages[1],
              "В файле «/proc/s.pv» нет поверхностей, которые можно прочитать."
              "\nПоверхностей в файле: 4, прочитано: 0.");
    // Nor does the folder of a file that gave nothing become the current one.
    EXPECT_TRUE(ui.currentFolderOf.empty());

    // Libraries that could not be loaded were reported by the loader.
    ui.messages.clear();
    ui.listing = {};
    view.bnIFsPClick();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.currentFolderOf.empty());
}

TEST_F(SurfaceViewingTest, NothingToShowIsReportedExceptWhatTheLoaderReported) {
    const auto shown = [this](const std::string& combo) {
        ui.messages.clear();
        ui.combo[0] = combo;
        view.bnIIPClick();
        EXPECT_TRUE(libs.shown.empty());
        expectEditing();
        return ui.messages.size() == 1 ? ui.messages[0]
                                       : "messages: " + std::to_string(ui.messages.size());
    };
    EXPECT_EQ(shown("Зеркало"), "Поверхность «Зеркало» не найдена в файле «s.pv».");
    libs.file[1].readable = false;
    EXPECT_EQ(shown("Зеркало"),
              "Поверхность «Зеркало» не найдена в файле «s.pv»."
              "\nПоверхностей в файле: 5, прочитано: 4.");
    for (auto& s : libs.file) s.readable = false;
    EXPECT_EQ(shown("a"),
              "В файле «s.pv» нет поверхностей, которые можно прочитать."
              "\nПоверхностей в файле: 5, прочитано: 0.");
    libs.file.clear();
    EXPECT_EQ(shown("a"),
              "Файл «s.pv» не найден или не содержит поверхностей, которые можно прочитать."
              "\nЕго искали в папке, из которой запущен редактор: «" +
                  SurfaceViewing::workingFolder() + "».");
    libs.file = {{"a", 1, 0}};
    libs.roomForOne = false;
    EXPECT_EQ(shown("a"), "Не удалось выделить память для поверхности.");
    libs.roomForOne = true;
    for (const char* none : {static_cast<const char*>(nullptr), ""}) {
        record.IFsP.text = const_cast<char*>(none);
        EXPECT_EQ(shown("a"), "Файл с поверхностями датчика не задан.");
    }
    record.IFsP.text = ifsp.data();

    libs.keeperArchiverLoad = false;
    EXPECT_EQ(shown("a"), "messages: 0");
    libs.keeperArchiverLoad = true;
    libs.viewerLoad = false;
    EXPECT_EQ(shown("a"), "messages: 0");
}

TEST_F(SurfaceViewingTest, NameWithoutFolderIsFoundBesideTheProbeFileFirst) {
    ui.combo[0] = "b";
    libs.fileName = "/probes/s.pv";
    selection.loadedFromFolder = "/probes/";
    view.bnIIPClick();
    EXPECT_EQ(view.state(), ViewingState::viewing);
    EXPECT_EQ(libs.counted, (std::vector<std::string>{"/probes/s.pv"}));
    EXPECT_STREQ(record.IFsP.text, "s.pv");  // the record keeps the name as typed
    ui.pressFinish();
    view.tmZakritModalnuyuTimer();

    // Not beside the probe file: the current folder, where the libraries read a bare name.
    libs.counted.clear();
    libs.fileName = "s.pv";
    view.bnIIPClick();
    EXPECT_EQ(view.state(), ViewingState::viewing);
    EXPECT_EQ(libs.counted, (std::vector<std::string>{"/probes/s.pv", "s.pv"}));
    ui.pressFinish();
    view.tmZakritModalnuyuTimer();

    // In neither place: the box names both.
    libs.fileName = "/elsewhere/s.pv";
    view.bnIIPClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              "Файл «s.pv» не найден или не содержит поверхностей, которые можно прочитать."
              "\nЕго искали рядом с файлом датчиков: «/probes/s.pv», затем в папке, из которой "
              "запущен редактор: «" +
                  collections::SurfaceViewing::workingFolder() + "».");
    EXPECT_EQ(collections::SurfaceViewing::workingFolder(),
              std::filesystem::current_path().string());
}

}  // namespace
