// The editor's icon: a probe on its contact face sending wave fronts into the part. The same
// drawing is installed as the desktop entry's icon.
#pragma once

#include <QIcon>

namespace ui {

// Name under which the desktop entry and the icon theme know the editor ("probe-editor.desktop",
// "probe-editor.svg"); window systems use it to match the running editor to its entry.
inline constexpr char kDesktopName[] = "probe-editor";

// The icon drawn at the sizes window systems ask for (16 to 256 pixels), from the drawing built
// into the program. Needs the GUI application.
QIcon editorIcon();

}  // namespace ui
