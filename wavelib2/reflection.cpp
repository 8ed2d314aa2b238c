// Reflection and transmission of a wave set at an interface between two media (entry 8).
#include "wavelib2/reflection.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wavelib2/makrosi.h"
#include "wavelib2/per_element.h"

namespace wavelib2 {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMinIncidenceCosine = 0.2;  // an angle of incidence of about 78.46 degrees
constexpr double kFirstStepShare = 0.25;     // the first step away, in reference lengths

bool SameMedium(const Medium& a, const Medium& b) {
    return a.density == b.density && a.speed == b.speed;
}

// The impedances of the two sides, taken out of the sets once per pass.
struct Impedances {
    double reflected;    // of the reflected set's medium, where the incident waves travel
    double transmitted;  // of the transmitted set's medium

    Impedances(const WaveSet* r, const WaveSet* t)
        : reflected(r->medium.density * r->medium.speed),
          transmitted(t->medium.density * t->medium.speed) {}
};

// The values of one element's reflected and transmitted waves that the coefficients change.
struct SplitValues {
    double amplitudeR;
    double energyR;
    double phaseR;
    double amplitudeT;
    double energyT;
};

// The coefficients and the phase rule for one element whose incident ray reached the interface:
// cosR is the reflected wave's incidence cosine, cosT and cosRefraction the transmitted wave's
// incidence and refraction cosines (all copies of the incident wave's in a split), flagsI and
// flagsT the flags of the incident and the transmitted ray.
inline void splitCoefficients(std::uint32_t flagsI, std::uint32_t flagsT, double cosR, double cosT,
                              double cosRefraction, SplitValues& w, const Impedances& z) {
    const double zR = z.reflected;
    const double zT = z.transmitted;

    if ((flagsI & kRayPhaseOnly) == 0) {
        double reflectionCoefficient;
        double transmissionCoefficient;
        const double c1 = cosR;
        const double c2 = cosRefraction;
        if ((flagsT & kRayRemove) != 0 || c2 == 0.0) {
            // No transmitted wave (total internal reflection), or a refraction cosine of exactly
            // 0 at exactly the critical angle: the grazing limit, everything reflected and
            // nothing lost. Any formula would give 0/0 here and lose both waves.
            reflectionCoefficient = 1.0;
            transmissionCoefficient = 0.0;
        } else {
            if (!(c1 < 1.0 || c1 > 1.0)) {
                // Normal incidence (a cosine that is not a number included): the impedance form,
                // which the cosine form below equals bit for bit at c1 = c2 = 1.
                reflectionCoefficient = std::fabs((zT - zR) / (zT + zR));
            } else {
                // The pressure reflection coefficient in cosines. Its form in densities and
                // tangents, equal by Snell's law, loses its digits near normal incidence, where
                // both tangents vanish (a few per cent at 3e-8 rad).
                reflectionCoefficient = std::fabs((zT * c1 - zR * c2) / (zT * c1 + zR * c2));
            }
            transmissionCoefficient = std::sqrt(
                (1.0 - reflectionCoefficient * reflectionCoefficient) * cosT / cosRefraction);
        }
        w.amplitudeR *= reflectionCoefficient;
        w.amplitudeT *= transmissionCoefficient;
        w.energyR *= reflectionCoefficient * reflectionCoefficient;
        w.energyT *= transmissionCoefficient * transmissionCoefficient;
    }

    // The reflected pressure changes sign when the numerator of the reflection coefficient is
    // negative: the phase becomes pi - phase (not phase + pi; the two agree for a wave of phase
    // 0). Beyond the critical angle r = 1 with no phase shift. Both are kept as they are because
    // stored results and callers rely on them. The transmitted phase never changes.
    if (!(zT * cosR - zR * cosRefraction >= 0.0)) w.phaseR = kPi - w.phaseR;
}

void applyCoefficients(WaveSet* r, WaveSet* t, const WaveSet* i, std::uint32_t from,
                       std::uint32_t to) {
    const Impedances z(r, t);
    for (std::uint32_t k = from; k < to; ++k) {
        const std::uint32_t flagsI = i->rays[k].flags;
        if ((flagsI & kRayReached) == 0) continue;
        Wave& wR = r->waves[k];
        Wave& wT = t->waves[k];
        SplitValues w{wR.amplitude, wR.energy, wR.phase, wT.amplitude, wT.energy};
        splitCoefficients(flagsI, t->rays[k].flags, wR.incidenceCosine, wT.incidenceCosine,
                          wT.refractionCosine, w, z);
        wR.amplitude = w.amplitudeR;
        wR.energy = w.energyR;
        wR.phase = w.phaseR;
        wT.amplitude = w.amplitudeT;
        wT.energy = w.energyT;
    }
}

// What a filter will do to a set, where the pass that wrote the set has already tested every one
// of its elements.
enum class Filtering {
    unknown,     // not every element was tested: the filter runs
    keepsAll,    // nothing to remove: the filter would only set the wave count
    removesAll,  // every element goes
};

// Runs a filter on a set, or gives its result at once where it is known.
template <typename Filter>
void filterSet(WaveSet* set, Filtering known, Filter filter) {
    switch (known) {
        case Filtering::keepsAll:
            set->waveCount = set->count;
            break;
        case Filtering::removesAll:
            set->count = 0;
            set->waveCount = 0;
            break;
        case Filtering::unknown:
            filter(set);
            break;
    }
}

// What the five filters after the coefficients will do: UdalitDoshedshie on I, then
// UdalitOtmechennye and OtbrositPoPorogam on R and on T.
struct FilterForecast {
    Filtering reached = Filtering::unknown;
    Filtering markedR = Filtering::unknown;
    Filtering weakR = Filtering::unknown;
    Filtering markedT = Filtering::unknown;
    Filtering weakT = Filtering::unknown;
};

// Steps 4 to 6 of the split in one pass over the elements: each incident wave travels its last
// step up to the interface, is copied into both new sets and there gets the coefficients. The
// elements are independent of each other, so the result is that of the three steps one after
// another over the whole set, while each wave is read and written once instead of three times.
// The pass also tests every element as the filters that follow will test it; a filter that would
// keep everything (or, on I, remove everything) then need not walk its set again.
FilterForecast splitWaves(WaveSet* r, WaveSet* t, WaveSet* i, double minEnergy) {
    const std::uint32_t waves = std::min(i->waveCount, i->count);
    const bool arrays = i->waves != nullptr && r->waves != nullptr && t->waves != nullptr &&
                        i->rays != nullptr && r->rays != nullptr && t->rays != nullptr;
    if (!arrays) {  // what can be done without all arrays, step by step
        RasprostranitVolny(i);
        if (waves != 0 && i->waves != nullptr && r->waves != nullptr && t->waves != nullptr) {
            std::memcpy(r->waves, i->waves, std::size_t{waves} * sizeof(Wave));
            std::memcpy(t->waves, i->waves, std::size_t{waves} * sizeof(Wave));
        }
        PrimenitKoefficienty(r, t, i);
        return {};
    }

    const MediumForUpdate medium(i->medium);
    const Impedances z(r, t);
    const std::uint32_t coefficients = std::min({r->count, t->count, i->count});
    const std::uint32_t together = std::min(waves, coefficients);
    const Ray* raysI = i->rays;
    const Ray* raysR = r->rays;
    const Ray* raysT = t->rays;
    Wave* wavesI = i->waves;
    Wave* wavesR = r->waves;
    Wave* wavesT = t->waves;
    // Counts of the elements that the filters would remove, from each filter's point of view.
    std::uint32_t reached = 0;
    std::uint32_t markedR = 0;
    std::uint32_t weakR = 0;  // among the elements of R not marked
    std::uint32_t markedT = 0;
    std::uint32_t weakT = 0;
    for (std::uint32_t k = 0; k < together; ++k) {
        // The new waves are copied from the incident one before anything is written, and every
        // value is computed from the incident record and written field by field: nothing is read
        // back right after it was written in pieces of another width, which would stall the
        // processor on every element.
        //
        // A new element marked for removal gets no wave: the filter of marked elements that follows
        // removes it before anything reads its wave (that filter tests only the rays, and a removed
        // slot is either taken whole by the last element or left behind the count). Under total
        // reflection that spares most of the transmitted set's waves a trip through memory.
        Wave& wI = wavesI[k];
        Wave& wR = wavesR[k];
        Wave& wT = wavesT[k];
        const std::uint32_t flagsI = raysI[k].flags;
        const std::uint32_t flagsT = raysT[k].flags;
        const bool isMarkedR = (raysR[k].flags & kRayRemove) != 0;
        const bool isMarkedT = (flagsT & kRayRemove) != 0;
        if (!isMarkedR) std::memcpy(&wR, &wI, sizeof(Wave));
        if (!isMarkedT) std::memcpy(&wT, &wI, sizeof(Wave));
        const AdvancedWave step = advancedWave(wI, medium);
        SplitValues split{step.amplitude, step.energy, wI.phase, step.amplitude, step.energy};
        const bool reachedI = (flagsI & kRayReached) != 0;
        if (reachedI) {
            splitCoefficients(flagsI, flagsT, wI.incidenceCosine, wI.incidenceCosine,
                              wI.refractionCosine, split, z);
        } else {
            // The element stays in the incident set, which keeps its step. An element that
            // reached the interface leaves the incident set (UdalitDoshedshie below), so its
            // record there is not written.
            putAdvance(wI, step);
        }
        if (!isMarkedR) {
            putAdvance(wR, {step.path, step.time1, step.time2, split.amplitudeR, split.energyR});
            wR.phase = split.phaseR;
        }
        if (!isMarkedT) {
            putAdvance(wT, {step.path, step.time1, step.time2, split.amplitudeT, split.energyT});
        }

        reached += reachedI ? 1 : 0;
        markedR += isMarkedR ? 1 : 0;
        markedT += isMarkedT ? 1 : 0;
        const double incidenceCosine = wI.incidenceCosine;
        weakR += !isMarkedR &&
                 belowThresholds(incidenceCosine, split.energyR, kMinIncidenceCosine, minEnergy);
        weakT += !isMarkedT &&
                 belowThresholds(incidenceCosine, split.energyT, kMinIncidenceCosine, minEnergy);
    }
    // The elements that only some of the steps reach (sets of unequal counts), in step order.
    for (std::uint32_t k = together; k < i->count; ++k) advanceWave(wavesI[k], medium);
    if (waves > together) {
        const std::size_t bytes = std::size_t{waves - together} * sizeof(Wave);
        std::memcpy(wavesR + together, wavesI + together, bytes);
        std::memcpy(wavesT + together, wavesI + together, bytes);
    }
    applyCoefficients(r, t, i, together, coefficients);

    FilterForecast forecast;
    auto keepsAll = [](std::uint32_t removed) {
        return removed == 0 ? Filtering::keepsAll : Filtering::unknown;
    };
    if (i->count == together) {
        forecast.reached = reached == 0          ? Filtering::keepsAll
                           : reached == together ? Filtering::removesAll
                                                 : Filtering::unknown;
    }
    if (r->count == together) {
        forecast.markedR = keepsAll(markedR);
        forecast.weakR = keepsAll(weakR);
    }
    if (t->count == together) {
        forecast.markedT = keepsAll(markedT);
        forecast.weakT = keepsAll(weakT);
    }
    return forecast;
}

}  // namespace

void PrimenitKoefficienty(WaveSet* r, WaveSet* t, const WaveSet* i) {
    if (r == nullptr || t == nullptr || i == nullptr) return;
    if (r->waves == nullptr || t->waves == nullptr || t->rays == nullptr || i->rays == nullptr) {
        return;
    }
    // The sets are walked side by side; no element beyond any of them is touched.
    applyCoefficients(r, t, i, 0, std::min({r->count, t->count, i->count}));
}

BoolByte PLUGIN_CALL OtrazitIPrelomit(WaveSet* r, WaveSet* t, WaveSet* s, WaveSet* i,
                                      const std::uint64_t* p, const double* threshold) {
    if (r == nullptr || t == nullptr || s == nullptr || i == nullptr || p == nullptr ||
        threshold == nullptr) {
        return kFalse;
    }
    // The new sets are rebuilt from the incident one: none of them may be the incident set, the
    // interface or each other.
    if (r == t || r == i || t == i || r == s || t == s) return kFalse;
    const double minEnergy = *threshold;

    // The side of the interface on which the incident waves travel, by exact density and speed.
    Medium otherSide;
    if (SameMedium(i->medium, s->medium)) {
        otherSide = s->medium2;
    } else if (SameMedium(i->medium, s->medium2)) {
        otherSide = s->medium;
    } else {
        return kFalse;
    }

    // Whatever can be told in advance fails here, before wavelib builds anything: once entry 4
    // has rebuilt R and marked I's rays, a refusal of entry 5 would leave the sets half split.
    // A speed ratio that is not a positive finite number (a speed of zero, negative or infinite)
    // is one that no refraction can use. Entries 4 and 5 check the same plane and sets, so beyond
    // this only wavelib running out of memory for T can still fail after R is built.
    const WaveProcessorTable10& wavelib = Table10();
    if (wavelib.reflectRays == nullptr || wavelib.refractRays == nullptr) return kFalse;
    const double speedRatio = i->medium.speed / otherSide.speed;
    if (!(speedRatio > 0.0) || !std::isfinite(speedRatio)) return kFalse;
    std::uint64_t parameter;
    std::memcpy(&parameter, p, sizeof(parameter));
    if (!isTrue(wavelib.reflectRays(r, s, i, parameter))) return kFalse;
    if (!isTrue(wavelib.refractRays(t, s, i, parameter, speedRatio))) return kFalse;

    r->medium = i->medium;
    t->medium = otherSide;

    // The incident waves travel their last step, up to the interface, and both new sets start
    // from copies of them with the coefficients applied. The elements that reached the interface
    // leave the incident set; marked, grazing and weak ones leave the new sets.
    const FilterForecast forecast = splitWaves(r, t, i, minEnergy);
    filterSet(i, forecast.reached, UdalitDoshedshie);
    auto dropWeak = [minEnergy](WaveSet* n) {
        OtbrositPoPorogam(n, kMinIncidenceCosine, minEnergy);
    };
    filterSet(r, forecast.markedR, UdalitOtmechennye);
    filterSet(r, forecast.weakR, dropWeak);
    filterSet(t, forecast.markedT, UdalitOtmechennye);
    filterSet(t, forecast.weakT, dropWeak);

    const double step = kFirstStepShare * s->referenceLength;
    ProdvinutVolny(r, step);
    ProdvinutVolny(t, step);
    return kTrue;
}

}  // namespace wavelib2
