// Costs of what a page does at every store and load: number and date conversions, and handing
// a long multi-line field to the store line by line through the line callback.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "editor/probe/text_transfer.h"
#include "probe_core/record/conversions.h"

namespace {

const probe::UserLocale kLocale{",", "dd.MM.yyyy", "."};

void BM_NumberToText(benchmark::State& state) {
    double v = 1.25e-7;
    for (auto _ : state) {
        benchmark::DoNotOptimize(probe::numberToText(v, kLocale));
        v *= 1.0001;
    }
}
BENCHMARK(BM_NumberToText);

void BM_TextToNumber(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(probe::textToNumber(" -1234,5678E-3 ", kLocale));
}
BENCHMARK(BM_TextToNumber);

void BM_TextToDate(benchmark::State& state) {
    const auto today = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7};
    for (auto _ : state) benchmark::DoNotOptimize(probe::textToDate("29.02.28", kLocale, today));
}
BENCHMARK(BM_TextToDate);

class Lines : public probe::LinesField {
  public:
    explicit Lines(int n) {
        for (int i = 0; i < n; ++i) lines_.push_back("Параметр " + std::to_string(i) + " = 1,5");
    }
    void clear() override { lines_.clear(); }
    void append(const std::string& line) override { lines_.push_back(line); }
    int count() const override { return static_cast<int>(lines_.size()); }
    std::string line(int i) const override { return lines_[static_cast<std::size_t>(i)]; }

  private:
    std::vector<std::string> lines_;
};

// A store that copies each line, as the probe store does.
std::vector<std::string> copied;
BoolByte PLUGIN_CALL createList(Spisok* field, TextCallback line, std::uint32_t count, void* ctx) {
    copied.clear();
    for (std::uint32_t i = 0; i < count; ++i)
        copied.emplace_back(line(static_cast<std::int32_t>(i), ctx));
    field->count = count;
    return kTrue;
}
BoolByte PLUGIN_CALL deleteList(Spisok* field) {
    field->count = 0;
    return kTrue;
}

void BM_StoreListCell(benchmark::State& state) {
    Lines memo(static_cast<int>(state.range(0)));
    contracts::ProbeStoreApi api;
    api.SozdatSpisok = &createList;
    api.UdalitSpisok = &deleteList;
    Spisok cell{};
    for (auto _ : state) probe::storeListCell(api, cell, memo);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StoreListCell)->Arg(10)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
