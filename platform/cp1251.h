// The cp1251 <-> UTF-8 codec used wherever a text crosses a library boundary.
// Table-driven so that every platform gives the same bytes. A character that cp1251 lacks
// becomes '?'; malformed UTF-8 input becomes '?' per bad byte.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string utf8ToCp1251(std::string_view utf8);
std::string cp1251ToUtf8(std::string_view cp1251);

}  // namespace platform
