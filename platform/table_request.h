// The table request PoluchitTablicuFunkciyPoImeni, both sides: the caller provides room for the
// library's cells and names the table in cp1251; the library fills the room when the name is its
// own. Libraries answer through answerTableRequest; hosts ask through requestTable (or, with a
// lookup of their own, findTableRequest3/findTableRequest2).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "abi/plugin.h"
#include "platform/dynlib.h"

namespace platform {

// The request's export: plain, and decorated as a 32-bit Windows build names its three- and
// two-argument forms. A host looks the decorated name up first.
inline constexpr const char* kTableRequestName = "PoluchitTablicuFunkciyPoImeni";
inline constexpr const char* kTableRequest3Decorated = "_PoluchitTablicuFunkciyPoImeni@12";
inline constexpr const char* kTableRequest2Decorated = "_PoluchitTablicuFunkciyPoImeni@8";

// The request entry found through `find(name)` (a module's export lookup); null when missing.
template <typename Find>
TableRequest3 findTableRequest3(Find&& find) {
    void* entry = find(kTableRequest3Decorated);
    if (entry == nullptr) entry = find(kTableRequestName);
    return reinterpret_cast<TableRequest3>(entry);
}
template <typename Find>
TableRequest2 findTableRequest2(Find&& find) {
    void* entry = find(kTableRequest2Decorated);
    if (entry == nullptr) entry = find(kTableRequestName);
    return reinterpret_cast<TableRequest2>(entry);
}

// Asks the loaded `module` for the table `cp1251Name` of `size` bytes at `table` (the
// three-argument form); true when the library filled it.
bool requestTable(Module module, void* table, std::uint32_t size, const char* cp1251Name);
// Asks for a table of the two-argument form, named in UTF-8.
bool requestTable(Module module, TableCell* table, std::string_view utf8Name);

// Copies `cells` into `table` and returns `table` when `name` is the cp1251 form of `utf8Name`;
// null for any other name, for a null table or name, and on any failure. Throws nothing.
void* answerTableRequest(TableCell* table, const char* name, std::string_view utf8Name,
                         std::span<const TableCell> cells) noexcept;

}  // namespace platform
