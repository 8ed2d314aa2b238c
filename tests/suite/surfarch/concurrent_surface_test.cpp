// Several processes append surfaces to one file at once through the real libraries; afterwards
// every acknowledged surface reads with its geometry, in its writer's order, and no append failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "suite/surfarch/pv_format.h"
#include "tests/suite/surfarch/stress_surface.h"
#include "tests/suite/surfarch/test_files.h"
#include "tests/suite/writer_processes.h"

namespace {

#if !defined(_WIN32)

namespace pv = surfaces::pv;

TEST(ConcurrentSurfaceAppendTest, EveryAcknowledgedSurfaceReadsWithItsGeometry) {
    constexpr int kCount = 1000;
    const std::string program = platform::executableDirectory() + "/surfarch_concurrent_writer";
    for (int writers : {2, 4}) {
        const std::string file = surftest::scratchPath("shared" + std::to_string(writers) + ".pv");
        // A new file first (the header is written once, whoever wins), then the same file again.
        std::vector<std::vector<int>> acknowledged(writers);
        for (int round = 0; round < 2; ++round) {
            const stresstest::WriterRun run = stresstest::runWriters(
                program, file, writers, kCount, std::filesystem::path(file).parent_path().string());
            EXPECT_EQ(run.problems, std::vector<std::string>{}) << writers << " writers";
            for (int w = 0; w < writers; ++w)
                acknowledged[w].insert(acknowledged[w].end(), run.acknowledged[w].begin(),
                                       run.acknowledged[w].end());
        }
        std::size_t total = 0;
        for (const auto& a : acknowledged) total += a.size();

        pv::File f;
        ASSERT_EQ(f.open(file), pv::Status::kOk);
        ASSERT_EQ(f.count(), total) << writers << " writers";
        EXPECT_TRUE(f.endsCleanly());
        std::vector<std::vector<int>> found(writers);
        for (std::size_t i = 0; i < total; ++i) {
            pv::Surface s;
            ASSERT_EQ(f.readSurface(i, s), pv::Status::kOk) << "surface " << i;
            int w = -1, number = -1;
            ASSERT_EQ(std::sscanf(s.name.c_str(), "w%d-%d", &w, &number), 2) << s.name;
            ASSERT_TRUE(w >= 0 && w < writers) << s.name;
            const pv::Surface expected = surftest::stressSurface(w, number);
            EXPECT_EQ(s.vertices, expected.vertices) << s.name;
            EXPECT_EQ(s.triangles, expected.triangles) << s.name;
            found[w].push_back(number);
        }
        EXPECT_EQ(found, acknowledged) << writers << " writers";
    }
}

#endif

}  // namespace
