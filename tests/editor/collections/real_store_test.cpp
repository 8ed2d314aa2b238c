// The probe file commands against the probe store library beside the test program: probes
// written to a real probe file, a chosen subset loaded back, an emptied collection, and damaged
// files told in the probe-file client's words.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "editor/collections/probe_files.h"
#include "platform/cp1251.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace {

struct NoBoxes : biblioteki::MessageBoxes {
    std::vector<std::string> texts;
    void show(const std::string&, const std::string& text) override { texts.push_back(text); }
};

struct NoPage : probe::ActivePage {
    void storeActivePage() override {}
    void loadActivePage() override {}
};

struct ScriptedUi : collections::ProbeFileUi {
    std::string fileName;
    std::function<int(collections::RecordSelectionModel&)> user;
    std::vector<std::string> lines;
    std::vector<std::string> messages;
    std::vector<std::string> currentFolderOf;
    std::optional<std::string> askSaveFileName() override { return fileName; }
    std::optional<std::string> askOpenFileName() override { return fileName; }
    void showMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    void makeFolderCurrent(const std::string& name) override { currentFolderOf.push_back(name); }
    int runSelectionDialog(collections::RecordSelectionModel& d) override {
        lines.clear();
        for (std::size_t p = 0; p < d.lineCount(); ++p) lines.push_back(d.line(p));
        return user(d);
    }
};

const char* PLUGIN_CALL giveText(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}

std::string text(const Stroka& s) {
    return s.text ? platform::cp1251ToUtf8(s.text) : std::string();
}

TEST(RealProbeStoreTest, SaveLoadSubsetAndAChoiceOfNothing) {
    NoBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    ASSERT_TRUE(loader.ZagruzitBiblioteki(biblioteki::kProbeStore))
        << (boxes.texts.empty() ? "" : boxes.texts[0]);
    const contracts::ProbeStoreApi& store = loader.probeStore();

    probe::ProbeSelection selection;
    ASSERT_TRUE(store.VidelitPamyatDlyaDatchikov(3, kProbeRecordSize32));
    selection.probeCount = 3;
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(store.VibratDatchikPoIndeksu(i));
        ProbeRecord* r = store.PoluchitVibranniyDatchik();
        std::string maker = platform::utf8ToCp1251("Изготовитель " + std::to_string(i));
        std::string model = "M" + std::to_string(i);
        store.SozdatStroku(&r->Proizvoditel, giveText, &maker);
        store.SozdatStroku(&r->Model, giveText, &model);
    }
    selection.currentIndex = 2;

    const auto path = std::filesystem::temp_directory_path() /
                      ("coll_real_store_" + std::to_string(::getpid()) + ".dt");
    std::filesystem::remove(path);
    NoPage page;
    ScriptedUi ui;
    ui.fileName = path.string();
    collections::ProbeFileCommands commands(store, selection, page, ui);

    commands.miSohranitClick();
    EXPECT_EQ(store.ZagruzitKolichestvoDatchikov(ui.fileName.c_str()), 3u);
    ASSERT_NE(selection.current, nullptr);
    EXPECT_EQ(text(selection.current->Model), "M2");

    ui.user = [](collections::RecordSelectionModel& d) {
        d.setSelected(1, false);
        return collections::kResultChosen;
    };
    commands.miZagruzitClick();
    EXPECT_EQ(ui.lines,
              (std::vector<std::string>{"1: Изготовитель 0 M0 ()", "2: Изготовитель 1 M1 ()",
                                        "3: Изготовитель 2 M2 ()"}));
    EXPECT_EQ(selection.probeCount, 2u);
    EXPECT_EQ(selection.currentIndex, 1u);
    ASSERT_NE(selection.current, nullptr);
    EXPECT_EQ(text(selection.current->Model), "M2");

    ui.user = [](collections::RecordSelectionModel& d) {
        for (std::size_t p = 0; p < d.lineCount(); ++p) d.setSelected(p, false);
        return collections::kResultChosen;
    };
    // No line chosen: nothing is loaded, the collection stays.
    commands.miZagruzitClick();
    EXPECT_EQ(selection.probeCount, 2u);
    EXPECT_EQ(selection.currentIndex, 1u);
    ASSERT_NE(selection.current, nullptr);
    EXPECT_EQ(text(selection.current->Model), "M2");
    EXPECT_TRUE(ui.messages.empty());
    // The save and the load succeeded, each with the file's folder.
    EXPECT_EQ(ui.currentFolderOf, std::vector<std::string>(2, ui.fileName));
    EXPECT_EQ(selection.loadedFromFolder, (path.parent_path() / "").string());

    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    std::filesystem::remove(path);
}

// Bytes that are no probe file, named *.dt, and an empty file: the user is told and the
// collection stays as it was.
TEST(RealProbeStoreTest, FileWithoutProbesIsReportedAndKeepsTheCollection) {
    NoBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    ASSERT_TRUE(loader.ZagruzitBiblioteki(biblioteki::kProbeStore));
    const contracts::ProbeStoreApi& store = loader.probeStore();
    probe::ProbeSelection selection;
    ASSERT_TRUE(store.VidelitPamyatDlyaDatchikov(2, kProbeRecordSize32));
    selection.probeCount = 2;
    selection.currentIndex = 1;
    ASSERT_TRUE(store.VibratDatchikPoIndeksu(1));
    selection.current = store.PoluchitVibranniyDatchik();
    std::string model = "M1";
    store.SozdatStroku(&selection.current->Model, giveText, &model);

    const auto path = std::filesystem::temp_directory_path() /
                      ("coll_not_probes_" + std::to_string(::getpid()) + ".dt");
    NoPage page;
    ScriptedUi ui;
    ui.fileName = path.string();
    ui.user = [](collections::RecordSelectionModel&) {
        ADD_FAILURE() << "nothing to choose from";
        return collections::kResultChosen;
    };
    collections::ProbeFileCommands commands(store, selection, page, ui);
    for (const std::string& bytes :
         {std::string("\x89PNG\r\n\x1a\n random bytes, no probe"), std::string()}) {
        std::ofstream(path, std::ios::binary) << bytes;
        commands.miZagruzitClick();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].find(path.string()), std::string::npos) << ui.messages[0];
        ui.messages.clear();
        EXPECT_EQ(selection.probeCount, 2u);
        ASSERT_NE(selection.current, nullptr);
        EXPECT_EQ(text(selection.current->Model), "M1");
    }
    EXPECT_TRUE(ui.currentFolderOf.empty());
    EXPECT_TRUE(selection.loadedFromFolder.empty());

    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    std::filesystem::remove(path);
}

// The client over the editor's bound store writes and reads without touching the collection:
// the selected record goes out as it is, any other one through the store's scratch record.
TEST(RealProbeStoreTest, ClientOverTheBoundStoreLeavesTheCollectionAlone) {
    EXPECT_EQ(probefiles::ProbeFiles(contracts::ProbeStoreApi{}).loadError()->code,
              probefiles::ErrorCode::kStoreNotLoaded);
    NoBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    ASSERT_TRUE(loader.ZagruzitBiblioteki(biblioteki::kProbeStore));
    const contracts::ProbeStoreApi& store = loader.probeStore();
    ASSERT_TRUE(store.VidelitPamyatDlyaDatchikov(2, kProbeRecordSize32));
    ProbeRecord* slots[2] = {};
    for (std::uint32_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(store.VibratDatchikPoIndeksu(i));
        slots[i] = store.PoluchitVibranniyDatchik();
        std::string model = "M" + std::to_string(i);
        store.SozdatStroku(&slots[i]->Model, giveText, &model);
    }
    std::string outsideModel = "outside";
    ProbeRecord outside{};
    outside.Model.text = outsideModel.data();

    const auto path = std::filesystem::temp_directory_path() /
                      ("coll_bound_" + std::to_string(::getpid()) + ".dt");
    std::filesystem::remove(path);
    {  // the client goes before the store is unloaded
        probefiles::ProbeFiles files(store, probefiles::extrasOf(loader));
        ASSERT_EQ(files.loadError(), nullptr);
        const auto name = probefiles::nameOf(path.string());
        ASSERT_TRUE(name.ok());
        EXPECT_FALSE(files.append(*name, outside));
        ASSERT_TRUE(store.VibratDatchikPoIndeksu(1));
        EXPECT_FALSE(files.append(*name, *slots[1]));
        EXPECT_EQ(text(slots[0]->Model), "M0");
        EXPECT_EQ(text(slots[1]->Model), "M1");

        const auto opened = files.open(*name);
        ASSERT_TRUE(opened.ok());
        ASSERT_EQ(opened->count, 2u);
        const auto first = files.read(*opened, 0);
        ASSERT_TRUE(first.ok());
        EXPECT_EQ(text((*first)->Model), "outside");
        ASSERT_TRUE(store.VibratDatchikPoIndeksu(0));
        EXPECT_FALSE(files.readIntoSelected(*opened, 1));
        EXPECT_EQ(text(slots[0]->Model), "M1");
        EXPECT_EQ(files.readIntoSelected(*opened, 2)->code, probefiles::ErrorCode::kRecordDamaged);
        EXPECT_EQ(text(slots[0]->Model), "M1");

        // A store that cannot write back the bytes a later version added refuses the record that
        // carries them, naming the key, rather than drop them; this store takes it.
        const std::uint8_t later[] = {1, 2, 3};
        probefiles::StoreExtras older = probefiles::extrasOf(loader);
        older.addWithTrailing = nullptr;
        {
            probefiles::ProbeFiles olderFiles(store, older);
            const auto refused = olderFiles.add(outside, 4, later);
            ASSERT_TRUE(refused);
            EXPECT_EQ(refused->code, probefiles::ErrorCode::kInvalidProbe);
            EXPECT_EQ(refused->probe, 4u);
            EXPECT_EQ(refused->key, "later_version_bytes");
            EXPECT_FALSE(olderFiles.add(outside, 4));
        }
        EXPECT_FALSE(files.add(outside, 5, later));
        files.drop();
    }
    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    std::filesystem::remove(path);
}

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// With the store's batches: the collection goes into the file as one unit; a file whose header is
// damaged takes nothing, and a record that does not load is named, file and number, in the box.
TEST(RealProbeStoreTest, DamagedFilesAreToldInTheClientsWords) {
    NoBoxes boxes;
    biblioteki::Biblioteki loader(biblioteki::systemPlatform(), boxes);
    ASSERT_TRUE(loader.ZagruzitBiblioteki(biblioteki::kProbeStore));
    ASSERT_NE(probefiles::extrasOf(loader).commit, nullptr);
    const contracts::ProbeStoreApi& store = loader.probeStore();
    probe::ProbeSelection selection;
    ASSERT_TRUE(store.VidelitPamyatDlyaDatchikov(2, kProbeRecordSize32));
    selection.probeCount = 2;
    selection.currentIndex = 0;
    ASSERT_TRUE(store.VibratDatchikPoIndeksu(0));
    selection.current = store.PoluchitVibranniyDatchik();

    const auto stem =
        std::filesystem::temp_directory_path() / ("coll_damaged_" + std::to_string(::getpid()));
    const auto all = stem.string() + "_all.dt", one = stem.string() + "_one.dt";
    NoPage page;
    ScriptedUi ui;
    ui.user = [](collections::RecordSelectionModel&) { return collections::kResultChosen; };
    collections::ProbeFileCommands commands(store, selection, page, ui,
                                            [&loader] { return probefiles::extrasOf(loader); });
    ui.fileName = all;
    commands.miSohranitClick();
    ui.fileName = one;
    commands.miSohranitOdinClick();
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0];
    EXPECT_EQ(store.ZagruzitKolichestvoDatchikov(all.c_str()), 2u);

    // A flag bit of the header flipped: its checksum no longer holds.
    std::string bytes = bytesOf(all);
    bytes[16] = static_cast<char>(bytes[16] ^ 1);
    std::ofstream(all, std::ios::binary | std::ios::trunc) << bytes;
    ui.fileName = all;
    commands.miSohranitClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("Заголовок файла «" + all + "» повреждён"), std::string::npos)
        << ui.messages[0];
    EXPECT_EQ(bytesOf(all), bytes);

    // The last byte of the only record's payload changed: the record fails its checksum.
    bytes = bytesOf(one);
    bytes.back() = static_cast<char>(bytes.back() ^ 0x55);
    std::ofstream(one, std::ios::binary | std::ios::trunc) << bytes;
    ui.messages.clear();
    ui.fileName = one;
    commands.miZagruzitClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("Запись 1 файла «" + one + "» повреждена"), std::string::npos)
        << ui.messages[0];
    EXPECT_EQ(selection.probeCount, 2u);

    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    std::filesystem::remove(all);
    std::filesystem::remove(one);
}

}  // namespace
