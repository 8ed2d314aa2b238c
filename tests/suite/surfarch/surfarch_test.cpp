// The archiver with the keeper, both loaded from build/bin and reached through their tables, the
// way the editor lists a surface file and reads a surface for showing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "platform/files.h"
#include "suite/surfarch/pv_format.h"
#include "test_files.h"

namespace {

namespace k = contracts::keeper;
namespace a = contracts::archiver;
namespace pv = surfaces::pv;
namespace fs = std::filesystem;
using contracts::SurfaceRecord;

// A file name as the editor hands it to the archiver.
std::string cp1251(const fs::path& file) {
    return platform::cp1251Path(file);
}

const std::string kSampleFile = PROBE_EXAMPLES_DIR "/probe_surfaces.pv";

class ArchiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keeperModule_ = platform::loadLibrary("surfstore.dll");
        archiverModule_ = platform::loadLibrary("surfarch.dll");
        ASSERT_NE(keeperModule_, nullptr) << platform::lastErrorText();
        ASSERT_NE(archiverModule_, nullptr) << platform::lastErrorText();
        ASSERT_TRUE(bind(keeperModule_, contracts::keeper::kTableName, keeper_));
        ASSERT_TRUE(bind(archiverModule_, contracts::archiver::kTableName, archiver_));
    }
    void TearDown() override {
        for (platform::Module m : {archiverModule_, keeperModule_}) {
            if (m != nullptr) {
                EXPECT_TRUE(platform::freeLibrary(m));
            }
        }
    }

    static bool bind(platform::Module m, const char* nameUtf8, TableCell* table) {
        auto request = reinterpret_cast<TableRequest2>(
            platform::findExport(m, "PoluchitTablicuFunkciyPoImeni"));
        return request != nullptr &&
               request(table, platform::utf8ToCp1251(nameUtf8).c_str()) == table;
    }

    // Keeper entries.
    bool allocate(std::uint32_t n) {
        return isTrue(cellAs<k::VidelitPamyatDlyaPoverhnosteyFn>(
            keeper_[k::kVidelitPamyatDlyaPoverhnostey])(n));
    }
    SurfaceRecord* record(std::uint32_t i) {
        return static_cast<SurfaceRecord*>(
            cellAs<k::PoluchitPoverhnostPoIndeksuFn>(keeper_[k::kPoluchitPoverhnostPoIndeksu])(i));
    }
    bool prepare(void* r, std::int32_t p1, std::uint32_t p2) {
        return isTrue(
            cellAs<k::PodgotovitPoverhnostFn>(keeper_[k::kPodgotovitPoverhnost])(r, p1, p2));
    }
    std::string name(void* r) {
        return cellAs<k::PoluchitImyaPoverhnostiFn>(keeper_[k::kPoluchitImyaPoverhnosti])(r);
    }

    // Archiver entries.
    std::int32_t count(const fs::path& file) {
        return cellAs<a::ZagruzitKolichestvoPoverhnosteyFn>(
            archiver_[a::kZagruzitKolichestvoPoverhnostey])(cp1251(file).c_str());
    }
    std::int32_t parameter1(const fs::path& file, std::uint32_t i) {
        return cellAs<a::ZagruzitParametr1PoverhnostiFn>(
            archiver_[a::kZagruzitParametr1Poverhnosti])(cp1251(file).c_str(), i);
    }
    std::uint32_t parameter2(const fs::path& file, std::uint32_t i) {
        return cellAs<a::ZagruzitParametr2PoverhnostiFn>(
            archiver_[a::kZagruzitParametr2Poverhnosti])(cp1251(file).c_str(), i);
    }
    bool load(const fs::path& file, void* r, std::uint32_t i) {
        return isTrue(cellAs<a::ZagruzitPoverhnostFn>(archiver_[a::kZagruzitPoverhnost])(
            cp1251(file).c_str(), r, i));
    }
    bool save(const fs::path& file, const void* r) {
        return isTrue(
            cellAs<a::SaveSurfaceFn>(archiver_[a::kSaveSurface])(cp1251(file).c_str(), r));
    }
    std::int32_t find(const fs::path& file, const std::string& surface) {
        return cellAs<a::FindSurfaceInFileFn>(archiver_[a::kFindSurfaceInFile])(
            cp1251(file).c_str(), surface.c_str());
    }

    // The editor's listing: room for every surface, each prepared with its parameters and read.
    std::vector<std::string> list(const fs::path& file) {
        std::vector<std::string> names;
        const std::int32_t n = count(file);
        if (n <= 0 || !allocate(static_cast<std::uint32_t>(n))) return names;
        for (std::int32_t i = 0; i < n; ++i) {
            const auto u = static_cast<std::uint32_t>(i);
            prepare(record(u), parameter1(file, u), parameter2(file, u));
            load(file, record(u), u);
            names.push_back(platform::cp1251ToUtf8(name(record(u))));
        }
        return names;
    }

    platform::Module keeperModule_ = nullptr;
    platform::Module archiverModule_ = nullptr;
    TableCell keeper_[k::kTableEntries] = {};
    TableCell archiver_[a::kTableEntries + 1] = {};
};

TEST_F(ArchiverTest, TableIsHandedOutOnlyForItsExactName) {
    auto request = reinterpret_cast<TableRequest2>(
        platform::findExport(archiverModule_, "PoluchitTablicuFunkciyPoImeni"));
    TableCell table[a::kTableEntries + 1] = {};
    EXPECT_EQ(request(table, platform::utf8ToCp1251(contracts::keeper::kTableName).c_str()),
              nullptr);
    EXPECT_EQ(request(table, contracts::archiver::kTableName), nullptr);  // UTF-8 bytes
    EXPECT_EQ(archiver_[a::kTableEntries], nullptr);
    for (std::size_t i = 0; i < a::kTableEntries; ++i) EXPECT_NE(archiver_[i], nullptr) << i;
}

TEST_F(ArchiverTest, SampleFileListsItsSurfacesWithTheirParameters) {
    const std::vector<std::string> names = list(kSampleFile);
    const std::vector<std::string> expected = {"Излучающая поверхность",
                                               "Индикатриса направленности",
                                               "Индикатриса приёма",
                                               "Сечение индикатрисы направленности",
                                               "Излучающая поверхность: наклонный преобразователь",
                                               "Излучающая поверхность: линейная решётка",
                                               "Излучающая поверхность: кольцевая решётка",
                                               "Излучающая поверхность: матричная решётка",
                                               "Излучающая поверхность: линза"};
    EXPECT_EQ(names, expected);
    for (std::uint32_t i = 4; i < 9; ++i) EXPECT_GT(parameter2(kSampleFile, i), 0u) << i;
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_GT(parameter2(kSampleFile, i), 0u) << i;  // shaded surfaces
        EXPECT_EQ(record(i)->vertexCount, static_cast<std::uint32_t>(parameter1(kSampleFile, i)));
        EXPECT_EQ(record(i)->triangleCount, parameter2(kSampleFile, i));
    }
    EXPECT_EQ(parameter2(kSampleFile, 3), 0u);  // a line
    EXPECT_GT(parameter1(kSampleFile, 3), 1);
    EXPECT_EQ(find(kSampleFile, platform::utf8ToCp1251("Индикатриса приёма")), 2);
    EXPECT_EQ(find(kSampleFile, platform::utf8ToCp1251("индикатриса приёма")), -1);
}

TEST_F(ArchiverTest, SearchIntoOneRecordFindsTheWantedSurface) {
    // Showing reads the surfaces one after another into record 0 until the name matches.
    ASSERT_TRUE(allocate(1));
    const std::string wanted = platform::utf8ToCp1251("Индикатриса приёма");
    std::int32_t found = -1;
    std::uint32_t lastParameter2 = 0;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(count(kSampleFile)); ++i) {
        lastParameter2 = parameter2(kSampleFile, i);
        ASSERT_TRUE(prepare(record(0), parameter1(kSampleFile, i), lastParameter2));
        if (load(kSampleFile, record(0), i) && name(record(0)) == wanted) {
            found = static_cast<std::int32_t>(i);
            break;
        }
    }
    EXPECT_EQ(found, 2);
    EXPECT_EQ(record(0)->triangleCount, lastParameter2);
    EXPECT_TRUE(contracts::isUsableRecord(record(0)));
}

TEST_F(ArchiverTest, ReadingNeedsThePreparedRoomAndLeavesTheRecordAloneOnFailure) {
    ASSERT_TRUE(allocate(1));
    SurfaceRecord* r = record(0);
    ASSERT_TRUE(prepare(r, 3, 0));
    const std::string before = name(r);
    EXPECT_FALSE(load(kSampleFile, r, 0));  // the disc needs far more room
    EXPECT_EQ(r->vertexCount, 0u);
    EXPECT_EQ(name(r), before);
    EXPECT_FALSE(load(kSampleFile, r, 99));
    EXPECT_FALSE(load(kSampleFile, nullptr, 0));
    SurfaceRecord foreign{};
    EXPECT_FALSE(load(kSampleFile, &foreign, 3));  // not signed by the keeper

    EXPECT_EQ(count("/nonexistent/file.pv"), 0);
    EXPECT_EQ(parameter1("/nonexistent/file.pv", 0), 0);
    EXPECT_EQ(parameter2(kSampleFile, 99), 0u);
    EXPECT_EQ(cellAs<a::ZagruzitKolichestvoPoverhnosteyFn>(
                  archiver_[a::kZagruzitKolichestvoPoverhnostey])(nullptr),
              0);
}

TEST_F(ArchiverTest, DamagedSurfaceIsListedUnderAnEmptyNameAndTheOthersStillRead) {
    const fs::path path = surftest::scratchPath("damaged_sample.pv");
    std::string bytes = surftest::readBytes(kSampleFile);
    pv::File f;
    ASSERT_EQ(f.open(kSampleFile), pv::Status::kOk);
    bytes[f.blocks()[1].offset + pv::kBlockHeaderSize + 40] ^= 1;
    surftest::writeBytes(path, bytes);

    const std::vector<std::string> names = list(path);
    ASSERT_EQ(names.size(), 9u);
    EXPECT_EQ(names[0], "Излучающая поверхность");
    EXPECT_EQ(names[1], "");
    EXPECT_EQ(names[2], "Индикатриса приёма");
    EXPECT_EQ(parameter1(path, 1), 0);
}

// The archiver keeps the walk of the file it read last; a file changed by another program between
// two calls is walked again.
TEST_F(ArchiverTest, FileChangedBetweenCallsIsReadAsItIsNow) {
    const fs::path path = surftest::scratchPath("changing.pv");
    pv::Surface line;
    line.vertices = {0, 0, 0, 1, 0, 0};
    std::string bytes = pv::encodeHeader();
    for (const char* name : {"a", "b"}) {
        line.name = name;
        bytes += pv::encodeBlock(line);
    }
    surftest::writeBytes(path, bytes);
    EXPECT_EQ(list(path), (std::vector<std::string>{"a", "b"}));

    line.name = "c";
    bytes += pv::encodeBlock(line);
    surftest::writeBytes(path, bytes);
    EXPECT_EQ(list(path), (std::vector<std::string>{"a", "b", "c"}));

    // Rewritten in place with the same size: the names are read from the new bytes.
    std::string rewritten = pv::encodeHeader();
    for (const char* name : {"x", "b", "c"}) {
        line.name = name;
        rewritten += pv::encodeBlock(line);
    }
    surftest::writeBytes(path, rewritten);
    EXPECT_EQ(list(path), (std::vector<std::string>{"x", "b", "c"}));
    EXPECT_EQ(find(path, "x"), 0);

    surftest::writeBytes(path, pv::encodeHeader());
    EXPECT_EQ(count(path), 0);
}

// Rewritten in place with the same size and the old modification time put back, as on file
// systems that keep whole seconds: the next listing reads the surfaces as they are now.
TEST_F(ArchiverTest, SameSizeRewriteBehindAnUnchangedTimeIsNotServedStale) {
    const fs::path path = surftest::scratchPath("rewritten.pv");
    pv::Surface shortLine, longLine;
    shortLine.name = "short";
    shortLine.vertices = {0, 0, 0, 1, 0, 0};
    longLine.name = "long";
    longLine.vertices = {0, 0, 0, 1, 0, 0, 2, 0, 0};
    const std::string a = pv::encodeBlock(shortLine), b = pv::encodeBlock(longLine);
    surftest::writeBytes(path, pv::encodeHeader() + a + b);
    EXPECT_EQ(list(path), (std::vector<std::string>{"short", "long"}));

    const auto modified = std::filesystem::last_write_time(path);
    {
        std::fstream inPlace(path, std::ios::binary | std::ios::in | std::ios::out);
        const std::string swapped = pv::encodeHeader() + b + a;
        inPlace.write(swapped.data(), static_cast<std::streamsize>(swapped.size()));
    }
    std::filesystem::last_write_time(path, modified);
    EXPECT_EQ(list(path), (std::vector<std::string>{"long", "short"}));
    EXPECT_EQ(parameter1(path, 0), 3);
    EXPECT_EQ(record(0)->vertexCount, 3u);
}

// A surface file in a Cyrillic folder under a Cyrillic name: written, listed by the system under
// that name, read back and deleted.
TEST_F(ArchiverTest, SavedRecordsReadBackUnderCyrillicFileNames) {
    const fs::path folder = surftest::scratchPath("Поверхности «Эхо»");
    const fs::path fileName(u8"Новые поверхности №2.pv");
    fs::create_directories(folder);
    const fs::path path = folder / fileName;
    ASSERT_TRUE(allocate(2));
    SurfaceRecord* r = record(0);
    ASSERT_TRUE(prepare(r, 3, 1));
    auto setVertex = cellAs<k::SetVertexFn>(keeper_[k::kSetVertex]);
    ASSERT_TRUE(isTrue(setVertex(r, 0, 0, 0, 0)));
    ASSERT_TRUE(isTrue(setVertex(r, 1, 1, 0, 0)));
    ASSERT_TRUE(isTrue(setVertex(r, 2, 0, 1, 0.5)));
    ASSERT_TRUE(isTrue(cellAs<k::SetTriangleFn>(keeper_[k::kSetTriangle])(r, 0, 0, 1, 2)));
    const std::string surfaceName = platform::utf8ToCp1251("Треугольник");
    ASSERT_TRUE(
        isTrue(cellAs<k::SetSurfaceNameFn>(keeper_[k::kSetSurfaceName])(r, surfaceName.c_str())));
    ASSERT_TRUE(save(path, r));
    ASSERT_TRUE(save(path, r));
    EXPECT_EQ(count(path), 2);
    EXPECT_EQ(find(path, surfaceName), 0);

    SurfaceRecord* back = record(1);
    ASSERT_TRUE(prepare(back, parameter1(path, 1), parameter2(path, 1)));
    ASSERT_TRUE(load(path, back, 1));
    EXPECT_EQ(name(back), surfaceName);
    ASSERT_EQ(back->vertexCount, 3u);
    EXPECT_EQ(back->vertices[8], 0.5);
    EXPECT_EQ(back->triangles[1], 1u);

    SurfaceRecord foreign{};
    EXPECT_FALSE(save(path, &foreign));
    EXPECT_EQ(count(path), 2);

    std::vector<fs::path> listed;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        listed.push_back(e.path().filename());
    EXPECT_EQ(listed, std::vector<fs::path>{fileName});
    EXPECT_TRUE(fs::remove(path));
    EXPECT_EQ(count(path), 0);
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
