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
    std::vector<Luch> luchi;
    std::vector<Volna> volny;
    NaborVoln nabor{};

    explicit BenchWaveSet(std::uint32_t n) : luchi(n), volny(n) {
        nabor.luchi = luchi.data();
        nabor.volny = volny.data();
        nabor.chislo = n;
        nabor.chisloVoln = n;
        nabor.sreda.skorost = 1480.0;
        nabor.sreda.zatuhanie = 0.01;
        for (std::uint32_t i = 0; i < n; ++i) {
            luchi[i].napravlenie[2] = 1.0;
            luchi[i].nachalo[0] = i;
            volny[i].dlinaShaga = 1e-9;  // tiny steps keep the values finite over many passes
            volny[i].koefZatuhaniya = 1.0;
            volny[i].amplituda = 1.0;
            volny[i].energiya = 1.0;
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
        RasprostranitVolny(&s.nabor);
        benchmark::ClobberMemory();
    }
    Report(state, sizeof(Volna));
}

// Half of the elements (every other one) are below the threshold. The energies are laid out again
// outside the timing before each pass.
void BM_OtbrositSlabyeVolny(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    BenchWaveSet s(n);
    const double porog = 0.5;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::uint32_t i = 0; i < n; ++i) s.volny[i].energiya = (i % 2) != 0 ? 1.0 : 0.0;
        s.nabor.chislo = n;
        state.ResumeTiming();
        OtbrositSlabyeVolny(&s.nabor, &porog);
        benchmark::ClobberMemory();
        if (s.nabor.chislo != n / 2) state.SkipWithError("not half of the elements removed");
    }
    Report(state, sizeof(Luch) + sizeof(Volna));
}

void BM_IzmenitMasshtab(benchmark::State& state) {
    BenchWaveSet s(static_cast<std::uint32_t>(state.range(0)));
    double mnozhitel = 2.0;
    for (auto _ : state) {
        IzmenitMasshtab(&s.nabor, mnozhitel);
        mnozhitel = 1.0 / mnozhitel;  // alternate so the values stay put
        benchmark::ClobberMemory();
    }
    Report(state, sizeof(Luch));
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
    Luch luch;
    Volna volna;
};

}  // namespace

BENCHMARK(BM_RasprostranitVolny)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Volna>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtbrositSlabyeVolny)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Element>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IzmenitMasshtab)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy<Luch>)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
