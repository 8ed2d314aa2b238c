// The inverse of the restoring routines, for writing the hidden text store: a cp1251 text becomes
// upper-case hexadecimal of 4 x (length + 1) digits, each byte of the text and its NUL scattered
// over a pair of bytes whose unread bits hold filler.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace title {

// `filler` is the state of a small generator for the unread bits, so that the output is the
// same on every run.
std::string encodeHiddenText(std::string_view cp1251, std::uint32_t& filler);

}  // namespace title
