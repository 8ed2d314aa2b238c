// Wave sets built on the test's own arrays.
#pragma once

#include <cstdint>
#include <vector>

#include "abi/wave_set.h"

struct TestWaveSet {
    std::vector<Ray> rays;
    std::vector<Wave> waves;
    WaveSet set{};

    explicit TestWaveSet(std::uint32_t n) : rays(n), waves(n) {
        set.rays = rays.data();
        set.waves = waves.data();
        set.count = n;
        set.waveCount = n;
        // Each element carries its index as a tag in the ray length and the first carried value.
        for (std::uint32_t i = 0; i < n; ++i) {
            rays[i].length = i;
            waves[i].carried1 = i;
        }
    }

    // Tags of the elements within the element count, in order; -1 where ray and wave disagree.
    std::vector<int> tags() const {
        std::vector<int> out;
        for (std::uint32_t i = 0; i < set.count; ++i) {
            out.push_back(rays[i].length == waves[i].carried1 ? static_cast<int>(rays[i].length)
                                                              : -1);
        }
        return out;
    }
};
