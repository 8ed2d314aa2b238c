// Wave sets built on the test's own arrays.
#pragma once

#include <cstdint>
#include <vector>

#include "abi/wave_set.h"

struct TestWaveSet {
    std::vector<Luch> luchi;
    std::vector<Volna> volny;
    NaborVoln nabor{};

    explicit TestWaveSet(std::uint32_t n) : luchi(n), volny(n) {
        nabor.luchi = luchi.data();
        nabor.volny = volny.data();
        nabor.chislo = n;
        nabor.chisloVoln = n;
        // Each element carries its index as a tag in the ray length and the first carried value.
        for (std::uint32_t i = 0; i < n; ++i) {
            luchi[i].dlina = i;
            volny[i].perenos1 = i;
        }
    }

    // Tags of the elements within the element count, in order; -1 where ray and wave disagree.
    std::vector<int> tags() const {
        std::vector<int> out;
        for (std::uint32_t i = 0; i < nabor.chislo; ++i) {
            out.push_back(luchi[i].dlina == volny[i].perenos1 ? static_cast<int>(luchi[i].dlina)
                                                              : -1);
        }
        return out;
    }
};
