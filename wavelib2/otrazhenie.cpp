// Reflection and transmission of a wave set at an interface between two media (entry 8).
#include "wavelib2/otrazhenie.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wavelib2/makrosi.h"

namespace wavelib2 {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMinCosPadeniya = 0.2;  // an angle of incidence of about 78.46 degrees
constexpr double kDolyaShaga = 0.25;     // the first step away, in reference lengths

bool TaZheSreda(const Sreda& a, const Sreda& b) {
    return a.plotnost == b.plotnost && a.skorost == b.skorost;
}

}  // namespace

void PrimenitKoefficienty(NaborVoln* r, NaborVoln* t, const NaborVoln* i) {
    if (r == nullptr || t == nullptr || i == nullptr) return;
    if (r->volny == nullptr || t->volny == nullptr || t->luchi == nullptr || i->luchi == nullptr) {
        return;
    }
    // The sets are walked side by side; no element beyond any of them is touched.
    const std::uint32_t n = std::min({r->chislo, t->chislo, i->chislo});
    const Sreda& mR = r->sreda;
    const Sreda& mT = t->sreda;
    const double zR = mR.plotnost * mR.skorost;
    const double zT = mT.plotnost * mT.skorost;

    for (std::uint32_t k = 0; k < n; ++k) {
        const Luch& rI = i->luchi[k];
        Volna& wR = r->volny[k];
        Volna& wT = t->volny[k];
        if ((rI.flagi & kLuchDoshel) == 0) continue;

        if ((rI.flagi & kLuchTolkoFaza) == 0) {
            double koefR;
            double koefT;
            const double c1 = wR.cosPadeniya;
            const double c2 = wT.cosPrelomleniya;
            if ((t->luchi[k].flagi & kLuchUdalit) != 0 || c2 == 0.0) {
                // No transmitted wave (total internal reflection), or a refraction cosine of
                // exactly 0 at exactly the critical angle: the grazing limit, everything reflected
                // and nothing lost. Any formula would give 0/0 here and lose both waves.
                koefR = 1.0;
                koefT = 0.0;
            } else {
                if (!(c1 < 1.0 || c1 > 1.0)) {
                    // Normal incidence (a cosine that is not a number included): the impedance
                    // form, which the cosine form below equals bit for bit at c1 = c2 = 1.
                    koefR = std::fabs((zT - zR) / (zT + zR));
                } else {
                    // The pressure reflection coefficient in cosines. Its form in densities and
                    // tangents, equal by Snell's law, loses its digits near normal incidence,
                    // where both tangents vanish (a few per cent at 3e-8 rad).
                    koefR = std::fabs((zT * c1 - zR * c2) / (zT * c1 + zR * c2));
                }
                koefT = std::sqrt((1.0 - koefR * koefR) * wT.cosPadeniya / wT.cosPrelomleniya);
            }
            wR.amplituda *= koefR;
            wT.amplituda *= koefT;
            wR.energiya *= koefR * koefR;
            wT.energiya *= koefT * koefT;
        }

        // The reflected pressure changes sign when the numerator of the reflection coefficient is
        // negative: the phase becomes pi - phase (not phase + pi; the two agree for a wave of
        // phase 0). Beyond the critical angle r = 1 with no phase shift. Both are kept as they
        // are because stored results and callers rely on them. The transmitted phase never
        // changes.
        if (!(zT * wR.cosPadeniya - zR * wT.cosPrelomleniya >= 0.0)) wR.faza = kPi - wR.faza;
    }
}

BoolByte PLUGIN_CALL OtrazitIPrelomit(NaborVoln* r, NaborVoln* t, NaborVoln* s, NaborVoln* i,
                                      const std::uint64_t* p, const double* porog) {
    if (r == nullptr || t == nullptr || s == nullptr || i == nullptr || p == nullptr ||
        porog == nullptr) {
        return kFalse;
    }
    // The new sets are rebuilt from the incident one: none of them may be the incident set, the
    // interface or each other.
    if (r == t || r == i || t == i || r == s || t == s) return kFalse;

    // The side of the interface on which the incident waves travel, by exact density and speed.
    Sreda drugaya;
    if (TaZheSreda(i->sreda, s->sreda)) {
        drugaya = s->sreda2;
    } else if (TaZheSreda(i->sreda, s->sreda2)) {
        drugaya = s->sreda;
    } else {
        return kFalse;
    }

    // Whatever can be told in advance fails here, before wavelib builds anything: once entry 4
    // has rebuilt R and marked I's rays, a refusal of entry 5 would leave the sets half split.
    // A speed ratio that is not a positive finite number (a speed of zero, negative or infinite)
    // is one that no refraction can use. Entries 4 and 5 check the same plane and sets, so beyond
    // this only wavelib running out of memory for T can still fail after R is built.
    const TablicaVolny10& wavelib = Tablica10();
    if (wavelib.otrazitLuchi == nullptr || wavelib.prelomitLuchi == nullptr) return kFalse;
    const double otnoshenie = i->sreda.skorost / drugaya.skorost;
    if (!(otnoshenie > 0.0) || !std::isfinite(otnoshenie)) return kFalse;
    std::uint64_t parametr;
    std::memcpy(&parametr, p, sizeof(parametr));
    if (!isTrue(wavelib.otrazitLuchi(r, s, i, parametr))) return kFalse;
    if (!isTrue(wavelib.prelomitLuchi(t, s, i, parametr, otnoshenie))) return kFalse;

    r->sreda = i->sreda;
    t->sreda = drugaya;

    // The incident waves travel their last step, up to the interface, and both new sets start
    // from copies of them.
    RasprostranitVolny(i);
    const std::uint32_t voln = std::min(i->chisloVoln, i->chislo);
    if (voln != 0 && i->volny != nullptr && r->volny != nullptr && t->volny != nullptr) {
        std::memcpy(r->volny, i->volny, std::size_t{voln} * sizeof(Volna));
        std::memcpy(t->volny, i->volny, std::size_t{voln} * sizeof(Volna));
    }

    PrimenitKoefficienty(r, t, i);
    UdalitDoshedshie(i);
    UdalitOtmechennye(r);
    OtbrositPoPorogam(r, kMinCosPadeniya, *porog);
    UdalitOtmechennye(t);
    OtbrositPoPorogam(t, kMinCosPadeniya, *porog);

    const double shag = kDolyaShaga * s->dlinaOtscheta;
    ProdvinutVolny(r, shag);
    ProdvinutVolny(t, shag);
    return kTrue;
}

}  // namespace wavelib2
