// What a user waits for around surfaces: the listing of a surface file (run at every store of
// the functional-model page), the decoding of the sample file, the count of a file whose tail a
// crash left zero-filled, and the visualizer's work for one paint of the directivity pattern
// (repeated on every mouse move while turning it).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "platform/table_request.h"
#include "suite/surfarch/pv_format.h"
#include "suite/surfview1/scene.h"

namespace {

namespace k = contracts::keeper;
namespace a = contracts::archiver;
namespace pv = surfaces::pv;

const std::string kSampleFile = PROBE_EXAMPLES_DIR "/probe_surfaces.pv";

void BM_DecodeSampleFile(benchmark::State& state) {
    for (auto _ : state) {
        pv::File f;
        if (f.open(kSampleFile) != pv::Status::kOk) state.SkipWithError("no sample file");
        for (std::size_t i = 0; i < f.blocks().size(); ++i) {
            pv::Surface s;
            f.readSurface(i, s);
            benchmark::DoNotOptimize(s.vertices.data());
        }
    }
}
BENCHMARK(BM_DecodeSampleFile);

// The editor's listing: count, room for every surface, parameters, read, name.
// The editor's listing of `file` through the keeper and the archiver.
void listThroughTheLibraries(benchmark::State& state, const char* file) {
    platform::Module keeper = platform::loadLibrary("surfstore.dll");
    platform::Module archiver = platform::loadLibrary("surfarch.dll");
    TableCell kt[k::kTableEntries] = {};
    TableCell at[a::kTableEntries] = {};
    if (!platform::requestTable(keeper, kt, contracts::keeper::kTableName) ||
        !platform::requestTable(archiver, at, contracts::archiver::kTableName)) {
        state.SkipWithError("surface libraries not found");
        return;
    }
    for (auto _ : state) {
        const std::int32_t n = cellAs<a::ZagruzitKolichestvoPoverhnosteyFn>(
            at[a::kZagruzitKolichestvoPoverhnostey])(file);
        cellAs<k::VidelitPamyatDlyaPoverhnosteyFn>(kt[k::kVidelitPamyatDlyaPoverhnostey])(
            static_cast<std::uint32_t>(n));
        for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(n); ++i) {
            void* r =
                cellAs<k::PoluchitPoverhnostPoIndeksuFn>(kt[k::kPoluchitPoverhnostPoIndeksu])(i);
            cellAs<k::PodgotovitPoverhnostFn>(kt[k::kPodgotovitPoverhnost])(
                r,
                cellAs<a::ZagruzitParametr1PoverhnostiFn>(at[a::kZagruzitParametr1Poverhnosti])(
                    file, i),
                cellAs<a::ZagruzitParametr2PoverhnostiFn>(at[a::kZagruzitParametr2Poverhnosti])(
                    file, i));
            cellAs<a::ZagruzitPoverhnostFn>(at[a::kZagruzitPoverhnost])(file, r, i);
            benchmark::DoNotOptimize(
                cellAs<k::PoluchitImyaPoverhnostiFn>(kt[k::kPoluchitImyaPoverhnosti])(r));
        }
    }
    platform::freeLibrary(archiver);
    platform::freeLibrary(keeper);
}

void BM_ListSampleFileThroughTheLibraries(benchmark::State& state) {
    listThroughTheLibraries(state, kSampleFile.c_str());
}
BENCHMARK(BM_ListSampleFileThroughTheLibraries)->Unit(benchmark::kMillisecond);

// A file of many small surfaces (short lines): the listing must not walk the file again for
// every surface.
void BM_ListFileOfManySurfaces(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_surfaces_many.pv").string();
    std::string bytes = pv::encodeHeader();
    pv::Surface line;
    line.vertices = {0, 0, 0, 1, 0, 0};
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        line.name = "cut " + std::to_string(i);
        bytes += pv::encodeBlock(line);
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    listThroughTheLibraries(state, path.c_str());
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ListFileOfManySurfaces)->Arg(2000)->Unit(benchmark::kMillisecond);

// The resident memory high-water mark of this process in MiB (Linux; 0 elsewhere), and its reset
// to the memory resident now.
double peakResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            double kib = 0;
            fields >> kib;
            return kib / 1024;
        }
    }
    return 0;
}
void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A surface file of one surface followed by state.range(0) MiB of zero bytes, counted through the
// archiver as the editor's listing starts: the zeros are one damaged surface. With range(1) 0 the
// zeros are a hole of the file (never written, or allocated and unwritten, as a crash leaves
// them), with 1 they are written bytes (read from the page cache). Counters: the peak resident
// memory during the counts against the memory resident before them.
void BM_CountZeroFilledTail(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_surfaces_zeros.pv").string();
    pv::Surface line;
    line.name = "cut";
    line.vertices = {0, 0, 0, 1, 0, 0};
    const std::string bytes = pv::encodeHeader() + pv::encodeBlock(line);
    const std::uint64_t zeros = std::uint64_t(state.range(0)) << 20;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        const std::vector<char> mebibyte(1 << 20, 0);
        for (std::uint64_t n = 0; state.range(1) != 0 && n < zeros; n += mebibyte.size())
            out.write(mebibyte.data(), static_cast<std::streamsize>(mebibyte.size()));
    }
    std::filesystem::resize_file(path, bytes.size() + zeros);
    platform::Module archiver = platform::loadLibrary("surfarch.dll");
    TableCell at[a::kTableEntries] = {};
    if (!platform::requestTable(archiver, at, contracts::archiver::kTableName)) {
        state.SkipWithError("surface archiver not found");
        return;
    }
    const auto count =
        cellAs<a::ZagruzitKolichestvoPoverhnosteyFn>(at[a::kZagruzitKolichestvoPoverhnostey]);
    resetPeakResident();
    const double before = peakResidentMiB();
    for (auto _ : state) {
        if (count(path.c_str()) != 2) state.SkipWithError("not one surface and one damaged");
    }
    state.counters["resident_before_MiB"] = before;
    state.counters["peak_resident_MiB"] = peakResidentMiB();
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    platform::freeLibrary(archiver);
    std::filesystem::remove(path);
}
BENCHMARK(BM_CountZeroFilledTail)
    ->Args({64, 0})
    ->Args({512, 0})
    ->Args({64, 1})
    ->Args({512, 1})
    ->Unit(benchmark::kMillisecond);

// One frame of the directivity pattern (about 5 600 triangles), shaded and with everything.
void BM_FrameOfDirectivityPattern(benchmark::State& state) {
    pv::File f;
    pv::Surface s;
    if (f.open(kSampleFile) != pv::Status::kOk || f.readSurface(1, s) != pv::Status::kOk) {
        state.SkipWithError("no sample file");
        return;
    }
    surfview::Mesh mesh;
    for (std::size_t i = 0; i < s.vertices.size(); i += 3) {
        mesh.vertices.push_back({s.vertices[i], s.vertices[i + 1], s.vertices[i + 2]});
    }
    for (std::size_t i = 0; i < s.triangles.size(); i += 3) {
        mesh.triangles.push_back({s.triangles[i], s.triangles[i + 1], s.triangles[i + 2]});
    }
    surfview::Scene scene;
    scene.setMeshes({mesh});
    const auto flags = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        scene.rotate(3, 1);
        benchmark::DoNotOptimize(scene.frame(720, 540, flags).faces.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(mesh.triangles.size()));
}
BENCHMARK(BM_FrameOfDirectivityPattern)->Arg(0x1004)->Arg(0x1007)->Unit(benchmark::kMicrosecond);

}  // namespace
