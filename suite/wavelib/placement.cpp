// Room for wave-set elements, and the placement and storage tables.
#include "suite/wavelib/placement.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "suite/wavelib/sets.h"
#include "suite/wavelib/vector3.h"

namespace wavelib {
namespace {

// Arrays that this storage gave to a set that wavelib's entry 0 did not make. The room is the
// set's only while the set still points at these arrays; the arrays are held here until released,
// so their addresses cannot be handed to anybody else meanwhile.
struct Komnata {
    std::unique_ptr<Luch[]> luchi;
    std::unique_ptr<Volna[]> volny;
    std::uint32_t mesto = 0;
};

std::mutex gMutex;
std::map<const NaborVoln*, Komnata> gKomnaty;

ZapisSdviga gSdvig{};
ZapisOrientacii gOrientaciya{};

bool SvoyaKomnata(const NaborVoln* nabor, const Komnata& k) {
    return nabor->luchi == k.luchi.get() && nabor->volny == k.volny.get();
}

// A set that wavelib's own storage resizes: made by entry 0 and still on its own arrays (or on
// none).
bool NaborWavelib(const NaborVoln* nabor) {
    return NashNabor(nabor) && (Mesto(nabor) != 0 || nabor->luchi == nullptr);
}

void Ustanovit(NaborVoln* nabor, std::uint32_t chislo) {
    nabor->chislo = chislo;
    nabor->chisloVoln = chislo;
}

void Kopirovat(const void* from, void* to) {
    std::memcpy(to, from, sizeof(Vektor3));
}

// The target takes the source's elements, media and source point.
bool VzyatElementy(NaborVoln* cel, const NaborVoln* istochnik) {
    if (cel == istochnik) return true;
    const std::uint32_t n = istochnik->chislo;
    if (n != 0 && (istochnik->luchi == nullptr || istochnik->volny == nullptr)) return false;
    if (!ZarezervirovatMesto(cel, n, false)) return false;
    if (n != 0) {
        std::memcpy(cel->luchi, istochnik->luchi, std::size_t{n} * sizeof(Luch));
        std::memcpy(cel->volny, istochnik->volny, std::size_t{n} * sizeof(Volna));
    }
    Ustanovit(cel, n);
    cel->sreda = istochnik->sreda;
    cel->sreda2 = istochnik->sreda2;
    Kopirovat(istochnik->istochnik, cel->istochnik);
    return true;
}

// Rotation that turns +z onto the unit vector v (Rodrigues' formula about z x v).
struct Povorot {
    double m[3][3];
    Vektor3 Primenit(const Vektor3& x) const {
        Vektor3 y;
        for (int i = 0; i < 3; ++i) y[i] = m[i][0] * x[0] + m[i][1] * x[1] + m[i][2] * x[2];
        return y;
    }
};

Povorot PovorotOsiZ(const double v[3]) {
    const double c = v[2];
    const double kx = -v[1];
    const double ky = v[0];
    const double s2 = kx * kx + ky * ky;  // the sine squared, exact to rounding at any angle
    if (c < 0.0 && s2 == 0.0) {           // +z onto -z: half a turn about x
        return Povorot{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    }
    // 1 / (1 + c), and near -z as (1 - c) / sin^2: there 1 + c loses its digits to rounding and
    // the matrix would stop being a rotation (it would stretch the turned vectors).
    const double f = c >= 0.0 ? 1.0 / (1.0 + c) : (1.0 - c) / s2;
    // I + K + K^2 / (1 + c), with K the cross-product matrix of k = (kx, ky, 0).
    return Povorot{{{1.0 - ky * ky * f, kx * ky * f, ky},
                    {kx * ky * f, 1.0 - kx * kx * f, -kx},
                    {-ky, kx, 1.0 - (kx * kx + ky * ky) * f}}};
}

std::uint32_t PLUGIN_CALL MestoVhod(const NaborVoln* nabor) {
    return MestoNabora(nabor);
}
BoolByte PLUGIN_CALL ZarezervirovatVhod(NaborVoln* nabor, std::uint32_t n, std::uint32_t sohranit) {
    return ZarezervirovatMesto(nabor, n, sohranit != 0) ? kTrue : kFalse;
}
void PLUGIN_CALL OsvoboditVhod(NaborVoln* nabor) {
    OsvoboditMesto(nabor);
}

}  // namespace

std::uint32_t MestoNabora(const NaborVoln* nabor) {
    if (nabor == nullptr) return 0;
    if (NaborWavelib(nabor)) return Mesto(nabor);
    std::lock_guard lock(gMutex);
    const auto it = gKomnaty.find(nabor);
    if (it != gKomnaty.end() && SvoyaKomnata(nabor, it->second)) return it->second.mesto;
    return nabor->chislo;
}

bool ZarezervirovatMesto(NaborVoln* nabor, std::uint32_t n, bool sohranit) {
    if (nabor == nullptr) return false;
    if (n > kNaibolsheeMesto) {
        ZapomnitOshibku("Слишком много элементов для одного набора волн");
        return false;
    }
    const std::uint32_t ostavit = sohranit ? std::min(nabor->chislo, n) : 0;
    if (MestoNabora(nabor) >= n) {
        Ustanovit(nabor, ostavit);
        return true;
    }

    if (NaborWavelib(nabor)) {
        const std::uint32_t bylo = nabor->chislo;
        nabor->chislo = ostavit;  // wavelib's storage keeps the first `chislo` elements
        if (!IzmenitRazmer(nabor, n)) {
            nabor->chislo = bylo;
            return false;
        }
        Ustanovit(nabor, ostavit);
        return true;
    }

    Komnata novaya;
    novaya.luchi.reset(new (std::nothrow) Luch[n]());
    novaya.volny.reset(new (std::nothrow) Volna[n]());
    if (novaya.luchi == nullptr || novaya.volny == nullptr) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return false;
    }
    novaya.mesto = n;
    if (ostavit != 0 && nabor->luchi != nullptr && nabor->volny != nullptr) {
        std::memcpy(novaya.luchi.get(), nabor->luchi, std::size_t{ostavit} * sizeof(Luch));
        std::memcpy(novaya.volny.get(), nabor->volny, std::size_t{ostavit} * sizeof(Volna));
    }
    nabor->luchi = novaya.luchi.get();
    nabor->volny = novaya.volny.get();
    Ustanovit(nabor, ostavit);
    std::lock_guard lock(gMutex);
    try {
        gKomnaty[nabor] = std::move(novaya);  // a room given before is freed here
    } catch (const std::bad_alloc&) {
        // The set keeps pointing at the new arrays; they are freed as `novaya` goes, so the set
        // must not keep them.
        nabor->luchi = nullptr;
        nabor->volny = nullptr;
        Ustanovit(nabor, 0);
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return false;
    }
    return true;
}

bool ObespechitMesto(NaborVoln* nabor, std::uint32_t n) {
    if (nabor == nullptr) return false;
    const std::uint32_t mesto = MestoNabora(nabor);
    if (mesto >= n) return true;
    const std::uint64_t vdvoe = std::min<std::uint64_t>(std::uint64_t{mesto} * 2, kNaibolsheeMesto);
    return ZarezervirovatMesto(nabor, std::max<std::uint32_t>(n, static_cast<std::uint32_t>(vdvoe)),
                               true);
}

void OsvoboditMesto(NaborVoln* nabor) {
    if (nabor == nullptr) return;
    if (NaborWavelib(nabor)) {
        IzmenitRazmer(nabor, 0);
        return;
    }
    std::lock_guard lock(gMutex);
    const auto it = gKomnaty.find(nabor);
    if (it == gKomnaty.end()) return;
    if (SvoyaKomnata(nabor, it->second)) {
        nabor->luchi = nullptr;
        nabor->volny = nullptr;
        Ustanovit(nabor, 0);
    }
    gKomnaty.erase(it);  // a room the set no longer points at is nobody's any more
}

ZapisSdviga& ZapisSdvigaTablicy() {
    return gSdvig;
}
ZapisOrientacii& ZapisOrientaciiTablicy() {
    return gOrientaciya;
}

BoolByte PLUGIN_CALL Sdvinut(NaborVoln* cel, NaborVoln* istochnik) {
    if (cel == nullptr) return kFalse;
    if (gSdvig.flag != 0) {
        if (istochnik == nullptr || !VzyatElementy(cel, istochnik)) return kFalse;
    }
    double t1[3];
    double t2[3];
    std::memcpy(t1, gSdvig.tochka1, sizeof(t1));
    std::memcpy(t2, gSdvig.tochka2, sizeof(t2));
    if (cel->chislo != 0 && cel->luchi == nullptr) return kFalse;
    for (int j = 0; j < 3; ++j) {
        const double d = t2[j] - t1[j];
        for (std::uint32_t k = 0; k < cel->chislo; ++k) cel->luchi[k].nachalo[j] += d;
        cel->istochnik[j] += d;
    }
    return kTrue;
}

BoolByte PLUGIN_CALL Povernut(NaborVoln* cel, NaborVoln* istochnik) {
    if (cel == nullptr || istochnik == nullptr) return kFalse;
    const ZapisOrientacii o = gOrientaciya;
    const double dlina = std::sqrt(o.vektor[0] * o.vektor[0] + o.vektor[1] * o.vektor[1] +
                                   o.vektor[2] * o.vektor[2]);
    if (!(dlina > 0.0) || !std::isfinite(dlina)) return kFalse;
    if (!VzyatElementy(cel, istochnik)) return kFalse;
    if (cel->chislo != 0 && cel->luchi == nullptr) return kFalse;

    const double znak = o.opciya3 != 0 ? -1.0 : 1.0;
    const double v[3] = {znak * o.vektor[0] / dlina, znak * o.vektor[1] / dlina,
                         znak * o.vektor[2] / dlina};
    const Povorot m = PovorotOsiZ(v);
    // The arrays turned belong to packed records: they are taken out and put back bytewise.
    auto povernut = [&](void* massiv) { PolozhitVektor(massiv, m.Primenit(VzyatVektor(massiv))); };
    auto vokrugTochki = [&](void* massiv) {
        Vektor3 x = VzyatVektor(massiv);
        for (int j = 0; j < 3; ++j) x[j] -= o.tochka[j];
        x = m.Primenit(x);
        for (int j = 0; j < 3; ++j) x[j] += o.tochka[j];
        PolozhitVektor(massiv, x);
    };
    for (std::uint32_t k = 0; k < cel->chislo; ++k) {
        Luch& r = cel->luchi[k];
        if (o.opciya2 != 0) {
            povernut(r.napravlenie);
            povernut(r.rebro1);
            povernut(r.rebro2);
        }
        if (o.opciya1 != 0) vokrugTochki(r.nachalo);
    }
    if (o.opciya1 != 0) vokrugTochki(cel->istochnik);
    return kTrue;
}

void* ZaprositTablicuRazmeshcheniya(TableCell* tablica, std::uint32_t razmer, const char* imya) {
    if (tablica == nullptr || imya == nullptr) return nullptr;
    if (std::strcmp(imya, kImyaTablicyRazmeshcheniya) == 0) {
        if (razmer < kYacheekRazmeshcheniya * sizeof(TableCell)) return nullptr;
        std::fill_n(tablica, kYacheekRazmeshcheniya, nullptr);
        tablica[kYacheykaSdvig] = asCell(&Sdvinut);
        tablica[kYacheykaZapisSdviga] = &gSdvig;
        tablica[kYacheykaPovorot] = asCell(&Povernut);
        tablica[kYacheykaZapisPovorota] = &gOrientaciya;
        return tablica;
    }
    if (std::strcmp(imya, kImyaTablicyHraneniya) == 0) {
        if (razmer < kZapiseyHraneniya * sizeof(TableCell)) return nullptr;
        std::fill_n(tablica, kZapiseyHraneniya, nullptr);
        tablica[kVhodMesto] = asCell(&MestoVhod);
        tablica[kVhodZarezervirovat] = asCell(&ZarezervirovatVhod);
        tablica[kVhodOsvobodit] = asCell(&OsvoboditVhod);
        return tablica;
    }
    return nullptr;
}

}  // namespace wavelib
