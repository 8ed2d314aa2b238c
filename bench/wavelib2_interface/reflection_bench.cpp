// Speed of the interface split (OtrazitIPrelomit), in incident elements per second, beside
// memcpy of the same arrays and beside the bytes the split must move.
//
// BM_OtrazitIPrelomit_Loaded loads wavelib2 and wavelib as a program does: wavelib finds
// where each ray meets the plane, mirrors and refracts it, and advances the new sets. The rays
// leave a point source at 0 to 40 degrees, so that most of them are reflected whole.
// BM_OtrazitIPrelomit_Wavelib2Share measures wavelib2's own share (the last step, the wave copies,
// the coefficients, the filters and the wave update of the step away) with a wavelib whose
// entries do no work. BM_Memcpy copies the incident set's ray and wave arrays once: a pass that
// reads every element and writes it once elsewhere. BM_SplitTraffic makes the passes that the
// split's calls make over the same sets, reading and writing what each must and computing nothing
// (with and without wavelib's passes): on sets beyond the caches the split cannot run faster.
//
// The incident set is restored from a copy, outside the timing, before every split; one split
// before the timing gives the new sets their room. Rates are per second of CPU time: the
// machines these run on are shared.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/dynlib.h"
#include "platform/table_request.h"
#include "wavelib2/makrosi.h"

namespace {

using namespace wavelib2;

constexpr double kHeight = 10.0;

void SetMedia(WaveSet* s, WaveSet* i) {
    s->medium.speed = i->medium.speed = 1.48;
    s->medium.density = i->medium.density = 1.0;
    s->medium2.speed = 5.9;
    s->medium2.density = 7.8;
    s->referenceLength = 2.0;
}

// Rays from (0, 0, 10) downwards, 0 to 40 degrees from the vertical, with their waves.
void FillIncident(Ray* rays, Wave* waves, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) {
        const double angle = (k % 41) * std::numbers::pi / 180.0;
        const double azimuth = (k / 41) * 1e-3;
        Ray& l = rays[k];
        l = Ray{};
        l.origin[2] = kHeight;
        l.direction[0] = std::sin(angle) * std::cos(azimuth);
        l.direction[1] = std::sin(angle) * std::sin(azimuth);
        l.direction[2] = -std::cos(angle);
        Wave& w = waves[k];
        w = Wave{};
        w.amplitude = 1.0;
        w.energy = 1.0 / n;
        w.attenuationFactor = 1.0;
    }
}

void Report(benchmark::State& state, std::uint32_t n) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void BM_OtrazitIPrelomit_Loaded(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    platform::Module library = platform::loadLibrary("wavelib2.dll");
    WaveProcessorTable11 t{};
    if (!platform::requestTable(library, &t, sizeof(t), kWaveProcessorTable11Name)) {
        state.SkipWithError("wavelib2.dll did not load");
        return;
    }
    WaveSet* r = t.createSet(0);
    WaveSet* tr = t.createSet(0);
    WaveSet* s = t.createSet(1);
    WaveSet* i = t.createSet(n);
    s->rays[0].direction[2] = 1.0;  // the plane z = 0
    SetMedia(s, i);
    std::vector<Ray> rays(n);
    std::vector<Wave> waves(n);
    FillIncident(rays.data(), waves.data(), n);

    const std::uint64_t p = 0;
    const double threshold = 0.0;
    auto restore = [&] {
        t.resizeSet(i, n);
        std::memcpy(i->rays, rays.data(), n * sizeof(Ray));
        std::memcpy(i->waves, waves.data(), n * sizeof(Wave));
    };
    restore();
    t.otrazitIPrelomit(r, tr, s, i, &p, &threshold);
    for (auto _ : state) {
        state.PauseTiming();
        restore();
        state.ResumeTiming();
        if (!isTrue(t.otrazitIPrelomit(r, tr, s, i, &p, &threshold))) {
            state.SkipWithError("OtrazitIPrelomit failed");
            break;
        }
        benchmark::DoNotOptimize(r->count);
    }
    Report(state, n);
    state.counters["reflected"] = r->count;
    state.counters["transmitted"] = tr->count;
    for (WaveSet* set : {r, tr, s, i}) t.deleteSet(set);
    platform::freeLibrary(library);
}

// A wavelib that leaves the rays as the benchmark prepared them: every incident ray has reached
// the interface and every new ray exists.
BoolByte PLUGIN_CALL Build(WaveSet* newSet, WaveSet*, WaveSet* i, std::uint64_t) {
    newSet->count = i->count;
    return kTrue;
}
BoolByte PLUGIN_CALL BuildTransmitted(WaveSet* newSet, WaveSet* s, WaveSet* i, std::uint64_t p,
                                      double) {
    return Build(newSet, s, i, p);
}
BoolByte PLUGIN_CALL Stay(WaveSet*, double) {
    return kTrue;
}

void BM_OtrazitIPrelomit_Wavelib2Share(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    WaveProcessorTable10 table{};
    table.reflectRays = &Build;
    table.refractRays = &BuildTransmitted;
    table.advanceRays = &Stay;
    SetTable10(table);

    std::vector<Ray> raysR(n), raysT(n), raysI(n), rays(n);
    std::vector<Wave> wavesR(n), wavesT(n), wavesI(n), waves(n);
    FillIncident(rays.data(), waves.data(), n);
    for (std::uint32_t k = 0; k < n; ++k) {
        rays[k].flags = kRayReached;
        const double c1 = -rays[k].direction[2];
        const double sin2 = std::sqrt(1.0 - c1 * c1) * 5.9 / 1.48;
        waves[k].incidenceCosine = c1;
        waves[k].refractionCosine = sin2 < 1.0 ? std::sqrt(1.0 - sin2 * sin2) : 0.0;
        waves[k].stepLength = kHeight / c1;
        if (sin2 >= 1.0) raysT[k].flags = kRayRemove;
    }
    WaveSet r{}, tr{}, s{}, i{};
    r.rays = raysR.data();
    r.waves = wavesR.data();
    tr.rays = raysT.data();
    tr.waves = wavesT.data();
    i.rays = raysI.data();
    i.waves = wavesI.data();
    SetMedia(&s, &i);
    std::vector<Ray> raysTStart = raysT;

    const std::uint64_t p = 0;
    const double threshold = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(raysI.data(), rays.data(), n * sizeof(Ray));
        std::memcpy(wavesI.data(), waves.data(), n * sizeof(Wave));
        std::memcpy(raysT.data(), raysTStart.data(), n * sizeof(Ray));
        i.count = i.waveCount = n;
        state.ResumeTiming();
        OtrazitIPrelomit(&r, &tr, &s, &i, &p, &threshold);
        benchmark::DoNotOptimize(r.count);
    }
    Report(state, n);
    state.counters["reflected"] = r.count;
    state.counters["transmitted"] = tr.count;
}

// The bytes that the split must move, with none of its arithmetic: the passes that its calls make
// over the sets, each reading and writing what it must. With `wavelib` (range 1): entries 4 and 5
// build the reflected and the transmitted set from the incident one (copying each element and
// marking it); always: wavelib2's pass reads the three sets' ray flags and copies the incident
// waves into the new elements not marked for removal, the transmitted set's filter removes its
// marked elements, and both new sets take their step (with `wavelib` its entry 6 moves the rays
// first, then wavelib2 updates five fields of every wave). The same scene as the split's: every
// ray reaches the plane, 63 % are reflected whole. On sets beyond the caches this is the rate the
// split cannot exceed.
void BM_SplitTraffic(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    const bool wavelib = state.range(1) != 0;
    std::vector<Ray> raysI(n), raysR(n), raysT(n), raysTStart(n);
    std::vector<Wave> wavesI(n), wavesR(n), wavesT(n);
    FillIncident(raysI.data(), wavesI.data(), n);
    std::vector<std::uint8_t> totallyReflected(n);  // the transmitted rays that do not exist
    for (std::uint32_t k = 0; k < n; ++k) {
        const double c1 = -raysI[k].direction[2];
        totallyReflected[k] = std::sqrt(1.0 - c1 * c1) * 5.9 / 1.48 >= 1.0;
        raysI[k].flags = kRayReached;
        if (totallyReflected[k]) raysTStart[k].flags = kRayRemove;
    }
    // Opaque to the compiler, so that no update below folds away.
    const double stepLength = 0.5 + 0.0 * static_cast<double>(n);
    const double one = 1.0 + 0.0 * static_cast<double>(n);
    auto build = [&](std::vector<Ray>& rays, std::vector<Wave>& waves, bool transmitted) {
        for (std::uint32_t k = 0; k < n; ++k) {
            std::memcpy(&rays[k], &raysI[k], sizeof(Ray));
            std::memcpy(&waves[k], &wavesI[k], sizeof(Wave));
            rays[k].flags = transmitted && totallyReflected[k] ? kRayRemove : 0u;
            if (!transmitted) raysI[k].flags = kRayReached;  // the second finds them set
            wavesI[k].stepLength = stepLength;
            (transmitted ? wavesI[k].refractionCosine : wavesI[k].incidenceCosine) = one;
        }
    };
    auto step = [&](Ray* rays, Wave* waves, std::uint32_t count) {
        if (wavelib) {
            for (std::uint32_t k = 0; k < count; ++k) {
                Ray& l = rays[k];
                l.origin[0] += stepLength * l.direction[0];
                l.origin[1] += stepLength * l.direction[1];
                l.origin[2] += stepLength * l.direction[2];
                waves[k].stepLength = stepLength;
            }
        }
        for (std::uint32_t k = 0; k < count; ++k) {
            Wave& w = waves[k];
            w.path += w.stepLength;
            w.time1 += stepLength;
            w.time2 += stepLength;
            w.amplitude *= one;
            w.energy *= one;
        }
    };
    for (auto _ : state) {
        state.PauseTiming();
        if (!wavelib) std::memcpy(raysT.data(), raysTStart.data(), n * sizeof(Ray));
        state.ResumeTiming();
        if (wavelib) {
            build(raysR, wavesR, false);
            build(raysT, wavesT, true);
        }
        std::uint32_t flags = 0;
        for (std::uint32_t k = 0; k < n; ++k) {
            flags |= raysI[k].flags;
            // A new element marked for removal needs no wave: its filter removes it.
            if ((raysR[k].flags & kRayRemove) == 0) {
                std::memcpy(&wavesR[k], &wavesI[k], sizeof(Wave));
            }
            if ((raysT[k].flags & kRayRemove) == 0) {
                std::memcpy(&wavesT[k], &wavesI[k], sizeof(Wave));
            }
        }
        WaveSet t{};
        t.rays = raysT.data();
        t.waves = wavesT.data();
        t.count = t.waveCount = n;
        UdalitOtmechennye(&t);  // moves records only
        step(raysR.data(), wavesR.data(), n);
        step(raysT.data(), wavesT.data(), t.count);
        benchmark::DoNotOptimize(flags);
        benchmark::ClobberMemory();
    }
    Report(state, n);
}

// The incident set's two arrays copied once, as one element after another.
void BM_Memcpy(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Ray> rays(n), raysCopy(n);
    std::vector<Wave> waves(n), wavesCopy(n);
    FillIncident(rays.data(), waves.data(), static_cast<std::uint32_t>(n));
    for (auto _ : state) {
        std::memcpy(raysCopy.data(), rays.data(), n * sizeof(Ray));
        std::memcpy(wavesCopy.data(), waves.data(), n * sizeof(Wave));
        benchmark::ClobberMemory();
    }
    Report(state, static_cast<std::uint32_t>(n));
}

}  // namespace

// 10^6 elements (252 MB a set) lie far beyond the caches; 10^4 (2.5 MB) mostly within them.
BENCHMARK(BM_OtrazitIPrelomit_Loaded)
    ->Arg(1'000'000)
    ->Arg(10'000)
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtrazitIPrelomit_Wavelib2Share)
    ->Arg(1'000'000)
    ->Arg(10'000)
    ->MinTime(1.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitTraffic)
    ->ArgNames({"", "wavelib"})
    ->Args({1'000'000, 1})
    ->Args({1'000'000, 0})
    ->Args({10'000, 1})
    ->Args({10'000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Arg(1'000'000)->Arg(10'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
