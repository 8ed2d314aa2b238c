// `probetool export` of a probe file with 100,000 records (the six sample probes over and over),
// its import next to it, and salvage of 1,000 to 20,000 records.
// The whole command is timed: the probe store loaded, every record read through it, turned into
// JSON and written out (to the null device, so that the disk does not count).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "suite/probestore/probe_file_format.h"
#include "tools/probetool/commands.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecords = 100000;
#if defined(_WIN32)
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif
constexpr std::size_t kHeaderSize = probestore::kFileHeaderSize;
constexpr std::size_t kFrameHeader = probestore::kFrameHeaderSize;

// The length of the record frame at `p` of a probe file's bytes, header and payload.
std::size_t frameLength(const std::string& bytes, std::size_t p) {
    return kFrameHeader + platform::le::getU32(reinterpret_cast<const std::uint8_t*>(bytes.data()) +
                                               p + probestore::kFrameSizeOffset);
}

// Repeats the record frames of the sample file: a frame does not depend on where it lies.
const std::string& sampleFile() {
    static const std::string path = [] {
        std::ifstream in(PROBE_SAMPLE_PROBES, std::ios::binary);
        const std::string sample{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        std::vector<std::string> frames;
        for (std::size_t p = kHeaderSize; p + kFrameHeader <= sample.size();) {
            frames.push_back(sample.substr(p, frameLength(sample, p)));
            p += frameLength(sample, p);
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

// The JSON of the 100,000 records, written once.
const std::string& sampleJson() {
    static const std::string path = [] {
        const std::string p = (fs::temp_directory_path() / "probetool_bench_100k.json").string();
        fs::remove(p);
        std::ostringstream out, err;
        probetool::run({"export", sampleFile(), p}, out, err);
        return p;
    }();
    return path;
}

// Import of the 100,000 probes into a new file next to their export, in one run: the time of
// each, their ratio, and the import's peak memory (of a child process that runs only the import)
// against the JSON's size.
void BM_Import100kProbes(benchmark::State& state) {
    const std::string& json = sampleJson();
    const std::string target = (fs::temp_directory_path() / "probetool_bench_import.dt").string();
    using Clock = std::chrono::steady_clock;
    double importSeconds = 0, exportSeconds = 0;
    long peakKiB = 0;
    for (auto _ : state) {
        fs::remove(target);
        const auto t0 = Clock::now();
#if !defined(_WIN32)
        const pid_t child = ::fork();
        if (child == 0) {
            std::ostringstream out, err;
            ::_exit(probetool::run({"import", json, target}, out, err));
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(child, &status, 0, &usage);
        peakKiB = std::max(peakKiB, static_cast<long>(usage.ru_maxrss));
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("import failed");
#else
        std::ostringstream out, err;
        if (probetool::run({"import", json, target}, out, err) != 0)
            state.SkipWithError(err.str().c_str());
#endif
        const auto t1 = Clock::now();
        std::ostringstream out, err;
        probetool::run({"export", sampleFile(), kNullDevice}, out, err);
        const auto t2 = Clock::now();
        importSeconds += std::chrono::duration<double>(t1 - t0).count();
        exportSeconds += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["export_ms"] = 1000 * exportSeconds / static_cast<double>(state.iterations());
    state.counters["import_to_export"] = importSeconds / exportSeconds;
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024;
    state.counters["peak_to_json"] =
        static_cast<double>(peakKiB) * 1024 / static_cast<double>(fs::file_size(json));
    fs::remove(target);
}
BENCHMARK(BM_Import100kProbes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// Salvage of a file of 1,000 to 20,000 records into a new file.
void BM_Salvage(benchmark::State& state) {
    const std::string source = (fs::temp_directory_path() / "probetool_bench_salvage.dt").string();
    const std::string target = (fs::temp_directory_path() / "probetool_bench_rescued.dt").string();
    {
        std::ifstream in(sampleFile(), std::ios::binary);
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // The first state.range(0) records: cut at the frame that starts after them.
        std::size_t p = kHeaderSize;
        for (std::int64_t i = 0; i < state.range(0); ++i) p += frameLength(bytes, p);
        out << bytes.substr(0, p);
    }
    for (auto _ : state) {
        fs::remove(target);
        std::ostringstream out, err;
        if (probetool::run({"salvage", source, target}, out, err) != 0)
            state.SkipWithError(err.str().c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    fs::remove(source);
    fs::remove(target);
}
BENCHMARK(BM_Salvage)->Arg(1000)->Arg(4000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
