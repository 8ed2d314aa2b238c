// Advancing waves along their rays and scaling the geometry of a wave set.
#include <cmath>

#include "wavelib2/makrosi.h"
#include "wavelib2/per_element.h"

namespace wavelib2 {

void RasprostranitVolny(WaveSet* set) {
    if (set == nullptr || set->waves == nullptr) return;
    const MediumForUpdate medium(set->medium);
    const std::uint32_t count = set->count;
    Wave* waves = set->waves;
    for (std::uint32_t i = 0; i < count; ++i) advanceWave(waves[i], medium);
}

BoolByte PLUGIN_CALL ProdvinutVolny(WaveSet* set, double step) {
    const AdvanceRaysFn advanceRays = Table10().advanceRays;
    if (advanceRays == nullptr || !isTrue(advanceRays(set, step))) return kFalse;
    RasprostranitVolny(set);
    return kTrue;
}

BoolByte PLUGIN_CALL IzmenitMasshtab(WaveSet* set, double factor) {
    if (set == nullptr) return kFalse;
    if (set->rays != nullptr) {
        const std::uint32_t count = set->count;
        Ray* rays = set->rays;
        for (std::uint32_t i = 0; i < count; ++i) {
            Ray& r = rays[i];
            for (int k = 0; k < 3; ++k) {
                r.direction[k] *= factor;
                r.origin[k] *= factor;
                r.edge1[k] *= factor;
                r.edge2[k] *= factor;
            }
            r.length *= factor;
        }
    }
    set->referenceLength *= factor;
    // By index: a reference to an element of the packed set would promise 8-byte alignment.
    for (int k = 0; k < 3; ++k) set->source[k] *= factor;
    set->length2 *= factor;
    return kTrue;
}

}  // namespace wavelib2
