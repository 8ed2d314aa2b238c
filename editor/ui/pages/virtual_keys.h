// The keys the editor reacts to, as the Windows virtual-key codes its logic compares: numeric
// keypad 5 released on bnData shows the hidden lines of the title panel. No other key is read.
#pragma once

namespace ui {

// The virtual-key code of a released key: title::kVkNumpad5 (101) for numeric keypad 5, with or
// without Num Lock (the toolkit reports it as "5" or as "Clear" on the keypad); 0 for any other
// key.
int windowsVirtualKey(int qtKey, bool keypad);

}  // namespace ui
