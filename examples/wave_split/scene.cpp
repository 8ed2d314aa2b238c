// The example's scene: building the waves of a point source and splitting them with wavelib2.
#include "examples/wave_split/scene.h"

#include <cmath>
#include <numbers>

#include "platform/cp1251.h"

namespace wave_split {

namespace {

constexpr double kAdvance = 6.0;          // the advance before the split, mm
constexpr double kReferenceLength = 2.0;  // the new sets start a quarter of it off the interface
constexpr int kFanRays = 90;              // the fan of single rays: one a degree
constexpr double kDegree = std::numbers::pi / 180.0;

// The sets of one split, made by wavelib and released with the object.
class Sets {
  public:
    Sets(const TablicaVolny11& t, std::uint32_t rays) : t_(t) {
        incident = t.sozdatNabor(rays);
        interface = t.sozdatNabor(1);
        reflected = t.sozdatNabor(0);
        transmitted = t.sozdatNabor(0);
    }
    ~Sets() {
        for (NaborVoln* n : {incident, interface, reflected, transmitted}) {
            if (n != nullptr) t_.udalitNabor(n);
        }
    }
    Sets(const Sets&) = delete;
    Sets& operator=(const Sets&) = delete;

    bool made() const {
        return incident != nullptr && interface != nullptr && reflected != nullptr &&
               transmitted != nullptr;
    }

    NaborVoln* incident = nullptr;
    NaborVoln* interface = nullptr;
    NaborVoln* reflected = nullptr;
    NaborVoln* transmitted = nullptr;

  private:
    const TablicaVolny11& t_;
};

Sreda medium(const Medium& m) {
    Sreda s{};
    s.skorost = m.speed;
    s.plotnost = m.density;
    return s;
}

// The plane z = 0 (ray 0 of the interface set: a point and the normal), water above it, steel
// below it; the incident waves travel in the water.
void placeInterface(Sets& sets) {
    NaborVoln* s = sets.interface;
    s->sreda = medium(kWater);
    s->sreda2 = medium(kSteel);
    s->luchi[0].napravlenie[2] = 1.0;
    s->dlinaOtscheta = kReferenceLength;
    sets.incident->sreda = s->sreda;
    sets.incident->istochnik[2] = kSourceHeight;
}

// Ray k leaves the source at `polar` from the downward vertical and `azimuth` about it: its point
// lies one millimetre from the source, so that every ray gets the same share of the energy, and
// two edge vectors of 0.01 mm across it give the width of its tube.
void placeRay(Luch& l, double polar, double azimuth) {
    const double s = std::sin(polar);
    const double c = std::cos(polar);
    l.nachalo[0] = s * std::cos(azimuth);
    l.nachalo[1] = s * std::sin(azimuth);
    l.nachalo[2] = kSourceHeight - c;
    l.rebro1[0] = 0.01 * c * std::cos(azimuth);
    l.rebro1[1] = 0.01 * c * std::sin(azimuth);
    l.rebro1[2] = 0.01 * s;
    l.rebro2[0] = -0.01 * std::sin(azimuth);
    l.rebro2[1] = 0.01 * std::cos(azimuth);
}

Totals total(const NaborVoln* n) {
    Totals t;
    t.rays = n->chislo;
    for (std::uint32_t k = 0; k < n->chislo; ++k) t.energy += n->volny[k].energiya;
    return t;
}

// The energy that crossed the interface: the transmitted ray tube changes its cross-section
// there, so it is the transmitted wave's energy times cos(refraction) / cos(incidence).
double crossedEnergy(const Volna& w) {
    return w.energiya * w.cosPrelomleniya / w.cosPadeniya;
}

// Where a ray of a new set met the interface: its origin lies a quarter reference length beyond.
void hitPoint(const Luch& l, double& x, double& y) {
    const double d = std::hypot(l.napravlenie[0], l.napravlenie[1], l.napravlenie[2]);
    const double step = 0.25 * kReferenceLength;
    x = l.nachalo[0] - step * l.napravlenie[0] / d;
    y = l.nachalo[1] - step * l.napravlenie[1] / d;
}

bool buildAndSplit(const TablicaVolny11& t, Sets& sets, double advance, std::string& error) {
    const Volna obrazec{};
    const double para[2] = {kWater.speed, kWater.density};
    t.inicializirovatVolny(sets.incident, &obrazec, 1.0, para);
    if (advance > 0.0 && !isTrue(t.prodvinutVolny(sets.incident, advance))) {
        error = platform::cp1251ToUtf8(t.tekstOshibki());
        return false;
    }
    return true;
}

bool split(const TablicaVolny11& t, Sets& sets, std::string& error) {
    const std::uint64_t plane = 0;  // index of the plane's ray in the interface set
    const double threshold = 0.0;   // keep even the weakest waves, so that the balance is whole
    if (!isTrue(t.otrazitIPrelomit(sets.reflected, sets.transmitted, sets.interface, sets.incident,
                                   &plane, &threshold))) {
        error = "разделение на границе не удалось: " + platform::cp1251ToUtf8(t.tekstOshibki());
        return false;
    }
    return true;
}

// The point source: kRings rings of equal solid angle across the cone (their cosines evenly
// spaced), kAzimuths rays evenly round each ring, so that every ray stands for the same solid
// angle and carries the same energy.
bool pointSource(const TablicaVolny11& t, SceneResult& result, std::string& error) {
    Sets sets(t, kRings * kAzimuths);
    if (!sets.made()) {
        error = "не хватило памяти для наборов волн";
        return false;
    }
    placeInterface(sets);
    const double cone = 1.0 - std::cos(kConeDegrees * kDegree);
    for (int ring = 0; ring < kRings; ++ring) {
        const double polar = std::acos(1.0 - (ring + 0.5) * cone / kRings);
        for (int a = 0; a < kAzimuths; ++a) {
            placeRay(sets.incident->luchi[ring * kAzimuths + a], polar,
                     a * 2.0 * std::numbers::pi / kAzimuths);
        }
    }
    if (!buildAndSplit(t, sets, kAdvance, error)) return false;
    result.before = total(sets.incident);
    const double perRay = result.before.energy / result.before.rays;
    if (!split(t, sets, error)) return false;

    result.reflected = total(sets.reflected);
    result.transmitted = total(sets.transmitted);
    result.remaining = total(sets.incident);
    result.crossed = 0.0;
    const NaborVoln* tr = sets.transmitted;
    for (std::uint32_t k = 0; k < tr->chislo; ++k) result.crossed += crossedEnergy(tr->volny[k]);

    // The rays in the plane y = 0, with their transmitted partners found by the point they met.
    result.section.clear();
    const NaborVoln* r = sets.reflected;
    for (std::uint32_t k = 0; k < r->chislo; ++k) {
        SectionRay ray;
        double y = 0.0;
        hitPoint(r->luchi[k], ray.hitX, y);
        if (std::fabs(y) > 1e-9) continue;
        ray.incidence = std::acos(r->volny[k].cosPadeniya);
        ray.reflectedShare = r->volny[k].energiya / perRay;
        for (std::uint32_t j = 0; j < tr->chislo; ++j) {
            double x = 0.0;
            double yT = 0.0;
            hitPoint(tr->luchi[j], x, yT);
            if (std::fabs(x - ray.hitX) > 1e-9 || std::fabs(yT) > 1e-9) continue;
            const Luch& l = tr->luchi[j];
            const double d = std::hypot(l.napravlenie[0], l.napravlenie[1], l.napravlenie[2]);
            ray.transmitted = true;
            ray.transmittedShare = crossedEnergy(tr->volny[j]) / perRay;
            ray.refractedX = l.napravlenie[0] / d;
            ray.refractedZ = l.napravlenie[2] / d;
            break;
        }
        result.section.push_back(ray);
    }
    return true;
}

// The fan: single rays in the plane y = 0, one a degree from the vertical, halfway between whole
// degrees.
bool fan(const TablicaVolny11& t, SceneResult& result, std::string& error) {
    Sets sets(t, kFanRays);
    if (!sets.made()) {
        error = "не хватило памяти для наборов волн";
        return false;
    }
    placeInterface(sets);
    for (int k = 0; k < kFanRays; ++k) {
        placeRay(sets.incident->luchi[k], (k + 0.5) * kDegree, 0.0);
    }
    if (!buildAndSplit(t, sets, 0.0, error)) return false;
    const double perRay = total(sets.incident).energy / kFanRays;
    if (!split(t, sets, error)) return false;

    result.reflectedByAngle.clear();
    result.transmittedByAngle.clear();
    const NaborVoln* r = sets.reflected;
    for (std::uint32_t k = 0; k < r->chislo; ++k) {
        const Volna& w = r->volny[k];
        result.reflectedByAngle.push_back({std::acos(w.cosPadeniya), w.energiya / perRay});
    }
    const NaborVoln* tr = sets.transmitted;
    for (std::uint32_t k = 0; k < tr->chislo; ++k) {
        const Volna& w = tr->volny[k];
        result.transmittedByAngle.push_back({std::acos(w.cosPadeniya), crossedEnergy(w) / perRay});
    }
    return true;
}

}  // namespace

Library::Library() : module_(platform::loadLibrary("wavelib2.dll")) {
    if (module_ == nullptr) {
        error_ = "не удалось загрузить wavelib2.dll: " + platform::lastErrorText();
        return;
    }
    auto zapros = reinterpret_cast<TableRequest3>(
        platform::findExport(module_, "PoluchitTablicuFunkciyPoImeni"));
    if (zapros == nullptr ||
        zapros(reinterpret_cast<TableCell*>(&table_), sizeof(table_), kImyaTablicy11) == nullptr) {
        error_ = "wavelib2 не выдал таблицу версии 1.1";
    }
}

Library::~Library() {
    if (module_ != nullptr) platform::freeLibrary(module_);
}

bool runScene(const Library& library, SceneResult& result, std::string& error) {
    return pointSource(library.table(), result, error) && fan(library.table(), result, error);
}

double reflectedShare(const Medium& from, const Medium& to, double incidence) {
    const double sinT = std::sin(incidence) * to.speed / from.speed;
    if (sinT >= 1.0) return 1.0;
    const double c1 = std::cos(incidence);
    const double c2 = std::sqrt((1.0 - sinT) * (1.0 + sinT));
    const double z1 = from.density * from.speed;
    const double z2 = to.density * to.speed;
    const double r = (z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2);
    return r * r;
}

double criticalAngle(const Medium& from, const Medium& to) {
    return to.speed > from.speed ? std::asin(from.speed / to.speed) : std::numbers::pi / 2;
}

double crossedShareOfPointSource(const Medium& from, const Medium& to, double cone) {
    // Over the solid angle: the integral in u = cos(incidence) from cos(cone) to 1, by Simpson's
    // rule, taken only up to the critical angle, beyond which nothing crosses.
    const double bis = std::min(cone, criticalAngle(from, to));
    const double u0 = std::cos(bis);
    constexpr int kSteps = 100000;  // even
    const double h = (1.0 - u0) / kSteps;
    double sum = 0.0;
    for (int k = 0; k <= kSteps; ++k) {
        const double u = k == kSteps ? 1.0 : u0 + k * h;
        const double f = 1.0 - reflectedShare(from, to, std::acos(u));
        sum += (k == 0 || k == kSteps ? 1.0 : (k % 2 != 0 ? 4.0 : 2.0)) * f;
    }
    return sum * h / 3.0 / (1.0 - std::cos(cone));
}

}  // namespace wave_split
