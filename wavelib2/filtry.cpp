// Filters that remove elements from a wave set.
//
// Every filter walks the set once with swap-with-last removal: a removed element's slot takes the
// last element (ray and wave), which is tested next. Nothing is allocated or freed; the removed
// records stay in the arrays behind the element count.
#include "wavelib2/makrosi.h"

namespace wavelib2 {

namespace {

template <typename Udalit>
void Otfiltrovat(NaborVoln* nabor, Udalit udalit) {
    if (nabor == nullptr) return;
    std::uint32_t chislo = nabor->chislo;
    Luch* luchi = nabor->luchi;
    Volna* volny = nabor->volny;
    if (luchi == nullptr || volny == nullptr) chislo = 0;  // no arrays: nothing to keep
    std::uint32_t i = 0;
    while (i < chislo) {
        if (udalit(luchi[i], volny[i])) {
            --chislo;
            if (i != chislo) {
                luchi[i] = luchi[chislo];
                volny[i] = volny[chislo];
            }
        } else {
            ++i;
        }
    }
    nabor->chislo = chislo;
    nabor->chisloVoln = chislo;
}

}  // namespace

void UdalitDoshedshie(NaborVoln* nabor) {
    Otfiltrovat(nabor, [](const Luch& r, const Volna&) { return (r.flagi & kLuchDoshel) != 0; });
}

void OtbrositPoPorogam(NaborVoln* nabor, double minCos, double minEnergiya) {
    Otfiltrovat(nabor, [minCos, minEnergiya](const Luch&, const Volna& w) {
        return !(w.cosPadeniya >= minCos && w.energiya >= minEnergiya);
    });
}

NaborVoln* PLUGIN_CALL OtbrositSlabyeVolny(NaborVoln* nabor, const double* porog) {
    if (porog == nullptr) return nabor;
    const double p = *porog;
    Otfiltrovat(nabor, [p](const Luch&, const Volna& w) { return !(w.energiya >= p); });
    return nabor;
}

NaborVoln* PLUGIN_CALL UdalitOtmechennye(NaborVoln* nabor) {
    Otfiltrovat(nabor, [](const Luch& r, const Volna&) { return (r.flagi & kLuchUdalit) != 0; });
    return nabor;
}

}  // namespace wavelib2
