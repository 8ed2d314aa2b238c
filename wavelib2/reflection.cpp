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
constexpr double kMinCosPadeniya = 0.2;  // an angle of incidence of about 78.46 degrees
constexpr double kDolyaShaga = 0.25;     // the first step away, in reference lengths

bool TaZheSreda(const Sreda& a, const Sreda& b) {
    return a.plotnost == b.plotnost && a.skorost == b.skorost;
}

// The impedances of the two sides, taken out of the sets once per pass.
struct Impedances {
    double reflected;    // of the reflected set's medium, where the incident waves travel
    double transmitted;  // of the transmitted set's medium

    Impedances(const NaborVoln* r, const NaborVoln* t)
        : reflected(r->sreda.plotnost * r->sreda.skorost),
          transmitted(t->sreda.plotnost * t->sreda.skorost) {}
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

    if ((flagsI & kLuchTolkoFaza) == 0) {
        double koefR;
        double koefT;
        const double c1 = cosR;
        const double c2 = cosRefraction;
        if ((flagsT & kLuchUdalit) != 0 || c2 == 0.0) {
            // No transmitted wave (total internal reflection), or a refraction cosine of exactly
            // 0 at exactly the critical angle: the grazing limit, everything reflected and
            // nothing lost. Any formula would give 0/0 here and lose both waves.
            koefR = 1.0;
            koefT = 0.0;
        } else {
            if (!(c1 < 1.0 || c1 > 1.0)) {
                // Normal incidence (a cosine that is not a number included): the impedance form,
                // which the cosine form below equals bit for bit at c1 = c2 = 1.
                koefR = std::fabs((zT - zR) / (zT + zR));
            } else {
                // The pressure reflection coefficient in cosines. Its form in densities and
                // tangents, equal by Snell's law, loses its digits near normal incidence, where
                // both tangents vanish (a few per cent at 3e-8 rad).
                koefR = std::fabs((zT * c1 - zR * c2) / (zT * c1 + zR * c2));
            }
            koefT = std::sqrt((1.0 - koefR * koefR) * cosT / cosRefraction);
        }
        w.amplitudeR *= koefR;
        w.amplitudeT *= koefT;
        w.energyR *= koefR * koefR;
        w.energyT *= koefT * koefT;
    }

    // The reflected pressure changes sign when the numerator of the reflection coefficient is
    // negative: the phase becomes pi - phase (not phase + pi; the two agree for a wave of phase
    // 0). Beyond the critical angle r = 1 with no phase shift. Both are kept as they are because
    // stored results and callers rely on them. The transmitted phase never changes.
    if (!(zT * cosR - zR * cosRefraction >= 0.0)) w.phaseR = kPi - w.phaseR;
}

void applyCoefficients(NaborVoln* r, NaborVoln* t, const NaborVoln* i, std::uint32_t from,
                       std::uint32_t to) {
    const Impedances z(r, t);
    for (std::uint32_t k = from; k < to; ++k) {
        const std::uint32_t flagsI = i->luchi[k].flagi;
        if ((flagsI & kLuchDoshel) == 0) continue;
        Volna& wR = r->volny[k];
        Volna& wT = t->volny[k];
        SplitValues w{wR.amplituda, wR.energiya, wR.faza, wT.amplituda, wT.energiya};
        splitCoefficients(flagsI, t->luchi[k].flagi, wR.cosPadeniya, wT.cosPadeniya,
                          wT.cosPrelomleniya, w, z);
        wR.amplituda = w.amplitudeR;
        wR.energiya = w.energyR;
        wR.faza = w.phaseR;
        wT.amplituda = w.amplitudeT;
        wT.energiya = w.energyT;
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
void filterSet(NaborVoln* nabor, Filtering known, Filter filter) {
    switch (known) {
        case Filtering::keepsAll:
            nabor->chisloVoln = nabor->chislo;
            break;
        case Filtering::removesAll:
            nabor->chislo = 0;
            nabor->chisloVoln = 0;
            break;
        case Filtering::unknown:
            filter(nabor);
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
FilterForecast splitWaves(NaborVoln* r, NaborVoln* t, NaborVoln* i, double threshold) {
    const std::uint32_t waves = std::min(i->chisloVoln, i->chislo);
    const bool arrays = i->volny != nullptr && r->volny != nullptr && t->volny != nullptr &&
                        i->luchi != nullptr && r->luchi != nullptr && t->luchi != nullptr;
    if (!arrays) {  // what can be done without all arrays, step by step
        RasprostranitVolny(i);
        if (waves != 0 && i->volny != nullptr && r->volny != nullptr && t->volny != nullptr) {
            std::memcpy(r->volny, i->volny, std::size_t{waves} * sizeof(Volna));
            std::memcpy(t->volny, i->volny, std::size_t{waves} * sizeof(Volna));
        }
        PrimenitKoefficienty(r, t, i);
        return {};
    }

    const MediumForUpdate medium(i->sreda);
    const Impedances z(r, t);
    const std::uint32_t coefficients = std::min({r->chislo, t->chislo, i->chislo});
    const std::uint32_t together = std::min(waves, coefficients);
    const Luch* luchiI = i->luchi;
    const Luch* luchiR = r->luchi;
    const Luch* luchiT = t->luchi;
    Volna* volnyI = i->volny;
    Volna* volnyR = r->volny;
    Volna* volnyT = t->volny;
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
        Volna& wI = volnyI[k];
        Volna& wR = volnyR[k];
        Volna& wT = volnyT[k];
        const std::uint32_t flagsI = luchiI[k].flagi;
        const std::uint32_t flagsT = luchiT[k].flagi;
        const bool isMarkedR = (luchiR[k].flagi & kLuchUdalit) != 0;
        const bool isMarkedT = (flagsT & kLuchUdalit) != 0;
        if (!isMarkedR) std::memcpy(&wR, &wI, sizeof(Volna));
        if (!isMarkedT) std::memcpy(&wT, &wI, sizeof(Volna));
        const AdvancedWave step = advancedWave(wI, medium);
        SplitValues split{step.amplituda, step.energiya, wI.faza, step.amplituda, step.energiya};
        const bool reachedI = (flagsI & kLuchDoshel) != 0;
        if (reachedI) {
            splitCoefficients(flagsI, flagsT, wI.cosPadeniya, wI.cosPadeniya, wI.cosPrelomleniya,
                              split, z);
        } else {
            // The element stays in the incident set, which keeps its step. An element that
            // reached the interface leaves the incident set (UdalitDoshedshie below), so its
            // record there is not written.
            putAdvance(wI, step);
        }
        if (!isMarkedR) {
            putAdvance(wR, {step.put, step.vremya1, step.vremya2, split.amplitudeR, split.energyR});
            wR.faza = split.phaseR;
        }
        if (!isMarkedT) {
            putAdvance(wT, {step.put, step.vremya1, step.vremya2, split.amplitudeT, split.energyT});
        }

        reached += reachedI ? 1 : 0;
        markedR += isMarkedR ? 1 : 0;
        markedT += isMarkedT ? 1 : 0;
        const double cosPadeniya = wI.cosPadeniya;
        weakR +=
            !isMarkedR && belowThresholds(cosPadeniya, split.energyR, kMinCosPadeniya, threshold);
        weakT +=
            !isMarkedT && belowThresholds(cosPadeniya, split.energyT, kMinCosPadeniya, threshold);
    }
    // The elements that only some of the steps reach (sets of unequal counts), in step order.
    for (std::uint32_t k = together; k < i->chislo; ++k) advanceWave(volnyI[k], medium);
    if (waves > together) {
        const std::size_t bytes = std::size_t{waves - together} * sizeof(Volna);
        std::memcpy(volnyR + together, volnyI + together, bytes);
        std::memcpy(volnyT + together, volnyI + together, bytes);
    }
    applyCoefficients(r, t, i, together, coefficients);

    FilterForecast forecast;
    auto keepsAll = [](std::uint32_t removed) {
        return removed == 0 ? Filtering::keepsAll : Filtering::unknown;
    };
    if (i->chislo == together) {
        forecast.reached = reached == 0          ? Filtering::keepsAll
                           : reached == together ? Filtering::removesAll
                                                 : Filtering::unknown;
    }
    if (r->chislo == together) {
        forecast.markedR = keepsAll(markedR);
        forecast.weakR = keepsAll(weakR);
    }
    if (t->chislo == together) {
        forecast.markedT = keepsAll(markedT);
        forecast.weakT = keepsAll(weakT);
    }
    return forecast;
}

}  // namespace

void PrimenitKoefficienty(NaborVoln* r, NaborVoln* t, const NaborVoln* i) {
    if (r == nullptr || t == nullptr || i == nullptr) return;
    if (r->volny == nullptr || t->volny == nullptr || t->luchi == nullptr || i->luchi == nullptr) {
        return;
    }
    // The sets are walked side by side; no element beyond any of them is touched.
    applyCoefficients(r, t, i, 0, std::min({r->chislo, t->chislo, i->chislo}));
}

BoolByte PLUGIN_CALL OtrazitIPrelomit(NaborVoln* r, NaborVoln* t, NaborVoln* s, NaborVoln* i,
                                      const std::uint64_t* p, const double* porog) {
    if (r == nullptr || t == nullptr || s == nullptr || i == nullptr || p == nullptr ||
        porog == nullptr) {
        return kFalse;
    }
    // The new sets are rebuilt from the incident one: none of them may be the incident set, the
    // interface or each other.
    if (r == t || r == i || t == i || r == s || t == s) return kFalse;
    const double threshold = *porog;

    // The side of the interface on which the incident waves travel, by exact density and speed.
    Sreda drugaya;
    if (TaZheSreda(i->sreda, s->sreda)) {
        drugaya = s->sreda2;
    } else if (TaZheSreda(i->sreda, s->sreda2)) {
        drugaya = s->sreda;
    } else {
        return kFalse;
    }

    // Whatever can be told in advance fails here, before wavelib builds anything: once entry 4
    // has rebuilt R and marked I's rays, a refusal of entry 5 would leave the sets half split.
    // A speed ratio that is not a positive finite number (a speed of zero, negative or infinite)
    // is one that no refraction can use. Entries 4 and 5 check the same plane and sets, so beyond
    // this only wavelib running out of memory for T can still fail after R is built.
    const TablicaVolny10& wavelib = Tablica10();
    if (wavelib.otrazitLuchi == nullptr || wavelib.prelomitLuchi == nullptr) return kFalse;
    const double otnoshenie = i->sreda.skorost / drugaya.skorost;
    if (!(otnoshenie > 0.0) || !std::isfinite(otnoshenie)) return kFalse;
    std::uint64_t parametr;
    std::memcpy(&parametr, p, sizeof(parametr));
    if (!isTrue(wavelib.otrazitLuchi(r, s, i, parametr))) return kFalse;
    if (!isTrue(wavelib.prelomitLuchi(t, s, i, parametr, otnoshenie))) return kFalse;

    r->sreda = i->sreda;
    t->sreda = drugaya;

    // The incident waves travel their last step, up to the interface, and both new sets start
    // from copies of them with the coefficients applied. The elements that reached the interface
    // leave the incident set; marked, grazing and weak ones leave the new sets.
    const FilterForecast forecast = splitWaves(r, t, i, threshold);
    filterSet(i, forecast.reached, UdalitDoshedshie);
    auto dropWeak = [threshold](NaborVoln* n) { OtbrositPoPorogam(n, kMinCosPadeniya, threshold); };
    filterSet(r, forecast.markedR, UdalitOtmechennye);
    filterSet(r, forecast.weakR, dropWeak);
    filterSet(t, forecast.markedT, UdalitOtmechennye);
    filterSet(t, forecast.weakT, dropWeak);

    const double shag = kDolyaShaga * s->dlinaOtscheta;
    ProdvinutVolny(r, shag);
    ProdvinutVolny(t, shag);
    return kTrue;
}

}  // namespace wavelib2
