#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dynlib.h"
#include "tests/support/environment.h"

namespace {

const std::string kFixture = std::string(PROBE_FIXTURE_DIR) + "/fixture_dllentry.dll";
using Counter = int (*)();

TEST(DynlibTest, DllSuffixMapsToSoOnlyAtTheEnd) {
#if defined(_WIN32)
    EXPECT_EQ(platform::mapLibraryName("probestore.dll"), "probestore.dll");
#else
    EXPECT_EQ(platform::mapLibraryName("probestore.dll"), "probestore.so");
    EXPECT_EQ(platform::mapLibraryName("PROBESTORE.DLL"), "PROBESTORE.so");
    EXPECT_EQ(platform::mapLibraryName("a.dll.txt"), "a.dll.txt");
    EXPECT_EQ(platform::mapLibraryName(".dl"), ".dl");
#endif
}

// On POSIX the platform layer calls the library's DllEntry; on Windows the system calls its
// DllMain. Either way once on the first load and once after the last free.
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
#if !defined(_WIN32)
    EXPECT_FALSE(platform::freeLibrary(a));  // no longer a handle of ours
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorInvalidHandle);
#endif
}

TEST(DynlibTest, RefusedAttachFailsTheLoadWithTheInitialisationError) {
    void* m = nullptr;
    {
        testenv::Scoped refuse("FIXTURE_REFUSE_ATTACH", "1");
        m = platform::loadLibrary(kFixture.c_str());
    }
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorDllInitFailed);
}

TEST(DynlibTest, MissingLibraryAndExportReportCodeAndText) {
    EXPECT_EQ(platform::loadLibrary("no_such_library.dll"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorModNotFound);
#if defined(_WIN32)
    EXPECT_FALSE(platform::lastErrorText().empty());  // the system's own text, in its language
#else
    EXPECT_NE(platform::lastErrorText().find("Не найден указанный модуль."), std::string::npos);
#endif

    void* m = platform::loadLibrary(kFixture.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(platform::findExport(m, "NoSuchExport"), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorProcNotFound);
    EXPECT_TRUE(platform::freeLibrary(m));
}

// A bare name is looked up beside the running executable first; a file found there that cannot
// be loaded fails the load with its own reason. (The platform layer's own search on POSIX, the
// system's search order on Windows.)
TEST(DynlibTest, BareNamesAreLookedUpBesideTheExecutableFirst) {
    namespace fs = std::filesystem;
    const fs::path dir = platform::executableDirectory();
    ASSERT_FALSE(dir.empty());
    const fs::path copy = dir / platform::mapLibraryName("dynlib_copy_fixture.dll");
    const fs::path broken = dir / platform::mapLibraryName("dynlib_broken_fixture.dll");
    fs::copy_file(platform::mapLibraryName(kFixture), copy, fs::copy_options::overwrite_existing);
    std::ofstream(broken) << "not a library";

    void* m = platform::loadLibrary("dynlib_copy_fixture.dll");
    EXPECT_NE(m, nullptr) << platform::lastErrorText();
    if (m != nullptr) {
        EXPECT_TRUE(platform::freeLibrary(m));
    }

    EXPECT_EQ(platform::loadLibrary("dynlib_broken_fixture.dll"), nullptr);
#if defined(_WIN32)
    EXPECT_EQ(platform::lastErrorCode(), 193u);  // ERROR_BAD_EXE_FORMAT: not a library
#else
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorModNotFound);
    EXPECT_NE(platform::lastErrorText().find(broken.string()), std::string::npos)
        << platform::lastErrorText();
#endif

    fs::remove(copy);
    fs::remove(broken);
}

// A library planted in the current directory (the folder of a document the user opened) is never
// loaded by its bare name once the current directory is out of the search. Windows would load it
// before that; POSIX never looks there.
TEST(DynlibTest, LibraryPlantedInTheCurrentDirectoryIsNotLoaded) {
    namespace fs = std::filesystem;
    const fs::path before = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / "dynlib_planted_folder";
    fs::create_directories(folder);
    const std::string planted = platform::mapLibraryName("dynlib_planted_fixture.dll");
    fs::copy_file(platform::mapLibraryName(kFixture), folder / planted,
                  fs::copy_options::overwrite_existing);
    fs::current_path(folder);

    void* m = platform::loadLibrary("dynlib_planted_fixture.dll");
#if defined(_WIN32)
    EXPECT_NE(m, nullptr) << "the system's default search should include the current directory";
#else
    EXPECT_EQ(m, nullptr);
#endif
    if (m != nullptr) platform::freeLibrary(m);

    platform::keepCurrentDirectoryOutOfLibrarySearch();
    m = platform::loadLibrary("dynlib_planted_fixture.dll");
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorModNotFound);
    if (m != nullptr) platform::freeLibrary(m);
    // Libraries beside the executable are still found.
    m = platform::loadLibrary("wavelib.dll");
    EXPECT_NE(m, nullptr) << platform::lastErrorText();
    if (m != nullptr) platform::freeLibrary(m);

    fs::current_path(before);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
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
#if defined(_WIN32)
    EXPECT_EQ(attaches(), 1);  // the system notifies a dependency itself
#else
    EXPECT_EQ(attaches(), 0);
#endif
    EXPECT_TRUE(platform::freeLibrary(m));
}

}  // namespace
