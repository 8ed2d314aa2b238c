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
template <typename Udalit>
void Otfiltrovat(NaborVoln* nabor, Udalit udalit) {
    if (nabor == nullptr) return;
    std::uint32_t chislo = nabor->chislo;
    Luch* luchi = nabor->luchi;
    Volna* volny = nabor->volny;
    if (luchi == nullptr || volny == nullptr) chislo = 0;  // no arrays: nothing to keep
    std::uint32_t i = 0;
    while (i < chislo) {
        if (!udalit(luchi[i], volny[i])) {
            ++i;
            continue;
        }
        do {
            --chislo;
        } while (chislo > i && udalit(luchi[chislo], volny[chislo]));
        if (chislo > i) {  // the last element kept takes the slot and is known to stay
            luchi[i] = luchi[chislo];
            volny[i] = volny[chislo];
            ++i;
        }
    }
    nabor->chislo = chislo;
    nabor->chisloVoln = chislo;
}

}  // namespace

void UdalitDoshedshie(NaborVoln* nabor) {
    Otfiltrovat(nabor, [](const Luch& r, const Volna&) { return reachedInterface(r); });
}

void OtbrositPoPorogam(NaborVoln* nabor, double minCos, double minEnergiya) {
    Otfiltrovat(nabor, [minCos, minEnergiya](const Luch&, const Volna& w) {
        return belowThresholds(w, minCos, minEnergiya);
    });
}

NaborVoln* PLUGIN_CALL OtbrositSlabyeVolny(NaborVoln* nabor, const double* porog) {
    if (porog == nullptr) return nabor;
    const double p = *porog;
    Otfiltrovat(nabor, [p](const Luch&, const Volna& w) { return !(w.energiya >= p); });
    return nabor;
}

NaborVoln* PLUGIN_CALL UdalitOtmechennye(NaborVoln* nabor) {
    Otfiltrovat(nabor, [](const Luch& r, const Volna&) { return markedForRemoval(r); });
    return nabor;
}

}  // namespace wavelib2
