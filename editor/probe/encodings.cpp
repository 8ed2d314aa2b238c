#include "editor/probe/encodings.h"

#include "platform/cp1251.h"

namespace probe {

const std::array<const char*, 16> kMasshtabProstranstva{
    "1000 км' = 1 м   ( x 10^6 )", "100 км' = 1 м",  "10 км' = 1 м",
    "1 км' = 1 м   ( x 10^3 )",    "100 м' = 1 м",   "10 м' = 1 м",
    "1 м' = 1 м   ( x 1 )",        "100 мм' = 1 м",  "10 мм' = 1 м",
    "1 мм' = 1 м   ( / 10^3 )",    "100 мкм' = 1 м", "10 мкм' = 1 м",
    "1 мкм' = 1 м   ( / 10^6 )",   "100 нм' = 1 м",  "10 нм' = 1 м",
    "1 нм' = 1 м   ( / 10^9 )",
};

std::string readTextCell(const Stroka& cell) {
    if (cell.tekst == nullptr) return {};
    return platform::cp1251ToUtf8(cell.tekst);
}

std::vector<std::string> readListCell(const Spisok& cell) {
    std::vector<std::string> lines;
    if (cell.kolichestvo == 0 || cell.stroki == nullptr) return lines;
    // The count comes from the store's memory; lines are appended one by one rather than
    // reserving room for a count nobody has checked.
    for (std::uint32_t i = 0; i < cell.kolichestvo; ++i) {
        const char* line = cell.stroki[i];
        lines.push_back(line ? platform::cp1251ToUtf8(line) : std::string());
    }
    return lines;
}

}  // namespace probe
