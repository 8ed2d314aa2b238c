// The cp1251 <-> UTF-8 and cp1251 <-> UTF-16 codec used wherever a text crosses a library
// boundary or a file name reaches the system. Table-driven so that every platform gives the same
// bytes. A character that cp1251 lacks becomes '?'; malformed UTF-8 input becomes '?' per bad
// byte, an unpaired UTF-16 surrogate one '?'.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string utf8ToCp1251(std::string_view utf8);
std::string cp1251ToUtf8(std::string_view cp1251);
std::u16string cp1251ToUtf16(std::string_view cp1251);
std::string utf16ToCp1251(std::u16string_view utf16);

// Whether `text` is well-formed UTF-8: no overlong form, no surrogate, nothing beyond U+10FFFF,
// no sequence cut off.
bool isUtf8(std::string_view text);

}  // namespace platform
