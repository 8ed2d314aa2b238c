#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dynlib.h"

namespace {

const std::string kFixture = std::string(PROBE_FIXTURE_DIR) + "/fixture_dllentry.dll";
using Counter = int (*)();

TEST(DynlibTest, DllSuffixMapsToSoOnlyAtTheEnd) {
    EXPECT_EQ(platform::mapLibraryName("probestore.dll"), "probestore.so");
    EXPECT_EQ(platform::mapLibraryName("PROBESTORE.DLL"), "PROBESTORE.so");
    EXPECT_EQ(platform::mapLibraryName("a.dll.txt"), "a.dll.txt");
    EXPECT_EQ(platform::mapLibraryName(".dl"), ".dl");
}

TEST(DynlibTest, EntryNotificationsRunOnceAroundTheFirstLoadAndLastFree) {
    void* a = platform::loadLibrary(kFixture.c_str());
    ASSERT_NE(a, nullptr) << platform::lastErrorText();
    void* b = platform::loadLibrary(kFixture.c_str());
    ASSERT_EQ(a, b);
    auto attaches = reinterpret_cast<Counter>(platform::findExport(a, "FixtureAttaches"));
    auto detaches = reinterpret_cast<Counter>(platform::findExport(a, "FixtureDetaches"));
    ASSERT_NE(attaches, nullptr);
    EXPECT_EQ(attaches(), 1);
    EXPECT_TRUE(platform::freeLibrary(b));
    EXPECT_EQ(detaches(), 0);  // still held once
    EXPECT_TRUE(platform::freeLibrary(a));
    EXPECT_FALSE(platform::freeLibrary(a));  // no longer a handle of ours
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorInvalidHandle);
}

TEST(DynlibTest, RefusedAttachFailsTheLoadWithTheInitialisationError) {
    setenv("FIXTURE_REFUSE_ATTACH", "1", 1);
    void* m = platform::loadLibrary(kFixture.c_str());
    unsetenv("FIXTURE_REFUSE_ATTACH");
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorDllInitFailed);
}

TEST(DynlibTest, MissingLibraryAndExportReportCodeAndText) {
    EXPECT_EQ(platform::loadLibrary("no_such_library.dll"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorModNotFound);
    EXPECT_NE(platform::lastErrorText().find("Не найден указанный модуль."), std::string::npos);

    void* m = platform::loadLibrary(kFixture.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(platform::findExport(m, "NoSuchExport"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorProcNotFound);
    EXPECT_TRUE(platform::freeLibrary(m));
}

// A bare name is looked up beside the running executable first; a file found there that cannot
// be loaded fails the load with its own reason.
TEST(DynlibTest, BareNamesAreLookedUpBesideTheExecutableFirst) {
    namespace fs = std::filesystem;
    const fs::path dir = platform::executableDirectory();
    ASSERT_FALSE(dir.empty());
    const fs::path copy = dir / "dynlib_copy_fixture.so";
    const fs::path broken = dir / "dynlib_broken_fixture.so";
    fs::copy_file(platform::mapLibraryName(kFixture), copy, fs::copy_options::overwrite_existing);
    std::ofstream(broken) << "not a library";

    void* m = platform::loadLibrary("dynlib_copy_fixture.dll");
    EXPECT_NE(m, nullptr) << platform::lastErrorText();
    if (m != nullptr) {
        EXPECT_TRUE(platform::freeLibrary(m));
    }

    EXPECT_EQ(platform::loadLibrary("dynlib_broken_fixture.dll"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorModNotFound);
    EXPECT_NE(platform::lastErrorText().find(broken.string()), std::string::npos)
        << platform::lastErrorText();

    fs::remove(copy);
    fs::remove(broken);
}

// Only a library's own exports are found: neither a lookup nor the entry notification reaches
// into a library it depends on.
TEST(DynlibTest, ExportsOfADependencyAreNotTheLibrarysOwn) {
    const std::string dependent = std::string(PROBE_FIXTURE_DIR) + "/fixture_dependent.dll";
    void* m = platform::loadLibrary(dependent.c_str());
    ASSERT_NE(m, nullptr) << platform::lastErrorText();
    EXPECT_EQ(platform::findExport(m, "FixtureFromDependency"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorProcNotFound);
    auto attaches = reinterpret_cast<Counter>(platform::findExport(m, "FixtureDependentAttaches"));
    ASSERT_NE(attaches, nullptr);
    EXPECT_EQ(attaches(), 0);
    EXPECT_TRUE(platform::freeLibrary(m));
}

}  // namespace
