// The wave processor of version 1.0: its request export and entries 0, 1, 2, 6 and 7.
#include <cmath>
#include <cstring>

#include "abi/plugin.h"
#include "abi/wavelib.h"
#include "suite/wavelib/interface.h"
#include "suite/wavelib/placement.h"
#include "suite/wavelib/sets.h"
#include "suite/wavelib/vector3.h"

namespace wavelib {
namespace {

NaborVoln* PLUGIN_CALL SozdatNaborVhod(std::uint32_t n) {
    return SozdatNabor(n);
}
void PLUGIN_CALL UdalitNaborVhod(NaborVoln* nabor) {
    UdalitNabor(nabor);
}
BoolByte PLUGIN_CALL IzmenitRazmerVhod(NaborVoln* nabor, std::uint32_t n) {
    return IzmenitRazmer(nabor, n) ? kTrue : kFalse;
}
const char* PLUGIN_CALL TekstOshibkiVhod() {
    return TekstOshibki();
}

}  // namespace

// Entry 6: every ray moves by `shag` along its normalised direction.
BoolByte PLUGIN_CALL ProdvinutLuchi(NaborVoln* nabor, double shag) {
    if (nabor == nullptr) {
        ZapomnitOshibku("Набор волн не задан");
        return kFalse;
    }
    if (!(shag >= 0.0)) {
        ZapomnitOshibku("Шаг должен быть неотрицательным числом");
        return kFalse;
    }
    if (nabor->chislo != 0 && (nabor->luchi == nullptr || nabor->volny == nullptr)) {
        ZapomnitOshibku("У набора волн нет массивов лучей и волн");
        return kFalse;
    }
    // The count and the arrays are taken out of the set once: the records written below could
    // otherwise be the set itself, as far as the compiler can tell, and be read again every time.
    const std::uint32_t chislo = nabor->chislo;
    Luch* luchi = nabor->luchi;
    Volna* volny = nabor->volny;
    for (std::uint32_t i = 0; i < chislo; ++i) {
        Luch& r = luchi[i];
        const Vektor3 d = VzyatVektor(r.napravlenie);  // the packed record's array, copied
        const double dlina = std::sqrt(Skalyar(d, d));
        double proiden = 0.0;
        if (dlina > 0.0 && std::isfinite(dlina)) {
            const Vektor3 o = VzyatVektor(r.nachalo);
            PolozhitVektor(r.nachalo, {o[0] + d[0] / dlina * shag, o[1] + d[1] / dlina * shag,
                                       o[2] + d[2] / dlina * shag});
            proiden = shag;
        }
        volny[i].dlinaShaga = proiden;
    }
    return kTrue;
}

}  // namespace wavelib

namespace {

const TablicaVolny10 kTablica{
    .sozdatNabor = &wavelib::SozdatNaborVhod,
    .udalitNabor = &wavelib::UdalitNaborVhod,
    .izmenitRazmer = &wavelib::IzmenitRazmerVhod,
    .dobavitNabor = &wavelib::DobavitNabor,
    .otrazitLuchi = &wavelib::OtrazitLuchi,
    .prelomitLuchi = &wavelib::PrelomitLuchi,
    .prodvinutLuchi = &wavelib::ProdvinutLuchi,
    .tekstOshibki = &wavelib::TekstOshibkiVhod,
};

}  // namespace

PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* tablica,
                                                              std::uint32_t razmer,
                                                              const char* imya) {
    if (void* svoya = wavelib::ZaprositTablicuRazmeshcheniya(tablica, razmer, imya)) return svoya;
    if (tablica == nullptr || imya == nullptr || std::strcmp(imya, kImyaTablicy10) != 0) {
        return nullptr;
    }
    if (razmer < sizeof(kTablica)) {
        wavelib::ZapomnitOshibku("Таблица функций слишком мала");
        return nullptr;
    }
    std::memcpy(tablica, &kTablica, sizeof(kTablica));
    return tablica;
}
