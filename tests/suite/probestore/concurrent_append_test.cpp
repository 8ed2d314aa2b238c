// Several processes append probes to one file at once through the real library; afterwards every
// acknowledged probe loads with its content, in its writer's order, and no append failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "abi/probestore.h"
#include "platform/dynlib.h"
#include "tests/suite/probestore/stress_probe.h"
#include "tests/suite/writer_processes.h"

namespace fs = std::filesystem;

namespace {

#if !defined(_WIN32)

class ConcurrentAppendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = platform::loadLibrary("probestore.dll");
        ASSERT_NE(module_, nullptr) << platform::lastErrorText();
        auto bind = [this](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                platform::findExport(module_, name));
            ASSERT_NE(fn, nullptr) << name;
        };
        bind(api_.VibratVremenniyDatchik, "VibratVremenniyDatchik");
        bind(api_.PoluchitVibranniyDatchik, "PoluchitVibranniyDatchik");
        bind(api_.InicializirovatDatchik, "InicializirovatDatchik");
        bind(api_.ZagruzitDatchik, "ZagruzitDatchik");
        bind(api_.ZagruzitKolichestvoDatchikov, "ZagruzitKolichestvoDatchikov");
        dir_ = fs::temp_directory_path() /
               ("probestore_concurrent_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (api_.VibratVremenniyDatchik != nullptr) {
            api_.VibratVremenniyDatchik();
            api_.InicializirovatDatchik();
        }
        if (module_ != nullptr) platform::freeLibrary(module_);
        fs::remove_all(dir_);
    }

    platform::Module module_ = nullptr;
    contracts::ProbeStoreApi api_;
    fs::path dir_;
};

TEST_F(ConcurrentAppendTest, EveryAcknowledgedProbeLoadsWithItsContent) {
    constexpr int kCount = 2000;
    for (int writers : {2, 4}) {
        const std::string file = (dir_ / ("shared" + std::to_string(writers) + ".dt")).string();
        // A new file first (the header is written once, whoever wins), then the same file again.
        std::vector<std::vector<int>> acknowledged(writers);
        for (int round = 0; round < 2; ++round) {
            const stresstest::WriterRun run = stresstest::runWriters(
                platform::executableDirectory() + "/probestore_concurrent_writer", file, writers,
                kCount, dir_.string());
            EXPECT_EQ(run.problems, std::vector<std::string>{}) << writers << " writers";
            for (int w = 0; w < writers; ++w)
                acknowledged[w].insert(acknowledged[w].end(), run.acknowledged[w].begin(),
                                       run.acknowledged[w].end());
        }
        std::size_t total = 0;
        for (const auto& a : acknowledged) total += a.size();

        const std::uint32_t n = api_.ZagruzitKolichestvoDatchikov(file.c_str());
        ASSERT_EQ(n, total) << writers << " writers";
        api_.VibratVremenniyDatchik();
        const ProbeRecord* r = api_.PoluchitVibranniyDatchik();
        std::vector<std::vector<int>> found(writers);
        for (std::uint32_t i = 0; i < n; ++i) {
            ASSERT_TRUE(api_.ZagruzitDatchik(file.c_str(), i)) << "record " << i;
            int w = -1, number = -1;
            ASSERT_NE(r->Model.text, nullptr);
            ASSERT_EQ(std::sscanf(r->Model.text, "w%d-%d", &w, &number), 2) << r->Model.text;
            ASSERT_TRUE(w >= 0 && w < writers) << r->Model.text;
            const probestore_test::StressProbe p = probestore_test::stressProbe(w, number);
            EXPECT_EQ(r->Cena, p.price) << p.model;
            ASSERT_EQ(r->Parametri.count, p.parameters.size()) << p.model;
            for (std::size_t k = 0; k < p.parameters.size(); ++k)
                ASSERT_EQ(r->Parametri.lines[k], p.parameters[k]) << p.model;
            found[w].push_back(number);
        }
        // Each writer's probes, both rounds, in the order it wrote them.
        EXPECT_EQ(found, acknowledged) << writers << " writers";
    }
}

#endif

}  // namespace
