// The wave processor of version 1.0: its request export and entries 0, 1, 2, 6 and 7.
#include <cmath>
#include <cstring>

#include "abi/plugin.h"
#include "abi/wavelib.h"
#include "suite/wavelib/granica.h"
#include "suite/wavelib/nabory.h"
#include "suite/wavelib/razmeshchenie.h"
#include "suite/wavelib/vektor.h"

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
    for (std::uint32_t i = 0; i < nabor->chislo; ++i) {
        Luch& r = nabor->luchi[i];
        const Vektor3 d = VzyatVektor(r.napravlenie);  // the packed record's array, copied
        const double dlina = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double proiden = 0.0;
        if (dlina > 0.0 && std::isfinite(dlina)) {
            for (int k = 0; k < 3; ++k) r.nachalo[k] += d[k] / dlina * shag;
            proiden = shag;
        }
        nabor->volny[i].dlinaShaga = proiden;
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
