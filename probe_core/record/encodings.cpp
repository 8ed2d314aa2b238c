#include "probe_core/record/encodings.h"

#include "platform/cp1251.h"

namespace probe {

std::string readTextCell(const Stroka& cell) {
    if (cell.text == nullptr) return {};
    return platform::cp1251ToUtf8(cell.text);
}

std::vector<std::string> readListCell(const Spisok& cell) {
    std::vector<std::string> lines;
    if (cell.count == 0 || cell.lines == nullptr) return lines;
    // The count comes from the store's memory; lines are appended one by one rather than
    // reserving room for a count nobody has checked.
    for (std::uint32_t i = 0; i < cell.count; ++i) {
        const char* line = cell.lines[i];
        lines.push_back(line ? platform::cp1251ToUtf8(line) : std::string());
    }
    return lines;
}

}  // namespace probe
