#include "platform/table_request.h"

#include <algorithm>
#include <string>

#include "platform/cp1251.h"

namespace platform {

void* answerTableRequest(TableCell* table, const char* name, std::string_view utf8Name,
                         std::span<const TableCell> cells) noexcept {
    if (table == nullptr || name == nullptr) return nullptr;
    try {
        if (utf8ToCp1251(std::string(utf8Name)) != name) return nullptr;
    } catch (...) {
        return nullptr;
    }
    std::copy(cells.begin(), cells.end(), table);
    return table;
}

bool requestTable(Module module, void* table, std::uint32_t size, const char* cp1251Name) {
    if (module == nullptr) return false;
    TableRequest3 request =
        findTableRequest3([module](const char* name) { return findExport(module, name); });
    return request != nullptr &&
           request(static_cast<TableCell*>(table), size, cp1251Name) != nullptr;
}

bool requestTable(Module module, TableCell* table, std::string_view utf8Name) {
    if (module == nullptr) return false;
    TableRequest2 request =
        findTableRequest2([module](const char* name) { return findExport(module, name); });
    return request != nullptr &&
           request(table, utf8ToCp1251(std::string(utf8Name)).c_str()) == table;
}

}  // namespace platform
