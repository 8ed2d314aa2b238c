// Replication of a pattern set at every ray of a placement set (entry 11).
#include <cstdint>
#include <cstring>
#include <limits>

#include "abi/placement_tables.h"
#include "wavelib2/makrosi.h"

namespace wavelib2 {

BoolByte PLUGIN_CALL RazmnozhitNabor(WaveSet* collection, WaveSet* a, WaveSet* b, WaveSet* q,
                                     TableCell* placement, TableCell* storage) {
    if (collection == nullptr || a == nullptr || b == nullptr || q == nullptr ||
        placement == nullptr || storage == nullptr) {
        return kFalse;
    }
    // The work set and the collection are emptied and refilled while the placement and pattern
    // sets are read, so they must be sets of their own.
    if (q == collection || q == a || q == b || collection == a || collection == b) return kFalse;

    const auto shift = cellAs<PlaceFn>(placement[kPlacementShift]);
    auto* shiftRecord = static_cast<ShiftRecord*>(placement[kPlacementShiftRecord]);
    const auto turn = cellAs<PlaceFn>(placement[kPlacementTurn]);
    auto* orientationRecord = static_cast<OrientationRecord*>(placement[kPlacementTurnRecord]);
    const auto reserve = cellAs<ReserveFn>(storage[kStorageReserve]);
    const auto release = cellAs<ReleaseFn>(storage[kStorageRelease]);
    const AppendSetFn append = Table10().appendSet;
    if (shift == nullptr || shiftRecord == nullptr || turn == nullptr ||
        orientationRecord == nullptr || reserve == nullptr || release == nullptr ||
        append == nullptr) {
        return kFalse;
    }

    const std::uint32_t nA = a->count;
    const std::uint32_t nB = b->count;
    if (nA != 0 && a->rays == nullptr) return kFalse;
    // The collection's room is counted in 32 bits: a product that does not fit would reserve too
    // little room for the copies.
    const std::uint64_t total = std::uint64_t{nA} * nB;
    if (total > std::numeric_limits<std::uint32_t>::max()) return kFalse;

    if (!isTrue(reserve(q, nB, 0))) return kFalse;
    if (!isTrue(reserve(collection, static_cast<std::uint32_t>(total), 0))) return kFalse;

    const double zero[3] = {0.0, 0.0, 0.0};
    std::memcpy(orientationRecord->point, zero, sizeof(zero));
    orientationRecord->option1 = 0;
    orientationRecord->option2 = 1;
    orientationRecord->option3 = 0;
    shiftRecord->flag = 1;
    std::memcpy(shiftRecord->point1, zero, sizeof(zero));

    for (std::uint32_t k = 0; k < nA; ++k) {
        const Ray& ray = a->rays[k];
        std::memcpy(shiftRecord->point2, ray.origin, sizeof(ray.origin));
        shift(q, b);
        std::memcpy(orientationRecord->direction, ray.direction, sizeof(ray.direction));
        turn(q, q);
        const CollectRecord record{q, 1, q->word0};
        append(collection, &record);
    }

    release(q);
    std::memcpy(collection->source, a->source, sizeof(a->source));
    return kTrue;
}

}  // namespace wavelib2
