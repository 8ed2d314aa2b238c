// The page logic's controls (editor/probe/controls.h) over Qt widgets: a fixed list over a combo
// box, a yes/no box over a check box, an editable combo box's text and drop-down list, and a
// multi-line field's lines.
#pragma once

#include <memory>
#include <vector>

#include "editor/probe/controls.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;

namespace ui {

// Makes the adapters of one set of pages and owns them: they live as long as this object, which
// must not outlive the widgets they adapt.
class ControlAdapters {
  public:
    ControlAdapters();
    ~ControlAdapters();
    ControlAdapters(const ControlAdapters&) = delete;
    ControlAdapters& operator=(const ControlAdapters&) = delete;

    probe::FixedList* list(QComboBox* box);
    probe::CheckBox* box(QCheckBox* box);
    probe::TextField* text(QComboBox* box);
    probe::LinesField* memo(QPlainTextEdit* edit);

  private:
    std::vector<std::unique_ptr<probe::FixedList>> lists_;
    std::vector<std::unique_ptr<probe::CheckBox>> boxes_;
    std::vector<std::unique_ptr<probe::TextField>> texts_;
    std::vector<std::unique_ptr<probe::LinesField>> lines_;
};

}  // namespace ui
