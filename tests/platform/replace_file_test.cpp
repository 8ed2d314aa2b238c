// Replacing a file whole: the new file keeps the old one's owner, mode, attributes and holes, a
// link stays a link, names stay within the limit, other writers append while the copy runs, and a
// failed first write leaves no empty file behind.
#include "platform/replace_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "platform/append_file.h"
#include "platform/spool_file.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#endif

namespace fs = std::filesystem;
using platform::AppendFile;
using platform::ReplaceError;

namespace {

class ReplaceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("replace_file_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::string contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void write(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    }
    // Replaces `file` by its bytes and `tail` as an import does.
    static ReplaceError extend(const fs::path& file, const std::string& tail) {
        platform::SpoolFile spool;
        spool.append(tail.data(), tail.size());
        AppendFile f;
        if (f.open(file) != AppendFile::Status::kOk) return ReplaceError::kCannotOpen;
        bool replaced = false;
        return f.replaceExtending(nullptr, 0, spool, replaced);
    }
    fs::path dir_;
};

TEST_F(ReplaceFileTest, LongNamesGetTemporaryNamesWithinTheLimit) {
    // 125 Cyrillic letters: 250 bytes, and their temporary names stay apart and within 255.
    std::string name;
    for (int i = 0; i < 125; ++i) name += "ж";
    const fs::path a = dir_ / fs::path(std::u8string(name.begin(), name.end()));
    const std::string prefix = platform::temporaryNamePrefix(a, platform::kReplacementMark);
    EXPECT_LE(platform::temporaryBeside(a, platform::kReplacementMark).filename().u8string().size(),
              platform::kMaxFileNameBytes);
    EXPECT_NE(prefix, platform::temporaryNamePrefix(dir_ / (name.substr(2) + "жж"),
                                                    platform::kReplacementMark));
    write(a, "old");
    ASSERT_EQ(extend(a, "+new"), ReplaceError::kNone);
    EXPECT_EQ(contents(a), "old+new");
}

#if !defined(_WIN32)
TEST_F(ReplaceFileTest, ModeOwnerAttributesHolesAndLinksAreKept) {
    const fs::path file = dir_ / "shared.dt", link = dir_ / "link.dt";
    write(file, "");
    {
        // A hole of 64 MiB before the data: it stays a hole.
        const int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "data", 4, 64 << 20), 4);
        ::close(fd);
    }
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 12345, 23456), 0);
    }
#if defined(__linux__)
    const bool xattrs = ::setxattr(file.c_str(), "user.probe", "v", 1, 0) == 0;
#endif
    fs::create_symlink("shared.dt", link);
    const mode_t mask = ::umask(077);
    const ReplaceError done = extend(link, "+tail");
    ::umask(mask);
    ASSERT_EQ(done, ReplaceError::kNone);

    EXPECT_TRUE(fs::is_symlink(link));
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), (64u << 20) + 9);
    EXPECT_LT(st.st_blocks * 512, 16 << 20);
    if (root) {
        EXPECT_EQ(st.st_uid, 12345u);
        EXPECT_EQ(st.st_gid, 23456u);
    }
#if defined(__linux__)
    char value[4] = {};
    if (xattrs) {
        EXPECT_EQ(::getxattr(file.c_str(), "user.probe", value, sizeof value), 1);
    }
#endif
    EXPECT_EQ(contents(file).substr(64 << 20), "data+tail");
}

TEST_F(ReplaceFileTest, AnotherUsersFileIsNotTakenOver) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
    // A shared file of root's in a folder everybody may write: a user replacing it would become
    // its owner, so the replacement is refused and the file stays as it was.
    const fs::path file = dir_ / "root.dt";
    write(file, "root's");
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(extend(file, "+user") == ReplaceError::kOwnerNotKept ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(contents(file), "root's");
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

TEST_F(ReplaceFileTest, OtherWritersAppendWhileTheCopyRunsAndAreCaughtUpWith) {
    const fs::path file = dir_ / "large.dt";
    const std::string head(256u << 20, 'r');
    write(file, head);
    ReplaceError result = ReplaceError::kOther;
    std::thread import([&] { result = extend(file, "[batch]"); });
    // Once the new file is there, the copy runs: another writer gets the lock meanwhile.
    const std::string prefix = platform::temporaryNamePrefix(file, platform::kReplacementMark);
    bool copying = false;
    for (int i = 0; i < 200000 && !copying; ++i) {
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().filename().string().rfind(prefix, 0) == 0) copying = true;
    }
    AppendFile other;
    ASSERT_EQ(other.open(file), AppendFile::Status::kOk);
    ASSERT_TRUE(other.append("[save]", 6));
    bool stillCopying = false;
    for (const auto& e : fs::directory_iterator(dir_))
        if (e.path().filename().string().rfind(prefix, 0) == 0) stillCopying = true;
    other.close();
    import.join();
    ASSERT_EQ(result, ReplaceError::kNone);
    const std::string now = contents(file);
    // The save got in during the copy, and its record comes before the batch.
    EXPECT_TRUE(copying && stillCopying);
    EXPECT_EQ(now.substr(head.size()), "[save][batch]");
}

TEST_F(ReplaceFileTest, AFailedFirstWriteLeavesNoEmptyFile) {
    // A file size limit stands in for a full disk.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const fs::path file = dir_ / "new.dt";
    platform::SpoolFile spool;
    const std::string bytes(8192, 'x');
    spool.append(bytes.data(), bytes.size());
    AppendFile f;
    ReplaceError e = ReplaceError::kNone;
    if (f.open(file) == AppendFile::Status::kOk) {
        bool replaced = false;
        e = f.replaceExtending("head", 4, spool, replaced);
        if (e != ReplaceError::kNone) f.removeIfCreatedEmpty();
    }
    f.close();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(e, ReplaceError::kNoSpace);
    EXPECT_FALSE(fs::exists(file));
}
#endif

}  // namespace
