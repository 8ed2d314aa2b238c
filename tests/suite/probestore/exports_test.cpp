// The probe store as the editor binds it: the real library, looked up by its plain export names.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "platform/cp1251.h"
#include "platform/crc32.h"
#include "platform/dynlib.h"
#include "platform/files.h"
#include "suite/probestore/probe_file.h"
#include "tests/suite/probestore/read_probe_file.h"
#include "tests/suite/probestore/test_texts.h"

namespace fs = std::filesystem;
using probestore_test::lineOf;
using probestore_test::Lines;

namespace {

class ProbeStoreExportsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = platform::loadLibrary("probestore.dll");
        ASSERT_NE(module_, nullptr) << platform::lastErrorText();
        void* cells[13];
        for (int i = 0; i < 13; ++i) {
            cells[i] = platform::findExport(module_, contracts::kProbeStoreExports[i]);
            ASSERT_NE(cells[i], nullptr) << contracts::kProbeStoreExports[i];
        }
        using namespace contracts;
        api_.SozdatSpisok = reinterpret_cast<SozdatSpisokFn>(cells[0]);
        api_.SozdatStroku = reinterpret_cast<SozdatStrokuFn>(cells[1]);
        api_.UdalitSpisok = reinterpret_cast<UdalitSpisokFn>(cells[2]);
        api_.UdalitStroku = reinterpret_cast<UdalitStrokuFn>(cells[3]);
        api_.VidelitPamyatDlyaDatchikov = reinterpret_cast<VidelitPamyatDlyaDatchikovFn>(cells[4]);
        api_.VibratDatchikPoIndeksu = reinterpret_cast<VibratDatchikPoIndeksuFn>(cells[5]);
        api_.PoluchitVibranniyDatchik = reinterpret_cast<PoluchitVibranniyDatchikFn>(cells[6]);
        api_.VibratVremenniyDatchik = reinterpret_cast<VibratVremenniyDatchikFn>(cells[7]);
        api_.InicializirovatDatchik = reinterpret_cast<InicializirovatDatchikFn>(cells[8]);
        api_.ObmenyatDatchiki = reinterpret_cast<ObmenyatDatchikiFn>(cells[9]);
        api_.SohranitDatchik = reinterpret_cast<SohranitDatchikFn>(cells[10]);
        api_.ZagruzitDatchik = reinterpret_cast<ZagruzitDatchikFn>(cells[11]);
        api_.ZagruzitKolichestvoDatchikov =
            reinterpret_cast<ZagruzitKolichestvoDatchikovFn>(cells[12]);
    }
    static void TearDownTestSuite() {
        // Leave the collection empty so that nothing is left for the leak checkers.
        if (api_.VidelitPamyatDlyaDatchikov) {
            api_.VibratVremenniyDatchik();
            api_.InicializirovatDatchik();
            api_.VidelitPamyatDlyaDatchikov(0, 0);
        }
        if (module_ != nullptr) platform::freeLibrary(module_);
    }
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("probestore_exports_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A file name as the editor passes it: cp1251.
    static std::string cp1251(const fs::path& path) { return platform::cp1251Path(path); }
    // Fills the collection with `count` probes, model "Модель <i>", and appends them to `file`.
    void saveProbes(const std::string& file, std::uint32_t count) {
        ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(count, kProbeRecordSize32));
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_TRUE(api_.VibratDatchikPoIndeksu(i));
            storeText(api_.PoluchitVibranniyDatchik()->Model,
                      platform::utf8ToCp1251("Модель ") + std::to_string(i));
            ASSERT_TRUE(api_.SohranitDatchik(file.c_str()));
        }
    }
    // Loads record `number` of `file` into the scratch record; its model as UTF-8, or "failed".
    std::string loadModel(const std::string& file, std::uint32_t number) {
        if (!api_.VibratVremenniyDatchik()) return "failed";
        if (!api_.ZagruzitDatchik(file.c_str(), number)) return "failed";
        const char* model = api_.PoluchitVibranniyDatchik()->Model.text;
        return model != nullptr ? platform::cp1251ToUtf8(model) : "";
    }

    // What the editor does when a page stores a text field.
    void storeText(Stroka& field, const std::string& value) {
        Lines l{{value}};
        ASSERT_TRUE(api_.UdalitStroku(&field));
        ASSERT_TRUE(api_.SozdatStroku(&field, lineOf, &l));
    }

    static inline platform::Module module_ = nullptr;
    static inline contracts::ProbeStoreApi api_;
    fs::path dir_;
};

TEST_F(ProbeStoreExportsTest, StartUpGivesOneSelectedZeroRecord) {
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(0, 0));  // whatever earlier tests left
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32));
    ASSERT_TRUE(api_.VibratDatchikPoIndeksu(0));
    ProbeRecord* r = api_.PoluchitVibranniyDatchik();
    ASSERT_NE(r, nullptr);
    ProbeRecord zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0, std::memcmp(r, &zero, sizeof zero));
}

TEST_F(ProbeStoreExportsTest, EmptiedCollectionAnswersTheAllOnesIndexWithNull) {
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(2, kProbeRecordSize32));
    ASSERT_TRUE(api_.VibratDatchikPoIndeksu(1));
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(0, 0));
    EXPECT_EQ(api_.PoluchitVibranniyDatchik(), nullptr);
    EXPECT_FALSE(api_.VibratDatchikPoIndeksu(0xFFFFFFFFu));
    EXPECT_EQ(api_.PoluchitVibranniyDatchik(), nullptr);
    EXPECT_FALSE(api_.InicializirovatDatchik());
    EXPECT_FALSE(api_.SohranitDatchik(cp1251(dir_ / "none.dt").c_str()));
    EXPECT_FALSE(fs::exists(dir_ / "none.dt"));
}

// The road of a load: preview every record in the scratch record, then fill the chosen slots.
TEST_F(ProbeStoreExportsTest, SavedCollectionLoadsBackThroughTheScratchRecord) {
    const std::string file = cp1251(dir_ / fs::path(u8"датчики.dt"));
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(3, kProbeRecordSize32));
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(api_.VibratDatchikPoIndeksu(i));
        ProbeRecord* r = api_.PoluchitVibranniyDatchik();
        storeText(r->Model, platform::utf8ToCp1251("Модель ") + std::to_string(i));
        r->OCHIP = 1e6 * (i + 1);
        ASSERT_TRUE(api_.SohranitDatchik(file.c_str()));
    }
    // The name crossed the boundary in cp1251; the file system got it in its own encoding.
    EXPECT_TRUE(fs::exists(dir_ / fs::path(u8"датчики.dt")));
    ASSERT_EQ(api_.ZagruzitKolichestvoDatchikov(file.c_str()), 3u);

    ASSERT_TRUE(api_.VibratVremenniyDatchik());
    ProbeRecord* scratch = api_.PoluchitVibranniyDatchik();
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(api_.ZagruzitDatchik(file.c_str(), i));
        EXPECT_EQ(scratch->OCHIP, 1e6 * (i + 1));
    }
    // A failed load leaves the selected record as it was.
    EXPECT_FALSE(api_.ZagruzitDatchik(file.c_str(), 3));
    EXPECT_EQ(scratch->OCHIP, 3e6);
    EXPECT_EQ(platform::cp1251ToUtf8(scratch->Model.text), "Модель 2");

    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(2, 0));
    std::uint32_t slot = 0;
    for (std::uint32_t line : {0u, 2u}) {
        ASSERT_TRUE(api_.VibratDatchikPoIndeksu(slot++));
        ASSERT_TRUE(api_.ZagruzitDatchik(file.c_str(), line));
    }
    ASSERT_TRUE(api_.VibratDatchikPoIndeksu(1));
    EXPECT_EQ(api_.PoluchitVibranniyDatchik()->OCHIP, 3e6);
    EXPECT_TRUE(api_.ObmenyatDatchiki(0, 1));
    EXPECT_EQ(api_.PoluchitVibranniyDatchik()->OCHIP, 1e6);
}

// A probe file in a Cyrillic folder under a Cyrillic name: the system lists it under that name,
// it reads back, and it can be deleted.
TEST_F(ProbeStoreExportsTest, ProbeFileUnderCyrillicFolderAndNameIsWrittenListedReadAndDeleted) {
    const fs::path folder = dir_ / fs::path(u8"Датчики «Эхо»");
    const fs::path name(u8"Наклонный №1.dt");
    fs::create_directories(folder);
    const std::string file = cp1251(folder / name);
    EXPECT_EQ(platform::systemPath(file), folder / name);
    saveProbes(file, 2);

    std::vector<fs::path> listed;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        listed.push_back(e.path().filename());
    EXPECT_EQ(listed, std::vector<fs::path>{name});
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(file.c_str()), 2u);
    EXPECT_EQ(loadModel(file, 1), "Модель 1");

    // Indexed by the store and still deletable.
    EXPECT_TRUE(fs::remove(folder / name));
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(file.c_str()), 0u);
    EXPECT_EQ(loadModel(file, 0), "failed");
    EXPECT_TRUE(fs::is_empty(folder));
}

// The store keeps the file it indexed open; another program may still rename, replace and delete
// it, and the next count or load sees what is under the name now.
TEST_F(ProbeStoreExportsTest, IndexedProbeFileCanBeRenamedReplacedAndDeletedByOthers) {
    const fs::path first = dir_ / "first.dt";
    const fs::path second = dir_ / "second.dt";
    saveProbes(cp1251(first), 3);
    ASSERT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(first).c_str()), 3u);
    ASSERT_EQ(loadModel(cp1251(first), 2), "Модель 2");

    fs::rename(first, second);
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(first).c_str()), 0u);
    EXPECT_EQ(loadModel(cp1251(first), 0), "failed");
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(second).c_str()), 3u);
    EXPECT_EQ(loadModel(cp1251(second), 2), "Модель 2");

    // A one-record file written over the indexed one.
    saveProbes(cp1251(first), 1);
    ASSERT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(second).c_str()), 3u);
    {
        std::ifstream from(first, std::ios::binary);
        std::ofstream(second, std::ios::binary | std::ios::trunc) << from.rdbuf();
    }
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(second).c_str()), 1u);
    EXPECT_EQ(loadModel(cp1251(second), 2), "failed");

    fs::remove(second);
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(second).c_str()), 0u);
    EXPECT_EQ(loadModel(cp1251(second), 0), "failed");
    EXPECT_FALSE(fs::exists(second));
    // The name is free for a new file at once.
    saveProbes(cp1251(second), 2);
    EXPECT_EQ(api_.ZagruzitKolichestvoDatchikov(cp1251(second).c_str()), 2u);
}

TEST_F(ProbeStoreExportsTest, ListsAreCopiedFromTheEditorsReusedBuffer) {
    ASSERT_TRUE(api_.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32));
    ASSERT_TRUE(api_.VibratDatchikPoIndeksu(0));
    ProbeRecord* r = api_.PoluchitVibranniyDatchik();
    Lines l{{"УД2-12", "", "A1212 MASTER"}};
    ASSERT_TRUE(api_.UdalitSpisok(&r->Pribori));
    ASSERT_TRUE(api_.SozdatSpisok(&r->Pribori, lineOf, 3, &l));
    ASSERT_EQ(r->Pribori.count, 3u);
    EXPECT_STREQ(r->Pribori.lines[0], "УД2-12");
    EXPECT_STREQ(r->Pribori.lines[2], "A1212 MASTER");
    EXPECT_TRUE(api_.InicializirovatDatchik());
    EXPECT_EQ(r->Pribori.lines, nullptr);
}

// The reader fuzz corpus through the exports: each file counted, loaded and appended to.
TEST_F(ProbeStoreExportsTest, EveryCorpusFileIsCountedLoadedAndAppendedToConsistently) {
    const fs::path corpus = PROBESTORE_CORPUS_DIR;
    ASSERT_TRUE(fs::is_directory(corpus));
    const std::string scratch = (dir_ / "corpus.dt").string();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<std::uint8_t> bytes = probestore_test::bytesOf(entry.path().string());
        EXPECT_TRUE(probestore_test::readProbeFile(api_, scratch, bytes.data(), bytes.size()))
            << entry.path().filename();
        ++files;
    }
    EXPECT_GT(files, 10);
}

// A file of a later minor version whose record carries fields this store does not know: saving
// the loaded record and adding it to a batch write those bytes back after the known ones.
TEST_F(ProbeStoreExportsTest, LaterMinorVersionFieldsAreCarriedThroughSavesAndBatches) {
    ProbeRecord zero;
    std::memset(&zero, 0, sizeof zero);
    std::vector<std::uint8_t> payload = probestore::encodeRecord(zero);
    const std::size_t known = payload.size();
    const std::string extra = "later fields";
    payload.insert(payload.end(), extra.begin(), extra.end());
    std::vector<std::uint8_t> bytes = probestore::encodeFileHeader();
    bytes[10] = 1;  // minor version 1, and the header's checksum to match
    const std::uint32_t crc = platform::crc32Of(bytes.data(), 20);
    for (int i = 0; i < 4; ++i) bytes[20 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    const std::vector<std::uint8_t> frame = probestore::encodeFrame(payload);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const fs::path later = dir_ / "later.dt";
    std::ofstream(later, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::string name = cp1251(later);
    ASSERT_EQ(api_.ZagruzitKolichestvoDatchikov(name.c_str()), 1u);
    ASSERT_TRUE(api_.VibratVremenniyDatchik());
    ASSERT_TRUE(api_.ZagruzitDatchik(name.c_str(), 0));
    const ProbeRecord* loaded = api_.PoluchitVibranniyDatchik();

    const auto trailing = reinterpret_cast<contracts::RecordTrailingBytesFn>(
        platform::findExport(module_, contracts::kRecordTrailingBytes));
    const auto add = reinterpret_cast<contracts::AddProbeToBatchFn>(
        platform::findExport(module_, contracts::kAddProbeToBatch));
    const auto commit = reinterpret_cast<contracts::CommitProbeBatchFn>(
        platform::findExport(module_, contracts::kCommitProbeBatch));
    ASSERT_TRUE(trailing && add && commit);
    std::uint32_t size = 0;
    const std::uint8_t* kept = trailing(loaded, &size);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(kept), size), extra);

    const fs::path saved = dir_ / "saved.dt", batched = dir_ / "batched.dt";
    ASSERT_TRUE(api_.SohranitDatchik(cp1251(saved).c_str()));
    ASSERT_TRUE(add(loaded));
    ASSERT_TRUE(commit(cp1251(batched).c_str()));
    for (const fs::path& p : {saved, batched}) {
        std::ifstream in(p, std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), {}};
        ASSERT_EQ(file.size(), 24 + 16 + known + extra.size()) << p;
        EXPECT_EQ(file.substr(24 + 16 + known), extra) << p;
    }
    // A reset record carries nothing any more.
    ASSERT_TRUE(api_.InicializirovatDatchik());
    EXPECT_EQ(trailing(loaded, &size), nullptr);
}

}  // namespace
