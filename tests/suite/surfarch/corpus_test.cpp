// The surface reader fuzz corpus, run through the reader as a regular test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/suite/surfarch/read_surface_bytes.h"
#include "tests/suite/surfarch/test_files.h"

namespace fs = std::filesystem;

TEST(SurfaceFileCorpusTest, EveryCorpusFileIsReadSafelyAndConsistently) {
    const fs::path dir = SURFARCH_CORPUS_DIR;
    ASSERT_TRUE(fs::is_directory(dir));
    const fs::path scratch = surftest::scratchPath("corpus.pv");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(surftest::readSurfaceBytes(scratch, bytes.data(), bytes.size()))
            << entry.path().filename();
        ++files;
    }
    EXPECT_GT(files, 10);
}
