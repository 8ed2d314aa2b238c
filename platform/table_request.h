// The answer of a plug-in library to the two-argument table request
// PoluchitTablicuFunkciyPoImeni(table, name): the caller provides room for the library's cells
// and names the table in cp1251; the library fills the room when the name is its own.
#pragma once

#include <span>
#include <string_view>

#include "abi/plugin.h"

namespace platform {

// Copies `cells` into `table` and returns `table` when `name` is the cp1251 form of `utf8Name`;
// null for any other name, for a null table or name, and on any failure. Throws nothing.
void* answerTableRequest(TableCell* table, const char* name, std::string_view utf8Name,
                         std::span<const TableCell> cells) noexcept;

}  // namespace platform
