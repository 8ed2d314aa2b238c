// The probes the concurrent writers append: every other one about 6 KB (a long parameter list,
// more than a stream buffer holds), the others a few hundred bytes. The model names the writer
// and the number, and everything else follows from the two, so a reader can check every record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace probestore_test {

struct StressProbe {
    std::string model;
    std::vector<std::string> parameters;
    std::int32_t price = 0;
};

inline StressProbe stressProbe(int writer, int number) {
    StressProbe p;
    p.model = "w" + std::to_string(writer) + "-" + std::to_string(number);
    p.price = writer * 100000 + number;
    const int lines = number % 2 == 0 ? 60 : 1;
    for (int k = 0; k < lines; ++k) {
        const char letter = static_cast<char>('a' + (writer + number + k) % 26);
        p.parameters.push_back(p.model + ":" + std::to_string(k) + ":" + std::string(90, letter));
    }
    return p;
}

}  // namespace probestore_test
