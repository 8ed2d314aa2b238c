// wavelib's entries 3, 4 and 5: collecting sets, reflection and refraction at a plane.
#include "suite/wavelib/interface.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "suite/wavelib/placement.h"
#include "suite/wavelib/sets.h"
#include "suite/wavelib/vector3.h"

namespace wavelib {
namespace {

constexpr std::uint32_t kFlagiVstrechi = kLuchDoshel | kLuchTolkoFaza;

struct Ploskost {
    Vektor3 tochka;
    Vektor3 normal;          // unit length
    Vektor3 protivNormal;    // the normal turned round: the side of a ray that goes the other way
    std::uint32_t flagFazy;  // kLuchTolkoFaza when the plane passes only the phase rule, else 0
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
        pl.protivNormal[j] = -pl.normal[j];
    }
    pl.flagFazy = (r.flagi & kLuchTolkoFaza) != 0 ? kLuchTolkoFaza : 0u;
    return true;
}

// A positive finite number (one comparison each way; a value that is not a number fails both).
inline bool PolozhitelnoeKonechnoe(double x) {
    return x > 0.0 && x <= std::numeric_limits<double>::max();
}

// Where an incident ray of direction d and origin o meets the plane.
struct Vstrecha {
    bool doshel = false;
    double shag = 0.0;  // distance from the ray's origin to the point met
    double cosPadeniya = 0.0;
    double s = 0.0;      // the same distance in lengths of the ray's direction
    double dn = 0.0;     // the direction's component along the plane's normal
    double dlina = 0.0;  // length of the ray's direction
};

inline Vstrecha Vstretit(const Vektor3& d, const Vektor3& o, const Ploskost& pl) {
    Vstrecha v;
    const double dlina = std::sqrt(Skalyar(d, d));
    if (!PolozhitelnoeKonechnoe(dlina)) return v;
    const double dn = Skalyar(d, pl.normal);
    if (!(dn != 0.0)) return v;  // parallel to the plane, or not a number
    const Vektor3 k{pl.tochka[0] - o[0], pl.tochka[1] - o[1], pl.tochka[2] - o[2]};
    const double s = Skalyar(k, pl.normal) / dn;  // in lengths of the direction
    if (!PolozhitelnoeKonechnoe(s)) return v;
    v.doshel = true;
    v.shag = s * dlina;
    v.s = s;
    v.dn = dn;
    v.dlina = dlina;
    v.cosPadeniya = std::min(1.0, std::fabs(dn) / dlina);
    return v;
}

// x reflected in the plane of unit normal n, given xn, the component of x along n.
inline Vektor3 Otrazit(const Vektor3& x, const Vektor3& n, double xn) {
    const double d = 2.0 * xn;
    return {x[0] - d * n[0], x[1] - d * n[1], x[2] - d * n[2]};
}

// The point where a ray of direction d and origin o meets the plane.
inline Vektor3 TochkaVstrechi(const Vektor3& d, const Vektor3& o, const Vstrecha& v) {
    return {o[0] + v.s * d[0], o[1] + v.s * d[1], o[2] + v.s * d[2]};
}

// What the meeting leaves on one incident element, whichever new set is being built.
struct Element {
    Luch& incidentRay;  // marked after the meeting
    Volna& incidentWave;
    Luch& ray;  // of the new set
    Volna& wave;
    Vektor3 napravlenie;  // the incident ray's, read before anything of the element is written
    Vektor3 nachalo;
    std::uint32_t flags;  // the new ray's flags: the incident ones without the meeting flags
    Vstrecha v;
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
// each element once. The new wave is a copy of the incident one with the meeting's step and
// cosine; a ray that misses the plane is copied and marked for removal (an incident element marked
// for removal stays marked). For a ray that meets the plane `build` writes the new ray (`ray` may
// still hold anything) and whatever else the new set takes.
//
// Everything the new values are computed from is read from the incident records before they or the
// new ones are written, and the new records are written field by field, never read back: a value
// read right after it was written in pieces of another width stalls the processor on every
// element.
template <typename Build>
void buildSet(NaborVoln* novyy, NaborVoln* i, const Ploskost& pl, Build build) {
    const std::uint32_t n = i->chislo;
    Luch* luchiI = i->luchi;
    Volna* volnyI = i->volny;
    Luch* luchi = novyy->luchi;
    Volna* volny = novyy->volny;
    for (std::uint32_t k = 0; k < n; ++k) {
        Luch& incidentRay = luchiI[k];
        const Vektor3 napravlenie = VzyatVektor(incidentRay.napravlenie);
        const Vektor3 nachalo = VzyatVektor(incidentRay.nachalo);
        Element e{incidentRay,
                  volnyI[k],
                  luchi[k],
                  volny[k],
                  napravlenie,
                  nachalo,
                  incidentRay.flagi & ~kFlagiVstrechi,
                  Vstretit(napravlenie, nachalo, pl)};
        std::memcpy(&e.wave, &e.incidentWave, sizeof(Volna));
        if (!e.v.doshel) {
            // Not met: the incident element forgets any earlier meeting and its step, so that the
            // step is not taken twice; the new element does not exist.
            std::memcpy(&e.ray, &e.incidentRay, sizeof(Luch));
            e.incidentRay.flagi = e.flags;
            e.incidentWave.dlinaShaga = 0.0;
            e.wave.dlinaShaga = 0.0;
            e.ray.flagi = e.flags | kLuchUdalit;
            continue;
        }
        // The reflected and the transmitted set give the incident ray the same flags: the second
        // of them finds them set and leaves the record's memory untouched.
        const std::uint32_t flagsI = e.flags | kLuchDoshel | pl.flagFazy;
        if (e.incidentRay.flagi != flagsI) e.incidentRay.flagi = flagsI;
        e.incidentWave.dlinaShaga = e.v.shag;
        e.incidentWave.cosPadeniya = e.v.cosPadeniya;
        e.wave.dlinaShaga = e.v.shag;
        e.wave.cosPadeniya = e.v.cosPadeniya;
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
    buildSet(r, i, pl, [&pl](Element& e) {
        // Every field of the reflected ray but its length is new: written whole, not copied first.
        const Luch& incident = e.incidentRay;
        const Vektor3 rebro1 = VzyatVektor(incident.rebro1);
        const Vektor3 rebro2 = VzyatVektor(incident.rebro2);
        const double dlina = incident.dlina;
        PolozhitVektor(e.ray.napravlenie, Otrazit(e.napravlenie, pl.normal, e.v.dn));
        PolozhitVektor(e.ray.nachalo, TochkaVstrechi(e.napravlenie, e.nachalo, e.v));
        PolozhitVektor(e.ray.rebro1, Otrazit(rebro1, pl.normal, Skalyar(rebro1, pl.normal)));
        PolozhitVektor(e.ray.rebro2, Otrazit(rebro2, pl.normal, Skalyar(rebro2, pl.normal)));
        e.ray.dlina = dlina;
        e.ray.flagi = e.flags;
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
    const double eta2 = eta * eta;
    buildSet(t, i, pl, [&pl, eta, eta2](Element& e) {
        // Every field of the transmitted ray is written: the incident edges and length, the point
        // met, and the refracted direction (the incident one where no ray goes on).
        const Luch& incident = e.incidentRay;
        const Vektor3 rebro1 = VzyatVektor(incident.rebro1);
        const Vektor3 rebro2 = VzyatVektor(incident.rebro2);
        const double dlinaLucha = incident.dlina;
        PolozhitVektor(e.ray.nachalo, TochkaVstrechi(e.napravlenie, e.nachalo, e.v));
        PolozhitVektor(e.ray.rebro1, rebro1);
        PolozhitVektor(e.ray.rebro2, rebro2);
        e.ray.dlina = dlinaLucha;
        const double c1 = e.v.cosPadeniya;
        const double sin2kv = eta2 * (1.0 - c1 * c1);
        if (!(sin2kv <= 1.0)) {  // total internal reflection: no transmitted ray
            PolozhitVektor(e.ray.napravlenie, e.napravlenie);
            e.ray.flagi = e.flags | kLuchUdalit;
            e.incidentWave.cosPrelomleniya = 0.0;
            e.wave.cosPrelomleniya = 0.0;
            return;
        }
        e.ray.flagi = e.flags;
        const double c2 = std::sqrt(1.0 - sin2kv);
        e.incidentWave.cosPrelomleniya = c2;
        e.wave.cosPrelomleniya = c2;
        // Snell's law in vector form, keeping the length of the direction: along the unit
        // direction u and the unit normal n on the side the ray goes to.
        const Vektor3& n = e.v.dn > 0.0 ? pl.normal : pl.protivNormal;
        const double dlina = e.v.dlina;
        const double vdol = c2 - eta * c1;  // the share of the normal
        const Vektor3& d = e.napravlenie;
        PolozhitVektor(e.ray.napravlenie, {dlina * (eta * (d[0] / dlina) + vdol * n[0]),
                                           dlina * (eta * (d[1] / dlina) + vdol * n[1]),
                                           dlina * (eta * (d[2] / dlina) + vdol * n[2])});
    });
    return kTrue;
}

}  // namespace wavelib
