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
struct Room {
    std::unique_ptr<Ray[]> rays;
    std::unique_ptr<Wave[]> waves;
    std::uint32_t capacity = 0;
};

std::mutex gMutex;
std::map<const WaveSet*, Room> gRooms;

ShiftRecord gShiftRecord{};
OrientationRecord gOrientationRecord{};

bool HoldsRoom(const WaveSet* set, const Room& k) {
    return set->rays == k.rays.get() && set->waves == k.waves.get();
}

// A set that wavelib's own storage resizes: made by entry 0 and still on its own arrays (or on
// none).
bool MadeByWavelib(const WaveSet* set) {
    return IsOwnSet(set) && (OwnSetRoom(set) != 0 || set->rays == nullptr);
}

void SetCounts(WaveSet* set, std::uint32_t count) {
    set->count = count;
    set->waveCount = count;
}

void CopyVector(const void* from, void* to) {
    std::memcpy(to, from, sizeof(Vector3));
}

// The target takes the source's elements, media and source point.
bool TakeElements(WaveSet* target, const WaveSet* source) {
    if (target == source) return true;
    const std::uint32_t n = source->count;
    if (n != 0 && (source->rays == nullptr || source->waves == nullptr)) return false;
    if (!ReserveRoom(target, n, false)) return false;
    if (n != 0) {
        std::memcpy(target->rays, source->rays, std::size_t{n} * sizeof(Ray));
        std::memcpy(target->waves, source->waves, std::size_t{n} * sizeof(Wave));
    }
    SetCounts(target, n);
    target->medium = source->medium;
    target->medium2 = source->medium2;
    CopyVector(source->source, target->source);
    return true;
}

// Rotation that turns +z onto the unit vector v (Rodrigues' formula about z x v).
struct Rotation {
    double m[3][3];
    Vector3 Apply(const Vector3& x) const {
        Vector3 y;
        for (int i = 0; i < 3; ++i) y[i] = m[i][0] * x[0] + m[i][1] * x[1] + m[i][2] * x[2];
        return y;
    }
};

Rotation RotationFromZ(const double v[3]) {
    const double c = v[2];
    const double kx = -v[1];
    const double ky = v[0];
    const double s2 = kx * kx + ky * ky;  // the sine squared, exact to rounding at any angle
    if (c < 0.0 && s2 == 0.0) {           // +z onto -z: half a turn about x
        return Rotation{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    }
    // 1 / (1 + c), and near -z as (1 - c) / sin^2: there 1 + c loses its digits to rounding and
    // the matrix would stop being a rotation (it would stretch the turned vectors).
    const double f = c >= 0.0 ? 1.0 / (1.0 + c) : (1.0 - c) / s2;
    // I + K + K^2 / (1 + c), with K the cross-product matrix of k = (kx, ky, 0).
    return Rotation{{{1.0 - ky * ky * f, kx * ky * f, ky},
                     {kx * ky * f, 1.0 - kx * kx * f, -kx},
                     {-ky, kx, 1.0 - (kx * kx + ky * ky) * f}}};
}

std::uint32_t PLUGIN_CALL RoomEntry(const WaveSet* set) {
    return SetRoom(set);
}
BoolByte PLUGIN_CALL ReserveEntry(WaveSet* set, std::uint32_t n, std::uint32_t keep) {
    return ReserveRoom(set, n, keep != 0) ? kTrue : kFalse;
}
void PLUGIN_CALL ReleaseEntry(WaveSet* set) {
    ReleaseRoom(set);
}

}  // namespace

std::uint32_t SetRoom(const WaveSet* set) {
    if (set == nullptr) return 0;
    if (MadeByWavelib(set)) return OwnSetRoom(set);
    std::lock_guard lock(gMutex);
    const auto it = gRooms.find(set);
    if (it != gRooms.end() && HoldsRoom(set, it->second)) return it->second.capacity;
    return set->count;
}

bool ReserveRoom(WaveSet* set, std::uint32_t n, bool keep) {
    if (set == nullptr) return false;
    if (n > kMaxRoom) {
        RememberError("Слишком много элементов для одного набора волн");
        return false;
    }
    const std::uint32_t kept = keep ? std::min(set->count, n) : 0;
    if (SetRoom(set) >= n) {
        SetCounts(set, kept);
        return true;
    }

    if (MadeByWavelib(set)) {
        const std::uint32_t oldCount = set->count;
        set->count = kept;  // wavelib's storage keeps the first `count` elements
        if (!ResizeSet(set, n)) {
            set->count = oldCount;
            return false;
        }
        SetCounts(set, kept);
        return true;
    }

    Room fresh;
    fresh.rays.reset(new (std::nothrow) Ray[n]());
    fresh.waves.reset(new (std::nothrow) Wave[n]());
    if (fresh.rays == nullptr || fresh.waves == nullptr) {
        RememberError("Недостаточно памяти для набора волн");
        return false;
    }
    fresh.capacity = n;
    if (kept != 0 && set->rays != nullptr && set->waves != nullptr) {
        std::memcpy(fresh.rays.get(), set->rays, std::size_t{kept} * sizeof(Ray));
        std::memcpy(fresh.waves.get(), set->waves, std::size_t{kept} * sizeof(Wave));
    }
    set->rays = fresh.rays.get();
    set->waves = fresh.waves.get();
    SetCounts(set, kept);
    std::lock_guard lock(gMutex);
    try {
        gRooms[set] = std::move(fresh);  // a room given before is freed here
    } catch (const std::bad_alloc&) {
        // The set keeps pointing at the new arrays; they are freed as `fresh` goes, so the set
        // must not keep them.
        set->rays = nullptr;
        set->waves = nullptr;
        SetCounts(set, 0);
        RememberError("Недостаточно памяти для набора волн");
        return false;
    }
    return true;
}

bool EnsureRoom(WaveSet* set, std::uint32_t n) {
    if (set == nullptr) return false;
    const std::uint32_t capacity = SetRoom(set);
    if (capacity >= n) return true;
    const std::uint64_t doubled = std::min<std::uint64_t>(std::uint64_t{capacity} * 2, kMaxRoom);
    return ReserveRoom(set, std::max<std::uint32_t>(n, static_cast<std::uint32_t>(doubled)), true);
}

void ReleaseRoom(WaveSet* set) {
    if (set == nullptr) return;
    if (MadeByWavelib(set)) {
        ResizeSet(set, 0);
        return;
    }
    std::lock_guard lock(gMutex);
    const auto it = gRooms.find(set);
    if (it == gRooms.end()) return;
    if (HoldsRoom(set, it->second)) {
        set->rays = nullptr;
        set->waves = nullptr;
        SetCounts(set, 0);
    }
    gRooms.erase(it);  // a room the set no longer points at is nobody's any more
}

ShiftRecord& TableShiftRecord() {
    return gShiftRecord;
}
OrientationRecord& TableOrientationRecord() {
    return gOrientationRecord;
}

BoolByte PLUGIN_CALL Shift(WaveSet* target, WaveSet* source) {
    if (target == nullptr) return kFalse;
    if (gShiftRecord.flag != 0) {
        if (source == nullptr || !TakeElements(target, source)) return kFalse;
    }
    double t1[3];
    double t2[3];
    std::memcpy(t1, gShiftRecord.point1, sizeof(t1));
    std::memcpy(t2, gShiftRecord.point2, sizeof(t2));
    if (target->count != 0 && target->rays == nullptr) return kFalse;
    for (int j = 0; j < 3; ++j) {
        const double d = t2[j] - t1[j];
        for (std::uint32_t k = 0; k < target->count; ++k) target->rays[k].origin[j] += d;
        target->source[j] += d;
    }
    return kTrue;
}

BoolByte PLUGIN_CALL Turn(WaveSet* target, WaveSet* source) {
    if (target == nullptr || source == nullptr) return kFalse;
    const OrientationRecord o = gOrientationRecord;
    const double length =
        std::sqrt(o.direction[0] * o.direction[0] + o.direction[1] * o.direction[1] +
                  o.direction[2] * o.direction[2]);
    if (!(length > 0.0) || !std::isfinite(length)) return kFalse;
    if (!TakeElements(target, source)) return kFalse;
    if (target->count != 0 && target->rays == nullptr) return kFalse;

    const double sign = o.option3 != 0 ? -1.0 : 1.0;
    const double v[3] = {sign * o.direction[0] / length, sign * o.direction[1] / length,
                         sign * o.direction[2] / length};
    const Rotation m = RotationFromZ(v);
    // The arrays turned belong to packed records: they are taken out and put back bytewise.
    auto turn = [&](void* array3) { StoreVector(array3, m.Apply(LoadVector(array3))); };
    auto aboutPoint = [&](void* array3) {
        Vector3 x = LoadVector(array3);
        for (int j = 0; j < 3; ++j) x[j] -= o.point[j];
        x = m.Apply(x);
        for (int j = 0; j < 3; ++j) x[j] += o.point[j];
        StoreVector(array3, x);
    };
    for (std::uint32_t k = 0; k < target->count; ++k) {
        Ray& r = target->rays[k];
        if (o.option2 != 0) {
            turn(r.direction);
            turn(r.edge1);
            turn(r.edge2);
        }
        if (o.option1 != 0) aboutPoint(r.origin);
    }
    if (o.option1 != 0) aboutPoint(target->source);
    return kTrue;
}

void* RequestPlacementTable(TableCell* table, std::uint32_t size, const char* name) {
    if (table == nullptr || name == nullptr) return nullptr;
    if (std::strcmp(name, kPlacementTableName) == 0) {
        if (size < kPlacementTableCells * sizeof(TableCell)) return nullptr;
        std::fill_n(table, kPlacementTableCells, nullptr);
        table[kPlacementShift] = asCell(&Shift);
        table[kPlacementShiftRecord] = &gShiftRecord;
        table[kPlacementTurn] = asCell(&Turn);
        table[kPlacementTurnRecord] = &gOrientationRecord;
        return table;
    }
    if (std::strcmp(name, kStorageTableName) == 0) {
        if (size < kStorageTableEntries * sizeof(TableCell)) return nullptr;
        std::fill_n(table, kStorageTableEntries, nullptr);
        table[kStorageRoom] = asCell(&RoomEntry);
        table[kStorageReserve] = asCell(&ReserveEntry);
        table[kStorageRelease] = asCell(&ReleaseEntry);
        return table;
    }
    return nullptr;
}

}  // namespace wavelib
