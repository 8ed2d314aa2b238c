// Example: waves from a point source in water meet a steel half-space.
//
// The program loads wavelib2 the way any program of the suite does (by file name, then its table
// "Обработчик волн, версия 1.1"), builds the waves of a point source with InicializirovatVolny,
// advances them towards the interface, splits them with OtrazitIPrelomit and prints, per set, the
// element count and the total energy, and the energy balance of the split.
//
// Units: millimetres, microseconds, g/cm^3 (speeds in mm/us). Water: 1.48 mm/us, 1.0 g/cm^3;
// steel (longitudinal waves): 5.9 mm/us, 7.8 g/cm^3. The source is 10 mm above the interface;
// the rays leave it downwards at 0 to 40 degrees from the vertical, so that the rays beyond the
// critical angle (about 14.5 degrees) are reflected whole.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

#include "abi/plugin.h"
#include "abi/wave_set.h"
#include "abi/wavelib2.h"
#include "platform/dynlib.h"

namespace {

constexpr double kVysota = 10.0;  // source above the interface, mm
constexpr double kShag = 6.0;     // the advance before the split, mm
constexpr int kUglov = 41;        // 0, 1, ..., 40 degrees from the vertical
constexpr int kAzimutov = 12;

struct Itog {
    std::uint32_t chislo = 0;
    double energiya = 0.0;
};

Itog Podschitat(const NaborVoln* n) {
    Itog itog;
    itog.chislo = n->chislo;
    for (std::uint32_t k = 0; k < n->chislo; ++k) itog.energiya += n->volny[k].energiya;
    return itog;
}

// The name padded to a column of 34 characters: printf pads by bytes, and a Cyrillic letter
// takes two bytes in UTF-8.
void Stolbec(const char* tekst) {
    int simvolov = 0;
    for (const char* c = tekst; *c != '\0'; ++c) {
        if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++simvolov;
    }
    std::printf("  %s%*s", tekst, simvolov < 34 ? 34 - simvolov : 0, "");
}

void Napechatat(const char* imya, const Itog& itog) {
    Stolbec(imya);
    std::printf(" %6u  %.12f\n", itog.chislo, itog.energiya);
}

int Oshibka(const char* tekst) {
    std::fprintf(stderr, "wave_split: %s\n", tekst);
    return 1;
}

}  // namespace

int main() {
    platform::Module wavelib2 = platform::loadLibrary("wavelib2.dll");
    if (wavelib2 == nullptr) {
        std::fprintf(stderr, "wave_split: не удалось загрузить wavelib2.dll: %s\n",
                     platform::lastErrorText().c_str());
        return 1;
    }
    auto zapros = reinterpret_cast<TableRequest3>(
        platform::findExport(wavelib2, "PoluchitTablicuFunkciyPoImeni"));
    TablicaVolny11 t{};
    if (zapros == nullptr ||
        zapros(reinterpret_cast<TableCell*>(&t), sizeof(t), kImyaTablicy11) == nullptr) {
        return Oshibka("wavelib2 не выдал таблицу версии 1.1");
    }

    const std::uint32_t luchey = kUglov * kAzimutov;
    NaborVoln* padayushchiy = t.sozdatNabor(luchey);
    NaborVoln* granica = t.sozdatNabor(1);
    NaborVoln* otrazhennyy = t.sozdatNabor(0);
    NaborVoln* proshedshiy = t.sozdatNabor(0);
    if (padayushchiy == nullptr || granica == nullptr || otrazhennyy == nullptr ||
        proshedshiy == nullptr) {
        return Oshibka("не хватило памяти для наборов волн");
    }

    // The interface: the plane z = 0 (ray 0 of the interface set: a point and the normal), water
    // above it, steel below it.
    granica->sreda.skorost = 1.48;
    granica->sreda.plotnost = 1.0;
    granica->sreda2.skorost = 5.9;
    granica->sreda2.plotnost = 7.8;
    granica->luchi[0].napravlenie[2] = 1.0;
    granica->dlinaOtscheta = 2.0;  // the new sets start half a millimetre off the plane

    // The source and one point per ray, one millimetre away in the ray's direction; the width of
    // each ray tube is given by two edge vectors of 0.02 mm across the ray.
    padayushchiy->sreda = granica->sreda;
    padayushchiy->istochnik[2] = kVysota;
    for (std::uint32_t k = 0; k < luchey; ++k) {
        const double ugol = (k % kUglov) * std::numbers::pi / 180.0;
        const double azimut = (k / kUglov) * 2.0 * std::numbers::pi / kAzimutov;
        Luch& l = padayushchiy->luchi[k];
        l.nachalo[0] = std::sin(ugol) * std::cos(azimut);
        l.nachalo[1] = std::sin(ugol) * std::sin(azimut);
        l.nachalo[2] = kVysota - std::cos(ugol);
        l.rebro1[0] = 0.01 * std::cos(ugol) * std::cos(azimut);
        l.rebro1[1] = 0.01 * std::cos(ugol) * std::sin(azimut);
        l.rebro1[2] = 0.01 * std::sin(ugol);
        l.rebro2[0] = -0.01 * std::sin(azimut);
        l.rebro2[1] = 0.01 * std::cos(azimut);
    }
    const Volna obrazec{};
    const double para[2] = {granica->sreda.skorost, granica->sreda.plotnost};
    const double izlucheno = 1.0;
    t.inicializirovatVolny(padayushchiy, &obrazec, izlucheno, para);

    if (!isTrue(t.prodvinutVolny(padayushchiy, kShag))) {
        return Oshibka(t.tekstOshibki());
    }
    const Itog doRazdela = Podschitat(padayushchiy);

    const std::uint64_t ploskost = 0;  // index of the plane's ray in the interface set
    const double porog = 0.0;          // keep even the weakest waves, so that the balance is whole
    if (!isTrue(t.otrazitIPrelomit(otrazhennyy, proshedshiy, granica, padayushchiy, &ploskost,
                                   &porog))) {
        return Oshibka(t.tekstOshibki());
    }

    const Itog otr = Podschitat(otrazhennyy);
    const Itog pro = Podschitat(proshedshiy);
    const Itog ost = Podschitat(padayushchiy);
    // The transmitted ray tube changes its cross-section at the interface: the energy that
    // crossed is the transmitted wave's energy times cos(refraction) / cos(incidence).
    double proshloCherez = 0.0;
    for (std::uint32_t k = 0; k < proshedshiy->chislo; ++k) {
        const Volna& w = proshedshiy->volny[k];
        proshloCherez += w.energiya * w.cosPrelomleniya / w.cosPadeniya;
    }

    std::printf(
        "Точечный источник в воде на высоте %.0f мм над сталью; лучей: %u, до %d° от "
        "вертикали.\n",
        kVysota, luchey, kUglov - 1);
    Stolbec("набор");
    std::printf("  лучей  энергия\n");
    Napechatat("падающий, перед границей", doRazdela);
    Napechatat("отражённый", otr);
    Napechatat("прошедший в сталь", pro);
    Napechatat("падающий, не дошедший до границы", ost);
    std::printf("Полное внутреннее отражение (без прошедшей волны), лучей: %u.\n",
                otr.chislo - pro.chislo);
    const double balans = otr.energiya + proshloCherez + ost.energiya;
    std::printf("Баланс энергии: отражённая %.12f + прошедшая через границу %.12f = %.12f\n",
                otr.energiya, proshloCherez, balans);
    std::printf("                из падающей %.12f, расхождение %.3g\n", doRazdela.energiya,
                balans - doRazdela.energiya);

    for (NaborVoln* n : {padayushchiy, granica, otrazhennyy, proshedshiy}) t.udalitNabor(n);
    platform::freeLibrary(wavelib2);
    return std::fabs(balans - doRazdela.energiya) <= 1e-9 ? 0 : 2;
}
