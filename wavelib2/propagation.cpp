// Advancing waves along their rays and scaling the geometry of a wave set.
#include <cmath>

#include "wavelib2/makrosi.h"
#include "wavelib2/per_element.h"

namespace wavelib2 {

void RasprostranitVolny(NaborVoln* nabor) {
    if (nabor == nullptr || nabor->volny == nullptr) return;
    const MediumForUpdate medium(nabor->sreda);
    const std::uint32_t chislo = nabor->chislo;
    Volna* volny = nabor->volny;
    for (std::uint32_t i = 0; i < chislo; ++i) advanceWave(volny[i], medium);
}

BoolByte PLUGIN_CALL ProdvinutVolny(NaborVoln* nabor, double shag) {
    const ProdvinutLuchiFn prodvinut = Tablica10().prodvinutLuchi;
    if (prodvinut == nullptr || !isTrue(prodvinut(nabor, shag))) return kFalse;
    RasprostranitVolny(nabor);
    return kTrue;
}

BoolByte PLUGIN_CALL IzmenitMasshtab(NaborVoln* nabor, double mnozhitel) {
    if (nabor == nullptr) return kFalse;
    if (nabor->luchi != nullptr) {
        const std::uint32_t chislo = nabor->chislo;
        Luch* luchi = nabor->luchi;
        for (std::uint32_t i = 0; i < chislo; ++i) {
            Luch& r = luchi[i];
            for (int k = 0; k < 3; ++k) {
                r.napravlenie[k] *= mnozhitel;
                r.nachalo[k] *= mnozhitel;
                r.rebro1[k] *= mnozhitel;
                r.rebro2[k] *= mnozhitel;
            }
            r.dlina *= mnozhitel;
        }
    }
    nabor->dlinaOtscheta *= mnozhitel;
    // By index: a reference to an element of the packed set would promise 8-byte alignment.
    for (int k = 0; k < 3; ++k) nabor->istochnik[k] *= mnozhitel;
    nabor->dlina2 *= mnozhitel;
    return kTrue;
}

}  // namespace wavelib2
