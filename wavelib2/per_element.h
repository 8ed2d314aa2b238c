// The work on one element that several passes share: the update of a wave after its ray's step
// (the propagation of whole sets, and the interface split on each incident wave on its way into
// the new sets) and the tests of the filters (the filters themselves, and the interface split,
// which tests the new elements as it writes them).
#pragma once

#include <cmath>

#include "abi/wave_set.h"

namespace wavelib2 {

// The medium's values that the update reads, taken out of the set once per pass.
struct MediumForUpdate {
    double speed;
    double minusAttenuation;  // the attenuation coefficient with its sign turned

    explicit MediumForUpdate(const Sreda& m) : speed(m.skorost), minusAttenuation(-m.zatuhanie) {}
};

// What a step of a wave's ray changes in the wave: path, both times, amplitude and energy.
struct AdvancedWave {
    double put;
    double vremya1;
    double vremya2;
    double amplituda;
    double energiya;
};

// The wave w after its ray took a step of w.dlinaShaga, computed from w's fields.
inline AdvancedWave advancedWave(const Volna& w, const MediumForUpdate& m) {
    const double d = w.dlinaShaga;
    const double t = d / m.speed;
    const double a = m.minusAttenuation * d * w.koefZatuhaniya;
    // One exponential for both: the energy factor e^(2a) is the square of the amplitude's. Without
    // attenuation (the medium's, or the wave's) a is zero and e^a exactly 1: the call, by far the
    // dearest part of the update, is saved.
    const double ea = a == 0.0 ? 1.0 : std::exp(a);
    return {w.put + d, w.vremya1 + t, w.vremya2 + t, w.amplituda * ea, w.energiya * (ea * ea)};
}

// Writes the step's values into a wave record, field by field.
inline void putAdvance(Volna& w, const AdvancedWave& a) {
    w.put = a.put;
    w.vremya1 = a.vremya1;
    w.vremya2 = a.vremya2;
    w.amplituda = a.amplituda;
    w.energiya = a.energiya;
}

inline void advanceWave(Volna& w, const MediumForUpdate& m) {
    putAdvance(w, advancedWave(w, m));
}

// The filters' tests: true when the element is to be removed. A comparison with a value that is
// not a number fails, so such elements are removed.
inline bool reachedInterface(const Luch& r) {
    return (r.flagi & kLuchDoshel) != 0;
}
inline bool markedForRemoval(const Luch& r) {
    return (r.flagi & kLuchUdalit) != 0;
}
inline bool belowThresholds(double cosPadeniya, double energiya, double minCos, double minEnergy) {
    return !(cosPadeniya >= minCos && energiya >= minEnergy);
}
inline bool belowThresholds(const Volna& w, double minCos, double minEnergy) {
    return belowThresholds(w.cosPadeniya, w.energiya, minCos, minEnergy);
}

}  // namespace wavelib2
