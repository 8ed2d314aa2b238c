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

constexpr std::uint32_t kMeetingFlags = kRayReached | kRayPhaseOnly;

struct Plane {
    Vector3 point;
    Vector3 normal;           // unit length
    Vector3 reversedNormal;   // the normal turned round: the side of a ray that goes the other way
    std::uint32_t phaseFlag;  // kRayPhaseOnly when the plane passes only the phase rule, else 0
};

bool FindPlane(const WaveSet* s, std::uint64_t p, Plane& pl) {
    if (s->rays == nullptr || p >= s->count) {
        RememberError("Плоскость раздела не найдена в наборе границы");
        return false;
    }
    const Ray& r = s->rays[p];
    const Vector3 direction = LoadVector(r.direction);
    const Vector3 origin = LoadVector(r.origin);
    const double length = std::sqrt(Dot(direction, direction));
    if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(Dot(origin, origin))) {
        RememberError("Плоскость раздела задана неверно");
        return false;
    }
    for (int j = 0; j < 3; ++j) {
        pl.point[j] = r.origin[j];
        pl.normal[j] = r.direction[j] / length;
        pl.reversedNormal[j] = -pl.normal[j];
    }
    pl.phaseFlag = (r.flags & kRayPhaseOnly) != 0 ? kRayPhaseOnly : 0u;
    return true;
}

// A positive finite number (one comparison each way; a value that is not a number fails both).
inline bool PositiveFinite(double x) {
    return x > 0.0 && x <= std::numeric_limits<double>::max();
}

// Where an incident ray of direction d and origin o meets the plane.
struct Meeting {
    bool reached = false;
    double step = 0.0;  // distance from the ray's origin to the point met
    double incidenceCosine = 0.0;
    double s = 0.0;       // the same distance in lengths of the ray's direction
    double dn = 0.0;      // the direction's component along the plane's normal
    double length = 0.0;  // length of the ray's direction
};

inline Meeting Meet(const Vector3& d, const Vector3& o, const Plane& pl) {
    Meeting v;
    const double length = std::sqrt(Dot(d, d));
    if (!PositiveFinite(length)) return v;
    const double dn = Dot(d, pl.normal);
    if (!(dn != 0.0)) return v;  // parallel to the plane, or not a number
    const Vector3 k{pl.point[0] - o[0], pl.point[1] - o[1], pl.point[2] - o[2]};
    const double s = Dot(k, pl.normal) / dn;  // in lengths of the direction
    if (!PositiveFinite(s)) return v;
    v.reached = true;
    v.step = s * length;
    v.s = s;
    v.dn = dn;
    v.length = length;
    v.incidenceCosine = std::min(1.0, std::fabs(dn) / length);
    return v;
}

// x reflected in the plane of unit normal n, given xn, the component of x along n.
inline Vector3 Reflect(const Vector3& x, const Vector3& n, double xn) {
    const double d = 2.0 * xn;
    return {x[0] - d * n[0], x[1] - d * n[1], x[2] - d * n[2]};
}

// The point where a ray of direction d and origin o meets the plane.
inline Vector3 MeetingPoint(const Vector3& d, const Vector3& o, const Meeting& v) {
    return {o[0] + v.s * d[0], o[1] + v.s * d[1], o[2] + v.s * d[2]};
}

// What the meeting leaves on one incident element, whichever new set is being built.
struct Element {
    Ray& incidentRay;  // marked after the meeting
    Wave& incidentWave;
    Ray& ray;  // of the new set
    Wave& wave;
    Vector3 direction;  // the incident ray's, read before anything of the element is written
    Vector3 origin;
    std::uint32_t flags;  // the new ray's flags: the incident ones without the meeting flags
    Meeting v;
};

// Common checks and the room of the new set, with its counts set to the incident set's. Nothing is
// written before every check has passed.
bool Prepare(WaveSet* newSet, WaveSet* s, WaveSet* i, std::uint64_t p, Plane& pl) {
    if (newSet == nullptr || s == nullptr || i == nullptr) {
        RememberError("Набор волн не задан");
        return false;
    }
    if (newSet == i || newSet == s) {
        RememberError("Новый набор совпадает с падающим набором или с границей");
        return false;
    }
    if (!FindPlane(s, p, pl)) return false;
    const std::uint32_t n = i->count;
    if (n != 0 && (i->rays == nullptr || i->waves == nullptr)) {
        RememberError("У набора волн нет массивов лучей и волн");
        return false;
    }
    if (!ReserveRoom(newSet, n, false)) return false;
    newSet->count = n;
    newSet->waveCount = n;
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
void buildSet(WaveSet* newSet, WaveSet* i, const Plane& pl, Build build) {
    const std::uint32_t n = i->count;
    Ray* raysI = i->rays;
    Wave* wavesI = i->waves;
    Ray* rays = newSet->rays;
    Wave* waves = newSet->waves;
    for (std::uint32_t k = 0; k < n; ++k) {
        Ray& incidentRay = raysI[k];
        const Vector3 direction = LoadVector(incidentRay.direction);
        const Vector3 origin = LoadVector(incidentRay.origin);
        Element e{incidentRay,
                  wavesI[k],
                  rays[k],
                  waves[k],
                  direction,
                  origin,
                  incidentRay.flags & ~kMeetingFlags,
                  Meet(direction, origin, pl)};
        std::memcpy(&e.wave, &e.incidentWave, sizeof(Wave));
        if (!e.v.reached) {
            // Not met: the incident element forgets any earlier meeting and its step, so that the
            // step is not taken twice; the new element does not exist.
            std::memcpy(&e.ray, &e.incidentRay, sizeof(Ray));
            e.incidentRay.flags = e.flags;
            e.incidentWave.stepLength = 0.0;
            e.wave.stepLength = 0.0;
            e.ray.flags = e.flags | kRayRemove;
            continue;
        }
        // The reflected and the transmitted set give the incident ray the same flags: the second
        // of them finds them set and leaves the record's memory untouched.
        const std::uint32_t flagsI = e.flags | kRayReached | pl.phaseFlag;
        if (e.incidentRay.flags != flagsI) e.incidentRay.flags = flagsI;
        e.incidentWave.stepLength = e.v.step;
        e.incidentWave.incidenceCosine = e.v.incidenceCosine;
        e.wave.stepLength = e.v.step;
        e.wave.incidenceCosine = e.v.incidenceCosine;
        build(e);
    }
}

}  // namespace

BoolByte PLUGIN_CALL AppendSet(WaveSet* collection, const CollectRecord* record) {
    if (collection == nullptr || record == nullptr || record->set == nullptr ||
        record->count != 1) {
        RememberError("Набор для сбора не задан");
        return kFalse;
    }
    const WaveSet* q = record->set;
    const std::uint32_t m = q->count;
    if (m == 0) return kTrue;
    if (q->rays == nullptr || q->waves == nullptr) {
        RememberError("У набора волн нет массивов лучей и волн");
        return kFalse;
    }
    const std::uint32_t oldCount = collection->count;
    const std::uint64_t newCount = std::uint64_t{oldCount} + m;
    if (newCount > kMaxRoom) {
        RememberError("Слишком много элементов для одного набора волн");
        return kFalse;
    }
    // Copy the work set before the collection grows: it may be the collection itself, or a set
    // that views part of the collection's arrays, and growing moves them.
    std::vector<Ray> rays;
    std::vector<Wave> waves;
    try {
        rays.resize(m);
        waves.resize(m);
    } catch (const std::bad_alloc&) {
        RememberError("Недостаточно памяти для набора волн");
        return kFalse;
    }
    std::memcpy(rays.data(), q->rays, std::size_t{m} * sizeof(Ray));
    std::memcpy(waves.data(), q->waves, std::size_t{m} * sizeof(Wave));
    if (!EnsureRoom(collection, static_cast<std::uint32_t>(newCount))) return kFalse;
    std::memcpy(collection->rays + oldCount, rays.data(), std::size_t{m} * sizeof(Ray));
    std::memcpy(collection->waves + oldCount, waves.data(), std::size_t{m} * sizeof(Wave));
    collection->count = static_cast<std::uint32_t>(newCount);
    collection->waveCount = collection->count;
    return kTrue;
}

BoolByte PLUGIN_CALL ReflectRays(WaveSet* r, WaveSet* s, WaveSet* i, std::uint64_t p) {
    Plane pl;
    if (!Prepare(r, s, i, p, pl)) return kFalse;
    buildSet(r, i, pl, [&pl](Element& e) {
        // Every field of the reflected ray but its length is new: written whole, not copied first.
        const Ray& incident = e.incidentRay;
        const Vector3 edge1 = LoadVector(incident.edge1);
        const Vector3 edge2 = LoadVector(incident.edge2);
        const double length = incident.length;
        StoreVector(e.ray.direction, Reflect(e.direction, pl.normal, e.v.dn));
        StoreVector(e.ray.origin, MeetingPoint(e.direction, e.origin, e.v));
        StoreVector(e.ray.edge1, Reflect(edge1, pl.normal, Dot(edge1, pl.normal)));
        StoreVector(e.ray.edge2, Reflect(edge2, pl.normal, Dot(edge2, pl.normal)));
        e.ray.length = length;
        e.ray.flags = e.flags;
    });
    r->medium = i->medium;
    return kTrue;
}

BoolByte PLUGIN_CALL RefractRays(WaveSet* t, WaveSet* s, WaveSet* i, std::uint64_t p,
                                 double speedRatio) {
    if (!(speedRatio > 0.0) || !std::isfinite(speedRatio)) {
        RememberError("Отношение скоростей должно быть положительным числом");
        return kFalse;
    }
    Plane pl;
    if (!Prepare(t, s, i, p, pl)) return kFalse;
    const double eta = 1.0 / speedRatio;  // the other side's speed over the incident one
    const double eta2 = eta * eta;
    buildSet(t, i, pl, [&pl, eta, eta2](Element& e) {
        // Every field of the transmitted ray is written: the incident edges and length, the point
        // met, and the refracted direction (the incident one where no ray goes on).
        const Ray& incident = e.incidentRay;
        const Vector3 edge1 = LoadVector(incident.edge1);
        const Vector3 edge2 = LoadVector(incident.edge2);
        const double rayLength = incident.length;
        StoreVector(e.ray.origin, MeetingPoint(e.direction, e.origin, e.v));
        StoreVector(e.ray.edge1, edge1);
        StoreVector(e.ray.edge2, edge2);
        e.ray.length = rayLength;
        const double c1 = e.v.incidenceCosine;
        const double sinSquared = eta2 * (1.0 - c1 * c1);
        if (!(sinSquared <= 1.0)) {  // total internal reflection: no transmitted ray
            StoreVector(e.ray.direction, e.direction);
            e.ray.flags = e.flags | kRayRemove;
            e.incidentWave.refractionCosine = 0.0;
            e.wave.refractionCosine = 0.0;
            return;
        }
        e.ray.flags = e.flags;
        const double c2 = std::sqrt(1.0 - sinSquared);
        e.incidentWave.refractionCosine = c2;
        e.wave.refractionCosine = c2;
        // Snell's law in vector form, keeping the length of the direction: along the unit
        // direction u and the unit normal n on the side the ray goes to.
        const Vector3& n = e.v.dn > 0.0 ? pl.normal : pl.reversedNormal;
        const double length = e.v.length;
        const double alongNormal = c2 - eta * c1;  // the share of the normal
        const Vector3& d = e.direction;
        StoreVector(e.ray.direction, {length * (eta * (d[0] / length) + alongNormal * n[0]),
                                      length * (eta * (d[1] / length) + alongNormal * n[1]),
                                      length * (eta * (d[2] / length) + alongNormal * n[2])});
    });
    return kTrue;
}

}  // namespace wavelib
