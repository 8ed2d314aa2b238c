// Building the rays and waves of a wave set from its source point (entry 10).
#include <cmath>
#include <cstring>

#include "wavelib2/makrosi.h"
#include "wavelib2/vector3.h"

namespace wavelib2 {

namespace {

constexpr double kMnozhitelAmplitudy = 2.0;
constexpr std::uint32_t kFlagiIstochnika = 0x200C;  // built from the source; bits 0x08, 0x04
constexpr std::uint32_t kFlagiSbrosit = 0x0012;

double Dlina(const Vektor3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// arcsin as atan2(x, sqrt(1 - x^2)): not a number for x above 1.
double Arksinus(double x) {
    return std::atan2(x, std::sqrt(1.0 - x * x));
}

}  // namespace

BoolByte PLUGIN_CALL InicializirovatVolny(NaborVoln* nabor, const Volna* obrazec, double energiya,
                                          const double* para) {
    if (nabor == nullptr || obrazec == nullptr || para == nullptr) return kFalse;
    if ((nabor->flagi & kNaborIzIstochnika) != 0) return kTrue;  // built already
    const std::uint32_t chislo = nabor->chislo;
    if (chislo != 0 && (nabor->luchi == nullptr || nabor->volny == nullptr)) return kFalse;

    // The template and the impedance pair may lie inside this very set (a wave record, a medium
    // block); they are read before anything is written.
    const Volna shablon = *obrazec;
    const double impedans = para[0] * para[1];

    nabor->pole112 = 0;
    nabor->pole28 = 0;

    const Vektor3 istochnik = VzyatVektor(nabor->istochnik);
    double summa = 0.0;
    for (std::uint32_t k = 0; k < chislo; ++k) {
        Luch& r = nabor->luchi[k];
        for (int j = 0; j < 3; ++j) {
            r.napravlenie[j] = r.nachalo[j] - istochnik[j];
            r.nachalo[j] = istochnik[j];
        }
        summa += Dlina(VzyatVektor(r.napravlenie));
    }

    for (std::uint32_t k = 0; k < chislo; ++k) {
        const Luch& r = nabor->luchi[k];
        Volna& w = nabor->volny[k];
        std::memset(&w, 0, sizeof(w));
        const double dlina = Dlina(VzyatVektor(r.napravlenie));
        // The radiated energy is shared among the rays in proportion to their length.
        w.energiya = dlina * energiya / summa;
        w.amplituda = std::sqrt(kMnozhitelAmplitudy * impedans * w.energiya);
        w.vremya1 = shablon.vremya1;
        w.vremya2 = shablon.vremya2;
        w.koefZatuhaniya = shablon.koefZatuhaniya;
        w.faza = shablon.faza;
        w.perenos1 = shablon.perenos1;
        w.perenos2 = shablon.perenos2;
        w.put = 0.0;

        // The angular width of the ray tube: the part of the edge vectors' sum across the ray.
        double s[3];
        double proekciya = 0.0;
        for (int j = 0; j < 3; ++j) {
            s[j] = r.rebro1[j] + r.rebro2[j];
            proekciya += s[j] * r.napravlenie[j];
        }
        const double dolya = proekciya / (dlina * dlina);
        Vektor3 poperek;
        for (int j = 0; j < 3; ++j) poperek[j] = s[j] - r.napravlenie[j] * dolya;
        w.uglovayaShirina = Arksinus(Dlina(poperek) / dlina);
    }

    nabor->flagi = (nabor->flagi | kFlagiIstochnika) & ~kFlagiSbrosit;
    nabor->chisloVoln = chislo;
    return kTrue;
}

}  // namespace wavelib2
