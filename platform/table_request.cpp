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

}  // namespace platform
