#include "probe_core/record/staged_record.h"

namespace probe {

void StagedRecord::setText(Stroka& cell, std::string cp1251) {
    if (cp1251.empty()) {
        cell.text = nullptr;
        return;
    }
    cell.text = texts_.emplace_back(std::move(cp1251)).data();
}

void StagedRecord::setLines(Spisok& cell, std::vector<std::string> cp1251) {
    std::vector<char*>& array = arrays_.emplace_back();
    for (std::string& line : cp1251) array.push_back(texts_.emplace_back(std::move(line)).data());
    cell.lines = array.empty() ? nullptr : array.data();
    cell.count = static_cast<std::uint32_t>(array.size());
}

}  // namespace probe
