// Speed of the one-pass operations on wave sets against memcpy of the same arrays.
//
// Each operation reports elements per second and the bytes of the arrays it works over per
// second; the memcpy benchmarks copy arrays of the same sizes, so the two rates compare directly.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "wavelib2/makrosi.h"

namespace {

using namespace wavelib2;

struct BenchWaveSet {
    std::vector<Ray> rays;
    std::vector<Wave> waves;
    WaveSet set{};

    explicit BenchWaveSet(std::uint32_t n) : rays(n), waves(n) {
        set.rays = rays.data();
        set.waves = waves.data();
        set.count = n;
        set.waveCount = n;
        set.medium.speed = 1480.0;
        set.medium.attenuation = 0.01;
        for (std::uint32_t i = 0; i < n; ++i) {
            rays[i].direction[2] = 1.0;
            rays[i].origin[0] = i;
            waves[i].stepLength = 1e-9;  // tiny steps keep the values finite over many passes
            waves[i].attenuationFactor = 1.0;
            waves[i].amplitude = 1.0;
            waves[i].energy = 1.0;
        }
    }
};

void Report(benchmark::State& state, std::size_t elementBytes) {
    const auto n = static_cast<std::int64_t>(state.range(0));
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * n * static_cast<std::int64_t>(elementBytes));
}

void BM_RasprostranitVolny(benchmark::State& state) {
    BenchWaveSet s(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        RasprostranitVolny(&s.set);
        benchmark::ClobberMemory();
    }
    Report(state, sizeof(Wave));
}

// Half of the elements (every other one) are below the threshold. The energies are laid out again
// outside the timing before each pass.
void BM_OtbrositSlabyeVolny(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    BenchWaveSet s(n);
    const double threshold = 0.5;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::uint32_t i = 0; i < n; ++i) s.waves[i].energy = (i % 2) != 0 ? 1.0 : 0.0;
        s.set.count = n;
        state.ResumeTiming();
        OtbrositSlabyeVolny(&s.set, &threshold);
        benchmark::ClobberMemory();
        if (s.set.count != n / 2) state.SkipWithError("not half of the elements removed");
    }
    Report(state, sizeof(Ray) + sizeof(Wave));
}

void BM_IzmenitMasshtab(benchmark::State& state) {
    BenchWaveSet s(static_cast<std::uint32_t>(state.range(0)));
    double factor = 2.0;
    for (auto _ : state) {
        IzmenitMasshtab(&s.set, factor);
        factor = 1.0 / factor;  // alternate so the values stay put
        benchmark::ClobberMemory();
    }
    Report(state, sizeof(Ray));
}

template <typename Record>
void BM_Memcpy(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Record> from(n), to(n);
    std::memset(from.data(), 1, n * sizeof(Record));
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), n * sizeof(Record));
        benchmark::ClobberMemory();
    }
    Report(state, sizeof(Record));
}

// Both arrays of a set, as the filter works over them.
struct Element {
    Ray ray;
    Wave wave;
};

}  // namespace

BENCHMARK(BM_RasprostranitVolny)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Wave>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtbrositSlabyeVolny)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Element>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IzmenitMasshtab)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Ray>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
