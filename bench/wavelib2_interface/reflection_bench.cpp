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
#include "wavelib2/makrosi.h"

namespace {

using namespace wavelib2;

constexpr double kVysota = 10.0;

void ZadatSredy(NaborVoln* s, NaborVoln* i) {
    s->sreda.skorost = i->sreda.skorost = 1.48;
    s->sreda.plotnost = i->sreda.plotnost = 1.0;
    s->sreda2.skorost = 5.9;
    s->sreda2.plotnost = 7.8;
    s->dlinaOtscheta = 2.0;
}

// Rays from (0, 0, 10) downwards, 0 to 40 degrees from the vertical, with their waves.
void ZapolnitPadayushchiy(Luch* luchi, Volna* volny, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) {
        const double ugol = (k % 41) * std::numbers::pi / 180.0;
        const double azimut = (k / 41) * 1e-3;
        Luch& l = luchi[k];
        l = Luch{};
        l.nachalo[2] = kVysota;
        l.napravlenie[0] = std::sin(ugol) * std::cos(azimut);
        l.napravlenie[1] = std::sin(ugol) * std::sin(azimut);
        l.napravlenie[2] = -std::cos(ugol);
        Volna& w = volny[k];
        w = Volna{};
        w.amplituda = 1.0;
        w.energiya = 1.0 / n;
        w.koefZatuhaniya = 1.0;
    }
}

void Otchet(benchmark::State& state, std::uint32_t n) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void BM_OtrazitIPrelomit_Loaded(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    platform::Module modul = platform::loadLibrary("wavelib2.dll");
    auto zapros = modul ? reinterpret_cast<TableRequest3>(
                              platform::findExport(modul, "PoluchitTablicuFunkciyPoImeni"))
                        : nullptr;
    TablicaVolny11 t{};
    if (zapros == nullptr ||
        zapros(reinterpret_cast<TableCell*>(&t), sizeof(t), kImyaTablicy11) == nullptr) {
        state.SkipWithError("wavelib2.dll did not load");
        return;
    }
    NaborVoln* r = t.sozdatNabor(0);
    NaborVoln* tr = t.sozdatNabor(0);
    NaborVoln* s = t.sozdatNabor(1);
    NaborVoln* i = t.sozdatNabor(n);
    s->luchi[0].napravlenie[2] = 1.0;  // the plane z = 0
    ZadatSredy(s, i);
    std::vector<Luch> luchi(n);
    std::vector<Volna> volny(n);
    ZapolnitPadayushchiy(luchi.data(), volny.data(), n);

    const std::uint64_t p = 0;
    const double porog = 0.0;
    auto restore = [&] {
        t.izmenitRazmer(i, n);
        std::memcpy(i->luchi, luchi.data(), n * sizeof(Luch));
        std::memcpy(i->volny, volny.data(), n * sizeof(Volna));
    };
    restore();
    t.otrazitIPrelomit(r, tr, s, i, &p, &porog);
    for (auto _ : state) {
        state.PauseTiming();
        restore();
        state.ResumeTiming();
        if (!isTrue(t.otrazitIPrelomit(r, tr, s, i, &p, &porog))) {
            state.SkipWithError("OtrazitIPrelomit failed");
            break;
        }
        benchmark::DoNotOptimize(r->chislo);
    }
    Otchet(state, n);
    state.counters["reflected"] = r->chislo;
    state.counters["transmitted"] = tr->chislo;
    for (NaborVoln* nabor : {r, tr, s, i}) t.udalitNabor(nabor);
    platform::freeLibrary(modul);
}

// A wavelib that leaves the rays as the benchmark prepared them: every incident ray has reached
// the interface and every new ray exists.
BoolByte PLUGIN_CALL Postroit(NaborVoln* novyy, NaborVoln*, NaborVoln* i, std::uint64_t) {
    novyy->chislo = i->chislo;
    return kTrue;
}
BoolByte PLUGIN_CALL PostroitPrelomlennyy(NaborVoln* novyy, NaborVoln* s, NaborVoln* i,
                                          std::uint64_t p, double) {
    return Postroit(novyy, s, i, p);
}
BoolByte PLUGIN_CALL Stoyat(NaborVoln*, double) {
    return kTrue;
}

void BM_OtrazitIPrelomit_Wavelib2Share(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    TablicaVolny10 tablica{};
    tablica.otrazitLuchi = &Postroit;
    tablica.prelomitLuchi = &PostroitPrelomlennyy;
    tablica.prodvinutLuchi = &Stoyat;
    ZadatTablicu10(tablica);

    std::vector<Luch> luchiR(n), luchiT(n), luchiI(n), luchi(n);
    std::vector<Volna> volnyR(n), volnyT(n), volnyI(n), volny(n);
    ZapolnitPadayushchiy(luchi.data(), volny.data(), n);
    for (std::uint32_t k = 0; k < n; ++k) {
        luchi[k].flagi = kLuchDoshel;
        const double c1 = -luchi[k].napravlenie[2];
        const double sin2 = std::sqrt(1.0 - c1 * c1) * 5.9 / 1.48;
        volny[k].cosPadeniya = c1;
        volny[k].cosPrelomleniya = sin2 < 1.0 ? std::sqrt(1.0 - sin2 * sin2) : 0.0;
        volny[k].dlinaShaga = kVysota / c1;
        if (sin2 >= 1.0) luchiT[k].flagi = kLuchUdalit;
    }
    NaborVoln r{}, tr{}, s{}, i{};
    r.luchi = luchiR.data();
    r.volny = volnyR.data();
    tr.luchi = luchiT.data();
    tr.volny = volnyT.data();
    i.luchi = luchiI.data();
    i.volny = volnyI.data();
    ZadatSredy(&s, &i);
    std::vector<Luch> luchiTnachalo = luchiT;

    const std::uint64_t p = 0;
    const double porog = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(luchiI.data(), luchi.data(), n * sizeof(Luch));
        std::memcpy(volnyI.data(), volny.data(), n * sizeof(Volna));
        std::memcpy(luchiT.data(), luchiTnachalo.data(), n * sizeof(Luch));
        i.chislo = i.chisloVoln = n;
        state.ResumeTiming();
        OtrazitIPrelomit(&r, &tr, &s, &i, &p, &porog);
        benchmark::DoNotOptimize(r.chislo);
    }
    Otchet(state, n);
    state.counters["reflected"] = r.chislo;
    state.counters["transmitted"] = tr.chislo;
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
    std::vector<Luch> luchiI(n), luchiR(n), luchiT(n), luchiTnachalo(n);
    std::vector<Volna> volnyI(n), volnyR(n), volnyT(n);
    ZapolnitPadayushchiy(luchiI.data(), volnyI.data(), n);
    std::vector<std::uint8_t> polnoeOtrazhenie(n);  // the transmitted rays that do not exist
    for (std::uint32_t k = 0; k < n; ++k) {
        const double c1 = -luchiI[k].napravlenie[2];
        polnoeOtrazhenie[k] = std::sqrt(1.0 - c1 * c1) * 5.9 / 1.48 >= 1.0;
        luchiI[k].flagi = kLuchDoshel;
        if (polnoeOtrazhenie[k]) luchiTnachalo[k].flagi = kLuchUdalit;
    }
    // Opaque to the compiler, so that no update below folds away.
    const double shag = 0.5 + 0.0 * static_cast<double>(n);
    const double odin = 1.0 + 0.0 * static_cast<double>(n);
    auto build = [&](std::vector<Luch>& luchi, std::vector<Volna>& volny, bool transmitted) {
        for (std::uint32_t k = 0; k < n; ++k) {
            std::memcpy(&luchi[k], &luchiI[k], sizeof(Luch));
            std::memcpy(&volny[k], &volnyI[k], sizeof(Volna));
            luchi[k].flagi = transmitted && polnoeOtrazhenie[k] ? kLuchUdalit : 0u;
            if (!transmitted) luchiI[k].flagi = kLuchDoshel;  // the second finds them set
            volnyI[k].dlinaShaga = shag;
            (transmitted ? volnyI[k].cosPrelomleniya : volnyI[k].cosPadeniya) = odin;
        }
    };
    auto step = [&](Luch* luchi, Volna* volny, std::uint32_t count) {
        if (wavelib) {
            for (std::uint32_t k = 0; k < count; ++k) {
                Luch& l = luchi[k];
                l.nachalo[0] += shag * l.napravlenie[0];
                l.nachalo[1] += shag * l.napravlenie[1];
                l.nachalo[2] += shag * l.napravlenie[2];
                volny[k].dlinaShaga = shag;
            }
        }
        for (std::uint32_t k = 0; k < count; ++k) {
            Volna& w = volny[k];
            w.put += w.dlinaShaga;
            w.vremya1 += shag;
            w.vremya2 += shag;
            w.amplituda *= odin;
            w.energiya *= odin;
        }
    };
    for (auto _ : state) {
        state.PauseTiming();
        if (!wavelib) std::memcpy(luchiT.data(), luchiTnachalo.data(), n * sizeof(Luch));
        state.ResumeTiming();
        if (wavelib) {
            build(luchiR, volnyR, false);
            build(luchiT, volnyT, true);
        }
        std::uint32_t flagi = 0;
        for (std::uint32_t k = 0; k < n; ++k) {
            flagi |= luchiI[k].flagi;
            // A new element marked for removal needs no wave: its filter removes it.
            if ((luchiR[k].flagi & kLuchUdalit) == 0) {
                std::memcpy(&volnyR[k], &volnyI[k], sizeof(Volna));
            }
            if ((luchiT[k].flagi & kLuchUdalit) == 0) {
                std::memcpy(&volnyT[k], &volnyI[k], sizeof(Volna));
            }
        }
        NaborVoln t{};
        t.luchi = luchiT.data();
        t.volny = volnyT.data();
        t.chislo = t.chisloVoln = n;
        UdalitOtmechennye(&t);  // moves records only
        step(luchiR.data(), volnyR.data(), n);
        step(luchiT.data(), volnyT.data(), t.chislo);
        benchmark::DoNotOptimize(flagi);
        benchmark::ClobberMemory();
    }
    Otchet(state, n);
}

// The incident set's two arrays copied once, as one element after another.
void BM_Memcpy(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Luch> luchi(n), raysCopy(n);
    std::vector<Volna> volny(n), wavesCopy(n);
    ZapolnitPadayushchiy(luchi.data(), volny.data(), static_cast<std::uint32_t>(n));
    for (auto _ : state) {
        std::memcpy(raysCopy.data(), luchi.data(), n * sizeof(Luch));
        std::memcpy(wavesCopy.data(), volny.data(), n * sizeof(Volna));
        benchmark::ClobberMemory();
    }
    Otchet(state, static_cast<std::uint32_t>(n));
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
