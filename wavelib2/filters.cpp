// Filters that remove elements from a wave set.
//
// Every filter walks the set once with swap-with-last removal: a removed element's slot takes the
// last element (ray and wave), which is tested next. Nothing is allocated or freed; the removed
// records stay in the arrays behind the element count.
#include "wavelib2/makrosi.h"
#include "wavelib2/per_element.h"

namespace wavelib2 {

namespace {

// Swap-with-last removal, with one saving: when a slot is freed, the last elements that are to go
// as well are counted off where they lie instead of being copied into the slot one after another
// and tested there. Each element is tested once, on the same data, so the elements kept and their
// order are those of the plain rule; only the leftovers behind the count differ. A set whose
// elements nearly all go (the incident set after a split) then costs one test per element and no
// copy.
template <typename ShouldRemove>
void RemoveWhere(WaveSet* set, ShouldRemove shouldRemove) {
    if (set == nullptr) return;
    std::uint32_t count = set->count;
    Ray* rays = set->rays;
    Wave* waves = set->waves;
    if (rays == nullptr || waves == nullptr) count = 0;  // no arrays: nothing to keep
    std::uint32_t i = 0;
    while (i < count) {
        if (!shouldRemove(rays[i], waves[i])) {
            ++i;
            continue;
        }
        do {
            --count;
        } while (count > i && shouldRemove(rays[count], waves[count]));
        if (count > i) {  // the last element kept takes the slot and is known to stay
            rays[i] = rays[count];
            waves[i] = waves[count];
            ++i;
        }
    }
    set->count = count;
    set->waveCount = count;
}

}  // namespace

void UdalitDoshedshie(WaveSet* set) {
    RemoveWhere(set, [](const Ray& r, const Wave&) { return reachedInterface(r); });
}

void OtbrositPoPorogam(WaveSet* set, double minCos, double minEnergy) {
    RemoveWhere(set, [minCos, minEnergy](const Ray&, const Wave& w) {
        return belowThresholds(w, minCos, minEnergy);
    });
}

WaveSet* PLUGIN_CALL OtbrositSlabyeVolny(WaveSet* set, const double* threshold) {
    if (threshold == nullptr) return set;
    const double p = *threshold;
    RemoveWhere(set, [p](const Ray&, const Wave& w) { return !(w.energy >= p); });
    return set;
}

WaveSet* PLUGIN_CALL UdalitOtmechennye(WaveSet* set) {
    RemoveWhere(set, [](const Ray& r, const Wave&) { return markedForRemoval(r); });
    return set;
}

}  // namespace wavelib2
