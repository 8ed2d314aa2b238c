// Preview of a 100,000-record probe file as the load command does it (count, load every record
// into the scratch record, build every line "i: manufacturer model (name)"), next to reading the
// same file's bytes once. Both run in the same process on the same (cached) file; the preview's
// counters give its time and its ratio to the raw read measured alongside it.
//
// Counting files made to be costly: frame headers that claim the rest of the file, and a file
// with an 8 GiB hole.
//
// Appends through the library, as "add all" does them: a small probe and one of about 6 KB (a
// long parameter list), each append a whole save (open, lock, check the header, write, close).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "platform/cp1251.h"
#include "platform/crc32.h"
#include "platform/dynlib.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/probe_file_cache.h"
#include "suite/probestore/record_store.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kRecords = 100000;

const char* PLUGIN_CALL textOf(std::int32_t, void* context) {
    return static_cast<std::string*>(context)->c_str();
}

// Writes the sample file once: plausible probes with Cyrillic texts and a few lines each.
const std::string& sampleFile() {
    static const std::string path = [] {
        const std::string p = (fs::temp_directory_path() / "probestore_bench_100k.dt").string();
        probestore::RecordStore store;
        store.allocate(1, kProbeRecordSize32);
        store.selectIndex(0);
        ProbeRecord& r = *store.selected();
        std::string maker = platform::utf8ToCp1251("Завод «Ультразвук»");
        std::string name = platform::utf8ToCp1251("Наклонный совмещённый");
        std::string surfaces = "probe_surfaces.pv";
        store.texts().createTextCell(&r.Proizvoditel, textOf, &maker);
        store.texts().createTextCell(&r.Nazvanie, textOf, &name);
        store.texts().createTextCell(&r.IFsP, textOf, &surfaces);
        std::string line = platform::utf8ToCp1251("<угол ввода = 65°>");
        store.texts().createListCell(&r.Parametri, textOf, 2, &line);
        r.OCHIP = 2.5e6;
        std::vector<std::uint8_t> bytes = probestore::encodeFileHeader();
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            std::string model = "P121-" + std::to_string(i);
            store.texts().createTextCell(&r.Model, textOf, &model);
            const auto frame = probestore::encodeFrame(probestore::encodeRecord(r));
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

// A probe file without records, counted between previews.
const std::string& otherFile() {
    static const std::string path = [] {
        const std::string p = (fs::temp_directory_path() / "probestore_bench_empty.dt").string();
        const std::vector<std::uint8_t> bytes = probestore::encodeFileHeader();
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

struct Store {
    Store() {
        module = platform::loadLibrary("probestore.dll");
        if (module == nullptr) return;
        auto bind = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                platform::findExport(module, name));
        };
        bind(api.ZagruzitKolichestvoDatchikov, "ZagruzitKolichestvoDatchikov");
        bind(api.VibratVremenniyDatchik, "VibratVremenniyDatchik");
        bind(api.PoluchitVibranniyDatchik, "PoluchitVibranniyDatchik");
        bind(api.ZagruzitDatchik, "ZagruzitDatchik");
        bind(api.InicializirovatDatchik, "InicializirovatDatchik");
        bind(api.VidelitPamyatDlyaDatchikov, "VidelitPamyatDlyaDatchikov");
        bind(api.VibratDatchikPoIndeksu, "VibratDatchikPoIndeksu");
        bind(api.SozdatStroku, "SozdatStroku");
        bind(api.SozdatSpisok, "SozdatSpisok");
        bind(api.SohranitDatchik, "SohranitDatchik");
    }
    platform::Module module = nullptr;
    contracts::ProbeStoreApi api;
};

std::size_t rawRead(const std::string& path) {
    std::vector<char> buffer(1 << 20);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::size_t total = 0;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) total += n;
    std::fclose(f);
    return total;
}

std::string text(const Stroka& s) {
    return s.text != nullptr ? s.text : "";
}

std::size_t preview(const contracts::ProbeStoreApi& api, const char* file) {
    const std::uint32_t n = api.ZagruzitKolichestvoDatchikov(file);
    api.VibratVremenniyDatchik();
    const ProbeRecord* r = api.PoluchitVibranniyDatchik();
    std::vector<std::string> lines;
    lines.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (api.ZagruzitDatchik(file, i))
            lines.push_back(std::to_string(i) + ": " + text(r->Proizvoditel) + " " +
                            text(r->Model) + " (" + text(r->Nazvanie) + ")");
        else
            lines.push_back(std::to_string(i) + ": " + "Ошибка при загрузке");
    }
    return lines.size();
}

void BM_RawRead(benchmark::State& state) {
    const std::string& file = sampleFile();
    for (auto _ : state) benchmark::DoNotOptimize(rawRead(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(file)));
}

// Runs `work` once per iteration right after a raw read of `file`, reports the work's wall time as
// the iteration's and the work's time against the raw read's, in wall-clock and in processor
// time: on a machine shared with other work the wall-clock ratio also counts the time either part
// waited for the processor. Returns the work's mean wall time in seconds.
template <typename Work>
double timeAgainstRawRead(benchmark::State& state, const std::string& file, Work work) {
    using Clock = std::chrono::steady_clock;
    double rawSeconds = 0, workSeconds = 0, rawCpu = 0, workCpu = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const std::clock_t c0 = std::clock();
        benchmark::DoNotOptimize(rawRead(file));
        const auto t1 = Clock::now();
        const std::clock_t c1 = std::clock();
        work();
        const auto t2 = Clock::now();
        const std::clock_t c2 = std::clock();
        rawSeconds += std::chrono::duration<double>(t1 - t0).count();
        const double w = std::chrono::duration<double>(t2 - t1).count();
        workSeconds += w;
        rawCpu += static_cast<double>(c1 - c0);
        workCpu += static_cast<double>(c2 - c1);
        state.SetIterationTime(w);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["raw_read_ms"] = 1000 * rawSeconds / iterations;
    state.counters["ratio_to_raw_read"] = workSeconds / rawSeconds;
    state.counters["cpu_ratio_to_raw_read"] = workCpu / rawCpu;
    return workSeconds / iterations;
}

void BM_PreviewOf100000Records(benchmark::State& state) {
    const std::string& file = sampleFile();
    static Store store;
    if (store.module == nullptr) {
        state.SkipWithError("probestore.so not found beside the benchmark");
        return;
    }
    const double seconds = timeAgainstRawRead(state, file, [&] {
        // Another probe file first, so that every preview builds its index afresh.
        store.api.ZagruzitKolichestvoDatchikov(otherFile().c_str());
        if (preview(store.api, file.c_str()) != kRecords) state.SkipWithError("wrong count");
    });
    store.api.InicializirovatDatchik();
    state.counters["preview_ms"] = 1000 * seconds;
}

const char* PLUGIN_CALL lineOf(std::int32_t index, void* context) {
    return (*static_cast<std::vector<std::string>*>(context))[static_cast<std::size_t>(index)]
        .c_str();
}

void BM_AppendProbe(benchmark::State& state) {
    static Store store;
    if (store.module == nullptr) {
        state.SkipWithError("probestore.so not found beside the benchmark");
        return;
    }
    const std::string file = (fs::temp_directory_path() / "probestore_bench_append.dt").string();
    fs::remove(file);
    const contracts::ProbeStoreApi& api = store.api;
    api.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32);
    api.VibratDatchikPoIndeksu(0);
    ProbeRecord* r = api.PoluchitVibranniyDatchik();
    std::vector<std::string> model{"P121-2,5-65"};
    std::vector<std::string> lines(static_cast<std::size_t>(state.range(0)), std::string(90, 'x'));
    api.SozdatStroku(&r->Model, lineOf, &model);
    api.SozdatSpisok(&r->Parametri, lineOf, static_cast<std::uint32_t>(lines.size()), &lines);
    for (auto _ : state) {
        if (!api.SohranitDatchik(file.c_str())) state.SkipWithError("append failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(file)));
    api.InicializirovatDatchik();
    fs::remove(file);
}

// A file made of valid frame headers, one every 16 bytes, each claiming the whole rest of the file
// as its payload: counted against a raw read of the same file.
void BM_CountCraftedFrameHeaders(benchmark::State& state) {
    const std::string file = (fs::temp_directory_path() / "probestore_bench_crafted.dt").string();
    const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
    std::vector<std::uint8_t> bytes = probestore::encodeFileHeader();
    while (bytes.size() + 16 <= size) {
        const std::uint64_t rest = size - bytes.size() - 16;
        std::vector<std::uint8_t> frame = probestore::encodeFrame({0});
        frame.resize(16);
        const auto claim = static_cast<std::uint32_t>(std::min<std::uint64_t>(rest, 64u << 20));
        for (int i = 0; i < 4; ++i) frame[4 + i] = static_cast<std::uint8_t>(claim >> (8 * i));
        const std::uint32_t c = platform::crc32Of(frame.data(), 12);
        for (int i = 0; i < 4; ++i) frame[12 + i] = static_cast<std::uint8_t>(c >> (8 * i));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    timeAgainstRawRead(state, file, [&] {
        probestore::ProbeFiles files;
        benchmark::DoNotOptimize(files.count(file.c_str()));
    });
    fs::remove(file);
}

// The first count of a probe file with an 8 GiB hole between its records.
void BM_CountFileWithHole(benchmark::State& state) {
    const std::string file = (fs::temp_directory_path() / "probestore_bench_hole.dt").string();
    fs::remove(file);
    std::vector<std::uint8_t> bytes = probestore::encodeFileHeader();
    ProbeRecord r{};
    const std::vector<std::uint8_t> frame = probestore::encodeFrame(probestore::encodeRecord(r));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fseek(f, static_cast<long>(bytes.size()) + (8L << 30), SEEK_SET);
    std::fwrite(frame.data(), 1, frame.size(), f);
    std::fclose(f);
    for (auto _ : state) {
        probestore::ProbeFiles files;
        benchmark::DoNotOptimize(files.count(file.c_str()));
    }
    fs::remove(file);
}

}  // namespace

BENCHMARK(BM_CountCraftedFrameHeaders)
    ->Arg(4)
    ->Arg(16)
    ->Arg(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountFileWithHole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendProbe)->Arg(0)->Arg(60)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewOf100000Records)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
