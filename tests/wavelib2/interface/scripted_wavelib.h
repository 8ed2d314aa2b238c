// A wavelib whose entries 3 to 6 do what a test scripts and remember how they were called.
//
// Entries 4 and 5 build the new set from the incident one element by element: the ray is copied,
// and it carries flag 0x08 where the incident ray lacks 0x02 (and, for the transmitted set, where
// the incident wave's refraction cosine is 0: total internal reflection). The test prepares the
// incident flags and the wave offsets 4, 12 and 20 itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "wavelib2/makrosi.h"

struct ScriptedWavelib {
    static inline bool rezultat4 = true;
    static inline bool rezultat5 = true;
    static inline int vyzovov4 = 0;
    static inline int vyzovov5 = 0;
    static inline std::uint64_t parametr = 0;
    // How many elements fewer than the incident set the reflected and the transmitted set get.
    static inline std::uint32_t fewer4 = 0;
    static inline std::uint32_t fewer5 = 0;
    static inline double otnoshenie = 0.0;
    static inline std::vector<std::pair<NaborVoln*, double>> shagi;
    static inline std::vector<ZapisSbora> sbory;
    static inline std::vector<NaborVoln*> kudaSobrany;

    static void Podklyuchit() {
        rezultat4 = rezultat5 = true;
        fewer4 = fewer5 = 0;
        vyzovov4 = vyzovov5 = 0;
        parametr = 0;
        otnoshenie = 0.0;
        shagi.clear();
        sbory.clear();
        kudaSobrany.clear();
        TablicaVolny10 t{};
        t.dobavitNabor = &Dobavit;
        t.otrazitLuchi = &Otrazit;
        t.prelomitLuchi = &Prelomit;
        t.prodvinutLuchi = &Prodvinut;
        wavelib2::ZadatTablicu10(t);
    }

    static void Postroit(NaborVoln* novyy, const NaborVoln* i, bool prelomlenie) {
        const std::uint32_t fewer = prelomlenie ? fewer5 : fewer4;
        novyy->chislo = i->chislo > fewer ? i->chislo - fewer : 0;
        for (std::uint32_t k = 0; k < novyy->chislo; ++k) {
            novyy->luchi[k] = i->luchi[k];
            const bool net = (i->luchi[k].flagi & kLuchDoshel) == 0 ||
                             (prelomlenie && i->volny[k].cosPrelomleniya == 0.0);
            novyy->luchi[k].flagi = net ? kLuchUdalit : 0;
        }
    }
    static BoolByte PLUGIN_CALL Otrazit(NaborVoln* r, NaborVoln*, NaborVoln* i, std::uint64_t p) {
        ++vyzovov4;
        parametr = p;
        if (!rezultat4) return kFalse;
        Postroit(r, i, false);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Prelomit(NaborVoln* t, NaborVoln*, NaborVoln* i, std::uint64_t,
                                         double otn) {
        ++vyzovov5;
        otnoshenie = otn;
        if (!rezultat5) return kFalse;
        Postroit(t, i, true);
        return kTrue;
    }
    // The rays stay where they are and every wave is told it took the step.
    static BoolByte PLUGIN_CALL Prodvinut(NaborVoln* nabor, double shag) {
        shagi.emplace_back(nabor, shag);
        for (std::uint32_t k = 0; k < nabor->chislo; ++k) nabor->volny[k].dlinaShaga = shag;
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Dobavit(NaborVoln* sbor, const ZapisSbora* zapis) {
        kudaSobrany.push_back(sbor);
        sbory.push_back(*zapis);
        return kTrue;
    }
};
