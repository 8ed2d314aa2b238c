// The eleven lines of the title panel that the program keeps hidden: slot i holds line i + 1 as
// NUL-terminated upper-case hexadecimal, two digits a byte, each pair of bytes carrying one cp1251
// byte of the text (and finally its NUL) in the bits RasshifrovatRazrezhenie gathers. Written by
// editor/title/tools/hidden_store_gen; never changed at run time.
#pragma once

namespace title {

inline constexpr int kHiddenSlots = 11;
inline constexpr int kHiddenSlotSize = 1024;
extern const char kHiddenStore[kHiddenSlots][kHiddenSlotSize];

}  // namespace title
