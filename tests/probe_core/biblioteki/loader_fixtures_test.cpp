// The loader against real shared objects: one fixture folder per kind of library.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "probe_core/biblioteki/biblioteki.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

namespace {

using testing_support::Box;
using testing_support::FolderPlatform;
using testing_support::RecordingBoxes;

const std::string kFixtures = LOADER_FIXTURE_DIR;

struct Loader {
    explicit Loader(const std::string& folder) : platform(kFixtures + "/" + folder) {}
    long count(const std::string& call) const {
        return std::count(platform.calls.begin(), platform.calls.end(), call);
    }
    FolderPlatform platform;
    RecordingBoxes boxes;
    biblioteki::Biblioteki loader{platform, boxes};
};

TEST(LoaderFixtureTest, CompleteProbeStoreBindsAndServesARecord) {
    Loader l("full");
    ASSERT_TRUE(l.loader.ZagruzitBiblioteki(0x20));
    EXPECT_TRUE(l.boxes.shown.empty());
    const auto& store = l.loader.probeStore();
    EXPECT_TRUE(isTrue(store.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32)));
    EXPECT_TRUE(isTrue(store.VibratDatchikPoIndeksu(0)));
    EXPECT_NE(store.PoluchitVibranniyDatchik(), nullptr);
    l.loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    EXPECT_EQ(l.loader.notLoadedMask(), 0xFFFFFFFFu);
    EXPECT_EQ(l.count("free"), 1);
}

TEST(LoaderFixtureTest, ProbeStoreWithoutFifthExportIsNamedAndFreed) {
    Loader l("no_fifth");
    EXPECT_FALSE(l.loader.ZagruzitBiblioteki(0x20));
    EXPECT_EQ(l.count("find VidelitPamyatDlyaDatchikov"), 1);
    EXPECT_EQ(l.count("find VibratDatchikPoIndeksu"), 0);
    ASSERT_EQ(l.boxes.shown.size(), 1u);
    EXPECT_EQ(l.boxes.shown[0].text,
              "Загрузка библиотек(и):\r\nprobestore.dll\r\nне была завершена. \r\nНе найдены "
              "необходимые функции.");
    EXPECT_EQ(l.count("free"), 1);
    EXPECT_EQ(l.loader.moduleHandle(biblioteki::kSlotProbeStore), nullptr);
    EXPECT_NE(l.loader.notLoadedMask() & 0x20u, 0u);
}

TEST(LoaderFixtureTest, ViewerWithoutOneExportFailsAfterAllFiveLookups) {
    Loader l("viewer_missing");
    EXPECT_FALSE(l.loader.ZagruzitBiblioteki(0x08));
    for (const char* name : {"OpredelitPoverhnosti", "OpredelitFlagi", "PoluchitFlagi",
                             "OpredelitMasshtab", "SortirovatPoverhnostiPoGlubine"}) {
        EXPECT_EQ(l.count(std::string("find ") + name), 1) << name;
    }
    EXPECT_EQ(l.boxes.shown.size(), 1u);
    EXPECT_NE(l.loader.notLoadedMask() & 0x08u, 0u);
}

TEST(LoaderFixtureTest, WaveProcessorWithPlainRequestNameBinds) {
    Loader l("full");
    ASSERT_TRUE(l.loader.ZagruzitBiblioteki(0x40));
    const auto lastSize = FolderPlatform::fixtureExport<std::uint32_t (*)()>(
        l.loader.moduleHandle(biblioteki::kSlotWaveLib), "FixtureLastSize");
    ASSERT_NE(lastSize, nullptr);
    EXPECT_EQ(lastSize(), 14 * sizeof(TableCell));
    for (int i = 0; i < 14; ++i)
        EXPECT_NE(l.loader.table(biblioteki::kSlotWaveLib)[i], nullptr) << i;
    l.loader.VigruzitBiblioteki(0x40);
}

TEST(LoaderFixtureTest, SurfaceGeneratorBindsOnlyWhenItsInitialisingCallSucceeds) {
    Loader failing("init_zero");
    EXPECT_FALSE(failing.loader.ZagruzitBiblioteki(0x01));
    EXPECT_EQ(failing.boxes.shown.size(), 1u);
    EXPECT_EQ(failing.count("free"), 1);
    EXPECT_EQ(failing.loader.contextRecord(biblioteki::kSlotSurfGen)[1], nullptr);

    Loader working("full");
    ASSERT_TRUE(working.loader.ZagruzitBiblioteki(0x01));
    EXPECT_NE(working.loader.contextRecord(biblioteki::kSlotSurfGen)[1], nullptr);
    working.loader.VigruzitBiblioteki(0x01);
    EXPECT_EQ(working.loader.contextRecord(biblioteki::kSlotSurfGen)[1], nullptr);
}

TEST(LoaderFixtureTest, KeeperAndArchiverWithoutTablesAreListedTogether) {
    Loader l("no_tables");
    EXPECT_FALSE(l.loader.ZagruzitBiblioteki(0x14));
    ASSERT_EQ(l.boxes.shown.size(), 1u);
    EXPECT_EQ(l.boxes.shown[0],
              (Box{"Системная ошибка",
                   "Загрузка библиотек(и):\r\nsurfstore.dll\r\nsurfarch.dll\r\nне была "
                   "завершена. \r\nНе найдены необходимые функции."}));
    EXPECT_EQ(l.count("free"), 2);
    EXPECT_EQ(l.loader.notLoadedMask() & 0x14u, 0x14u);
}

TEST(LoaderFixtureTest, MissingLibraryBoxEndsWithTheSystemText) {
    Loader l("no_tables");
    EXPECT_FALSE(l.loader.ZagruzitBiblioteki(0x20));
    ASSERT_EQ(l.boxes.shown.size(), 1u);
    const std::string head = "Загрузка библиотек(и)\r\nprobestore.dll\r\nне была завершена. \r\n";
    ASSERT_GT(l.boxes.shown[0].text.size(), head.size());
    EXPECT_EQ(l.boxes.shown[0].text.substr(0, head.size()), head);
}

}  // namespace
