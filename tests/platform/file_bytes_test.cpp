// Whole files for reading: the bytes as they are, a clear error for what is no file, and an
// orderly end rather than a crash when another program shortens a mapped file.
#include "platform/file_bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/cp1251.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path written(const std::string& name, const std::string& bytes) {
    const fs::path path = fs::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

}  // namespace

TEST(FileBytesTest, GivesTheBytesOfAFileAndRefusesWhatIsNoFile) {
    std::string bytes(3 * 65536 + 17, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
    const fs::path file = written("file_bytes_test.bin", bytes);
    platform::FileBytes read;
    int error = 0;
    ASSERT_TRUE(read.open(file, error));
    EXPECT_EQ(read.view(), bytes);
    // Opened again on another file, it lets the first go.
    const fs::path empty = written("file_bytes_test_empty.bin", "");
    ASSERT_TRUE(read.open(empty, error));
    EXPECT_TRUE(read.view().empty());

    EXPECT_FALSE(read.open(fs::temp_directory_path(), error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(read.open(fs::temp_directory_path() / "file_bytes_test_missing", error));
    EXPECT_EQ(error, ENOENT);
    fs::remove(file);
    fs::remove(empty);
}

#if !defined(_WIN32)
TEST(FileBytesTest, AFileShortenedWhileMappedEndsTheProcessWithItsMessage) {
    const fs::path file = written("file_bytes_test_shrink.bin", std::string(1 << 20, 'x'));
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], STDERR_FILENO);
        static const std::string message = "укоротился\n";
        platform::FileBytes bytes;
        int error = 0;
        if (!bytes.open(file, error) || !bytes.mapped()) ::_exit(40);
        platform::exitWhenMappedFileShrinks(message, 7);
        fs::resize_file(file, 0);
        volatile char last = bytes.view().back();
        static_cast<void>(last);
        ::_exit(0);  // where the system kept the pages, reading them was harmless
    }
    ::close(pipeEnds[1]);
    char said[64] = {};
    const ssize_t n = ::read(pipeEnds[0], said, sizeof said - 1);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by a signal";
    if (WEXITSTATUS(status) != 0) {
        EXPECT_EQ(WEXITSTATUS(status), 7);
        EXPECT_EQ(std::string(said, n > 0 ? static_cast<std::size_t>(n) : 0), "укоротился\n");
    }
    fs::remove(file);
}
#endif

TEST(Utf8CheckTest, AcceptsEveryCharacterAndRefusesEveryMalformedSequence) {
    using platform::isUtf8;
    // The boundaries of each sequence length, and text around them.
    for (const char* good :
         {"", "a", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
          "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "Датчик П111-2,5 «Акустика» 😀"})
        EXPECT_TRUE(isUtf8(good)) << good;
    for (const char* bad :
         {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2", "\xC2\x7F", "\xE0\x9F\xBF",
          "\xED\xA0\x80", "\xED\xBF\xBF", "\xEF\xBF", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\xFF", "\xE1\x80\xC0"})
        EXPECT_FALSE(isUtf8(bad)) << static_cast<unsigned>(static_cast<unsigned char>(bad[0]));
    // A fault found wherever it lies among ASCII read eight bytes at a time, a sequence cut off
    // at the very end included.
    const std::string ascii(40, 'a');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        std::string text = ascii;
        text.insert(at, "\xD0");
        EXPECT_FALSE(isUtf8(text)) << at;
        text.insert(at + 1, "\x96");
        EXPECT_TRUE(isUtf8(text)) << at;
    }
}
