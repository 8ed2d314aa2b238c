// The wave processor of version 1.0: its request export and entries 0, 1, 2, 6 and 7.
#include <cmath>
#include <cstring>

#include "abi/plugin.h"
#include "abi/wavelib.h"
#include "suite/wavelib/interface.h"
#include "suite/wavelib/placement.h"
#include "suite/wavelib/sets.h"
#include "suite/wavelib/vector3.h"

namespace wavelib {
namespace {

WaveSet* PLUGIN_CALL CreateSetEntry(std::uint32_t n) {
    return CreateSet(n);
}
void PLUGIN_CALL DeleteSetEntry(WaveSet* set) {
    DeleteSet(set);
}
BoolByte PLUGIN_CALL ResizeSetEntry(WaveSet* set, std::uint32_t n) {
    return ResizeSet(set, n) ? kTrue : kFalse;
}
const char* PLUGIN_CALL ErrorTextEntry() {
    return ErrorText();
}

}  // namespace

// Entry 6: every ray moves by `step` along its normalised direction.
BoolByte PLUGIN_CALL AdvanceRays(WaveSet* set, double step) {
    if (set == nullptr) {
        RememberError("Набор волн не задан");
        return kFalse;
    }
    if (!(step >= 0.0)) {
        RememberError("Шаг должен быть неотрицательным числом");
        return kFalse;
    }
    if (set->count != 0 && (set->rays == nullptr || set->waves == nullptr)) {
        RememberError("У набора волн нет массивов лучей и волн");
        return kFalse;
    }
    // The count and the arrays are taken out of the set once: the records written below could
    // otherwise be the set itself, as far as the compiler can tell, and be read again every time.
    const std::uint32_t count = set->count;
    Ray* rays = set->rays;
    Wave* waves = set->waves;
    for (std::uint32_t i = 0; i < count; ++i) {
        Ray& r = rays[i];
        const Vector3 d = LoadVector(r.direction);  // the packed record's array, copied
        const double length = std::sqrt(Dot(d, d));
        double travelled = 0.0;
        if (length > 0.0 && std::isfinite(length)) {
            const Vector3 o = LoadVector(r.origin);
            StoreVector(r.origin, {o[0] + d[0] / length * step, o[1] + d[1] / length * step,
                                   o[2] + d[2] / length * step});
            travelled = step;
        }
        waves[i].stepLength = travelled;
    }
    return kTrue;
}

}  // namespace wavelib

namespace {

const WaveProcessorTable10 kTable{
    .createSet = &wavelib::CreateSetEntry,
    .deleteSet = &wavelib::DeleteSetEntry,
    .resizeSet = &wavelib::ResizeSetEntry,
    .appendSet = &wavelib::AppendSet,
    .reflectRays = &wavelib::ReflectRays,
    .refractRays = &wavelib::RefractRays,
    .advanceRays = &wavelib::AdvanceRays,
    .errorText = &wavelib::ErrorTextEntry,
};

}  // namespace

PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, std::uint32_t size,
                                                              const char* name) {
    if (void* served = wavelib::RequestPlacementTable(table, size, name)) return served;
    if (table == nullptr || name == nullptr || std::strcmp(name, kWaveProcessorTable10Name) != 0) {
        return nullptr;
    }
    if (size < sizeof(kTable)) {
        wavelib::RememberError("Таблица функций слишком мала");
        return nullptr;
    }
    std::memcpy(table, &kTable, sizeof(kTable));
    return table;
}
