// `probetool export` of a probe file with 100,000 records: the six sample probes over and over.
// The whole command is timed: the probe store loaded, every record read through it, turned into
// JSON and written out (to the null device, so that the disk does not count).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/probetool/commands.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecords = 100000;
#if defined(_WIN32)
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif
constexpr std::size_t kHeaderSize = 24;  // the probe file header, before the first record frame

// Repeats the record frames of the sample file: a frame does not depend on where it lies.
const std::string& sampleFile() {
    static const std::string path = [] {
        std::ifstream in(PROBE_SAMPLE_PROBES, std::ios::binary);
        const std::string sample{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        std::vector<std::string> frames;
        for (std::size_t p = kHeaderSize; p + 16 <= sample.size();) {
            const auto size =
                static_cast<std::size_t>(static_cast<unsigned char>(sample[p + 4])) |
                static_cast<std::size_t>(static_cast<unsigned char>(sample[p + 5])) << 8 |
                static_cast<std::size_t>(static_cast<unsigned char>(sample[p + 6])) << 16;
            frames.push_back(sample.substr(p, 16 + size));
            p += 16 + size;
        }
        const std::string p = (fs::temp_directory_path() / "probetool_bench_100k.dt").string();
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << sample.substr(0, kHeaderSize);
        for (std::size_t i = 0; i < kRecords; ++i) out << frames[i % frames.size()];
        return p;
    }();
    return path;
}

void BM_Export100kProbes(benchmark::State& state) {
    const std::string& file = sampleFile();
    for (auto _ : state) {
        std::ostringstream out, err;
        const int status = probetool::run({"export", file, kNullDevice}, out, err);
        if (status != 0) state.SkipWithError(err.str().c_str());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_Export100kProbes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
