// wavelib's entries 3, 4 and 5: collecting sets, reflection and refraction at a plane.
#include "suite/wavelib/granica.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "suite/wavelib/nabory.h"
#include "suite/wavelib/razmeshchenie.h"
#include "suite/wavelib/vektor.h"

namespace wavelib {
namespace {

constexpr std::uint32_t kFlagiVstrechi = kLuchDoshel | kLuchTolkoFaza;

double Skalyar(const Vektor3& a, const Vektor3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

struct Ploskost {
    Vektor3 tochka;
    Vektor3 normal;  // unit length
    bool tolkoFaza;
};

bool NaitiPloskost(const NaborVoln* s, std::uint64_t p, Ploskost& pl) {
    if (s->luchi == nullptr || p >= s->chislo) {
        ZapomnitOshibku("Плоскость раздела не найдена в наборе границы");
        return false;
    }
    const Luch& r = s->luchi[p];
    const Vektor3 napravlenie = VzyatVektor(r.napravlenie);
    const Vektor3 nachalo = VzyatVektor(r.nachalo);
    const double dlina = std::sqrt(Skalyar(napravlenie, napravlenie));
    if (!(dlina > 0.0) || !std::isfinite(dlina) || !std::isfinite(Skalyar(nachalo, nachalo))) {
        ZapomnitOshibku("Плоскость раздела задана неверно");
        return false;
    }
    for (int j = 0; j < 3; ++j) {
        pl.tochka[j] = r.nachalo[j];
        pl.normal[j] = r.napravlenie[j] / dlina;
    }
    pl.tolkoFaza = (r.flagi & kLuchTolkoFaza) != 0;
    return true;
}

// Where an incident ray meets the plane.
struct Vstrecha {
    bool doshel = false;
    double shag = 0.0;  // distance from the ray's origin to the point met
    double cosPadeniya = 0.0;
    double tochka[3] = {};
    double u[3] = {};    // unit direction of the ray
    double n[3] = {};    // unit normal on the side the ray goes to
    double dlina = 0.0;  // length of the ray's direction
};

Vstrecha Vstretit(const Luch& r, const Ploskost& pl) {
    Vstrecha v;
    const Vektor3 napravlenie = VzyatVektor(r.napravlenie);
    const double dlina = std::sqrt(Skalyar(napravlenie, napravlenie));
    if (!(dlina > 0.0) || !std::isfinite(dlina)) return v;
    const double dn = Skalyar(napravlenie, pl.normal);
    if (!(dn != 0.0)) return v;  // parallel to the plane, or not a number
    Vektor3 k;
    for (int j = 0; j < 3; ++j) k[j] = pl.tochka[j] - r.nachalo[j];
    const double s = Skalyar(k, pl.normal) / dn;  // in lengths of the direction
    if (!(s > 0.0) || !std::isfinite(s)) return v;
    v.doshel = true;
    v.shag = s * dlina;
    v.dlina = dlina;
    const double storona = dn > 0.0 ? 1.0 : -1.0;
    for (int j = 0; j < 3; ++j) {
        v.tochka[j] = r.nachalo[j] + s * r.napravlenie[j];
        v.u[j] = r.napravlenie[j] / dlina;
        v.n[j] = storona * pl.normal[j];
    }
    v.cosPadeniya = std::min(1.0, std::fabs(dn) / dlina);
    return v;
}

// Reflects the vector stored at `massiv` (an array of a packed ray record) in the plane of normal
// n.
void Otrazit(void* massiv, const Vektor3& n) {
    Vektor3 x = VzyatVektor(massiv);
    const double d = 2.0 * Skalyar(x, n);
    for (int j = 0; j < 3; ++j) x[j] -= d * n[j];
    PolozhitVektor(massiv, x);
}

// Marks incident element k after the meeting and returns whether it reached the plane.
bool OtmetitPadayushchiy(Luch& ri, Volna& wi, const Vstrecha& v, const Ploskost& pl) {
    ri.flagi &= ~kFlagiVstrechi;
    if (!v.doshel) {
        wi.dlinaShaga = 0.0;
        return false;
    }
    ri.flagi |= kLuchDoshel | (pl.tolkoFaza ? kLuchTolkoFaza : 0u);
    wi.dlinaShaga = v.shag;
    wi.cosPadeniya = v.cosPadeniya;
    return true;
}

// Common checks and the room of the new set; the new set's rays start as copies of the incident
// ones, with the meeting flags cleared (an incident element marked for removal stays marked).
bool Podgotovit(NaborVoln* novyy, NaborVoln* s, NaborVoln* i, std::uint64_t p, Ploskost& pl) {
    if (novyy == nullptr || s == nullptr || i == nullptr) {
        ZapomnitOshibku("Набор волн не задан");
        return false;
    }
    if (novyy == i || novyy == s) {
        ZapomnitOshibku("Новый набор совпадает с падающим набором или с границей");
        return false;
    }
    if (!NaitiPloskost(s, p, pl)) return false;
    const std::uint32_t n = i->chislo;
    if (n != 0 && (i->luchi == nullptr || i->volny == nullptr)) {
        ZapomnitOshibku("У набора волн нет массивов лучей и волн");
        return false;
    }
    if (!ZarezervirovatMesto(novyy, n, false)) return false;
    if (n != 0) std::memcpy(novyy->luchi, i->luchi, std::size_t{n} * sizeof(Luch));
    novyy->chislo = n;
    novyy->chisloVoln = n;
    for (std::uint32_t k = 0; k < n; ++k) novyy->luchi[k].flagi &= ~kFlagiVstrechi;
    return true;
}

// The new waves are copies of the incident ones as they now are (offsets 4, 12 and 20 written).
void KopirovatVolny(NaborVoln* novyy, const NaborVoln* i) {
    if (i->chislo != 0) {
        std::memcpy(novyy->volny, i->volny, std::size_t{i->chislo} * sizeof(Volna));
    }
}

}  // namespace

BoolByte PLUGIN_CALL DobavitNabor(NaborVoln* sbor, const ZapisSbora* zapis) {
    if (sbor == nullptr || zapis == nullptr || zapis->nabor == nullptr || zapis->odin != 1) {
        ZapomnitOshibku("Набор для сбора не задан");
        return kFalse;
    }
    const NaborVoln* q = zapis->nabor;
    const std::uint32_t m = q->chislo;
    if (m == 0) return kTrue;
    if (q->luchi == nullptr || q->volny == nullptr) {
        ZapomnitOshibku("У набора волн нет массивов лучей и волн");
        return kFalse;
    }
    const std::uint32_t bylo = sbor->chislo;
    const std::uint64_t stanet = std::uint64_t{bylo} + m;
    if (stanet > kNaibolsheeMesto) {
        ZapomnitOshibku("Слишком много элементов для одного набора волн");
        return kFalse;
    }
    // Copy the work set before the collection grows: it may be the collection itself, or a set
    // that views part of the collection's arrays, and growing moves them.
    std::vector<Luch> luchi;
    std::vector<Volna> volny;
    try {
        luchi.resize(m);
        volny.resize(m);
    } catch (const std::bad_alloc&) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return kFalse;
    }
    std::memcpy(luchi.data(), q->luchi, std::size_t{m} * sizeof(Luch));
    std::memcpy(volny.data(), q->volny, std::size_t{m} * sizeof(Volna));
    if (!ObespechitMesto(sbor, static_cast<std::uint32_t>(stanet))) return kFalse;
    std::memcpy(sbor->luchi + bylo, luchi.data(), std::size_t{m} * sizeof(Luch));
    std::memcpy(sbor->volny + bylo, volny.data(), std::size_t{m} * sizeof(Volna));
    sbor->chislo = static_cast<std::uint32_t>(stanet);
    sbor->chisloVoln = sbor->chislo;
    return kTrue;
}

BoolByte PLUGIN_CALL OtrazitLuchi(NaborVoln* r, NaborVoln* s, NaborVoln* i, std::uint64_t p) {
    Ploskost pl;
    if (!Podgotovit(r, s, i, p, pl)) return kFalse;
    for (std::uint32_t k = 0; k < i->chislo; ++k) {
        Luch& ri = i->luchi[k];
        const Vstrecha v = Vstretit(ri, pl);
        Luch& rr = r->luchi[k];
        if (!OtmetitPadayushchiy(ri, i->volny[k], v, pl)) {
            rr.flagi |= kLuchUdalit;
            continue;
        }
        std::memcpy(rr.nachalo, v.tochka, sizeof(v.tochka));
        Otrazit(rr.napravlenie, pl.normal);
        Otrazit(rr.rebro1, pl.normal);
        Otrazit(rr.rebro2, pl.normal);
    }
    KopirovatVolny(r, i);
    r->sreda = i->sreda;
    return kTrue;
}

BoolByte PLUGIN_CALL PrelomitLuchi(NaborVoln* t, NaborVoln* s, NaborVoln* i, std::uint64_t p,
                                   double otnoshenie) {
    if (!(otnoshenie > 0.0) || !std::isfinite(otnoshenie)) {
        ZapomnitOshibku("Отношение скоростей должно быть положительным числом");
        return kFalse;
    }
    Ploskost pl;
    if (!Podgotovit(t, s, i, p, pl)) return kFalse;
    const double eta = 1.0 / otnoshenie;  // the other side's speed over the incident one
    for (std::uint32_t k = 0; k < i->chislo; ++k) {
        Luch& ri = i->luchi[k];
        Volna& wi = i->volny[k];
        const Vstrecha v = Vstretit(ri, pl);
        Luch& rt = t->luchi[k];
        if (!OtmetitPadayushchiy(ri, wi, v, pl)) {
            rt.flagi |= kLuchUdalit;
            continue;
        }
        std::memcpy(rt.nachalo, v.tochka, sizeof(v.tochka));
        const double c1 = v.cosPadeniya;
        const double sin2kv = eta * eta * (1.0 - c1 * c1);
        if (!(sin2kv <= 1.0)) {  // total internal reflection: no transmitted ray
            wi.cosPrelomleniya = 0.0;
            rt.flagi |= kLuchUdalit;
            continue;
        }
        const double c2 = std::sqrt(1.0 - sin2kv);
        wi.cosPrelomleniya = c2;
        // Snell's law in vector form, keeping the length of the direction.
        for (int j = 0; j < 3; ++j) {
            rt.napravlenie[j] = v.dlina * (eta * v.u[j] + (c2 - eta * c1) * v.n[j]);
        }
    }
    KopirovatVolny(t, i);
    return kTrue;
}

}  // namespace wavelib
