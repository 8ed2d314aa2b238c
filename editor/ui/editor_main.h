// The editor's program: the GUI application, the main window and the message loop.
#pragma once

#include "editor/biblioteki/biblioteki.h"

namespace ui {

// Runs the editor with the libraries reached through `platform`; returns the program's exit
// code, which is always 0.
int runProbeEditor(int& argc, char** argv, biblioteki::LoaderPlatform& platform);

// The loader's boxes as modal Qt message boxes owned by the application.
class QtMessageBoxes final : public biblioteki::MessageBoxes {
  public:
    void show(const std::string& title, const std::string& text) override;
};

}  // namespace ui
