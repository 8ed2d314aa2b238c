// The example's scene: building the waves of a point source and splitting them with wavelib2.
#include "examples/wave_split/scene.h"

#include <cmath>
#include <numbers>

#include "platform/cp1251.h"
#include "platform/table_request.h"

namespace wave_split {

namespace {

constexpr double kAdvance = 6.0;          // the advance before the split, mm
constexpr double kReferenceLength = 2.0;  // the new sets start a quarter of it off the interface
constexpr int kFanRays = 90;              // the fan of single rays: one a degree
constexpr double kDegree = std::numbers::pi / 180.0;

// The sets of one split, made by wavelib and released with the object.
class Sets {
  public:
    Sets(const WaveProcessorTable11& t, std::uint32_t rays) : t_(t) {
        incident = t.createSet(rays);
        interface = t.createSet(1);
        reflected = t.createSet(0);
        transmitted = t.createSet(0);
    }
    ~Sets() {
        for (WaveSet* n : {incident, interface, reflected, transmitted}) {
            if (n != nullptr) t_.deleteSet(n);
        }
    }
    Sets(const Sets&) = delete;
    Sets& operator=(const Sets&) = delete;

    bool made() const {
        return incident != nullptr && interface != nullptr && reflected != nullptr &&
               transmitted != nullptr;
    }

    WaveSet* incident = nullptr;
    WaveSet* interface = nullptr;
    WaveSet* reflected = nullptr;
    WaveSet* transmitted = nullptr;

  private:
    const WaveProcessorTable11& t_;
};

Medium mediumBlock(const Fluid& m) {
    Medium s{};
    s.speed = m.speed;
    s.density = m.density;
    return s;
}

// The plane z = 0 (ray 0 of the interface set: a point and the normal), water above it, steel
// below it; the incident waves travel in the water.
void placeInterface(Sets& sets) {
    WaveSet* s = sets.interface;
    s->medium = mediumBlock(kWater);
    s->medium2 = mediumBlock(kSteel);
    s->rays[0].direction[2] = 1.0;
    s->referenceLength = kReferenceLength;
    sets.incident->medium = s->medium;
    sets.incident->source[2] = kSourceHeight;
}

// Ray k leaves the source at `polar` from the downward vertical and `azimuth` about it: its point
// lies one millimetre from the source, so that every ray gets the same share of the energy, and
// two edge vectors of 0.01 mm across it give the width of its tube.
void placeRay(Ray& l, double polar, double azimuth) {
    const double s = std::sin(polar);
    const double c = std::cos(polar);
    l.origin[0] = s * std::cos(azimuth);
    l.origin[1] = s * std::sin(azimuth);
    l.origin[2] = kSourceHeight - c;
    l.edge1[0] = 0.01 * c * std::cos(azimuth);
    l.edge1[1] = 0.01 * c * std::sin(azimuth);
    l.edge1[2] = 0.01 * s;
    l.edge2[0] = -0.01 * std::sin(azimuth);
    l.edge2[1] = 0.01 * std::cos(azimuth);
}

Totals total(const WaveSet* n) {
    Totals t;
    t.rays = n->count;
    for (std::uint32_t k = 0; k < n->count; ++k) t.energy += n->waves[k].energy;
    return t;
}

// The energy that crossed the interface: the transmitted ray tube changes its cross-section
// there, so it is the transmitted wave's energy times cos(refraction) / cos(incidence).
double crossedEnergy(const Wave& w) {
    return w.energy * w.refractionCosine / w.incidenceCosine;
}

// Where a ray of a new set met the interface: its origin lies a quarter reference length beyond.
void hitPoint(const Ray& l, double& x, double& y) {
    const double d = std::hypot(l.direction[0], l.direction[1], l.direction[2]);
    const double step = 0.25 * kReferenceLength;
    x = l.origin[0] - step * l.direction[0] / d;
    y = l.origin[1] - step * l.direction[1] / d;
}

bool buildAndSplit(const WaveProcessorTable11& t, Sets& sets, double advance, std::string& error) {
    const Wave templateWave{};
    const double impedancePair[2] = {kWater.speed, kWater.density};
    t.inicializirovatVolny(sets.incident, &templateWave, 1.0, impedancePair);
    if (advance > 0.0 && !isTrue(t.prodvinutVolny(sets.incident, advance))) {
        error = platform::cp1251ToUtf8(t.errorText());
        return false;
    }
    return true;
}

bool split(const WaveProcessorTable11& t, Sets& sets, std::string& error) {
    const std::uint64_t plane = 0;  // index of the plane's ray in the interface set
    const double threshold = 0.0;   // keep even the weakest waves, so that the balance is whole
    if (!isTrue(t.otrazitIPrelomit(sets.reflected, sets.transmitted, sets.interface, sets.incident,
                                   &plane, &threshold))) {
        error = "разделение на границе не удалось: " + platform::cp1251ToUtf8(t.errorText());
        return false;
    }
    return true;
}

// The point source: kRings rings of equal solid angle across the cone (their cosines evenly
// spaced), kAzimuths rays evenly round each ring, so that every ray stands for the same solid
// angle and carries the same energy.
bool pointSource(const WaveProcessorTable11& t, SceneResult& result, std::string& error) {
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
            placeRay(sets.incident->rays[ring * kAzimuths + a], polar,
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
    const WaveSet* tr = sets.transmitted;
    for (std::uint32_t k = 0; k < tr->count; ++k) result.crossed += crossedEnergy(tr->waves[k]);

    // The rays in the plane y = 0, with their transmitted partners found by the point they met.
    result.section.clear();
    const WaveSet* r = sets.reflected;
    for (std::uint32_t k = 0; k < r->count; ++k) {
        SectionRay ray;
        double y = 0.0;
        hitPoint(r->rays[k], ray.hitX, y);
        if (std::fabs(y) > 1e-9) continue;
        ray.incidence = std::acos(r->waves[k].incidenceCosine);
        ray.reflectedShare = r->waves[k].energy / perRay;
        for (std::uint32_t j = 0; j < tr->count; ++j) {
            double x = 0.0;
            double yT = 0.0;
            hitPoint(tr->rays[j], x, yT);
            if (std::fabs(x - ray.hitX) > 1e-9 || std::fabs(yT) > 1e-9) continue;
            const Ray& l = tr->rays[j];
            const double d = std::hypot(l.direction[0], l.direction[1], l.direction[2]);
            ray.transmitted = true;
            ray.transmittedShare = crossedEnergy(tr->waves[j]) / perRay;
            ray.refractedX = l.direction[0] / d;
            ray.refractedZ = l.direction[2] / d;
            break;
        }
        result.section.push_back(ray);
    }
    return true;
}

// The fan: single rays in the plane y = 0, one a degree from the vertical, halfway between whole
// degrees.
bool fan(const WaveProcessorTable11& t, SceneResult& result, std::string& error) {
    Sets sets(t, kFanRays);
    if (!sets.made()) {
        error = "не хватило памяти для наборов волн";
        return false;
    }
    placeInterface(sets);
    for (int k = 0; k < kFanRays; ++k) {
        placeRay(sets.incident->rays[k], (k + 0.5) * kDegree, 0.0);
    }
    if (!buildAndSplit(t, sets, 0.0, error)) return false;
    const double perRay = total(sets.incident).energy / kFanRays;
    if (!split(t, sets, error)) return false;

    result.reflectedByAngle.clear();
    result.transmittedByAngle.clear();
    const WaveSet* r = sets.reflected;
    for (std::uint32_t k = 0; k < r->count; ++k) {
        const Wave& w = r->waves[k];
        result.reflectedByAngle.push_back({std::acos(w.incidenceCosine), w.energy / perRay});
    }
    const WaveSet* tr = sets.transmitted;
    for (std::uint32_t k = 0; k < tr->count; ++k) {
        const Wave& w = tr->waves[k];
        result.transmittedByAngle.push_back(
            {std::acos(w.incidenceCosine), crossedEnergy(w) / perRay});
    }
    return true;
}

}  // namespace

Library::Library() : module_(platform::loadLibrary("wavelib2.dll")) {
    if (module_ == nullptr) {
        error_ = "не удалось загрузить wavelib2.dll: " + platform::lastErrorText();
        return;
    }
    if (!platform::requestTable(module_, &table_, sizeof(table_), kWaveProcessorTable11Name)) {
        error_ = "wavelib2 не выдал таблицу версии 1.1";
    }
}

Library::~Library() {
    if (module_ != nullptr) platform::freeLibrary(module_);
}

bool runScene(const Library& library, SceneResult& result, std::string& error) {
    return pointSource(library.table(), result, error) && fan(library.table(), result, error);
}

double reflectedShare(const Fluid& from, const Fluid& to, double incidence) {
    const double sinT = std::sin(incidence) * to.speed / from.speed;
    if (sinT >= 1.0) return 1.0;
    const double c1 = std::cos(incidence);
    const double c2 = std::sqrt((1.0 - sinT) * (1.0 + sinT));
    const double z1 = from.density * from.speed;
    const double z2 = to.density * to.speed;
    const double r = (z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2);
    return r * r;
}

double criticalAngle(const Fluid& from, const Fluid& to) {
    return to.speed > from.speed ? std::asin(from.speed / to.speed) : std::numbers::pi / 2;
}

double crossedShareOfPointSource(const Fluid& from, const Fluid& to, double cone) {
    // Over the solid angle: the integral in u = cos(incidence) from cos(cone) to 1, by Simpson's
    // rule, taken only up to the critical angle, beyond which nothing crosses.
    const double upTo = std::min(cone, criticalAngle(from, to));
    const double u0 = std::cos(upTo);
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
