#include "editor/collections/probe_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_probe_store.h"

using collections::kResultCancelled;
using collections::kResultChosen;
using collections::ProbeFileCommands;
using collections::RecordSelectionModel;

namespace {

struct FakePage : probe::ActivePage {
    probe::ProbeSelection* selection = nullptr;
    const fake::ProbeStore* store = nullptr;
    std::vector<std::string> calls;
    std::vector<int> storedInto;  // slot of the record each store wrote into
    const ProbeRecord* loadedRecord = nullptr;
    void storeActivePage() override {
        calls.push_back("store");
        storedInto.push_back(store->slotOf(selection->current));
    }
    void loadActivePage() override {
        calls.push_back("load");
        loadedRecord = selection->current;
    }
};

struct FakeUi : collections::ProbeFileUi {
    std::optional<std::string> fileName;
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<std::string> currentFolderOf;  // files whose folder became the current one
    int dialogsRun = 0;
    std::vector<std::string> shownLines;
    bool shownInLoadMode = false;
    // What the user does in the dialog; returns the modal result.
    std::function<int(RecordSelectionModel&)> user = [](RecordSelectionModel&) {
        return kResultChosen;
    };

    std::optional<std::string> askSaveFileName() override { return fileName; }
    std::optional<std::string> askOpenFileName() override { return fileName; }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.emplace_back(text, caption);
    }
    void makeFolderCurrent(const std::string& name) override { currentFolderOf.push_back(name); }
    int runSelectionDialog(RecordSelectionModel& dialog) override {
        ++dialogsRun;
        dialog.FormActivate();
        shownInLoadMode = dialog.multiSelect();
        shownLines.clear();
        for (std::size_t p = 0; p < dialog.lineCount(); ++p) shownLines.push_back(dialog.line(p));
        const int result = user(dialog);
        dialog.setResult(result);
        return result;
    }
};

fake::StoredProbe probeNo(int i) {
    const std::string n = std::to_string(i);
    return {"Maker" + n, "Model" + n, "Name" + n};
}

class ProbeFilesTest : public ::testing::Test {
  protected:
    // The probe-file client looks at the files the commands name: the tests run in a folder of
    // their own, where the fake's files lie as empty files (which the client takes as probe
    // files, counted and read by the store).
    void SetUp() override {
        page.selection = &selection;
        page.store = &store;
        home = std::filesystem::current_path();
        folder = std::filesystem::temp_directory_path() /
                 ("editor_probe_files_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    void TearDown() override {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(folder);
    }

    // A collection of `count` probes with ids "p0".., the current one selected.
    void collection(std::uint32_t count, std::uint32_t current) {
        store.allocate(count);
        for (std::uint32_t i = 0; i < count; ++i)
            fake::ProbeStore::fill(*store.slots[i], probeNo(static_cast<int>(i)),
                                   "p" + std::to_string(i));
        selection.probeCount = count;
        selection.currentIndex = current;
        store.selected = current < count ? store.slots[current].get() : nullptr;
        selection.current = store.selected ? &store.selected->rec : nullptr;
        store.log.clear();
    }
    void file(const std::string& name, std::vector<std::optional<fake::StoredProbe>> records) {
        store.files[name] = std::move(records);
        onDisk(name, "");
    }
    static void onDisk(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path(name);
        if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::vector<std::string> slotIds() const {
        std::vector<std::string> ids;
        for (auto& s : store.slots) ids.push_back(s->id);
        return ids;
    }
    int currentSlot() const { return store.slotOf(selection.current); }

    std::filesystem::path home, folder;
    fake::ProbeStore store;
    contracts::ProbeStoreApi api = store.api();
    probe::ProbeSelection selection;
    FakePage page;
    FakeUi ui;
    ProbeFileCommands commands{api, selection, page, ui};
};

TEST_F(ProbeFilesTest, SaveAllStopsWritingAtFirstFailureButVisitsEverySlot) {
    // A store without batches takes the probes one by one.
    collection(5, 3);
    ui.fileName = "a.dt";
    store.failSaveAtCall = 2;
    commands.miSohranitClick();

    EXPECT_EQ(store.written["a.dt"], (std::vector<std::string>{"p0", "p1"}));
    EXPECT_EQ(store.saveCalls, 3u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].first,
              "Все или отдельные датчики не были записаны в файл «a.dt»:\n"
              "Датчики не удалось добавить в «a.dt» (нет места на диске, нет прав или файл не "
              "принимает записей); ничего не добавлено\n"
              "До этой ошибки в файл добавлены датчики 1–2 из 5.");
    EXPECT_EQ(ui.messages[0].second, "Редактор ЖУВ");
    // Slots 0..4 selected in turn, then the current probe again.
    EXPECT_EQ(store.log.back(), "VibratDatchikPoIndeksu(3)");
    EXPECT_EQ(currentSlot(), 3);
    EXPECT_EQ(page.calls, (std::vector<std::string>{"store", "load"}));
}

TEST_F(ProbeFilesTest, SaveAllWithoutProbesOrCancelledStillReselects) {
    collection(0, 0);
    ui.fileName = "a.dt";
    commands.miSohranitClick();
    EXPECT_TRUE(store.written.empty());
    EXPECT_TRUE(ui.messages.empty());

    collection(2, 1);
    store.selected = &store.temporary;  // something else selected in the store
    ui.fileName.reset();
    commands.miSohranitClick();
    EXPECT_EQ(store.saveCalls, 0u);
    EXPECT_EQ(store.log, (std::vector<std::string>{"VibratDatchikPoIndeksu(1)"}));
    EXPECT_EQ(currentSlot(), 1);
    EXPECT_EQ(page.calls.back(), "load");
}

TEST_F(ProbeFilesTest, SaveOneWritesTheSelectedProbeWithoutSelecting) {
    collection(3, 2);
    ui.fileName = "b.dt";
    commands.miSohranitOdinClick();
    EXPECT_EQ(store.written["b.dt"], (std::vector<std::string>{"p2"}));
    EXPECT_TRUE(store.log.size() == 1 && store.log[0] == "SohranitDatchik");
    EXPECT_TRUE(ui.messages.empty());

    store.failSaveAtCall = store.saveCalls;
    commands.miSohranitOdinClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].first,
              "Все или отдельные датчики не были записаны в файл «b.dt»:\n"
              "Датчики не удалось добавить в «b.dt» (нет места на диске, нет прав или файл не "
              "принимает записей); ничего не добавлено");
    EXPECT_EQ(ProbeFileCommands::notWrittenMessage("/d/\xE0.dt", "нет права на запись"),
              "Все или отдельные датчики не были записаны в файл «/d/а.dt»:\nнет права на запись");
    EXPECT_EQ(page.calls, (std::vector<std::string>{"store", "load", "store", "load"}));
}

TEST_F(ProbeFilesTest, LoadingASingleRecordFileNeedsNoDialog) {
    collection(4, 3);
    file("one.dt", {probeNo(7)});
    ui.fileName = "one.dt";
    commands.miZagruzitClick();

    EXPECT_EQ(ui.dialogsRun, 0);
    EXPECT_EQ(selection.probeCount, 1u);
    EXPECT_EQ(slotIds(), (std::vector<std::string>{"one.dt#0"}));
    EXPECT_EQ(selection.currentIndex, 0u);
    EXPECT_EQ(currentSlot(), 0);
    EXPECT_EQ(page.loadedRecord, selection.current);
    // The page is stored first, into the probe the user was editing.
    EXPECT_EQ(page.calls, (std::vector<std::string>{"store", "load"}));
    EXPECT_EQ(page.storedInto, (std::vector<int>{3}));
}

TEST_F(ProbeFilesTest, LoadingChosenLinesReplacesTheCollectionInFileOrder) {
    for (std::uint32_t previous : {1u, 5u}) {
        collection(6, previous);
        file("three.dt", {probeNo(0), std::nullopt, probeNo(2)});
        ui.fileName = "three.dt";
        ui.user = [](RecordSelectionModel& d) {
            d.setSelected(1, false);
            return kResultChosen;
        };
        commands.miZagruzitClick();

        EXPECT_TRUE(ui.shownInLoadMode);
        EXPECT_EQ(ui.shownLines,
                  (std::vector<std::string>{"1: Maker0 Model0 (Name0)", "2: Ошибка при загрузке",
                                            "3: Maker2 Model2 (Name2)"}));
        EXPECT_EQ(selection.probeCount, 2u);
        EXPECT_EQ(slotIds(), (std::vector<std::string>{"three.dt#0", "three.dt#2"}));
        EXPECT_EQ(selection.currentIndex, 1u) << "previous index " << previous;
        EXPECT_EQ(currentSlot(), 1);
    }
}

TEST_F(ProbeFilesTest, FileWithoutReadableRecordsIsReportedAndKeepsTheCollection) {
    // No records at all (missing, not a probe file), or records none of which can be read
    // (several: nothing in the dialog could be chosen; one: no dialog would show it): the
    // collection is neither replaced by nothing nor by empty slots, and a box says why in the
    // probe-file client's words, naming the file.
    file("damaged1.dt", {std::nullopt});
    file("damaged3.dt", {std::nullopt, std::nullopt, std::nullopt});
    onDisk("notes.dt", "plain text, no probes");
    struct Case {
        const char* name;
        const char* counts;
        const char* reason;
    };
    const Case cases[] = {{"missing.dt", nullptr, "Файл «missing.dt» не найден"},
                          {"notes.dt", nullptr, "«notes.dt» — не файл датчиков"},
                          {"damaged1.dt", "Записей в файле: 1, прочитано: 0.",
                           "Запись 1 файла «damaged1.dt» повреждена и не загружается"},
                          {"damaged3.dt", "Записей в файле: 3, прочитано: 0.",
                           "Запись 1 файла «damaged3.dt» повреждена и не загружается"}};
    for (const auto& [name, counts, reason] : cases) {
        collection(3, 2);
        ui.messages.clear();
        ui.fileName = name;
        commands.miZagruzitClick();
        EXPECT_EQ(ui.dialogsRun, 0) << name;
        EXPECT_EQ(slotIds(), (std::vector<std::string>{"p0", "p1", "p2"})) << name;
        EXPECT_EQ(selection.probeCount, 3u);
        EXPECT_EQ(currentSlot(), 2);
        EXPECT_EQ(page.loadedRecord, selection.current);
        EXPECT_EQ(std::count_if(store.log.begin(), store.log.end(),
                                [](const std::string& c) { return c.rfind("Videlit", 0) == 0; }),
                  0);
        ASSERT_EQ(ui.messages.size(), 1u) << name;
        const std::string& text = ui.messages[0].first;
        EXPECT_EQ(ui.messages[0].second, "Редактор ЖУВ");
        EXPECT_EQ(text.rfind(std::string("В файле «") + name + "» нет датчиков", 0), 0u) << text;
        EXPECT_EQ(counts != nullptr, text.find("Записей в файле") != std::string::npos) << text;
        if (counts) {
            EXPECT_NE(text.find(counts), std::string::npos) << text;
        }
        EXPECT_NE(text.find(std::string("\n") + reason + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("не изменены"), std::string::npos) << text;
    }
    EXPECT_TRUE(ui.currentFolderOf.empty());
    EXPECT_TRUE(selection.loadedFromFolder.empty());
}

TEST_F(ProbeFilesTest, FolderBecomesCurrentOnlyAfterTheCommandSucceeded) {
    collection(2, 0);
    ui.fileName = "/proc/probe.dt";
    store.failSaveAtCall = store.saveCalls;
    commands.miSohranitClick();
    store.failSaveAtCall = store.saveCalls;
    commands.miSohranitOdinClick();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(ui.currentFolderOf.empty());

    store.failSaveAtCall = 0xFFFFFFFFu;
    ui.fileName = "/data/probe.dt";
    commands.miSohranitClick();
    commands.miSohranitOdinClick();
    EXPECT_EQ(ui.currentFolderOf, (std::vector<std::string>{"/data/probe.dt", "/data/probe.dt"}));

    // A cancelled choice reads nothing into the collection; a confirmed one remembers where the
    // probes came from.
    ui.currentFolderOf.clear();
    file("probes/f.dt", {probeNo(0), probeNo(1)});
    ui.fileName = "probes/f.dt";
    ui.user = [](RecordSelectionModel&) { return kResultCancelled; };
    commands.miZagruzitClick();
    EXPECT_TRUE(ui.currentFolderOf.empty());
    EXPECT_TRUE(selection.loadedFromFolder.empty());
    ui.user = [](RecordSelectionModel&) { return kResultChosen; };
    commands.miZagruzitClick();
    EXPECT_EQ(ui.currentFolderOf, (std::vector<std::string>{"probes/f.dt"}));
    EXPECT_EQ(selection.loadedFromFolder, "probes/");
}

TEST_F(ProbeFilesTest, UnreadableRecordCanStillBeChosen) {
    collection(1, 0);
    file("f.dt", {probeNo(0), std::nullopt});
    ui.fileName = "f.dt";
    commands.miZagruzitClick();
    // Slot 1 keeps what the allocation put there; the failure is not reported.
    EXPECT_EQ(selection.probeCount, 2u);
    EXPECT_EQ(slotIds(), (std::vector<std::string>{"f.dt#0", ""}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProbeFilesTest, LoadingWithEveryLineDeselectedKeepsTheCollection) {
    collection(3, 2);
    file("f.dt", {probeNo(0), probeNo(1)});
    ui.fileName = "f.dt";
    ui.user = [](RecordSelectionModel& d) {
        d.setSelected(0, false);
        d.setSelected(1, false);
        return kResultChosen;
    };
    commands.miZagruzitClick();
    EXPECT_EQ(selection.probeCount, 3u);
    EXPECT_EQ(slotIds(), (std::vector<std::string>{"p0", "p1", "p2"}));
    EXPECT_EQ(std::find(store.log.begin(), store.log.end(), "VidelitPamyatDlyaDatchikov(0,0)"),
              store.log.end());
    EXPECT_EQ(selection.currentIndex, 2u);
    EXPECT_EQ(currentSlot(), 2);
    EXPECT_EQ(page.calls.back(), "load");
}

TEST_F(ProbeFilesTest, FailedReallocationLeavesNoPointerIntoReleasedRecords) {
    collection(3, 2);
    file("f.dt", {probeNo(0), probeNo(1)});
    ui.fileName = "f.dt";
    store.failAllocation = true;
    commands.miZagruzitClick();
    // The count follows the choice although the store kept its slots; the record comes from
    // the re-selection, not from the preview.
    EXPECT_EQ(selection.probeCount, 2u);
    EXPECT_EQ(selection.currentIndex, 1u);
    EXPECT_EQ(currentSlot(), 1);
}

TEST_F(ProbeFilesTest, CancellingTheLoadKeepsTheCollectionAndRestoresTheRecord) {
    collection(3, 2);
    file("f.dt", {probeNo(0), probeNo(1), probeNo(2)});
    ui.fileName = "f.dt";
    ui.user = [](RecordSelectionModel&) { return kResultCancelled; };
    commands.miZagruzitClick();
    EXPECT_EQ(slotIds(), (std::vector<std::string>{"p0", "p1", "p2"}));
    EXPECT_EQ(selection.probeCount, 3u);
    EXPECT_EQ(selection.currentIndex, 2u);
    EXPECT_EQ(currentSlot(), 2);  // not the temporary record of the preview
    EXPECT_EQ(page.loadedRecord, selection.current);

    ui.fileName.reset();  // a cancelled file dialog touches nothing
    store.log.clear();
    commands.miZagruzitClick();
    EXPECT_TRUE(store.log.empty());
    EXPECT_EQ(page.calls.back(), "load");
}

TEST_F(ProbeFilesTest, ChoosingTheCurrentProbeListsModelFirst) {
    collection(2, 0);
    ui.user = [](RecordSelectionModel& d) {
        d.setSelected(1, true);
        return kResultChosen;
    };
    commands.miVibratDatchikClick();
    EXPECT_FALSE(ui.shownInLoadMode);
    EXPECT_EQ(ui.shownLines,
              (std::vector<std::string>{"1: Maker0 Model0 (Name0)", "2: Maker1 Model1 (Name1)"}));
    EXPECT_EQ(selection.currentIndex, 1u);
    EXPECT_EQ(currentSlot(), 1);
    EXPECT_EQ(page.loadedRecord, selection.current);
    // Pending edits reach probe 0 before probe 1 is shown.
    EXPECT_EQ(page.calls, (std::vector<std::string>{"store", "load"}));
    EXPECT_EQ(page.storedInto, (std::vector<int>{0}));
}

TEST_F(ProbeFilesTest, CancelledChoiceUndoesTheSelectionsOfTheListing) {
    collection(3, 1);
    ui.user = [](RecordSelectionModel& d) {
        d.setSelected(2, true);
        return kResultCancelled;
    };
    commands.miVibratDatchikClick();
    EXPECT_EQ(selection.currentIndex, 1u);
    EXPECT_EQ(currentSlot(), 1);
}

TEST_F(ProbeFilesTest, ChoiceWithOneProbeShowsNoDialog) {
    collection(1, 0);
    commands.miVibratDatchikClick();
    EXPECT_EQ(ui.dialogsRun, 0);
    EXPECT_EQ(page.calls, (std::vector<std::string>{"store", "load"}));
}

TEST_F(ProbeFilesTest, ChosenLineSelectsTheSlotItNamesWhenASlotIsMissing) {
    collection(4, 0);
    store.unselectable = {1};
    ui.user = [](RecordSelectionModel& d) {
        d.setSelected(1, true);  // the line of slot 2
        return kResultChosen;
    };
    commands.miVibratDatchikClick();
    ASSERT_EQ(ui.shownLines.size(), 3u);
    EXPECT_EQ(ui.shownLines[1].substr(0, 3), "3: ");
    EXPECT_EQ(selection.currentIndex, 2u);
    EXPECT_EQ(currentSlot(), 2);
}

TEST_F(ProbeFilesTest, ChoiceWithoutFocusedLineTakesTheLastProbe) {
    collection(3, 0);
    ui.user = [](RecordSelectionModel& d) {
        d.setFocusedPosition(-1);
        return kResultChosen;
    };
    commands.miVibratDatchikClick();
    EXPECT_EQ(selection.currentIndex, 2u);
}

// A store with batches: the collection goes into a file as one unit.
class BatchTest : public ProbeFilesTest {
  protected:
    ProbeFileCommands batched{api, selection, page, ui, [this] { return store.extras(); }};
};

TEST_F(BatchTest, SaveAllWritesTheWholeCollectionOrNothing) {
    collection(3, 1);
    ui.fileName = "all.dt";
    store.failCommit = contracts::ProbeFileError::kNoRights;
    batched.miSohranitClick();
    EXPECT_TRUE(store.written["all.dt"].empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].first,
              "Все или отдельные датчики не были записаны в файл «all.dt»:\n"
              "Датчики не удалось добавить в «all.dt»: нет прав на запись в файл или папку; "
              "ничего не добавлено");
    EXPECT_TRUE(ui.currentFolderOf.empty());
    EXPECT_EQ(currentSlot(), 1);

    store.failCommit = contracts::ProbeFileError::kNone;
    batched.miSohranitClick();
    EXPECT_EQ(store.written["all.dt"], (std::vector<std::string>{"p0", "p1", "p2"}));
    EXPECT_EQ(store.saveCalls, 0u);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.currentFolderOf, std::vector<std::string>{"all.dt"});
    EXPECT_EQ(currentSlot(), 1);

    // A slot the store does not hand out stops the write before anything reaches the file.
    store.unselectable = {2};
    batched.miSohranitClick();
    EXPECT_EQ(store.written["all.dt"].size(), 3u);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[1].first.find("«all.dt»:\nДатчика 3 нет"), std::string::npos);
}

TEST_F(BatchTest, AFileThatTakesNoRecordsGetsNothingAndTheBoxSaysWhy) {
    collection(2, 0);
    // A probe file's magic before a header whose checksum does not hold, and plain text.
    onDisk("damaged.dt", std::string("DATCHIKI") + std::string(16, '\0') + "records");
    onDisk("notes.dt", "plain text, no probes");
    const std::pair<const char*, const char*> cases[] = {
        {"damaged.dt", "Заголовок файла «damaged.dt» повреждён: записи прочитаны"},
        {"notes.dt", "«notes.dt» — не файл датчиков"}};
    for (const auto& [name, reason] : cases) {
        ui.messages.clear();
        ui.fileName = name;
        batched.miSohranitClick();
        batched.miSohranitOdinClick();
        ASSERT_EQ(ui.messages.size(), 2u) << name;
        for (const auto& [text, caption] : ui.messages)
            EXPECT_EQ(
                text.rfind(std::string("Все или отдельные датчики не были записаны в файл «") +
                               name + "»:\n" + reason,
                           0),
                0u)
                << text;
    }
    EXPECT_TRUE(store.written.empty());
    EXPECT_EQ(store.saveCalls, 0u);
    EXPECT_EQ(std::count(store.log.begin(), store.log.end(), "AddProbeToBatch"), 0);
    EXPECT_TRUE(ui.currentFolderOf.empty());
}

TEST(ProbeFileLines, NullTextsReadAsEmptyAndCp1251BecomesUtf8) {
    ProbeRecord r{};
    std::string maker = "\xC0\xE1";  // "Аб" in cp1251
    r.Proizvoditel.text = maker.data();
    EXPECT_EQ(ProbeFileCommands::loadLine(12, r), "13: Аб  ()");
    EXPECT_EQ(ProbeFileCommands::choiceLine(0, r), "1: Аб  ()");
    EXPECT_EQ(ProbeFileCommands::loadFailureLine(0xFFFFFFFFu), "4294967296: Ошибка при загрузке");
}

}  // namespace

namespace {

// A user who answers the question on closing, and sees the status line and the files used.
struct AnsweringUi : FakeUi {
    collections::UnheldChangesAnswer answer = collections::UnheldChangesAnswer::cancel;
    int asked = 0;
    std::vector<std::string> statuses, used;
    std::vector<collections::UnheldChangesMoment> moments;
    collections::UnheldChangesAnswer askUnheldChanges(
        collections::UnheldChangesMoment moment) override {
        ++asked;
        moments.push_back(moment);
        return answer;
    }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    void fileUsed(const std::string& name) override { used.push_back(name); }
};

class ChangeTrackingTest : public ProbeFilesTest {
  protected:
    AnsweringUi asking;
    ProbeFileCommands tracked{api, selection, page, asking};
};

TEST_F(ChangeTrackingTest, ClosingAsksOnlyWhileAChangeIsInNoFile) {
    collection(3, 1);
    tracked.takeCollectionAsHeld();
    EXPECT_FALSE(tracked.noteCurrentProbe());
    EXPECT_TRUE(tracked.mayClose());
    EXPECT_EQ(asking.asked, 0);

    // A changed probe that is not current is found by the full comparison on closing.
    store.slots[2]->rec.Cena = 5;
    EXPECT_FALSE(tracked.noteCurrentProbe());
    EXPECT_TRUE(tracked.hasUnheldChanges());
    EXPECT_FALSE(tracked.mayClose());  // cancel
    EXPECT_EQ(currentSlot(), 1);       // the comparison selected the current probe again
    asking.answer = collections::UnheldChangesAnswer::leave;
    EXPECT_TRUE(tracked.mayClose());
    EXPECT_EQ(page.calls.front(), "store");  // what the page shows counts

    // Changing a probe back is no change.
    store.slots[2]->rec.Cena = 0;
    asking.asked = 0;
    EXPECT_TRUE(tracked.mayClose());
    EXPECT_EQ(asking.asked, 0);
}

TEST_F(ChangeTrackingTest, AddingToAFileHoldsWhatWasWrittenAndSaysSo) {
    collection(2, 0);
    tracked.takeCollectionAsHeld();
    selection.current->Cena = 9;
    EXPECT_TRUE(tracked.noteCurrentProbe());
    asking.fileName = "/data/probes.dt";
    tracked.miSohranitOdinClick();
    EXPECT_FALSE(tracked.noteCurrentProbe());
    EXPECT_FALSE(tracked.hasUnheldChanges());
    ASSERT_EQ(asking.statuses.size(), 1u);
    EXPECT_EQ(asking.statuses[0], "Датчик добавлен в файл /data/probes.dt: записей в файле 0");
    EXPECT_EQ(asking.used, std::vector<std::string>{"/data/probes.dt"});

    // "Add to a file" on closing writes all; a failed write keeps the program open.
    store.slots[1]->rec.Cena = 4;
    asking.answer = collections::UnheldChangesAnswer::addToFile;
    store.failSaveAtCall = store.saveCalls + 1;
    EXPECT_FALSE(tracked.mayClose());
    EXPECT_TRUE(tracked.collectionFile().empty());
    store.failSaveAtCall = 0xFFFFFFFFu;
    EXPECT_TRUE(tracked.mayClose());
    EXPECT_EQ(tracked.collectionFile(), "/data/probes.dt");
    EXPECT_EQ(ProbeFileCommands::addedMessage(3, "C:\\d\\x.dt", 7),
              "Датчики (3) добавлены в файл C:\\d\\x.dt: записей в файле 7");
}

TEST_F(ChangeTrackingTest, LoadingByNameHoldsTheNewCollectionAndRemembersTheFile) {
    collection(1, 0);
    tracked.takeCollectionAsHeld();
    selection.current->Cena = 3;
    file("two.dt", {probeNo(7), probeNo(8)});
    asking.answer = collections::UnheldChangesAnswer::leave;
    EXPECT_TRUE(tracked.loadFile("two.dt"));  // through the selection dialog, all lines chosen
    EXPECT_EQ(asking.dialogsRun, 1);
    EXPECT_EQ(selection.probeCount, 2u);
    EXPECT_FALSE(tracked.hasUnheldChanges());
    EXPECT_EQ(tracked.collectionFile(), "two.dt");
    EXPECT_EQ(asking.used, std::vector<std::string>{"two.dt"});
    EXPECT_EQ(asking.statuses.back(), "Из файла two.dt загружено датчиков: 2");
    EXPECT_FALSE(tracked.loadFile("missing.dt"));
    EXPECT_EQ(tracked.collectionFile(), "two.dt");
    EXPECT_TRUE(collections::isProbeFileName("/a/B.DT"));
    EXPECT_FALSE(collections::isProbeFileName("/a/b.dtx"));
}

TEST_F(ChangeTrackingTest, ReplacingTheCollectionAsksFirstAsClosingDoes) {
    collection(2, 1);
    tracked.takeCollectionAsHeld();
    file("two.dt", {probeNo(7), probeNo(8)});
    const std::uint64_t generation = tracked.collectionGeneration();
    // Nothing changed: no question.
    EXPECT_TRUE(tracked.loadFile("two.dt"));
    EXPECT_EQ(asking.asked, 0);
    EXPECT_EQ(tracked.collectionGeneration(), generation + 1);

    // A change no file holds: cancel keeps the collection and the change, the current probe
    // selected again (also out of the load's preview).
    store.slots[1]->rec.Cena = 12;
    asking.fileName = "two.dt";
    tracked.miZagruzitClick();
    EXPECT_EQ(asking.asked, 1);
    EXPECT_EQ(asking.moments.back(), collections::UnheldChangesMoment::replacing);
    EXPECT_EQ(slotIds(), (std::vector<std::string>{"two.dt#0", "two.dt#1"}));
    EXPECT_EQ(store.slots[1]->rec.Cena, 12);
    EXPECT_EQ(currentSlot(), 1);
    EXPECT_EQ(tracked.collectionGeneration(), generation + 1);

    // "Add to a file" writes the collection first, then loads; a failed write loads nothing.
    asking.answer = collections::UnheldChangesAnswer::addToFile;
    store.failSaveAtCall = store.saveCalls;
    EXPECT_FALSE(tracked.loadFile("two.dt"));
    EXPECT_EQ(store.slots[1]->rec.Cena, 12);
    EXPECT_EQ(asking.messages.size(), 1u);  // the failed write
    store.failSaveAtCall = 0xFFFFFFFFu;
    EXPECT_TRUE(tracked.loadFile("two.dt"));
    EXPECT_EQ(store.written["two.dt"].size(), 2u);
    EXPECT_EQ(store.slots[1]->rec.Cena, 0);

    // "Leave" drops the change.
    store.slots[0]->rec.Cena = 1;
    asking.answer = collections::UnheldChangesAnswer::leave;
    EXPECT_TRUE(tracked.loadFile("two.dt"));
    EXPECT_EQ(store.slots[0]->rec.Cena, 0);
}

TEST_F(ChangeTrackingTest, AddingTheCurrentProbeWithNoneLoadedSaysWhy) {
    // Adding the current probe to a file with none loaded writes nothing and says why.
    collection(0, 0);
    asking.fileName = "out.dt";
    tracked.miSohranitOdinClick();
    EXPECT_EQ(store.saveCalls, 0u);
    ASSERT_EQ(asking.messages.size(), 1u);
    EXPECT_EQ(asking.messages[0].first, collections::kNoCurrentProbeMessage);
}

}  // namespace
