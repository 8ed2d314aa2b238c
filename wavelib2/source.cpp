// Building the rays and waves of a wave set from its source point (entry 10).
#include <cmath>
#include <cstring>

#include "wavelib2/makrosi.h"
#include "wavelib2/vector3.h"

namespace wavelib2 {

namespace {

constexpr double kAmplitudeFactor = 2.0;
constexpr std::uint32_t kSourceFlags = 0x200C;  // built from the source; bits 0x08, 0x04
constexpr std::uint32_t kClearedFlags = 0x0012;

double Length(const Vector3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// arcsin as atan2(x, sqrt(1 - x^2)): not a number for x above 1.
double Arcsine(double x) {
    return std::atan2(x, std::sqrt(1.0 - x * x));
}

}  // namespace

BoolByte PLUGIN_CALL InicializirovatVolny(WaveSet* set, const Wave* templateWave, double energy,
                                          const double* impedancePair) {
    if (set == nullptr || templateWave == nullptr || impedancePair == nullptr) return kFalse;
    if ((set->flags & kSetBuiltFromSource) != 0) return kTrue;  // built already
    const std::uint32_t count = set->count;
    if (count != 0 && (set->rays == nullptr || set->waves == nullptr)) return kFalse;

    // The template and the impedance pair may lie inside this very set (a wave record, a medium
    // block); they are read before anything is written.
    const Wave pattern = *templateWave;
    const double impedance = impedancePair[0] * impedancePair[1];

    set->field112 = 0;
    set->field28 = 0;

    const Vector3 source = LoadVector(set->source);
    double sum = 0.0;
    for (std::uint32_t k = 0; k < count; ++k) {
        Ray& r = set->rays[k];
        for (int j = 0; j < 3; ++j) {
            r.direction[j] = r.origin[j] - source[j];
            r.origin[j] = source[j];
        }
        sum += Length(LoadVector(r.direction));
    }

    for (std::uint32_t k = 0; k < count; ++k) {
        const Ray& r = set->rays[k];
        Wave& w = set->waves[k];
        std::memset(&w, 0, sizeof(w));
        const double length = Length(LoadVector(r.direction));
        // The radiated energy is shared among the rays in proportion to their length.
        w.energy = length * energy / sum;
        w.amplitude = std::sqrt(kAmplitudeFactor * impedance * w.energy);
        w.time1 = pattern.time1;
        w.time2 = pattern.time2;
        w.attenuationFactor = pattern.attenuationFactor;
        w.phase = pattern.phase;
        w.carried1 = pattern.carried1;
        w.carried2 = pattern.carried2;
        w.path = 0.0;

        // The angular width of the ray tube: the part of the edge vectors' sum across the ray.
        double s[3];
        double projection = 0.0;
        for (int j = 0; j < 3; ++j) {
            s[j] = r.edge1[j] + r.edge2[j];
            projection += s[j] * r.direction[j];
        }
        const double share = projection / (length * length);
        Vector3 across;
        for (int j = 0; j < 3; ++j) across[j] = s[j] - r.direction[j] * share;
        w.angularWidth = Arcsine(Length(across) / length);
    }

    set->flags = (set->flags | kSourceFlags) & ~kClearedFlags;
    set->waveCount = count;
    return kTrue;
}

}  // namespace wavelib2
