// The reader fuzz corpus, run through the reader as a regular test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/suite/probestore/read_probe_bytes.h"

namespace fs = std::filesystem;

TEST(ProbeFileCorpusTest, EveryCorpusFileIsReadSafelyAndConsistently) {
    const fs::path dir = PROBESTORE_CORPUS_DIR;
    ASSERT_TRUE(fs::is_directory(dir));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(probestore_test::readProbeBytes(bytes.data(), bytes.size()))
            << entry.path().filename();
        ++files;
    }
    EXPECT_GT(files, 10);
}
