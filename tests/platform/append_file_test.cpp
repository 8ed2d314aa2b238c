// Appending under the append lock: writers exclude each other for a bounded time, what is
// appended lands at the end, and files that are not regular are refused.
#include "platform/append_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using platform::AppendFile;

namespace {

class AppendFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("append_file_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string contents(const fs::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

TEST_F(AppendFileTest, WritersTakeTurnsAndAppendAtTheEnd) {
    const fs::path file = dir_ / "shared.dat";
    AppendFile first;
    ASSERT_EQ(first.open(file), AppendFile::Status::kOk);
    EXPECT_TRUE(first.locked());
    std::uint64_t size = 99;
    ASSERT_TRUE(first.size(size));
    EXPECT_EQ(size, 0u);  // created empty
    ASSERT_TRUE(first.append("head", 4));

    // Another writer (another open file, as in another program) waits its bounded time in vain
    // while the first holds the lock, and gets it once the first has closed.
    AppendFile second;
    EXPECT_EQ(second.open(file, std::chrono::milliseconds(30)), AppendFile::Status::kBusy);
    EXPECT_FALSE(second.isOpen());
    ASSERT_TRUE(first.append("+one", 4));
    first.close();
    ASSERT_EQ(second.open(file, std::chrono::milliseconds(30)), AppendFile::Status::kOk);
    ASSERT_TRUE(second.size(size));
    EXPECT_EQ(size, 8u);
    char head[5] = {};
    ASSERT_TRUE(second.readAt(0, head, 4));
    EXPECT_STREQ(head, "head");
    EXPECT_FALSE(second.readAt(6, head, 4));  // only two bytes are there
    ASSERT_TRUE(second.append("+two", 4));
    second.close();
    EXPECT_EQ(contents(file), "head+one+two");
}

TEST_F(AppendFileTest, FoldersMissingFoldersAndPipesAreRefused) {
    AppendFile f;
    EXPECT_EQ(f.open(dir_), AppendFile::Status::kCannotOpen);
    EXPECT_EQ(f.open(dir_ / "missing" / "x.dat"), AppendFile::Status::kCannotOpen);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
#if !defined(_WIN32)
    // A pipe without a reader: opening it must neither wait nor write to it.
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(f.open(pipe, std::chrono::milliseconds(30)), AppendFile::Status::kNotRegular);
#endif
    EXPECT_FALSE(f.isOpen());
}

// A replacement puts the old bytes and the new ones under the name as one file; a writer that
// waited for the lock meanwhile appends to the new file, so its record is not lost with the old.
TEST_F(AppendFileTest, ReplacementKeepsTheBytesAndAWaitingWriterFollowsTheName) {
    const fs::path file = dir_ / "replaced.dat";
    std::ofstream(file, std::ios::binary) << "old";
    AppendFile first;
    ASSERT_EQ(first.open(file), AppendFile::Status::kOk);
    std::thread waiting([&] {
        AppendFile second;
        ASSERT_EQ(second.open(file), AppendFile::Status::kOk);
        EXPECT_TRUE(second.append("X", 1));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(first.replaceAppending(3, "+batch", 6));
    EXPECT_EQ(contents(file), "old+batch");
    first.close();
    waiting.join();
    EXPECT_EQ(contents(file), "old+batchX");
    // Only the file itself is left in the folder: no new file stays beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
