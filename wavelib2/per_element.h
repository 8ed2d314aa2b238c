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

    explicit MediumForUpdate(const Medium& m) : speed(m.speed), minusAttenuation(-m.attenuation) {}
};

// What a step of a wave's ray changes in the wave: path, both times, amplitude and energy.
struct AdvancedWave {
    double path;
    double time1;
    double time2;
    double amplitude;
    double energy;
};

// The wave w after its ray took a step of w.stepLength, computed from w's fields.
inline AdvancedWave advancedWave(const Wave& w, const MediumForUpdate& m) {
    const double d = w.stepLength;
    const double t = d / m.speed;
    const double a = m.minusAttenuation * d * w.attenuationFactor;
    // One exponential for both: the energy factor e^(2a) is the square of the amplitude's. Without
    // attenuation (the medium's, or the wave's) a is zero and e^a exactly 1: the call, by far the
    // dearest part of the update, is saved.
    const double ea = a == 0.0 ? 1.0 : std::exp(a);
    return {w.path + d, w.time1 + t, w.time2 + t, w.amplitude * ea, w.energy * (ea * ea)};
}

// Writes the step's values into a wave record, field by field.
inline void putAdvance(Wave& w, const AdvancedWave& a) {
    w.path = a.path;
    w.time1 = a.time1;
    w.time2 = a.time2;
    w.amplitude = a.amplitude;
    w.energy = a.energy;
}

inline void advanceWave(Wave& w, const MediumForUpdate& m) {
    putAdvance(w, advancedWave(w, m));
}

// The filters' tests: true when the element is to be removed. A comparison with a value that is
// not a number fails, so such elements are removed.
inline bool reachedInterface(const Ray& r) {
    return (r.flags & kRayReached) != 0;
}
inline bool markedForRemoval(const Ray& r) {
    return (r.flags & kRayRemove) != 0;
}
inline bool belowThresholds(double incidenceCosine, double energy, double minCos,
                            double minEnergy) {
    return !(incidenceCosine >= minCos && energy >= minEnergy);
}
inline bool belowThresholds(const Wave& w, double minCos, double minEnergy) {
    return belowThresholds(w.incidenceCosine, w.energy, minCos, minEnergy);
}

}  // namespace wavelib2
