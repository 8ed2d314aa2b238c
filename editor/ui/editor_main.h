// The editor's program: the GUI application, the main window and the message loop.
#pragma once

#include "probe_core/biblioteki/biblioteki.h"

class QCoreApplication;

namespace ui {

// Runs the editor with the libraries reached through `platform`; returns the program's exit
// code, which is always 0.
int runProbeEditor(int& argc, char** argv, biblioteki::LoaderPlatform& platform);

// The toolkit's own texts (file dialogs, standard buttons) in Russian like every other text of
// the editor: the toolkit's translation is looked for beside the program first, where an
// installation ships it, then in the toolkit's own translations folder. False when none was
// found; those texts then stay in the toolkit's language.
bool installToolkitTranslations(QCoreApplication& application);

// The loader's boxes as modal Qt message boxes owned by the application.
class QtMessageBoxes final : public biblioteki::MessageBoxes {
  public:
    void show(const std::string& title, const std::string& text) override;
};

}  // namespace ui
