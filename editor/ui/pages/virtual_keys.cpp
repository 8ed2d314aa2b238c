#include "editor/ui/pages/virtual_keys.h"

#include <Qt>

#include "editor/title/title_panel.h"

namespace ui {

int windowsVirtualKey(int qtKey, bool keypad) {
    if (keypad && (qtKey == Qt::Key_5 || qtKey == Qt::Key_Clear)) return title::kVkNumpad5;
    return 0;
}

}  // namespace ui
