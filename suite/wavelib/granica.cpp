// wavelib's entries 3, 4 and 5: collecting sets, reflection and refraction at a plane.
#include "suite/wavelib/granica.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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
    double s = 0.0;      // the same distance in lengths of the ray's direction
    double dn = 0.0;     // the direction's component along the plane's normal
    double dlina = 0.0;  // length of the ray's direction
};

inline Vstrecha Vstretit(const Luch& r, const Ploskost& pl) {
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
    v.s = s;
    v.dn = dn;
    v.dlina = dlina;
    v.cosPadeniya = std::min(1.0, std::fabs(dn) / dlina);
    return v;
}

// The vector stored at `massiv` (an array of a packed ray record) reflected in the plane of
// normal n.
inline Vektor3 Otrazit(const void* massiv, const Vektor3& n) {
    Vektor3 x = VzyatVektor(massiv);
    const double d = 2.0 * Skalyar(x, n);
    for (int j = 0; j < 3; ++j) x[j] -= d * n[j];
    return x;
}

// One element of a new set under construction. The new ray and wave start as copies of the
// incident ones; what the meeting changes is then written into the records component by
// component, and everything the meeting is computed from is read from the incident records,
// never from the fresh copies: a value read back right after it was written in pieces of another
// width stalls the processor, and that on every element.
struct Element {
    Luch& incidentRay;  // marked after the meeting
    Volna& incidentWave;
    Luch& ray;  // of the new set
    Volna& wave;
    std::uint32_t flags;  // the new ray's flags: the incident ones without the meeting flags

    Element(Luch& incidentRay_, Volna& incidentWave_, Luch& ray_, Volna& wave_)
        : incidentRay(incidentRay_),
          incidentWave(incidentWave_),
          ray(ray_),
          wave(wave_),
          flags(incidentRay_.flagi & ~kFlagiVstrechi) {
        std::memcpy(&ray, &incidentRay, sizeof(Luch));
        std::memcpy(&wave, &incidentWave, sizeof(Volna));
    }

    // Marks the incident element after the meeting and returns whether it reached the plane; a
    // new ray of an element that did not is marked for removal.
    bool markMeeting(const Vstrecha& v, const Ploskost& pl) {
        if (!v.doshel) {
            incidentRay.flagi = flags;
            incidentWave.dlinaShaga = wave.dlinaShaga = 0.0;
            ray.flagi = flags | kLuchUdalit;
            return false;
        }
        incidentRay.flagi = flags | kLuchDoshel | (pl.tolkoFaza ? kLuchTolkoFaza : 0u);
        incidentWave.dlinaShaga = wave.dlinaShaga = v.shag;
        incidentWave.cosPadeniya = wave.cosPadeniya = v.cosPadeniya;
        ray.flagi = flags;
        return true;
    }
    void putRefractionCosine(double c2) {
        incidentWave.cosPrelomleniya = wave.cosPrelomleniya = c2;
    }

    // The point where the incident ray meets the plane, as the new ray's origin.
    void putMeetingPoint(const Vstrecha& v) {
        for (int j = 0; j < 3; ++j) {
            ray.nachalo[j] = incidentRay.nachalo[j] + v.s * incidentRay.napravlenie[j];
        }
    }
};

// Common checks and the room of the new set, with its counts set to the incident set's. Nothing is
// written before every check has passed.
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
    novyy->chislo = n;
    novyy->chisloVoln = n;
    return true;
}

// Builds the new set element by element from the incident one, in one pass that reads and writes
// each element once: the new ray and wave are copies of the incident ones (an incident element
// marked for removal stays marked), and `build` meets the plane, marks the incident element and
// shapes the new one.
template <typename Build>
void buildSet(NaborVoln* novyy, NaborVoln* i, Build build) {
    const std::uint32_t n = i->chislo;
    Luch* luchiI = i->luchi;
    Volna* volnyI = i->volny;
    Luch* luchi = novyy->luchi;
    Volna* volny = novyy->volny;
    for (std::uint32_t k = 0; k < n; ++k) {
        Element e(luchiI[k], volnyI[k], luchi[k], volny[k]);
        build(e);
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
    buildSet(r, i, [&pl](Element& e) {
        const Vstrecha v = Vstretit(e.incidentRay, pl);
        if (!e.markMeeting(v, pl)) return;
        e.putMeetingPoint(v);
        const Vektor3 napravlenie = Otrazit(e.incidentRay.napravlenie, pl.normal);
        const Vektor3 rebro1 = Otrazit(e.incidentRay.rebro1, pl.normal);
        const Vektor3 rebro2 = Otrazit(e.incidentRay.rebro2, pl.normal);
        for (int j = 0; j < 3; ++j) {
            e.ray.napravlenie[j] = napravlenie[j];
            e.ray.rebro1[j] = rebro1[j];
            e.ray.rebro2[j] = rebro2[j];
        }
    });
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
    buildSet(t, i, [&pl, eta](Element& e) {
        const Vstrecha v = Vstretit(e.incidentRay, pl);
        if (!e.markMeeting(v, pl)) return;
        e.putMeetingPoint(v);
        const double c1 = v.cosPadeniya;
        const double sin2kv = eta * eta * (1.0 - c1 * c1);
        if (!(sin2kv <= 1.0)) {  // total internal reflection: no transmitted ray
            e.putRefractionCosine(0.0);
            e.ray.flagi |= kLuchUdalit;
            return;
        }
        const double c2 = std::sqrt(1.0 - sin2kv);
        e.putRefractionCosine(c2);
        // Snell's law in vector form, keeping the length of the direction: along the unit
        // direction u and the unit normal n on the side the ray goes to.
        const double storona = v.dn > 0.0 ? 1.0 : -1.0;
        for (int j = 0; j < 3; ++j) {
            const double u = e.incidentRay.napravlenie[j] / v.dlina;
            const double n = storona * pl.normal[j];
            e.ray.napravlenie[j] = v.dlina * (eta * u + (c2 - eta * c1) * n);
        }
    });
    return kTrue;
}

}  // namespace wavelib
