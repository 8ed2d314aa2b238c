// A wavelib whose entries 3 to 6 do what a test scripts and remember how they were called.
//
// Entries 4 and 5 build the new set from the incident one element by element: the ray is copied,
// and it carries flag 0x08 where the incident ray lacks 0x02 (and, for the transmitted set, where
// the incident wave's refraction cosine is 0: total internal reflection). The test prepares the
// incident flags and the wave offsets 4, 12 and 20 itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "wavelib2/makrosi.h"

struct ScriptedWavelib {
    static inline bool result4 = true;
    static inline bool result5 = true;
    static inline int calls4 = 0;
    static inline int calls5 = 0;
    static inline std::uint64_t parameter = 0;
    // How many elements fewer than the incident set the reflected and the transmitted set get.
    static inline std::uint32_t fewer4 = 0;
    static inline std::uint32_t fewer5 = 0;
    static inline double speedRatio = 0.0;
    static inline std::vector<std::pair<WaveSet*, double>> steps;
    static inline std::vector<CollectRecord> collected;
    static inline std::vector<WaveSet*> collections;

    static void Bind() {
        result4 = result5 = true;
        fewer4 = fewer5 = 0;
        calls4 = calls5 = 0;
        parameter = 0;
        speedRatio = 0.0;
        steps.clear();
        collected.clear();
        collections.clear();
        WaveProcessorTable10 t{};
        t.appendSet = &Append;
        t.reflectRays = &Reflect;
        t.refractRays = &Refract;
        t.advanceRays = &Advance;
        wavelib2::SetTable10(t);
    }

    static void Build(WaveSet* newSet, const WaveSet* i, bool refracted) {
        const std::uint32_t fewer = refracted ? fewer5 : fewer4;
        newSet->count = i->count > fewer ? i->count - fewer : 0;
        for (std::uint32_t k = 0; k < newSet->count; ++k) {
            newSet->rays[k] = i->rays[k];
            const bool missing = (i->rays[k].flags & kRayReached) == 0 ||
                                 (refracted && i->waves[k].refractionCosine == 0.0);
            newSet->rays[k].flags = missing ? kRayRemove : 0;
        }
    }
    static BoolByte PLUGIN_CALL Reflect(WaveSet* r, WaveSet*, WaveSet* i, std::uint64_t p) {
        ++calls4;
        parameter = p;
        if (!result4) return kFalse;
        Build(r, i, false);
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Refract(WaveSet* t, WaveSet*, WaveSet* i, std::uint64_t,
                                        double ratio) {
        ++calls5;
        speedRatio = ratio;
        if (!result5) return kFalse;
        Build(t, i, true);
        return kTrue;
    }
    // The rays stay where they are and every wave is told it took the step.
    static BoolByte PLUGIN_CALL Advance(WaveSet* set, double step) {
        steps.emplace_back(set, step);
        for (std::uint32_t k = 0; k < set->count; ++k) set->waves[k].stepLength = step;
        return kTrue;
    }
    static BoolByte PLUGIN_CALL Append(WaveSet* collection, const CollectRecord* record) {
        collections.push_back(collection);
        collected.push_back(*record);
        return kTrue;
    }
};
